// The local stand-in of the web service: serves the API, the files and the
// site pages of docs/web-api.md on 127.0.0.1, with demo data and fault
// switches for tests and demonstrations.

#include "KvoDevData.h"
#include "KvoDevFaults.h"
#include "KvoDevMedia.h"
#include "KvoDevServer.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT end the event loop through a socket pair, the only
// thing a signal handler may safely touch.
void watchSignals(QCoreApplication* app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    // Pictures are painted with QPainter (fonts need a GUI application), but
    // no window is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // The platform plugin wants a private runtime folder; give it one
        // rather than a warning on every start.
        const QByteArray runtime = QFile::encodeName(QDir::tempPath())
                                   + "/vistrelle-devserver-runtime-" + QByteArray::number(::getuid());
        if (QDir().mkpath(QFile::decodeName(runtime))) {
            QFile::setPermissions(QFile::decodeName(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime);
        }
    }
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vistrelle-devserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local stand-in of the Vistrelle web service (see docs/web-api.md).\n\n"
                       "Fault switches, for --fault or /_control/fault?name=NAME&value=VALUE (value 0 turns one "
                       "off):\n")
        + KvoDevFaults::describe());
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free port)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("Data folder (media, state)."),
                                        QStringLiteral("DIR"), QDir::tempPath() + QStringLiteral("/vistrelle-devserver"));
    const QCommandLineOption faultOption(QStringLiteral("fault"), QStringLiteral("Turns a fault switch on (repeatable)."),
                                         QStringLiteral("NAME[=VALUE]"));
    const QCommandLineOption benchOption(QStringLiteral("bench-file-mb"), QStringLiteral("Also serve /files/bench.bin of N MiB."),
                                         QStringLiteral("N"));
    const QCommandLineOption benchPackageOption(
        QStringLiteral("bench-package-mb"),
        QStringLiteral("Also serve /files/bench.deb, a Debian package of a little more than N MiB."), QStringLiteral("N"));
    const QCommandLineOption benchLibraryOption(
        QStringLiteral("bench-library"),
        QStringLiteral("Give the demo account a course of three videos of N MiB each."), QStringLiteral("N"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Do not log requests."));
    parser.addOptions(
        {portOption, dataOption, faultOption, benchOption, benchPackageOption, benchLibraryOption, quietOption});
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "devserver: bad port\n");
        return 2;
    }
    KvoDevFaults faults;
    for (const QString& assignment : parser.values(faultOption)) {
        if (!faults.set(assignment)) {
            std::fprintf(stderr, "devserver: unknown fault or bad value: %s (known: %s)\n", qPrintable(assignment),
                         qPrintable(KvoDevFaults::names().join(QStringLiteral(", "))));
            return 2;
        }
    }

    const QString dataPath = QDir(parser.value(dataOption)).absolutePath();
    if (!QDir().mkpath(dataPath)) {
        std::fprintf(stderr, "devserver: cannot create %s\n", qPrintable(dataPath));
        return 1;
    }
    KvoDevMedia media(dataPath);
    if (!media.prepare()) {
        std::fprintf(stderr, "devserver: cannot write media into %s\n", qPrintable(dataPath));
        return 1;
    }
    KvoDevData data(dataPath + QStringLiteral("/state.json"));
    KvoDevServer server(&data, &media, &faults);
    server.setQuiet(parser.isSet(quietOption));
    // A size switch in MiB: 0 when it is missing or not a positive number.
    const auto sizeMb = [&parser](const QCommandLineOption& option) {
        bool valid = false;
        const int mb = parser.value(option).toInt(&valid);
        return valid && mb > 0 ? mb : 0;
    };
    if (parser.isSet(benchOption)) {
        const int mb = sizeMb(benchOption);
        const QString bench = mb ? media.benchPath(mb) : QString();
        if (bench.isEmpty()) {
            std::fprintf(stderr, "devserver: cannot make the bench file\n");
            return 1;
        }
        server.setBenchFile(bench);
    }
    if (parser.isSet(benchPackageOption)) {
        const int mb = sizeMb(benchPackageOption);
        const QString package = mb ? media.benchPackagePath(mb) : QString();
        if (package.isEmpty()) {
            std::fprintf(stderr, "devserver: cannot make the bench package\n");
            return 1;
        }
        server.setBenchPackage(package);
    }
    if (parser.isSet(benchLibraryOption)) {
        const int mb = sizeMb(benchLibraryOption);
        if (!mb) {
            std::fprintf(stderr, "devserver: bad --bench-library size\n");
            return 2;
        }
        data.addBenchCourse(mb);
        // Made now, once, rather than on the first download.
        const KvoDevData::Course* course = data.course(KvoDevData::BenchCourseId);
        for (const KvoDevData::Video& v : course->videos) {
            if (media.benchVideoPath(mb, quint32(v.courseId), quint32(v.id)).isEmpty()) {
                std::fprintf(stderr, "devserver: cannot make the bench videos\n");
                return 1;
            }
        }
    }

    const quint16 actual = server.start(quint16(port));
    if (!actual) {
        std::fprintf(stderr, "devserver: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    watchSignals(&app);
    std::printf("Vistrelle devserver listening on http://127.0.0.1:%u\n", unsigned(actual));
    std::fflush(stdout);
    const int rc = app.exec();
    if (!parser.isSet(quietOption))
        std::fprintf(stderr, "devserver: stopped\n");
    return rc;
}
