#include "KvoTestLibrary.h"

#include "KvoDatabase.h"
#include "KvoPurchaseVideoManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>
#include <QThreadPool>

bool KvoTestLibrary::openWithUser(const QString& folder, const QString& storedUserId)
{
    if (!KvoDatabase::open(QDir(folder).filePath(QStringLiteral("database.sqlite"))))
        return false;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO users (id_qoz_user, login, credits, last_update) VALUES (?, 'demo', '3', 0)"));
    q.addBindValue(storedUserId);
    return q.exec();
}

void KvoTestLibrary::drainManager()
{
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void KvoTestLibrary::close()
{
    drainManager();
    KvoDatabase::close();
}
