#pragma once

#include "KvoVideoBackend.h"

#include <QImage>
#include <QMutex>
#include <QSize>

#include <atomic>
#include <functional>

// The picture of one video player: the decoder writes each frame into a
// back buffer, and a frame due on screen becomes the front one, which the
// player paints. Lives as long as its player and serves every media the
// player loads in turn.
class KvoVideoSurface : public KvoVideoFrameSink
{
public:
    // frameReady runs on the decoder's thread when a new front picture is
    // there and the previous one has been taken (one request at a time).
    explicit KvoVideoSurface(std::function<void()> frameReady);

    // The decoder is asked for pictures no larger than needed to fill the
    // target (the widget's size in device pixels, set by the player);
    // the proportions of the video are kept.
    bool frameFormat(int* width, int* height, int* pitch, int* lines) override;
    void setTargetSize(const QSize& size);
    uchar* lockFrame() override;
    void unlockFrame() override;
    void displayFrame() override;

    // The current front picture (shares its pixels; cheap) and the size of
    // the video in it. A null image before the first frame.
    QImage takeFrame(QSize* videoSize);
    // Forgets the picture (a new media starts black).
    void clear();

    quint64 framesShown() const { return m_framesShown.load(); }
    quint64 framesTaken() const { return m_framesTaken.load(); }

private:
    std::function<void()> m_frameReady;
    QMutex m_mutex;
    QImage m_back;
    QImage m_front;
    QSize m_size;
    QSize m_target;
    int m_lines = 0;
    std::atomic<bool> m_requested{false};
    std::atomic<quint64> m_framesShown{0};
    std::atomic<quint64> m_framesTaken{0};
};
