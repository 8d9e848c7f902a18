// Prints figures of the catalogue's list pages and of the home page;
// asserts nothing. Run it under a display (xvfb-run), as root with
// QTWEBENGINE_DISABLE_SANDBOX=1.
//
// 1. A list of 100 courses (their pictures in the image cache, as on any
//    visit after the first): the top of the month and the news (every row)
//    and the favourites and promotions (ten rows a page). Timed from the
//    moment the answer is handed to the page to its rows built, laid out
//    and painted; eight runs on fresh pages, the first one left out.
// 2. The pages of the favourites' pagination: each switch, its ten rows
//    built, laid out and painted.
// 3. The home page against the local web service: from the creation of
//    the main window (what follows a sign-in) to the home page loaded, and
//    from the page's showing to the first paint that put its web content
//    on the screen (no paint forced).
// 4. Memory with the home page open: resident size of the client and of
//    the web engine's helper processes. 3 and 4 run in a process of their
//    own ("home" as the argument; without an argument the benchmark starts
//    itself so after the lists): what the list pages left behind in the
//    heap is not counted as the home page's.
// 5. ("bounds" as the argument, alone) Answers without bound from the local
//    web service (its list_rows, faq_rows and faq_bytes switches): a top
//    list of 100,000 courses, three such lists at once, the longest list
//    still read, FAQs of 12,000 and 20,000 entries and one of a 50 MB
//    answer, the longest FAQ answer kept opened. For each: the longest
//    stall of the event loop (the gap between two turns) and the peak
//    resident size of the client while it ran.
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoApi.h"
#include "KvoBenchEnvironment.h"
#include "KvoBenchProcesses.h"
#include "KvoAsyncImage.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoFaqCache.h"
#include "KvoFaqWidget.h"
#include "KvoHTTPRequest.h"
#include "KvoMainWindow.h"
#include "KvoPageFavoris.h"
#include "KvoPageHelp.h"
#include "KvoPageHome.h"
#include "KvoPageNews.h"
#include "KvoPagePromo.h"
#include "KvoPageRegistry.h"
#include "KvoPageSetup.h"
#include "KvoPageTopMonth.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoTopItem.h"
#include "KvoWebEngineSetup.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLayout>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QSqlQuery>
#include <QThreadPool>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <ctime>
#include <unistd.h>

namespace {

const QString s_user = QStringLiteral("Bench0014");

// CPU time of this thread, in ms: apart from the machine's other load.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double maximum(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

QString thumbnail(int i)
{
    return QStringLiteral("http://127.0.0.1:1/files/thumbs/bench_%1.png").arg(i);
}

QByteArray answer(int count)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QJsonArray vorns;
    for (int i = 0; i < count; ++i) {
        QJsonObject o;
        o.insert(QStringLiteral("id"), 7000 + i);
        o.insert(QStringLiteral("title"), QStringLiteral("Banc d'essai, formation %1").arg(i));
        o.insert(QStringLiteral("softwares"), QStringLiteral("Photomaton Pro, Tableur Plus"));
        o.insert(QStringLiteral("software_ids"), QJsonArray{1, 2});
        o.insert(QStringLiteral("price"), i % 5);
        o.insert(QStringLiteral("reduced_price"), i % 5);
        o.insert(QStringLiteral("previous_price"), i % 5 + 2);
        o.insert(QStringLiteral("rating"), i % 6);
        o.insert(QStringLiteral("sales"), 1000 - i);
        o.insert(QStringLiteral("end_ts"), double(now + 3600 * (i + 1)));
        o.insert(QStringLiteral("thumbnail"), thumbnail(i));
        o.insert(QStringLiteral("url"), QStringLiteral("http://127.0.0.1:1/vorn/%1").arg(i));
        vorns.append(o);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("vorns"), vorns}}).toJson(QJsonDocument::Compact);
}

// The pictures of the list, as the image cache holds them after a visit.
void fillImageCache(int count)
{
    QDir().mkpath(KvoEnvironment::cachePath());
    QImage image(160, 90, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i) {
        image.fill(QColor::fromHsv((i * 37) % 360, 160, 200));
        QPainter(&image).drawText(image.rect(), Qt::AlignCenter, QString::number(i));
        image.save(KvoAsyncImage::cacheFilePath(KvoAsyncImage::cacheFileName(thumbnail(i))), "PNG");
    }
}

// What the event loop does next for new rows: shows them (the layout
// asked for it) and lays them out; the rows still to be built wait.
void showRows(const QList<KvoTopItem*>& rows)
{
    for (KvoTopItem* row : rows)
        QCoreApplication::sendPostedEvents(row, QEvent::MetaCall);
    if (!rows.isEmpty())
        QCoreApplication::sendPostedEvents(rows.first()->parentWidget(), QEvent::LayoutRequest);
}

int visibleRows(const QList<KvoTopItem*>& rows)
{
    return int(std::count_if(rows.begin(), rows.end(), [](KvoTopItem* row) { return row->isVisible(); }));
}

struct ListTimes
{
    std::vector<double> shown, shownCpu, all;
    int rowsShown = 0, rowsAll = 0;
};

template <class Page>
ListTimes timeList(const QByteArray& body)
{
    ListTimes times;
    for (int run = 0; run < 8; ++run) {
        Page page;
        page.resize(1067, 656);
        page.show();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        const double cpu = threadCpuMs();
        QMetaObject::invokeMethod(&page, "onUpdateSucceeded", Q_ARG(QString, QString::fromUtf8(body)));
        while (page.isFetching()) // read on a worker thread
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        showRows(page.rows());
        page.repaint();
        const double shown = double(t.nsecsElapsed()) / 1e6;
        const double shownCpu = threadCpuMs() - cpu;
        times.rowsShown = visibleRows(page.rows());
        while (page.isBuilding())
            QCoreApplication::processEvents();
        page.repaint();
        times.rowsAll = int(page.rows().size());
        if (run > 0) { // the first run warms the caches (fonts, style sheets)
            times.shown.push_back(shown);
            times.shownCpu.push_back(shownCpu);
            times.all.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        QCoreApplication::processEvents();
    }
    return times;
}

template <class Page>
void printList(const char* name, const QByteArray& body)
{
    const ListTimes t = timeList<Page>(body);
    std::printf("%-22s 100 courses: first %2d rows shown %5.1f ms after the answer (CPU %5.1f ms; max %5.1f), "
                "all %3d rows %6.1f ms (median of %zu)\n",
                name, t.rowsShown, median(t.shown), median(t.shownCpu), maximum(t.shown), t.rowsAll, median(t.all),
                t.shown.size());
}

long fieldKiB(const QString& file, const QByteArray& field)
{
    QFile status(file);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLong();
    return 0;
}

long residentKiB(qint64 pid)
{
    return fieldKiB(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS:");
}

// The process's share of the memory it shares with others (libraries
// mapped by several helper processes count once in all).
long proportionalKiB(qint64 pid)
{
    return fieldKiB(QStringLiteral("/proc/%1/smaps_rollup").arg(pid), "Pss:");
}

QString commandOf(qint64 pid)
{
    QFile cmd(QStringLiteral("/proc/%1/comm").arg(pid));
    return cmd.open(QIODevice::ReadOnly) ? QString::fromUtf8(cmd.readAll()).trimmed() : QString();
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// When the home page's web content first reached the screen, with no paint
// of the benchmark's own: the web view draws through a Qt Quick widget that
// renders a frame when the engine hands one over and puts it on the screen
// with its next paint. The page's background is transparent, so a frame
// without an opaque pixel shows nothing of the page yet (the engine's first
// frame is often such an empty one). Each frame is read back until one
// shows something; the widget's first paint after that frame is the
// content's first on the screen. The reading back takes a few ms of the
// GUI thread a frame: counted, and printed beside the figure.
class ContentPaintWatch : public QObject
{
public:
    explicit ContentPaintWatch(const QElapsedTimer* clock) : m_clock(clock) {}

    // Times on the clock, in ns; -1 until seen.
    qint64 pageShownAt() const { return m_shownAt; }
    qint64 contentPaintedAt() const
    {
        if (m_contentFrameAt < 0)
            return -1;
        const auto it = std::lower_bound(m_paints.begin(), m_paints.end(), m_contentFrameAt);
        return it == m_paints.end() ? -1 : *it;
    }
    int framesRead() const { return m_framesRead; }
    double readingMs() const { return double(m_readingNs) / 1e6; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && m_shownAt < 0 && qobject_cast<KvoPageHome*>(watched))
            m_shownAt = m_clock->nsecsElapsed();
        auto* quick = qobject_cast<QQuickWidget*>(watched);
        if (!quick)
            return false;
        if (!m_quick && isHomePageView(quick))
            watchFrames(quick);
        if (quick == m_quick && event->type() == QEvent::Paint)
            m_paints.push_back(m_clock->nsecsElapsed());
        return false;
    }

private:
    static bool isHomePageView(const QWidget* widget)
    {
        if (!qobject_cast<QWebEngineView*>(widget->parentWidget()))
            return false;
        for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
            if (qobject_cast<const KvoPageHome*>(w))
                return true;
        }
        return false;
    }

    void watchFrames(QQuickWidget* quick)
    {
        m_quick = quick;
        // Emitted on the GUI thread: a Qt Quick widget renders there.
        connect(
            quick->quickWindow(), &QQuickWindow::afterRendering, this,
            [this] {
                if (m_reading || m_contentFrameAt >= 0)
                    return;
                m_lastFrameAt = m_clock->nsecsElapsed();
                if (!m_readPending) {
                    m_readPending = true;
                    QTimer::singleShot(0, this, [this] { readFrame(); });
                }
            },
            Qt::DirectConnection);
    }

    // The widget's latest frame: anything of the page in it?
    void readFrame()
    {
        m_readPending = false;
        if (!m_quick || m_contentFrameAt >= 0)
            return;
        const qint64 frameAt = m_lastFrameAt;
        QElapsedTimer reading;
        reading.start();
        m_reading = true;
        const QImage frame = m_quick->grabFramebuffer().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_reading = false;
        bool shows = false;
        for (int y = 0; y < frame.height() && !shows; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            shows = std::any_of(line, line + frame.width(), [](QRgb pixel) { return qAlpha(pixel) > 0; });
        }
        ++m_framesRead;
        m_readingNs += reading.nsecsElapsed();
        if (shows)
            m_contentFrameAt = frameAt;
    }

    const QElapsedTimer* m_clock;
    QPointer<QQuickWidget> m_quick;
    qint64 m_shownAt = -1;
    qint64 m_lastFrameAt = -1;
    qint64 m_contentFrameAt = -1;
    std::vector<qint64> m_paints;
    bool m_reading = false;
    bool m_readPending = false;
    int m_framesRead = 0;
    qint64 m_readingNs = 0;
};

// The longest gap between two turns of the event loop: an event posted to
// itself again at each delivery waits behind whatever else was posted (the
// window's repaints among them), so a gap is a time the window could not
// have painted.
class StallMeter : public QObject
{
public:
    void start()
    {
        m_longest = 0;
        m_running = true;
        m_clock.start();
        m_last = 0;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    double stop()
    {
        m_running = false;
        QCoreApplication::removePostedEvents(this);
        return std::max(m_longest, double(m_clock.nsecsElapsed()) / 1e6 - m_last);
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
        if (m_running)
            QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }

private:
    QElapsedTimer m_clock;
    bool m_running = false;
    double m_last = 0;
    double m_longest = 0;
};

// The peak resident size is counted afresh from here.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

long peakKiB()
{
    return fieldKiB(QStringLiteral("/proc/self/status"), "VmHWM:");
}

bool setFault(KvoTestServer& server, const QString& name, int value)
{
    return server.setFault(name, QString::number(value));
}

// The body the service answers at that path (empty on an error).
QString fetchBody(const QString& path, const KvoApi::Keys& query = {})
{
    KvoHTTPRequest request;
    QString body;
    bool done = false;
    QObject::connect(&request, &KvoHTTPRequest::successRequest, &request, [&](const QString& text) {
        body = text;
        done = true;
    });
    QObject::connect(&request, &KvoHTTPRequest::errorRequest, &request, [&] { done = true; });
    request.get(KvoApi::address(path, query));
    waitFor([&done] { return done; }, 120000);
    return body;
}

qint64 bodySize(const QString& path, const KvoApi::Keys& query = {})
{
    return fetchBody(path, query).toUtf8().size();
}

struct Run
{
    double seconds = 0;
    double stall = 0;
    long peak = 0;
};

Run measure(const std::function<bool()>& done, const std::function<void()>& action)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    resetPeak();
    StallMeter meter;
    meter.start();
    QElapsedTimer t;
    t.start();
    action();
    QCoreApplication::processEvents();
    waitFor(done, 600000);
    Run run;
    run.seconds = double(t.elapsed()) / 1e3;
    run.stall = meter.stop();
    run.peak = peakKiB();
    return run;
}

void printRun(const QString& what, const Run& run, const QString& outcome)
{
    std::printf("%-44s %6.2f s, longest stall %6.1f ms, peak resident %5ld MiB: %s\n", qPrintable(what), run.seconds,
                run.stall, run.peak / 1024, qPrintable(outcome));
}

template <class Page>
bool listSettled(Page* page)
{
    return !page->isFetching() && !page->isBuilding();
}

// Points every request at the local web service, signed in as the demo
// account; false (and said) when the service did not start.
bool useLocalService(const KvoTestServer& server)
{
    if (!server.isRunning()) {
        std::fprintf(stderr, "the local web service did not start\n");
        return false;
    }
    KvoApi::setEndpointForTesting(server.address());
    KvoHTTPRequest::setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    return true;
}

template <class Page>
QString listOutcome(Page* page)
{
    if (!page->isFetched())
        return QStringLiteral("answer unreadable, %1 rows").arg(page->rows().size());
    return QStringLiteral("%1 courses kept, %2 rows").arg(page->purchases().size()).arg(page->rows().size());
}

int runBounds(KvoPurchaseVideoManager* manager)
{
    KvoTestServer server(QStringList{QStringLiteral("--quiet")});
    if (!useLocalService(server))
        return 1;
    manager->setConnected(true);
    const QString list = QStringLiteral("/0.1/playerListVorn/");
    const QString faq = QStringLiteral("/0.1/playerFaq/");
    std::printf("before: client %ld MiB resident\n", residentKiB(QCoreApplication::applicationPid()) / 1024);

    // The largest list still read: just under the bound.
    setFault(server, QStringLiteral("list_rows"), 1000);
    const qint64 perCourse = bodySize(list, {{QStringLiteral("list"), QStringLiteral("top")}}) / 1000;
    const int readable = int(KvoPageTops::MaxAnswerBytes * 95 / 100 / qMax<qint64>(1, perCourse));
    {
        // What the worker thread does with it.
        setFault(server, QStringLiteral("list_rows"), readable);
        const QString body = fetchBody(list, {{QStringLiteral("list"), QStringLiteral("top")}});
        QList<KvoPurchase> courses;
        QElapsedTimer t;
        t.start();
        KvoPageTops::parseList(body, &courses);
        std::printf("reading a list of %d courses (%lld KiB): %.1f ms\n", readable,
                    qlonglong(body.toUtf8().size() / 1024), double(t.nsecsElapsed()) / 1e6);
    }
    for (int rows : {100000, readable}) {
        setFault(server, QStringLiteral("list_rows"), rows);
        const qint64 size = bodySize(list, {{QStringLiteral("list"), QStringLiteral("top")}});
        KvoPageTopMonth page;
        page.resize(1067, 656);
        page.show();
        const Run run = measure([&page] { return listSettled(&page); }, [&page] { page.onShow(); });
        printRun(QStringLiteral("Top du mois, %1 courses (%2 KiB)").arg(rows).arg(size / 1024), run,
                 listOutcome(&page));
    }
    {
        setFault(server, QStringLiteral("list_rows"), 100000);
        KvoPageTopMonth top;
        KvoPageNews news;
        KvoPagePromo promo;
        for (QWidget* w : std::initializer_list<QWidget*>{&top, &news, &promo}) {
            w->resize(1067, 656);
            w->show();
        }
        const Run run = measure([&] { return listSettled(&top) && listSettled(&news) && listSettled(&promo); },
                                [&] {
                                    top.onShow();
                                    news.onShow();
                                    promo.onShow();
                                });
        printRun(QStringLiteral("Top du mois + Nouveautés + Promo, 100000 each"), run,
                 listOutcome(&top) + QStringLiteral(" / ") + listOutcome(&news) + QStringLiteral(" / ")
                     + listOutcome(&promo));
    }
    server.clearFaults();

    struct FaqCase
    {
        const char* fault;
        int value;
    };
    for (const FaqCase& c : {FaqCase{"faq_rows", 12000}, FaqCase{"faq_rows", 20000}, FaqCase{"faq_bytes", 50000000}}) {
        server.clearFaults();
        setFault(server, QString::fromLatin1(c.fault), c.value);
        const qint64 size = bodySize(faq);
        QSqlQuery(KvoDatabase::database()).exec(QStringLiteral("DELETE FROM faq"));
        std::unique_ptr<KvoPageHelp> page;
        const Run run = measure(
            [&page] {
                return page && !page->isWaiting()
                       && page->questionCount() == KvoFaqCache::entries().size();
            },
            [&page] {
                page = std::make_unique<KvoPageHelp>(nullptr);
                page->resize(1067, 656);
                page->show();
            });
        printRun(QStringLiteral("Aide, %1=%2 (%3 KiB)").arg(QString::fromLatin1(c.fault)).arg(c.value).arg(size / 1024),
                 run,
                 page->isLoaded() ? QStringLiteral("%1 entries shown").arg(page->questionCount())
                                  : QStringLiteral("answer unreadable, %1 entries shown").arg(page->questionCount()));
    }
    for (const bool words : {false, true}) {
        // The longest answer kept, opened: one endless word, or words.
        QString text;
        while (text.size() < KvoFaqCache::MaxAnswerLength - 8)
            text += words ? QStringLiteral("mot ") : QStringLiteral("a");
        KvoFaqWidget entry;
        entry.setQuestion(QStringLiteral("Longue ?"));
        entry.setAnswer(QStringLiteral("<p>%1</p>").arg(text.left(KvoFaqCache::MaxAnswerLength - 7)));
        entry.resize(1000, 600);
        entry.show();
        const Run run = measure([&entry] { return entry.isOpen(); },
                                [&entry] { entry.findChild<QPushButton*>(QStringLiteral("question"))->click(); });
        printRun(QStringLiteral("Aide, opening an answer of %1 characters").arg(KvoFaqCache::MaxAnswerLength), run,
                 words ? QStringLiteral("words") : QStringLiteral("one word"));
    }
    server.clearFaults();
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    KvoWebEngineSetup::prepare(); // as the client does
    QApplication app(argc, argv);
    KvoWebEngineSetup::chooseSceneGraph(); // as the client does
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    KvoTestHome home;
    QTemporaryDir dir;
    if (!KvoTestLibrary::openWithUser(dir.path(), s_user)) {
        std::fprintf(stderr, "no database\n");
        return 1;
    }
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    manager->setUser(s_user, QStringLiteral("demo"), QStringLiteral("12"), QString());
    manager->setConnected(true);

    // "lists" or "home" as the one argument runs that part alone; "bounds"
    // runs the answers without bound, alone.
    const QString only = app.arguments().value(1);
    if (only == QLatin1String("bounds"))
        return runBounds(manager);
    if (only != QLatin1String("home")) {
    // 1 and 2: the list pages.
    const double listLoad0 = KvoBenchEnvironment::load1();
    fillImageCache(100);
    const QByteArray body = answer(100);
    printList<KvoPageTopMonth>("Top du mois", body);
    printList<KvoPageNews>("Nouveautés", body);
    printList<KvoPageFavoris>("Vos favoris", body);
    printList<KvoPagePromo>("Actuellement en Promo", body);
    {
        KvoPageFavoris page;
        page.resize(1067, 656);
        page.show();
        QMetaObject::invokeMethod(&page, "onUpdateSucceeded", Q_ARG(QString, QString::fromUtf8(body)));
        while (page.isFetching())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
        std::vector<double> times, cpuTimes;
        for (int round = 0; round < 3; ++round) {
            for (int i = 1; i <= 18; ++i) {
                const int p = i <= 9 ? i : 18 - i; // forth to 9, back to 0
                QElapsedTimer t;
                t.start();
                const double cpu = threadCpuMs();
                page.pagination()->setCurrentPage(p);
                showRows(page.rows());
                page.repaint();
                times.push_back(double(t.nsecsElapsed()) / 1e6);
                cpuTimes.push_back(threadCpuMs() - cpu);
                QCoreApplication::processEvents();
            }
        }
        std::printf("Vos favoris, %zu page switches of 10 rows: median %.1f ms (CPU %.1f ms), max %.1f ms\n",
                    times.size(), median(times), median(cpuTimes), maximum(times));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::printf("lists: load %.2f at the start, %.2f at the end\n", listLoad0, KvoBenchEnvironment::load1());
    }
    if (only != QLatin1String("home")) {
        KvoPurchaseVideoManager::destroy();
        QThreadPool::globalInstance()->waitForDone(10000);
        if (only == QLatin1String("lists"))
            return 0;
        // The home page in a fresh process, as after a sign-in.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("home")});
        if (!child.waitForFinished(300000)) {
            std::fprintf(stderr, "the home page's process did not end\n");
            child.kill();
            child.waitForFinished(10000);
            return 1;
        }
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
    }
    const double load0 = KvoBenchEnvironment::load1();

    // 3 and 4: the home page against the local web service.
    KvoTestServer server(QStringList{QStringLiteral("--quiet")});
    if (!useLocalService(server))
        return 1;
    // The sign-in: the service's session token, so the library poll that
    // the main window starts is answered.
    QString session;
    {
        KvoHTTPRequest login;
        bool done = false;
        QObject::connect(&login, &KvoHTTPRequest::successRequest, &app, [&](const QString& body) {
            session = QJsonDocument::fromJson(body.toUtf8()).object().value(QStringLiteral("session")).toString();
            done = true;
        });
        QObject::connect(&login, &KvoHTTPRequest::errorRequest, &app, [&] { done = true; });
        login.get(KvoApi::address(QStringLiteral("/0.1/playerLogin/")));
        waitFor([&done] { return done; }, 10000);
    }
    if (session.isEmpty()) {
        std::fprintf(stderr, "no sign-in\n");
        return 1;
    }
    manager->setUser(s_user, QStringLiteral("demo"), QStringLiteral("12"), session);
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    // The window alone first (offline: no web engine), for what the engine
    // adds to the client's own memory.
    const long before = residentKiB(QCoreApplication::applicationPid());
    manager->setConnected(false);
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoMainWindow::createInstance(false);
    KvoMainWindow::instance()->show();
    waitFor([] { return false; }, 1000);
    const long windowRss = residentKiB(QCoreApplication::applicationPid());
    const long windowPss = proportionalKiB(QCoreApplication::applicationPid());
    KvoMainWindow::destroyInstance();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoApi::setEndpointForTesting(server.address());
    manager->setConnected(true);
    QElapsedTimer clock;
    ContentPaintWatch watch(&clock);
    app.installEventFilter(&watch);
    clock.start();
    KvoMainWindow::createInstance(true);
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    auto* page = qobject_cast<KvoPageHome*>(window->pages().value(QStringLiteral("accueil")).first);
    if (!page || !waitFor([page] { return !page->isLoading(); }, 20000) || !page->isLoaded()) {
        std::fprintf(stderr, "the home page did not load\n");
        return 1;
    }
    const double loaded = double(clock.nsecsElapsed()) / 1e6;
    waitFor([&watch] { return watch.contentPaintedAt() >= 0; }, 10000);
    const double shown = double(watch.pageShownAt()) / 1e6;
    if (watch.contentPaintedAt() < 0) {
        std::printf("Accueil (own process): loaded %.0f ms after the main window's creation (sign-in done); its "
                    "content not on the screen 10 s later (%d frames of the web view read)\n",
                    loaded, watch.framesRead());
    } else {
        const double painted = double(watch.contentPaintedAt()) / 1e6;
        std::printf("Accueil (own process): loaded %.0f ms after the main window's creation (sign-in done); its "
                    "content first painted on the screen %.0f ms after the page was shown (%.0f ms after the window's "
                    "creation; %d frames of the web view read back to find it, %.1f ms of the GUI thread)\n",
                    loaded, painted - shown, painted, watch.framesRead(), watch.readingMs());
    }

    waitFor([] { return false; }, 2000); // settle: pictures, the renderer's caches
    const qint64 self = QCoreApplication::applicationPid();
    const long client = residentKiB(self);
    const long clientPss = proportionalKiB(self);
    long engine = 0, enginePss = 0;
    QStringList helpers;
    for (qint64 pid : KvoBenchProcesses::descendants(self)) {
        const QString name = commandOf(pid);
        if (!name.startsWith(QLatin1String("QtWebEngine")))
            continue;
        const long kib = residentKiB(pid);
        engine += kib;
        enginePss += proportionalKiB(pid);
        helpers.append(QStringLiteral("%1 MiB").arg(kib / 1024));
    }
    std::printf("memory with the home page open: client %ld MiB resident (%ld MiB before the main window, %ld MiB "
                "with the window offline), %d web engine helpers %ld MiB resident [%s]\n",
                client / 1024, before / 1024, windowRss / 1024, int(helpers.size()), engine / 1024,
                qPrintable(helpers.join(QStringLiteral(", "))));
    std::printf("  the web engine: helpers + what it adds to the client = %ld MiB resident, %ld MiB proportional "
                "(shared pages counted once)\n",
                (engine + client - windowRss) / 1024, (enginePss + clientPss - windowPss) / 1024);
    std::printf("  load %.2f at the start of the home page's process, %.2f at the end\n", load0,
                KvoBenchEnvironment::load1());
    KvoMainWindow::destroyInstance();

    app.removeEventFilter(&watch);
    KvoPageRegistry::clear();
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    return 0;
}
