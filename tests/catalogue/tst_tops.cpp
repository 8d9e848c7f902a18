// The top-list pages (top of the month, favourites, news, promotions), their
// rows and the cache of the lists, against a scripted service on loopback.
#include "KvoDialogDriver.h"
#include "KvoFakeHttpServer.h"
#include "KvoPriceColumn.h"
#include "KvoHand.h"
#include "KvoShowWatch.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"
#include "KvoWheelTurn.h"

#include "KvoApi.h"
#include "KvoButton.h"
#include "KvoButtonText.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoDoubleClickGuard.h"
#include "KvoHTTPRequest.h"
#include "KvoMainWindow.h"
#include "KvoPageFavoris.h"
#include "KvoPageHome.h"
#include "KvoPageNews.h"
#include "KvoPagePromo.h"
#include "KvoPageRegistry.h"
#include "KvoPageSearch.h"
#include "KvoPageSetup.h"
#include "KvoPageTopMonth.h"
#include "KvoPaginationWidget.h"
#include "KvoPromotionTimer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoPurchaser.h"
#include "KvoTopItem.h"
#include "KvoTopPosNumber.h"
#include "ui_KvoPageTopMonth.h"
#include "ui_KvoPurchaser.h"
#include "ui_KvoSearchItem.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTranslator>

#include <memory>

namespace {

const QString s_user = QStringLiteral("QzUsr014");
const QString ListPath = QStringLiteral("/0.1/playerListVorn/");
const QString FavePath = QStringLiteral("/0.1/playerFave/");
const QString BuyPath = QStringLiteral("/0.1/playerBuy/");

using Reply = KvoFakeHttpServer::Reply;

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

void whenReady(const std::function<bool()>& check, const std::function<void()>& action)
{
    KvoDialogDriver::whenReady(check, action);
}

// The action on the first visible modal widget.
void onModal(const std::function<void(QWidget*)>& action)
{
    KvoDialogDriver::whenReady(
        [] {
            QWidget* modal = QApplication::activeModalWidget();
            return modal && modal->isVisible();
        },
        [action] { action(QApplication::activeModalWidget()); });
}

QJsonObject courseMap(int id, int price = 2, int previous = 0, qint64 end = 0)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("title"), QStringLiteral("C%1").arg(id));
    o.insert(QStringLiteral("softwares"), QStringLiteral("Photo"));
    o.insert(QStringLiteral("software_ids"), QJsonArray{3});
    o.insert(QStringLiteral("price"), price);
    o.insert(QStringLiteral("previous_price"), previous);
    o.insert(QStringLiteral("rating"), 4);
    o.insert(QStringLiteral("sales"), 100 + id);
    o.insert(QStringLiteral("end_ts"), double(end));
    o.insert(QStringLiteral("url"), QStringLiteral("http://127.0.0.1:1/vorn/%1").arg(id));
    return o;
}

QByteArray listOf(const QList<int>& ids)
{
    QJsonArray vorns;
    for (int id : ids)
        vorns.append(courseMap(id));
    return QJsonDocument(QJsonObject{{QStringLiteral("vorns"), vorns}}).toJson(QJsonDocument::Compact);
}

QByteArray listOfMaps(const QJsonArray& vorns)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("vorns"), vorns}}).toJson(QJsonDocument::Compact);
}

QList<uint> idsOf(const QList<KvoTopItem*>& rows)
{
    QList<uint> ids;
    for (KvoTopItem* row : rows)
        ids.append(row->course().id);
    return ids;
}

QString cached(const QString& list)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT json FROM tops WHERE name = ?"));
    q.addBindValue(list);
    if (!q.exec() || !q.next())
        return QStringLiteral("<no row>");
    return q.value(0).toString();
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

class TestTops : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    // rows
    void rowTexts_data();
    void rowTexts();
    void countdown_data();
    void countdown();
    void variants();

    // pages
    void badAnswers_data();
    void badAnswers();
    void cacheAndOffline();
    void unreadableAnswerKeepsCache();
    void lateAnswerNeverArrives();
    void failedFavouritesKeepRows();
    void removeWhileTheListIsFetched();
    void removeCancelledSendsNothing();
    void favouritesPagination();
    void promotionsCountDown();
    void buyFromARow();
    void boughtElsewhereShowsOwned();
    void endedPromotionShowsTheFullPrice();
    void rowsOnScreenFollowTheEnd();
    void downloadAfterTheEndShowsTheFullPrice();
    void previewThroughTheOneHook();
    void doubleClickOpensTheCourseOnce();
    void menuOpensEachList();
    void shiftWheelReachesThePrices();

private:
    void serve(const QString& list, const QByteArray& body, int status = 200, bool hold = false);
    // The courses reach the library through a synchronisation.
    bool own(const QList<int>& ids);
    template <class Page>
    std::unique_ptr<Page> makePage();
    template <class Page>
    QString sidewaysFault(const QString& list);

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    KvoFakeHttpServer m_server;
    QMap<QString, Reply> m_lists;
    // What the library poll answers; "not modified" while empty.
    QByteArray m_library;
    UrlRecorder m_urls;
};

void TestTops::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    QVERIFY(m_server.listen());
    KvoApi::setEndpointForTesting(m_server.address());
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "openUrl");
    m_server.setHandler([this](const KvoFakeHttpServer::Request& r) {
        const QString path = r.path();
        if (path == ListPath)
            return m_lists.value(r.query().queryItemValue(QStringLiteral("list")), Reply::of(200, QByteArray()));
        if (path == BuyPath)
            return Reply::of(200, r.query().hasQueryItem(QStringLiteral("vorn_id")) ? QByteArray("{\"status\":\"OK\"}")
                                                                                   : QByteArray("{\"user_credits\":9}"));
        if (path == FavePath)
            return Reply::of(200, "{\"status\":\"OK\",\"removed\":true}");
        // The library poll after a purchase.
        return m_library.isEmpty() ? Reply::of(304, QByteArray()) : Reply::of(200, m_library);
    });
}

void TestTops::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    KvoApi::setEndpointForTesting(QString());
}

void TestTops::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("9"), QString());
    manager()->setConnected(true);
    m_server.setHolding(false);
    m_server.clearRequests();
    m_lists.clear();
    m_library.clear();
    m_urls.urls.clear();
    KvoHTTPRequest::setTransferTimeout(5000);
}

void TestTops::cleanup()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    KvoTestLibrary::close();
    m_dir.reset();
}

void TestTops::serve(const QString& list, const QByteArray& body, int status, bool hold)
{
    m_lists.insert(list, hold ? Reply::never() : Reply::of(status, body));
}

bool TestTops::own(const QList<int>& ids)
{
    QJsonArray vorns;
    for (int id : ids)
        vorns.append(QJsonObject{{"id", id}, {"title", QStringLiteral("C%1").arg(id)}, {"software_ids", QJsonArray{3}},
                                 {"price", 2}, {"purchase_date", 1600000000},
                                 {"files", QJsonArray{QJsonObject{{"id", id * 10}, {"title", "V"}, {"order", 1},
                                                                  {"duration", 60}}}}});
    m_library = QJsonDocument(QJsonObject{{"status", "OK"}, {"timestamp", 100}, {"credits", "5"}, {"vorns", vorns},
                                          {"authors", QJsonArray{}},
                                          {"softwares", QJsonArray{QJsonObject{{"id", 3}, {"name", "Photo"}}}}})
                    .toJson(QJsonDocument::Compact);
    QSignalSpy updated(manager(), &KvoPurchaseVideoManager::databaseUpdated);
    manager()->update();
    return updated.wait(10000);
}

template <class Page>
std::unique_ptr<Page> TestTops::makePage()
{
    auto page = std::make_unique<Page>();
    page->resize(1067, 656);
    page->show();
    return page;
}

// --- rows ------------------------------------------------------------------------

void TestTops::rowTexts_data()
{
    QTest::addColumn<uint>("price");
    QTest::addColumn<uint>("previous");
    QTest::addColumn<QString>("priceText");
    QTest::addColumn<QString>("previousText"); // empty: hidden
    QTest::newRow("free") << 0u << 0u << "Gratuit" << "";
    QTest::newRow("one") << 1u << 1u << "1 crédit" << "";
    QTest::newRow("two from one") << 2u << 1u << "2 crédits" << "1 crédit";
    QTest::newRow("reduced") << 3u << 5u << "3 crédits" << "5 crédits";
}

void TestTops::rowTexts()
{
    QFETCH(uint, price);
    QFETCH(uint, previous);
    QFETCH(QString, priceText);
    QFETCH(QString, previousText);
    KvoPurchase course;
    course.id = 7;
    course.price = price;
    course.previousPrice = previous;
    KvoTopItem row(course, nullptr, nullptr);
    QCOMPARE(row.form()->credits->text(), priceText);
    QCOMPARE(row.form()->previous_price->isHidden(), previousText.isEmpty());
    if (!previousText.isEmpty())
        QCOMPARE(row.form()->previous_price->text(), previousText);
    QCOMPARE(row.height(), 71);
    row.showOwned();
    QVERIFY(!row.form()->purchased->isHidden());
    QVERIFY(row.form()->credits->isHidden() && row.form()->download->isHidden()
            && row.form()->previous_price->isHidden());
}

void TestTops::countdown_data()
{
    QTest::addColumn<qint64>("left");
    QTest::addColumn<QString>("text"); // empty: the row hides
    QTest::addColumn<QString>("english");
    QTest::newRow("2 days") << qint64(172800) << "2 jours restants" << "2 days left";
    QTest::newRow("10 days") << qint64(10 * 86400 + 5) << "10 jours restants" << "10 days left";
    QTest::newRow("a second under 2 days") << qint64(172799) << "1 jour restant" << "1 day left";
    QTest::newRow("12 hours") << qint64(43200) << "1 jour restant" << "1 day left";
    QTest::newRow("a second under 12 hours") << qint64(43199) << "11 heure restantes" << "11 hours left";
    QTest::newRow("an hour") << qint64(3600) << "1 heure restantes" << "1 hour left";
    QTest::newRow("a second under 2 hours") << qint64(7199) << "1 heure restantes" << "1 hour left";
    QTest::newRow("2 hours") << qint64(7200) << "2 heure restantes" << "2 hours left";
    QTest::newRow("a second under an hour") << qint64(3599) << "expire dans 59 minutes" << "ends in 59 minutes";
    QTest::newRow("61 s") << qint64(61) << "expire dans 1 minutes" << "ends in 1 minute";
    QTest::newRow("120 s") << qint64(120) << "expire dans 2 minutes" << "ends in 2 minutes";
    QTest::newRow("60 s") << qint64(60) << "expire dans 60 seconde(s)" << "ends in 60 second(s)";
    QTest::newRow("1 s") << qint64(1) << "expire dans 1 seconde(s)" << "ends in 1 second(s)";
    QTest::newRow("ended") << qint64(0) << "" << "";
    QTest::newRow("long ended") << qint64(-100000) << "" << "";
}

void TestTops::countdown()
{
    QFETCH(qint64, left);
    QFETCH(QString, text);
    QFETCH(QString, english);
    QCOMPARE(KvoTopItem::timeLeftText(left), text);
    // The row counts from its course's end, signed: an end in the past (or
    // none at all) hides the row instead of wrapping round.
    const qint64 now = 2000000000;
    KvoPurchase course;
    course.end_ts = uint(qMax<qint64>(0, now + left));
    QWidget list;
    auto* row = new KvoTopItem(course, nullptr, &list);
    row->setupPromo();
    list.show();
    row->setTimeLeft(now);
    QCOMPARE(row->isHidden(), text.isEmpty());
    if (!text.isEmpty())
        QCOMPARE(row->countdownLabel()->text(), text);

    // The client's English, whose words differ for one and for many.
    QTranslator translation;
    QVERIFY(translation.load(QCoreApplication::applicationDirPath() + QStringLiteral("/langues/english.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translation));
    const QString translated = KvoTopItem::timeLeftText(left);
    QCoreApplication::removeTranslator(&translation);
    QCOMPARE(translated, english);
}

void TestTops::variants()
{
    KvoPurchase course = KvoPurchase::createFromJson(courseMap(12).toVariantMap());
    course.title = QStringLiteral("Rock&Roll");
    course.softwares = QStringLiteral("Son & lumière");
    // Top of the month: the place badge before the picture, the sales.
    KvoTopItem first(course, nullptr, nullptr);
    first.setupTopMonth(0);
    // The service's names as sent: an "&" is a letter, no shortcut.
    QCOMPARE(KvoButtonText::shown(first.form()->title->text()), course.title);
    QCOMPARE(KvoButtonText::shown(first.form()->softwares->text()), course.softwares);
    QVERIFY(first.form()->title->shortcut().isEmpty() && first.form()->softwares->shortcut().isEmpty());
    QCOMPARE(first.form()->horizontalLayout->indexOf(first.positionBadge()), 0);
    QCOMPARE(first.form()->horizontalLayout->indexOf(first.thumbnail()), 1);
    QCOMPARE(static_cast<QPushButton*>(first.positionBadge())->text(), QStringLiteral("1"));
    QCOMPARE(first.salesLabel()->text(), QStringLiteral("112 ventes"));
    KvoTopItem second(course, nullptr, nullptr);
    second.setupTopMonth(1);
    QCOMPARE(static_cast<QPushButton*>(second.positionBadge())->text(), QStringLiteral("2"));
    QVERIFY(static_cast<QPushButton*>(first.positionBadge())->styleSheet()
            != static_cast<QPushButton*>(second.positionBadge())->styleSheet());
    // Favourites: the remove button; news and favourites: a tag painted
    // on the picture's bottom-left corner, over a picture that failed.
    KvoTopItem fave(course, nullptr, nullptr);
    fave.setupFavourite();
    QCOMPARE(fave.removeButton()->text(), QStringLiteral("Retirer"));
    QVERIFY(!fave.countdownLabel());
    QPixmap picture(157, 71);
    picture.fill(Qt::black);
    KvoTopItem::DrawingPlugin(QStringLiteral(":/KvoMainWindow/Resources/fave_tag.png")).draw(picture);
    const QImage image = picture.toImage();
    QVERIFY(image.pixelColor(3, 42) != QColor(Qt::black)); // the tag's corner on the picture's
    QCOMPARE(image.pixelColor(3, 5), QColor(Qt::black));      // bottom-left, nothing above it
    QCOMPARE(image.pixelColor(150, 68), QColor(Qt::black));
    KvoTopItem::DrawingPlugin(QStringLiteral(":/no/such/tag.png")).draw(picture); // nothing, no crash
    // The title opens the course's web page; nothing else reaches the browser.
    first.form()->title->click();
    QCOMPARE(m_urls.urls, (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:1/vorn/12"))}));
    course.url = QStringLiteral("file:///etc/passwd");
    KvoTopItem local(course, nullptr, nullptr);
    local.setupNews();
    local.form()->title->click();
    QCOMPARE(m_urls.urls.size(), 1);
}

// --- pages -----------------------------------------------------------------------

void TestTops::badAnswers_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("rows"); // -1: the empty state
    QTest::newRow("not JSON") << QByteArray("<html>not json</html>") << -1;
    QTest::newRow("empty") << QByteArray() << -1;
    QTest::newRow("no vorns") << QByteArray("{\"status\":\"OK\"}") << -1;
    QTest::newRow("vorns a text") << QByteArray("{\"vorns\":\"101\"}") << -1;
    QTest::newRow("empty list") << QByteArray("{\"vorns\":[]}") << -1;
    QTest::newRow("elements no courses") << QByteArray("{\"vorns\":[1,\"x\",null,[2],{\"id\":5}]}") << 1;
    QTest::newRow("bare courses")
        << QByteArray("{\"vorns\":[{\"id\":1},{\"id\":2,\"title\":null,\"price\":\"cher\",\"end_ts\":-5,"
                      "\"thumbnail\":\"http://127.0.0.1:1/not-a-picture.png\"}]}")
        << 2;
}

void TestTops::badAnswers()
{
    // Every answer gives rows or the empty state; none crashes, and an
    // answer that was no list leaves the page to ask again at its next show.
    QFETCH(QByteArray, body);
    QFETCH(int, rows);
    serve(QStringLiteral("new"), body);
    auto page = makePage<KvoPageNews>();
    page->onShow();
    QTRY_VERIFY(!page->isFetching());
    QCOMPARE(page->noConnectionPanel()->isVisible(), rows < 0);
    QCOMPARE(page->rows().size(), qMax(rows, 0));
    QCOMPARE(page->isFetched(), rows > 0);
    for (KvoTopItem* row : page->rows())
        QCOMPARE(row->form()->credits->text(), QStringLiteral("Gratuit"));

    // A list of 10,000 paginated promotions keeps the first thousand, and
    // shows ten rows.
    QJsonArray many;
    for (int i = 0; i < 10000; ++i)
        many.append(courseMap(1000 + i, 2, 3, QDateTime::currentSecsSinceEpoch() + 600));
    serve(QStringLiteral("promo"), listOfMaps(many));
    auto promo = makePage<KvoPagePromo>();
    promo->onShow();
    QTRY_VERIFY(!promo->isFetching());
    QCOMPARE(promo->rows().size(), 10);
    QCOMPARE(promo->purchases().size(), 1000);
    QCOMPARE(promo->purchases().last().id, 1999u);
    QCOMPARE(promo->pagination()->pageCount(), 100);
}

void TestTops::cacheAndOffline()
{
    // First start offline: an empty cache row and the empty state.
    manager()->setConnected(false);
    {
        auto page = makePage<KvoPageTopMonth>();
        QCOMPARE(cached(QStringLiteral("top")), QString());
        page->onShow();
        QVERIFY(page->noConnectionPanel()->isVisible());
        QVERIFY(m_server.requests().isEmpty());
    }
    // Online: the list is fetched once and kept for offline use; the
    // favourites never are.
    manager()->setConnected(true);
    serve(QStringLiteral("top"), listOf({3, 1, 2}));
    serve(QStringLiteral("fave"), listOf({4}));
    {
        auto page = makePage<KvoPageTopMonth>();
        page->onShow();
        QTRY_COMPARE(idsOf(page->rows()), (QList<uint>{3, 1, 2}));
        QVERIFY(!page->loadingFrame()->isRunning());
        QCOMPARE(cached(QStringLiteral("top")), QString::fromUtf8(listOf({3, 1, 2})));
        page->onShow();
        QCOMPARE(m_server.requestsTo(ListPath).size(), 1);
        const QUrlQuery query = m_server.requestsTo(ListPath).first().query();
        QCOMPARE(query.toString(), QStringLiteral("apikey=%1&output=json&list=top&locale=%2")
                                       .arg(KvoApi::apiKey(), query.queryItemValue(QStringLiteral("locale"))));
        auto fave = makePage<KvoPageFavoris>();
        fave->onShow();
        QTRY_COMPARE(idsOf(fave->rows()), QList<uint>{4});
        QCOMPARE(cached(QStringLiteral("fave")), QString());
    }
    // Offline again: the cached list, built once.
    manager()->setConnected(false);
    auto page = makePage<KvoPageTopMonth>();
    page->onShow();
    const QList<KvoTopItem*> rows = page->rows();
    QCOMPARE(idsOf(rows), (QList<uint>{3, 1, 2}));
    page->onShow();
    QCOMPARE(page->rows(), rows);
    auto fave = makePage<KvoPageFavoris>();
    fave->onShow();
    QVERIFY(fave->rows().isEmpty());
    QVERIFY(fave->noConnectionPanel()->isVisible());
}

void TestTops::unreadableAnswerKeepsCache()
{
    // A good list is cached; an unreadable 200 afterwards neither replaces
    // it nor loses it: the next offline start shows the good list.
    serve(QStringLiteral("promo"), listOf({5, 6}));
    {
        auto page = makePage<KvoPagePromo>();
        page->onShow();
        QTRY_COMPARE(page->rows().size(), 2);
    }
    // An answer of many megabytes is not read at all.
    QJsonArray huge;
    for (int i = 0; i < 40000; ++i)
        huge.append(courseMap(1000 + i));
    for (const QByteArray& bad : {QByteArray("<html>oops</html>"), QByteArray("{\"vorns\":{}}"),
                                  QByteArray("{\"vorns\":[1,2"), listOfMaps(huge)}) {
        serve(QStringLiteral("promo"), bad);
        auto page = makePage<KvoPagePromo>();
        page->onShow();
        QTRY_VERIFY(!page->isFetching());
        QVERIFY(!page->isFetched());
        QVERIFY(page->noConnectionPanel()->isVisible());
        QCOMPARE(cached(QStringLiteral("promo")), QString::fromUtf8(listOf({5, 6})));
    }
    manager()->setConnected(false);
    auto page = makePage<KvoPagePromo>();
    page->onShow();
    QCOMPARE(idsOf(page->rows()), (QList<uint>{5, 6}));
    // A list of megabytes kept before answers were bounded is not read.
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("UPDATE tops SET json = ? WHERE name = 'promo'"));
    q.addBindValue(QString::fromUtf8(listOfMaps(huge)));
    QVERIFY(q.exec());
    auto stale = makePage<KvoPagePromo>();
    stale->onShow();
    QVERIFY(stale->rows().isEmpty());
    QVERIFY(stale->noConnectionPanel()->isVisible());
}

void TestTops::lateAnswerNeverArrives()
{
    // A fetch replaced by the next one is aborted: its connection closes
    // and only the newer list shows.
    serve(QStringLiteral("fave"), QByteArray(), 200, true);
    auto page = makePage<KvoPageFavoris>();
    page->onShow();
    QTRY_COMPARE(m_server.requestsTo(ListPath).size(), 1);
    serve(QStringLiteral("fave"), listOf({8, 9}));
    page->onShow();
    QTRY_COMPARE(idsOf(page->rows()), (QList<uint>{8, 9}));
    QCOMPARE(m_server.requestsTo(ListPath).size(), 2);
    QVERIFY(!page->isFetching());
}

void TestTops::failedFavouritesKeepRows()
{
    serve(QStringLiteral("fave"), listOf({1, 2, 3}));
    auto page = makePage<KvoPageFavoris>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 3);
    // The list is fetched again at every show: a failure, or an answer
    // that is no list, keeps the rows, and claims no empty list.
    for (int status : {500, 200}) {
        serve(QStringLiteral("fave"), "<html>erreur</html>", status);
        page->onShow();
        QVERIFY(!page->loadingFrame()->isRunning()); // a list on screen: no overlay
        QTRY_VERIFY(!page->isFetching());
        QCOMPARE(idsOf(page->rows()), (QList<uint>{1, 2, 3}));
        QVERIFY(page->form()->no_video->isHidden());
    }
    // The first fetch failing shows the no-connection panel, not "no
    // favourites"; the service saying there are none does.
    serve(QStringLiteral("fave"), QByteArray(), 503);
    auto other = makePage<KvoPageFavoris>();
    other->onShow();
    QTRY_VERIFY(!other->isFetching());
    QVERIFY(other->noConnectionPanel()->isVisible());
    QVERIFY(other->form()->no_video->isHidden());
    serve(QStringLiteral("fave"), listOf(QList<int>()));
    page->onShow();
    QTRY_VERIFY(!page->isFetching());
    QVERIFY(page->rows().isEmpty());
    QVERIFY(page->form()->no_video->isVisible());
    QCOMPARE(page->form()->no_video->text(), QStringLiteral("Vous n'avez pas de favoris"));

    // After a failed refresh, the user's own "Retirer" of the last rows
    // empties a list that the user has just seen: no favourites, online.
    serve(QStringLiteral("fave"), listOf({4, 5}));
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 2);
    serve(QStringLiteral("fave"), QByteArray(), 500);
    page->onShow();
    QTRY_VERIFY(!page->isFetching());
    QCOMPARE(page->rows().size(), 2);
    for (int left = 2; left > 0; --left) {
        onModal([](QWidget* modal) { modal->findChild<QPushButton*>(QStringLiteral("buttonTrash"))->click(); });
        page->rows().first()->removeButton()->click();
        QCOMPARE(page->rows().size(), left - 1);
    }
    QVERIFY(page->noConnectionPanel()->isHidden());
    QVERIFY(page->form()->no_video->isVisible());
    QCOMPARE(page->form()->no_video->text(), QStringLiteral("Vous n'avez pas de favoris"));
    QTRY_COMPARE(m_server.requestsTo(FavePath).size(), 2);
}

void TestTops::removeWhileTheListIsFetched()
{
    serve(QStringLiteral("fave"), listOf({1, 2, 3}));
    auto page = makePage<KvoPageFavoris>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 3);

    // While the confirmation waits, a fetch answers and rebuilds the rows,
    // the asking row included; the removal still goes through, once.
    QPointer<KvoTopItem> row = page->rows().at(1);
    bool rebuilt = false;
    onModal([&](QWidget* modal) {
        QCOMPARE(modal->objectName(), QStringLiteral("removeFaveDialog"));
        page->onShow();
        whenReady([&] { return !row && !page->isFetching(); },
                  [&, modal] {
                      rebuilt = true;
                      modal->findChild<QPushButton*>(QStringLiteral("buttonTrash"))->click();
                  });
    });
    row->removeButton()->click();
    QVERIFY(rebuilt);
    QTRY_COMPARE(m_server.requestsTo(FavePath).size(), 1);
    const KvoFakeHttpServer::Request removal = m_server.requestsTo(FavePath).first();
    QCOMPARE(removal.body, QByteArray("delete=true&vorn_id=2"));
    QCOMPARE(removal.query().queryItemValue(QStringLiteral("output")), QStringLiteral("json"));
    QTRY_COMPARE(idsOf(page->rows()), (QList<uint>{1, 3}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<KvoDialog*>(top));

    // A removal while the list is fetched again: the page keeps its other
    // rows, and the answer (asked before the removal) does not bring the
    // removed course back.
    serve(QStringLiteral("fave"), listOf({1, 3}));
    m_server.setHolding(true);
    page->onShow();
    QVERIFY(page->isFetching());
    QTRY_COMPARE(m_server.heldCount(), 1);
    bool duringFetch = false;
    onModal([&](QWidget* modal) {
        duringFetch = page->isFetching();
        modal->findChild<QPushButton*>(QStringLiteral("buttonTrash"))->click();
    });
    page->rows().first()->removeButton()->click();
    QVERIFY(duringFetch);
    QCOMPARE(idsOf(page->rows()), QList<uint>{3});
    QVERIFY(page->form()->no_video->isHidden());
    m_server.setHolding(false);
    m_server.release();
    QTRY_VERIFY(!page->isFetching());
    QCOMPARE(idsOf(page->rows()), QList<uint>{3});
    // The second removal reaches the service before the next test looks.
    QTRY_COMPARE(m_server.requestsTo(FavePath).size(), 2);
    QCOMPARE(m_server.requestsTo(FavePath).last().body, QByteArray("delete=true&vorn_id=1"));
}

void TestTops::removeCancelledSendsNothing()
{
    serve(QStringLiteral("fave"), listOf({1, 2}));
    auto page = makePage<KvoPageFavoris>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 2);
    onModal([](QWidget* modal) {
        QVERIFY(modal->findChild<QPushButton*>(QStringLiteral("buttonKeep"))->isHidden());
        QCOMPARE(modal->findChild<QPushButton*>(QStringLiteral("buttonTrash"))->text(), QStringLiteral("Retirer"));
        modal->findChild<QPushButton*>(QStringLiteral("buttonCancel"))->click();
    });
    page->rows().first()->removeButton()->click();
    QCOMPARE(idsOf(page->rows()), (QList<uint>{1, 2}));
    QTest::qWait(0);
    QVERIFY(m_server.requestsTo(FavePath).isEmpty());
}

void TestTops::favouritesPagination()
{
    // Ten rows fit on one page; the eleventh makes a second page alone.
    QList<int> ids;
    for (int i = 1; i <= 11; ++i)
        ids.append(i);
    serve(QStringLiteral("fave"), listOf(ids.mid(0, 10)));
    auto page = makePage<KvoPageFavoris>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 10);
    QVERIFY(page->pagination()->isHidden());
    serve(QStringLiteral("fave"), listOf(ids));
    page->onShow();
    QTRY_VERIFY(!page->isFetching());
    QVERIFY(page->pagination()->isVisible());
    QCOMPARE(page->pagination()->pageCount(), 2);
    page->pagination()->setCurrentPage(1);
    QCOMPARE(idsOf(page->rows()), QList<uint>{11});
    // Removing the last favourites: the bar goes, then "no favourites".
    for (int id : ids) {
        KvoPurchase course;
        course.id = uint(id);
        page->removePurchase(course);
    }
    QVERIFY(page->pagination()->isHidden());
    QVERIFY(page->rows().isEmpty());
    QVERIFY(page->form()->no_video->isVisible());
}

void TestTops::promotionsCountDown()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    serve(QStringLiteral("promo"),
          listOfMaps(QJsonArray{courseMap(1, 2, 3, now + 3 * 86400 + 3600), courseMap(2, 1, 2, now + 3),
                            courseMap(3, 1, 2, now - 10)}));
    auto page = makePage<KvoPagePromo>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 3);
    const QList<KvoTopItem*> rows = page->rows();
    QCOMPARE(rows.at(0)->countdownLabel()->text(), QStringLiteral("3 jours restants"));
    QVERIFY(!rows.at(0)->hasEnded() && !rows.at(1)->hasEnded());
    QVERIFY(rows.at(2)->hasEnded() && rows.at(2)->isHidden()); // ended before it was shown
    QVERIFY(page->timer().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(rows.at(1)->hasEnded(), 5000); // ends while shown
    QVERIFY(rows.at(1)->isHidden());
    QVERIFY(rows.at(0)->isVisible());
    // Off screen, the timer stops at its next tick.
    page->hide();
    QTRY_VERIFY(!page->timer().isActive());
    page->show();
    page->onShow();
    QVERIFY(page->timer().isActive());
    // The prices brought up to date at the show leave the ended rows off.
    QVERIFY(rows.at(1)->isHidden() && rows.at(2)->isHidden());
}

void TestTops::buyFromARow()
{
    // The purchase's success rebuilds the rows while the row's own click
    // still waits in the purchase dialog: the row goes, the bought course
    // shows as owned, and each purchase leaves one dialog at most.
    serve(QStringLiteral("top"), listOf({21, 22, 23}));
    auto page = makePage<KvoPageTopMonth>();
    QSignalSpy switches(page.get(), &KvoPageTopMonth::onChangePage);
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 3);
    QVERIFY(!page->promotionTimer()->isActive()); // no promotion to follow
    for (int round = 0; round < 2; ++round) {
        QPointer<KvoTopItem> row = page->rows().at(round);
        bool rebuilt = false;
        whenReady([&] { return page->purchaser() && page->purchaser()->state() == KvoPurchaser::Confirm; },
                  [&] {
                      page->purchaser()->form()->button_confirm->click();
                      whenReady([&] { return page->purchaser()->state() == KvoPurchaser::Success && !row; },
                                [&] {
                                    rebuilt = true;
                                    page->purchaser()->form()->button_download->click();
                                });
                  });
        row->form()->download->click();
        QVERIFY(rebuilt);
        QVERIFY(!page->rows().at(round)->form()->purchased->isHidden());
        QCOMPARE(switches.last().at(0).toString(), QStringLiteral("downloads"));
    }
    QVERIFY(page->rows().at(2)->form()->purchased->isHidden());
    QCOMPARE(page->bought().keys(), (QList<uint>{21, 22}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(page->findChildren<KvoPurchaser*>().size(), 1);
    QCOMPARE(m_server.requestsTo(BuyPath).size(), 4);
}

void TestTops::boughtElsewhereShowsOwned()
{
    // The top of the month and the second page of the promotions, built
    // while none of their courses was the user's.
    const qint64 end = QDateTime::currentSecsSinceEpoch() + 3 * 86400;
    QJsonArray promotions;
    for (int id = 1; id <= 12; ++id)
        promotions.append(courseMap(id, 2, 3, end));
    serve(QStringLiteral("promo"), listOfMaps(promotions));
    serve(QStringLiteral("top"), listOf({21, 22, 23}));
    auto top = makePage<KvoPageTopMonth>();
    top->onShow();
    QTRY_COMPARE(top->rows().size(), 3);
    top->hide();
    auto promo = makePage<KvoPagePromo>();
    promo->onShow();
    QTRY_COMPARE(promo->rows().size(), 10);
    promo->pagination()->setCurrentPage(1);
    QTRY_COMPARE(idsOf(promo->rows()), (QList<uint>{11, 12}));
    const QList<KvoTopItem*> topRows = top->rows();
    const QList<KvoTopItem*> promoRows = promo->rows();
    for (KvoTopItem* row : topRows + promoRows)
        QVERIFY(row->form()->purchased->isHidden());

    // Courses 22 and 12 bought on another page: the synchronisation that
    // follows brings them into the library.
    const int lists = m_server.requestCount(ListPath);
    QVERIFY(own({12, 22}));
    QCOMPARE(manager()->purchaseIds(), (QList<int>{12, 22}));

    // The shown promotions at the library's update, the top of the month
    // at its next show: the rows that were there switch, the others stay.
    promo->onShow();
    top->show();
    top->onShow();
    QCOMPARE(top->rows(), topRows);
    QCOMPARE(promo->rows(), promoRows);
    QStringList owned;
    for (KvoTopItem* row : topRows + promoRows)
        if (!row->form()->purchased->isHidden())
            owned << row->form()->title->text();
    QCOMPARE(owned, (QStringList{QStringLiteral("C22"), QStringLiteral("C12")}));
    QVERIFY(topRows.at(1)->form()->download->isHidden() && topRows.at(1)->form()->credits->isHidden());
    QCOMPARE(m_server.requestCount(ListPath), lists);
}

void TestTops::endedPromotionShowsTheFullPrice()
{
    // News fetched while a promotion runs: 31 for a few seconds more, 32
    // for days; 33 has none. The page is left before 31's ends, and shown
    // again after: it sells 31 at its full price, without asking for the
    // list again.
    const qint64 end = QDateTime::currentSecsSinceEpoch() + 3;
    serve(QStringLiteral("new"), listOfMaps(QJsonArray{courseMap(31, 1, 3, end), courseMap(32, 2, 4, end + 3 * 86400),
                                                       courseMap(33, 5)}));
    auto page = makePage<KvoPageNews>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 3);
    const QList<KvoTopItem*> rows = page->rows();
    QCOMPARE(KvoPriceColumn::of(rows), QStringLiteral("1 crédit / 3 crédits, 2 crédits / 4 crédits, 5 crédits"));
    page->hide();
    QVERIFY(!page->promotionTimer()->isActive()); // off screen, nothing to follow

    QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentSecsSinceEpoch() >= end, 5000);
    const int lists = m_server.requestCount(ListPath);
    page->show();
    page->onShow();
    QCOMPARE(page->rows(), rows);
    QCOMPARE(KvoPriceColumn::of(rows), QStringLiteral("3 crédits, 2 crédits / 4 crédits, 5 crédits"));
    QCOMPARE(m_server.requestCount(ListPath), lists);
}

void TestTops::rowsOnScreenFollowTheEnd()
{
    // News on screen while 41's promotion ends. 41 switches to its full
    // price by itself, without a request; 42 (a promotion without an end),
    // 43 (none), 44 (owned, on promotion for a day) and 46 (on promotion for
    // weeks) stay as they were, and the timer waits for 46's end.
    QVERIFY(own({44}));
    const qint64 end = QDateTime::currentSecsSinceEpoch() + 3;
    const qint64 later = end + 40 * 86400;
    serve(QStringLiteral("new"), listOfMaps(QJsonArray{courseMap(46, 2, 4, later), courseMap(41, 1, 3, end),
                                                       courseMap(42, 2, 4), courseMap(43, 5), courseMap(44, 1, 3, end + 86400)}));
    auto page = makePage<KvoPageNews>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 5);
    const QList<KvoTopItem*> rows = page->rows();
    QCOMPARE(KvoPriceColumn::of(rows),
             QStringLiteral("2 crédits / 4 crédits, 1 crédit / 3 crédits, 2 crédits / 4 crédits, 5 crédits, ACHETÉ"));
    QCOMPARE(page->promotionTimer()->nextEnd(), end * 1000);
    const int lists = m_server.requestCount(ListPath);

    QTRY_COMPARE_WITH_TIMEOUT(KvoPriceColumn::of(rows),
                              QStringLiteral("2 crédits / 4 crédits, 3 crédits, 2 crédits / 4 crédits, 5 crédits, ACHETÉ"),
                              6000);
    QVERIFY(QDateTime::currentSecsSinceEpoch() >= end);
    QCOMPARE(page->rows(), rows);
    QCOMPARE(m_server.requestCount(ListPath), lists);
    QCOMPARE(page->promotionTimer()->nextEnd(), later * 1000);
    QVERIFY(page->promotionTimer()->isActive());
}

void TestTops::downloadAfterTheEndShowsTheFullPrice()
{
    // A machine too busy to run the page's timer at the end: TÉLÉCHARGER
    // brings its row up to date before the dialog opens.
    const qint64 end = QDateTime::currentSecsSinceEpoch() + 3;
    serve(QStringLiteral("new"), listOfMaps(QJsonArray{courseMap(45, 1, 3, end)}));
    auto page = makePage<KvoPageNews>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 1);
    QCOMPARE(KvoPriceColumn::of(page->rows()), QStringLiteral("1 crédit / 3 crédits"));
    KvoShowWatch::blockUntil(end);
    QString atOpen;
    KvoShowWatch watch(QStringLiteral("purchaseDialog"), [&] { atOpen = KvoPriceColumn::of(page->rows()); });
    whenReady([&] { return page->purchaser() && page->purchaser()->state() != KvoPurchaser::Loading; },
              [&] { page->purchaser()->dialog()->close(); });
    page->rows().first()->form()->download->click();
    QVERIFY(watch.fired());
    QCOMPARE(atOpen, QStringLiteral("3 crédits"));
}

void TestTops::previewThroughTheOneHook()
{
    // A row's "voir extrait" plays the course's preview through the hook
    // every catalogue page shares.
    QJsonObject course = courseMap(41);
    course.insert(QStringLiteral("preview_uri"), QStringLiteral("http://127.0.0.1:1/files/previews/41.mp4"));
    course.insert(QStringLiteral("width"), 320);
    course.insert(QStringLiteral("height"), 180);
    serve(QStringLiteral("new"), listOfMaps(QJsonArray{course}));
    QStringList played;
    KvoPageSearch::setPreviewHook([&played](const QString& address, int width, int height) {
        played.append(QStringLiteral("%1 %2x%3").arg(address).arg(width).arg(height));
    });
    auto page = makePage<KvoPageNews>();
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 1);
    page->rows().first()->form()->play->click();
    KvoPageSearch::setPreviewHook({});
    QCOMPARE(played, QStringList{QStringLiteral("http://127.0.0.1:1/files/previews/41.mp4 320x180")});
}

void TestTops::doubleClickOpensTheCourseOnce()
{
    // The title and the picture of a row open the course's web page once
    // per double click, as the window's guard has it.
    KvoDoubleClickGuard::install();
    serve(QStringLiteral("new"), listOf({51, 52}));
    auto page = makePage<KvoPageNews>();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    page->onShow();
    QTRY_COMPARE(page->rows().size(), 2);
    KvoTopItem* row = page->rows().first();
    KvoHand hand;
    hand.doubleClick(row->form()->title);
    QCOMPARE(m_urls.urls.size(), 1);
    hand.rest();
    hand.doubleClick(row->thumbnail());
    const QUrl course(QStringLiteral("http://127.0.0.1:1/vorn/51"));
    QCOMPARE(m_urls.urls, (QList<QUrl>{course, course}));
}

void TestTops::menuOpensEachList()
{
    // Offline, so the home page shows its notice and starts no web engine;
    // each menu entry opens its list page with its cached list.
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO tops (name, json) VALUES ('new', '%1')")
                       .arg(QString::fromUtf8(listOf({31, 32})))));
    manager()->setConnected(false);
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    // A service nobody answers at: the window's probe keeps it offline.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    struct End
    {
        QString endpoint;
        ~End()
        {
            KvoApi::setEndpointForTesting(endpoint);
            KvoMainWindow::destroyInstance();
            KvoPageRegistry::clear();
            QThreadPool::globalInstance()->waitForDone(10000);
        }
    } end{m_server.address()};
    QVERIFY(KvoMainWindow::createInstance(false));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    auto* home = qobject_cast<KvoPageHome*>(window->currentPage());
    QVERIFY(home);
    QVERIFY(home->notice()->isVisible());
    QVERIFY(!home->webView());
    const QList<QPair<QString, QString>> entries = {{"buttonTop", "top"},
                                                    {"buttonFavoris", "favoris"},
                                                    {"buttonNouveautes", "news"},
                                                    {"buttonPromo", "promo"},
                                                    {"buttonAccueil", "accueil"}};
    for (const auto& entry : entries) {
        window->findChild<QPushButton*>(entry.first)->click();
        QCOMPARE(window->currentKey(), entry.second);
        QCOMPARE(dynamic_cast<IKvoPage*>(window->currentPage())->name(), entry.second);
    }
    QCOMPARE(idsOf(static_cast<KvoPageNews*>(window->pages().value(QStringLiteral("news")).first)->rows()),
             (QList<uint>{31, 32}));
    QCOMPARE(window->breadcrumb().last().title, QStringLiteral("Accueil"));
}

template <class Page>
QString TestTops::sidewaysFault(const QString& list)
{
    // Promotions that end in three days.
    QJsonArray courses;
    for (int id = 1; id <= 8; ++id)
        courses.append(courseMap(id, 2, 3, QDateTime::currentSecsSinceEpoch() + 3 * 86400));
    serve(list, listOfMaps(courses));
    auto page = makePage<Page>();
    // Narrower than half its rows, so that a step and a page differ.
    page->resize(250, 400);
    page->onShow();
    if (!QTest::qWaitFor([&page] { return page->rows().size() == 8; }, 5000))
        return list + QStringLiteral(": no rows");
    QScrollArea* area = page->form()->scrollArea;
    QScrollBar* across = area->horizontalScrollBar();
    if (!QTest::qWaitFor([across] { return across->maximum() > 0; }, 5000))
        return list + QStringLiteral(": the rows fit");
    const QString fault = KvoWheelTurn::sidewaysFault(area);
    if (!fault.isEmpty())
        return list + QStringLiteral(": ") + fault;
    return QString();
}

void TestTops::shiftWheelReachesThePrices()
{
    // The rows' prices and buy buttons lie right of a narrow page: Shift
    // and the wheel bring them in, the wheel alone still goes down.
    const QStringList faults = QStringList{sidewaysFault<KvoPageNews>(QStringLiteral("new")),
                                           sidewaysFault<KvoPageTopMonth>(QStringLiteral("top")),
                                           sidewaysFault<KvoPagePromo>(QStringLiteral("promo")),
                                           sidewaysFault<KvoPageFavoris>(QStringLiteral("fave"))}
                                   .filter(QRegularExpression(QStringLiteral(".")));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

QTEST_MAIN(TestTops)
#include "tst_tops.moc"
