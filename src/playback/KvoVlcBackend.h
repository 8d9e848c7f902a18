#pragma once

#include "KvoVideoBackend.h"

#include <QStringList>

struct libvlc_instance_t;

// The media engine on libvlc 3. The pictures are decoded into the frame
// sink through libvlc's video callbacks (no window of libvlc's own), the
// events arrive on libvlc's threads.
class KvoVlcBackend : public KvoVideoBackend
{
public:
    // Creates the libvlc instance with arguments().
    KvoVlcBackend();
    ~KvoVlcBackend() override;

    bool isReady() const override { return m_instance != nullptr; }
    QString lastError() const override { return m_lastError; }
    std::unique_ptr<KvoVideoSession> open(const QString& source, bool location, KvoVideoEventSink* events,
                                          KvoVideoFrameSink* frames) override;

    // The instance's arguments: no title, snapshot preview or on-screen
    // display of libvlc's own, no Xlib use, fast scaling; then the words of the
    // environment variable VISTRELLE_VLC_ARGS (tests and headless runs
    // add "--aout=dummy" there).
    static QStringList arguments();

private:
    libvlc_instance_t* m_instance = nullptr;
    QString m_lastError;
};
