#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// What a media session reports, from whichever thread the decoder or the
// media engine runs on. Implementations must not touch widgets here.
class KvoVideoEventSink
{
public:
    // The media-player event numbers of libvlc 3.
    enum Event {
        Buffering = 259,
        Playing = 260,
        Paused = 261,
        Stopped = 262,
        EndReached = 265,
        EncounteredError = 266,
        TimeChanged = 267,
        LengthChanged = 273,
    };

    virtual ~KvoVideoEventSink() = default;
    // value: the new time or length in ms, the buffering percentage, else 0.
    virtual void mediaEvent(int type, qint64 value) = 0;
};

// Where a session decodes its pictures: 32-bit RGB (QImage::Format_RGB32)
// rows of the given pitch. Called on the decoder's threads.
class KvoVideoFrameSink
{
public:
    virtual ~KvoVideoFrameSink() = default;
    // The picture's size is known: width and height come at the picture's
    // display proportions (its visible area, its sample shape applied),
    // not the decoder's padded buffer. The sink may ask for another size
    // (the engine then scales the picture to fill it) and prepares a
    // buffer of at least pitch x lines bytes. False refuses the format (no
    // picture). Called again when the session's video restarts.
    virtual bool frameFormat(int* width, int* height, int* pitch, int* lines) = 0;
    virtual uchar* lockFrame() = 0;
    virtual void unlockFrame() = 0;
    // The picture last written is due on screen now.
    virtual void displayFrame() = 0;
};

// One loaded media with its media player.
class KvoVideoSession
{
public:
    // Stops and releases the media player: once it returns, no callback of
    // this session runs any more.
    virtual ~KvoVideoSession() = default;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void setTime(qint64 ms) = 0;
    // Paused: decodes and shows the next picture.
    virtual void nextFrame() = 0;
    // Restarts the video output at the current time, the sound going on:
    // the frame sink is asked for its format again.
    virtual void restartVideo() = 0;
    // 1 muted, 0 not, -1 unknown (no audio output yet, or none).
    virtual int mute() const = 0;
    virtual void setMute(bool mute) = 0;
    // 0..100 (more is amplification), -1 unknown.
    virtual int volume() const = 0;
    virtual void setVolume(int volume) = 0;
};

// The media engine behind the video players: libvlc in the application,
// a scripted stand-in in tests.
class KvoVideoBackend
{
public:
    virtual ~KvoVideoBackend() = default;

    // False when the engine could not start (its plugins missing ...).
    virtual bool isReady() const = 0;
    // Why the engine or the last open failed, for the log.
    virtual QString lastError() const = 0;
    // Loads a file path (location false) or a location (a URL). Null when
    // the media or its player could not be created.
    virtual std::unique_ptr<KvoVideoSession> open(const QString& source, bool location,
                                                  KvoVideoEventSink* events, KvoVideoFrameSink* frames) = 0;

    // The process-wide engine, created by the first call (the libvlc one
    // unless a test installed its own). Never released before the end.
    static KvoVideoBackend* instance();
    // Installs another engine (tests); not owned. Null goes back to libvlc.
    static void setInstance(KvoVideoBackend* backend);
};
