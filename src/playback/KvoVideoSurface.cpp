#include "KvoVideoSurface.h"

#include <QMutexLocker>

KvoVideoSurface::KvoVideoSurface(std::function<void()> frameReady)
    : m_frameReady(std::move(frameReady))
{
}

std::shared_ptr<KvoVideoSurface::Port> KvoVideoSurface::openPort()
{
    auto port = std::make_shared<Port>(this);
    QMutexLocker locker(&m_mutex);
    m_livePort = port.get();
    return port;
}

void KvoVideoSurface::closePort(const Port* port)
{
    QMutexLocker locker(&m_mutex);
    if (m_livePort == port)
        m_livePort = nullptr;
}

void KvoVideoSurface::setTargetSize(const QSize& size)
{
    QMutexLocker locker(&m_mutex);
    m_target = size;
}

bool KvoVideoSurface::wantsNewFormat()
{
    QMutexLocker locker(&m_mutex);
    return m_livePort && m_shape.isValid() && m_size.isValid() && fittedLocked(m_shape) != m_size;
}

QSize KvoVideoSurface::fittedLocked(const QSize& shape) const
{
    QSize size = shape;
    if (m_target.isValid())
        size = shape.scaled(m_target, Qt::KeepAspectRatio);
    else if (size.width() > 1920 || size.height() > 1200)
        size = size.scaled(QSize(1920, 1200), Qt::KeepAspectRatio);
    // Even sizes: the chroma planes of the source are halved.
    return QSize(qMax(2, size.width() & ~1), qMax(2, size.height() & ~1));
}

bool KvoVideoSurface::formatLocked(int* requestedWidth, int* requestedHeight, int* pitch, int* lines)
{
    // Converted and scaled in one pass in the decoder to the size the
    // picture is shown at, and painted as it is: less work than converting
    // the whole picture and scaling it again on every paint.
    const QSize shape(*requestedWidth, *requestedHeight);
    const QSize size = fittedLocked(shape);
    *requestedWidth = size.width();
    *requestedHeight = size.height();
    // A few lines more than the picture: decoders may write whole blocks.
    const int rows = (size.height() + 31) & ~31;
    m_back = QImage(size.width(), rows, QImage::Format_RGB32);
    if (m_back.isNull())
        return false;
    m_back.fill(Qt::black);
    m_shape = shape;
    m_size = size;
    m_lines = rows;
    *pitch = int(m_back.bytesPerLine());
    *lines = rows;
    return true;
}

bool KvoVideoSurface::Port::frameFormat(int* width, int* height, int* pitch, int* lines)
{
    QMutexLocker locker(&m_surface->m_mutex);
    if (m_surface->m_livePort == this && m_surface->formatLocked(width, height, pitch, lines)) {
        m_width = *width;
        m_rows = *lines;
        return true;
    }
    if (m_surface->m_livePort == this)
        return false;
    m_width = *width;
    m_rows = (*height + 31) & ~31;
    m_scratch = QImage(m_width, m_rows, QImage::Format_RGB32);
    *pitch = int(m_scratch.bytesPerLine());
    *lines = m_rows;
    return !m_scratch.isNull();
}

uchar* KvoVideoSurface::Port::lockFrame()
{
    // Held until unlockFrame: closing the port waits for this picture.
    m_surface->m_mutex.lock();
    if (m_surface->m_livePort == this) {
        m_holding = true;
        KvoVideoSurface* s = m_surface;
        // The painter may still hold the previous front picture: write
        // into a buffer nobody else reads, of the format asked for last.
        if (!s->m_back.isDetached() || s->m_back.isNull() || s->m_back.width() != s->m_size.width()
            || s->m_back.height() != s->m_lines)
            s->m_back = QImage(s->m_size.width(), s->m_lines, QImage::Format_RGB32);
        s->m_backSize = s->m_size;
        return s->m_back.bits();
    }
    m_surface->m_mutex.unlock();
    if (m_scratch.isNull())
        m_scratch = QImage(qMax(2, m_width), qMax(2, m_rows), QImage::Format_RGB32);
    return m_scratch.bits();
}

void KvoVideoSurface::Port::unlockFrame()
{
    if (m_holding) {
        m_holding = false;
        m_surface->m_mutex.unlock();
    }
}

void KvoVideoSurface::Port::displayFrame()
{
    KvoVideoSurface* s = m_surface;
    {
        QMutexLocker locker(&s->m_mutex);
        if (s->m_livePort != this)
            return;
        std::swap(s->m_front, s->m_back);
        std::swap(s->m_frontSize, s->m_backSize);
    }
    ++s->m_framesShown;
    if (!s->m_requested.exchange(true) && s->m_frameReady)
        s->m_frameReady();
}

QImage KvoVideoSurface::takeFrame(QSize* videoSize)
{
    QMutexLocker locker(&m_mutex);
    if (m_requested.exchange(false))
        ++m_framesTaken;
    if (videoSize)
        *videoSize = m_frontSize;
    return m_front;
}

QSize KvoVideoSurface::frameSize()
{
    QMutexLocker locker(&m_mutex);
    return m_front.isNull() ? QSize() : m_frontSize;
}

void KvoVideoSurface::clear()
{
    QMutexLocker locker(&m_mutex);
    dropPictureLocked();
    m_shape = QSize();
    m_size = QSize();
}

void KvoVideoSurface::dropPicture()
{
    QMutexLocker locker(&m_mutex);
    dropPictureLocked();
}

void KvoVideoSurface::dropPictureLocked()
{
    m_front = QImage();
    m_frontSize = QSize();
    m_requested = false;
}
