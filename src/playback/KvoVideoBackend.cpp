#include "KvoVideoBackend.h"

#include "KvoVlcBackend.h"

namespace {
KvoVideoBackend* g_installed = nullptr;
}

KvoVideoBackend* KvoVideoBackend::instance()
{
    if (g_installed)
        return g_installed;
    // One libvlc instance for the whole process, kept to its end: libvlc
    // is not meant to be started twice.
    static KvoVlcBackend* vlc = new KvoVlcBackend();
    return vlc;
}

void KvoVideoBackend::setInstance(KvoVideoBackend* backend)
{
    g_installed = backend;
}
