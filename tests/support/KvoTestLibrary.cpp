#include "KvoTestLibrary.h"

#include "KvoDatabase.h"
#include "KvoLibraryStore.h"
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

bool KvoTestLibrary::addConfiguration(const QString& storedUserId)
{
    QSqlQuery q(KvoDatabase::database());
    if (!q.exec(QStringLiteral("INSERT INTO configurations DEFAULT VALUES")))
        return false;
    const QVariant configuration = q.lastInsertId();
    q.prepare(QStringLiteral("UPDATE users SET id_configuration = ? WHERE id_qoz_user = ?"));
    q.addBindValue(configuration);
    q.addBindValue(storedUserId);
    return q.exec() && q.numRowsAffected() == 1;
}

KvoLibrary KvoTestLibrary::stored(const QString& storedUserId)
{
    return KvoLibraryStore(storedUserId).load();
}

bool KvoTestLibrary::write(const QString& storedUserId, const KvoLibrary& library)
{
    KvoLibraryStore store(storedUserId);
    const KvoLibraryStore::Marks marks = store.marks();
    return store.write(library, {}, marks.since, marks.lastSync, marks.credits);
}

bool KvoTestLibrary::add(const QString& storedUserId, const KvoLibrary& more)
{
    KvoLibrary library = stored(storedUserId);
    for (auto it = more.purchases.cbegin(); it != more.purchases.cend(); ++it)
        library.purchases.insert(it.key(), it.value());
    for (auto it = more.softwares.cbegin(); it != more.softwares.cend(); ++it)
        library.softwares.insert(it.key(), it.value());
    for (auto it = more.authors.cbegin(); it != more.authors.cend(); ++it)
        library.authors.insert(it.key(), it.value());
    return write(storedUserId, library);
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
