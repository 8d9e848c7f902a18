#include "KvoBenchHome.h"

#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStringCodec.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QVariant>

QString KvoBenchHome::storedUser()
{
    return KvoStringCodec::encode(plainUser());
}

KvoBenchHome::KvoBenchHome(const QString& parent)
    : m_dir(parent + QStringLiteral("/kvo-bench-XXXXXX"))
{
    if (!m_dir.isValid())
        return;
    QDir(m_dir.path()).mkpath(QStringLiteral("home/.config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("home/Documents"));
    qputenv("HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/home/.config")));
    if (!KvoDatabase::open(m_dir.path() + QStringLiteral("/database.sqlite")))
        return;
    QSqlQuery q(KvoDatabase::database());
    if (!q.exec(QStringLiteral("INSERT INTO configurations DEFAULT VALUES")))
        return;
    const QVariant configuration = q.lastInsertId();
    q.prepare(QStringLiteral("INSERT INTO users (id_qoz_user, id_configuration, login, credits) VALUES (?, ?, 'bench', '0')"));
    q.addBindValue(storedUser());
    q.addBindValue(configuration);
    if (!q.exec())
        return;
    KvoPurchaseVideoManager::instance()->setUser(storedUser(), QStringLiteral("bench"), QStringLiteral("0"), QString());
    KvoEnvironment::setVideoPath(m_dir.path() + QStringLiteral("/videos"));
    m_ok = true;
}

KvoBenchHome::~KvoBenchHome()
{
    KvoPurchaseVideoManager::destroy();
    KvoDatabase::close();
}

KvoLatenessProbe::KvoLatenessProbe()
{
    m_timer.setInterval(5);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_worst = qMax(m_worst, now - m_last - qint64(5000000));
        m_last = now;
    });
}

void KvoLatenessProbe::start()
{
    m_worst = 0;
    m_clock.start();
    m_last = 0;
    m_timer.start();
}

double timeCommand(const QString& command)
{
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    return rc == 0 ? t.nsecsElapsed() / 1e6 : -1;
}
