#include "KvoStoredFileCheck.h"

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

QHash<uint, QString> KvoStoredFileCheck::goneFiles(const QMap<int, KvoPurchase>& library,
                                                   const std::atomic<bool>* cancel)
{
    QHash<uint, QString> gone;
    // Asked before each file: one look at a folder that hangs (a network
    // mount gone away) must not hold the client's quit for a whole course.
    for (const KvoPurchase& purchase : library) {
        for (const KvoVideoFile& video : purchase.files) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return gone;
            if (!video.KvoPath.isEmpty() && !video.isOnDisk())
                gone.insert(video.fileId, video.KvoPath);
        }
    }
    return gone;
}

void KvoStoredFileCheck::start(const QMap<int, KvoPurchase>& library)
{
    if (m_thread) {
        m_next = library;
        m_hasNext = true;
        return;
    }
    m_cancel = false;
    // The copy of the library is shared, never changed: reading it on the
    // worker is safe while the library goes on with its own.
    m_thread = QThread::create([this, library] { m_result = goneFiles(library, &m_cancel); });
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
        start(std::exchange(m_next, {}));
    }
    emit checked(gone);
}
