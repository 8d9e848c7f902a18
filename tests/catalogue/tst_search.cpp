// The search page, its rows and the paging over the library matches and the
// service's results, against a scripted service on loopback.
#include "KvoDialogDriver.h"
#include "KvoFakeHttpServer.h"
#include "KvoPriceColumn.h"
#include "KvoTestLibrary.h"
#include "KvoShowWatch.h"
#include "KvoTestSupport.h"
#include "KvoWheelTurn.h"

#include "KvoApi.h"
#include "KvoButtonText.h"
#include "KvoDialog.h"
#include "KvoHTTPRequest.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoOpacityAnimation.h"
#include "KvoPageRegistry.h"
#include "KvoPageSearch.h"
#include "KvoPageSetup.h"
#include "KvoPreviewPlayer.h"
#include "KvoPaginationWidget.h"
#include "KvoProgressWidget.h"
#include "KvoPromotionTimer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoPurchaser.h"
#include "KvoScreenshots.h"
#include "KvoSearchItem.h"
#include "KvoSearchPaging.h"
#include "ui_KvoPageSearch.h"
#include "ui_KvoPurchaser.h"
#include "ui_KvoSearchItem.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QGraphicsOpacityEffect>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QThreadPool>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Paging = KvoSearchPaging;

namespace {

const QString s_user = QStringLiteral("QzUsr077");
const QString SearchPath = QStringLiteral("/0.1/playerSearch/");
const QString BuyPath = QStringLiteral("/0.1/playerBuy/");

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

// A library course: files as (id, local path, watched, hidden).
struct F
{
    uint id;
    QString path;
    uint seen = 0;
    bool hidden = false;
};

KvoPurchase course(uint id, const QString& title, const QList<F>& files = {}, QList<uint> softwares = {3})
{
    KvoPurchase p;
    p.id = id;
    p.title = title;
    p.softwareIDs = softwares;
    for (const F& f : files) {
        KvoVideoFile v;
        v.fileId = f.id;
        v.purchaseId = id;
        v.KvoPath = f.path;
        v.alreadySeen = f.seen;
        v.hidden = f.hidden;
        p.files.insert(int(f.id), v);
    }
    return p;
}

QStringList titles(const QList<KvoPurchase>& courses)
{
    QStringList t;
    for (const KvoPurchase& c : courses)
        t.append(c.title);
    return t;
}

QStringList titles(const QList<KvoSearchItem*>& rows)
{
    QStringList t;
    for (KvoSearchItem* row : rows)
        t.append(row->course().title);
    return t;
}

// A result reduced from 3 credits to 1 until the end.
QJsonObject onPromotion(QJsonObject result, qint64 end)
{
    result.insert(QStringLiteral("price"), 3);
    result.insert(QStringLiteral("reduced_price"), 1);
    result.insert(QStringLiteral("previous_price"), 3);
    result.insert(QStringLiteral("end_ts"), double(end));
    return result;
}

// The made-up catalogue: results "S0" … "S<total-1>". With a promotion's
// end, the first result of every ten is on promotion until then.
QJsonObject resultMap(int i, qint64 promotionEnd)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), 5000 + i);
    o.insert(QStringLiteral("title"), QStringLiteral("S%1").arg(i));
    o.insert(QStringLiteral("softwares"), QStringLiteral("Photo"));
    o.insert(QStringLiteral("software_ids"), QJsonArray{3});
    o.insert(QStringLiteral("price"), i % 4);
    o.insert(QStringLiteral("url"), QStringLiteral("http://127.0.0.1:1/vorn/%1").arg(i));
    return promotionEnd != 0 && i % 10 == 0 ? onPromotion(o, promotionEnd) : o;
}

QByteArray searchAnswer(int total, int start, int limit, qint64 promotionEnd = 0)
{
    QJsonArray results;
    for (int i = qMax(0, start); i < total && i < start + limit; ++i)
        results.append(resultMap(i, promotionEnd));
    QJsonObject vorn;
    vorn.insert(QStringLiteral("results"), results);
    vorn.insert(QStringLiteral("total"), total);
    QJsonObject o;
    o.insert(QStringLiteral("vorn"), vorn);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl& url) { urls.append(url); }
};

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    // rules without widgets
    void pagesShowEachItemOnce_data();
    void pagesShowEachItemOnce();
    void localSearch();

    // rows
    void rowTexts_data();
    void rowTexts();
    void libraryRow();
    void onlyWebAddressesOpen();

    // page
    void libraryThenServerPages();
    void libraryMatchesWithoutServerResults();
    void noResultAndErrors();
    void stalledSearchEnds();
    void sameTextAgain();
    void badQueriesReachTheService();
    void oddResults();
    void wrongTotals();
    void buyOfflineShowsNoticeOnly();
    void endedPromotionShowsTheFullPrice();
    void rowsOnScreenFollowTheEnd();
    void downloadAfterTheEndShowsTheFullPrice();
    void rowsRebuiltDuringTheirPurchase();
    void searchBoxLeadsHere();
    void scrolledRowsRepaint();
    void fadeEndsOnPageFromCache();
    void otherPageStartsAtTop();
    void shiftWheelReachesThePrices();

private:
    void useCatalogue();
    void loadLibrary(const QList<KvoPurchase>& courses);
    std::unique_ptr<KvoPageSearch> makePage();
    bool waitIdle(KvoPageSearch* page);
    // A page showing a search's first results, total in all, the first of
    // every ten on promotion until end; null when the search does not end.
    std::unique_ptr<KvoPageSearch> searchWithPromotion(int total, qint64 end);
    // The whole main window, offline, with every page registered; null when
    // it cannot be made.
    KvoMainWindow* openMainWindow();
    void closeMainWindow();

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    KvoFakeHttpServer m_server;
    int m_total = 0;
    qint64 m_promotionEnd = 0;
    UrlRecorder m_urls;
};

KvoMainWindow* TestSearch::openMainWindow()
{
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    if (!KvoMainWindow::createInstance(false))
        return nullptr;
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    return window;
}

void TestSearch::closeMainWindow()
{
    KvoMainWindow::destroyInstance();
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
}

void TestSearch::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    QVERIFY(m_server.listen());
    KvoApi::setEndpointForTesting(m_server.address());
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_urls, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("javascript"), &m_urls, "openUrl");
}

void TestSearch::useCatalogue()
{
    m_server.setHandler([this](const KvoFakeHttpServer::Request& r) {
        using Reply = KvoFakeHttpServer::Reply;
        if (r.path() == SearchPath)
            return Reply::of(200, searchAnswer(m_total, r.form().queryItemValue(QStringLiteral("start")).toInt(),
                                               r.form().queryItemValue(QStringLiteral("limit")).toInt(),
                                               m_promotionEnd));
        if (r.path() == BuyPath)
            return Reply::of(200, r.query().hasQueryItem(QStringLiteral("vorn_id")) ? QByteArray("{\"status\":\"OK\"}")
                                                                                    : QByteArray("{\"user_credits\":9}"));
        return Reply::of(304, QByteArray()); // the library poll after a purchase
    });
}

void TestSearch::cleanupTestCase()
{
    for (const char* scheme : {"http", "https", "file", "javascript"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    KvoApi::setEndpointForTesting(QString());
}

void TestSearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    m_server.clearRequests();
    useCatalogue();
    m_total = 0;
    m_promotionEnd = 0;
    m_urls.urls.clear();
    KvoHTTPRequest::setTransferTimeout(5000);
}

void TestSearch::cleanup()
{
    KvoTestLibrary::close();
    m_dir.reset();
}

void TestSearch::loadLibrary(const QList<KvoPurchase>& courses)
{
    KvoLibrary added;
    for (const KvoPurchase& c : courses)
        added.purchases.insert(int(c.id), c);
    QVERIFY(KvoTestLibrary::add(s_user, added));
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("9"), QString());
    manager()->setConnected(true);
}

std::unique_ptr<KvoPageSearch> TestSearch::makePage()
{
    auto page = std::make_unique<KvoPageSearch>();
    page->resize(943, 619);
    page->show();
    return page;
}

bool TestSearch::waitIdle(KvoPageSearch* page)
{
    return QTest::qWaitFor([page] { return !page->isSearching(); }, 8000)
           && !(page->loadingFrame() && page->loadingFrame()->isRunning());
}

std::unique_ptr<KvoPageSearch> TestSearch::searchWithPromotion(int total, qint64 end)
{
    loadLibrary({});
    m_total = total;
    m_promotionEnd = end;
    auto page = makePage();
    page->newSearch(QStringLiteral("promo"));
    if (!waitIdle(page.get()))
        return nullptr;
    return page;
}

// --- rules --------------------------------------------------------------------

void TestSearch::pagesShowEachItemOnce_data()
{
    QTest::addColumn<int>("local");
    QTest::addColumn<int>("total");
    for (int local : {0, 3, 10, 13})
        for (int total : {0, 7, 10, 25})
            QTest::addRow("%d library, %d service", local, total) << local << total;
}

void TestSearch::pagesShowEachItemOnce()
{
    // Walking every page lists the library matches, then every service
    // result, each exactly once and in order; a full page asks the service
    // from the offset the page needs (3 matches: page 2 starts at 7).
    QFETCH(int, local);
    QFETCH(int, total);
    const int count = Paging::itemCount(local, total);
    QCOMPARE(count, local + total);
    int nextLocal = 0, nextServer = 0;
    const int pages = count == 0 ? 0 : (count + 9) / 10;
    for (int p = 0; p < pages; ++p) {
        const int first = p * 10, last = qMin(count, (p + 1) * 10) - 1;
        const Paging::Slice s = Paging::slice(first, last, local);
        QCOMPARE(s.localFirst, nextLocal);
        if (s.serverCount > 0)
            QCOMPARE(s.serverStart, nextServer);
        nextLocal += s.localCount;
        nextServer += s.serverCount;
        QCOMPARE(s.localCount + s.serverCount, last - first + 1);
    }
    QCOMPARE(nextLocal, local);
    QCOMPARE(nextServer, total);
    if (local == 3 && total == 25) {
        QCOMPARE(Paging::slice(10, 19, 3).serverStart, 7);
        QCOMPARE(Paging::slice(20, 27, 3).serverCount, 8); // not 10: no repeated rows
    }
    QCOMPARE(Paging::itemCount(5, qint64(1) << 40), std::numeric_limits<int>::max() - 10);
}

void TestSearch::localSearch()
{
    const QString p = QStringLiteral("/v/1.qoz");
    QMap<int, KvoPurchase> library;
    for (const KvoPurchase& c : {course(1, QStringLiteral("Retouche des Calques"), {{11, p}}),
                                 course(2, QStringLiteral("calques et masques"), {{21, p}}),
                                 course(3, QStringLiteral("Calques jamais téléchargés"), {{31, QString()}}),
                                 course(4, QStringLiteral("Calques retirés"), {{41, p, 0, true}}),
                                 course(5, QStringLiteral("Élégance des ÉTÉS"), {{51, p}}),
                                 course(6, QStringLiteral("Calques sans fichier"))})
        library.insert(int(c.id), c);
    // Every word, any order and case; only courses in the library view.
    QCOMPARE(titles(Paging::localSearch(library, QStringLiteral("CALQUES"))),
             (QStringList{"Retouche des Calques", "calques et masques"}));
    QCOMPARE(titles(Paging::localSearch(library, QStringLiteral("  masques   calques "))),
             QStringList{"calques et masques"});
    QCOMPARE(titles(Paging::localSearch(library, QStringLiteral("élégance étés"))),
             QStringList{"Élégance des ÉTÉS"});
    QVERIFY(Paging::localSearch(library, QStringLiteral("calques zzz")).isEmpty());
    QVERIFY(Paging::localSearch(library, QStringLiteral("    ")).isEmpty());
    // Outside Latin-1 a character stands for itself no more, but nothing breaks.
    QVERIFY(Paging::localSearch(library, QStringLiteral("\U0001F600 calques")).isEmpty());
    QVERIFY(Paging::localSearch(library, QStringLiteral("' OR 1=1 --")).isEmpty());
}

// --- rows ---------------------------------------------------------------------

void TestSearch::rowTexts_data()
{
    QTest::addColumn<uint>("price");
    QTest::addColumn<uint>("previous");
    QTest::addColumn<QString>("credits");
    QTest::addColumn<QString>("previousText"); // "" hidden
    QTest::newRow("free") << 0u << 0u << "Gratuit" << "";
    QTest::newRow("one") << 1u << 0u << "1 crédit" << "";
    QTest::newRow("three, previous equal") << 3u << 3u << "3 crédits" << "";
    QTest::newRow("reduced from one") << 0u << 1u << "Gratuit" << "1 crédit";
    QTest::newRow("reduced from five") << 3u << 5u << "3 crédits" << "5 crédits";
}

void TestSearch::rowTexts()
{
    QFETCH(uint, price);
    QFETCH(uint, previous);
    QFETCH(QString, credits);
    QFETCH(QString, previousText);
    KvoPurchase c = course(1, QStringLiteral("T"));
    c.price = price;
    c.previousPrice = previous;
    c.rating = 9; // more stars than there are
    KvoSearchItem row(nullptr, nullptr, c);
    row.connectGoToUrl();
    QCOMPARE(row.form()->credits->text(), credits);
    QCOMPARE(row.form()->previous_price->isVisibleTo(&row), !previousText.isEmpty());
    if (!previousText.isEmpty())
        QCOMPARE(row.form()->previous_price->text(), previousText);
    QVERIFY(!row.form()->purchased->isVisibleTo(&row));
    QVERIFY(row.starMarkWidget());
    row.showOwned();
    QVERIFY(row.form()->purchased->isVisibleTo(&row));
    QVERIFY(!row.form()->credits->isVisibleTo(&row));
    QVERIFY(!row.form()->download->isVisibleTo(&row));
}

void TestSearch::libraryRow()
{
    const QString p = QStringLiteral("/v.qoz");
    QCOMPARE(KvoSearchItem::progressOf(course(1, "a", {{1, p, 100}, {2, p, 50}, {3, p, 0}})), 50);
    QCOMPARE(KvoSearchItem::progressOf(course(1, "a", {{1, p, 100}, {2, p, 0}, {3, p, 0}})), 33);
    QCOMPARE(KvoSearchItem::progressOf(course(1, "a")), 0);
    // The video opened is the first one there is to play.
    QCOMPARE(KvoSearchItem::firstPlayableFile(course(1, "a", {{4, QString()}, {5, p, 0, true}, {7, p}, {9, p}})), 7u);
    QCOMPARE(KvoSearchItem::firstPlayableFile(course(1, "a")), 0u);

    KvoPageSearch page;
    QSignalSpy switches(&page, &KvoPageSearch::onChangePage);
    QSignalSpy requests(&page, &KvoPageSearch::onChangePageRequest);
    KvoPurchase rock = course(1, "Rock&Roll", {{4, QString()}, {7, p, 30}});
    rock.softwares = QStringLiteral("Questions & réponses");
    KvoSearchItem row(&page, &page, rock);
    row.connectGoToVideo();
    // The title and the software names as sent: each "&" a letter, no
    // shortcut.
    for (const auto& [button, sent] : {qMakePair(row.form()->title, rock.title),
                                       qMakePair(row.form()->softwares, rock.softwares)}) {
        QCOMPARE(KvoButtonText::shown(button->text()), sent);
        QVERIFY(button->shortcut().isEmpty());
    }
    QVERIFY(row.progressWidget());
    QVERIFY(!row.form()->downloadWidget->isVisibleTo(&row));
    row.form()->title->click();
    QCOMPARE(switches.count(), 1);
    QCOMPARE(switches.at(0).at(0).toString(), QStringLiteral("detail_software_3"));
    QCOMPARE(switches.at(0).at(1).toBool(), false);
    QCOMPARE(requests.count(), 1);
    const auto request = requests.at(0).at(0).value<KvoPageRequest>();
    QCOMPARE(request.key, QStringLiteral("player"));
    QVERIFY(request.addToHistory);
    QCOMPARE(request.idSoftware, 3u);
    QCOMPARE(request.selectedIdVideo, 7u);
    // Without a software or a video there is nowhere to go.
    KvoSearchItem lost(&page, &page, course(2, "b", {{8, p}}, {}));
    lost.connectGoToVideo();
    lost.goToVideo();
    KvoSearchItem empty(&page, &page, course(3, "c"));
    empty.connectGoToVideo();
    empty.goToVideo();
    QCOMPARE(switches.count() + requests.count(), 2);
}

void TestSearch::onlyWebAddressesOpen()
{
    for (const QString& address : {QStringLiteral("https://exemple.org/vorn/1"), QStringLiteral("HTTP://exemple.org/a"),
                                   QStringLiteral("file:///etc/passwd"), QStringLiteral("javascript:alert(1)"),
                                   QStringLiteral("/vorn/1"), QString(), QStringLiteral("http:///nohost")}) {
        KvoPurchase c = course(1, QStringLiteral("T"));
        c.url = address;
        KvoSearchItem row(nullptr, nullptr, c);
        row.connectGoToUrl();
        row.form()->title->click();
    }
    QCOMPARE(m_urls.urls, (QList<QUrl>{QUrl(QStringLiteral("https://exemple.org/vorn/1")),
                                       QUrl(QStringLiteral("HTTP://exemple.org/a"))}));
}

// --- page ---------------------------------------------------------------------

void TestSearch::libraryThenServerPages()
{
    const QString p = QStringLiteral("/v.qoz");
    loadLibrary({course(1, QStringLiteral("Photo A"), {{11, p}}), course(2, QStringLiteral("Photo B"), {{21, p}}),
                 course(3, QStringLiteral("Photo C"), {{31, p}}), course(4, QStringLiteral("Photo D"), {{41, QString()}})});
    m_total = 25;
    auto page = makePage();
    page->newSearch(QStringLiteral(" photo "));
    QVERIFY(page->isSearching());
    QVERIFY(page->loadingFrame()->isRunning());
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(page->pagination()->itemCount(), 28);
    QCOMPARE(titles(page->localRows()), (QStringList{"Photo A", "Photo B", "Photo C"}));
    QCOMPARE(titles(page->serverRows()), (QStringList{"S0", "S1", "S2", "S3", "S4", "S5", "S6"}));
    QVERIFY(!page->promotionTimer()->isActive()); // no promotion to follow
    QVERIFY(page->form()->localLabel->isVisibleTo(page.get()));
    QCOMPARE(m_server.requestsTo(SearchPath).size(), 1);
    const auto first = m_server.requestsTo(SearchPath).first();
    QCOMPARE(first.body, QByteArray("limit=10&query=photo&start=0"));
    QCOMPARE(first.query().queryItemValue(QStringLiteral("output")), QStringLiteral("json"));

    page->pagination()->setCurrentPage(1);
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(m_server.requestsTo(SearchPath).last().form().queryItemValue(QStringLiteral("start")), QStringLiteral("7"));
    QVERIFY(page->localRows().isEmpty());
    QVERIFY(!page->form()->localLabel->isVisibleTo(page.get()));
    QCOMPARE(titles(page->serverRows()).join(' '), QStringLiteral("S7 S8 S9 S10 S11 S12 S13 S14 S15 S16"));

    // The last page holds the last results, none twice.
    page->pagination()->setCurrentPage(2);
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(titles(page->serverRows()).join(' '), QStringLiteral("S17 S18 S19 S20 S21 S22 S23 S24"));

    // Pages already seen come from the cache, with the rows made for them.
    const int requests = m_server.requestsTo(SearchPath).size();
    const QList<KvoSearchItem*> lastRows = page->serverRows();
    page->pagination()->setCurrentPage(1);
    QVERIFY(!page->isSearching());
    QCOMPARE(titles(page->serverRows()).first(), QStringLiteral("S7"));
    page->pagination()->setCurrentPage(2);
    QCOMPARE(page->serverRows(), lastRows);
    page->pagination()->setCurrentPage(1);
    page->pagination()->setCurrentPage(2);
    page->pagination()->setCurrentPage(0);
    QCOMPARE(titles(page->localRows()).size(), 3);
    QCOMPARE(m_server.requestsTo(SearchPath).size(), requests);

    // A result that reaches the library (a purchase) shows as owned at the
    // library's next update, without a new request.
    QVERIFY(!page->serverRows().first()->form()->purchased->isVisibleTo(page.get()));
    loadLibrary({course(5000, QStringLiteral("S0"))});
    page->onLibraryUpdated();
    QVERIFY(page->serverRows().first()->form()->purchased->isVisibleTo(page.get()));
    QVERIFY(!page->serverRows().at(1)->form()->purchased->isVisibleTo(page.get()));
    QCOMPARE(m_server.requestsTo(SearchPath).size(), requests);
}

void TestSearch::libraryMatchesWithoutServerResults()
{
    // The library's matches show and the waiting ends, though the service
    // has nothing; the same with an answer that holds no results at all.
    const QString p = QStringLiteral("/v.qoz");
    loadLibrary({course(1, QStringLiteral("Son 1"), {{11, p}}), course(2, QStringLiteral("Son 2"), {{21, p}})});
    for (const QByteArray& answer : {searchAnswer(0, 0, 10), QByteArray("{\"vorn\":{}}"), QByteArray("[1,2]")}) {
        m_server.setHandler([answer](const KvoFakeHttpServer::Request&) {
            return KvoFakeHttpServer::Reply::of(200, answer);
        });
        auto page = makePage();
        page->newSearch(QStringLiteral("son"));
        QVERIFY(waitIdle(page.get()));
        QCOMPARE(titles(page->localRows()), (QStringList{"Son 1", "Son 2"}));
        QVERIFY(page->serverRows().isEmpty());
        QVERIFY(!page->form()->serverLabel->isVisibleTo(page.get()));
        QVERIFY(!page->form()->no_result->isVisibleTo(page.get()));
        QVERIFY(!page->pagination()->isVisibleTo(page.get()));
    }
}

void TestSearch::noResultAndErrors()
{
    loadLibrary({});
    auto page = makePage();
    page->newSearch(QStringLiteral("rien"));
    QVERIFY(waitIdle(page.get()));
    QVERIFY(page->form()->no_result->isVisibleTo(page.get()));
    QCOMPARE(page->form()->no_result->text(),
             QStringLiteral("Woups ! aucun résultat ne correspond à la recherche « rien »"));
    QVERIFY(!page->form()->animatedWidget->isVisibleTo(page.get()));

    for (const bool cut : {false, true}) {
        m_server.setHandler([cut](const KvoFakeHttpServer::Request&) {
            const QByteArray body = "{\"vorn\":{\"results\":[],\"total\":3}}";
            return cut ? KvoFakeHttpServer::Reply::half(200, body, "application/json", true)
                       : KvoFakeHttpServer::Reply::of(500, body);
        });
        page->newSearch(cut ? QStringLiteral("coupé") : QStringLiteral("panne"));
        QVERIFY(waitIdle(page.get()));
        QCOMPARE(page->form()->no_result->text(),
                 QStringLiteral("Une erreur est survenue. Veuillez réessayer ultérieurement."));
        QVERIFY(page->form()->no_result->isVisibleTo(page.get()));
    }
    // The connection lost: nothing listens any more.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    page->newSearch(QStringLiteral("perdu"));
    QVERIFY(waitIdle(page.get()));
    KvoApi::setEndpointForTesting(m_server.address());
    QCOMPARE(page->form()->no_result->text(),
             QStringLiteral("Une erreur est survenue. Veuillez réessayer ultérieurement."));
}

void TestSearch::stalledSearchEnds()
{
    // A search the service never answers, or answers a byte at a time for
    // ever, ends in the error text in bounded time; the page is usable
    // again.
    loadLibrary({});
    KvoHTTPRequest::setTransferTimeout(300);
    auto page = makePage();
    for (const bool trickle : {false, true}) {
        m_server.setHandler([trickle](const KvoFakeHttpServer::Request&) {
            return trickle ? KvoFakeHttpServer::Reply::drip(50, 4096) : KvoFakeHttpServer::Reply::never();
        });
        page->newSearch(trickle ? QStringLiteral("goutte") : QStringLiteral("attente"));
        QVERIFY(page->isSearching());
        QVERIFY(waitIdle(page.get()));
        QCOMPARE(page->form()->no_result->text(),
                 QStringLiteral("Une erreur est survenue. Veuillez réessayer ultérieurement."));
        QVERIFY(page->form()->animatedWidget->isEnabled());
    }
}

void TestSearch::sameTextAgain()
{
    loadLibrary({});
    m_total = 3;
    auto page = makePage();
    page->newSearch(QStringLiteral("abc"));
    QVERIFY(waitIdle(page.get()));
    const int requests = m_server.requestsTo(SearchPath).size();
    page->newSearch(QStringLiteral("abc"));
    page->newSearch(QStringLiteral("   "));
    QVERIFY(!page->isSearching());
    QCOMPARE(m_server.requestsTo(SearchPath).size(), requests);
    page->newSearch(QStringLiteral("abd"));
    QVERIFY(waitIdle(page.get()));
    page->newSearch(QStringLiteral("abc"));
    QVERIFY(page->isSearching());
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(page->record()->query, QStringLiteral("abc"));

    // After a failure the same text is searched again.
    m_server.setHandler([](const KvoFakeHttpServer::Request&) {
        return KvoFakeHttpServer::Reply::of(503, QByteArray());
    });
    page->newSearch(QStringLiteral("xyz"));
    QVERIFY(waitIdle(page.get()));
    useCatalogue();
    page->newSearch(QStringLiteral("xyz"));
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(titles(page->serverRows()), (QStringList{"S0", "S1", "S2"}));
}

void TestSearch::badQueriesReachTheService()
{
    loadLibrary({course(1, QStringLiteral("Café & \"crème\" 100%"), {{11, QStringLiteral("/v.qoz")}})});
    auto page = makePage();
    const QString longText(5000, QLatin1Char('x'));
    for (const QString& query :
         {QStringLiteral("\"crème\" & 100% #1"), QStringLiteral("'; DROP TABLE purchases; --"),
          QStringLiteral("émoji \U0001F600 +plus"), longText}) {
        page->newSearch(query);
        QVERIFY(waitIdle(page.get()));
        QCOMPARE(m_server.requestsTo(SearchPath).last().form().queryItemValue(QStringLiteral("query"),
                                                                            QUrl::FullyDecoded),
                 query);
    }
    // The message quotes a long text shortened, so the page keeps its width.
    QVERIFY(page->form()->no_result->text().size() < 200);
    page->newSearch(QStringLiteral("crème 100%"));
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(titles(page->localRows()).size(), 1);
    QCOMPARE(KvoTestLibrary::stored(s_user).purchases.size(), 1);
}

void TestSearch::oddResults()
{
    // Results without title are left out; without software, files or a
    // usable price they still show, the price as the record reads it.
    loadLibrary({});
    m_server.setHandler([](const KvoFakeHttpServer::Request&) {
        return KvoFakeHttpServer::Reply::of(200, R"({"vorn":{"total":"4","results":[
            {"id":1,"price":-3,"title":"Négatif"},
            {"id":2,"title":null,"price":2},
            {"id":3,"title":"Texte","price":"deux"},
            {"id":4,"title":"Sans prix","software_ids":"x"},
            "pas une formation"]}})");
    });
    auto page = makePage();
    page->newSearch(QStringLiteral("odd"));
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(titles(page->serverRows()), (QStringList{"Négatif", "Texte", "Sans prix"}));
    for (KvoSearchItem* row : page->serverRows())
        QCOMPARE(row->form()->credits->text(), QStringLiteral("Gratuit"));
}

void TestSearch::wrongTotals()
{
    // A page of results whose total is negative, no whole number or fewer
    // than the results: the rows received show, the wait ends, and the
    // search box sends the next search.
    loadLibrary({});
    QByteArray total;
    m_server.setHandler([&total](const KvoFakeHttpServer::Request& r) {
        if (r.path() != SearchPath)
            return KvoFakeHttpServer::Reply::of(304, QByteArray()); // the main window's library poll
        QByteArray body = searchAnswer(10, 0, 10);
        body.replace("\"total\":10", "\"total\":" + total);
        return KvoFakeHttpServer::Reply::of(200, body);
    });
    QStringList expected;
    for (int i = 0; i < 10; ++i)
        expected.append(QStringLiteral("S%1").arg(i));
    KvoMainWindow* window = openMainWindow();
    QVERIFY(window);
    auto* box = window->findChild<QLineEdit*>(QStringLiteral("editSearch"));
    int query = 0;
    for (const QByteArray& wrong : {QByteArray("-5"), QByteArray("1e300"), QByteArray("2.5"), QByteArray("0")}) {
        total = wrong;
        const int before = m_server.requestsTo(SearchPath).size();
        QVERIFY(box->isEnabled());
        box->setText(QStringLiteral("total %1").arg(++query));
        emit box->returnPressed();
        auto* page = qobject_cast<KvoPageSearch*>(window->currentPage());
        QVERIFY(page);
        QVERIFY2(waitIdle(page), wrong.constData());
        QCOMPARE(m_server.requestsTo(SearchPath).size(), before + 1);
        QCOMPARE(titles(page->serverRows()), expected);
        QVERIFY(!page->form()->no_result->isVisibleTo(page));
        QVERIFY(box->isEnabled());
    }
    closeMainWindow();
}

void TestSearch::buyOfflineShowsNoticeOnly()
{
    loadLibrary({});
    m_total = 2;
    auto page = makePage();
    page->newSearch(QStringLiteral("hors"));
    QVERIFY(waitIdle(page.get()));
    manager()->setConnected(false);
    QString shown;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("noConnectionDialog"), [&shown](KvoDialog* dialog) {
        shown = dialog->objectName();
        dialog->close();
    });
    page->serverRows().first()->form()->download->click();
    QVERIFY2(driver.done(), driver.report());
    QCOMPARE(shown, QStringLiteral("noConnectionDialog"));
    QVERIFY(!page->purchaser());
    QCOMPARE(m_server.requestsTo(BuyPath).size(), 0);
}

void TestSearch::endedPromotionShowsTheFullPrice()
{
    // Both pages of results fetched while S0 and S10 are on promotion; the
    // page is left on the second before the end. That page shown again,
    // and the first one visited again, sell them at their full price from
    // the rows they have, without a request.
    auto page = searchWithPromotion(15, QDateTime::currentSecsSinceEpoch() + 3);
    QVERIFY(page);
    QCOMPARE(KvoPriceColumn::of(page->serverRows().mid(0, 2)), QStringLiteral("1 crédit / 3 crédits, 1 crédit"));
    page->pagination()->setCurrentPage(1);
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(KvoPriceColumn::of(page->serverRows().mid(0, 1)), QStringLiteral("1 crédit / 3 crédits"));
    page->hide();
    QVERIFY(!page->promotionTimer()->isActive()); // off screen, nothing to follow

    QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentSecsSinceEpoch() >= m_promotionEnd, 5000);
    const int requests = m_server.requestsTo(SearchPath).size();
    page->show();
    page->onShow();
    QCOMPARE(KvoPriceColumn::of(page->serverRows().mid(0, 1)), QStringLiteral("3 crédits"));
    page->pagination()->setCurrentPage(0);
    QCOMPARE(KvoPriceColumn::of(page->serverRows().mid(0, 2)), QStringLiteral("3 crédits, 1 crédit"));
    QCOMPARE(m_server.requestsTo(SearchPath).size(), requests);
}

void TestSearch::rowsOnScreenFollowTheEnd()
{
    // Results on screen while S0's promotion ends. S0 switches to its full
    // price by itself, without a request; S1 (no promotion) and S2 (owned,
    // on promotion for days) stay as they were. Then no end is left to
    // come but the owned course's: no timer runs.
    loadLibrary({course(5002, QStringLiteral("S2"))});
    const qint64 end = QDateTime::currentSecsSinceEpoch() + 3;
    const QJsonArray results{onPromotion(resultMap(0, 0), end), resultMap(1, 0), onPromotion(resultMap(2, 0), end + 3 * 86400)};
    const QByteArray answer = QJsonDocument(QJsonObject{{"vorn", QJsonObject{{"results", results}, {"total", 3}}}})
                                  .toJson(QJsonDocument::Compact);
    m_server.setHandler([answer](const KvoFakeHttpServer::Request&) { return KvoFakeHttpServer::Reply::of(200, answer); });
    auto page = makePage();
    page->newSearch(QStringLiteral("promo"));
    QVERIFY(waitIdle(page.get()));
    const QList<KvoSearchItem*> rows = page->serverRows();
    QCOMPARE(KvoPriceColumn::of(rows), QStringLiteral("1 crédit / 3 crédits, 1 crédit, ACHETÉ"));
    QCOMPARE(page->promotionTimer()->nextEnd(), end * 1000);
    const int requests = m_server.requestsTo(SearchPath).size();

    QTRY_COMPARE_WITH_TIMEOUT(KvoPriceColumn::of(rows), QStringLiteral("3 crédits, 1 crédit, ACHETÉ"), 6000);
    QVERIFY(QDateTime::currentSecsSinceEpoch() >= end);
    QCOMPARE(page->serverRows(), rows);
    QCOMPARE(m_server.requestsTo(SearchPath).size(), requests);
    QVERIFY(!page->promotionTimer()->isActive());
}

void TestSearch::downloadAfterTheEndShowsTheFullPrice()
{
    // A machine too busy to run the page's timer at the end: TÉLÉCHARGER
    // brings its row up to date before the dialog opens.
    auto page = searchWithPromotion(1, QDateTime::currentSecsSinceEpoch() + 3);
    QVERIFY(page);
    QCOMPARE(KvoPriceColumn::of(page->serverRows()), QStringLiteral("1 crédit / 3 crédits"));
    KvoShowWatch::blockUntil(m_promotionEnd);
    QString atOpen;
    KvoShowWatch watch(QStringLiteral("purchaseDialog"), [&] { atOpen = KvoPriceColumn::of(page->serverRows()); });
    KvoDialogDriver::whenReady([&] { return page->purchaser() && page->purchaser()->state() != KvoPurchaser::Loading; },
                               [&] { page->purchaser()->dialog()->close(); });
    page->serverRows().first()->form()->download->click();
    QVERIFY(watch.fired());
    QCOMPARE(atOpen, QStringLiteral("3 crédits"));
}

void TestSearch::rowsRebuiltDuringTheirPurchase()
{
    // The purchase's success rebuilds the result page while the row's own
    // click still waits in the purchase dialog: the row goes, nothing of it
    // is read afterwards, and each purchase leaves one dialog at most.
    loadLibrary({});
    m_total = 12;
    auto page = makePage();
    page->newSearch(QStringLiteral("achat"));
    QVERIFY(waitIdle(page.get()));
    QSignalSpy switches(page.get(), &KvoPageSearch::onChangePage);
    for (int round = 0; round < 2; ++round) {
        QPointer<KvoSearchItem> row = page->serverRows().at(round);
        const uint id = row->course().id;
        bool rebuilt = false;
        KvoDialogDriver::whenReady([&] { return page->purchaser() && page->purchaser()->state() == KvoPurchaser::Confirm; },
                  [&] {
                      page->purchaser()->form()->button_confirm->click();
                      KvoDialogDriver::whenReady([&] { return page->purchaser()->state() == KvoPurchaser::Success && !row
                                             && !page->isSearching(); },
                                [&] {
                                    rebuilt = true;
                                    page->purchaser()->form()->button_download->click();
                                });
                  });
        row->form()->download->click();
        QVERIFY(rebuilt);
        QVERIFY(!page->purchaser()->dialog()->isVisible());
        QCOMPARE(m_server.requestsTo(BuyPath).last().query().queryItemValue(QStringLiteral("vorn_id")),
                 QString::number(id));
        QCOMPARE(switches.last().at(0).toString(), QStringLiteral("downloads"));
        QCOMPARE(titles(page->serverRows()).size(), 10);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(page->findChildren<KvoDialog*>(QStringLiteral("purchaseDialog")).size(), 1);
    QCOMPARE(m_server.requestsTo(BuyPath).size(), 4); // credits and purchase, twice
}

void TestSearch::searchBoxLeadsHere()
{
    // The main window's search box switches to the search page and hands
    // it the trimmed text; the box is usable again once the page shows.
    loadLibrary({});
    m_total = 4;
    KvoMainWindow* window = openMainWindow();
    QVERIFY(window);
    auto* box = window->findChild<QLineEdit*>(QStringLiteral("editSearch"));
    QVERIFY(box);
    box->setText(QStringLiteral("  mise en page  "));
    emit box->returnPressed();
    QCOMPARE(window->currentKey(), QStringLiteral("search"));
    // The search page belongs under "Accueil" in the menu: that entry is
    // highlighted, and no other.
    for (QPushButton* entry : window->findChild<QWidget*>(QStringLiteral("widgetMenu"))->findChildren<QPushButton*>())
        QVERIFY2(entry->styleSheet().contains(QLatin1String("#191a22"))
                     == (entry->objectName() == QLatin1String("buttonAccueil")),
                 qPrintable(entry->objectName()));
    auto* page = qobject_cast<KvoPageSearch*>(window->currentPage());
    QVERIFY(page);
    QCOMPARE(page->record()->query, QStringLiteral("mise en page"));
    QVERIFY(!box->isEnabled());
    QVERIFY(waitIdle(page));
    QVERIFY(box->isEnabled());
    QVERIFY(box->text().isEmpty());
    QCOMPARE(page->serverRows().size(), 4);
    QCOMPARE(page->loadingFrame()->parentWidget(), window);

    // "voir extrait" opens the window's one preview dialog, every time.
    QPointer<KvoPreviewPlayer> first;
    for (int i = 0; i < 2; ++i) {
        KvoDialogDriver driver;
        driver.expect<KvoPreviewPlayer>(QStringLiteral("videoFrame"), [&](KvoPreviewPlayer* preview) {
            if (!first)
                first = preview;
            QCOMPARE(preview, first.data());
            KvoDialogDriver::closeModal(preview);
        });
        page->serverRows().at(i)->form()->play->click();
        QVERIFY2(driver.done(), driver.report());
    }
    QVERIFY(first);
    QCOMPARE(first->parentWidget(), window);
    closeMainWindow();
}

void TestSearch::scrolledRowsRepaint()
{
    // The list faded in, then scrolled with the scroll bar while the pointer
    // hovers nothing: the screen shows the rows that came into view, as a
    // fresh paint of the same scroll position does.
    loadLibrary({});
    m_total = 10;
    bool paintedMidway = false;
    // In a window with a background of its own, as in the main window.
    QWidget window;
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(QColor(0x24, 0x26, 0x2f)));
    window.resize(943, 619);
    auto* page = new KvoPageSearch(&window);
    page->resize(window.size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The page is painted midway through its fade-in, as a screen would.
    QGraphicsOpacityEffect* effect = page->animation()->effect();
    connect(effect, &QGraphicsOpacityEffect::opacityChanged, page, [&](qreal opacity) {
        if (opacity > 0.0 && opacity < 1.0 && page->form()->animatedWidget->isVisible() && !paintedMidway) {
            paintedMidway = true;
            window.repaint();
        }
    });
    // The answer comes once the list faded out, so it fades in from 0.
    m_server.setHolding(true);
    page->newSearch(QStringLiteral("défile"));
    QTRY_COMPARE(m_server.heldCount(), 1);
    QTRY_VERIFY(!page->animation()->isRunning());
    m_server.setHolding(false);
    m_server.release();
    QVERIFY(waitIdle(page));
    QTRY_VERIFY(!page->animation()->isRunning());
    QVERIFY(paintedMidway);
    QCOMPARE(page->serverRows().size(), 10);

    QScrollBar* bar = page->form()->scrollArea->verticalScrollBar();
    for (int i = 0; i < 3; ++i)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QVERIFY(bar->value() > 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);

    QWidget* viewport = page->form()->scrollArea->viewport();
    const QRect area(viewport->mapTo(&window, QPoint(0, 0)), viewport->size());
    const QImage shown = window.screen()
                             ->grabWindow(window.winId(), area.x(), area.y(), area.width(), area.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    // A fresh paint: nothing kept from earlier paints of the list.
    page->form()->animatedWidget->update();
    QImage fresh(area.size(), QImage::Format_RGB32);
    window.render(&fresh, QPoint(), QRegion(area));
    KvoScreenshots::save(shown, QStringLiteral("search-scrolled-screen"));
    KvoScreenshots::save(fresh, QStringLiteral("search-scrolled-fresh"));
    QCOMPARE(shown.size(), fresh.size());
    QVERIFY2(shown == fresh, "the screen shows another picture than the rows at this scroll position");
}

void TestSearch::fadeEndsOnPageFromCache()
{
    // Back to a page already fetched: the list is at full opacity already,
    // and nothing keeps ticking.
    loadLibrary({});
    m_total = 25;
    auto page = makePage();
    page->newSearch(QStringLiteral("retour"));
    QVERIFY(waitIdle(page.get()));
    page->pagination()->setCurrentPage(1);
    QVERIFY(waitIdle(page.get()));
    QTRY_VERIFY(!page->animation()->isRunning());
    const int requests = m_server.requestsTo(SearchPath).size();

    page->pagination()->setCurrentPage(0);
    QCOMPARE(m_server.requestsTo(SearchPath).size(), requests);
    QCOMPARE(titles(page->serverRows()).first(), QStringLiteral("S0"));
    QVERIFY(!page->animation()->isRunning());
    QCOMPARE(page->animation()->effect()->opacity(), 1.0);
    QVERIFY(!page->animation()->effect()->isEnabled());
}

void TestSearch::otherPageStartsAtTop()
{
    // At the bottom of page 1, a click on page 2 shows page 2 from its top;
    // so does going back to page 1 and a new search.
    loadLibrary({});
    m_total = 25;
    auto page = makePage();
    QScrollBar* bar = page->form()->scrollArea->verticalScrollBar();
    page->newSearch(QStringLiteral("haut"));
    QVERIFY(waitIdle(page.get()));
    for (const int next : {1, 0}) {
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        page->pagination()->pageButton(next)->click();
        QVERIFY(waitIdle(page.get()));
        QCOMPARE(page->pagination()->currentPage(), next);
        QCOMPARE(bar->value(), 0);
    }
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    page->newSearch(QStringLiteral("haut de page"));
    QVERIFY(waitIdle(page.get()));
    QCOMPARE(page->pagination()->currentPage(), 0);
    QCOMPARE(bar->value(), 0);
}

void TestSearch::shiftWheelReachesThePrices()
{
    // Narrower than half its rows: the rows' prices lie right of it, Shift
    // and the wheel bring them in a step at a time, the wheel alone still
    // goes down.
    loadLibrary({});
    m_total = 25;
    auto page = makePage();
    page->resize(250, 400);
    page->newSearch(QStringLiteral("large"));
    QVERIFY(waitIdle(page.get()));
    QScrollArea* area = page->form()->scrollArea;
    QScrollBar* across = area->horizontalScrollBar();
    QScrollBar* down = area->verticalScrollBar();
    QTRY_VERIFY(across->maximum() > 0 && down->maximum() > 0);
    const QString fault = KvoWheelTurn::sidewaysFault(area);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
