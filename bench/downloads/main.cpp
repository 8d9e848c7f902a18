// Three concurrent downloads through the download queue against three
// concurrent curl runs of the same files, in the same run.
//
// Starts the local web service with the benchmark course (three videos of
// N MiB, 200 by default), signs in as the demo account, then alternates:
// three curl processes fetching the three files at once, and the downloads
// page's queue fetching them through three child entries of the course. It
// prints the wall time of every round, the ratio of the throughputs
// (queue / curl) and the longest stall of the GUI thread during the queue's
// rounds, measured as the worst lateness of a 5 ms timer, with what the GUI
// thread did during that worst stall: its own work, and how often the
// scheduler took its core away. Every round of the
// queue runs twice: on an idle machine, then with a busy loop on every core
// (started by the benchmark, stopped at the end of the round and after two
// minutes at most).
//
// Usage: bench_downloads [MiB] [rounds]
//        bench_downloads --page [courses]   (see page.cpp)
//        bench_downloads --page-window [courses]   (its main window part)

#include "KvoApi.h"
#include "KvoBenchEnvironment.h"
#include "KvoBenchService.h"
#include "KvoDatabase.h"
#include "KvoDownloadJob.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoPageDownloads.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSignIn.h"
#include "KvoWebEngineSetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

int runPageBench(int courses);
int runPageWindowBench(int courses);

namespace {

constexpr int BenchCourse = 190;

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    // Sleeps until something happens, as the client's own event loop does: a
    // poll that never sleeps made the GUI thread one more busy loop, whose
    // spinning counted as GUI work and which the scheduler treated as such.
    QTimer tick;
    tick.start(20);
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// How often the calling thread lost its core while it could have run on.
long threadPreemptions()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nivcsw;
}

// The worst lateness of a 5 ms timer while it runs, in ms, with the CPU time
// the GUI thread spent and the times it was preempted during that stall;
// and the most CPU time the GUI thread itself spent between two ticks (its
// own work, as opposed to waiting for a core on a loaded machine).
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = m_clock.nsecsElapsed() / 1e6;
            const double cpu = threadCpuMs();
            const long preemptions = threadPreemptions();
            if (now - m_last - 5.0 > worst) {
                worst = now - m_last - 5.0;
                worstStallWork = cpu - m_lastCpu;
                worstStallPreemptions = preemptions - m_lastPreemptions;
            }
            m_last = now;
            worstWork = std::max(worstWork, cpu - m_lastCpu);
            m_lastCpu = cpu;
            m_lastPreemptions = preemptions;
        });
    }
    void start()
    {
        worst = 0;
        worstWork = 0;
        worstStallWork = 0;
        worstStallPreemptions = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuMs();
        m_lastPreemptions = threadPreemptions();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double worst = 0;
    double worstWork = 0;
    double worstStallWork = 0;
    long worstStallPreemptions = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_lastCpu = 0;
    long m_lastPreemptions = 0;
};

// One busy loop per core while it lives, two minutes at most.
class CpuLoad
{
public:
    CpuLoad()
    {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        for (unsigned i = 0; i < cores; ++i)
            m_threads.emplace_back([this, end] {
                volatile unsigned long spin = 0;
                while (!m_stop.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < end)
                    for (int k = 0; k < 100000; ++k)
                        spin = spin + 1;
            });
    }
    ~CpuLoad()
    {
        m_stop = true;
        for (std::thread& t : m_threads)
            t.join();
    }
    int threads() const { return int(m_threads.size()); }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

struct Round
{
    bool ok = false;
    double seconds = 0;
    qint64 bytes = 0;
    double stallMs = 0;
    double stallWorkMs = 0;
    long stallPreemptions = 0;
    double workMs = 0;
    QString error;
};

Round curlRound(const QString& curl, const QStringList& urls, const QString& folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    std::vector<std::unique_ptr<QProcess>> processes;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < urls.size(); ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(curl, {QStringLiteral("-s"), QStringLiteral("-o"), folder + QStringLiteral("/%1.qoz").arg(i), urls.at(i)});
        processes.push_back(std::move(p));
    }
    Round round;
    round.ok = true;
    for (auto& p : processes) {
        if (!p->waitForFinished(600000) || p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0) {
            round.ok = false;
            round.error = QStringLiteral("curl failed");
        }
    }
    round.seconds = timer.nsecsElapsed() / 1e9;
    for (int i = 0; i < urls.size(); ++i)
        round.bytes += QFileInfo(folder + QStringLiteral("/%1.qoz").arg(i)).size();
    return round;
}

Round queueRound(const QString& folder, bool loaded)
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    // Every video of the course missing again, in a fresh folder.
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    KvoEnvironment::setVideoPath(folder);
    const KvoPurchase course = manager->purchases().value(BenchCourse);
    for (KvoVideoFile video : course.files) {
        video.KvoPath.clear();
        manager->setVideoPath(course, video);
    }

    Round round;
    auto page = std::make_unique<KvoPageDownloads>(nullptr);
    page->resize(1030, 720);
    page->show();
    KvoDownloadJob* entry = page->entryFor(BenchCourse);
    if (!entry) {
        round.error = QStringLiteral("the benchmark course is not listed");
        return round;
    }
    // One child entry per video: three entries, three download slots.
    entry->toggleExpanded();
    // A child row whose video arrived leaves the list: the rows are
    // followed through guarded pointers, the files through the library.
    QList<QPointer<KvoDownloadJob>> children;
    for (KvoDownloadJob* child : entry->children())
        children.append(child);
    if (children.size() != 3) {
        round.error = QStringLiteral("expected three child entries");
        return round;
    }
    const auto arrived = [manager](const QList<int>& ids) {
        KvoPurchase now;
        manager->purchase(BenchCourse, &now);
        return std::all_of(ids.begin(), ids.end(), [&now](int id) { return now.files.value(id).isOnDisk(); });
    };
    const QList<int> videoIds = entry->children().keys();
    StallMeter stall;
    QElapsedTimer timer;
    std::unique_ptr<CpuLoad> load;
    if (loaded)
        load = std::make_unique<CpuLoad>();
    stall.start();
    timer.start();
    for (KvoDownloadJob* child : children)
        child->enqueue();
    const bool ended = waitFor(
        [&] {
            return std::all_of(children.begin(), children.end(), [](const QPointer<KvoDownloadJob>& c) {
                return !c || c->isFinished() || c->look() == KvoDownloadJob::Look::Error;
            });
        },
        600000);
    round.seconds = timer.nsecsElapsed() / 1e9;
    stall.stop();
    load.reset();
    round.stallMs = stall.worst;
    round.stallWorkMs = stall.worstStallWork;
    round.stallPreemptions = stall.worstStallPreemptions;
    round.workMs = stall.worstWork;
    round.ok = ended && arrived(videoIds);
    for (const QPointer<KvoDownloadJob>& child : children)
        if (child && child->look() == KvoDownloadJob::Look::Error)
            round.error = child->lastMessage() + QStringLiteral(": ") + child->lastDetail();
    KvoPurchase done;
    manager->purchase(BenchCourse, &done);
    for (const int id : videoIds)
        round.bytes += QFileInfo(done.files.value(id).KvoPath).size();
    return round;
}

// The same meter with the same busy loops and no download: what the
// scheduler alone costs the GUI thread on a loaded machine.
double loadedFloor(double seconds)
{
    StallMeter stall;
    CpuLoad load;
    stall.start();
    QElapsedTimer timer;
    timer.start();
    waitFor([&] { return timer.elapsed() >= qint64(seconds * 1000); }, 600000);
    stall.stop();
    return stall.worst;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool window = argc > 1 && qstrcmp(argv[1], "--page-window") == 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private home: no settings or database of a real user are touched.
    QTemporaryDir home;
    KvoBenchEnvironment::usePrivateHome(home.path());
    if (window)
        KvoWebEngineSetup::prepare(); // as the client does: its home page is a web view
    QApplication app(argc, argv);
    if (window) {
        KvoWebEngineSetup::chooseSceneGraph();
        return runPageWindowBench(argc > 2 ? qMax(1, QString::fromLocal8Bit(argv[2]).toInt()) : 100000);
    }

    if (argc > 1 && qstrcmp(argv[1], "--page") == 0)
        return runPageBench(argc > 2 ? qMax(1, QString::fromLocal8Bit(argv[2]).toInt()) : 100000);

    const int mebibytes = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 200;
    const int rounds = argc > 2 ? qMax(1, QString::fromLocal8Bit(argv[2]).toInt()) : 2;
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::fprintf(stderr, "bench_downloads: curl is not installed\n");
        return 1;
    }

    // The generated files are kept between runs of the benchmark.
    const QString data = QDir::tempPath() + QStringLiteral("/vistrelle-bench-downloads");
    KvoBenchService service({QStringLiteral("--data"), data, QStringLiteral("--bench-library"),
                             QString::number(mebibytes), QStringLiteral("--quiet")},
                            300000);
    const QString base = service.address();
    if (base.isEmpty()) {
        std::fprintf(stderr, "bench_downloads: the local web service did not start (%s)\n",
                     qPrintable(service.program()));
        return 1;
    }
    KvoApi::setEndpointForTesting(base);

    KvoEnvironment::init();
    if (!KvoDatabase::openForCurrentLanguage()) {
        std::fprintf(stderr, "bench_downloads: no database\n");
        return 1;
    }
    KvoSignIn signIn;
    signIn.setUpdatesRememberedLogin(false);
    bool signedIn = false, failed = false;
    QObject::connect(&signIn, &KvoSignIn::signedIn, [&] { signedIn = true; });
    QObject::connect(&signIn, &KvoSignIn::failed, [&] { failed = true; });
    signIn.signIn(QStringLiteral("demo"), QStringLiteral("demo"), false);
    waitFor([&] { return signedIn || failed; }, 20000);
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    manager->setConnected(true);
    bool synced = false;
    QObject::connect(manager, &KvoPurchaseVideoManager::updateEnded, [&] { synced = true; });
    manager->update();
    waitFor([&] { return synced; }, 20000);
    const KvoPurchase course = manager->purchases().value(BenchCourse);
    if (!signedIn || course.files.size() != 3) {
        std::fprintf(stderr, "bench_downloads: sign-in or library failed\n");
        return 1;
    }
    QStringList urls;
    for (const KvoVideoFile& video : course.files)
        urls.append(base + QStringLiteral("/files/videos/%1/%2.qoz").arg(BenchCourse).arg(video.fileId));

    QTemporaryDir work;
    std::printf("three concurrent downloads of %d MiB each over loopback, %d rounds\n", mebibytes, rounds);
    double curlBest = 1e9, queueBest = 1e9, curlSum = 0, queueSum = 0, worstStall = 0, worstLoadedStall = 0,
           worstFloor = 0, worstWork = 0;
    for (int r = 0; r < rounds; ++r) {
        const Round c = curlRound(curl, urls, work.path() + QStringLiteral("/curl"));
        const Round q = queueRound(work.path() + QStringLiteral("/queue"), false);
        const Round l = queueRound(work.path() + QStringLiteral("/loaded"), true);
        if (!c.ok || !q.ok || !l.ok) {
            std::fprintf(stderr, "bench_downloads: round %d failed: %s %s %s\n", r + 1, qPrintable(c.error),
                         qPrintable(q.error), qPrintable(l.error));
            return 1;
        }
        std::printf("round %d: curl %.2f s (%.0f MB/s), queue %.2f s (%.0f MB/s), GUI stall %.1f ms "
                    "(in it %.1f ms GUI work, %ld preemptions; longest GUI work %.1f ms); under load (%u busy "
                    "loops): queue %.2f s, GUI stall %.1f ms (in it %.1f ms GUI work, %ld preemptions; longest GUI "
                    "work %.1f ms)\n",
                    r + 1, c.seconds, c.bytes / 1e6 / c.seconds, q.seconds, q.bytes / 1e6 / q.seconds, q.stallMs,
                    q.stallWorkMs, q.stallPreemptions, q.workMs, std::max(1u, std::thread::hardware_concurrency()),
                    l.seconds, l.stallMs, l.stallWorkMs, l.stallPreemptions, l.workMs);
        worstWork = std::max({worstWork, q.workMs, l.workMs});
        worstLoadedStall = std::max(worstLoadedStall, l.stallMs);
        const double floor = loadedFloor(std::max(1.0, l.seconds));
        worstFloor = std::max(worstFloor, floor);
        std::printf("         same load without any download, %.1f s: GUI stall %.1f ms\n", std::max(1.0, l.seconds),
                    floor);
        curlBest = std::min(curlBest, c.seconds);
        queueBest = std::min(queueBest, q.seconds);
        curlSum += c.seconds;
        queueSum += q.seconds;
        worstStall = std::max(worstStall, q.stallMs);
        QDir(work.path() + QStringLiteral("/curl")).removeRecursively();
        QDir(work.path() + QStringLiteral("/queue")).removeRecursively();
        QDir(work.path() + QStringLiteral("/loaded")).removeRecursively();
    }
    std::printf("throughput ratio queue/curl: %.2f (mean), %.2f (best against best)\n", curlSum / queueSum,
                curlBest / queueBest);
    std::printf("longest GUI-thread stall during the queue's downloads: %.1f ms idle, %.1f ms under load "
                "(goal <= 16; the load alone, without downloads: %.1f ms); longest stretch of GUI-thread work: "
                "%.1f ms\n",
                worstStall, worstLoadedStall, worstFloor, worstWork);
    return 0;
}
