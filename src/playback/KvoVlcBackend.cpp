#include "KvoVlcBackend.h"

#include <QByteArray>
#include <QDir>
#include <QList>

#include <cstring>

#include <vlc/vlc.h>

#include <utility>
#include <vector>

namespace {

QString vlcError(const char* what)
{
    const char* message = libvlc_errmsg();
    return QString::fromLatin1(what) + (message ? QStringLiteral(": ") + QString::fromUtf8(message) : QString());
}

// The size a picture is shown at, from the decoder's buffer size: the
// buffer may have more rows or columns than the picture (decoders pad to
// whole blocks). The video track tells the visible size and the shape of
// its samples.
void displaySize(libvlc_media_t* media, unsigned* width, unsigned* height)
{
    libvlc_media_track_t** tracks = nullptr;
    const unsigned count = libvlc_media_tracks_get(media, &tracks);
    for (unsigned i = 0; i < count; ++i) {
        const libvlc_media_track_t* track = tracks[i];
        if (track->i_type != libvlc_track_video || !track->video)
            continue;
        unsigned w = track->video->i_width;
        unsigned h = track->video->i_height;
        unsigned sarNum = track->video->i_sar_num;
        unsigned sarDen = track->video->i_sar_den;
        // The buffer comes turned already.
        if (track->video->i_orientation >= libvlc_video_orient_left_top) {
            std::swap(w, h);
            std::swap(sarNum, sarDen);
        }
        // Not this picture's track (another stream, or no size known).
        if (w == 0 || h == 0 || w > *width || h > *height)
            continue;
        double shown = w;
        if (sarNum > 0 && sarDen > 0)
            shown = double(w) * sarNum / sarDen;
        *width = unsigned(qBound(2.0, shown + 0.5, 8192.0));
        *height = h;
        break;
    }
    libvlc_media_tracks_release(tracks, count);
}

class KvoVlcSession : public KvoVideoSession
{
public:
    KvoVlcSession(libvlc_media_player_t* player, libvlc_media_t* media, KvoVideoEventSink* events,
                  KvoVideoFrameSink* frames)
        : m_player(player)
        , m_media(media)
        , m_events(events)
        , m_frames(frames)
    {
        if (m_frames) {
            libvlc_video_set_callbacks(m_player, &KvoVlcSession::lock, &KvoVlcSession::unlock,
                                       &KvoVlcSession::display, this);
            libvlc_video_set_format_callbacks(m_player, &KvoVlcSession::format, nullptr);
        }
        libvlc_event_manager_t* manager = libvlc_media_player_event_manager(m_player);
        static const libvlc_event_type_t types[] = {
            libvlc_MediaPlayerBuffering, libvlc_MediaPlayerPlaying,     libvlc_MediaPlayerPaused,
            libvlc_MediaPlayerStopped,   libvlc_MediaPlayerEndReached,  libvlc_MediaPlayerEncounteredError,
            libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerLengthChanged};
        for (libvlc_event_type_t type : types)
            libvlc_event_attach(manager, type, &KvoVlcSession::onEvent, this);
    }

    ~KvoVlcSession() override
    {
        // Stop joins the decoder and output threads: no frame or event
        // callback runs after it, except the Stopped event it sends itself.
        libvlc_media_player_stop(m_player);
        libvlc_event_manager_t* manager = libvlc_media_player_event_manager(m_player);
        static const libvlc_event_type_t types[] = {
            libvlc_MediaPlayerBuffering, libvlc_MediaPlayerPlaying,     libvlc_MediaPlayerPaused,
            libvlc_MediaPlayerStopped,   libvlc_MediaPlayerEndReached,  libvlc_MediaPlayerEncounteredError,
            libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerLengthChanged};
        for (libvlc_event_type_t type : types)
            libvlc_event_detach(manager, type, &KvoVlcSession::onEvent, this);
        libvlc_media_player_release(m_player);
        libvlc_media_release(m_media);
    }

    void play() override { libvlc_media_player_play(m_player); }
    void pause() override { libvlc_media_player_set_pause(m_player, 1); }
    void stop() override { libvlc_media_player_stop(m_player); }
    void setTime(qint64 ms) override { libvlc_media_player_set_time(m_player, ms); }
    void nextFrame() override { libvlc_media_player_next_frame(m_player); }
    void restartVideo() override
    {
        // libvlc 3 asks for a picture format only when its video output
        // opens: the video track is restarted, and the decoder then
        // started again at the current time (it needs a key picture, and
        // a paused media shows the picture only after a seek).
        const int track = libvlc_video_get_track(m_player);
        const libvlc_time_t time = libvlc_media_player_get_time(m_player);
        if (track < 0)
            return;
        libvlc_video_set_track(m_player, -1);
        libvlc_video_set_track(m_player, track);
        if (time >= 0)
            libvlc_media_player_set_time(m_player, time);
    }
    int mute() const override { return libvlc_audio_get_mute(m_player); }
    void setMute(bool mute) override { libvlc_audio_set_mute(m_player, mute ? 1 : 0); }
    int volume() const override { return libvlc_audio_get_volume(m_player); }
    void setVolume(int volume) override { libvlc_audio_set_volume(m_player, volume); }

private:
    static void onEvent(const libvlc_event_t* event, void* data)
    {
        auto* self = static_cast<KvoVlcSession*>(data);
        qint64 value = 0;
        switch (event->type) {
        case libvlc_MediaPlayerTimeChanged:
            value = event->u.media_player_time_changed.new_time;
            break;
        case libvlc_MediaPlayerLengthChanged:
            value = event->u.media_player_length_changed.new_length;
            break;
        case libvlc_MediaPlayerBuffering:
            value = qint64(event->u.media_player_buffering.new_cache);
            break;
        default:
            break;
        }
        self->m_events->mediaEvent(event->type, value);
    }

    static unsigned format(void** opaque, char* chroma, unsigned* width, unsigned* height, unsigned* pitches,
                           unsigned* lines)
    {
        auto* self = static_cast<KvoVlcSession*>(*opaque);
        int pitch = 0;
        int rows = 0;
        if (*width == 0 || *height == 0 || *width > 8192 || *height > 8192)
            return 0;
        unsigned shownWidth = *width;
        unsigned shownHeight = *height;
        displaySize(self->m_media, &shownWidth, &shownHeight);
        int w = int(shownWidth);
        int h = int(shownHeight);
        if (!self->m_frames->frameFormat(&w, &h, &pitch, &rows))
            return 0;
        *width = unsigned(w);
        *height = unsigned(h);
        memcpy(chroma, "RV32", 4);
        pitches[0] = unsigned(pitch);
        lines[0] = unsigned(rows);
        return 1;
    }
    static void* lock(void* opaque, void** planes)
    {
        auto* self = static_cast<KvoVlcSession*>(opaque);
        planes[0] = self->m_frames->lockFrame();
        return nullptr;
    }
    static void unlock(void* opaque, void*, void* const*)
    {
        static_cast<KvoVlcSession*>(opaque)->m_frames->unlockFrame();
    }
    static void display(void* opaque, void*)
    {
        static_cast<KvoVlcSession*>(opaque)->m_frames->displayFrame();
    }

    libvlc_media_player_t* m_player;
    // Its tracks tell the pictures' visible size (read on the decoder's
    // threads, where asking the player would wait for its lock).
    libvlc_media_t* m_media;
    KvoVideoEventSink* m_events;
    KvoVideoFrameSink* m_frames;
};

} // namespace

QStringList KvoVlcBackend::arguments()
{
    QStringList args = {QStringLiteral("--no-video-title-show"), QStringLiteral("--no-snapshot-preview"),
                        QStringLiteral("--no-osd"), QStringLiteral("--no-xlib"),
                        // A picture larger than the screen is scaled down
                        // while it is converted: the fast filter halves
                        // that cost.
                        QStringLiteral("--swscale-mode=0")};
    const QString extra = QString::fromLocal8Bit(qgetenv("VISTRELLE_VLC_ARGS")).simplified();
    if (!extra.isEmpty())
        args += extra.split(QLatin1Char(' '));
    return args;
}

KvoVlcBackend::KvoVlcBackend()
{
    QList<QByteArray> words;
    for (const QString& arg : arguments())
        words.append(arg.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& word : words)
        argv.push_back(word.constData());
    m_instance = libvlc_new(int(argv.size()), argv.data());
    if (!m_instance) {
        m_lastError = vlcError("libvlc could not start (are its plugins installed?)");
        qWarning("%s", qPrintable(m_lastError));
    }
}

KvoVlcBackend::~KvoVlcBackend()
{
    if (m_instance)
        libvlc_release(m_instance);
}

std::unique_ptr<KvoVideoSession> KvoVlcBackend::open(const QString& source, bool location,
                                                     KvoVideoEventSink* events, KvoVideoFrameSink* frames)
{
    if (!m_instance) {
        m_lastError = QStringLiteral("libvlc is not available");
        return nullptr;
    }
    const QByteArray utf8 = location ? source.toUtf8() : QDir::toNativeSeparators(source).toUtf8();
    libvlc_media_t* media = location ? libvlc_media_new_location(m_instance, utf8.constData())
                                     : libvlc_media_new_path(m_instance, utf8.constData());
    if (!media) {
        m_lastError = vlcError("libvlc could not create the media");
        return nullptr;
    }
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    if (!player) {
        libvlc_media_release(media);
        m_lastError = vlcError("libvlc could not create a media player");
        return nullptr;
    }
    // The session keeps the media's reference (the player holds its own).
    return std::make_unique<KvoVlcSession>(player, media, events, frames);
}
