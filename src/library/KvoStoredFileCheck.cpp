#include "KvoStoredFileCheck.h"

#include "KvoPurchaseVideoManager.h"

#include <QFileInfo>
#include <QThread>

#include <utility>

KvoStoredFileCheck::KvoStoredFileCheck(QObject* parent)
    : QObject(parent)
{
}

KvoStoredFileCheck::~KvoStoredFileCheck()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

QHash<uint, QString> KvoStoredFileCheck::goneFiles(const QList<int>& purchaseIds, const Lookup& lookup,
                                                   const std::atomic<bool>* cancel)
{
    QHash<uint, QString> gone;
    KvoPurchase purchase;
    for (const int id : purchaseIds) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return gone;
        if (!lookup(uint(id), &purchase))
            continue;
        // Asked before each file too: one look at a folder that hangs (a
        // network mount gone away) must not hold the client's quit for a
        // whole course.
        for (const KvoVideoFile& video : std::as_const(purchase.files)) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return gone;
            if (!video.KvoPath.isEmpty() && !video.isOnDisk())
                gone.insert(video.fileId, video.KvoPath);
        }
    }
    return gone;
}

void KvoStoredFileCheck::start()
{
    start(&KvoPurchaseVideoManager::currentPurchaseIds, &KvoPurchaseVideoManager::currentPurchase);
}

void KvoStoredFileCheck::start(const Courses& courses, const Lookup& lookup)
{
    if (m_thread) {
        m_nextCourses = courses;
        m_nextLookup = lookup;
        m_hasNext = true;
        return;
    }
    m_cancel = false;
    m_thread = QThread::create([this, courses, lookup] { m_result = goneFiles(courses(), lookup, &m_cancel); });
    connect(m_thread, &QThread::finished, this, &KvoStoredFileCheck::onThreadFinished, Qt::QueuedConnection);
    m_thread->start(QThread::LowPriority);
}

void KvoStoredFileCheck::onThreadFinished()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const QHash<uint, QString> gone = std::exchange(m_result, {});
    if (m_hasNext) {
        m_hasNext = false;
        start(std::exchange(m_nextCourses, {}), std::exchange(m_nextLookup, {}));
    }
    emit checked(gone);
}
