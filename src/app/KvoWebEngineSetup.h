#pragma once

#include <QByteArray>

// What the home page's web engine needs before the application object
// exists: shared GL contexts, and its start without the sandbox as root
// (the sandbox refuses root and would end the whole client at the first
// home page). Without the sandbox the engine's zygote processes serve no
// purpose and cost memory, so they are left out too.
class KvoWebEngineSetup
{
public:
    // Returns true when the engine runs without its sandbox. What it sets
    // is the engine's alone: the programs the client starts do not get it
    // (KvoPlatform::setForOwnUse).
    static bool prepare();
    // The same, as for a client run as root (asRoot) or not.
    static bool prepare(bool asRoot);

    // Once the application object exists, before the first web view: the
    // web view draws through a scene graph whose OpenGL output makes Qt
    // composite the whole window with OpenGL at every paint, the player's
    // pictures included. Where that OpenGL is drawn by the processor (or
    // there is none), the scene graph draws in software instead and the
    // window is flushed as plain pixels. A backend the user chose
    // (QT_QUICK_BACKEND, QMLSCENE_DEVICE) is left alone. The choice holds
    // for this process only: the environment that the programs it starts
    // inherit stays as the user gave it. Returns true when the scene graph
    // draws in software.
    static bool chooseSceneGraph();

    // The renderer string of the OpenGL the windows would get; empty when
    // no context can be made.
    static QByteArray openGlRenderer();
    // Whether an OpenGL renderer string names a processor-drawn one
    // (llvmpipe, softpipe, swrast).
    static bool isSoftwareRenderer(const QByteArray& renderer);
};
