// The home page in its web view, against a scripted site on loopback: the
// two variants, the links, the failures of the page and the one-load rule.
#include "KvoFakeHttpServer.h"
#include "KvoHand.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoApi.h"
#include "KvoDoubleClickGuard.h"
#include "KvoEnvironment.h"
#include "KvoHomeLink.h"
#include "KvoHomeWebPage.h"
#include "KvoLoadingFrame.h"
#include "KvoPageHome.h"
#include "KvoPlatform.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoTopItem.h"
#include "KvoUrlOpener.h"
#include "KvoWebEngineSetup.h"
#include "ui_KvoPageHome.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QHash>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QWindow>

#include <memory>

namespace {

const QString s_user = QStringLiteral("QzUsr107");
const QString HomePath = QStringLiteral("/fr/desktop/home");

// The variables the test checks, as the test was started with them (the
// bytes, as the system keeps them), before the client made its own choices.
const QByteArrayList s_checked = {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE", "QTWEBENGINE_DISABLE_SANDBOX",
                                  "QTWEBENGINE_CHROMIUM_FLAGS"};
QHash<QByteArray, QByteArray> s_given;

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

// Links of every kind; the page's height depends on its variant only.
QByteArray homePage(bool inlineVariant)
{
    return QByteArrayLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                             "<body style=\"margin:0\"><div style=\"height:")
           + (inlineVariant ? "800" : "1500")
           + QByteArrayLiteral("px\">"
                               "<a id=\"promo\" href=\"/fr/ALL_PROMO\">p</a> "
                               "<a id=\"news\" href=\"/fr/ALL_NEW\">n</a> "
                               "<a id=\"both\" href=\"/fr/ALL_NEW?then=ALL_PROMO\">b</a> "
                               "<a id=\"external\" href=\"/fr/credits\">e</a> "
                               "<a id=\"blank\" target=\"_blank\" href=\"/fr/vorn/3\">w</a> "
                               "<a id=\"file\" href=\"file:///etc/passwd\">f</a> "
                               "<a id=\"vorn\" href=\"vorn:buy/12\">v</a> "
                               "<button id=\"window\" onclick=\"window.open('/fr/window')\">o</button>"
                               "</div></body></html>");
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

class TestHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void classify_data();
    void classify();
    void loadAndFollowLinks();
    void variantsByWidth();
    void offlineThenOnline();
    void scriptsOpenNothing();
    void keyboardOpensLinks();
    void doubleClickOnLinks();
    void failures_data();
    void failures();
    void loadingViewFillsThePage();
    void windowFlushedWithoutOpenGl();
    void startedProgramsKeepGivenDrawing();

private:
    std::unique_ptr<KvoPageHome> makePage();
    // The centre of an element of the page, in the view's input widget.
    QPoint elementCentre(KvoPageHome* page, const QString& id);
    void click(KvoPageHome* page, const QString& id);
    void scriptClick(KvoPageHome* page, const QString& id);
    QString focusedId(KvoPageHome* page);

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    struct HomeReply
    {
        int status = 0; // 0: the page of the variant
        QByteArray body;
        QByteArray headers;
        bool hold = false;
        bool headOnly = false; // the head, then no byte of the page
    };
    KvoFakeHttpServer m_server;
    HomeReply m_homeReply;
    UrlRecorder m_urls;
};

void TestHome::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    QVERIFY(m_server.listen());
    KvoApi::setEndpointForTesting(m_server.address());
    for (const char* scheme : {"http", "https", "file", "vorn"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_urls, "openUrl");
    m_server.setHandler([this](const KvoFakeHttpServer::Request& r) {
        using Reply = KvoFakeHttpServer::Reply;
        const QByteArray html = "text/html; charset=utf-8";
        const QString path = r.path();
        if (path == HomePath) {
            if (m_homeReply.hold)
                return Reply::never();
            if (m_homeReply.headOnly)
                return Reply::half(200, " ", html, true, false);
            if (m_homeReply.status != 0)
                return Reply::of(m_homeReply.status, m_homeReply.body, "text/html", m_homeReply.headers);
            return Reply::of(200, homePage(r.query().queryItemValue(QStringLiteral("tpl")) == QLatin1String("inline")),
                             html);
        }
        if (path == QLatin1String("/moved"))
            return Reply::of(200, homePage(false), html);
        return Reply::of(200, "<html><body>autre page</body></html>", html);
    });
}

void TestHome::cleanupTestCase()
{
    for (const char* scheme : {"http", "https", "file", "vorn"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    KvoApi::setEndpointForTesting(QString());
}

void TestHome::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    manager()->setConnected(true);
    m_server.clearRequests();
    m_homeReply = HomeReply();
    m_urls.urls.clear();
    KvoPageHome::setLoadDeadline(30000);
}

void TestHome::cleanup()
{
    KvoTestLibrary::close();
    m_dir.reset();
}

std::unique_ptr<KvoPageHome> TestHome::makePage()
{
    auto page = std::make_unique<KvoPageHome>();
    page->show();
    return page;
}

QPoint TestHome::elementCentre(KvoPageHome* page, const QString& id)
{
    auto centre = std::make_shared<QVariantList>();
    page->webPage()->runJavaScript(
        QStringLiteral("(function() { var r = document.getElementById('%1').getBoundingClientRect();"
                       " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
            .arg(id),
        [centre](const QVariant& result) { *centre = result.toList(); });
    if (!QTest::qWaitFor([centre] { return centre->size() == 2; }, 5000))
        return QPoint();
    return QPoint(centre->at(0).toInt(), centre->at(1).toInt());
}

void TestHome::click(KvoPageHome* page, const QString& id)
{
    // A click of the user: on the element's centre, through the view's input.
    const QPoint at = elementCentre(page, id);
    QVERIFY(!at.isNull());
    QTest::mouseClick(page->webView()->focusProxy(), Qt::LeftButton, Qt::NoModifier, at);
}

void TestHome::scriptClick(KvoPageHome* page, const QString& id)
{
    auto done = std::make_shared<bool>(false);
    page->webPage()->runJavaScript(QStringLiteral("document.getElementById('%1').click()").arg(id),
                                   [done](const QVariant&) { *done = true; });
    QTRY_VERIFY(*done);
}

QString TestHome::focusedId(KvoPageHome* page)
{
    auto id = std::make_shared<QVariant>();
    page->webPage()->runJavaScript(QStringLiteral("document.activeElement ? document.activeElement.id : ''"),
                                   [id](const QVariant& result) { *id = result.isValid() ? result : QString(); });
    if (!QTest::qWaitFor([id] { return id->isValid(); }, 5000))
        return QStringLiteral("(no answer)");
    return id->toString();
}

void TestHome::classify_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("shown"); // may the view itself show it
    QTest::newRow("promo") << "http://site/fr/ALL_PROMO" << int(KvoHomeLink::Promo) << true;
    QTest::newRow("news") << "https://site/fr/ALL_NEW" << int(KvoHomeLink::News) << true;
    QTest::newRow("both: promo first") << "http://site/ALL_NEW?x=ALL_PROMO" << int(KvoHomeLink::Promo) << true;
    QTest::newRow("case matters") << "http://site/all_promo" << int(KvoHomeLink::Browser) << true;
    QTest::newRow("web page") << "https://site/fr/vorn/3" << int(KvoHomeLink::Browser) << true;
    QTest::newRow("local file") << "file:///etc/passwd" << int(KvoHomeLink::Refused) << false;
    QTest::newRow("own scheme") << "vorn:buy/12" << int(KvoHomeLink::Refused) << false;
    QTest::newRow("script") << "javascript:alert(1)" << int(KvoHomeLink::Refused) << false;
    QTest::newRow("no host") << "http:///etc/passwd" << int(KvoHomeLink::Refused) << false;
    QTest::newRow("another program") << "smb://host/share" << int(KvoHomeLink::Refused) << false;
}

void TestHome::classify()
{
    QFETCH(QString, url);
    QFETCH(int, target);
    QFETCH(bool, shown);
    QCOMPARE(int(KvoHomeLink::classify(QUrl(url))), target);
    QCOMPARE(KvoHomeLink::mayShow(QUrl(url)), shown);
}

void TestHome::loadAndFollowLinks()
{
    auto page = makePage();
    QCOMPARE(page->widthThreshold(), 998);
    QVERIFY(page->isLoading());
    QVERIFY(page->loadingFrame()->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    QVERIFY(!page->loadingFrame()->isRunning());
    QVERIFY(page->notice()->isHidden());
    QCOMPARE(m_server.requestsTo(HomePath).size(), 1);
    QCOMPARE(m_server.requestsTo(HomePath).first().query().toString(),
             QStringLiteral("lang=") + KvoEnvironment::interfaceLocale());
    // The whole page lies in the scroll area, which scrolls it.
    QTRY_COMPARE(page->webView()->height(), 1500);
    QScrollBar* bar = page->form()->scrollArea->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QWidget* input = page->webView()->focusProxy();
    QVERIFY(input);
    QWheelEvent wheel(QPointF(50, 50), input->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(input, &wheel);
    QVERIFY(bar->value() > 0);

    // Links to all promotions or news open the client's pages; others the
    // browser, web addresses only. None of them is a load of the page.
    QSignalSpy switches(page.get(), &KvoPageHome::onChangePage);
    click(page.get(), QStringLiteral("promo"));
    QTRY_COMPARE(switches.size(), 1);
    QCOMPARE(switches.last(), (QList<QVariant>{QStringLiteral("promo"), true}));
    click(page.get(), QStringLiteral("news"));
    QTRY_COMPARE(switches.size(), 2);
    QCOMPARE(switches.last().at(0).toString(), QStringLiteral("news"));
    click(page.get(), QStringLiteral("both"));
    QTRY_COMPARE(switches.size(), 3);
    QCOMPARE(switches.last().at(0).toString(), QStringLiteral("promo"));
    click(page.get(), QStringLiteral("file"));
    click(page.get(), QStringLiteral("vorn"));
    click(page.get(), QStringLiteral("external"));
    click(page.get(), QStringLiteral("blank"));
    QTRY_COMPARE(m_urls.urls.size(), 2);
    QCOMPARE(m_urls.urls.at(0), QUrl(m_server.address() + QStringLiteral("/fr/credits")));
    QCOMPARE(m_urls.urls.at(1), QUrl(m_server.address() + QStringLiteral("/fr/vorn/3")));
    QCOMPARE(switches.size(), 3);
    QVERIFY(page->isLoaded());
    QVERIFY(page->notice()->isHidden());
    QVERIFY(page->webView()->isVisible());
    QCOMPARE(page->webPage()->url().path(), HomePath);
    // Shown again after a successful load: no reload.
    page->onShow();
    QCOMPARE(page->loadCount(), 1);
    QCOMPARE(m_server.requestsTo(HomePath).size(), 1);
}

void TestHome::variantsByWidth()
{
    auto page = makePage();
    QSignalSpy errors(page->webPage(), &KvoHomeWebPage::scriptError);
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    // Narrower than the threshold: the inline variant, once.
    page->resize(800, 556);
    QVERIFY(!page->isWide());
    QTRY_VERIFY(!page->isLoading());
    QCOMPARE(page->loadCount(), 2);
    QVERIFY(!page->loadsWide());
    QCOMPARE(m_server.requestsTo(HomePath).last().query().queryItemValue(QStringLiteral("tpl")),
             QStringLiteral("inline"));
    QTRY_COMPARE(page->webView()->height(), 800);
    page->resize(900, 556);
    QCOMPARE(page->loadCount(), 2);
    // Back and forth while a load runs: the second waits for the first.
    page->resize(1018, 556);
    QVERIFY(page->isLoading());
    page->resize(800, 556);
    page->resize(1100, 556);
    QCOMPARE(page->loadCount(), 3);
    QTRY_VERIFY(!page->isLoading());
    QCOMPARE(page->loadCount(), 3); // the pending variant was the one loaded
    QVERIFY(page->loadsWide() && page->isWide());
    page->resize(800, 556);
    QVERIFY(page->isLoading());
    page->resize(1018, 556);
    QCOMPARE(page->loadCount(), 4);
    QTRY_COMPARE(page->loadCount(), 5);
    QTRY_VERIFY(!page->isLoading());
    QVERIFY(page->loadsWide());
    QTRY_COMPARE(page->webView()->height(), 1500);
    QCOMPARE(m_server.requestsTo(HomePath).size(), 5);

    // A variant whose head came and no byte of its page: the page has no
    // document element yet. The view fitted meanwhile fails no script: the
    // test's marker error comes after the measure, and alone.
    m_homeReply.headOnly = true;
    page->resize(800, 556);
    KvoHomeWebPage* web = page->webPage();
    auto empty = std::make_shared<bool>(false);
    QTRY_VERIFY((web->runJavaScript(QStringLiteral("document.documentElement === null"),
                                    [empty](const QVariant& result) { *empty = result.toBool(); }),
                 *empty));
    page->resize(900, 556);
    auto done = std::make_shared<bool>(false);
    web->runJavaScript(QStringLiteral("console.error('marker')"), [done](const QVariant&) { *done = true; });
    QTRY_VERIFY(*done && !errors.isEmpty() && errors.last().at(0) == QStringLiteral("marker"));
    QStringList messages;
    for (const QList<QVariant>& error : std::as_const(errors))
        messages << error.at(0).toString();
    QVERIFY2(messages == QStringList{QStringLiteral("marker")}, qPrintable(messages.join(QStringLiteral(" | "))));
    QVERIFY(page->isLoading());
}

void TestHome::offlineThenOnline()
{
    // Offline: the notice, and no web engine at all.
    manager()->setConnected(false);
    auto page = makePage();
    QVERIFY(page->notice()->isVisible());
    QVERIFY(!page->webView());
    page->onShow();
    page->resize(800, 556); // crosses: recorded, nothing loaded
    QVERIFY(!page->isWide());
    page->resize(1018, 556);
    QVERIFY(page->isWide());
    QVERIFY(!page->webView());
    QVERIFY(m_server.requestsTo(HomePath).isEmpty());
    const QPoint centre = page->notice()->geometry().center();
    QVERIFY(qAbs(centre.x() - page->width() / 2) <= 1 && qAbs(centre.y() - page->height() / 2) <= 1);
    // Online: the next show loads the full variant.
    manager()->setConnected(true);
    page->onShow();
    QVERIFY(page->isLoading());
    QVERIFY(page->notice()->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    QVERIFY(page->loadsWide());
}

void TestHome::scriptsOpenNothing()
{
    // Scripts open windows in a loop and click a link as the page loads,
    // and again later: nothing reaches the desktop or switches pages. A
    // user's click hands out one link, whatever its handler opens besides.
    m_homeReply.status = 200;
    m_homeReply.body = QByteArrayLiteral(
        "<!DOCTYPE html><html><body style=\"margin:0\">"
        "<a id=\"external\" href=\"/fr/credits\">e</a> <a id=\"promo\" href=\"/fr/ALL_PROMO\">p</a> "
        "<a id=\"multi\" href=\"/fr/one\" onclick=\"window.open('/fr/two'); window.open('/fr/three');\">m</a>"
        "<script>window.addEventListener('load', function() {"
        " for (var i = 0; i < 20; ++i) window.open('/fr/pop' + i);"
        " document.getElementById('external').click(); });</script></body></html>");
    auto page = makePage();
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    KvoHomeWebPage* web = page->webPage();
    QTRY_COMPARE(web->refusedHandOffs(), 21);
    QSignalSpy switches(page.get(), &KvoPageHome::onChangePage);
    scriptClick(page.get(), QStringLiteral("promo"));
    QTRY_COMPARE(web->refusedHandOffs(), 22);
    QVERIFY(m_urls.urls.isEmpty());
    QVERIFY(switches.isEmpty());

    click(page.get(), QStringLiteral("external"));
    QTRY_COMPARE(m_urls.urls.size(), 1);
    QCOMPARE(m_urls.urls.first(), QUrl(m_server.address() + QStringLiteral("/fr/credits")));
    click(page.get(), QStringLiteral("promo"));
    QTRY_COMPARE(switches.size(), 1);
    // One of the three the click asked for; the two others are refused.
    click(page.get(), QStringLiteral("multi"));
    QTRY_COMPARE(web->refusedHandOffs(), 24);
    QTRY_COMPARE(m_urls.urls.size(), 2);
    QVERIFY(m_urls.urls.last().path().startsWith(QStringLiteral("/fr/")));
    QCOMPARE(switches.size(), 1);
    QCOMPARE(page->webPage()->url().path(), HomePath);
}

void TestHome::keyboardOpensLinks()
{
    // Tab to a link and Return: it opens, once; a link opening a window
    // too. Tab alone activates nothing, and a script's click right after
    // it stays refused. A window a focused button opens on Space opens.
    auto page = makePage();
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    KvoHomeWebPage* web = page->webPage();
    QWidget* input = page->webView()->focusProxy();
    QVERIFY(input);
    page->activateWindow();
    input->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(page.get()));
    scriptClick(page.get(), QStringLiteral("news")); // no focus change: a script's click
    QTRY_COMPARE(web->refusedHandOffs(), 1);
    auto done = std::make_shared<bool>(false);
    web->runJavaScript(QStringLiteral("document.getElementById('both').focus()"),
                       [done](const QVariant&) { *done = true; });
    QTRY_VERIFY(*done);
    QTest::keyClick(input, Qt::Key_Tab);
    QTRY_COMPARE(focusedId(page.get()), QStringLiteral("external"));
    QTest::keyClick(input, Qt::Key_Return);
    QTRY_COMPARE(m_urls.urls.size(), 1);
    QCOMPARE(m_urls.urls.at(0), QUrl(m_server.address() + QStringLiteral("/fr/credits")));
    QTest::keyClick(input, Qt::Key_Tab);
    QTRY_COMPARE(focusedId(page.get()), QStringLiteral("blank"));
    QTest::keyClick(input, Qt::Key_Enter);
    QTRY_COMPARE(m_urls.urls.size(), 2);
    QCOMPARE(m_urls.urls.at(1), QUrl(m_server.address() + QStringLiteral("/fr/vorn/3")));
    QTest::keyClick(input, Qt::Key_Tab);
    QTRY_COMPARE(focusedId(page.get()), QStringLiteral("file"));
    scriptClick(page.get(), QStringLiteral("external"));
    QTRY_COMPARE(web->refusedHandOffs(), 2);
    QCOMPARE(m_urls.urls.size(), 2);
    // Space on a button whose handler opens a window: the engine says the
    // user asked for it.
    done = std::make_shared<bool>(false);
    web->runJavaScript(QStringLiteral("document.getElementById('window').focus()"),
                       [done](const QVariant&) { *done = true; });
    QTRY_VERIFY(*done);
    QTRY_COMPARE(focusedId(page.get()), QStringLiteral("window"));
    QTest::keyClick(input, Qt::Key_Space);
    QTRY_COMPARE(m_urls.urls.size(), 3);
    QCOMPARE(m_urls.urls.at(2), QUrl(m_server.address() + QStringLiteral("/fr/window")));
    QCOMPARE(web->refusedHandOffs(), 2);
    QCOMPARE(web->url().path(), HomePath);
}

void TestHome::doubleClickOnLinks()
{
    // A double click on the link to all news: its first click opens the
    // news, whose row has its picture where the link was; the second press
    // opens no course.
    KvoDoubleClickGuard::install();
    QWidget window;
    window.resize(1100, 700);
    auto* stack = new QStackedWidget(&window);
    stack->setGeometry(window.rect());
    auto* home = new KvoPageHome(stack);
    auto* news = new QWidget;
    stack->addWidget(home);
    stack->addWidget(news);
    KvoPurchase course;
    course.id = 61;
    course.url = QStringLiteral("http://127.0.0.1:1/vorn/61");
    auto* row = new KvoTopItem(course, nullptr, news);
    row->setupNews();
    connect(home, &KvoPageHome::onChangePage, stack, [stack, news](const QString& key) {
        if (key == QLatin1String("news"))
            stack->setCurrentWidget(news);
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(home->isLoaded(), 15000);
    const QPoint link = elementCentre(home, QStringLiteral("news"));
    QVERIFY(!link.isNull());
    const QPoint place = home->webView()->focusProxy()->mapTo(&window, link);
    row->move(place - row->thumbnail()->mapTo(news, row->thumbnail()->rect().center()));

    // The page changes between the two clicks, as it does for a hand: the
    // link is followed while the second press is still to come.
    QSignalSpy switches(home, &KvoPageHome::onChangePage);
    KvoHand hand;
    hand.pressAt(window.windowHandle(), place);
    hand.wait(70);
    hand.releaseAt(window.windowHandle(), place);
    QTRY_COMPARE(switches.size(), 1);
    QCOMPARE(stack->currentWidget(), news);
    QCOMPARE(window.childAt(place), row->thumbnail());
    hand.wait(80);
    hand.pressAt(window.windowHandle(), place);
    hand.wait(70);
    hand.releaseAt(window.windowHandle(), place);
    QCOMPARE(m_urls.urls, QList<QUrl>());

    // A double click on a link to a web page opens it once: its second
    // click is no act of the user's of its own.
    stack->setCurrentWidget(home);
    const QPoint external = elementCentre(home, QStringLiteral("external"));
    QVERIFY(!external.isNull());
    const int refused = home->webPage()->refusedHandOffs();
    hand.rest();
    hand.doubleClickAt(window.windowHandle(), home->webView()->focusProxy()->mapTo(&window, external));
    QTRY_COMPARE(home->webPage()->refusedHandOffs(), refused + 1);
    QCOMPARE(m_urls.urls, QList<QUrl>{QUrl(m_server.address() + QStringLiteral("/fr/credits"))});
}

void TestHome::failures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("500") << 500 << QByteArray("<html><body>Erreur interne</body></html>") << QByteArray() << false
                         << false;
    QTest::newRow("404 empty") << 404 << QByteArray() << QByteArray() << false << false;
    QTest::newRow("never finishes") << 200 << QByteArray() << QByteArray() << true << false;
    QTest::newRow("redirect") << 302 << QByteArray() << QByteArray("Location: /moved\r\n") << false << true;
    QTest::newRow("redirect to a file") << 302 << QByteArray() << QByteArray("Location: file:///etc/passwd\r\n")
                                        << false << false;
    QTest::newRow("not html") << 200 << QByteArray("\x89PNG\r\n\x1a\n\0\0garbage", 16) << QByteArray() << false
                              << true;
}

void TestHome::failures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, headers);
    QFETCH(bool, hold);
    QFETCH(bool, loaded);
    m_homeReply.status = status;
    m_homeReply.body = body;
    m_homeReply.headers = headers;
    m_homeReply.hold = hold;
    // Only the load that never finishes meets its deadline: a short one for
    // it, the usual one for the others, which end by themselves.
    if (hold)
        KvoPageHome::setLoadDeadline(2000);
    auto page = makePage();
    QTRY_VERIFY_WITH_TIMEOUT(!page->isLoading(), 15000);
    QCOMPARE(page->isLoaded(), loaded);
    QCOMPARE(page->notice()->isVisible(), !loaded);
    QCOMPARE(page->webView()->isVisible(), loaded);
    QVERIFY(!page->loadingFrame()->isRunning());
    QVERIFY(m_urls.urls.isEmpty());
    if (loaded)
        return;
    // The next show tries again, and a good page then shows.
    m_homeReply = HomeReply();
    KvoPageHome::setLoadDeadline(30000);
    page->onShow();
    QVERIFY(page->isLoading());
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    QVERIFY(page->notice()->isHidden());
    QCOMPARE(page->loadCount(), 2);
}

// The page starts its load when it is made, before it is laid out and shown
// (as in the main window). While the load runs, what the view shows of the
// page lies where the page will be: from the top of the visible area, as
// high as it, never a strip of the view's first height across the middle.
void TestHome::loadingViewFillsThePage()
{
    m_homeReply.hold = true;
    auto page = std::make_unique<KvoPageHome>();
    page->resize(1018, 556);
    QVERIFY(page->isLoading());
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    QWidget* viewport = page->form()->scrollArea->viewport();
    QTRY_COMPARE(viewport->height(), 556);
    QVERIFY(page->isLoading());
    QTRY_COMPARE(page->webView()->geometry(), QRect(QPoint(0, 0), viewport->size()));
    // And the same after the page grew taller.
    page->resize(1018, 700);
    QTRY_COMPARE(viewport->height(), 700);
    QTRY_COMPARE(page->webView()->geometry(), QRect(QPoint(0, 0), viewport->size()));
    QVERIFY(page->isLoading());
}

// Where OpenGL is drawn by the processor, a window showing the home page is
// flushed as plain pixels: what else it paints (the player's pictures, the
// busy overlay) is not sent through that OpenGL with the whole window.
void TestHome::windowFlushedWithoutOpenGl()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("about the OpenGL of an X server");
    const QByteArray renderer = KvoWebEngineSetup::openGlRenderer();
    if (!renderer.isEmpty() && !KvoWebEngineSetup::isSoftwareRenderer(renderer))
        QSKIP("OpenGL is drawn by a graphics processor here");
    auto page = makePage();
    QTRY_VERIFY_WITH_TIMEOUT(page->isLoaded(), 15000);
    // The view's drawing widget is there and has drawn the page.
    QTRY_VERIFY(page->webView()->focusProxy());
    QTRY_COMPARE(page->webView()->height(), 1500);
    QVERIFY(page->windowHandle());
    QCOMPARE(page->windowHandle()->surfaceType(), QSurface::RasterSurface);
}

// The client's choices for itself are its own: a program it starts (here
// the desktop's opener, found on the PATH), given a file or an address,
// draws as the user's environment says and gets the web engine's switches
// as the user gave them, not as the client set them for its engine.
void TestHome::startedProgramsKeepGivenDrawing()
{
    // The client did set them: as root, without the sandbox and its zygote.
    QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("1"));
    QVERIFY(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-zygote"));

    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    // What it was asked to open, and its environment, into that file.
    opener.write("#!/bin/sh\nout=\"${1#file://}\"\n"
                 "{ echo \"OPENED=$1\"; env; } > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    // The update package, then a link given to the desktop the way every
    // page gives one, through the client's own handler of addresses.
    const QString package = bin.filePath(QStringLiteral("package"));
    const bool started = KvoPlatform::openWithSystem(package);
    const QUrl link = QUrl::fromLocalFile(bin.filePath(QStringLiteral("link")));
    KvoUrlOpener::install();
    QDesktopServices::openUrl(link);
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_urls, "openUrl");
    qputenv("PATH", path);
    QVERIFY(started);
    QVERIFY(m_urls.urls.isEmpty());

    for (const QString& seen : {package, link.toLocalFile()}) {
        QTRY_VERIFY(QFile::exists(seen));
        QFile file(seen);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QHash<QByteArray, QByteArray> child;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const int equals = line.indexOf('=');
            if (equals > 0)
                child.insert(line.left(equals), line.mid(equals + 1));
        }
        QCOMPARE(child.value("OPENED"), (seen == package ? package : link.toString(QUrl::FullyEncoded)).toUtf8());
        QVERIFY(child.contains("PATH"));
        for (const QByteArray& name : s_checked) {
            QCOMPARE(child.contains(name), s_given.contains(name));
            QCOMPARE(child.value(name), s_given.value(name));
        }
    }
}

int main(int argc, char** argv)
{
    // What the user gives the client: the engine's switch of the tests, one
    // the engine ignores whose value is not UTF-8 (the environment holds
    // bytes, in whatever encoding the user's programs wrote them), and no
    // sandbox switch (the client adds its own as root).
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.isEmpty())
        flags = "--disable-gpu";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --kvo-given=caf\xE9");
    for (const QByteArray& name : s_checked) {
        if (qEnvironmentVariableIsSet(name.constData()))
            s_given.insert(name, qgetenv(name.constData()));
    }
    // Then as the client does when run as root, whoever runs the test:
    // Chromium refuses its sandbox as root.
    KvoWebEngineSetup::prepare(true);
    QApplication app(argc, argv);
    KvoWebEngineSetup::chooseSceneGraph(); // as the client does
    TestHome test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_home.moc"
