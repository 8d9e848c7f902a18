#include "KvoFakeVideoBackend.h"
#include "KvoQozFile.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoVolumeSlider.h"
#include "KvoVlcBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

using E = KvoVideoEventSink;

// Makes a stored video: an ffmpeg test picture with (or without) a tone,
// with the identification box at the end.
// source is an ffmpeg picture source (a plain colour measures well).
QString makeClip(const QString& dir, const QString& name, double seconds, bool sound = true,
                 const QString& size = QStringLiteral("160x120"), const QString& source = QStringLiteral("testsrc"),
                 const QStringList& videoArgs = {})
{
    const QString path = dir + QLatin1Char('/') + name;
    QStringList args = {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                        QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                        source + (source.contains(QLatin1Char('=')) ? QLatin1Char(':') : QLatin1Char('='))
                            + QStringLiteral("size=%1:rate=25:duration=%2").arg(size).arg(seconds)};
    if (sound)
        args += {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                 QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), QStringLiteral("-c:a"),
                 QStringLiteral("aac"), QStringLiteral("-shortest")};
    args += videoArgs;
    args += {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
             QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-f"), QStringLiteral("mp4"), path};
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return QString();
    return KvoQozFile::appendTrailer(path, 7, 70) ? path : QString();
}

// Records the thread on which a widget is enabled or disabled.
class EnableWatcher : public QObject
{
public:
    QThread* thread = nullptr;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange)
            thread = QThread::currentThread();
        return false;
    }
};

// The rectangle of a widget's light pixels.
QRect lightArea(QWidget* widget)
{
    const QImage picture = widget->grab().toImage();
    QRect area;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) > 128)
                area |= QRect(x, y, 1, 1);
    return area;
}

// What the screen shows in the middle of a widget.
QRgb centreColour(QWidget* widget)
{
    const QPoint centre = widget->mapToGlobal(QPoint(widget->width() / 2, widget->height() / 2));
    return widget->screen()->grabWindow(0, centre.x(), centre.y(), 1, 1).toImage().pixel(0, 0);
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    // With a scripted engine.
    void stateTableFromAnotherThread();
    void seekRules();
    void pausedSeekWaitsForEachPicture();
    void pauseShowsTheTimePlayed();
    void pauseLeavesOutBuffering();
    void staleReportsAreDropped();
    void loadFailuresAndSamePath();
    void muteAndVolumeWithoutAudioOutput();
    void endStopsAndRewinds();

    // With libvlc on generated clips.
    void realPlaybackPaintsPictures();
    void realBadMediaReportsAnError();
    void realPictureKeepsItsAspect_data();
    void realPictureKeepsItsAspect();
    void realPictureDecodedAtShownSize();
    void realSeekWhilePausedShowsThePicture();

private:
    KvoFakeVideoBackend m_fake;
    QTemporaryDir m_dir;
};

void TestPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    KvoVideoBackend::setInstance(&m_fake);
}

void TestPlayer::cleanup()
{
    KvoVideoBackend::setInstance(&m_fake);
    m_fake.takeCalls();
    m_fake.failOpen = false;
    m_fake.ready = true;
    m_fake.muteAnswer = 0;
    m_fake.volumeAnswer = 100;
}

void TestPlayer::stateTableFromAnotherThread()
{
    KvoVideoPlayer player;
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    QVERIFY(!seeker.isEnabled());
    QCOMPARE(player.state(), int(KvoVideoPlayer::NoMedia));
    QVERIFY(player.isMuted());
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    QCOMPARE(player.mediaInfo().length, -1);
    QCOMPARE(player.state(), int(KvoVideoPlayer::NoMedia));

    QSignalSpy playing(&player, &KvoVideoPlayer::playing);
    QSignalSpy paused(&player, &KvoVideoPlayer::paused);
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    QSignalSpy buffering(&player, &KvoVideoPlayer::buffering);
    // The seek bar changes only on the GUI thread.
    EnableWatcher watcher;
    seeker.installEventFilter(&watcher);

    m_fake.inject({{E::Buffering, 10}, {E::Buffering, 100}, {E::Playing, 0}, {E::Playing, 0},
                   {E::LengthChanged, 0}, {E::LengthChanged, 61500}, {E::TimeChanged, 2000}, {E::Paused, 0},
                   {E::Paused, 0}});
    // The info is written at once, the signals wait for the GUI thread.
    QCOMPARE(player.state(), int(KvoVideoPlayer::Paused));
    QCOMPARE(player.mediaInfo().length, 61500);
    QCOMPARE(playing.count(), 0);
    QTRY_COMPARE(paused.count(), 1);
    QCOMPARE(playing.count(), 1);
    QCOMPARE(buffering.count(), 2);
    QCOMPARE(buffering.at(0).at(0).toBool(), true);
    QCOMPARE(buffering.at(1).at(0).toBool(), false);
    // Length 0 changed nothing and emitted nothing: one tick per report,
    // and one at the pause.
    QCOMPARE(ticks.count(), 3);
    QCOMPARE(ticks.at(0).at(0).toLongLong(), -1);
    QCOMPARE(ticks.at(0).at(1).toLongLong(), 61500);
    QCOMPARE(ticks.at(1).at(0).toLongLong(), 2000);
    QCOMPARE(watcher.thread, QThread::currentThread());
    QVERIFY(seeker.isEnabled());
    QCOMPARE(seeker.maximum(), 61);
    QCOMPARE(seeker.value(), 2);
}

void TestPlayer::seekRules()
{
    KvoVideoPlayer player;
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    player.seek(3); // nothing loaded
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    m_fake.takeCalls();
    player.seek(1); // no length yet
    QVERIFY(m_fake.takeCalls().isEmpty());

    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 10000}});
    QSignalSpy playing(&player, &KvoVideoPlayer::playing);
    QVERIFY(playing.wait());
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    m_fake.takeCalls();
    player.seek(8);
    QCOMPARE(m_fake.takeCalls(), QStringList{QStringLiteral("time 8000")});
    QCOMPARE(ticks.last().at(0).toLongLong(), 8000);
    // Into the last second (9000 ms of 10000), to the end or past it:
    // ignored, no tick either.
    const int ticksBefore = ticks.count();
    player.seek(9);
    player.seek(10);
    player.seek(11);
    player.seek(2147484); // would wrap round in 32 bits
    QVERIFY(m_fake.takeCalls().isEmpty());
    QCOMPARE(ticks.count(), ticksBefore);
    QCOMPARE(ticks.last().at(0).toLongLong(), 8000);

    // Paused, the last seek is asked again, one picture on, even when a
    // picture came meanwhile (it may have been decoded before the pause);
    // a seek followed by another is left to the later one.
    player.pause();
    m_fake.inject({{E::Paused, 0}});
    QTRY_COMPARE(player.state(), int(KvoVideoPlayer::Paused));
    m_fake.takeCalls();
    player.seek(5);
    QStringList calls;
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("next frame")));
    QCOMPARE(calls, QStringList({QStringLiteral("time 5000"), QStringLiteral("time 5000"), QStringLiteral("next frame")}));
    player.seek(6);
    m_fake.showPicture();
    calls.clear();
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("next frame")));
    QCOMPARE(calls, QStringList({QStringLiteral("time 6000"), QStringLiteral("time 6000"), QStringLiteral("next frame")}));
    player.seek(6);
    player.seek(7);
    calls.clear();
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("next frame")));
    QCOMPARE(calls, QStringList({QStringLiteral("time 6000"), QStringLiteral("time 7000"), QStringLiteral("time 7000"),
                                 QStringLiteral("next frame")}));

    // An ended media plays first, then jumps.
    m_fake.inject({{E::EndReached, 0}});
    QSignalSpy ended(&player, &KvoVideoPlayer::ended);
    QVERIFY(ended.wait());
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));
    m_fake.takeCalls();
    player.seek(4);
    calls = m_fake.takeCalls();
    QVERIFY(calls.contains(QStringLiteral("play")));
    QCOMPARE(calls.last(), QStringLiteral("time 4000"));
    QVERIFY(calls.indexOf(QStringLiteral("play")) < calls.indexOf(QStringLiteral("time 4000")));
}

void TestPlayer::pausedSeekWaitsForEachPicture()
{
    KvoVideoPlayer player;
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    QSignalSpy paused(&player, &KvoVideoPlayer::paused);
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 10000}});
    player.pause();
    m_fake.inject({{E::Paused, 0}});
    // The reports before have been handled too (the volume at Playing).
    QVERIFY(paused.wait());
    m_fake.takeCalls();
    player.seek(5);
    // The seek, the same seek again once the first has had time to decode
    // its picture, and the step to the next picture only once the repeated
    // seek has had that time too (asked for sooner, the step is lost).
    QStringList names;
    QList<qint64> times;
    const auto take = [&] {
        for (const auto& call : m_fake.takeTimedCalls()) {
            names << call.first;
            times << call.second;
        }
        return names.contains(QStringLiteral("next frame"));
    };
    QTRY_VERIFY(take());
    QCOMPARE(names, QStringList({QStringLiteral("time 5000"), QStringLiteral("time 5000"), QStringLiteral("next frame")}));
    // Lower bounds only: a busy machine makes the gaps longer, never
    // shorter (the timers behind them do not fire early); the slack covers
    // the rounding to whole milliseconds.
    QVERIFY2(times.at(1) - times.at(0) >= 390, qPrintable(QString::number(times.at(1) - times.at(0))));
    QVERIFY2(times.at(2) - times.at(1) >= 390, qPrintable(QString::number(times.at(2) - times.at(1))));
}

void TestPlayer::pauseShowsTheTimePlayed()
{
    KvoVideoPlayer player;
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    QSignalSpy paused(&player, &KvoVideoPlayer::paused);
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    // The engine reports no time between 850 ms and the pause, at least
    // 400 ms later: the bar shows the time played, not the last report.
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 10000}, {E::TimeChanged, 850}});
    QThread::msleep(400);
    player.pause();
    m_fake.inject({{E::Paused, 0}});
    QVERIFY(paused.wait());
    QCOMPARE(seeker.value(), 1);
    QVERIFY2(ticks.last().at(0).toLongLong() >= 1250, qPrintable(ticks.last().at(0).toString()));

    // Played from a seek and paused before any report: from the seek.
    player.seek(5);
    player.play();
    m_fake.inject({{E::Playing, 0}, {E::Paused, 0}});
    QVERIFY(paused.wait());
    QCOMPARE(seeker.value(), 5);
}

void TestPlayer::pauseLeavesOutBuffering()
{
    KvoVideoPlayer player;
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    QSignalSpy paused(&player, &KvoVideoPlayer::paused);
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    const auto pause = [&] {
        player.pause();
        m_fake.inject({{E::Paused, 0}});
    };
    // The time the pause shows; -1 when no pause came.
    const auto shownAtPause = [&]() -> qint64 { return paused.wait() ? ticks.last().at(0).toLongLong() : -1; };
    // The engine buffers right after its report at 850 ms, and still does
    // 900 ms later at the pause: the picture stood all along. It can only
    // have played between the two reports, which were sent within the
    // measured time (a millisecond more for rounding).
    QElapsedTimer sending;
    sending.start();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 10000}, {E::TimeChanged, 850}, {E::Buffering, 20}});
    qint64 playedAtMost = sending.elapsed() + 1;
    QThread::msleep(900);
    pause();
    qint64 shown = shownAtPause();
    QVERIFY2(shown >= 850 && shown <= 850 + playedAtMost,
             qPrintable(QStringLiteral("%1, played at most %2").arg(shown).arg(playedAtMost)));

    // Buffered again right after a report, for 900 ms, then played for at
    // least 400 ms: only those count.
    player.play();
    sending.restart();
    m_fake.inject({{E::Playing, 0}, {E::TimeChanged, 2000}, {E::Buffering, 0}});
    playedAtMost = sending.elapsed() + 1;
    QThread::msleep(900);
    sending.restart();
    m_fake.inject({{E::Buffering, 100}});
    QThread::msleep(400);
    pause();
    playedAtMost += sending.elapsed() + 1;
    shown = shownAtPause();
    QVERIFY2(shown >= 2400 && shown <= 2000 + playedAtMost,
             qPrintable(QStringLiteral("%1, played at most %2").arg(shown).arg(playedAtMost)));

    // Played for at least 400 ms up to a stall, for at least 300 ms more
    // up to a report, then for at least 200 ms: the report holds what was
    // played before it, both before and after the stall; only the time
    // since it is added.
    player.play();
    m_fake.inject({{E::Playing, 0}});
    QThread::msleep(400);
    m_fake.inject({{E::Buffering, 0}, {E::Buffering, 100}});
    QThread::msleep(300);
    sending.restart();
    m_fake.inject({{E::TimeChanged, 3000}});
    QThread::msleep(200);
    pause();
    playedAtMost = sending.elapsed() + 1;
    shown = shownAtPause();
    QVERIFY2(shown >= 3200 && shown <= 3000 + playedAtMost,
             qPrintable(QStringLiteral("%1, played since the report at most %2").arg(shown).arg(playedAtMost)));
}

void TestPlayer::staleReportsAreDropped()
{
    KvoVideoPlayer player;
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    QSignalSpy ended(&player, &KvoVideoPlayer::ended);
    QSignalSpy playing(&player, &KvoVideoPlayer::playing);
    // Reports of the first video wait in the queue while the second loads.
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 10000}, {E::TimeChanged, 9000}, {E::EndReached, 0}});
    {
        QMutexLocker locker(&m_fake.mutex);
        m_fake.releaseThread = nullptr;
    }
    QVERIFY(player.openFile(QStringLiteral("/v/b.qoz")));
    // The first media was released off the GUI thread (the engine's stop
    // waits for its threads).
    QTRY_VERIFY(m_fake.lastReleaseThread());
    QVERIFY(m_fake.lastReleaseThread() != QThread::currentThread());
    ticks.clear();
    m_fake.takeCalls();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(ticks.count(), 0);
    QCOMPARE(ended.count(), 0);
    QCOMPARE(playing.count(), 0);
    // The stale end did not stop the new media.
    QVERIFY(!m_fake.takeCalls().contains(QStringLiteral("stop")));
    QCOMPARE(player.mediaInfo().path, QStringLiteral("/v/b.qoz"));
    QCOMPARE(player.mediaInfo().length, -1);
    // The new media's own reports still arrive.
    m_fake.inject({{E::Playing, 0}});
    QVERIFY(playing.wait());
}

void TestPlayer::loadFailuresAndSamePath()
{
    KvoVideoPlayer player;
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    player.play();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 10000}, {E::TimeChanged, 4000}});
    QCOMPARE(player.state(), int(KvoVideoPlayer::Playing));
    QTRY_COMPARE(seeker.value(), 4);
    m_fake.takeCalls();
    // The same path: only stopped, not loaded again, and stopped at once
    // (the page plays a stopped video and pauses a playing one).
    QVERIFY(!player.openFile(QStringLiteral("/v/a.qoz")));
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));
    // Reports the engine sent before it heard of the stop change nothing.
    QSignalSpy playing(&player, &KvoVideoPlayer::playing);
    m_fake.inject({{E::TimeChanged, 4040}, {E::Playing, 0}});
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));
    QCoreApplication::processEvents();
    QCOMPARE(playing.count(), 0);
    QCOMPARE(seeker.value(), 0);
    // Chosen again: from the start.
    player.play();
    QCOMPARE(m_fake.takeCalls(), (QStringList{QStringLiteral("stop"), QStringLiteral("play")}));
    m_fake.inject({{E::Playing, 0}});
    QCOMPARE(player.state(), int(KvoVideoPlayer::Playing));
    // Left stopped: the engine stops at the next turn of the event loop.
    player.stop();
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));
    QStringList calls;
    QTRY_VERIFY(!(calls += m_fake.takeCalls()).isEmpty());
    QCOMPARE(calls, QStringList{QStringLiteral("stop")});
    QVERIFY(player.isLoaded());

    // A media the engine refuses leaves nothing loaded, and nothing
    // crashes on the operations that follow.
    m_fake.failOpen = true;
    QVERIFY(!player.openFile(QStringLiteral("/v/b.qoz")));
    QVERIFY(!player.isLoaded());
    QCOMPARE(player.errorText(), QStringLiteral("fake failure"));
    player.play();
    player.seek(1);
    player.mute();
    player.changeVolume(20);
    QCOMPARE(player.state(), int(KvoVideoPlayer::NoMedia));
    // An engine that did not start.
    m_fake.failOpen = false;
    m_fake.ready = false;
    QVERIFY(!player.openFile(QStringLiteral("/v/c.qoz")));
    QVERIFY(!player.isLoaded());
    player.openUrl(QStringLiteral("http://127.0.0.1:1/x"));
    QVERIFY(!player.isLoaded());
}

void TestPlayer::muteAndVolumeWithoutAudioOutput()
{
    KvoVideoPlayer player;
    KvoVideoVolumeSlider slider;
    slider.setValue(60);
    player.setVolumeSlider(&slider);
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    // No audio output: the engine answers -1 to both questions.
    m_fake.muteAnswer = -1;
    m_fake.volumeAnswer = -1;
    QVERIFY(!player.isMuted());
    m_fake.takeCalls();
    player.play();
    QCOMPARE(m_fake.takeCalls(),
             (QStringList{QStringLiteral("mute 0"), QStringLiteral("volume 60"), QStringLiteral("play")}));

    QSignalSpy changed(&slider, &QSlider::valueChanged);
    player.mute();
    QVERIFY(player.isMuted());
    QCOMPARE(slider.value(), 0);
    player.mute();
    QVERIFY(!player.isMuted());
    // The slider's last value stands in for the volume nobody can tell.
    QCOMPARE(slider.value(), 60);
    QCOMPARE(changed.count(), 0);

    // With an audio output the engine's own answers count.
    m_fake.muteAnswer = 0;
    m_fake.volumeAnswer = 35;
    player.mute();
    QCOMPARE(m_fake.muteAnswer, 1);
    QCOMPARE(slider.value(), 0);
    player.mute();
    QCOMPARE(slider.value(), 35);
    slider.setValue(80);
    QCOMPARE(m_fake.volumeAnswer, 80);
}

void TestPlayer::endStopsAndRewinds()
{
    KvoVideoPlayer player;
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    player.play();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 5000}, {E::TimeChanged, 4900}});
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    QVERIFY(ticks.wait());
    m_fake.takeCalls();
    m_fake.inject({{E::EndReached, 0}});
    QSignalSpy stopped(&player, &KvoVideoPlayer::stopped);
    QVERIFY(stopped.wait());
    // ended() stopped the player on the GUI thread: back at 0.
    QVERIFY(m_fake.takeCalls().contains(QStringLiteral("stop")));
    QCOMPARE(ticks.last().at(0).toLongLong(), 0);
    QCOMPARE(ticks.last().at(1).toLongLong(), 5000);
    QCOMPARE(seeker.value(), 0);
    QVERIFY(seeker.isEnabled());
}

void TestPlayer::realPlaybackPaintsPictures()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is missing");
    const QString path = makeClip(m_dir.path(), QStringLiteral("cours d'été %1.qoz"), 1.5);
    QVERIFY(!path.isEmpty());
    qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet --file-caching=50");
    KvoVideoBackend::setInstance(nullptr);
    QCOMPARE(KvoVlcBackend::arguments().mid(0, 3),
             (QStringList{QStringLiteral("--no-video-title-show"), QStringLiteral("--no-snapshot-preview"),
                          QStringLiteral("--no-osd")}));

    KvoVideoPlayer player;
    KvoVideoPlayer second; // a second player shares the engine
    QCOMPARE(KvoVideoBackend::instance(), KvoVideoBackend::instance());
    QVERIFY(KvoVideoBackend::instance()->isReady());
    player.resize(320, 240);
    player.show();
    QVERIFY(player.openFile(path));
    QSignalSpy ended(&player, &KvoVideoPlayer::ended);
    QSignalSpy first(&player, &KvoVideoPlayer::firstFrame);
    QSignalSpy ticks(&player, &KvoVideoPlayer::tick);
    player.play();
    QVERIFY(first.wait(10000));
    const QImage picture = player.grab().toImage();
    // testsrc draws coloured bars: the picture is not black.
    int coloured = 0;
    for (int y = 0; y < picture.height(); y += 8)
        for (int x = 0; x < picture.width(); x += 8)
            coloured += qGray(picture.pixel(x, y)) > 40 ? 1 : 0;
    QVERIFY2(coloured > 100, qPrintable(QString::number(coloured)));
    // Counted, not waited for: a GUI thread that stalled for the clip's
    // length delivers its end along with its first picture.
    QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 10000);
    QVERIFY(player.mediaInfo().length >= 1400 && player.mediaInfo().length <= 1600);
    QVERIFY(player.framesPainted() > 0);
    // The queued stop after the end rewinds to 0.
    QTRY_COMPARE(ticks.last().at(0).toLongLong(), 0);
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));

    // Another video while one plays: its own times reach the seek bar.
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    const QString other = makeClip(m_dir.path(), QStringLiteral("other.qoz"), 2.0);
    QVERIFY(!player.openFile(path)); // loaded already: played again
    player.play();
    QVERIFY(ticks.wait(5000));
    player.pause();
    QVERIFY(player.openFile(other));
    // The bar is read as each time arrives: it shows a second or more for
    // only about a second of the clip, and a stalled GUI thread gets all the
    // clip's times and its end (which rewinds the bar) in one go.
    int shownSeconds = 0;
    int shownMaximum = 0;
    connect(&player, &KvoVideoPlayer::tick, &seeker, [&] {
        if (seeker.value() > shownSeconds) {
            shownSeconds = seeker.value();
            shownMaximum = seeker.maximum();
        }
    });
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds >= 1, 5000);
    QCOMPARE(shownMaximum, 2);
    QCOMPARE(seeker.maximum(), 2);
}

void TestPlayer::realBadMediaReportsAnError()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is missing");
    KvoVideoBackend::setInstance(nullptr);
    // Not a video, but a valid box at its end.
    const QString text = m_dir.filePath(QStringLiteral("notes.qoz"));
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    QVERIFY(KvoQozFile::appendTrailer(text, 1, 2));
    KvoVideoPlayer player;
    QVERIFY(player.openFile(text));
    QSignalSpy error(&player, &KvoVideoPlayer::error);
    QSignalSpy ended(&player, &KvoVideoPlayer::ended);
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(error.count() + ended.count() > 0, 10000);
    QCOMPARE(player.mediaInfo().length, -1);

    // A clip without sound plays to its end.
    const QString silent = makeClip(m_dir.path(), QStringLiteral("silent.qoz"), 1.0, false);
    QVERIFY(!silent.isEmpty());
    QVERIFY(player.openFile(silent));
    QSignalSpy silentEnd(&player, &KvoVideoPlayer::ended);
    player.play();
    QVERIFY(silentEnd.wait(10000));
    QVERIFY(!player.isMuted());
}

void TestPlayer::realPictureKeepsItsAspect_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QStringList>("videoArgs");
    QTest::addColumn<QSizeF>("shape");
    // Decoders pad these heights to whole blocks.
    QTest::newRow("640x360") << QStringLiteral("640x360") << QStringList() << QSizeF(16, 9);
    QTest::newRow("320x180") << QStringLiteral("320x180") << QStringList() << QSizeF(16, 9);
    QTest::newRow("wide samples") << QStringLiteral("640x360")
                                  << QStringList{QStringLiteral("-vf"), QStringLiteral("setsar=4/3")}
                                  << QSizeF(640.0 * 4 / 3, 360);
}

void TestPlayer::realPictureKeepsItsAspect()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is missing");
    QFETCH(QString, size);
    QFETCH(QStringList, videoArgs);
    QFETCH(QSizeF, shape);
    const QString path = makeClip(m_dir.path(), QStringLiteral("white-%1.qoz").arg(QTest::currentDataTag()), 3.0,
                                  false, size, QStringLiteral("color=c=white"), videoArgs);
    QVERIFY(!path.isEmpty());
    qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet --file-caching=50");
    KvoVideoBackend::setInstance(nullptr);
    KvoVideoPlayer player;
    player.resize(1043, 800);
    player.show();
    QVERIFY(player.openFile(path));
    QSignalSpy first(&player, &KvoVideoPlayer::firstFrame);
    player.play();
    QVERIFY(first.wait(10000));
    // The whole picture at its own proportions, letter-boxed in the middle.
    const QSizeF fitted = shape.scaled(QSizeF(player.size()), Qt::KeepAspectRatio);
    const QRectF expected(QPointF((player.width() - fitted.width()) / 2, (player.height() - fitted.height()) / 2),
                          fitted);
    QRect area;
    const auto close = [&] {
        area = lightArea(&player);
        return qAbs(area.top() - expected.top()) <= 2 && qAbs(area.bottom() + 1 - expected.bottom()) <= 2
               && qAbs(area.left() - expected.left()) <= 2 && qAbs(area.right() + 1 - expected.right()) <= 2;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(close(), qPrintable(QStringLiteral("painted %1,%2 %3x%4").arg(area.x()).arg(area.y())
                                                      .arg(area.width()).arg(area.height())),
                              5000);
}

void TestPlayer::realPictureDecodedAtShownSize()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is missing");
    const QString path = makeClip(m_dir.path(), QStringLiteral("white-720p.qoz"), 10.0, true,
                                  QStringLiteral("1280x720"), QStringLiteral("color=c=white"));
    QVERIFY(!path.isEmpty());
    qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet --file-caching=50");
    KvoVideoBackend::setInstance(nullptr);
    KvoVideoPlayer player;
    player.resize(640, 400);
    player.show();
    QVERIFY(player.openFile(path));
    QSignalSpy first(&player, &KvoVideoPlayer::firstFrame);
    player.play();
    QVERIFY(first.wait(10000));
    // Converted once, to the size it is shown at, and painted as it is.
    QTRY_COMPARE(player.pictureSize(), QSize(640, 360));
    QCOMPARE(lightArea(&player), QRect(0, 20, 640, 360));
    // A smaller window (another view mode): the decoder follows.
    player.resize(360, 180);
    QTRY_COMPARE(player.pictureSize(), QSize(320, 180));
    QTRY_COMPARE(lightArea(&player), QRect(20, 0, 320, 180));
    QVERIFY(player.state() == KvoVideoPlayer::Playing);
    // Paused: scaled until it plays again.
    QSignalSpy paused(&player, &KvoVideoPlayer::paused);
    player.pause();
    QVERIFY(paused.wait(5000));
    player.resize(480, 270);
    QCOMPARE(lightArea(&player), QRect(0, 0, 480, 270));
    QSignalSpy playing(&player, &KvoVideoPlayer::playing);
    player.play();
    QVERIFY(playing.wait(5000));
    QTRY_COMPARE(player.pictureSize(), QSize(480, 270));
    QTRY_COMPARE(lightArea(&player), QRect(0, 0, 480, 270));
}

void TestPlayer::realSeekWhilePausedShowsThePicture()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is missing");
    // Two seconds of red, one and a half of blue, then green.
    const QString path = makeClip(m_dir.path(), QStringLiteral("red-blue.qoz"), 6.0, true, QStringLiteral("320x180"),
                                  QStringLiteral("color=c=red"),
                                  {QStringLiteral("-vf"), QStringLiteral("drawbox=c=blue:t=fill:enable='between(t,2,3.5)',"
                                                                         "drawbox=c=green:t=fill:enable='gte(t,3.5)'")});
    QVERIFY(!path.isEmpty());
    qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet --file-caching=50");
    KvoVideoBackend::setInstance(nullptr);
    KvoVideoPlayer player;
    KvoVideoSeeker seeker;
    player.setSeeker(&seeker);
    player.resize(320, 180);
    player.show();
    QVERIFY(player.openFile(path));
    QSignalSpy first(&player, &KvoVideoPlayer::firstFrame);
    player.play();
    QVERIFY(first.wait(10000));
    QTRY_VERIFY(qRed(centreColour(&player)) > 200);
    QTRY_VERIFY(seeker.isEnabled());
    QSignalSpy paused(&player, &KvoVideoPlayer::paused);
    player.pause();
    QVERIFY(paused.wait(5000));
    player.seek(3);
    QTRY_VERIFY_WITH_TIMEOUT(qBlue(centreColour(&player)) > 200, 5000);
    // Once more, before the last second.
    QCOMPARE(seeker.maximum(), 6);
    player.seek(4);
    QTRY_VERIFY_WITH_TIMEOUT(qGreen(centreColour(&player)) > 100 && qBlue(centreColour(&player)) < 50, 5000);
    QCOMPARE(player.state(), int(KvoVideoPlayer::Paused));

    // Stopped at once; the same video chosen again plays from its start.
    player.stop();
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));
    QVERIFY(!player.openFile(path));
    QCOMPARE(player.state(), int(KvoVideoPlayer::Stopped));
    QSignalSpy playing(&player, &KvoVideoPlayer::playing);
    player.play();
    QVERIFY(playing.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(qRed(centreColour(&player)) > 200, 5000);
}

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
