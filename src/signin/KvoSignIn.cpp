#include "KvoSignIn.h"

#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoProxySettings.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStringCodec.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

QString text(const KvoJsonResult& json, const char* key)
{
    const QVariant value = json.value(QString::fromLatin1(key));
    if (!value.isValid() || value.isNull())
        return QString();
    // The service may send ids and credits as numbers or as texts.
    if (value.metaType().id() == QMetaType::Double) {
        const double number = value.toDouble();
        if (number == static_cast<double>(static_cast<qint64>(number)))
            return QString::number(static_cast<qint64>(number));
    }
    return value.toString();
}

} // namespace

KvoSignIn::KvoSignIn(QObject* parent)
    : QObject(parent)
{
}

KvoSignIn::~KvoSignIn()
{
    // Leaves the credentials alone: after a success they belong to the
    // session; only a sign-in abandoned half-way takes them back.
    if (isRunning())
        abort();
}

void KvoSignIn::setUpdatesRememberedLogin(bool updates)
{
    m_updatesRemembered = updates;
}

bool KvoSignIn::isRunning() const
{
    return m_request && m_request->isRunning();
}

void KvoSignIn::signIn(const QString& login, const QString& password, bool rememberMe)
{
    releaseRequest();
    m_login = login.trimmed();
    m_password = password;
    m_rememberMe = rememberMe;
    m_signedInLogin.clear();
    m_online = false;

    if (m_login.isEmpty() || m_password.isEmpty()) {
        refuse(tr("Veuillez saisir votre identifiant et votre mot de passe."));
        return;
    }

    // The account's own proxy carries its sign-in when this computer knows
    // the account; a new account goes through the proxy in place.
    KvoProxySettings::applyForLogin(m_login);

    // Set before the request: the service reads them from this very request,
    // and every request of the session carries them afterwards.
    KvoHTTPRequest::setCredentials(m_login, m_password);
    m_request = new KvoHTTPRequest(this);
    connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoSignIn::onSuccess);
    connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoSignIn::onError);
    m_request->get(KvoApi::address(QStringLiteral("/0.1/playerLogin/")));
}

void KvoSignIn::abort()
{
    const bool wasRunning = isRunning();
    releaseRequest();
    if (wasRunning)
        KvoHTTPRequest::clearCredentials();
}

void KvoSignIn::releaseRequest()
{
    if (!m_request)
        return;
    KvoHTTPRequest* request = m_request;
    m_request = nullptr;
    disconnect(request, nullptr, this, nullptr);
    request->abort();
    request->deleteLater();
}

void KvoSignIn::onSuccess(const QString& body)
{
    releaseRequest();
    KvoJsonResult json;
    json.parse(body);
    if (json.value(QStringLiteral("status")).toString() == QLatin1String("ERROR")) {
        const QString message = json.value(QStringLiteral("error_mssg")).toString();
        refuse(message.isEmpty() ? tr("Identifiant ou mot de passe incorrect.") : message);
        return;
    }

    Account account;
    const QString userId = text(json, "user_id");
    account.login = text(json, "login");
    account.pseudo = text(json, "pseudo");
    account.email = text(json, "email");
    account.credits = text(json, "credits");
    account.session = text(json, "session");
    if (userId.isEmpty() || account.session.isEmpty()) {
        // Something answered, but not the service as it should: a captive
        // portal, a proxy page, a broken deployment. The computer's own
        // accounts are the better judge then.
        signInOffline();
        return;
    }
    if (account.login.isEmpty())
        account.login = m_login;
    if (account.pseudo.isEmpty())
        account.pseudo = account.login;
    if (account.credits.isEmpty())
        account.credits = QStringLiteral("0");
    account.storedId = KvoStringCodec::encode(userId);

    if (!storeAccount(account, m_password)) {
        refuse(tr("Impossible d'enregistrer votre compte sur cet ordinateur. "
                  "Vérifiez l'espace disque disponible puis réessayez."));
        return;
    }
    finish(account, true);
}

void KvoSignIn::onError(QNetworkReply::NetworkError error, const QString& text)
{
    Q_UNUSED(error);
    Q_UNUSED(text);
    const int status = m_request ? m_request->statusCode() : 0;
    const QByteArray body = m_request ? m_request->errorBody() : QByteArray();
    releaseRequest();
    if (status == 401 || status == 403) {
        // The service itself refused these credentials: no offline way
        // around its answer. Its own text says why when it gives one.
        KvoJsonResult answer;
        answer.parse(body);
        const QString message = answer.value(QStringLiteral("error_mssg")).toString().trimmed();
        refuse(message.isEmpty() ? tr("Identifiant ou mot de passe incorrect.") : message);
        return;
    }
    // No answer, a time-out, a server fault or any other status: the service
    // cannot be used right now.
    signInOffline();
}

void KvoSignIn::signInOffline()
{
    const QString encodedPassword = KvoStringCodec::encode(m_password);
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT id_qoz_user, login, pseudo, password, email, credits, session FROM `users`"));
    bool found = false;
    Account account;
    if (q.exec()) {
        while (q.next()) {
            // Compared here rather than with SQL's lower(), which only folds
            // ASCII letters. The e-mail address is accepted as well, since
            // the service may have been given either.
            const QString login = q.value(1).toString();
            const QString email = q.value(4).toString();
            const bool sameLogin = login.compare(m_login, Qt::CaseInsensitive) == 0
                || (!email.isEmpty() && email.compare(m_login, Qt::CaseInsensitive) == 0);
            if (!sameLogin || q.value(3).toString() != encodedPassword || q.value(0).toString().isEmpty())
                continue;
            account.storedId = q.value(0).toString();
            account.login = login;
            account.pseudo = q.value(2).toString();
            account.email = email;
            account.credits = q.value(5).toString();
            account.session = q.value(6).toString();
            found = true;
            break;
        }
    }
    if (!found) {
        refuse(tr("Le service est injoignable et ces identifiants ne sont pas connus sur cet ordinateur. "
                  "Vérifiez votre connexion à Internet : la connexion hors ligne n'est possible qu'avec "
                  "un compte déjà utilisé sur cet ordinateur."));
        return;
    }
    // The rows of an account are written by its online sign-in; one made by
    // an older version may lack its configurations row.
    if (!storeAccount(account, QString())) {
        refuse(tr("Impossible d'enregistrer votre compte sur cet ordinateur. "
                  "Vérifiez l'espace disque disponible puis réessayez."));
        return;
    }
    finish(account, false);
}

bool KvoSignIn::storeAccount(const Account& account, const QString& password)
{
    QSqlDatabase db = KvoDatabase::database();
    if (!db.isOpen())
        return false;
    KvoTransaction transaction(db);

    // An empty password means an offline sign-in: the row is already there
    // and only its configurations row may be missing.
    if (!password.isEmpty()) {
        // One row per account: a second sign-in refreshes it.
        QSqlQuery upsert(db);
        upsert.prepare(QStringLiteral(
            "INSERT INTO `users` (id_qoz_user, login, pseudo, password, email, credits, session) "
            "VALUES (:id_user, :login, :pseudo, :password, :email, :credits, :session) "
            "ON CONFLICT(id_qoz_user) DO UPDATE SET login = excluded.login, pseudo = excluded.pseudo, "
            "password = excluded.password, email = excluded.email, credits = excluded.credits, "
            "session = excluded.session"));
        upsert.bindValue(QStringLiteral(":id_user"), account.storedId);
        upsert.bindValue(QStringLiteral(":login"), account.login);
        upsert.bindValue(QStringLiteral(":pseudo"), account.pseudo);
        upsert.bindValue(QStringLiteral(":password"), KvoStringCodec::encode(password));
        upsert.bindValue(QStringLiteral(":email"), account.email);
        upsert.bindValue(QStringLiteral(":credits"), account.credits);
        upsert.bindValue(QStringLiteral(":session"), account.session);
        if (!upsert.exec())
            return false;
    }

    // The user's settings (volume, notifications, video folder, proxy …) live
    // in the configurations row its users row points to.
    QSqlQuery select(db);
    select.prepare(QStringLiteral(
        "SELECT c.rowid FROM `users` AS u INNER JOIN `configurations` AS c ON c.rowid = u.id_configuration "
        "WHERE u.id_qoz_user = :id_user"));
    select.bindValue(QStringLiteral(":id_user"), account.storedId);
    if (!select.exec())
        return false;
    if (!select.next()) {
        QSqlQuery create(db);
        if (!create.exec(QStringLiteral("INSERT INTO `configurations` DEFAULT VALUES")))
            return false;
        const QVariant configurationId = create.lastInsertId();
        QSqlQuery link(db);
        link.prepare(QStringLiteral("UPDATE `users` SET id_configuration = :id_configuration WHERE id_qoz_user = :id_user"));
        link.bindValue(QStringLiteral(":id_configuration"), configurationId);
        link.bindValue(QStringLiteral(":id_user"), account.storedId);
        if (!configurationId.isValid() || !link.exec() || link.numRowsAffected() <= 0)
            return false;
    }
    return transaction.commit();
}

void KvoSignIn::storeRememberedLogin(const QString& storedId, bool rememberMe)
{
    QSqlQuery q(KvoDatabase::database());
    if (rememberMe) {
        // The login as typed, not the account's pseudonym: it fills the
        // login field of the next start, and the service may know the
        // account by a login that no pseudonym reproduces (an e-mail
        // address, another spelling).
        q.prepare(QStringLiteral("UPDATE `player_config` SET `remember_me` = 1, `last_login` = :login, "
                                 "`last_password` = :password, last_id_user = :id_user"));
        q.bindValue(QStringLiteral(":login"), m_login);
        q.bindValue(QStringLiteral(":password"), KvoStringCodec::encode(m_password));
        q.bindValue(QStringLiteral(":id_user"), storedId);
    } else {
        q.prepare(QStringLiteral("UPDATE `player_config` SET `remember_me` = 0, `last_login` = '', "
                                 "`last_password` = '', last_id_user = ''"));
    }
    q.exec();
}

void KvoSignIn::finish(const Account& account, bool online)
{
    if (m_updatesRemembered)
        storeRememberedLogin(account.storedId, m_rememberMe);

    // Online the environment's user is the pseudonym; offline the stored
    // login, as the folders of an offline session have always been named.
    KvoEnvironment::setCurrentUser(online ? account.pseudo : account.login);
    KvoEnvironment::setCurrentUserId(account.storedId);
    KvoPurchaseVideoManager::instance()->setUser(account.storedId, account.login, account.credits, account.session);

    // Offline the credentials stay set: the requests made once the
    // connection returns need them.
    m_signedInLogin = account.login;
    m_online = online;
    m_password.clear();
    // What an earlier run left in the outgoing queue goes out as soon as the
    // service can take it (offline: when the connection comes back).
    if (online)
        KvoAsynchronousSender::flush();
    emit signedIn(online);
}

void KvoSignIn::refuse(const QString& message)
{
    KvoHTTPRequest::clearCredentials();
    m_password.clear();
    emit failed(message);
}

bool KvoSignIn::isRemembered()
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT `remember_me` FROM `player_config`"));
    return q.exec() && q.next() && q.value(0).toBool();
}

QString KvoSignIn::rememberedLogin()
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT `remember_me`, `last_login`, `last_id_user` FROM `player_config`"));
    if (!q.exec() || !q.next() || !q.value(0).toBool())
        return QString();
    const QString remembered = q.value(1).toString();
    const QString storedId = q.value(2).toString();
    if (storedId.isEmpty())
        return remembered;

    // The settings page remembers the environment's user name (the
    // pseudonym, lower case, made fit for a file name) rather than the login:
    // give back the account's login then, which the service accepts.
    QSqlQuery user(KvoDatabase::database());
    user.prepare(QStringLiteral("SELECT login, pseudo, email FROM `users` WHERE id_qoz_user = :id_user"));
    user.bindValue(QStringLiteral(":id_user"), storedId);
    if (!user.exec() || !user.next())
        return remembered;
    const QString login = user.value(0).toString();
    const QString pseudo = user.value(1).toString();
    const QString email = user.value(2).toString();
    if (login.isEmpty() || remembered.compare(login, Qt::CaseInsensitive) == 0
        || (!email.isEmpty() && remembered.compare(email, Qt::CaseInsensitive) == 0))
        return remembered;
    if (remembered.isEmpty() || remembered == KvoEnvironment::sanitizeFileName(pseudo.toLower())
        || remembered == KvoEnvironment::sanitizeFileName(login.toLower()))
        return login;
    return remembered;
}

QString KvoSignIn::rememberedPassword()
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT `remember_me`, `last_password` FROM `player_config`"));
    if (!q.exec() || !q.next() || !q.value(0).toBool())
        return QString();
    return KvoStringCodec::decode(q.value(1).toString());
}
