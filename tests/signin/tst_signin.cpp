// Sign-in: online against the local service, offline against the stored
// accounts, the remembered login, and the sign-in window.

#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoLoginDialog.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSignIn.h"
#include "KvoStringCodec.h"
#include "KvoTestSupport.h"

#include <QCheckBox>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <memory>

namespace {

constexpr int kWait = 20000;

// What the stand-in answers on the login path.
enum class Answer { Status500, Status503, Status404, NotJson, NoUserId, Status401, Status403, StatusError };

struct Row
{
    bool exists = false;
    QString login, pseudo, password, email, credits, session;
    qint64 configuration = 0;
};

Row userRow(const QString& userId)
{
    Row row;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT login, pseudo, password, email, credits, session, id_configuration "
                             "FROM users WHERE id_qoz_user = :id"));
    q.bindValue(QStringLiteral(":id"), KvoStringCodec::encode(userId));
    if (q.exec() && q.next()) {
        row.exists = true;
        row.login = q.value(0).toString();
        row.pseudo = q.value(1).toString();
        row.password = q.value(2).toString();
        row.email = q.value(3).toString();
        row.credits = q.value(4).toString();
        row.session = q.value(5).toString();
        row.configuration = q.value(6).toLongLong();
    }
    return row;
}

int count(const QString& sql)
{
    QSqlQuery q = KvoDatabase::query(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

struct Remembered
{
    bool on = false;
    QString login, password, userId;
};

Remembered remembered()
{
    Remembered r;
    QSqlQuery q = KvoDatabase::query(
        QStringLiteral("SELECT remember_me, last_login, last_password, last_id_user FROM player_config"));
    if (q.next()) {
        r.on = q.value(0).toBool();
        r.login = q.value(1).toString();
        r.password = q.value(2).toString();
        r.userId = q.value(3).toString();
    }
    return r;
}

} // namespace

class TestSignIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void emptyFieldsFailAtOnce_data();
    void emptyFieldsFailAtOnce();
    void onlineSignInStoresAccount();
    void secondSignInUpdatesTheSameRow();
    void onlineSignInSendsTheQueue();
    void wrongPasswordIsRefusedAndChangesNothing();
    void rememberedLogin();
    void rememberedLoginWrittenBySettingsPage();
    void offlineSignIn_data();
    void offlineSignIn();
    void serviceAnswers_data();
    void serviceAnswers();
    void abortLeavesNoCredentials();

    void dialogPrefilledFromRememberedLogin();
    void dialogShowsError();
    void dialogLooks();
    void dialogAcceptsOnSignIn();

private:
    // Signs in and waits for the answer; returns 1 signed in online, 0
    // offline, -1 refused (message in *message).
    int signIn(const QString& login, const QString& password, bool remember = false, QString* message = nullptr);
    void useService();
    void useStandIn(Answer answer);
    void useClosedPort();

    KvoTestHome m_home;
    std::unique_ptr<KvoTestServer> m_devServer;
    QHttpServer m_standIn;
    QString m_standInAddress;
    Answer m_answer = Answer::Status401;
    int m_standInRequests = 0;
};

void TestSignIn::initTestCase()
{
    KvoEnvironment::init();
    QVERIFY(KvoDatabase::openForCurrentLanguage());

    // The stand-in answers the login path as it is told to, as a broken or
    // refusing service would; the accounts come from the local service.
    m_standIn.route(QStringLiteral("/0.1/playerLogin/"), [this](const QHttpServerRequest&) {
        ++m_standInRequests;
        using S = QHttpServerResponse::StatusCode;
        switch (m_answer) {
        case Answer::Status500: return QHttpServerResponse(S::InternalServerError);
        case Answer::Status503: return QHttpServerResponse(S::ServiceUnavailable);
        case Answer::Status404: return QHttpServerResponse(S::NotFound);
        case Answer::NotJson:
            return QHttpServerResponse("text/html", QByteArrayLiteral("<html>Portail Wi-Fi</html>"));
        case Answer::NoUserId:
            return QHttpServerResponse(QJsonObject{{"status", "OK"}, {"login", "demo"}});
        case Answer::Status401:
            return QHttpServerResponse(QJsonObject{{"status", "ERROR"}, {"error_mssg", "Compte inconnu."}},
                                       S::Unauthorized);
        case Answer::Status403: return QHttpServerResponse(S::Forbidden);
        case Answer::StatusError:
            return QHttpServerResponse(QJsonObject{{"status", "ERROR"}, {"error_mssg", "Compte suspendu."}});
        }
        return QHttpServerResponse(S::InternalServerError);
    });
    const quint16 port = m_standIn.listen(QHostAddress::LocalHost, 0);
    QVERIFY(port != 0);
    m_standInAddress = QStringLiteral("http://127.0.0.1:%1").arg(port);

    m_devServer = std::make_unique<KvoTestServer>();
    QVERIFY2(m_devServer->isRunning(), "the local service did not start");
}

void TestSignIn::cleanupTestCase()
{
    KvoPurchaseVideoManager::destroy();
    m_devServer.reset();
    KvoDatabase::close();
}

void TestSignIn::init()
{
    KvoPurchaseVideoManager::destroy();
    KvoHTTPRequest::clearCredentials();
    KvoEnvironment::currentUserSetup();
    KvoDatabase::query(QStringLiteral("DELETE FROM users"));
    KvoDatabase::query(QStringLiteral("DELETE FROM configurations"));
    KvoDatabase::query(QStringLiteral(
        "UPDATE player_config SET remember_me = 0, last_login = '', last_password = '', last_id_user = ''"));
    useService();
}

void TestSignIn::useService()
{
    KvoApi::setEndpointForTesting(m_devServer->address());
}

void TestSignIn::useStandIn(Answer answer)
{
    m_answer = answer;
    KvoApi::setEndpointForTesting(m_standInAddress);
}

void TestSignIn::useClosedPort()
{
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
}

int TestSignIn::signIn(const QString& login, const QString& password, bool remember, QString* message)
{
    KvoSignIn signIn;
    QSignalSpy signedIn(&signIn, &KvoSignIn::signedIn);
    QSignalSpy failed(&signIn, &KvoSignIn::failed);
    signIn.signIn(login, password, remember);
    if (!QTest::qWaitFor([&] { return !signedIn.isEmpty() || !failed.isEmpty(); }, kWait)
        || signedIn.count() + failed.count() != 1)
        return -2;
    if (!failed.isEmpty()) {
        if (message)
            *message = failed.first().first().toString();
        return -1;
    }
    return signedIn.first().first().toBool() ? 1 : 0;
}

void TestSignIn::emptyFieldsFailAtOnce_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::newRow("no login") << QString() << QStringLiteral("demo");
    QTest::newRow("blank login") << QStringLiteral("   ") << QStringLiteral("demo");
    QTest::newRow("no password") << QStringLiteral("demo") << QString();
    QTest::newRow("nothing") << QString() << QString();
}

void TestSignIn::emptyFieldsFailAtOnce()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    useStandIn(Answer::Status401);
    const int before = m_standInRequests;
    KvoSignIn signIn;
    QSignalSpy failed(&signIn, &KvoSignIn::failed);
    signIn.signIn(login, password, true);
    QCOMPARE(failed.count(), 1); // at once, not after a request
    QVERIFY(!failed.first().first().toString().isEmpty());
    QVERIFY(!signIn.isRunning());
    QVERIFY(!KvoHTTPRequest::hasCredentials());
    QCoreApplication::processEvents(); // nothing was started that could still send
    QCOMPARE(m_standInRequests, before);
    QVERIFY(!remembered().on);
}

void TestSignIn::onlineSignInStoresAccount()
{
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);

    const Row row = userRow(QStringLiteral("1042"));
    QVERIFY(row.exists);
    QCOMPARE(row.login, QStringLiteral("demo"));
    QCOMPARE(row.pseudo, QStringLiteral("Démo"));
    QCOMPARE(row.password, KvoStringCodec::encode(QStringLiteral("demo")));
    QCOMPARE(row.email, QStringLiteral("demo@example.org"));
    QCOMPARE(row.credits, QStringLiteral("12"));
    QVERIFY(!row.session.isEmpty());

    // Its configurations row, with the defaults the other pages rely on.
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT c.volume, c.notifications_mask, c.already_imported FROM configurations AS c "
                             "INNER JOIN users AS u ON u.id_configuration = c.rowid WHERE u.id_qoz_user = :id"));
    q.bindValue(QStringLiteral(":id"), KvoStringCodec::encode(QStringLiteral("1042")));
    QVERIFY(q.exec() && q.next());
    QCOMPARE(q.value(0).toInt(), 100);
    QCOMPARE(q.value(1).toInt(), 774);
    QVERIFY(q.value(2).toString() != QLatin1String("true"));

    // The session is in place for the rest of the client.
    const QString storedId = KvoStringCodec::encode(QStringLiteral("1042"));
    QVERIFY(KvoHTTPRequest::hasCredentials());
    QCOMPARE(KvoEnvironment::currentUserId(), storedId);
    QCOMPARE(KvoEnvironment::currentUser(), KvoEnvironment::sanitizeFileName(QStringLiteral("démo")));
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    QCOMPARE(manager->userId(), storedId);
    QCOMPARE(manager->login(), QStringLiteral("demo"));
    QCOMPARE(manager->credits(), QStringLiteral("12"));
    QCOMPARE(manager->session(), row.session);
}

void TestSignIn::onlineSignInSendsTheQueue()
{
    // A comment an earlier run could not send waits in the queue; the next
    // online start sends it without waiting for a change of connection.
    const QString storedId = KvoStringCodec::encode(QStringLiteral("1042"));
    KvoAsynchronousSender::destroy();
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO to_send (id_user, url, data) VALUES (?, ?, ?)"));
    q.addBindValue(storedId);
    q.addBindValue(KvoApi::address(QStringLiteral("/0.1/playerComment/")));
    q.addBindValue(QStringLiteral(R"({"comment":"Très bien","mark":"5","vorn_id":"101"})"));
    QVERIFY(q.exec());

    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(count(QStringLiteral("SELECT count(*) FROM to_send")), 0, kWait);
    KvoAsynchronousSender::destroy();

    KvoDatabase::query(QStringLiteral("DELETE FROM to_send"));
}

void TestSignIn::secondSignInUpdatesTheSameRow()
{
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    const Row first = userRow(QStringLiteral("1042"));
    // A stale value of the earlier sign-in is replaced by the service's.
    QSqlQuery stale(KvoDatabase::database());
    stale.prepare(QStringLiteral("UPDATE users SET credits = '0', pseudo = 'ancien' WHERE id_qoz_user = :id"));
    stale.bindValue(QStringLiteral(":id"), KvoStringCodec::encode(QStringLiteral("1042")));
    QVERIFY(stale.exec());

    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    const Row second = userRow(QStringLiteral("1042"));
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM users")), 1);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM configurations")), 1);
    QCOMPARE(second.configuration, first.configuration);
    QCOMPARE(second.credits, QStringLiteral("12"));
    QCOMPARE(second.pseudo, QStringLiteral("Démo"));
    QVERIFY(second.session != first.session); // each sign-in opens a new session

    // A users row left without its configurations row gets one.
    KvoDatabase::query(QStringLiteral("DELETE FROM configurations"));
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM users AS u INNER JOIN configurations AS c "
                                  "ON c.rowid = u.id_configuration")), 1);
}

void TestSignIn::wrongPasswordIsRefusedAndChangesNothing()
{
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo"), true), 1);
    const Row before = userRow(QStringLiteral("1042"));
    const Remembered rememberedBefore = remembered();
    KvoPurchaseVideoManager::destroy();

    QString message;
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("faux"), false, &message), -1);
    QCOMPARE(message, QStringLiteral("Identifiant ou mot de passe incorrect."));
    QVERIFY(!KvoHTTPRequest::hasCredentials());
    const Row after = userRow(QStringLiteral("1042"));
    QCOMPARE(after.password, before.password);
    QCOMPARE(after.session, before.session);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM users")), 1);
    // A refused attempt does not forget the remembered account.
    QCOMPARE(remembered().on, rememberedBefore.on);
    QCOMPARE(remembered().login, rememberedBefore.login);
}

void TestSignIn::rememberedLogin()
{
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo"), true), 1);
    Remembered r = remembered();
    QVERIFY(r.on);
    QCOMPARE(r.login, QStringLiteral("demo"));
    QCOMPARE(r.password, KvoStringCodec::encode(QStringLiteral("demo")));
    QCOMPARE(r.userId, KvoStringCodec::encode(QStringLiteral("1042")));
    QVERIFY(KvoSignIn::isRemembered());
    QCOMPARE(KvoSignIn::rememberedLogin(), QStringLiteral("demo"));
    QCOMPARE(KvoSignIn::rememberedPassword(), QStringLiteral("demo"));

    // Another account signing in without the box forgets the first one
    // (its password reaches the service intact with its "+" and "&").
    QCOMPARE(signIn(QStringLiteral("marie"), QStringLiteral("Motdepasse+1&"), false), 1);
    QCOMPARE(userRow(QStringLiteral("1043")).credits, QStringLiteral("3"));
    r = remembered();
    QVERIFY(!r.on);
    QVERIFY(r.login.isEmpty());
    QVERIFY(r.password.isEmpty());
    QVERIFY(r.userId.isEmpty());
    QVERIFY(KvoSignIn::rememberedLogin().isEmpty());
    QVERIFY(KvoSignIn::rememberedPassword().isEmpty());

    // The password that needs percent-encoding comes back as typed.
    QCOMPARE(signIn(QStringLiteral("marie"), QStringLiteral("Motdepasse+1&"), true), 1);
    QCOMPARE(KvoSignIn::rememberedPassword(), QStringLiteral("Motdepasse+1&"));
}

void TestSignIn::rememberedLoginWrittenBySettingsPage()
{
    // The settings page remembers the environment's user name (the lower
    // case pseudonym); the form needs a login the service accepts.
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo"), true), 1);
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("UPDATE player_config SET last_login = :login"));
    q.bindValue(QStringLiteral(":login"), KvoEnvironment::sanitizeFileName(QStringLiteral("démo")));
    QVERIFY(q.exec());
    QCOMPARE(KvoSignIn::rememberedLogin(), QStringLiteral("demo"));

    // A login that is the account's e-mail address is given back as is.
    q.bindValue(QStringLiteral(":login"), QStringLiteral("Demo@Example.org"));
    QVERIFY(q.exec());
    QCOMPARE(KvoSignIn::rememberedLogin(), QStringLiteral("Demo@Example.org"));
}

void TestSignIn::offlineSignIn_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("storedLogin");
    QTest::newRow("right password") << "demo" << "demo" << true << "demo";
    QTest::newRow("login in another case") << "DeMo" << "demo" << true << "demo";
    QTest::newRow("login with spaces around") << " demo " << "demo" << true << "demo";
    QTest::newRow("e-mail address") << "demo@example.org" << "demo" << true << "demo";
    QTest::newRow("plus and ampersand") << "marie" << "Motdepasse+1&" << true << "marie";
    QTest::newRow("wrong password") << "demo" << "faux" << false << "";
    QTest::newRow("password in another case") << "demo" << "DEMO" << false << "";
    QTest::newRow("other account's password") << "demo" << "Motdepasse+1&" << false << "";
    QTest::newRow("unknown user") << "paul" << "demo" << false << "";
}

void TestSignIn::offlineSignIn()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    QFETCH(QString, storedLogin);

    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    QCOMPARE(signIn(QStringLiteral("marie"), QStringLiteral("Motdepasse+1&")), 1);
    KvoPurchaseVideoManager::destroy();
    KvoHTTPRequest::clearCredentials();
    KvoEnvironment::currentUserSetup();
    const int users = count(QStringLiteral("SELECT count(*) FROM users"));

    useClosedPort();
    QString message;
    const int result = signIn(login, password, false, &message);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM users")), users);
    if (!accepted) {
        QCOMPARE(result, -1);
        QVERIFY2(message.contains(QStringLiteral("injoignable")), qPrintable(message));
        QVERIFY(!KvoHTTPRequest::hasCredentials());
        QVERIFY(KvoEnvironment::currentUserId().isEmpty());
        return;
    }
    QCOMPARE(result, 0);
    // The credentials stay for the requests made once the service is back.
    QVERIFY(KvoHTTPRequest::hasCredentials());
    const QString userId = storedLogin == QLatin1String("demo") ? QStringLiteral("1042") : QStringLiteral("1043");
    const QString storedId = KvoStringCodec::encode(userId);
    QCOMPARE(KvoEnvironment::currentUserId(), storedId);
    // Offline the environment's user is the stored login.
    QCOMPARE(KvoEnvironment::currentUser(), KvoEnvironment::sanitizeFileName(storedLogin));
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    QCOMPARE(manager->userId(), storedId);
    QCOMPARE(manager->login(), storedLogin);
    QCOMPARE(manager->credits(), userRow(userId).credits);
}

void TestSignIn::serviceAnswers_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("expected"); // 0 offline sign-in, -1 refused
    QTest::newRow("500") << int(Answer::Status500) << 0;
    QTest::newRow("503") << int(Answer::Status503) << 0;
    QTest::newRow("404") << int(Answer::Status404) << 0;
    QTest::newRow("not JSON") << int(Answer::NotJson) << 0;
    QTest::newRow("no user id") << int(Answer::NoUserId) << 0;
    // A refusal by the service is final, even for an account this computer
    // knows with that very password (it may have been changed or closed).
    QTest::newRow("401") << int(Answer::Status401) << -1;
    QTest::newRow("403") << int(Answer::Status403) << -1;
    QTest::newRow("200 with status ERROR") << int(Answer::StatusError) << -1;
}

void TestSignIn::serviceAnswers()
{
    QFETCH(int, answer);
    QFETCH(int, expected);
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    const Row before = userRow(QStringLiteral("1042"));
    KvoPurchaseVideoManager::destroy();

    useStandIn(Answer(answer));
    QString message;
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo"), false, &message), expected);
    QCOMPARE(KvoHTTPRequest::hasCredentials(), expected == 0);
    const Row after = userRow(QStringLiteral("1042"));
    QCOMPARE(after.session, before.session);
    QCOMPARE(after.credits, before.credits);
    if (Answer(answer) == Answer::StatusError)
        QCOMPARE(message, QStringLiteral("Compte suspendu."));
    else if (Answer(answer) == Answer::Status401)
        QCOMPARE(message, QStringLiteral("Compte inconnu.")); // the service's own words
    else if (expected == -1)
        QCOMPARE(message, QStringLiteral("Identifiant ou mot de passe incorrect."));
}

void TestSignIn::abortLeavesNoCredentials()
{
    useClosedPort();
    KvoSignIn signIn;
    QSignalSpy signedIn(&signIn, &KvoSignIn::signedIn);
    QSignalSpy failed(&signIn, &KvoSignIn::failed);
    signIn.signIn(QStringLiteral("demo"), QStringLiteral("demo"), true);
    QVERIFY(signIn.isRunning());
    QVERIFY(KvoHTTPRequest::hasCredentials());
    signIn.abort();
    QVERIFY(!signIn.isRunning());
    QVERIFY(!KvoHTTPRequest::hasCredentials());
    QCoreApplication::processEvents(); // nothing left running that could still end
    QCOMPARE(signedIn.count() + failed.count(), 0);
}

void TestSignIn::dialogPrefilledFromRememberedLogin()
{
    {
        KvoLoginDialog dialog;
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("loginEdit"))->text(), QString());
        QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("rememberCheck"))->isChecked());
    }
    QCOMPARE(signIn(QStringLiteral("marie"), QStringLiteral("Motdepasse+1&"), true), 1);
    KvoLoginDialog dialog;
    auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("loginEdit"))->text(), QStringLiteral("marie"));
    QCOMPARE(password->text(), QStringLiteral("Motdepasse+1&"));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QVERIFY(dialog.findChild<QCheckBox*>(QStringLiteral("rememberCheck"))->isChecked());
}

void TestSignIn::dialogShowsError()
{
    KvoLoginDialog dialog;
    dialog.show();
    auto* login = dialog.findChild<QLineEdit*>(QStringLiteral("loginEdit"));
    auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
    auto* error = dialog.findChild<QLabel*>(QStringLiteral("errorLabel"));
    auto* submit = dialog.findChild<QPushButton*>(QStringLiteral("submitButton"));
    QVERIFY(login && password && error && submit);
    QVERIFY(error->isHidden());

    login->setText(QStringLiteral("demo"));
    password->setText(QStringLiteral("faux"));
    QSignalSpy failed(dialog.signIn(), &KvoSignIn::failed);
    QTest::keyClick(password, Qt::Key_Return); // Enter submits
    QVERIFY(!login->isEnabled()); // no second attempt while one runs
    QVERIFY(!submit->isEnabled());
    QVERIFY(failed.wait(kWait));
    QVERIFY(error->isVisible());
    QCOMPARE(error->text(), QStringLiteral("Identifiant ou mot de passe incorrect."));
    QVERIFY(login->isEnabled());
    QVERIFY(submit->isEnabled());
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestSignIn::dialogLooks()
{
    KvoLoginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* login = dialog.findChild<QLineEdit*>(QStringLiteral("loginEdit"));
    auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
    auto* remember = dialog.findChild<QCheckBox*>(QStringLiteral("rememberCheck"));
    auto* error = dialog.findChild<QLabel*>(QStringLiteral("errorLabel"));

    // The ticked box shows a tick: light pixels on its blue square.
    remember->setChecked(true);
    QStyleOptionButton option;
    option.initFrom(remember);
    const QRect box = remember->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, remember);
    const QImage picture = remember->grab().toImage();
    int light = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            light += qGray(picture.pixel(x, y)) > 200 ? 1 : 0;
    QVERIFY2(light >= 12, qPrintable(QString::number(light)));

    // An empty submit shows the error; nothing above it moves, on screen
    // either.
    const QPoint loginAt = login->mapToGlobal(QPoint(0, 0));
    const QPoint passwordAt = password->mapToGlobal(QPoint(0, 0));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("submitButton")), Qt::LeftButton);
    QTRY_VERIFY(error->isVisible());
    QCoreApplication::processEvents();
    QTRY_COMPARE(login->mapToGlobal(QPoint(0, 0)), loginAt);
    QCOMPARE(password->mapToGlobal(QPoint(0, 0)), passwordAt);
}

void TestSignIn::dialogAcceptsOnSignIn()
{
    // Signed in once, so that the offline attempt knows the account.
    QCOMPARE(signIn(QStringLiteral("demo"), QStringLiteral("demo")), 1);
    KvoPurchaseVideoManager::destroy();
    useClosedPort();

    KvoLoginDialog dialog;
    dialog.show();
    dialog.findChild<QLineEdit*>(QStringLiteral("loginEdit"))->setText(QStringLiteral("demo"));
    dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("demo"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("submitButton")), Qt::LeftButton);
    QVERIFY(finished.wait(kWait));
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    QVERIFY(!dialog.isOnline());
    QCOMPARE(dialog.signedInLogin(), QStringLiteral("demo"));

    // Closing the window while a sign-in runs abandons it.
    KvoLoginDialog second;
    second.show();
    second.findChild<QLineEdit*>(QStringLiteral("loginEdit"))->setText(QStringLiteral("demo"));
    second.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("demo"));
    QSignalSpy signedIn(second.signIn(), &KvoSignIn::signedIn);
    QTest::mouseClick(second.findChild<QPushButton*>(QStringLiteral("submitButton")), Qt::LeftButton);
    second.reject();
    QVERIFY(!second.signIn()->isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(signedIn.count(), 0);
    QCOMPARE(second.result(), int(QDialog::Rejected));
    QVERIFY(!KvoHTTPRequest::hasCredentials());
}

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
