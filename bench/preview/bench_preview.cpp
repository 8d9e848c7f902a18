// Prints figures of the preview dialog; asserts nothing.
//
// Starts the local web service (its demo extracts: four clips of 3 to 4 s,
// 320x180 to 1920x1080) and opens each extract several times in one
// preview dialog, reused as the catalogue pages do. For every opening:
// the time from open() to the first picture painted, the longest gap of
// the GUI thread's event loop from open() until one second of playing
// (loading, buffering, the first pictures) and the longest gap while the
// dialog is closed (the extract stopped). Then the same with the service
// answering 300 ms late, and with an extract that stalls half-way (the
// gap while the dialog waits for it, and the time until it says so).
//
// Usage: bench_preview [rounds per extract, default 5]
// Under a virtual display: xvfb-run -a bench_preview
#include "KvoApi.h"
#include "KvoPreviewPlayer.h"
#include "KvoVideoPlayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The longest time the GUI thread's event loop did not come round.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] { beat(); });
    }
    void start()
    {
        m_max = 0;
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start();
    }
    // The gap up to now counts too.
    double stopMs()
    {
        beat();
        m_timer.stop();
        return double(m_max) / 1e6;
    }

private:
    void beat()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_max = qMax(m_max, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_max = 0;
};

void waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

bool setFault(const QString& base, const QString& name, const QString& value)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(
        QUrl(base + QStringLiteral("/_control/fault?name=%1&value=%2").arg(name, value))));
    waitFor([reply] { return reply->isFinished(); }, 5000);
    const bool ok = reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    return ok;
}

struct Opening
{
    double shownMs = 0;         // open() until the dialog's own loop runs
    double firstPictureMs = -1; // open() until a picture is painted; -1: none
    double failureMs = -1;      // open() until the dialog says it cannot play
    double bufferingGapMs = 0;  // longest GUI gap from shown to first picture
    double playingGapMs = 0;    // longest GUI gap while playing on
    double closeGapMs = 0;      // the close: stop and hide
};

// Opens location, waits for the first picture (then plays on for playMs)
// or for the dialog to say that it cannot play, and closes.
Opening openOnce(KvoPreviewPlayer& dialog, const QString& location, int playMs)
{
    Opening result;
    StallProbe probe;
    QElapsedTimer clock;
    const quint64 painted = dialog.videoPlayer()->framesPainted();
    bool shown = false;
    bool closing = false;
    qint64 closeAt = -1;
    // Polled every 2 ms inside the dialog's loop: a picture painted since
    // the opening (the same extract opened again is not loaded anew, so no
    // first-picture signal comes), or the dialog saying it cannot play.
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, &dialog, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (!shown) {
            shown = true;
            result.shownMs = double(now) / 1e6;
            probe.start();
        }
        if (closing)
            return;
        if (result.firstPictureMs < 0 && dialog.videoPlayer()->framesPainted() > painted) {
            result.firstPictureMs = double(now) / 1e6;
            result.bufferingGapMs = probe.stopMs();
            probe.start();
            closeAt = now + qint64(playMs) * 1000000;
        }
        if (result.failureMs < 0 && dialog.hasFailed()) {
            result.failureMs = double(now) / 1e6;
            result.bufferingGapMs = probe.stopMs();
            probe.start();
            closeAt = now;
        }
        if ((closeAt >= 0 && now >= closeAt) || now > qint64(30000) * 1000000) {
            closing = true;
            if (result.firstPictureMs >= 0)
                result.playingGapMs = probe.stopMs();
            probe.start();
            dialog.closeWithCancel();
        }
    });
    clock.start();
    watch.start();
    dialog.open(location);
    result.closeGapMs = probe.stopMs();
    watch.stop();
    return result;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double maximum(const QList<double>& values)
{
    return values.isEmpty() ? -1 : *std::max_element(values.begin(), values.end());
}

void report(const char* what, const QList<Opening>& runs)
{
    QList<double> shown, first, buffering, playing, closing;
    int missing = 0;
    for (const Opening& run : runs) {
        shown.append(run.shownMs);
        if (run.firstPictureMs >= 0)
            first.append(run.firstPictureMs);
        else
            ++missing;
        buffering.append(run.bufferingGapMs);
        playing.append(run.playingGapMs);
        closing.append(run.closeGapMs);
    }
    std::printf("%-26s shown %4.0f ms | first picture median %4.0f max %4.0f ms%s | longest GUI gap: buffering %5.1f, "
                "playing %5.1f, closing %5.1f ms\n",
                what, maximum(shown), median(first), maximum(first), missing ? " (NONE for some)" : "",
                maximum(buffering), maximum(playing), maximum(closing));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    if (qEnvironmentVariableIsEmpty("VISTRELLE_VLC_ARGS"))
        qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet");
    QString server = qEnvironmentVariable("VISTRELLE_DEVSERVER");
    if (server.isEmpty())
        server = QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle-devserver");
    const QString data = QDir::tempPath() + QStringLiteral("/vistrelle-bench-preview");
    QProcess service;
    service.start(server, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), data,
                           QStringLiteral("--quiet")});
    QString base;
    waitFor(
        [&] {
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:\\d+"))
                                                  .match(QString::fromUtf8(service.peek(4096)));
            if (m.hasMatch())
                base = m.captured(0);
            return !base.isEmpty() || service.state() == QProcess::NotRunning;
        },
        300000);
    if (base.isEmpty()) {
        std::fprintf(stderr, "bench_preview: the local web service did not start (%s)\n", qPrintable(server));
        return 1;
    }
    std::printf("service %s, %d openings per extract, platform %s\n", qPrintable(base), rounds,
                qPrintable(QGuiApplication::platformName()));

    KvoPreviewPlayer dialog;
    // The clip of course c is clip c mod 4: 0 320x180, 1 640x360,
    // 2 1280x720, 3 1920x1080. Each opening takes another course of the
    // same clip, as the catalogue does (courses 101 to 118).
    const char* const sizes[] = {"320x180", "640x360", "1280x720", "1920x1080"};
    auto location = [&base](int clip, int i) {
        int course = 104 + clip + 4 * (i % 3);
        if (course > 118)
            course -= 12;
        return base + QStringLiteral("/files/previews/%1.mp4").arg(course);
    };
    // A first opening warms the engine's plugins up; not counted.
    openOnce(dialog, location(0, 2), 200);
    for (int clip = 0; clip < 4; ++clip) {
        QList<Opening> runs;
        for (int i = 0; i < rounds; ++i)
            runs.append(openOnce(dialog, location(clip, i), 1000));
        report(QStringLiteral("extract %1").arg(QLatin1String(sizes[clip])).toLatin1().constData(), runs);
    }
    QList<Opening> again;
    for (int i = 0; i < rounds; ++i)
        again.append(openOnce(dialog, location(3, 0), 1000));
    report("1920x1080, same again", again);

    setFault(base, QStringLiteral("slow"), QStringLiteral("300"));
    QList<Opening> slow;
    for (int i = 0; i < rounds; ++i)
        slow.append(openOnce(dialog, location(1, i), 1000));
    report("640x360, 300 ms late", slow);
    setFault(base, QStringLiteral("slow"), QStringLiteral("0"));

    setFault(base, QStringLiteral("preview_stall"), QStringLiteral("1"));
    KvoPreviewPlayer::setStallTimeout(3000);
    const Opening stalled = openOnce(dialog, location(3, 1), 1000);
    std::printf("%-26s said after %5.0f ms (stall time-out 3000 ms) | longest GUI gap: waiting %5.1f, closing %5.1f ms\n",
                "1920x1080 that stalls", stalled.failureMs, stalled.bufferingGapMs, stalled.closeGapMs);
    setFault(base, QStringLiteral("preview_stall"), QStringLiteral("0"));

    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
