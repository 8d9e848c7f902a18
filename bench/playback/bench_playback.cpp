// Prints figures of video playback; asserts nothing.
//
// A 60 s 1080p30 clip with sound is made with ffmpeg (kept in the temporary
// folder for the next run) and played twice in the same process:
//  - floor: libvlc alone decoding it with no output (dummy video and audio
//    outputs);
//  - the player page: the same clip loaded from the library and played to
//    its end, each picture converted, handed over and painted by Qt.
//  - libvlc's own X11 output: the same clip played by libvlc alone into an
//    X window of the size of the page's picture (the output converts and
//    scales each picture to the window and puts it on the X server).
// Printed: CPU time of each and the page's ratio to the floor and to the
// X11 output, pictures decoded, handed over and painted, time from the
// play request to the first painted picture, and the longest gap of the
// GUI thread's event loop while playing, while seeking and while
// switching videos.
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoPagePlayer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoVolumeSlider.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <sys/resource.h>
#include <vlc/vlc.h>

#include <atomic>
#include <cstdio>

namespace {

const QString s_user = QStringLiteral("Bench0003");

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString makeClip(const QString& path, int seconds, int fps)
{
    if (QFile::exists(path))
        return path;
    std::printf("making the %d s 1080p%d clip with ffmpeg...\n", seconds, fps);
    std::fflush(stdout);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=1920x1080:rate=%1:duration=%2").arg(fps).arg(seconds),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), QStringLiteral("-c:v"),
                  QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("veryfast"),
                  QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                  QStringLiteral("-shortest"), QStringLiteral("-f"), QStringLiteral("mp4"), path + QStringLiteral(".tmp")});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        return QString();
    if (!KvoQozFile::appendTrailer(path + QStringLiteral(".tmp"), 900, 9001))
        return QString();
    QFile::rename(path + QStringLiteral(".tmp"), path);
    return path;
}

// Plays the player's media to its end; the process's CPU time and the wall
// time it took.
void playToEnd(libvlc_media_player_t* player, double* cpu, double* wall)
{
    std::atomic<bool> ended{false};
    libvlc_event_attach(
        libvlc_media_player_event_manager(player), libvlc_MediaPlayerEndReached,
        [](const libvlc_event_t*, void* data) { static_cast<std::atomic<bool>*>(data)->store(true); }, &ended);
    QElapsedTimer clock;
    const double before = cpuSeconds();
    clock.start();
    libvlc_media_player_play(player);
    while (!ended.load())
        QThread::msleep(20);
    *wall = double(clock.nsecsElapsed()) / 1e9;
    *cpu = cpuSeconds() - before;
}

// libvlc alone: decodes and throws the pictures away.
void floorRun(const QString& path, double* cpu, double* wall)
{
    const char* const args[] = {"--no-video-title-show", "--no-osd", "--no-xlib", "--vout=dummy",
                                "--aout=dummy", "--quiet"};
    libvlc_instance_t* vlc = libvlc_new(int(std::size(args)), args);
    libvlc_media_t* media = libvlc_media_new_path(vlc, QFile::encodeName(path).constData());
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    libvlc_media_release(media);
    playToEnd(player, cpu, wall);
    libvlc_media_player_stop(player);
    libvlc_media_player_release(player);
    libvlc_release(vlc);
}

// libvlc's X11 output into a window of the given size. The client's
// instance runs without Xlib (it paints its pictures itself); this one
// only needs xcb. The output has no scaling of its own on this server:
// libvlc converts and scales in one pass, as for the client.
void x11Run(const QString& path, const QSize& size, double* cpu, double* wall, int* shown, int* lost)
{
    QWidget window;
    window.setAttribute(Qt::WA_NativeWindow);
    window.setAttribute(Qt::WA_OpaquePaintEvent);
    window.setAttribute(Qt::WA_NoSystemBackground);
    window.setFixedSize(size);
    window.show();
    QCoreApplication::processEvents();
    // The window is libvlc's from now on.
    window.setUpdatesEnabled(false);
    // The client's fast scaling filter too: both scale the same way. The
    // window given to the player makes libvlc choose its output itself,
    // and its OpenGL outputs come first: they are kept out, so the plain
    // X11 output (shared-memory pictures) is the one measured.
    const char* const args[] = {"--no-video-title-show", "--no-osd", "--gl=none", "--gles2=none",
                                "--swscale-mode=0", "--aout=dummy", "--quiet"};
    libvlc_instance_t* vlc = libvlc_new(int(std::size(args)), args);
    libvlc_media_t* media = libvlc_media_new_path(vlc, QFile::encodeName(path).constData());
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    libvlc_media_player_set_xwindow(player, uint32_t(window.winId()));
    playToEnd(player, cpu, wall);
    libvlc_media_stats_t stats{};
    libvlc_media_get_stats(media, &stats);
    *shown = stats.i_displayed_pictures;
    *lost = stats.i_lost_pictures;
    libvlc_media_player_stop(player);
    libvlc_media_player_release(player);
    libvlc_media_release(media);
    libvlc_release(vlc);
}

// The longest time the GUI thread's event loop did not come round.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last > 0)
                m_max = qMax(m_max, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_max = 0;
        m_last = 0;
        m_clock.start();
        m_timer.start();
    }
    double stopMs()
    {
        m_timer.stop();
        return double(m_max) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_max = 0;
};

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(QObject* sender, const char* signal, int ms)
{
    QEventLoop loop;
    QTimer::connect(sender, signal, &loop, SLOT(quit()));
    bool timedOut = false;
    QTimer::singleShot(ms, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    loop.exec();
    return !timedOut;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        std::printf("ffmpeg is missing\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("VISTRELLE_VLC_ARGS"))
        qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet");
    const QString cache = QDir::tempPath() + QStringLiteral("/vistrelle-bench-playback");
    QDir().mkpath(cache);
    const QString clip = makeClip(cache + QStringLiteral("/clip-1080p30-60s.qoz"), 60, 30);
    const QString second = makeClip(cache + QStringLiteral("/clip-1080p30-8s.qoz"), 8, 30);
    if (clip.isEmpty() || second.isEmpty()) {
        std::printf("ffmpeg failed\n");
        return 1;
    }

    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    KvoEnvironment::init();
    KvoDatabase::open(home.filePath(QStringLiteral("database.sqlite")));
    QSqlQuery q(KvoDatabase::database());
    q.exec(QStringLiteral("INSERT INTO users (id_qoz_user, login, credits, last_update) VALUES ('Bench0003', 'b', '0', 0)"));
    q.exec(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date, commented) "
                          "VALUES ('Bench0003', 900, '9001;9002', 'Banc', '9', 0, 1)"));
    for (const auto& video : {qMakePair(9001, clip), qMakePair(9002, second)}) {
        q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, KvoPath, "
                                 "hidden, alreadyseen) VALUES ('Bench0003', ?, 900, 'Banc', 60, ?, ?, 0, 0)"));
        q.addBindValue(video.first);
        q.addBindValue(video.first);
        q.addBindValue(video.second);
        q.exec();
    }
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("b"), QStringLiteral("0"), QString());
    KvoPagePlayer::setPlaylistSource([](uint, QList<QVariant>& purchases, QList<QVariant>& videos) {
        purchases = {900u, 900u};
        videos = {9001u, 9002u};
    });
    KvoPagePlayer::setErrorDialog([](QWidget*) { std::printf("playback error dialog!\n"); });

    std::printf("platform: %s, frame: 1280x720 page\n", qPrintable(QGuiApplication::platformName()));
    double floorCpu = 0;
    double floorWall = 0;
    floorRun(clip, &floorCpu, &floorWall);
    std::printf("floor (libvlc, no output): %.2f s CPU for %.1f s of playing\n", floorCpu, floorWall);
    std::fflush(stdout);

    QWidget window;
    window.resize(1280, 720);
    auto* page = new KvoPagePlayer(&window);
    page->setGeometry(0, 0, 1280, 680);
    QPushButton play(&window), pause(&window), next(&window), previous(&window), mute(&window);
    QLabel duration(&window), time(&window);
    auto* seeker = new KvoVideoSeeker(&window);
    seeker->setGeometry(0, 690, 1280, 20);
    auto* volume = new KvoVideoVolumeSlider(&window);
    IKvoPlayerPage::Controls controls;
    controls.play = &play;
    controls.pause = &pause;
    controls.next = &next;
    controls.previous = &previous;
    controls.mute = &mute;
    controls.duration = &duration;
    controls.time = &time;
    controls.seeker = seeker;
    controls.volume = volume;
    controls.markerParent = &window;
    page->setControls(controls);
    window.show();
    KvoVideoPlayer* player = page->videoPlayer();

    StallProbe probe;
    page->setSelectedVideo(9, 9001);
    QElapsedTimer first;
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    first.start();
    page->loadIfReady(); // opens and plays
    const double loadMs = double(first.nsecsElapsed()) / 1e6;
    const bool gotFrame = waitFor(player, SIGNAL(firstFrame()), 10000);
    const double firstMs = double(first.nsecsElapsed()) / 1e6;
    // The size the pictures are decoded at, once playing.
    QSize pictureSize;
    QTimer::singleShot(2000, player, [&] { pictureSize = player->pictureSize(); });
    probe.start();
    waitFor(player, SIGNAL(ended()), 90000);
    const double playStall = probe.stopMs();
    const double playCpu = cpuSeconds() - before;
    const double playWall = double(wall.nsecsElapsed()) / 1e9;
    std::printf("player page: %.2f s CPU for %.1f s of playing; ratio to the floor %.2f\n", playCpu, playWall,
                playCpu / floorCpu);
    const qint64 shown = qint64(player->framesShown());
    const qint64 painted = qint64(player->framesPainted());
    std::printf("pictures: 1800 in the clip, %lld handed over by libvlc (%lld dropped by it), %lld painted "
                "(%lld replaced before they could be painted)\n",
                shown, 1800 - shown, painted, shown - painted);
    std::printf("play request to first painted picture: %.0f ms%s (of which loading, on the GUI thread: %.0f ms)\n",
                firstMs, gotFrame ? "" : " (none!)", loadMs);
    std::printf("longest GUI-thread gap while playing (after the first picture): %.1f ms\n", playStall);
    std::fflush(stdout);

    // The same clip through libvlc's own X11 output, at the page picture's size.
    double x11Cpu = 0;
    double x11Wall = 0;
    int x11Shown = 0;
    int x11Lost = 0;
    const QSize x11Size = pictureSize.isValid() ? pictureSize : player->size();
    x11Run(clip, x11Size, &x11Cpu, &x11Wall, &x11Shown, &x11Lost);
    std::printf("libvlc X11 output (%dx%d window): %.2f s CPU for %.1f s of playing, %d pictures shown, %d lost\n",
                x11Size.width(), x11Size.height(), x11Cpu, x11Wall, x11Shown, x11Lost);
    std::printf("player page (pictures of %dx%d) against the X11 output: ratio %.2f (goal <= 1.2)\n",
                pictureSize.width(), pictureSize.height(), playCpu / x11Cpu);
    std::fflush(stdout);

    // Seeking: ten jumps about the clip, one every 300 ms.
    wait(300);
    page->onPlayClicked();
    waitFor(player, SIGNAL(playing()), 5000);
    probe.start();
    for (int i = 0; i < 10; ++i) {
        player->seek((i * 7) % 55);
        wait(300);
    }
    std::printf("longest GUI-thread gap while seeking: %.1f ms\n", probe.stopMs());
    // Switching videos: next and previous five times, 500 ms apart.
    probe.start();
    for (int i = 0; i < 5; ++i) {
        next.click();
        wait(500);
        previous.click();
        wait(500);
    }
    std::printf("longest GUI-thread gap while switching videos: %.1f ms\n", probe.stopMs());
    player->stop();
    delete page;
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    return 0;
}
