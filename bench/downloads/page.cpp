// The downloads page with a large library: time to open it, to change the
// list page and the sort, and the memory of the client, with N courses
// (100,000 by default) that each miss a video. Prints figures only.
//
// Two parts, each in a process of its own:
//  - the page alone on the platform the benchmark runs on (offscreen by
//    default): built, shown and painted, paged and sorted;
//  - what a user does (runPageWindowBench, under an X display): the built
//    main window on xcb, the click on its "A télécharger" button until the
//    page is painted and flushed to the X server.

#include "KvoBenchEnvironment.h"
#include "KvoBenchLibrary.h"
#include "KvoApi.h"
#include "KvoMainWindow.h"
#include "KvoPageRegistry.h"
#include "KvoPageSetup.h"
#include "KvoDownloadWidget.h"
#include "KvoEnvironment.h"
#include "KvoFont.h"
#include "KvoPageDownloads.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QRadioButton>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdio>

namespace {

const QString s_user = QStringLiteral("Bench0003");

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// Resident and peak resident memory of the process, in MB.
void memory(double* rss, double* peak)
{
    *rss = *peak = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "VmRSS:")
            *rss = parts[1].toDouble() / 1024;
        else if (parts[0] == "VmHWM:")
            *peak = parts[1].toDouble() / 1024;
    }
}

// Two videos per course; the second is not on disk.
void addCourses(QSqlDatabase& db, int courses)
{
    QSqlQuery pq(db), vq(db);
    pq.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date) "
                              "VALUES (?, ?, ?, ?, ?, ?)"));
    vq.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, KvoPath, hidden, "
                              "alreadyseen) VALUES (?, ?, ?, ?, 60, ?, ?, 0, 0)"));
    for (int c = 1; c <= courses; ++c) {
        const int first = c * 10 + 1, second = c * 10 + 2;
        for (const QVariant& v : QVariantList{s_user, c, QStringLiteral("%1;%2").arg(first).arg(second),
                                              QStringLiteral("Cours numéro %1").arg(c), QString::number(1 + c % 300),
                                              1500000000 + (c * 7919) % 100000000})
            pq.addBindValue(v);
        pq.exec();
        for (int v = 0; v < 2; ++v) {
            for (const QVariant& value :
                 QVariantList{s_user, v ? second : first, c, QStringLiteral("Vidéo %1").arg(v + 1), v + 1,
                              v ? QString() : QStringLiteral("/nowhere/%1.qoz").arg(first)})
                vq.addBindValue(value);
            vq.exec();
        }
    }
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Notes the first paint of a widget or of any widget inside it.
class PaintWatch : public QObject
{
public:
    QWidget* page = nullptr;
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen && page && event->type() == QEvent::Paint && watched->isWidgetType()
            && (watched == page || page->isAncestorOf(static_cast<QWidget*>(watched))))
            seen = true;
        return false;
    }
};

// The click on the menu's download button, timed until the page it opens
// has been painted and the window flushed (the event loop's turn that
// painted it has ended). Returns the time to the end of the click's own
// work in *clickMs.
// The longest time the event loop did not come round during ms
// milliseconds (a 1 ms timer's worst gap): what follows the first paint
// (the page's look at its files, answered later) may hold the window.
double longestGap(int ms)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    wait(ms);
    return double(longest) / 1e6;
}

double clickUntilPainted(QPushButton* button, QWidget* page, double* clickMs)
{
    PaintWatch watch;
    watch.page = page;
    qApp->installEventFilter(&watch);
    QElapsedTimer timer;
    timer.start();
    button->click();
    *clickMs = ms(timer.nsecsElapsed());
    while (!watch.seen && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    const double painted = ms(timer.nsecsElapsed());
    qApp->removeEventFilter(&watch);
    return watch.seen ? painted : -1;
}

} // namespace

int runPageBench(int courses)
{
    std::printf("the page alone on %s; load %.2f\n", qPrintable(QGuiApplication::platformName()),
                KvoBenchEnvironment::load1());
    KvoEnvironment::init();
    KvoBenchLibrary library(s_user);
    if (!library.isOpen()) {
        std::fprintf(stderr, "bench_downloads: cannot open the database\n");
        return 1;
    }
    const double fillMs = library.fill(300, [courses](QSqlDatabase& db) { addCourses(db, courses); });
    const double loadMs = library.load();
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    QElapsedTimer timer;
    double rss = 0, peak = 0;
    memory(&rss, &peak);
    std::printf("library: %d courses missing a video (database filled in %.0f ms, loaded in %.0f ms); "
                "memory %.0f MB (peak %.0f MB)\n",
                int(manager->purchases().size()), fillMs, loadMs, rss, peak);

    // The client has drawn its sign-in and main window before this page
    // opens: the fonts and the style are ready then, and are here too, so
    // the figure is the page's own cost.
    {
        QWidget warm;
        auto* label = new QLabel(QStringLiteral("Télécharger"), &warm);
        label->setFont(KvoFont::arial(12));
        auto* button = new QPushButton(QStringLiteral("Actualiser"), &warm);
        button->setFont(KvoFont::arial(11));
        button->setStyleSheet(QStringLiteral("QPushButton {background-color: #181a21;color:#e7e7e7;border: 0;}"));
        warm.grab();
    }
    timer.restart();
    auto* page = new KvoPageDownloads(nullptr);
    page->resize(1030, 720);
    page->show();
    page->grab();
    const double openMs = ms(timer.nsecsElapsed());
    settle();
    memory(&rss, &peak);
    std::printf("downloads page opened (built, shown, painted) in %.1f ms (goal < 100): %d entries, %d rows; "
                "memory %.0f MB (peak %.0f MB, goal < 500)\n",
                openMs, int(page->sortedIds().size()), int(page->visibleRows().size()), rss, peak);

    timer.restart();
    page->onShow();
    page->grab();
    std::printf("shown again and painted (nothing changed): %.1f ms\n", ms(timer.nsecsElapsed()));

    // What a finished download costs: one course complete (the write to
    // the library, timed from before it), the list's update as the main
    // window asks for it after each write, and the page shown again.
    {
        KvoPurchase course;
        manager->purchase(uint(courses / 2), &course);
        KvoVideoFile video = course.files.last();
        video.KvoPath = QStringLiteral("/nowhere/%1.qoz").arg(video.fileId);
        timer.restart();
        manager->setVideoPath(course, video);
        const double write = ms(timer.nsecsElapsed());
        page->refreshList();
        const double update = ms(timer.nsecsElapsed());
        settle();
        timer.restart();
        page->onShow();
        page->grab();
        std::printf("a course completed: the write and the list's update %.1f ms (goal <= 40; the write alone "
                    "%.1f ms), page shown again and painted in %.1f ms\n",
                    update, write, ms(timer.nsecsElapsed()));
    }

    timer.restart();
    page->pagination()->setCurrentPage(courses / 2 / KvoPageDownloads::ItemsPerPage);
    page->grab();
    std::printf("another list page: %.1f ms\n", ms(timer.nsecsElapsed()));

    timer.restart();
    page->findChild<QRadioButton*>(QStringLiteral("softwareAsc"))->click();
    page->grab();
    std::printf("sorted by software: %.1f ms\n", ms(timer.nsecsElapsed()));
    settle();

    delete page;
    settle();
    library.close();
    memory(&rss, &peak);
    std::printf("client peak memory over the whole run: %.0f MB; load %.2f at the end\n", peak,
                KvoBenchEnvironment::load1());
    std::fflush(stdout);

    // What a user does, on a real display, in a process of its own.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("no X display: the main window's figure needs one (xvfb-run -a)\n");
        return 0;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--page-window"), QString::number(courses)});
    if (!child.waitForFinished(600000)) {
        child.kill();
        child.waitForFinished(10000);
        return 1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}

int runPageWindowBench(int courses)
{
    KvoEnvironment::init();
    KvoBenchLibrary library(s_user);
    if (!library.isOpen()) {
        std::fprintf(stderr, "bench_downloads: cannot open the database\n");
        return 1;
    }
    library.fill(300, [courses](QSqlDatabase& db) { addCourses(db, courses); });
    library.load();
    // Signed in, as a user who opens the page is; the service is out of
    // reach (a closed port), so the library stays the one written here.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    manager->setConnected(true);
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    QElapsedTimer timer;
    timer.start();
    KvoMainWindow::createInstance(true);
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    const double builtMs = ms(timer.nsecsElapsed());
    wait(3000); // shown, the home page's first turn over
    auto* button = window->findChild<QPushButton*>(QStringLiteral("buttonTelecharger"));
    auto* page = qobject_cast<KvoPageDownloads*>(window->pages().value(QStringLiteral("downloads")).first);
    if (!button || !page) {
        std::fprintf(stderr, "bench_downloads: no download button or page in the main window\n");
        return 1;
    }
    double rss = 0, peak = 0;
    memory(&rss, &peak);
    std::printf("main window on %s, %dx%d, %d courses missing a video: built and shown in %.0f ms; memory %.0f MB\n",
                qPrintable(QGuiApplication::platformName()), window->width(), window->height(),
                int(manager->purchases().size()), builtMs, rss);
    auto* home = window->findChild<QPushButton*>(QStringLiteral("buttonAccueil"));
    for (int click = 0; click < 3; ++click) {
        if (click > 0) {
            home->click();
            wait(1000);
        }
        const double load0 = KvoBenchEnvironment::load1();
        double clickMs = 0;
        const double paintedMs = clickUntilPainted(button, page, &clickMs);
        const double gap = longestGap(2000);
        memory(&rss, &peak);
        std::printf("click on \"A télécharger\" %s: page painted %.1f ms after the click (%s; goal < 100), the "
                    "click's own work %.1f ms; then in 2 s the longest stall of the window %.1f ms; page \"%s\", %d "
                    "entries, %d rows; memory %.0f MB (peak %.0f MB); load %.2f -> %.2f\n",
                    click == 0 ? "(first)" : "(again)", paintedMs, paintedMs < 0 ? "no paint!" : "xcb", clickMs, gap,
                    qPrintable(window->currentKey()), int(page->sortedIds().size()), int(page->visibleRows().size()),
                    rss, peak, load0, KvoBenchEnvironment::load1());
        std::fflush(stdout);
    }
    KvoMainWindow::destroyInstance();
    settle();
    KvoPageRegistry::clear();
    library.close();
    return 0;
}
