#include "KvoDownloader.h"

#include "KvoTransfer.h"

#include <QThread>

#include <atomic>

namespace {

std::atomic<int> s_transferTimeout{60000};
std::atomic<int> s_lowSpeedBytes{1024};
std::atomic<int> s_lowSpeedWindow{60000};

} // namespace

KvoDownloader::KvoDownloader(QObject* parent)
    : QObject(parent)
{
}

KvoDownloader::~KvoDownloader()
{
    // No signal leaves a downloader that is going away.
    releaseTransfer();
}

void KvoDownloader::setTransferTimeout(int ms)
{
    s_transferTimeout.store(ms);
}

void KvoDownloader::setLowSpeedLimit(int bytesPerSecond, int windowMs)
{
    s_lowSpeedBytes.store(bytesPerSecond);
    s_lowSpeedWindow.store(windowMs);
}

void KvoDownloader::setDestination(const QString& path)
{
    m_destination = path;
}

void KvoDownloader::download(const QString& url)
{
    // A download still running is dropped without an end signal of its own.
    releaseTransfer();
    m_received = 0;
    m_statusCode = 0;
    m_running = true;

    KvoTransfer::Limits limits;
    limits.inactivityMs = s_transferTimeout.load();
    limits.lowSpeedBytesPerSecond = s_lowSpeedBytes.load();
    limits.lowSpeedWindowMs = s_lowSpeedWindow.load();

    auto* transfer = new KvoTransfer(++m_generation);
    transfer->moveToThread(KvoTransfer::workerThread());
    m_transfer = transfer;
    connect(transfer, &KvoTransfer::progressed, this, &KvoDownloader::onProgressed, Qt::QueuedConnection);
    connect(transfer, &KvoTransfer::ended, this, &KvoDownloader::onEnded, Qt::QueuedConnection);
    const QString destination = m_destination;
    QMetaObject::invokeMethod(
        transfer, [transfer, url, destination, limits] { transfer->start(url, destination, limits); },
        Qt::QueuedConnection);
}

void KvoDownloader::abort()
{
    if (!m_running)
        return;
    releaseTransfer();
    emit errorDownload(QNetworkReply::OperationCanceledError, QStringLiteral("Download aborted"));
}

void KvoDownloader::releaseTransfer()
{
    // A newer generation makes every report still on its way stale.
    ++m_generation;
    m_running = false;
    KvoTransfer* transfer = m_transfer;
    m_transfer = nullptr;
    if (!transfer)
        return;
    disconnect(transfer, nullptr, this, nullptr);
    // Waits for the worker to stop the transfer and remove its partial file:
    // a short step, since the worker never blocks for long.
    QThread* worker = transfer->thread();
    if (worker && worker->isRunning() && worker != QThread::currentThread())
        QMetaObject::invokeMethod(transfer, [transfer] { delete transfer; }, Qt::BlockingQueuedConnection);
    else
        delete transfer;
}

void KvoDownloader::onProgressed(quint64 generation, qint64 received, qint64 total, int status)
{
    if (generation != m_generation || !m_running)
        return;
    m_received = received;
    m_statusCode = status;
    // The slot may abort, restart or even delete this downloader.
    emit progressDownload(received, total);
}

void KvoDownloader::onEnded(quint64 generation, bool ok, int error, const QString& text, qint64 received, int status)
{
    if (generation != m_generation || !m_running)
        return;
    m_running = false;
    m_received = received;
    m_statusCode = status;
    KvoTransfer* transfer = m_transfer;
    m_transfer = nullptr;
    QString problem;
    if (transfer) {
        disconnect(transfer, nullptr, this, nullptr);
        // The rename waits for this report: an abort that came first leaves
        // no file under the final name.
        const auto commitAndDelete = [transfer, ok, &problem] {
            if (ok)
                problem = transfer->commit();
            delete transfer;
        };
        QThread* worker = transfer->thread();
        if (worker && worker->isRunning() && worker != QThread::currentThread())
            QMetaObject::invokeMethod(transfer, commitAndDelete, Qt::BlockingQueuedConnection);
        else
            commitAndDelete();
    }
    if (ok && problem.isEmpty())
        emit successDownload();
    else if (ok)
        emit errorDownload(QNetworkReply::UnknownNetworkError, problem);
    else
        emit errorDownload(QNetworkReply::NetworkError(error), text);
}
