// Throughput of the update download of the settings page against curl.
//
// Starts the local web service with a large file, then has the settings
// page download it as an update package (the offer accepted, the progress
// bar and text updated on a shown page, the size check, the move into
// place), alternating with curl fetching the same address. Prints the speed
// of every run and the ratio of the mean speeds (page / curl).

#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoModalRunner.h"
#include "KvoPageConfiguration.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRuns = 3;
constexpr int kFileMb = 200;

struct Run
{
    bool ok = false;
    qint64 bytes = 0;
    double seconds = 0;
};

double megabytesPerSecond(const Run& run)
{
    return run.seconds > 0 ? run.bytes / 1e6 / run.seconds : 0;
}

Run fetchWithPage(const QString& url, qint64 size)
{
    Run run;
    KvoPageConfiguration page(nullptr);
    page.resize(773, 837);
    page.show();
    const QString answer = QStringLiteral("{\"status\":\"OK\",\"num\":14,\"version\":\"bench\",\"url\":\"%1\","
                                          "\"date\":0,\"size\":%2}")
                               .arg(url)
                               .arg(size);
    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(&page, "onSuccessRequest", Q_ARG(QString, answer));
    while (page.isDownloadingUpdate())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.bytes = QFileInfo(page.updateFilePath()).size();
    run.ok = run.bytes == size;
    QFile::remove(page.updateFilePath());
    return run;
}

Run fetchWithCurl(const QString& curl, const QString& url, const QString& path)
{
    QFile::remove(path);
    QProcess process;
    Run run;
    QElapsedTimer timer;
    timer.start();
    process.start(curl, {QStringLiteral("-s"), QStringLiteral("-o"), path, url});
    const bool finished = process.waitForFinished(600000);
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    run.bytes = QFileInfo(path).size();
    QFile::remove(path);
    return run;
}

void print(const char* who, int index, const Run& run)
{
    if (run.ok)
        std::printf("%-5s run %d: %8.1f MB/s (%lld bytes in %.3f s)\n", who, index + 1, megabytesPerSecond(run),
                    static_cast<long long>(run.bytes), run.seconds);
    else
        std::printf("%-5s run %d: FAILED\n", who, index + 1);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    // Everything the page writes goes to a private home.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    KvoEnvironment::init();
    if (!KvoDatabase::open(home.filePath(QStringLiteral("database.sqlite")))) {
        std::fprintf(stderr, "bench_update: cannot open a database\n");
        return 2;
    }
    KvoModalRunner::setDialogHook([](KvoDialog*) { return int(KvoDialog::Yes); });

    QString server = qEnvironmentVariable("VISTRELLE_DEVSERVER");
    if (server.isEmpty())
        server = QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle-devserver");
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(server, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
                           home.filePath(QStringLiteral("service")), QStringLiteral("--bench-file-mb"),
                           QString::number(kFileMb), QStringLiteral("--quiet")});
    QString base;
    if (service.waitForStarted(10000)) {
        QElapsedTimer waiting;
        waiting.start();
        while (base.isEmpty() && waiting.elapsed() < 120000 && service.state() == QProcess::Running) {
            if (!service.canReadLine() && !service.waitForReadyRead(1000))
                continue;
            const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:\\d+"))
                                                      .match(QString::fromUtf8(service.readLine()));
            if (match.hasMatch())
                base = match.captured(0);
        }
    }
    if (base.isEmpty()) {
        std::fprintf(stderr, "bench_update: the local web service did not start (%s)\n", qPrintable(server));
        return 2;
    }

    const QString url = base + QStringLiteral("/files/bench.bin");
    const qint64 size = qint64(kFileMb) * 1024 * 1024;
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString target = home.filePath(QStringLiteral("curl.bin"));
    std::printf("bench_update: %s (%d MiB), %d runs each; MB = 10^6 bytes\n", qPrintable(url), kFileMb, kRuns);
    double pageSum = 0, curlSum = 0;
    int pageOk = 0, curlOk = 0;
    for (int i = 0; i < kRuns; ++i) {
        const Run mine = fetchWithPage(url, size);
        print("page", i, mine);
        if (mine.ok) {
            pageSum += megabytesPerSecond(mine);
            ++pageOk;
        }
        if (curl.isEmpty())
            continue;
        const Run theirs = fetchWithCurl(curl, url, target);
        print("curl", i, theirs);
        if (theirs.ok) {
            curlSum += megabytesPerSecond(theirs);
            ++curlOk;
        }
    }
    service.terminate();
    service.waitForFinished(5000);
    KvoDatabase::close();

    const double pageMean = pageOk ? pageSum / pageOk : 0;
    const double curlMean = curlOk ? curlSum / curlOk : 0;
    std::printf("mean: page %.1f MB/s", pageMean);
    if (curlOk)
        std::printf(", curl %.1f MB/s, ratio (page / curl) %.2f", curlMean, pageMean / curlMean);
    std::printf("\n");
    return pageOk == kRuns && (curl.isEmpty() || curlOk == kRuns) ? 0 : 1;
}
