#include "KvoVideoPlayer.h"


#include "KvoPlayerOverlay.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoSurface.h"
#include "KvoVideoTitle.h"
#include "KvoVideoVolumeSlider.h"

#include <QApplication>
#include <QMutexLocker>
#include <QTimer>
#include <QtMath>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <QPaintEvent>
#include <QPainter>

namespace {

// How long a seek while paused is given to decode its picture (before it
// is made again, and again before the step to the next picture).
const int PausedSeekPictureMs = 400;

// The longest the engine is taken to play between two reports of its time.
const qint64 MaxTimeBetweenReportsMs = 1000;

} // namespace

// One loaded media: the engine's reports land here, on its threads.
struct KvoVideoPlayer::EventContext : public KvoVideoEventSink
{
    KvoVideoPlayer* owner = nullptr;
    quint64 generation = 0;
    mutable QMutex mutex;
    MediaInfo info;
    // Stopped by the player, the engine not yet: its reports of playing
    // are from before the stop.
    bool stopping = false;
    // The engine buffers (below 100 %): the picture stands, though the
    // state stays playing.
    bool stalled = false;
    // Time really played since the time was last known: the runs that
    // have ended, and when the current one started (ms of a steady clock;
    // -1 while the picture stands).
    qint64 playedBefore = 0;
    qint64 runningSince = -1;

    static qint64 now()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // The picture moves only while playing and not buffering (opening
    // counts as buffering: the clock starts at the first Playing).
    void setState(int state)
    {
        info.state = state;
        const bool running = state == KvoVideoPlayer::Playing && !stalled;
        if (running && runningSince < 0) {
            runningSince = now();
        } else if (!running && runningSince >= 0) {
            playedBefore += now() - runningSince;
            runningSince = -1;
        }
    }

    // The time is known to be ms now (reported, or a seek or stop made).
    void moveTo(qint64 ms)
    {
        info.time = ms;
        playedBefore = 0;
        if (runningSince >= 0)
            runningSince = now();
    }

    // libvlc reports the time four times a second and none while paused,
    // and it knows no later one at the pause either: the bar would stay
    // up to a quarter of a second behind the picture, more on a busy
    // machine (under a picture of 1.24 s it could show 0:00, and a click
    // at 0:00 then changed nothing). The time played since the last
    // report is added, up to a second (a longer silence is a stall, not
    // playing), within the length. Time spent buffering is left out: the
    // bar would run ahead of the picture.
    qint64 timeAtPause() const
    {
        const qint64 running = runningSince >= 0 ? now() - runningSince : 0;
        const qint64 played = qBound<qint64>(0, playedBefore + running, MaxTimeBetweenReportsMs);
        const qint64 time = info.time + played;
        return info.length > 0 ? qMin(time, info.length) : time;
    }

    void mediaEvent(int type, qint64 value) override
    {
        bool changed = true;
        qint64 time = -1;
        qint64 length = -1;
        {
            QMutexLocker locker(&mutex);
            if (stopping && (type == Playing || type == Paused || type == TimeChanged))
                return;
            switch (type) {
            case Playing:
                changed = info.state != KvoVideoPlayer::Playing;
                // As on the GUI side: playing ends the buffering.
                stalled = false;
                setState(KvoVideoPlayer::Playing);
                break;
            case Paused: {
                changed = info.state != KvoVideoPlayer::Paused;
                const bool wasPlaying = info.state == KvoVideoPlayer::Playing;
                const qint64 stoppedAt = timeAtPause();
                setState(KvoVideoPlayer::Paused);
                if (wasPlaying && info.time >= 0)
                    moveTo(stoppedAt);
                break;
            }
            case Stopped:
            case EndReached:
            case EncounteredError:
                setState(KvoVideoPlayer::Stopped);
                break;
            case TimeChanged:
                moveTo(value);
                break;
            case LengthChanged:
                if (value <= 0)
                    return;
                info.length = value;
                break;
            case Buffering:
                stalled = value < 100;
                setState(info.state);
                break;
            default:
                return;
            }
            time = info.time;
            length = info.length;
        }
        // Never a direct call: Stopped comes on the caller's thread from
        // inside the engine's lock, the others on the engine's threads.
        KvoVideoPlayer* player = owner;
        const quint64 number = generation;
        QMetaObject::invokeMethod(
            player,
            [player, number, type, value, changed, time, length] {
                player->onMediaEvent(number, type, value, changed, time, length);
            },
            Qt::QueuedConnection);
    }
};

// Count of media still being released on other threads.
struct KvoVideoTeardowns
{
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
};

KvoVideoPlayer::KvoVideoPlayer(QWidget* parent)
    : QWidget(parent)
    , m_teardowns(std::make_shared<KvoVideoTeardowns>())
{
    // Starts the process-wide engine with the first player.
    KvoVideoBackend::instance();
    setStyleSheet(QStringLiteral("KvoVideoPlayer {background-color: black;}"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    connect(this, &KvoVideoPlayer::ended, this, &KvoVideoPlayer::stop);
    m_surface = std::make_unique<KvoVideoSurface>([this] {
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    });
    m_reformatTimer = new QTimer(this);
    m_reformatTimer->setSingleShot(true);
    m_reformatTimer->setInterval(150);
    connect(m_reformatTimer, &QTimer::timeout, this, &KvoVideoPlayer::reformat);
}

KvoVideoPlayer::~KvoVideoPlayer()
{
    release();
    // Their reports and pictures name this player and its surface.
    std::unique_lock<std::mutex> lock(m_teardowns->mutex);
    m_teardowns->done.wait(lock, [this] { return m_teardowns->running == 0; });
    lock.unlock();
    delete m_title;
}

quint64 KvoVideoPlayer::framesShown() const
{
    return m_surface->framesShown();
}

quint64 KvoVideoPlayer::framesPainted() const
{
    return m_surface->framesTaken();
}

QSize KvoVideoPlayer::pictureSize() const
{
    return m_surface->frameSize();
}

int KvoVideoPlayer::state() const
{
    if (!m_context)
        return NoMedia;
    QMutexLocker locker(&m_context->mutex);
    return m_context->info.state;
}

KvoVideoPlayer::MediaInfo KvoVideoPlayer::mediaInfo() const
{
    if (!m_context)
        return MediaInfo();
    QMutexLocker locker(&m_context->mutex);
    return m_context->info;
}

bool KvoVideoPlayer::isMuted() const
{
    if (!m_session)
        return true;
    const int muted = m_session->mute();
    return muted < 0 ? m_muted : muted != 0;
}

bool KvoVideoPlayer::openFile(const QString& path)
{
    stop();
    if (m_context && m_context->info.path == path) {
        reopen();
        return false;
    }
    m_requestedState = NoMedia;
    release();
    load(path, false);
    return m_session != nullptr;
}

void KvoVideoPlayer::openUrl(const QString& location)
{
    stop();
    if (m_context && m_context->info.path == location) {
        reopen();
        return;
    }
    m_requestedState = NoMedia;
    release();
    // libvlc guesses an access module for anything else (an empty address
    // ends in its network modules, which crash on it): only web and file
    // addresses reach it.
    const QUrl url(location.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool web = (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
    if (!url.isValid() || !(web || (url.isLocalFile() && !url.toLocalFile().isEmpty()))) {
        ++m_generation;
        m_errorText = tr("Adresse de la vidéo invalide");
        qWarning("video player: refused address \"%s\"", qPrintable(location));
        return;
    }
    load(location, true);
}

void KvoVideoPlayer::load(const QString& source, bool location)
{
    ++m_generation;
    m_errorText.clear();
    m_buffering = false;
    m_surface->clear();
    m_hasPicture = false;
    update();
    auto context = std::make_unique<EventContext>();
    context->owner = this;
    context->generation = m_generation;
    context->info.path = source;
    KvoVideoBackend* backend = KvoVideoBackend::instance();
    m_port = m_surface->openPort();
    if (backend->isReady())
        m_session = backend->open(source, location, context.get(), m_port.get());
    if (!m_session) {
        m_surface->closePort(m_port.get());
        m_port.reset();
        m_errorText = backend->lastError();
        qWarning("video player: cannot load %s: %s", qPrintable(source), qPrintable(m_errorText));
        return;
    }
    m_context = std::move(context);
}

void KvoVideoPlayer::reopen()
{
    // Black until its first picture, as a new media: the last picture of
    // its earlier run would otherwise stay on screen if this run never
    // delivers one (a location that has gone since). The run that ends may
    // still deliver a picture until the engine has stopped: dropped then.
    m_dropPictureAtStop = m_engineStopPending;
    dropPicture();
}

void KvoVideoPlayer::dropPicture()
{
    m_surface->dropPicture();
    m_hasPicture = false;
    update();
}

void KvoVideoPlayer::release()
{
    ++m_generation;
    m_engineStopPending = false;
    m_dropPictureAtStop = false;
    if (!m_session) {
        m_context.reset();
        return;
    }
    // No picture of this media reaches the screen any more; its reports
    // still arrive but carry an old number and are dropped.
    m_surface->closePort(m_port.get());
    // The engine's stop waits for its threads: not on the GUI thread. The
    // session goes first, so no report can reach the context after it.
    auto session = std::shared_ptr<KvoVideoSession>(std::move(m_session));
    auto context = std::shared_ptr<EventContext>(std::move(m_context));
    auto port = std::move(m_port);
    std::shared_ptr<KvoVideoTeardowns> teardowns = m_teardowns;
    {
        std::lock_guard<std::mutex> lock(teardowns->mutex);
        ++teardowns->running;
    }
    // Moved, not copied: were a copy left here, the thread could end first
    // and leave the last reference to this function, whose locals go in
    // reverse order (the context before the session, whose stop still
    // reports to it), on the GUI thread.
    std::thread([session = std::move(session), context = std::move(context), port = std::move(port),
                 teardowns]() mutable {
        session.reset();
        context.reset();
        port.reset();
        std::lock_guard<std::mutex> lock(teardowns->mutex);
        --teardowns->running;
        teardowns->done.notify_all();
    }).detach();
}

void KvoVideoPlayer::stopEngineNow()
{
    if (!m_engineStopPending || !m_session)
        return;
    m_engineStopPending = false;
    m_session->stop();
    if (m_dropPictureAtStop) {
        m_dropPictureAtStop = false;
        dropPicture();
    }
    // The engine's threads are joined: what it reports now is new.
    QMutexLocker locker(&m_context->mutex);
    m_context->stopping = false;
}

void KvoVideoPlayer::onMediaEvent(quint64 generation, int type, qint64 value, bool changed, qint64 time,
                                  qint64 length)
{
    // A report of a media released since is stale: it would write the old
    // video's progress onto the new one, or stop or advance it.
    if (generation != m_generation || !m_context)
        return;
    // Sent before the stop, queued until now.
    if (m_engineStopPending && (type == KvoVideoEventSink::Playing || type == KvoVideoEventSink::Paused
                                || type == KvoVideoEventSink::TimeChanged))
        return;
    switch (type) {
    case KvoVideoEventSink::Playing:
        if (m_buffering) {
            m_buffering = false;
            emit buffering(false);
        }
        // The audio output exists only now: the volume set before may
        // have been lost.
        if (m_session) {
            m_session->setMute(m_muted);
            if (!m_muted && m_volumeSlider)
                m_session->setVolume(m_volumeSlider->value());
        }
        if (changed)
            emit playing();
        break;
    case KvoVideoEventSink::Paused:
        // The time the pause stopped at (the engine reports none).
        if (changed && time >= 0) {
            if (m_seeker)
                m_seeker->setTimes(time, length);
            emit tick(time, length);
        }
        if (changed)
            emit paused();
        break;
    case KvoVideoEventSink::Stopped:
        emit stopped();
        break;
    case KvoVideoEventSink::EndReached:
        emit ended();
        break;
    case KvoVideoEventSink::EncounteredError:
        m_errorText = tr("Cette vidéo ne peut pas être lue.");
        if (m_buffering) {
            m_buffering = false;
            emit buffering(false);
        }
        emit error();
        break;
    case KvoVideoEventSink::TimeChanged:
        if (m_seeker)
            m_seeker->setTimes(time, length);
        emit tick(time, length);
        break;
    case KvoVideoEventSink::LengthChanged:
        emit tick(time, length);
        break;
    case KvoVideoEventSink::Buffering:
        if (!m_buffering && value < 100) {
            m_buffering = true;
            emit buffering(true);
        } else if (m_buffering && value >= 100) {
            m_buffering = false;
            emit buffering(false);
        }
        break;
    default:
        break;
    }
}

void KvoVideoPlayer::applySliderVolume()
{
    if (!m_volumeSlider || !m_session)
        return;
    const int volume = m_volumeSlider->value();
    m_session->setMute(false);
    m_muted = false;
    m_session->setVolume(volume);
    m_volumeSlider->setValue(volume);
}

void KvoVideoPlayer::play()
{
    if (!m_session)
        return;
    // Played again after a stop: from the beginning.
    stopEngineNow();
    m_requestedState = Playing;
    applySliderVolume();
    m_session->play();
    // Resized while paused.
    if (m_surface->wantsNewFormat())
        m_reformatTimer->start();
}

void KvoVideoPlayer::pause()
{
    if (!m_session)
        return;
    m_requestedState = Paused;
    m_session->pause();
}

void KvoVideoPlayer::stop()
{
    if (!m_session || m_requestedState == Stopped)
        return;
    m_requestedState = Stopped;
    if (m_seeker)
        m_seeker->setEnabled(false);
    m_engineStopPending = true;
    // Stopped from now on for whoever asks (playing it again starts it
    // anew), though the engine stops only at the next turn of the event
    // loop: a media replaced before then stops off the GUI thread.
    {
        QMutexLocker locker(&m_context->mutex);
        m_context->setState(Stopped);
        m_context->stopping = true;
        m_context->moveTo(0);
    }
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation)
            stopEngineNow();
    });
    const qint64 length = mediaInfo().length;
    if (m_seeker)
        m_seeker->setTimes(0, length);
    emit tick(0, length);
}

void KvoVideoPlayer::seek(int seconds)
{
    if (!m_session)
        return;
    // In 64 bits: a far seek must not wrap round into a valid position.
    const qint64 ms = qMax<qint64>(0, qint64(seconds) * 1000);
    const MediaInfo info = mediaInfo();
    // Not before a length is known (it is -1 then), nor into the last
    // second or beyond the end.
    if (info.length <= 0 || ms >= info.length - 1000)
        return;
    if (info.state == Stopped || m_engineStopPending)
        play();
    m_session->setTime(ms);
    {
        QMutexLocker locker(&m_context->mutex);
        m_context->moveTo(ms);
    }
    if (info.state == Paused && !m_engineStopPending) {
        // Paused, libvlc decodes one picture after a seek and shows it, but
        // a picture decoded before the pause may take that place (seen on a
        // busy machine after a pause right at the start): the old picture
        // stays and the time does not move. Nothing tells such a seek from
        // one that landed (the time is not reported while paused, and the
        // output shows its last picture again and again), so the last seek
        // made while paused is made once more, and one picture on is asked
        // for once that seek has had time to decode its own: asked for
        // sooner, the step finds nothing to show and is lost.
        const quint64 generation = m_generation;
        const quint64 pausedSeek = ++m_pausedSeeks;
        QTimer::singleShot(PausedSeekPictureMs, this, [this, generation, pausedSeek, ms] {
            if (!pausedSeekStands(generation, pausedSeek))
                return;
            m_session->setTime(ms);
            QTimer::singleShot(PausedSeekPictureMs, this, [this, generation, pausedSeek] {
                if (pausedSeekStands(generation, pausedSeek))
                    m_session->nextFrame();
            });
        });
    }
    if (m_seeker)
        m_seeker->setTimes(ms, info.length);
    emit tick(ms, info.length);
}

bool KvoVideoPlayer::pausedSeekStands(quint64 generation, quint64 pausedSeek) const
{
    return generation == m_generation && pausedSeek == m_pausedSeeks && m_session && m_requestedState == Paused
           && mediaInfo().state == Paused;
}

void KvoVideoPlayer::mute()
{
    if (!m_session)
        return;
    const bool wasMuted = isMuted();
    if (!wasMuted && m_volumeSlider && m_volumeSlider->value() > 0)
        m_volumeBeforeMute = m_volumeSlider->value();
    m_session->setMute(!wasMuted);
    m_muted = !wasMuted;
    if (!m_volumeSlider)
        return;
    if (!wasMuted) {
        m_volumeSlider->setValueSilently(0);
    } else {
        // Without an audio output the engine cannot say its volume.
        const int volume = m_session->volume();
        m_volumeSlider->setValueSilently(volume < 0 ? m_volumeBeforeMute : volume);
    }
}

void KvoVideoPlayer::changeVolume(int volume)
{
    if (!m_session)
        return;
    m_session->setMute(false);
    m_muted = false;
    m_session->setVolume(volume);
    if (m_volumeSlider)
        m_volumeSlider->setValue(volume);
}

void KvoVideoPlayer::setSeeker(KvoVideoSeeker* seeker)
{
    if (m_seeker)
        disconnect(m_seeker, nullptr, this, nullptr);
    m_seeker = seeker;
    if (!seeker)
        return;
    seeker->setEnabled(false);
    connect(seeker, &QSlider::valueChanged, this, &KvoVideoPlayer::seek);
}

void KvoVideoPlayer::setVolumeSlider(KvoVideoVolumeSlider* slider)
{
    if (m_volumeSlider)
        disconnect(m_volumeSlider, nullptr, this, nullptr);
    m_volumeSlider = slider;
    if (!slider)
        return;
    connect(slider, &QSlider::valueChanged, this, &KvoVideoPlayer::changeVolume);
    if (m_session)
        changeVolume(slider->value());
}

void KvoVideoPlayer::setOverlayWidgets(KvoPlayerOverlay* comment, KvoPlayerOverlay* bookmark)
{
    m_commentOverlay = comment;
    m_bookmarkOverlay = bookmark;
}

void KvoVideoPlayer::updateOverlays()
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    if (parent->isVisible()) {
        // Only a title still in its hold or fade comes back.
        if (m_title && m_title->isActive())
            m_title->QDialog::setVisible(true);
    } else {
        if (m_title)
            m_title->hide();
        if (m_commentOverlay && m_bookmarkOverlay) {
            m_commentOverlay->setOverlayHidden(true);
            m_bookmarkOverlay->setOverlayHidden(true);
        }
    }
    // The parent's place on the screen (the windows are frameless).
    const QPoint origin = parent->mapToGlobal(QPoint(0, 0));
    const int x = origin.x() + 2;
    const int y = origin.y() - 100;
    resize(parent->size());
    if (m_title)
        m_title->move(x, y + height() - m_title->height());
    if (m_commentOverlay && m_bookmarkOverlay) {
        m_bookmarkOverlay->placeNearAnchor();
        m_commentOverlay->placeNearAnchor();
    }
}

void KvoVideoPlayer::showTitle(const QString& text)
{
    // A modal dialog open over the window (an update offer, an error)
    // stays above it: raised over it, it would be out of reach.
    QWidget* top = window();
    QWidget* modal = QApplication::activeModalWidget();
    if (top && (!modal || modal == top)) {
        top->raise();
        top->setFocus(Qt::OtherFocusReason);
    }
    delete m_title;
    m_title = new KvoVideoTitle(this);
    m_title->setText(text);
    updateOverlays();
    m_title->show();
}

void KvoVideoPlayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The pictures are decoded at the size they are shown at. A media
    // playing already is asked for the new size once the size settles (a
    // window being dragged larger would restart its video at every step);
    // until then its pictures are scaled.
    m_surface->setTargetSize((QSizeF(size()) * devicePixelRatioF()).toSize());
    m_reformatTimer->start();
}

void KvoVideoPlayer::reformat()
{
    // A paused picture is only scaled: the video restarts when it plays.
    if (m_session && m_requestedState == Playing && m_surface->wantsNewFormat())
        m_session->restartVideo();
}

void KvoVideoPlayer::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    QSize videoSize;
    const QImage frame = m_surface->takeFrame(&videoSize);
    if (frame.isNull() || videoSize.isEmpty()) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    // Letter-boxed: the whole picture, its proportions kept, centred. A
    // picture decoded for this size is painted as it is (give or take the
    // even rounding of its size), one of an earlier size is scaled.
    const qreal ratio = devicePixelRatioF();
    const QSize area = (QSizeF(size()) * ratio).toSize();
    QSize fitted = videoSize.scaled(area, Qt::KeepAspectRatio);
    if (qAbs(fitted.width() - videoSize.width()) <= 1 && qAbs(fitted.height() - videoSize.height()) <= 1)
        fitted = videoSize;
    const QRectF target(QPointF((area.width() - fitted.width()) / 2 / ratio,
                                (area.height() - fitted.height()) / 2 / ratio),
                        QSizeF(fitted) / ratio);
    // Every pixel is painted, as the page counts on while the picture is
    // clear: the bars also take the pixels the picture covers only in part
    // (at a fractional scale), and the picture is drawn over them.
    const QRect whole(QPoint(qCeil(target.left()), qCeil(target.top())),
                      QPoint(qFloor(target.right()) - 1, qFloor(target.bottom()) - 1));
    const QRegion bars = QRegion(rect()).subtracted(QRegion(whole));
    for (const QRect& bar : bars)
        painter.fillRect(bar, Qt::black);
    if (fitted == videoSize && ratio == 1.0)
        painter.drawImage(target.topLeft().toPoint(), frame, QRect(QPoint(0, 0), videoSize));
    else
        painter.drawImage(target, frame, QRectF(QPointF(0, 0), QSizeF(videoSize)));
    if (!m_hasPicture) {
        m_hasPicture = true;
        emit firstFrame();
    }
}
