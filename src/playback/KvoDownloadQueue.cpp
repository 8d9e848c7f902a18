#include "KvoDownloadQueue.h"

#include "KvoDownloadJob.h"

#include <QTimer>

KvoDownloadQueue* KvoDownloadQueue::instance()
{
    // Lives as long as the process: jobs may go after the application.
    static KvoDownloadQueue* queue = new KvoDownloadQueue;
    return queue;
}

bool KvoDownloadQueue::isQueued(const KvoDownloadJob* job) const
{
    return m_waitingSet.contains(job);
}

bool KvoDownloadQueue::holdsSlot(const KvoDownloadJob* job) const
{
    return m_active.contains(const_cast<KvoDownloadJob*>(job));
}

void KvoDownloadQueue::clear()
{
    m_waiting.clear();
    m_waitingSet.clear();
}

void KvoDownloadQueue::append(KvoDownloadJob* job)
{
    if (m_waitingSet.contains(job))
        return;
    m_waitingSet.insert(job);
    m_waiting.append(job);
    scheduleNext();
}

void KvoDownloadQueue::removeWaiting(KvoDownloadJob* job)
{
    if (m_waitingSet.remove(job))
        m_waiting.removeOne(job);
}

bool KvoDownloadQueue::takeSlot(KvoDownloadJob* job)
{
    if (m_active.contains(job))
        return true;
    if (m_active.size() >= MaxActiveDownloads)
        return false;
    m_active.append(job);
    return true;
}

bool KvoDownloadQueue::releaseSlot(KvoDownloadJob* job)
{
    if (m_active.removeAll(job) == 0)
        return false;
    scheduleNext();
    return true;
}

void KvoDownloadQueue::scheduleNext()
{
    // Started from the event loop: the path that freed the slot finishes
    // its own work before another job runs.
    if (m_startPending)
        return;
    m_startPending = true;
    QTimer::singleShot(0, this, &KvoDownloadQueue::startWaiting);
}

void KvoDownloadQueue::startWaiting()
{
    m_startPending = false;
    while (m_active.size() < MaxActiveDownloads && !m_waiting.isEmpty()) {
        KvoDownloadJob* next = m_waiting.takeFirst();
        m_waitingSet.remove(next);
        next->startDownload();
    }
}
