// Throughput of the update download of the settings page against curl.
//
// Starts the local web service with a large Debian package (the client
// keeps nothing else as an update), then has the settings page download it
// as an update package (the offer accepted, the progress bar and text
// updated on a shown page, the size and package checks, the move into
// place), alternating with curl fetching the same address. Prints the speed
// of every run and the ratio of the mean speeds (page / curl), with the
// machine's 1-min load. curl's speed is over the transfer as curl times it:
// its process's start and end, a good part of a transfer this short, are
// left out (and printed beside it).

#include "KvoBenchEnvironment.h"
#include "KvoBenchService.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoModalRunner.h"
#include "KvoPageConfiguration.h"
#include "KvoTransferRun.h"
#include "KvoTransferTally.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRuns = 3;
constexpr int kFileMb = 200;

// The length the service gives for url (HEAD), the size the offer
// announces; -1 when it gives none.
qint64 announcedSize(const QString& url)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(30000);
    QNetworkReply* reply = manager.head(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 size = reply->error() == QNetworkReply::NoError && length.isValid() ? length.toLongLong() : -1;
    delete reply;
    return size;
}

KvoTransferRun fetchWithPage(const QString& url, qint64 size)
{
    KvoTransferRun run;
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
    if (!run.ok)
        run.error = QStringLiteral("%1 of %2 bytes").arg(run.bytes).arg(size);
    QFile::remove(page.updateFilePath());
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    // Everything the page writes goes to a private home.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    KvoBenchEnvironment::usePrivateHome(home.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    KvoEnvironment::init();
    if (!KvoDatabase::open(home.filePath(QStringLiteral("database.sqlite")))) {
        std::fprintf(stderr, "bench_update: cannot open a database\n");
        return 2;
    }
    KvoModalRunner::setDialogHook([](KvoDialog*) { return int(KvoDialog::Yes); });

    KvoBenchService service({QStringLiteral("--data"), home.filePath(QStringLiteral("service")),
                             QStringLiteral("--bench-package-mb"), QString::number(kFileMb), QStringLiteral("--quiet")},
                            120000);
    const QString base = service.address();
    if (base.isEmpty()) {
        std::fprintf(stderr, "bench_update: the local web service did not start (%s)\n",
                     qPrintable(service.program()));
        return 2;
    }

    const QString url = base + QStringLiteral("/files/bench.deb");
    const qint64 size = announcedSize(url);
    if (size <= 0) {
        std::fprintf(stderr, "bench_update: the local web service gives no size for %s\n", qPrintable(url));
        return 2;
    }
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString target = home.filePath(QStringLiteral("curl.bin"));
    std::printf("bench_update: %s (a package of %lld bytes), %d runs each; MB = 10^6 bytes; load %.2f\n",
                qPrintable(url), static_cast<long long>(size), kRuns, KvoBenchEnvironment::load1());
    KvoTransferTally pageRuns, curlRuns;
    for (int i = 0; i < kRuns; ++i) {
        const KvoTransferRun mine = fetchWithPage(url, size);
        mine.print("page", i, QStringLiteral("; load %1").arg(KvoBenchEnvironment::load1(), 0, 'f', 2));
        pageRuns.add(mine);
        if (curl.isEmpty())
            continue;
        KvoTransferRun theirs = KvoTransferRun::withCurl(curl, url, target);
        const double process = theirs.seconds;
        QString note;
        if (theirs.transferSeconds > 0) {
            theirs.seconds = theirs.transferSeconds;
            note = QStringLiteral(", its transfer alone; its process %1 s").arg(process, 0, 'f', 3);
        } else {
            note = QStringLiteral(", its process: curl gave no time of its own");
        }
        theirs.print("curl", i, note + QStringLiteral("; load %1").arg(KvoBenchEnvironment::load1(), 0, 'f', 2));
        curlRuns.add(theirs);
    }
    service.stop();
    KvoDatabase::close();

    KvoTransferTally::printMeans("page", pageRuns, curlRuns);
    std::printf("load %.2f at the end\n", KvoBenchEnvironment::load1());
    return pageRuns.succeeded() == kRuns && (curl.isEmpty() || curlRuns.succeeded() == kRuns) ? 0 : 1;
}
