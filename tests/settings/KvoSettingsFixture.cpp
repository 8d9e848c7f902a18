#include "KvoSettingsFixture.h"

#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoModalRunner.h"
#include "KvoNotifier.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStringCodec.h"
#include "KvoTestLibrary.h"

#include <QDir>
#include <QLabel>
#include <QSqlQuery>
#include <QVariant>

bool KvoSettingsFixture::openWithUsers(const QString& folder)
{
    if (!KvoDatabase::open(QDir(folder).filePath(QStringLiteral("database.sqlite"))))
        return false;
    QSqlQuery q(KvoDatabase::database());
    const struct { const char* id; const char* login; const char* email; } accounts[] = {
        {"1042", "demo", "demo@example.org"}, {"1043", "marie", "marie@example.org"}};
    for (const auto& a : accounts) {
        if (!q.exec(QStringLiteral("INSERT INTO configurations DEFAULT VALUES")))
            return false;
        const qint64 configuration = q.lastInsertId().toLongLong();
        q.prepare(QStringLiteral("INSERT INTO users (id_qoz_user, id_configuration, login, pseudo, password, email) "
                                 "VALUES (:id, :conf, :login, :login2, :password, :email)"));
        q.bindValue(QStringLiteral(":id"), KvoStringCodec::encode(QLatin1String(a.id)));
        q.bindValue(QStringLiteral(":conf"), configuration);
        q.bindValue(QStringLiteral(":login"), QLatin1String(a.login));
        q.bindValue(QStringLiteral(":login2"), QLatin1String(a.login));
        q.bindValue(QStringLiteral(":password"), KvoStringCodec::encode(QStringLiteral("secret")));
        q.bindValue(QStringLiteral(":email"), QLatin1String(a.email));
        if (!q.exec())
            return false;
    }
    signIn(QStringLiteral("1042"), QStringLiteral("demo"));
    return true;
}

void KvoSettingsFixture::signIn(const QString& plainUserId, const QString& login)
{
    const QString stored = KvoStringCodec::encode(plainUserId);
    KvoEnvironment::setCurrentUser(login);
    KvoEnvironment::setCurrentUserId(stored);
    KvoPurchaseVideoManager::instance()->setUser(stored, login, QStringLiteral("3"), QString());
    KvoNotifier::instance()->loadMask();
}

void KvoSettingsFixture::close()
{
    KvoModalRunner::setDialogHook({});
    KvoModalRunner::setFolderHook({});
    shownDialogs().clear();
    KvoTestLibrary::close();
}

QList<QStringList>& KvoSettingsFixture::shownDialogs()
{
    static QList<QStringList> list;
    return list;
}

QStringList KvoSettingsFixture::dialogTexts(KvoDialog* dialog)
{
    QStringList texts{dialog->objectName()};
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (!label->text().isEmpty())
            texts.append(label->text());
    }
    return texts;
}

void KvoSettingsFixture::answerDialogs(int answer)
{
    answerDialogs([answer](KvoDialog*) { return answer; });
}

void KvoSettingsFixture::answerDialogs(const std::function<int(KvoDialog*)>& answer)
{
    KvoModalRunner::setDialogHook([answer](KvoDialog* dialog) {
        shownDialogs().append(dialogTexts(dialog));
        return answer(dialog);
    });
}
