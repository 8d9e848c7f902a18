// Throughput of KvoDownloader against curl on the same local file.
//
// Starts the local web service with a generated file, then fetches it three
// times with each client, alternating, and prints the speed of every run
// and the ratio of the mean speeds (downloader / curl).

#include "KvoBenchService.h"
#include "KvoDownloader.h"
#include "KvoTransferRun.h"
#include "KvoTransferTally.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRuns = 3;
constexpr int kFileMb = 200;

KvoTransferRun fetchWithDownloader(const QString& url, const QString& path)
{
    QFile::remove(path);
    KvoDownloader downloader;
    downloader.setDestination(path);
    QEventLoop loop;
    KvoTransferRun run;
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    QTemporaryDir data;
    QTemporaryDir work;
    if (!data.isValid() || !work.isValid()) {
        std::fprintf(stderr, "bench_download: cannot create temporary folders\n");
        return 2;
    }

    KvoBenchService service({QStringLiteral("--data"), data.path(), QStringLiteral("--bench-file-mb"),
                             QString::number(kFileMb), QStringLiteral("--quiet")},
                            120000);
    const QString base = service.address();
    if (base.isEmpty()) {
        std::fprintf(stderr, "bench_download: the local web service did not start (%s)\n",
                     qPrintable(service.program()));
        return 2;
    }

    const QString url = base + QStringLiteral("/files/bench.bin");
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString target = work.filePath(QStringLiteral("bench.bin"));
    std::printf("bench_download: %s (%d MiB file), %d runs each; MB = 10^6 bytes\n", qPrintable(url), kFileMb, kRuns);
    if (curl.isEmpty())
        std::printf("curl not found: downloader figures only\n");

    KvoTransferTally downloaderRuns, curlRuns;
    qint64 expected = -1;
    bool sizesAgree = true;
    for (int i = 0; i < kRuns; ++i) {
        const KvoTransferRun mine = fetchWithDownloader(url, target);
        mine.print("downloader", i);
        downloaderRuns.add(mine);
        if (mine.ok) {
            if (expected < 0)
                expected = mine.bytes;
            sizesAgree = sizesAgree && mine.bytes == expected;
        }
        if (curl.isEmpty())
            continue;
        const KvoTransferRun theirs = KvoTransferRun::withCurl(curl, url, target);
        theirs.print("curl", i);
        curlRuns.add(theirs);
        if (theirs.ok) {
            if (expected < 0)
                expected = theirs.bytes;
            sizesAgree = sizesAgree && theirs.bytes == expected;
        }
    }
    QFile::remove(target);
    service.stop();

    if (!sizesAgree)
        std::printf("WARNING: the runs did not all receive the same number of bytes\n");
    KvoTransferTally::printMeans("downloader", downloaderRuns, curlRuns);
    return downloaderRuns.succeeded() == kRuns && (curl.isEmpty() || curlRuns.succeeded() == kRuns) ? 0 : 1;
}
