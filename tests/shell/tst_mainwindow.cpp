#include "IKvoPage.h"
#include "KvoApi.h"
#include "KvoConnectionStateManager.h"
#include "KvoDialog.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoMainWindow.h"
#include "KvoPageRegistry.h"
#include "KvoPurchase.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSoftware.h"
#include "KvoDialogDriver.h"
#include "KvoGuiThreadSpy.h"
#include "KvoTestSupport.h"
#include "KvoVornLink.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryFile>
#include <QThreadPool>
#include <QTest>

#include <memory>

// A page of the tests: a title, a key, an optional parent in the breadcrumb,
// and a count of its refreshes.
class StubPage : public QWidget, public IKvoPage
{
    Q_OBJECT
public:
    StubPage(QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags)
        , m_parentPage(parent)
    {
    }
    QString title() const override { return m_title; }
    QString name() const override { return m_name; }
    QWidget* parentPage() const override { return m_parentPage; }
    void onShow() override { ++shows; }
    void onRequest(const KvoPageRequest& request) override
    {
        ++requests;
        lastRequest = request;
    }
    void onLibraryUpdated() override { ++libraryUpdates; }
    bool openLink(const KvoVornLink& link) override
    {
        if (!acceptsLinks)
            return false;
        links << link.fields();
        return true;
    }
    void onSessionClosing() override { ++closings; }

    void setup(const QString& key, const QString& title, QWidget* parentPage = nullptr)
    {
        m_name = key;
        m_title = title;
        if (parentPage)
            m_parentPage = parentPage;
    }

    int shows = 0;
    int requests = 0;
    KvoPageRequest lastRequest;
    int libraryUpdates = 0;
    bool acceptsLinks = false;
    QList<QMap<QString, QString>> links;
    int closings = 0;

signals:
    void onChangePage(const QString& key, bool addToHistory);

private:
    QString m_name;
    QString m_title;
    QWidget* m_parentPage;
};

namespace {

KvoPageRegistry::Creator stub(const QString& title, const QString& parentKey = QString())
{
    return [title, parentKey](KvoMainWindow* window, const QString& key) -> QWidget* {
        QWidget* parent = nullptr;
        if (!parentKey.isEmpty()) {
            window->insertPageInMap(parentKey);
            parent = window->pages().value(parentKey).first;
        }
        auto* page = KvoMainWindow::createPage<StubPage>(window);
        page->setup(key, title, parent);
        return page;
    };
}

StubPage* pageOf(const QString& key)
{
    return qobject_cast<StubPage*>(KvoMainWindow::instance()->pages().value(key).first);
}

template <class T>
T* child(const char* name)
{
    return KvoMainWindow::instance()->findChild<T*>(QLatin1String(name));
}

QStringList titles(const QVector<KvoBreadcrumb::Level>& trail)
{
    QStringList result;
    for (const auto& level : trail)
        result << level.title;
    return result;
}

// A stand-in page with its menu entry.
void addStub(const QString& key, const QString& title, const QString& menuButton,
             KvoPageRegistry::Menu menu = KvoPageRegistry::Menu::Opens, const QString& parentKey = QString())
{
    KvoPageRegistry::Page page;
    page.key = key;
    page.menuButton = menuButton;
    page.menu = menu;
    page.creator = stub(title, parentKey);
    KvoPageRegistry::add(page);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    // The window of one test, created offline with its first poll over, so
    // that no late answer changes the online state under the test.
    void createWindow(bool online = false, Qt::WindowFlags flags = Qt::WindowFlags());

    std::unique_ptr<KvoTestHome> m_home;

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void initialState();
    void noHomePageShowsNothing();
    void singleton();
    void formTexts();
    void switchToKnownAndUnknownKeys();
    void historyAtBothEnds();
    void breadcrumbThroughParents();
    void detailSoftwareId_data();
    void detailSoftwareId();
    void secondsToDate_data();
    void secondsToDate();
    void menuAndSearch();
    void connectionState();
    void databaseUpdatedRefreshes();
    void userLine_data();
    void userLine();
    void downloadsCounter();
    void sizeRules();
    void fitsTheScreen();
    void hasVisibleSoftwares();
    void linkAndMessageQueues();
    void pageHooks();
    void closeSequence();
    void sessionExpiry();
    void runSession();
};

void TestMainWindow::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    QVERIFY(KvoDatabase::open(m_home->path() + QStringLiteral("/database.sqlite")));
    // Nothing listens there: every request and probe fails at once.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoConnectionStateManager::setTimingForTesting(600000, 200);

    KvoPageRegistry::clear();
    using Menu = KvoPageRegistry::Menu;
    addStub(QStringLiteral("accueil"), QStringLiteral("Accueil"), QStringLiteral("buttonAccueil"));
    addStub(QStringLiteral("news"), QStringLiteral("Nouveautés"), QStringLiteral("buttonNouveautes"));
    addStub(QStringLiteral("promo"), QStringLiteral("Promo"), QStringLiteral("buttonPromo"));
    addStub(QStringLiteral("top"), QStringLiteral("Top"), QStringLiteral("buttonTop"));
    addStub(QStringLiteral("search"), QStringLiteral("Recherche"), QStringLiteral("buttonAccueil"), Menu::Highlights);
    addStub(QStringLiteral("softwares"), QStringLiteral("Mes vidéos"), QStringLiteral("buttonVideos"));
    KvoPageRegistry::Page detail;
    detail.key = QStringLiteral("detail_software_");
    detail.isPattern = true;
    detail.menuButton = QStringLiteral("buttonVideos");
    detail.menu = Menu::Highlights;
    detail.creator = stub(QStringLiteral("Logiciel"), QStringLiteral("softwares"));
    KvoPageRegistry::add(detail);
    // A third level below the page of software 7.
    KvoPageRegistry::add(QStringLiteral("lesson"),
                         stub(QStringLiteral("Leçon"), QStringLiteral("detail_software_7")));
}

void TestMainWindow::createWindow(bool online, Qt::WindowFlags flags)
{
    KvoGuiThreadSpy ended(KvoPurchaseVideoManager::instance(), &KvoPurchaseVideoManager::updateEnded);
    QVERIFY(KvoMainWindow::createInstance(online, nullptr, flags));
    QTRY_VERIFY_WITH_TIMEOUT(ended.count() > 0, 10000);
    QCoreApplication::processEvents();
}

void TestMainWindow::cleanup()
{
    KvoMainWindow::destroyInstance();
    KvoPurchaseVideoManager::destroy();
}

void TestMainWindow::cleanupTestCase()
{
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoDatabase::close();
}

void TestMainWindow::initialState()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    QCOMPARE(window->currentKey(), QStringLiteral("accueil"));
    QCOMPARE(window->history(), QVector<QString>{QStringLiteral("accueil")});
    QCOMPARE(window->historyPosition(), 0);
    QVERIFY(!child<QPushButton>("buttonLeft")->isEnabled());
    QVERIFY(!child<QPushButton>("buttonRight")->isEnabled());
    // One white, disabled level; no separators.
    QCOMPARE(titles(window->breadcrumb()), QStringList{QStringLiteral("Accueil")});
    QCOMPARE(child<QPushButton>("buttonLevel1")->text(), QStringLiteral("Accueil"));
    QVERIFY(!child<QPushButton>("buttonLevel1")->isEnabled());
    QCOMPARE(child<QPushButton>("buttonLevel2")->text(), QString());
    QVERIFY(child<QLabel>("labelSepa1")->isHidden());
    QVERIFY(child<QLabel>("labelSepa2")->isHidden());
    QCOMPARE(pageOf(QStringLiteral("accueil"))->shows, 1);
    QCOMPARE(window->currentPage(), pageOf(QStringLiteral("accueil")));
    // Pages nobody registered are simply absent.
    QVERIFY(!window->pages().contains(QStringLiteral("player")));
    QVERIFY(!window->pages().contains(QStringLiteral("downloads")));
    // The control bar starts hidden; the menu highlights the home entry.
    QVERIFY(child<QPushButton>("buttonPlay")->isHidden());
    QVERIFY(child<QPushButton>("buttonNext")->isHidden());
    QVERIFY(child<QPushButton>("buttonAccueil")->styleSheet().contains(QLatin1String("#191a22")));
    QVERIFY(!child<QPushButton>("buttonTop")->styleSheet().contains(QLatin1String("#191a22")));
    QCOMPARE(child<QLabel>("labelOnline")->text(), QStringLiteral("Hors-ligne"));
    // Empty library: no software to list.
    QVERIFY(!child<QPushButton>("buttonVideos")->isEnabled());
}

void TestMainWindow::noHomePageShowsNothing()
{
    // Without a home page the window must not show whichever page it built
    // first (the downloads page under a highlighted "Accueil").
    const KvoPageRegistry::Creator home = KvoPageRegistry::find(QStringLiteral("accueil"));
    KvoPageRegistry::remove(QStringLiteral("accueil"));
    KvoPageRegistry::Page downloads;
    downloads.key = QStringLiteral("downloads");
    downloads.buildAtStart = true;
    downloads.creator = stub(QStringLiteral("À télécharger"));
    KvoPageRegistry::add(downloads);
    createWindow();
    KvoPageRegistry::remove(QStringLiteral("downloads"));
    KvoPageRegistry::add(QStringLiteral("accueil"), home);
    KvoMainWindow* window = KvoMainWindow::instance();
    QVERIFY(window->pages().contains(QStringLiteral("downloads")));
    QVERIFY(!window->currentPage());
    auto* stack = child<QStackedWidget>("stackedWidget");
    QVERIFY(stack->currentWidget() != window->pages().value(QStringLiteral("downloads")).first);
    QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("pageBlank"));
}

void TestMainWindow::singleton()
{
    QVERIFY(!KvoMainWindow::instance());
    createWindow();
    KvoMainWindow* first = KvoMainWindow::instance();
    QVERIFY(first);
    QPointer<KvoMainWindow> guard(first);
    QVERIFY(!KvoMainWindow::createInstance(true));
    QCOMPARE(KvoMainWindow::instance(), first);
    KvoMainWindow::destroyInstance();
    QVERIFY(!KvoMainWindow::instance());
    QVERIFY(guard.isNull());
    KvoMainWindow::destroyInstance(); // a second destroy is harmless
    // A new session gets a new window.
    createWindow();
    QVERIFY(KvoMainWindow::instance());
}

void TestMainWindow::formTexts()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    QCOMPARE(window->objectName(), QStringLiteral("KvoMainWindow"));
    QCOMPARE(child<QPushButton>("buttonPromo")->text(), QStringLiteral("  Actuellement en Promo"));
    QCOMPARE(child<QPushButton>("buttonDisconnect")->text(), QStringLiteral(" Déconnexion"));
    QCOMPARE(child<QPushButton>("buttonAide")->text(), QStringLiteral(" Aide && Contact"));
    QCOMPARE(child<QLineEdit>("editSearch")->placeholderText(), QStringLiteral("Rechercher..."));
    QCOMPARE(child<QLineEdit>("editSearch")->maxLength(), 255);
    // The fixed parts keep their sizes at the smallest window.
    window->resize(window->minimumSize());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(child<QWidget>("widgetMenu")->width(), 210);
    QCOMPARE(child<QWidget>("widgetInfos")->width(), 340);
    QCOMPARE(child<QLineEdit>("editSearch")->size(), QSize(340, 32));
    QCOMPARE(child<QWidget>("widgetTaskBar")->height(), 37);
}

void TestMainWindow::switchToKnownAndUnknownKeys()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    auto* stack = child<QStackedWidget>("stackedWidget");

    KvoPageRequest nowhere(QStringLiteral("nowhere"), true);
    nowhere.idSoftware = 3;
    window->changePage(nowhere);
    QCOMPARE(window->currentKey(), QStringLiteral("accueil"));
    QVERIFY(!window->pages().contains(QStringLiteral("nowhere")));
    QCOMPARE(window->history().size(), 1);

    // The current page again: no refresh, no request handed over.
    StubPage* home = pageOf(QStringLiteral("accueil"));
    const int homeRequests = home->requests;
    window->changePage(QStringLiteral("accueil"), true);
    QCOMPARE(home->shows, 1);
    QCOMPARE(home->requests, homeRequests);

    // The request reaches the page before its refresh.
    KvoPageRequest toNews = KvoPageRequest::player(3, home, 11);
    toNews.key = QStringLiteral("news");
    window->changePage(toNews);
    StubPage* news = pageOf(QStringLiteral("news"));
    QVERIFY(news);
    QCOMPARE(window->currentKey(), QStringLiteral("news"));
    QCOMPARE(stack->currentWidget(), news);
    QCOMPARE(news->shows, 1);
    QCOMPARE(news->requests, 1);
    QCOMPARE(news->lastRequest.idSoftware, 3u);
    QCOMPARE(news->lastRequest.selectedIdVideo, 11u);
    QCOMPARE(news->lastRequest.parentArianne.data(), home);
    QCOMPARE(window->history().last(), QStringLiteral("news"));
    QVERIFY(child<QPushButton>("buttonNouveautes")->styleSheet().contains(QLatin1String("#191a22")));
    QVERIFY(!child<QPushButton>("buttonAccueil")->styleSheet().contains(QLatin1String("#191a22")));

    // A page asks for the switch itself through its signal.
    emit news->onChangePage(QStringLiteral("promo"), true);
    QCOMPARE(window->currentKey(), QStringLiteral("promo"));
    // Pages are kept: going back reuses the same object.
    window->changePage(QStringLiteral("news"), false);
    QCOMPARE(pageOf(QStringLiteral("news")), news);
    QCOMPARE(news->shows, 2);
    // A plain switch carries no parameters.
    QCOMPARE(news->lastRequest.idSoftware, 0u);
    QVERIFY(news->lastRequest.parentArianne.isNull());
    QVERIFY(!news->lastRequest.addToHistory);
}

void TestMainWindow::historyAtBothEnds()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    auto* left = child<QPushButton>("buttonLeft");
    auto* right = child<QPushButton>("buttonRight");

    window->changePage(QStringLiteral("news"), true);
    window->changePage(QStringLiteral("promo"), true);
    QVERIFY(left->isEnabled());
    QVERIFY(!right->isEnabled());

    left->click();
    QCOMPARE(window->currentKey(), QStringLiteral("news"));
    QVERIFY(left->isEnabled());
    QVERIFY(right->isEnabled());
    left->click();
    QCOMPARE(window->currentKey(), QStringLiteral("accueil"));
    QVERIFY(!left->isEnabled());
    QVERIFY(right->isEnabled());

    right->click();
    right->click();
    QCOMPARE(window->currentKey(), QStringLiteral("promo"));
    QVERIFY(!right->isEnabled());
    QVERIFY(left->isEnabled());

    // Back twice, then a new page: nothing ahead is lost.
    left->click();
    left->click();
    child<QPushButton>("buttonTop")->click();
    const QVector<QString> expected = {QStringLiteral("accueil"), QStringLiteral("news"),
                                       QStringLiteral("promo"), QStringLiteral("top")};
    QCOMPARE(window->history(), expected);
    QCOMPARE(window->historyPosition(), 3);
    QVERIFY(!right->isEnabled());
    left->click();
    QCOMPARE(window->currentKey(), QStringLiteral("promo"));

    // A switch without history keeps the entries and the position.
    window->changePage(QStringLiteral("search"), false);
    QCOMPARE(window->history(), expected);
    QCOMPARE(window->historyPosition(), 2);
}

void TestMainWindow::breadcrumbThroughParents()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    window->changePage(QStringLiteral("lesson"), true);
    QCOMPARE(titles(window->breadcrumb()),
             (QStringList{QStringLiteral("Mes vidéos"), QStringLiteral("Logiciel"), QStringLiteral("Leçon")}));
    QVERIFY(window->pages().contains(QStringLiteral("softwares")));
    QVERIFY(window->pages().contains(QStringLiteral("detail_software_7")));
    QVERIFY(child<QPushButton>("buttonLevel1")->isEnabled());
    QVERIFY(child<QPushButton>("buttonLevel2")->isEnabled());
    QVERIFY(!child<QPushButton>("buttonLevel3")->isEnabled());
    QVERIFY(child<QLabel>("labelSepa1")->isVisibleTo(window));
    QVERIFY(child<QLabel>("labelSepa2")->isVisibleTo(window));
    QCOMPARE(child<QPushButton>("buttonLevel3")->styleSheet(), QStringLiteral("border:0; color:white;"));
    // The software entries highlight the videos entry.
    window->changePage(QStringLiteral("detail_software_7"), true);
    QVERIFY(child<QPushButton>("buttonVideos")->styleSheet().contains(QLatin1String("#191a22")));
    window->changePage(QStringLiteral("lesson"), true);

    // The first level goes back to the software list, recorded.
    child<QPushButton>("buttonLevel1")->click();
    QCOMPARE(window->currentKey(), QStringLiteral("softwares"));
    QCOMPARE(window->history().last(), QStringLiteral("softwares"));
    QCOMPARE(titles(window->breadcrumb()), QStringList{QStringLiteral("Mes vidéos")});
    QVERIFY(child<QLabel>("labelSepa1")->isHidden());
}

void TestMainWindow::detailSoftwareId_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<uint>("id");
    QTest::newRow("number") << "detail_software_12" << 12u;
    QTest::newRow("no number") << "detail_software_" << 0u;
    QTest::newRow("text") << "detail_software_abc" << 0u;
    QTest::newRow("negative") << "detail_software_-3" << 0u;
    QTest::newRow("twice") << "detail_software_detail_software_5" << 5u;
}

void TestMainWindow::detailSoftwareId()
{
    QFETCH(QString, key);
    QFETCH(uint, id);
    QCOMPARE(KvoMainWindow::detailSoftwareId(key), id);
}

void TestMainWindow::secondsToDate_data()
{
    QTest::addColumn<uint>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0u << "0:00";
    QTest::newRow("59") << 59u << "0:59";
    QTest::newRow("61") << 61u << "1:01";
    QTest::newRow("600") << 600u << "10:00";
    QTest::newRow("3599") << 3599u << "59:59";
    QTest::newRow("3600") << 3600u << "1:00:00";
    QTest::newRow("3660") << 3660u << "1:01:00";
    QTest::newRow("3725") << 3725u << "1:02:05";
    QTest::newRow("36000") << 36000u << "10:00:00";
}

void TestMainWindow::secondsToDate()
{
    QFETCH(uint, seconds);
    QFETCH(QString, text);
    QCOMPARE(KvoMainWindow::secondsToDate(seconds), text);
}

void TestMainWindow::menuAndSearch()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    child<QPushButton>("buttonNouveautes")->click();
    QCOMPARE(window->currentKey(), QStringLiteral("news"));
    // An entry whose page does not exist yet changes nothing.
    child<QPushButton>("buttonConfiguration")->click();
    QCOMPARE(window->currentKey(), QStringLiteral("news"));
    child<QPushButton>("buttonTelecharger")->click();
    QCOMPARE(window->currentKey(), QStringLiteral("news"));
    window->findChild<QPushButton*>(QStringLiteral("logo"))->click();
    QCOMPARE(window->currentKey(), QStringLiteral("accueil"));

    auto* search = child<QLineEdit>("editSearch");
    search->setText(QStringLiteral("   "));
    emit search->returnPressed();
    QCOMPARE(window->currentKey(), QStringLiteral("accueil"));
    QCOMPARE(search->text(), QStringLiteral("   "));

    search->setText(QStringLiteral("  montage  "));
    emit search->returnPressed();
    QCOMPARE(window->currentKey(), QStringLiteral("search"));
    QVERIFY(search->text().isEmpty());
    QVERIFY(child<QPushButton>("buttonAccueil")->styleSheet().contains(QLatin1String("#191a22")));
    // Again while the search page is current: the box still clears.
    search->setText(QStringLiteral("effets"));
    emit search->returnPressed();
    QVERIFY(search->text().isEmpty());
    QCOMPARE(window->history().count(QStringLiteral("search")), 1);

    window->setSearchEnabled(false);
    QVERIFY(!search->isEnabled());
}

void TestMainWindow::connectionState()
{
    createWindow(false);
    KvoMainWindow* window = KvoMainWindow::instance();
    auto* label = child<QLabel>("labelOnline");
    StubPage* home = pageOf(QStringLiteral("accueil"));
    const int shows = home->shows;

    window->onChangeConnectionState(true);
    QCOMPARE(label->text(), QStringLiteral("En ligne"));
    QVERIFY(KvoPurchaseVideoManager::instance()->isConnected());
    // The manager's echo of the same state does not refresh twice.
    QCOMPARE(home->shows, shows + 1);
    window->onChangeConnectionState(true);
    QCOMPARE(home->shows, shows + 1);

    emit KvoPurchaseVideoManager::instance()->changeConnectionState(false);
    QCOMPARE(label->text(), QStringLiteral("Hors-ligne"));
    QCOMPARE(home->shows, shows + 2);
}

void TestMainWindow::databaseUpdatedRefreshes()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    window->changePage(QStringLiteral("top"), true);
    StubPage* top = pageOf(QStringLiteral("top"));
    StubPage* home = pageOf(QStringLiteral("accueil"));
    const int homeShows = home->shows;
    QCOMPARE(top->shows, 1);
    emit KvoPurchaseVideoManager::instance()->databaseUpdated();
    QCOMPARE(top->shows, 2);
    QCOMPARE(home->shows, homeShows); // only the current page
}

void TestMainWindow::userLine_data()
{
    QTest::addColumn<QString>("credits");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << "0" << "0 crédit";
    QTest::newRow("1") << "1" << "1 crédit";
    QTest::newRow("2") << "2" << "2 crédits";
    QTest::newRow("150") << "150" << "150 crédits";
    QTest::newRow("not a number") << "abc" << "0 crédit";
    QTest::newRow("decimal") << "2.5" << "0 crédit";
    QTest::newRow("empty") << "" << "0 crédit";
}

void TestMainWindow::userLine()
{
    QFETCH(QString, credits);
    QFETCH(QString, text);
    KvoPurchaseVideoManager::instance()->setUser(QStringLiteral("stored-id"), QStringLiteral("alice"),
                                                 credits, QStringLiteral("session"));
    createWindow();
    QCOMPARE(child<QLabel>("labelInfos")->text(), QStringLiteral("Bonjour alice, il vous reste"));
    QCOMPARE(child<QLabel>("labelCredits")->text(), text);
}

void TestMainWindow::downloadsCounter()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    auto* ballon = child<QLabel>("labelBallon");
    QVERIFY(ballon);
    QCOMPARE(ballon->parentWidget(), child<QPushButton>("buttonTelecharger"));
    QVERIFY(ballon->isHidden());
    window->notifyBallonNumber(1);
    QVERIFY(!ballon->isHidden());
    QCOMPARE(ballon->text(), QStringLiteral("1"));
    window->notifyBallonNumber(12);
    QCOMPARE(ballon->text(), QStringLiteral("12"));
    window->notifyBallonNumber(0);
    QVERIFY(ballon->isHidden());
    window->notifyBallonNumber(3);
    window->notifyBallonNumber(-2);
    QVERIFY(ballon->isHidden());
}

void TestMainWindow::sizeRules()
{
    KvoPageRegistry::Page player;
    player.key = QStringLiteral("player");
    player.buildAtStart = true;
    player.creator = stub(QStringLiteral("Vidéo"));
    KvoPageRegistry::add(player);
    createWindow();
    KvoPageRegistry::remove(QStringLiteral("player"));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto* section = child<QLabel>("labelBoutique");
    window->resize(1000, 579);
    QTRY_VERIFY(section->isHidden());
    QVERIFY(child<QLabel>("labelReseaux")->isHidden());
    window->resize(1000, 580);
    QTRY_VERIFY(!section->isHidden());

    // On the player page the control bar shows; a narrow window drops the
    // comment, bookmark and link buttons and the online label.
    auto* comment = child<QPushButton>("buttonComment");
    window->changePage(QStringLiteral("player"), true);
    QVERIFY(!child<QPushButton>("buttonPlay")->isHidden());
    QVERIFY(!child<QPushButton>("buttonFullscreen")->isHidden());
    QVERIFY(child<QPushButton>("buttonNormal")->isHidden());
    QVERIFY(!comment->isHidden());
    window->setMinimumSize(550, 400); // as in the learning mode
    window->resize(749, 600);
    QTRY_VERIFY(comment->isHidden());
    QVERIFY(child<QLabel>("labelOnline")->isHidden());
    window->resize(750, 600);
    QTRY_VERIFY(!comment->isHidden());
    QVERIFY(!child<QLabel>("labelOnline")->isHidden());
    // Leaving the player hides the control bar again.
    window->changePage(QStringLiteral("accueil"), true);
    QVERIFY(comment->isHidden());
    QVERIFY(child<QPushButton>("buttonPlay")->isHidden());
}

// Whatever the screen and its scale factor (the suite runs this again with a
// factor of 2), the window and its close button stay on the screen.
void TestMainWindow::fitsTheScreen()
{
    // Frameless, as a session's window is.
    createWindow(false, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint);
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect available = window->screen()->availableGeometry();
    const auto describe = [](const QRect& r) {
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    QVERIFY2(available.contains(window->geometry()),
             qPrintable(describe(window->geometry()) + QStringLiteral(" on ") + describe(available)));
    QVERIFY(window->minimumWidth() <= available.width());
    QVERIFY(window->minimumHeight() <= available.height());
    auto* close = child<QPushButton>("buttonClose");
    QVERIFY(close->isVisible());
    const QRect closeRect(close->mapToGlobal(QPoint(0, 0)), close->size());
    QVERIFY2(available.contains(closeRect), qPrintable(QStringLiteral("close button at %1,%2")
                                                           .arg(closeRect.x()).arg(closeRect.y())));
    // The grip resizes no further down than the screen either.
    window->resize(1, 1);
    QVERIFY2(available.contains(window->geometry()), qPrintable(describe(window->geometry())));
}

void TestMainWindow::hasVisibleSoftwares()
{
    QMap<int, KvoSoftware> softwares;
    softwares.insert(4, KvoSoftware());
    KvoVideoFile onDisk;
    onDisk.fileId = 1;
    onDisk.KvoPath = QStringLiteral("/videos/1.qoz");
    KvoVideoFile missing;
    missing.fileId = 2;
    KvoPurchase purchase;
    purchase.id = 9;
    purchase.softwareIDs = {4};
    purchase.files.insert(2, missing);
    QMap<int, KvoPurchase> purchases{{9, purchase}};
    QVERIFY(!KvoMainWindow::hasVisibleSoftwares(purchases, softwares));
    purchases[9].files.insert(1, onDisk);
    QVERIFY(KvoMainWindow::hasVisibleSoftwares(purchases, softwares));
    // Every video hidden: nothing to list.
    purchases[9].files[1].hidden = true;
    purchases[9].files[2].hidden = true;
    QVERIFY(!KvoMainWindow::hasVisibleSoftwares(purchases, softwares));
    purchases[9].files[2].hidden = false;
    QVERIFY(KvoMainWindow::hasVisibleSoftwares(purchases, softwares));
    // A software the library does not know.
    purchases[9].softwareIDs = {5};
    QVERIFY(!KvoMainWindow::hasVisibleSoftwares(purchases, softwares));
}

void TestMainWindow::linkAndMessageQueues()
{
    // Online, links and files wait until the first update of the library
    // has ended; one that fails (no service here) or changes nothing ends
    // the wait as well as one that writes the library.
    KvoGuiThreadSpy ended(KvoPurchaseVideoManager::instance(), &KvoPurchaseVideoManager::updateEnded);
    QVERIFY(KvoMainWindow::createInstance(true));
    KvoMainWindow* window = KvoMainWindow::instance();
    QVERIFY(!window->isLibraryReady());
    const QUrl link(QStringLiteral("vorn:download:1234"));
    QCOMPARE(link.toString(), QStringLiteral("vorn:download:1234"));
    window->onNewUrlFromInstance(link);
    window->onNewUrlFromInstance(link);
    window->onNewUrlFromInstance(QUrl());
    QCOMPARE(window->queuedLinks(), QList<QUrl>{link});

    QTemporaryFile file;
    QVERIFY(file.open());
    KvoMainWindow::setImportErrorDialog([] {});
    window->onNewMessageFromInstance(QStringLiteral("/no/such/file.qoz"));
    window->onNewMessageFromInstance(QString());
    window->onNewMessageFromInstance(file.fileName());
    window->onNewMessageFromInstance(file.fileName());
    QCOMPARE(window->queuedMessages(), QStringList{file.fileName()});

    QTRY_VERIFY_WITH_TIMEOUT(ended.count() > 0, 10000);
    QTRY_VERIFY(window->isLibraryReady());
    QVERIFY(window->queuedLinks().isEmpty());
    QVERIFY(window->queuedMessages().isEmpty());
    KvoMainWindow::setImportErrorDialog(nullptr);
}

// The window reaches pages only through their hooks: library updates go
// to every page built, a link to the first page that takes it, the end of
// the session to every page.
void TestMainWindow::pageHooks()
{
    KvoPageRegistry::Page downloads;
    downloads.key = QStringLiteral("downloads");
    downloads.menuButton = QStringLiteral("buttonTelecharger");
    downloads.buildAtStart = true;
    downloads.creator = [](KvoMainWindow* window, const QString& key) -> QWidget* {
        auto* page = KvoMainWindow::createPage<StubPage>(window);
        page->setup(key, QStringLiteral("À télécharger"));
        page->acceptsLinks = true;
        return page;
    };
    KvoPageRegistry::add(downloads);
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    StubPage* home = pageOf(QStringLiteral("accueil"));
    StubPage* list = pageOf(QStringLiteral("downloads"));
    QVERIFY(list);
    // Built at start, not shown; its menu entry opens it.
    QCOMPARE(list->shows, 0);
    child<QPushButton>("buttonTelecharger")->click();
    QCOMPARE(window->currentKey(), QStringLiteral("downloads"));
    QVERIFY(child<QPushButton>("buttonTelecharger")->styleSheet().contains(QLatin1String("#191a22")));
    KvoPageRegistry::remove(QStringLiteral("downloads"));

    // The first poll ended before the test: both pages heard of it once.
    const int homeUpdates = home->libraryUpdates;
    QCOMPARE(list->libraryUpdates, homeUpdates);
    emit KvoPurchaseVideoManager::instance()->databaseUpdated();
    QCOMPARE(home->libraryUpdates, homeUpdates + 1);
    QCOMPARE(list->libraryUpdates, homeUpdates + 1);

    // Once the library is there a link is handed over at once.
    window->onNewUrlFromInstance(QUrl(QStringLiteral("vorn:download:1234:from:mail")));
    window->onNewUrlFromInstance(QUrl(QStringLiteral("https://example.org")));
    QCOMPARE(list->links.size(), 1);
    QCOMPARE(list->links.first().value(QStringLiteral("download")), QStringLiteral("1234"));
    QVERIFY(home->links.isEmpty());
    QVERIFY(window->queuedLinks().isEmpty());

    window->onClose();
    QCOMPARE(home->closings, 1);
    QCOMPARE(list->closings, 1);
    window->onClose();
    QCOMPARE(list->closings, 1);
}

void TestMainWindow::closeSequence()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    window->startFade(true);
    QTRY_COMPARE(window->fadeLevel(), 1.0);
    // A close by the window manager runs the close sequence.
    window->close();
    QVERIFY(window->isClosing());
    QVERIFY(window->isVisible());
    window->onClose(); // again during the fade: harmless
    QTRY_VERIFY(!window->isVisible());
    QVERIFY(!window->isSessionExpired());
    QCOMPARE(window->fadeLevel(), 0.0);
    KvoMainWindow::destroyInstance();

    // The disconnect button returns to the sign-in.
    createWindow();
    window = KvoMainWindow::instance();
    window->show();
    child<QPushButton>("buttonDisconnect")->click();
    QVERIFY(window->isSessionExpired());
    QVERIFY(window->isClosing());
    QTRY_VERIFY(!window->isVisible());
}

void TestMainWindow::sessionExpiry()
{
    createWindow();
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    window->changePage(QStringLiteral("news"), true);
    // The session-expired notice is modal: close it once it shows.
    bool noticeShown = false;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("UISessionDialog"), [&](KvoDialog* dialog) {
        noticeShown = !window->isVisible();
        dialog->closeWithCancel();
    });
    emit KvoPurchaseVideoManager::instance()->sessionExpired();
    QVERIFY2(driver.done(), driver.report());
    QVERIFY(noticeShown);
    QCOMPARE(window->currentKey(), QStringLiteral("accueil"));
    QVERIFY(!window->isVisible());
    QVERIFY(window->isSessionExpired());
    QVERIFY(window->isClosing());
}

void TestMainWindow::runSession()
{
    QList<QUrl> links;
    bool endingCalled = false;
    KvoMainWindow::SessionHooks hooks;
    hooks.started = [&links](KvoMainWindow* window) { links = window->queuedLinks(); };
    // The session runs the window modally: sign out from inside its loop.
    KvoDialogDriver driver;
    driver.expect<KvoMainWindow>(QStringLiteral("KvoMainWindow"), [](KvoMainWindow* window) {
        window->setHasToUpdate(true);
        window->findChild<QPushButton*>(QStringLiteral("buttonDisconnect"))->click();
    });
    hooks.ending = [&endingCalled](KvoMainWindow* window) {
        endingCalled = window == KvoMainWindow::instance();
    };
    const KvoMainWindow::SessionEnd end =
        KvoMainWindow::runSession(true, QStringLiteral("vorn:download:77"), hooks);
    QVERIFY2(driver.done(), driver.report());
    QVERIFY(end.sessionExpired);
    QVERIFY(end.hasToUpdate);
    QVERIFY(endingCalled);
    QCOMPARE(links, QList<QUrl>{QUrl(QStringLiteral("vorn:download:77"))});
    QVERIFY(!KvoMainWindow::instance());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
