#pragma once

#include "KvoVideoBackend.h"

#include <QImage>
#include <QMutex>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>

// The picture of one video player: the decoder writes each frame into a
// back buffer, and a frame due on screen becomes the front one, which the
// player paints. Lives as long as its player and serves every media the
// player loads in turn, each through a port of its own: a media being
// released on another thread may still decode, but once its port is
// closed its pictures go nowhere.
class KvoVideoSurface
{
public:
    // What one media's decoder writes into.
    class Port : public KvoVideoFrameSink
    {
    public:
        explicit Port(KvoVideoSurface* surface)
            : m_surface(surface)
        {
        }
        bool frameFormat(int* width, int* height, int* pitch, int* lines) override;
        uchar* lockFrame() override;
        void unlockFrame() override;
        void displayFrame() override;

    private:
        KvoVideoSurface* m_surface;
        // Where a closed port's pictures go (decoder thread only).
        QImage m_scratch;
        int m_width = 0;
        int m_rows = 0;
        bool m_holding = false;
    };

    // frameReady runs on the decoder's thread when a new front picture is
    // there and the previous one has been taken (one request at a time).
    explicit KvoVideoSurface(std::function<void()> frameReady);

    // The port of a new media; the one before is closed.
    std::shared_ptr<Port> openPort();
    // Closes a port: waits for a picture being written through it.
    void closePort(const Port* port);

    // The decoder is asked for pictures of the size they are shown at: as
    // large as fits the target (the widget's size in device pixels, set by
    // the player), at the picture's own proportions.
    void setTargetSize(const QSize& size);
    // True when the decoder delivers pictures of another size than the
    // target calls for now (the media must be asked for a new format).
    bool wantsNewFormat();

    // The current front picture (shares its pixels; cheap) and the size of
    // the video in it. A null image before the first frame.
    QImage takeFrame(QSize* videoSize);
    // The size of the current front picture (empty before the first).
    QSize frameSize();
    // Forgets the picture (a new media starts black).
    void clear();
    // Forgets only the picture, not the format the decoder writes in: the
    // media loaded already starts black when it plays again.
    void dropPicture();

    quint64 framesShown() const { return m_framesShown.load(); }
    quint64 framesTaken() const { return m_framesTaken.load(); }

private:
    bool formatLocked(int* width, int* height, int* pitch, int* lines);
    QSize fittedLocked(const QSize& shape) const;
    void dropPictureLocked();

    std::function<void()> m_frameReady;
    QMutex m_mutex;
    const Port* m_livePort = nullptr;
    QImage m_back;
    QImage m_front;
    // The picture's own shape (its display proportions) and the size and
    // rows the decoder writes now; the size of the picture in each buffer.
    QSize m_shape;
    QSize m_size;
    int m_lines = 0;
    QSize m_backSize;
    QSize m_frontSize;
    QSize m_target;
    std::atomic<bool> m_requested{false};
    std::atomic<quint64> m_framesShown{0};
    std::atomic<quint64> m_framesTaken{0};
};
