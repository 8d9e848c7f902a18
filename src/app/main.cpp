#include "KvoEnvironment.h"
#include "KvoFont.h"
#include "KvoMessageBox.h"
#include "KvoSessionLoop.h"
#include "KvoSingleApplication.h"
#include "KvoUrlOpener.h"
#include "KvoWebEngineSetup.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QStringList>
#include <QTextStream>

namespace {

void printAlreadyRunning()
{
    // The texts of the message box that tells about the other instance; the
    // context is the box's, so one translation serves both.
    QTextStream err(stderr);
    err << QCoreApplication::translate("KvoMessageBox", "Une instance du Vistrelle est déjà lancée !")
        << '\n'
        << QCoreApplication::translate("KvoMessageBox",
                                       "Fermez l'instance et relancez cette application.\n"
                                       "Si le problème persiste, veuillez prendre contact avec le support.")
        << '\n';
}

// Tells the user that the client already runs: the message box, and the
// same texts on the console for whoever started it from there. Without a
// screen (the offscreen platform) nobody could close the box, so only the
// texts are given.
void tellAlreadyRunning()
{
    printAlreadyRunning();
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    KvoMessageBox box(KvoMessageBox::AlreadyRunning);
    box.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // Window placement, dragging and always-on-top need X; under Wayland
    // with an X server at hand, run through it. Only this process is meant:
    // the variable is dropped again once the platform is loaded, so the
    // programs it starts (xdg-open) choose for themselves.
    const bool forceXcb = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
                          && !qEnvironmentVariableIsEmpty("DISPLAY");
    if (forceXcb)
        qputenv("QT_QPA_PLATFORM", "xcb");

    QCoreApplication::setApplicationName(QStringLiteral("Vistrelle"));
    QCoreApplication::setOrganizationName(QStringLiteral("Qozmira"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VISTRELLE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vistrelle"));

    KvoWebEngineSetup::prepare();

    KvoSingleApplication app(argc, argv, QStringLiteral("~Qozmira~Vistrelle~"));
    if (forceXcb)
        qunsetenv("QT_QPA_PLATFORM");
    // The browser and the file manager get the environment the client was
    // given, without the web engine's switches.
    KvoUrlOpener::install();

    // The layouts were drawn where a point is a pixel.
    QApplication::setFont(KvoFont::arial(11));
    const QString icon = QStringLiteral(":/KvoMainWindow/Resources/icon.png");
    if (QFile::exists(icon))
        QApplication::setWindowIcon(QIcon(icon));

    KvoEnvironment::init();
    KvoSingleApplication::installTranslation(KvoEnvironment::startupInterfaceLanguageIndex());

    // Qt's own options (-platform …) are already taken out of arguments().
    const QStringList args = app.arguments().mid(1);
    const QString argument =
        args.size() == 1 ? KvoSingleApplication::normalizeArgument(args.first()) : QString();

    if (app.isRunning()) {
        if (args.size() == 1) {
            if (app.sendMessage(argument))
                return 0;
            // The other instance holds the key but did not take the text.
            tellAlreadyRunning();
            return 1;
        }
        tellAlreadyRunning();
        return 0;
    }

    KvoWebEngineSetup::chooseSceneGraph();
    return KvoSessionLoop::run(app, argument);
}
