#include "KvoWebEngineSetup.h"

#include "KvoPlatform.h"

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTextStream>

#include <unistd.h>

bool KvoWebEngineSetup::prepare()
{
    return prepare(geteuid() == 0);
}

bool KvoWebEngineSetup::prepare(bool asRoot)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (asRoot && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        KvoPlatform::setForOwnUse("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QTextStream(stderr) << "Running as root: the home page's web engine runs without its sandbox.\n";
    }
    const bool unsandboxed = qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1";
    if (unsandboxed) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("zygote")) {
            flags += flags.isEmpty() ? "--no-zygote" : " --no-zygote";
            KvoPlatform::setForOwnUse("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
    }
    return unsandboxed;
}

bool KvoWebEngineSetup::chooseSceneGraph()
{
    for (const char* chosen : {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE"}) {
        if (!qEnvironmentVariableIsEmpty(chosen))
            return qgetenv(chosen) == "software";
    }
    const QByteArray renderer = openGlRenderer();
    if (!renderer.isEmpty() && !isSoftwareRenderer(renderer))
        return false;
    // For this process alone, read when the first web view is made: a
    // variable would reach every program the client starts (the browser
    // through xdg-open, the package installer) and make it draw in software
    // too.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return true;
}

QByteArray KvoWebEngineSetup::openGlRenderer()
{
    QOpenGLContext context;
    if (!context.create())
        return QByteArray();
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return QByteArray();
    const auto* name = context.functions()->glGetString(GL_RENDERER);
    const QByteArray renderer = name ? QByteArray(reinterpret_cast<const char*>(name)) : QByteArray();
    context.doneCurrent();
    return renderer;
}

bool KvoWebEngineSetup::isSoftwareRenderer(const QByteArray& renderer)
{
    const QByteArray name = renderer.toLower();
    return name.contains("llvmpipe") || name.contains("softpipe") || name.contains("software rasterizer")
           || name.contains("swrast");
}
