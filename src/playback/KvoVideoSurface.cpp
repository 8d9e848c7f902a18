#include "KvoVideoSurface.h"

#include <QMutexLocker>

KvoVideoSurface::KvoVideoSurface(std::function<void()> frameReady)
    : m_frameReady(std::move(frameReady))
{
}

void KvoVideoSurface::setTargetSize(const QSize& size)
{
    QMutexLocker locker(&m_mutex);
    m_target = size;
}

bool KvoVideoSurface::frameFormat(int* requestedWidth, int* requestedHeight, int* pitch, int* lines)
{
    QMutexLocker locker(&m_mutex);
    // Converting and scaling in one pass in the decoder costs less than
    // converting the whole picture and scaling it again to paint it.
    QSize size(*requestedWidth, *requestedHeight);
    if (m_target.isValid() && (size.width() > m_target.width() || size.height() > m_target.height()))
        size = size.scaled(m_target, Qt::KeepAspectRatio);
    // Even sizes: the chroma planes of the source are halved.
    size = QSize(qMax(2, size.width() & ~1), qMax(2, size.height() & ~1));
    *requestedWidth = size.width();
    *requestedHeight = size.height();
    const int width = size.width();
    const int height = size.height();
    // A few lines more than the picture: decoders may write whole blocks.
    const int rows = (height + 31) & ~31;
    m_back = QImage(width, rows, QImage::Format_RGB32);
    if (m_back.isNull())
        return false;
    m_back.fill(Qt::black);
    m_size = QSize(width, height);
    m_lines = rows;
    *pitch = int(m_back.bytesPerLine());
    *lines = rows;
    return true;
}

uchar* KvoVideoSurface::lockFrame()
{
    m_mutex.lock();
    // The painter may still hold the previous front picture: write into a
    // buffer nobody else reads.
    if (!m_back.isDetached() || m_back.isNull()) {
        m_back = QImage(m_size.width(), m_lines, QImage::Format_RGB32);
    }
    uchar* bits = m_back.bits();
    m_mutex.unlock();
    return bits;
}

void KvoVideoSurface::unlockFrame()
{
}

void KvoVideoSurface::displayFrame()
{
    {
        QMutexLocker locker(&m_mutex);
        std::swap(m_front, m_back);
    }
    ++m_framesShown;
    if (!m_requested.exchange(true) && m_frameReady)
        m_frameReady();
}

QImage KvoVideoSurface::takeFrame(QSize* videoSize)
{
    QMutexLocker locker(&m_mutex);
    if (m_requested.exchange(false))
        ++m_framesTaken;
    if (videoSize)
        *videoSize = m_size;
    return m_front;
}

void KvoVideoSurface::clear()
{
    QMutexLocker locker(&m_mutex);
    m_front = QImage();
    m_requested = false;
}
