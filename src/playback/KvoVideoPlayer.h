#pragma once

#include "KvoVideoBackend.h"

#include <QMutex>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "KvoVideoSurface.h"

#include <memory>

class KvoPlayerOverlay;
class QTimer;
class KvoVideoSeeker;
struct KvoVideoTeardowns;
class KvoVideoTitle;
class KvoVideoVolumeSlider;

// The video surface of the client: plays one stored video file or remote
// location at a time, paints its pictures (decoded by the media engine into
// a buffer of its own, so effects and overlays cover the video on any
// display), keeps the seek bar and the volume slider in step and places
// the title and the two floating overlays over the picture.
//
// The engine reports on its own threads. Those reports only update the
// media's info under its mutex; everything else (signals, the seek bar)
// happens on the GUI thread, and a report of a media that has been
// replaced since is dropped there.
class KvoVideoPlayer : public QWidget
{
    Q_OBJECT

public:
    // Playback states of state() and MediaInfo::state.
    enum State { Playing = 0, Paused = 1, Stopped = 2, NoMedia = 4 };

    struct MediaInfo
    {
        qint64 length = -1; // ms; -1 until the engine reports one
        qint64 time = -1;   // ms; -1 until the engine reports one
        int state = NoMedia;
        QString path;
    };

    explicit KvoVideoPlayer(QWidget* parent = nullptr);
    ~KvoVideoPlayer() override;

    // Loads a stored video file; playback starts with play(). True when a
    // new media was loaded; false when this path is loaded already (it is
    // only stopped, and shows no picture until it plays again) or when the
    // media could not be loaded (isLoaded() is then false and error()
    // follows).
    bool openFile(const QString& path);
    // The same for a remote location (a URL).
    void openUrl(const QString& location);

    bool isLoaded() const { return m_session != nullptr; }
    int state() const;
    MediaInfo mediaInfo() const;
    bool isMuted() const;
    // Why the last media could not be loaded or played ("" when it could).
    QString errorText() const { return m_errorText; }

    void setSeeker(KvoVideoSeeker* seeker);
    void setVolumeSlider(KvoVideoVolumeSlider* slider);
    void setOverlayWidgets(KvoPlayerOverlay* comment, KvoPlayerOverlay* bookmark);
    void updateOverlays();
    void showTitle(const QString& text);
    KvoVideoTitle* titleOverlay() const { return m_title; }

    // Pictures handed over by the decoder, and those painted (the rest
    // were replaced by a newer one before the window could paint them).
    quint64 framesShown() const;
    quint64 framesPainted() const;
    // The size the decoder delivers the pictures at (empty before the
    // first picture).
    QSize pictureSize() const;
    // True once a picture of the current media has been painted.
    bool hasPicture() const { return m_hasPicture; }

public slots:
    void play();
    void pause();
    void stop();
    void mute();
    void changeVolume(int volume);
    void seek(int seconds);

signals:
    void tick(qint64 time, qint64 length);
    void buffering(bool buffering);
    void playing();
    void paused();
    void stopped();
    void ended();
    // The media cannot be played (not a video, unreadable, no engine).
    void error();
    // The first picture of a media has been painted.
    void firstFrame();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct EventContext;
    class Events;

    void release();
    void load(const QString& source, bool location);
    // The source asked for is loaded already: stopped, it starts again.
    void reopen();
    // Shows black until the media delivers a picture again.
    void dropPicture();
    // GUI-thread side of an engine report of the media numbered generation;
    // time and length as they were right after the report.
    void onMediaEvent(quint64 generation, int type, qint64 value, bool changed, qint64 time, qint64 length);
    void applySliderVolume();
    // Runs the engine's stop that stop() left for later, now.
    void stopEngineNow();
    // Asks the media for pictures of the size shown now, if they differ.
    void reformat();
    // The seek numbered pausedSeek is still the last one, made while paused
    // on the media numbered generation, and the media is still paused.
    bool pausedSeekStands(quint64 generation, quint64 pausedSeek) const;

    std::unique_ptr<KvoVideoSession> m_session;
    std::unique_ptr<EventContext> m_context;
    std::shared_ptr<KvoVideoSurface::Port> m_port;
    // Media being released on other threads; waited for at destruction.
    std::shared_ptr<KvoVideoTeardowns> m_teardowns;
    // stop() did the bookkeeping; the engine stops at the next turn of the
    // event loop, unless the media is released first (then off the GUI
    // thread: the engine's stop waits for its threads).
    bool m_engineStopPending = false;
    // Reopened before the engine stopped: its last pictures are dropped
    // once it has.
    bool m_dropPictureAtStop = false;
    QPointer<KvoVideoSeeker> m_seeker;
    QPointer<KvoVideoVolumeSlider> m_volumeSlider;
    int m_requestedState = NoMedia;
    std::unique_ptr<KvoVideoSurface> m_surface;
    KvoVideoTitle* m_title = nullptr;
    KvoPlayerOverlay* m_commentOverlay = nullptr;
    KvoPlayerOverlay* m_bookmarkOverlay = nullptr;

    quint64 m_generation = 0;
    // Seeks made while paused; only the last one is made again.
    quint64 m_pausedSeeks = 0;
    bool m_buffering = false;
    // The engine cannot tell the mute state without an audio output: the
    // player's own record stands in then.
    bool m_muted = false;
    int m_volumeBeforeMute = 100;
    QString m_errorText;
    bool m_hasPicture = false;
    QTimer* m_reformatTimer = nullptr;
};
