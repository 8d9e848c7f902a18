#include "KvoWebEngineSetup.h"

#include <QCoreApplication>
#include <QTextStream>

#include <unistd.h>

bool KvoWebEngineSetup::prepare()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QTextStream(stderr) << "Running as root: the home page's web engine runs without its sandbox.\n";
    }
    const bool unsandboxed = qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1";
    if (unsandboxed) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("zygote")) {
            flags += flags.isEmpty() ? "--no-zygote" : " --no-zygote";
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
    }
    return unsandboxed;
}
