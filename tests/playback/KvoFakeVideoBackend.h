#pragma once

#include "KvoVideoBackend.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <functional>
#include <thread>

// A media engine for tests: records the calls of its sessions and lets the
// test send engine reports from a thread of its own, as libvlc does.
class KvoFakeVideoBackend : public KvoVideoBackend
{
public:
    struct Session : public KvoVideoSession
    {
        KvoFakeVideoBackend* backend = nullptr;
        KvoVideoEventSink* events = nullptr;
        KvoVideoFrameSink* frames = nullptr;
        QString source;

        // Runs on the player's teardown thread.
        ~Session() override
        {
            backend->record(QStringLiteral("release ") + source);
            QMutexLocker locker(&backend->mutex);
            backend->releaseThread = QThread::currentThread();
            if (backend->current == this)
                backend->current = nullptr;
        }
        void play() override { backend->record(QStringLiteral("play")); }
        void pause() override { backend->record(QStringLiteral("pause")); }
        void stop() override
        {
            backend->record(QStringLiteral("stop"));
            // libvlc sends Stopped on the calling thread.
            events->mediaEvent(KvoVideoEventSink::Stopped, 0);
        }
        void setTime(qint64 ms) override { backend->record(QStringLiteral("time %1").arg(ms)); }
        void restartVideo() override { backend->record(QStringLiteral("restart video")); }
        void nextFrame() override { backend->record(QStringLiteral("next frame")); }
        int mute() const override { return backend->muteAnswer; }
        void setMute(bool mute) override
        {
            backend->record(QStringLiteral("mute %1").arg(mute ? 1 : 0));
            if (backend->muteAnswer >= 0)
                backend->muteAnswer = mute ? 1 : 0;
        }
        int volume() const override { return backend->volumeAnswer; }
        void setVolume(int volume) override
        {
            backend->record(QStringLiteral("volume %1").arg(volume));
            if (backend->volumeAnswer >= 0)
                backend->volumeAnswer = volume;
        }
    };

    bool isReady() const override { return ready; }
    QString lastError() const override { return QStringLiteral("fake failure"); }
    std::unique_ptr<KvoVideoSession> open(const QString& source, bool location, KvoVideoEventSink* events,
                                          KvoVideoFrameSink* frames) override
    {
        record(QStringLiteral("%1 %2").arg(location ? QStringLiteral("openUrl") : QStringLiteral("open"), source));
        if (failOpen)
            return nullptr;
        auto session = std::make_unique<Session>();
        session->backend = this;
        session->events = events;
        session->frames = frames;
        session->source = source;
        QMutexLocker locker(&mutex);
        current = session.get();
        lastSink = events;
        return session;
    }

    // Sends reports from another thread, in order, and waits for it.
    void inject(const QList<QPair<int, qint64>>& events, KvoVideoEventSink* sink = nullptr)
    {
        KvoVideoEventSink* target = sink;
        if (!target) {
            QMutexLocker locker(&mutex);
            target = current ? current->events : nullptr;
        }
        if (!target)
            return;
        std::thread thread([target, events] {
            for (const auto& event : events)
                target->mediaEvent(event.first, event.second);
        });
        thread.join();
    }

    // Hands one small picture to the current session's surface from
    // another thread, as a decoder does, and waits for it.
    void showPicture()
    {
        KvoVideoFrameSink* frames = nullptr;
        {
            QMutexLocker locker(&mutex);
            frames = current ? current->frames : nullptr;
        }
        if (!frames)
            return;
        std::thread thread([frames] {
            int width = 16, height = 16, pitch = 0, lines = 0;
            if (!frames->frameFormat(&width, &height, &pitch, &lines))
                return;
            frames->lockFrame(); // left as it is: any picture will do
            frames->unlockFrame();
            frames->displayFrame();
        });
        thread.join();
    }

    void record(const QString& call)
    {
        const qint64 at = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
        QMutexLocker locker(&mutex);
        calls.append(call);
        callTimes.append(at);
    }
    // Whether the last opened session is still alive (its release runs on
    // the player's teardown thread, after the call that dropped it).
    bool hasLiveSession()
    {
        QMutexLocker locker(&mutex);
        return current != nullptr;
    }
    QThread* lastReleaseThread()
    {
        QMutexLocker locker(&mutex);
        return releaseThread;
    }
    QStringList takeCalls()
    {
        QMutexLocker locker(&mutex);
        const QStringList taken = calls;
        calls.clear();
        callTimes.clear();
        return taken;
    }
    // The same, each call with when it was made (ms of the steady clock
    // that Qt's timers also run on).
    QList<QPair<QString, qint64>> takeTimedCalls()
    {
        QMutexLocker locker(&mutex);
        QList<QPair<QString, qint64>> taken;
        for (qsizetype i = 0; i < calls.size(); ++i)
            taken.append({calls.at(i), callTimes.at(i)});
        calls.clear();
        callTimes.clear();
        return taken;
    }

    bool ready = true;
    bool failOpen = false;
    int muteAnswer = 0;
    int volumeAnswer = 100;
    Session* current = nullptr;
    QThread* releaseThread = nullptr;
    KvoVideoEventSink* lastSink = nullptr;
    QMutex mutex;
    QStringList calls;
    QList<qint64> callTimes;
};
