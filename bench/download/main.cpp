// Throughput of KvoDownloader against curl on the same local file.
//
// Starts the local web service with a generated file, then fetches it three
// times with each client, alternating, and prints the speed of every run
// and the ratio of the mean speeds (downloader / curl).

#include "KvoDownloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kRuns = 3;
constexpr int kFileMb = 200;

struct Run
{
    bool ok = false;
    qint64 bytes = 0;
    double seconds = 0;
    QString error;
};

double megabytesPerSecond(const Run& run)
{
    return run.seconds > 0 ? run.bytes / 1e6 / run.seconds : 0;
}

Run fetchWithDownloader(const QString& url, const QString& path)
{
    QFile::remove(path);
    KvoDownloader downloader;
    downloader.setDestination(path);
    QEventLoop loop;
    Run run;
    QObject::connect(&downloader, &KvoDownloader::successDownload, &loop, [&] {
        run.ok = true;
        loop.quit();
    });
    QObject::connect(&downloader, &KvoDownloader::errorDownload, &loop,
                     [&](QNetworkReply::NetworkError, const QString& text) {
                         run.error = text;
                         loop.quit();
                     });
    QElapsedTimer timer;
    timer.start();
    downloader.download(url);
    loop.exec();
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.bytes = QFileInfo(path).size();
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
    if (!run.ok)
        run.error = QStringLiteral("curl failed (exit code %1)").arg(process.exitCode());
    run.bytes = QFileInfo(path).size();
    return run;
}

void print(const char* who, int index, const Run& run)
{
    if (run.ok)
        std::printf("%-10s run %d: %8.1f MB/s (%lld bytes in %.3f s)\n", who, index + 1, megabytesPerSecond(run),
                    static_cast<long long>(run.bytes), run.seconds);
    else
        std::printf("%-10s run %d: FAILED %s\n", who, index + 1, qPrintable(run.error));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    QString server = qEnvironmentVariable("VISTRELLE_DEVSERVER");
    if (server.isEmpty())
        server = QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle-devserver");
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "bench_download: no local web service at %s\n", qPrintable(server));
        return 2;
    }

    QTemporaryDir data;
    QTemporaryDir work;
    if (!data.isValid() || !work.isValid()) {
        std::fprintf(stderr, "bench_download: cannot create temporary folders\n");
        return 2;
    }

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(server, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), data.path(),
                           QStringLiteral("--bench-file-mb"), QString::number(kFileMb), QStringLiteral("--quiet")});
    if (!service.waitForStarted(10000)) {
        std::fprintf(stderr, "bench_download: cannot start %s\n", qPrintable(server));
        return 2;
    }

    // The first line of the service's output names its address.
    QString base;
    QElapsedTimer waiting;
    waiting.start();
    while (base.isEmpty() && waiting.elapsed() < 120000 && service.state() == QProcess::Running) {
        if (!service.canReadLine() && !service.waitForReadyRead(1000))
            continue;
        if (!service.canReadLine())
            continue;
        const QString line = QString::fromUtf8(service.readLine()).trimmed();
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:\\d+")).match(line);
        if (match.hasMatch())
            base = match.captured(0);
        else
            break;
    }
    const auto stopService = [&service] {
        service.terminate();
        if (!service.waitForFinished(5000)) {
            service.kill();
            service.waitForFinished(5000);
        }
    };
    if (base.isEmpty()) {
        std::fprintf(stderr, "bench_download: the local web service printed no address\n");
        stopService();
        return 2;
    }

    const QString url = base + QStringLiteral("/files/bench.bin");
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString target = work.filePath(QStringLiteral("bench.bin"));
    std::printf("bench_download: %s (%d MiB file), %d runs each; MB = 10^6 bytes\n", qPrintable(url), kFileMb, kRuns);
    if (curl.isEmpty())
        std::printf("curl not found: downloader figures only\n");

    double downloaderSum = 0, curlSum = 0;
    int downloaderOk = 0, curlOk = 0;
    qint64 expected = -1;
    bool sizesAgree = true;
    for (int i = 0; i < kRuns; ++i) {
        const Run mine = fetchWithDownloader(url, target);
        print("downloader", i, mine);
        if (mine.ok) {
            downloaderSum += megabytesPerSecond(mine);
            ++downloaderOk;
            if (expected < 0)
                expected = mine.bytes;
            sizesAgree = sizesAgree && mine.bytes == expected;
        }
        if (curl.isEmpty())
            continue;
        const Run theirs = fetchWithCurl(curl, url, target);
        print("curl", i, theirs);
        if (theirs.ok) {
            curlSum += megabytesPerSecond(theirs);
            ++curlOk;
            if (expected < 0)
                expected = theirs.bytes;
            sizesAgree = sizesAgree && theirs.bytes == expected;
        }
    }
    QFile::remove(target);
    stopService();

    if (!sizesAgree)
        std::printf("WARNING: the runs did not all receive the same number of bytes\n");
    const double downloaderMean = downloaderOk ? downloaderSum / downloaderOk : 0;
    const double curlMean = curlOk ? curlSum / curlOk : 0;
    std::printf("mean: downloader %.1f MB/s", downloaderMean);
    if (curlOk)
        std::printf(", curl %.1f MB/s, ratio (downloader / curl) %.2f", curlMean, downloaderMean / curlMean);
    std::printf("\n");
    return downloaderOk == kRuns && (curl.isEmpty() || curlOk == kRuns) ? 0 : 1;
}
