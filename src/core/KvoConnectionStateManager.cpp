#include "KvoConnectionStateManager.h"

#include "KvoApi.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

namespace {

QAtomicInt s_intervalMs = 5000;
QAtomicInt s_timeoutMs = 1000;

// The wait between two probes is cut into slices so that stop() ends the
// loop promptly.
constexpr int s_sliceMs = 50;

} // namespace

KvoConnectionStateManager::KvoConnectionStateManager(bool connected)
    : m_connected(connected)
{
    setAutoDelete(true);
}

KvoConnectionStateManager::~KvoConnectionStateManager() = default;

void KvoConnectionStateManager::run()
{
    while (!isStopped()) {
        const bool connected = probe();
        if (isStopped())
            break;
        if (connected != m_connected) {
            m_connected = connected;
            emit changeConnectionState(connected);
        }
        QElapsedTimer waited;
        waited.start();
        const int interval = s_intervalMs.loadRelaxed();
        while (!isStopped() && waited.elapsed() < interval)
            QThread::msleep(qMin<qint64>(s_sliceMs, qMax<qint64>(1, interval - waited.elapsed())));
    }
}

void KvoConnectionStateManager::stop()
{
    QMutexLocker locker(&m_mutex);
    m_stop = true;
}

bool KvoConnectionStateManager::isStopped() const
{
    QMutexLocker locker(&m_mutex);
    return m_stop;
}

void KvoConnectionStateManager::setTimingForTesting(int intervalMs, int timeoutMs)
{
    s_intervalMs.storeRelaxed(qMax(1, intervalMs));
    s_timeoutMs.storeRelaxed(qMax(1, timeoutMs));
}

bool KvoConnectionStateManager::probe() const
{
    const QUrl url(KvoApi::endpoint());
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const int port = url.port(https ? 443 : 80);
    QTcpSocket socket;
    socket.connectToHost(url.host(), quint16(port));
    const bool connected = socket.waitForConnected(s_timeoutMs.loadRelaxed());
    socket.abort();
    return connected;
}
