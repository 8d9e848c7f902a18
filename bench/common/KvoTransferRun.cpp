#include "KvoTransferRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <cstdio>

double KvoTransferRun::megabytesPerSecond() const
{
    return seconds > 0 ? bytes / 1e6 / seconds : 0;
}

void KvoTransferRun::print(const char* who, int index, const QString& note) const
{
    if (ok)
        std::printf("%-10s run %d: %8.1f MB/s (%lld bytes in %.3f s)%s\n", who, index + 1, megabytesPerSecond(),
                    static_cast<long long>(bytes), seconds, qPrintable(note));
    else
        std::printf("%-10s run %d: FAILED %s\n", who, index + 1, qPrintable(error));
    std::fflush(stdout);
}

KvoTransferRun KvoTransferRun::withCurl(const QString& curl, const QString& url, const QString& path)
{
    QFile::remove(path);
    QProcess process;
    KvoTransferRun run;
    QElapsedTimer timer;
    timer.start();
    process.start(curl, {QStringLiteral("-s"), QStringLiteral("-o"), path, QStringLiteral("-w"),
                         QStringLiteral("%{time_total}"), url});
    const bool finished = process.waitForFinished(600000);
    run.seconds = timer.nsecsElapsed() / 1e9;
    // A decimal comma under some locales.
    const QByteArray total = process.readAllStandardOutput().trimmed().replace(',', '.');
    run.transferSeconds = qMax(0.0, total.toDouble());
    run.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!run.ok)
        run.error = QStringLiteral("curl failed (exit code %1)").arg(process.exitCode());
    run.bytes = QFileInfo(path).size();
    QFile::remove(path);
    return run;
}
