#include "KvoBenchLibrary.h"

#include "KvoDatabase.h"
#include "KvoPurchaseVideoManager.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QThreadPool>
#include <QVariant>

namespace {

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

KvoBenchLibrary::KvoBenchLibrary(const QString& user)
    : m_user(user)
{
    m_open = m_dir.isValid() && KvoDatabase::open(m_dir.filePath(QStringLiteral("database.sqlite")));
}

KvoBenchLibrary::~KvoBenchLibrary()
{
    close();
}

double KvoBenchLibrary::fill(int softwares, const std::function<void(QSqlDatabase&)>& addRows)
{
    QElapsedTimer timer;
    timer.start();
    QSqlDatabase db = KvoDatabase::database();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO users (id_qoz_user, login, credits, last_update) VALUES (?, 'bench', '0', 0)"));
    q.addBindValue(m_user);
    q.exec();
    addRows(db);
    for (int s = 1; s <= softwares; ++s) {
        q.prepare(QStringLiteral("INSERT INTO softwares (id, name, thumbnail, url) VALUES (?, ?, '', ?)"));
        q.addBindValue(s);
        q.addBindValue(QStringLiteral("Logiciel %1").arg(s));
        q.addBindValue(QStringLiteral("https://example.org/logiciel/%1").arg(s));
        q.exec();
        q.prepare(QStringLiteral("INSERT INTO user_software (id_user, id_software, suscribed) VALUES (?, ?, 0)"));
        q.addBindValue(m_user);
        q.addBindValue(s);
        q.exec();
    }
    db.commit();
    return msSince(timer);
}

double KvoBenchLibrary::load()
{
    QElapsedTimer timer;
    timer.start();
    KvoPurchaseVideoManager::instance()->setUser(m_user, QStringLiteral("bench"), QString(), QString());
    return msSince(timer);
}

void KvoBenchLibrary::close()
{
    if (!m_open)
        return;
    m_open = false;
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoDatabase::close();
}
