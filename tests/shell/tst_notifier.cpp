#include "IKvoPage.h"
#include "KvoApi.h"
#include "KvoConnectionStateManager.h"
#include "KvoDatabase.h"
#include "KvoDesktopNotifier.h"
#include "KvoEnvironment.h"
#include "KvoMainWindow.h"
#include "KvoPageRequest.h"
#include "KvoNotificationBox.h"
#include "KvoNotifier.h"
#include "KvoPageRegistry.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoDialogDriver.h"
#include "KvoFifoTrap.h"
#include "KvoGuiThreadSpy.h"
#include "KvoScreenshots.h"
#include "KvoTestBus.h"
#include "KvoTestSupport.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QThreadPool>
#include <QUrl>
#include <QWindow>

#include <QApplication>
#include <QMetaMethod>

#include <functional>
#include <vector>
#include <memory>

namespace {

const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");
const QString ServicePath = QStringLiteral("/org/freedesktop/Notifications");

QVariantMap parsed(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object().toVariantMap();
}

QRect area()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

void removeAllBoxes()
{
    const QList<KvoNotificationBox*> open = KvoNotificationBox::openBoxes();
    for (KvoNotificationBox* box : open)
        delete box;
}

// A click as the window system delivers it, so that modal blocking applies.
void clickWindow(QWidget* widget, const QPoint& pos)
{
    QWindow* window = widget->window()->windowHandle();
    QVERIFY(window);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, widget->mapTo(widget->window(), pos));
}

} // namespace

// A page of the main window that only says when it is shown.
class StandInPage : public QWidget, public IKvoPage
{
    Q_OBJECT
public:
    StandInPage(QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags)
    {
    }
    QString title() const override { return key; }
    QString name() const override { return key; }
    QWidget* parentPage() const override { return nullptr; }
    void onShow() override
    {
        if (shown)
            shown();
    }
    void onRequest(const KvoPageRequest& request) override { lastRequest = request; }

    QString key;
    std::function<void()> shown;
    KvoPageRequest lastRequest;

signals:
    void onChangePage(const QString& key, bool addToHistory);
};

// What a followed link did to the main window, in order.
class Recorder : public QObject
{
    Q_OBJECT
public:
    QStringList steps;
    QList<QUrl> urls;
    QWidget detailPage;

    KvoNotifier::Navigation navigation()
    {
        KvoNotifier::Navigation nav;
        nav.available = [] { return true; };
        nav.raise = [this] { steps << QStringLiteral("raise"); };
        nav.changePage = [this](const KvoPageRequest& request) {
            // A switch to the player names what it is to show.
            if (request.idSoftware || request.selectedIdVideo || request.parentArianne) {
                steps << QStringLiteral("param idSoftware %1").arg(request.idSoftware);
                steps << QStringLiteral("param parentArianne %1")
                             .arg(request.parentArianne.data() == &detailPage ? QStringLiteral("page")
                                                                               : QStringLiteral("null"));
                steps << QStringLiteral("param selectedIdVideo %1").arg(request.selectedIdVideo);
            }
            steps << QStringLiteral("page %1 %2").arg(request.key, request.addToHistory ? QStringLiteral("history")
                                                                                      : QStringLiteral("no-history"));
        };
        nav.page = [this](const QString& key) -> QWidget* {
            return key == QLatin1String("detail_software_12") ? &detailPage : nullptr;
        };
        return nav;
    }

public slots:
    void openUrl(const QUrl& url) { urls << url; }
};

// The desktop's notification service, played on a connection of its own.
class FakeNotifications : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    enum Mode { Answer, Refuse, Silent };
    struct Call
    {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
    };

    explicit FakeNotifications(const QDBusConnection& connection)
        : m_connection(connection)
    {
    }

    Mode mode = Answer;
    QList<Call> calls;
    QList<uint> closed;

    // A signal of the service, from this connection or another one.
    static void emitSignal(QDBusConnection connection, const QString& name, uint id, const QVariant& arg)
    {
        QDBusMessage message = QDBusMessage::createSignal(ServicePath, ServiceName, name);
        message << id << arg;
        connection.send(message);
    }
    void click(uint id) { emitSignal(m_connection, QStringLiteral("ActionInvoked"), id, QStringLiteral("default")); }

public slots:
    QStringList GetCapabilities()
    {
        return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
    }
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        Q_UNUSED(replaces)
        calls.append(Call{app, icon, summary, body, actions, hints, timeout});
        if (mode == Refuse) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("refused"));
            return 0;
        }
        if (mode == Silent) {
            setDelayedReply(true); // and never answers
            return 0;
        }
        return m_nextId++;
    }
    void CloseNotification(uint id) { closed.append(id); }

private:
    QDBusConnection m_connection;
    uint m_nextId = 1;
};

class TestNotifier : public QObject
{
    Q_OBJECT

private:
    bool busReady();
    void setBrokenServiceInstalled(bool installed);
    void useInAppMask(uint extraBits = 0);

    std::unique_ptr<KvoTestHome> m_home;
    Recorder m_recorder;
    std::unique_ptr<FakeNotifications> m_fake;
    bool m_registered = false;

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    // the notifier
    void linkMaps_data();
    void linkMaps();
    void maskFilter_data();
    void maskFilter();
    void cornerPerPositionBit_data();
    void cornerPerPositionBit();
    void loadAndSaveMask();
    void followLink_data();
    void followLink();
    void contextClick_data();
    void contextClick();
    void clickWithoutMainWindow();
    void clickWithRealMainWindow();

    // the box
    void stacking();
    void bottomBoxesStackUpwards();
    void comingInAndLeaving();
    void eliding();
    void updateTextCut();
    void titlesStayText();
    void clickableWhileModal();
    void boxLook();

    // the desktop service
    void desktopDelivery();
    void desktopVideoClickAndClose();
    void desktopClickFromStranger();
    void desktopFallback_data();
    void desktopFallback();
    void desktopSlowServiceNoSecondBox();
    void desktopServiceCheck();
    void desktopCloseAllAtSessionEnd();
    void withoutBusOwnBoxes();
};

bool TestNotifier::busReady()
{
    return KvoTestBus::available() && QDBusConnection::sessionBus().isConnected();
}

// A notification service the bus knows how to start, whose program fails.
void TestNotifier::setBrokenServiceInstalled(bool installed)
{
    QFile file(KvoTestBus::serviceFolder() + QStringLiteral("/org.freedesktop.Notifications.service"));
    if (installed) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/false\n");
        file.close();
    } else if (!file.exists()) {
        return;
    } else {
        QVERIFY(file.remove());
    }
    QVERIFY(KvoTestBus::reloadConfiguration());
}

void TestNotifier::useInAppMask(uint extraBits)
{
    KvoNotifier::instance()->saveMask(KvoNotifier::EnabledBit | KvoNotifier::VideoKindBit
                                      | KvoNotifier::UpdateKindBit | extraBits);
}

void TestNotifier::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    QVERIFY(KvoDatabase::open(m_home->path() + QStringLiteral("/database.sqlite")));
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_recorder, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_recorder, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_recorder, "openUrl");

    if (busReady()) {
        QDBusConnection fake = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"));
        QVERIFY(fake.isConnected());
        m_fake = std::make_unique<FakeNotifications>(fake);
        QVERIFY(fake.registerObject(ServicePath, m_fake.get(), QDBusConnection::ExportAllSlots));
        KvoDesktopNotifier::instance()->setTimeout(500);
    }
}

void TestNotifier::init()
{
    KvoEnvironment::setCurrentUserId(QString());
    KvoNotifier::setNavigation(m_recorder.navigation());
    m_recorder.steps.clear();
    m_recorder.urls.clear();
    if (m_fake) {
        m_fake->mode = FakeNotifications::Answer;
        m_fake->calls.clear();
        m_fake->closed.clear();
        QDBusConnection fake(QStringLiteral("fake"));
        m_registered = fake.registerService(ServiceName);
        QVERIFY(m_registered);
    }
}

void TestNotifier::cleanup()
{
    removeAllBoxes();
    KvoDesktopNotifier::instance()->closeAll();
    if (m_fake) {
        QDBusConnection(QStringLiteral("fake")).unregisterService(ServiceName);
        setBrokenServiceInstalled(false);
    }
}

void TestNotifier::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    if (m_fake) {
        QDBusConnection(QStringLiteral("fake")).unregisterObject(ServicePath);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }
    KvoDatabase::close();
}

// --- the notifier ----------------------------------------------------------

void TestNotifier::linkMaps_data()
{
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QString>("expected"); // compact JSON, empty for none

    QTest::newRow("page key") << KvoNotifier::linkForText(QStringLiteral("config"))
                              << QStringLiteral("{\"page\":\"config\",\"type\":0}");
    QTest::newRow("scheme") << KvoNotifier::linkForText(QStringLiteral("https://example.org/a"))
                            << QStringLiteral("{\"addr\":\"https://example.org/a\",\"type\":1}");
    QTest::newRow("www") << KvoNotifier::linkForText(QStringLiteral("www.example.org"))
                         << QStringLiteral("{\"addr\":\"www.example.org\",\"type\":1}");
    QTest::newRow("WWW is no address") << KvoNotifier::linkForText(QStringLiteral("WWW.example.org"))
                                       << QStringLiteral("{\"page\":\"WWW.example.org\",\"type\":0}");
    QTest::newRow("no link") << KvoNotifier::linkForText(QString()) << QString();
    QTest::newRow("ids") << KvoNotifier::linkForIds(12, 34)
                         << QStringLiteral("{\"softwareId\":12,\"type\":2,\"videoId\":34}");
    QTest::newRow("context video") << KvoNotifier::linkForContext(QStringLiteral("video:12~34"))
                                   << QStringLiteral("{\"softwareId\":12,\"type\":2,\"videoId\":34}");
    QTest::newRow("context page") << KvoNotifier::linkForContext(QStringLiteral("config"))
                                  << QStringLiteral("{\"page\":\"config\",\"type\":0}");
    QTest::newRow("context video without video id")
        << KvoNotifier::linkForContext(QStringLiteral("video:12")) << QString();
    QTest::newRow("context video not numbers")
        << KvoNotifier::linkForContext(QStringLiteral("video:a~b")) << QString();
    QTest::newRow("context empty") << KvoNotifier::linkForContext(QString()) << QString();
    QTest::newRow("desktop context of -1")
        << KvoNotifier::linkForContext(KvoDesktopNotifier::videoContext(-1, 34)) << QString();
}

void TestNotifier::linkMaps()
{
    QFETCH(QByteArray, link);
    QFETCH(QString, expected);
    if (expected.isEmpty())
        QVERIFY(link.isEmpty());
    else
        QCOMPARE(parsed(link), parsed(expected.toUtf8()));
}

void TestNotifier::maskFilter_data()
{
    QTest::addColumn<uint>("mask");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("shown");

    const QString video = KvoNotifier::videoDownloadKind();
    const QString update = KvoNotifier::updateDownloadKind();
    const QString test = KvoNotifier::testKind();
    QTest::newRow("default, video") << 774u << video << true;
    QTest::newRow("default, update") << 774u << update << true;
    QTest::newRow("default, test") << 774u << test << true;
    QTest::newRow("mask 0, test") << 0u << test << false;
    QTest::newRow("disabled, video") << (774u & ~0x2u) << video << false;
    QTest::newRow("disabled, test") << (774u & ~0x2u) << test << false;
    QTest::newRow("no video kind, video") << (774u & ~0x100u) << video << false;
    QTest::newRow("no video kind, update") << (774u & ~0x100u) << update << true;
    QTest::newRow("no video kind, test") << (774u & ~0x100u) << test << true;
    QTest::newRow("no update kind, update") << (774u & ~0x200u) << update << false;
    QTest::newRow("no update kind, video") << (774u & ~0x200u) << video << true;
    QTest::newRow("only enabled, test") << 0x2u << test << true;
    QTest::newRow("only enabled, video") << 0x2u << video << false;
}

void TestNotifier::maskFilter()
{
    QFETCH(uint, mask);
    QFETCH(QString, kind);
    QFETCH(bool, shown);
    KvoNotifier::instance()->saveMask(mask);
    QCOMPARE(KvoNotifier::instance()->mask(), mask);
    KvoNotifier::instance()->notifyText(QStringLiteral("Vistrelle"), QStringLiteral("Test de notification"), kind);
    QCOMPARE(KvoNotificationBox::openBoxes().size(), shown ? 1 : 0);
    if (shown) {
        KvoNotificationBox* box = KvoNotificationBox::openBoxes().constFirst();
        QCOMPARE(box->title(), QStringLiteral("Vistrelle"));
        QCOMPARE(box->text(), QStringLiteral("Test de notification"));
        QVERIFY(box->link().isEmpty());
        QVERIFY(box->isAutoClose());
    }
}

void TestNotifier::cornerPerPositionBit_data()
{
    QTest::addColumn<uint>("positionBits");
    QTest::addColumn<int>("corner");
    QTest::addColumn<QString>("place"); // as the settings page's label says

    QTest::newRow("0x4 Bas à gauche") << 0x4u << 3 << QStringLiteral("bottom left");
    QTest::newRow("0x8 Bas au centre") << 0x8u << 4 << QStringLiteral("bottom centre");
    QTest::newRow("0x10 Bas à droite") << 0x10u << 5 << QStringLiteral("bottom right");
    QTest::newRow("0x20 Haut à gauche") << 0x20u << 0 << QStringLiteral("top left");
    QTest::newRow("0x40 Haut au centre") << 0x40u << 1 << QStringLiteral("top centre");
    QTest::newRow("0x80 Haut à droite") << 0x80u << 2 << QStringLiteral("top right");
    QTest::newRow("first bit wins") << (0x80u | 0x10u) << 5 << QStringLiteral("bottom right");
}

void TestNotifier::cornerPerPositionBit()
{
    QFETCH(uint, positionBits);
    QFETCH(int, corner);
    QFETCH(QString, place);
    QCOMPARE(KvoNotifier::cornerForMask(positionBits), corner);

    useInAppMask(positionBits);
    KvoNotifier::instance()->notifyUrl(QStringLiteral("Mise à jour téléchargée"),
                                       QStringLiteral("Vous pouvez procéder à l'installation"),
                                       KvoNotifier::updateDownloadKind(), QStringLiteral("config"));
    QCOMPARE(KvoNotifier::corner(), corner);
    QCOMPARE(KvoNotificationBox::openBoxes().size(), 1);
    KvoNotificationBox* box = KvoNotificationBox::openBoxes().constFirst();
    QCOMPARE(box->position(), corner);
    QTRY_COMPARE(box->opacity(), 1.0);
    const QRect g = area();
    const QRect r = box->geometry();
    QCOMPARE(r.size(), QSize(252, 54));
    QCOMPARE(r.topLeft(), box->targetPosition());
    // Right and bottom count from the area's last pixel column and row.
    if (place.startsWith(QLatin1String("top")))
        QCOMPARE(r.top(), g.top() + 10);
    else
        QCOMPARE(r.top(), g.bottom() - 54 - 10);
    if (place.endsWith(QLatin1String("left")))
        QCOMPARE(r.left(), g.left() + 10);
    else if (place.endsWith(QLatin1String("right")))
        QCOMPARE(r.left(), g.right() - 252 - 10);
    else
        QCOMPARE(r.left(), g.left() + g.width() / 2 - 252 / 2);

    // Without a position bit the corner stays as it was.
    removeAllBoxes();
    useInAppMask();
    KvoNotifier::instance()->notifyText(QStringLiteral("t"), QStringLiteral("x"), KvoNotifier::testKind());
    QCOMPARE(KvoNotifier::corner(), corner);
}

void TestNotifier::loadAndSaveMask()
{
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO `configurations` (`notifications_mask`) VALUES (123)")));
    const qlonglong configuration = q.lastInsertId().toLongLong();
    QVERIFY(q.prepare(QStringLiteral("INSERT INTO `users` (`id_qoz_user`, `id_configuration`) VALUES (:u, :c)")));
    q.bindValue(QStringLiteral(":u"), QStringLiteral("user-one"));
    q.bindValue(QStringLiteral(":c"), configuration);
    QVERIFY(q.exec());
    auto stored = [configuration] {
        QSqlQuery read(KvoDatabase::database());
        read.prepare(QStringLiteral("SELECT notifications_mask FROM configurations WHERE rowid = :r"));
        read.bindValue(QStringLiteral(":r"), configuration);
        return read.exec() && read.next() ? read.value(0).toUInt() : 0u;
    };

    KvoNotifier* notifier = KvoNotifier::instance();
    KvoEnvironment::setCurrentUserId(QStringLiteral("user-one"));
    notifier->loadMask();
    QCOMPARE(notifier->mask(), 123u);
    notifier->saveMask(0x2 | 0x20 | 0x100);
    QCOMPARE(stored(), 0x122u);
    notifier->loadMask();
    QCOMPARE(notifier->mask(), 0x122u);

    // A user without a row gets the default, not the previous user's mask,
    // and saving for them writes nothing.
    KvoEnvironment::setCurrentUserId(QStringLiteral("user-two"));
    notifier->loadMask();
    QCOMPARE(notifier->mask(), KvoNotifier::DefaultMask);
    notifier->saveMask(0x3);
    QCOMPARE(notifier->mask(), 0x3u);
    QCOMPARE(stored(), 0x122u);

    // The user id is a value, not SQL.
    KvoEnvironment::setCurrentUserId(QStringLiteral("x' OR '1'='1"));
    notifier->loadMask();
    QCOMPARE(notifier->mask(), KvoNotifier::DefaultMask);
    notifier->saveMask(0x7);
    QCOMPARE(stored(), 0x122u);
}

void TestNotifier::followLink_data()
{
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("url");

    QTest::newRow("page key") << KvoNotifier::linkForText(QStringLiteral("config"))
                              << QStringList{QStringLiteral("page config history")} << QString();
    QTest::newRow("web address") << KvoNotifier::linkForText(QStringLiteral("https://example.org/x"))
                                 << QStringList() << QStringLiteral("https://example.org/x");
    QTest::newRow("www address") << KvoNotifier::linkForText(QStringLiteral("www.example.org"))
                                 << QStringList() << QStringLiteral("http://www.example.org");
    QTest::newRow("video") << KvoNotifier::linkForIds(12, 34)
                           << QStringList{QStringLiteral("page detail_software_12 no-history"),
                                          QStringLiteral("param idSoftware 12"),
                                          QStringLiteral("param parentArianne page"),
                                          QStringLiteral("param selectedIdVideo 34"),
                                          QStringLiteral("page player history")}
                           << QString();
    // Neither a page key nor a web address: nothing happens.
    QTest::newRow("file address") << KvoNotifier::linkForText(QStringLiteral("file:///etc/passwd"))
                                  << QStringList() << QString();
    QTest::newRow("other scheme") << KvoNotifier::linkForText(QStringLiteral("javascript:alert(1)"))
                                  << QStringList() << QString();
    QTest::newRow("words") << KvoNotifier::linkForText(QStringLiteral("not a page"))
                           << QStringList() << QString();
    QTest::newRow("unknown type") << QByteArray("{\"type\":7,\"page\":\"config\"}") << QStringList()
                                  << QString();
    QTest::newRow("no JSON") << QByteArray("config") << QStringList() << QString();
    QTest::newRow("ids missing") << QByteArray("{\"type\":2}") << QStringList() << QString();
}

void TestNotifier::followLink()
{
    QFETCH(QByteArray, link);
    QFETCH(QStringList, steps);
    QFETCH(QString, url);
    KvoNotifier::followLink(link);
    QCOMPARE(m_recorder.steps, steps);
    if (url.isEmpty())
        QVERIFY(m_recorder.urls.isEmpty());
    else
        QCOMPARE(m_recorder.urls, QList<QUrl>{QUrl(url)});
}

void TestNotifier::contextClick_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("urls");

    QTest::newRow("empty: not even raised") << QString() << QStringList() << 0;
    QTest::newRow("page key") << QStringLiteral("config")
                              << QStringList{QStringLiteral("raise"), QStringLiteral("page config history")}
                              << 0;
    QTest::newRow("address") << QStringLiteral("http://example.org") << QStringList{QStringLiteral("raise")}
                             << 1;
    QTest::newRow("video 12 34") << KvoDesktopNotifier::videoContext(12, 34)
                                 << QStringList{QStringLiteral("raise"),
                                                QStringLiteral("page detail_software_12 no-history"),
                                                QStringLiteral("param idSoftware 12"),
                                                QStringLiteral("param parentArianne page"),
                                                QStringLiteral("param selectedIdVideo 34"),
                                                QStringLiteral("page player history")}
                                 << 0;
    QTest::newRow("video without second part") << QStringLiteral("video:12")
                                               << QStringList{QStringLiteral("raise")} << 0;
    QTest::newRow("video with junk") << QStringLiteral("video:12~34~5")
                                     << QStringList{QStringLiteral("raise")} << 0;
}

void TestNotifier::contextClick()
{
    QFETCH(QString, context);
    QFETCH(QStringList, steps);
    QFETCH(int, urls);
    KvoNotifier::instance()->onDesktopNotificationClicked(context);
    QCOMPARE(m_recorder.steps, steps);
    QCOMPARE(m_recorder.urls.size(), urls);
}

void TestNotifier::clickWithoutMainWindow()
{
    KvoNotifier::setNavigation(KvoNotifier::Navigation());
    QVERIFY(!KvoMainWindow::instance());

    KvoNotifier::followLink(KvoNotifier::linkForText(QStringLiteral("config")));
    KvoNotifier::followLink(KvoNotifier::linkForIds(12, 34));
    KvoNotifier::instance()->onDesktopNotificationClicked(QStringLiteral("video:12~34"));
    KvoNotifier::instance()->onDesktopNotificationClicked(QStringLiteral("config"));
    QVERIFY(!KvoMainWindow::instance());

    // A box of the ended session, clicked.
    useInAppMask(0x80);
    KvoNotifier::instance()->notifyVideo(QStringLiteral("Téléchargement terminé"), QStringLiteral("Cours"),
                                         KvoNotifier::videoDownloadKind(), 12, 34);
    QCOMPARE(KvoNotificationBox::openBoxes().size(), 1);
    QPointer<KvoNotificationBox> box = KvoNotificationBox::openBoxes().constFirst();
    QTRY_COMPARE(box->opacity(), 1.0);
    clickWindow(box, QPoint(60, 27));
    QTRY_VERIFY(box.isNull());

    // A web address needs no window.
    KvoNotifier::followLink(KvoNotifier::linkForText(QStringLiteral("https://example.org")));
    QCOMPARE(m_recorder.urls.size(), 1);
}

// The default navigation against a real main window with stand-in pages.
void TestNotifier::clickWithRealMainWindow()
{
    KvoNotifier::setNavigation(KvoNotifier::Navigation());
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoConnectionStateManager::setTimingForTesting(600000, 200);
    KvoPageRegistry::clear();
    KvoPageRequest playerSaw;
    auto plain = [](KvoMainWindow* window, const QString& key) -> QWidget* {
        auto* page = KvoMainWindow::createPage<StandInPage>(window);
        page->key = key;
        return page;
    };
    KvoPageRegistry::add(QStringLiteral("accueil"), plain);
    KvoPageRegistry::add(QStringLiteral("config"), plain);
    KvoPageRegistry::addPattern(QStringLiteral("detail_software_"), plain);
    KvoPageRegistry::add(QStringLiteral("player"), [&playerSaw](KvoMainWindow* window, const QString& key) -> QWidget* {
        auto* page = KvoMainWindow::createPage<StandInPage>(window);
        page->key = key;
        page->shown = [&playerSaw, page] { playerSaw = page->lastRequest; };
        return page;
    });

    {
        KvoGuiThreadSpy ended(KvoPurchaseVideoManager::instance(), &KvoPurchaseVideoManager::updateEnded);
        QVERIFY(KvoMainWindow::createInstance(false));
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() > 0, 10000);
    }
    KvoMainWindow* window = KvoMainWindow::instance();
    KvoNotifier::instance()->onDesktopNotificationClicked(KvoDesktopNotifier::videoContext(12, 34));
    QCOMPARE(window->currentKey(), QStringLiteral("player"));
    QCOMPARE(playerSaw.idSoftware, 12u);
    QCOMPARE(playerSaw.selectedIdVideo, 34u);
    QWidget* detail = window->pages().value(QStringLiteral("detail_software_12")).first;
    QVERIFY(detail);
    QCOMPARE(playerSaw.parentArianne.data(), detail);
    QCOMPARE(window->history().last(), QStringLiteral("player"));
    QVERIFY(!window->history().contains(QStringLiteral("detail_software_12")));

    KvoNotifier::followLink(KvoNotifier::linkForText(QStringLiteral("config")));
    QCOMPARE(window->currentKey(), QStringLiteral("config"));

    // The session ends; a box of it is clicked afterwards.
    KvoMainWindow::destroyInstance();
    KvoPurchaseVideoManager::destroy();
    KvoNotifier::followLink(KvoNotifier::linkForIds(12, 34));
    KvoNotifier::instance()->onDesktopNotificationClicked(QStringLiteral("config"));
    QVERIFY(!KvoMainWindow::instance());
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
}

// --- the box ---------------------------------------------------------------

void TestNotifier::stacking()
{
    auto show = [] {
        auto* box = new KvoNotificationBox();
        box->showAt(2, 200, false);
        return QPointer<KvoNotificationBox>(box);
    };
    QPointer<KvoNotificationBox> first = show();
    QPointer<KvoNotificationBox> second = show();
    QPointer<KvoNotificationBox> third = show();
    const QPoint base = first->targetPosition();
    QCOMPARE(base, QPoint(area().right() - 252 - 10, area().top() + 10));
    QCOMPARE(second->targetPosition(), base + QPoint(0, 64));
    QCOMPARE(third->targetPosition(), base + QPoint(0, 128));
    QCOMPARE(QList<int>({first->stackSlot(), second->stackSlot(), third->stackSlot()}), QList<int>({0, 1, 2}));

    // Another corner has its own stack.
    QPointer<KvoNotificationBox> elsewhere = new KvoNotificationBox();
    elsewhere->showAt(0, 200, false);
    QCOMPARE(elsewhere->stackSlot(), 0);

    // Slot 0 is taken again once its box has gone; the others do not move.
    QTRY_COMPARE(first->opacity(), 1.0);
    clickWindow(first->findChild<QPushButton*>(QStringLiteral("closeButton")), QPoint(6, 6));
    QTRY_VERIFY(first.isNull());
    QPointer<KvoNotificationBox> fourth = show();
    QCOMPARE(fourth->stackSlot(), 0);
    QCOMPARE(fourth->targetPosition(), base);
    QCOMPARE(second->targetPosition(), base + QPoint(0, 64));
}

void TestNotifier::bottomBoxesStackUpwards()
{
    auto* first = new KvoNotificationBox();
    first->showAt(4, 200, false);
    auto* second = new KvoNotificationBox();
    second->showAt(4, 200, false);
    const QRect g = area();
    QCOMPARE(first->targetPosition(), QPoint(g.left() + g.width() / 2 - 126, g.bottom() - 54 - 10));
    QCOMPARE(second->targetPosition(), first->targetPosition() - QPoint(0, 64));
    // It comes from below: it starts one box height lower.
    QVERIFY(second->pos().y() > second->targetPosition().y());
    // An unknown position stays at the origin.
    auto* stray = new KvoNotificationBox();
    stray->showAt(9, 200, false);
    QCOMPARE(stray->targetPosition(), QPoint(0, 0));
}

void TestNotifier::comingInAndLeaving()
{
    QPointer<KvoNotificationBox> box = new KvoNotificationBox();
    box->setLink(QByteArray());
    box->showAt(2, 200, false);
    // One step at once, from one box width outside, fading in.
    QCOMPARE(box->phase(), int(KvoNotificationBox::ComingIn));
    QCOMPARE(box->pos(), box->targetPosition() + QPoint(201, 0)); // 252 - 252 / 200 * 40
    QVERIFY(qFuzzyCompare(box->opacity(), 0.2));
    QTRY_COMPARE(box->phase(), int(KvoNotificationBox::StayingOrLeaving));
    QCOMPARE(box->opacity(), 1.0);
    QCOMPARE(box->pos(), box->targetPosition());

    // Without a link a click does nothing; without auto-close it stays.
    clickWindow(box, QPoint(60, 27));
    QVERIFY(KvoNotificationBox::openBoxes().contains(box));
    QCOMPARE(box->opacity(), 1.0);
    QVERIFY(m_recorder.steps.isEmpty());

    // The close button makes it leave and delete itself.
    clickWindow(box->findChild<QPushButton*>(QStringLiteral("closeButton")), QPoint(6, 6));
    QVERIFY(box->opacity() < 1.0);
    QTRY_VERIFY(box.isNull());
    QVERIFY(KvoNotificationBox::openBoxes().isEmpty());

    // A box with a link follows it once when clicked, and leaves.
    QPointer<KvoNotificationBox> linked = new KvoNotificationBox();
    linked->setLink(KvoNotifier::linkForText(QStringLiteral("config")));
    QCOMPARE(linked->cursor().shape(), Qt::PointingHandCursor);
    linked->showAt(5, 200, false);
    QTRY_COMPARE(linked->opacity(), 1.0);
    clickWindow(linked, QPoint(60, 27));
    QVERIFY(linked);
    clickWindow(linked, QPoint(60, 27));
    QCOMPARE(m_recorder.steps, QStringList{QStringLiteral("page config history")});
    QTRY_VERIFY(linked.isNull());

    // Without a slide it arrives at once, and leaves in one step.
    QPointer<KvoNotificationBox> sudden = new KvoNotificationBox();
    sudden->showAt(3, 0, false);
    QCOMPARE(sudden->opacity(), 1.0);
    QCOMPARE(sudden->pos(), sudden->targetPosition());
    clickWindow(sudden->findChild<QPushButton*>(QStringLiteral("closeButton")), QPoint(6, 6));
    QTRY_VERIFY(sudden.isNull());
}

void TestNotifier::eliding()
{
    KvoNotificationBox box;
    const QString longTitle = QStringLiteral("Téléchargement terminé de la formation complète sur le montage");
    box.setTitle(longTitle);
    const QString title = box.title();
    QVERIFY(title.endsWith(QLatin1String("...")));
    QVERIFY(longTitle.startsWith(title.chopped(3)));
    QVERIFY(QFontMetrics(box.titleLabel()->font()).horizontalAdvance(title) <= 185);
    box.setText(QStringLiteral("Court"));
    QCOMPARE(box.text(), QStringLiteral("Court"));

    // A label narrower than "..." must not make it loop.
    box.textLabel()->setFixedWidth(4);
    box.setText(QStringLiteral("abcdefgh"));
    QCOMPARE(box.text(), QStringLiteral("..."));
}

void TestNotifier::updateTextCut()
{
    // The finished update's text is wider than its label: it stays on its
    // one line, cut with "...", under the title.
    useInAppMask();
    const QString text = QStringLiteral("Vous pouvez procéder à l'installation");
    KvoNotifier::instance()->notifyUrl(QStringLiteral("Mise à jour téléchargée"), text,
                                       KvoNotifier::updateDownloadKind(), QStringLiteral("config"));
    QCOMPARE(KvoNotificationBox::openBoxes().size(), 1);
    KvoNotificationBox* box = KvoNotificationBox::openBoxes().first();
    QTRY_VERIFY(box->isVisible());
    box->grab();
    KvoScreenshots::save(box, QStringLiteral("notification-update-text"));
    QLabel* label = box->textLabel();
    const QFontMetrics metrics(label->font());
    QVERIFY(metrics.horizontalAdvance(text) > 185);
    // Its last four characters give way to "...", and then it fits.
    QCOMPARE(box->text(), QStringLiteral("Vous pouvez procéder à l'installa..."));
    QVERIFY(!label->wordWrap());
    QCOMPARE(label->size(), QSize(185, 15));
    const QRect inBox(label->mapTo(box, QPoint(0, 0)), label->size());
    QVERIFY(box->rect().contains(inBox));
    const QRect title(box->titleLabel()->mapTo(box, QPoint(0, 0)), box->titleLabel()->size());
    QVERIFY(!title.intersects(inBox));
    QCOMPARE(box->size(), QSize(252, 54));
}

void TestNotifier::titlesStayText()
{
    // The finished download's box carries a video title from the library:
    // one that looks like markup is shown as it stands, and the file it
    // names is never opened.
    useInAppMask();
    KvoFifoTrap trap;
    QVERIFY(trap.isReady());
    // The box has room for a short path only: the title names the pipe from
    // its own folder, so that it stays whole however long the temporary
    // folder's path is.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFileInfo(trap.path()).absolutePath()));
    const auto back = qScopeGuard([&before] { QDir::setCurrent(before); });
    const QString title = QStringLiteral("<img src='%1'>").arg(QFileInfo(trap.path()).fileName());
    KvoNotifier::instance()->notifyVideo(QStringLiteral("Téléchargement terminé"), title,
                                         KvoNotifier::videoDownloadKind(), 3, 31);
    QCOMPARE(KvoNotificationBox::openBoxes().size(), 1);
    KvoNotificationBox* box = KvoNotificationBox::openBoxes().first();
    QTRY_VERIFY(box->isVisible());
    box->grab();
    KvoScreenshots::save(box, QStringLiteral("notification-title-as-text"));
    QCOMPARE(box->text(), title);
    QCOMPARE(trap.opens(), 0);
}

void TestNotifier::clickableWhileModal()
{
    useInAppMask(0x80);
    QDialog modal;
    modal.resize(200, 100);
    // A plain top-level window is blocked by the modal one: the control
    // that makes this test mean something.
    QWidget plain;
    plain.resize(100, 100);
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    int plainClicks = 0;
    QPushButton* plainButton = new QPushButton(&plain);
    plainButton->resize(100, 100);
    connect(plainButton, &QPushButton::clicked, this, [&plainClicks] { ++plainClicks; });

    bool followed = false;
    modal.setObjectName(QStringLiteral("blockingDialog"));
    KvoDialogDriver driver;
    driver.expect<QDialog>(modal.objectName(), [&](QDialog*) {
        KvoNotifier::instance()->notifyUrl(QStringLiteral("Mise à jour téléchargée"), QStringLiteral("x"),
                                           KvoNotifier::updateDownloadKind(), QStringLiteral("config"));
        QPointer<KvoNotificationBox> box = KvoNotificationBox::openBoxes().value(0);
        if (box && QTest::qWaitFor([&] { return box && box->opacity() == 1.0; }, 5000)) {
            clickWindow(plainButton, QPoint(50, 50));
            clickWindow(box, QPoint(60, 27));
            followed = m_recorder.steps.contains(QStringLiteral("page config history"));
        }
        modal.done(0);
    });
    modal.exec();
    QVERIFY2(driver.done(), driver.report());
    QCOMPARE(plainClicks, 0);
    QVERIFY(followed);
}

// Each kind of box as it looks; pictures saved through KvoScreenshots.
void TestNotifier::boxLook()
{
    useInAppMask(0x80);
    KvoNotifier* notifier = KvoNotifier::instance();
    notifier->notifyVideo(QStringLiteral("Téléchargement terminé"),
                          QStringLiteral("Montage vidéo : les bases du cours complet"),
                          KvoNotifier::videoDownloadKind(), 12, 34);
    notifier->notifyUrl(QStringLiteral("Mise à jour téléchargée"),
                        QStringLiteral("Vous pouvez procéder à l'installation"),
                        KvoNotifier::updateDownloadKind(), QStringLiteral("config"));
    notifier->notifyText(QStringLiteral("Vistrelle"), QStringLiteral("Test de notification"),
                         KvoNotifier::testKind());
    const QList<KvoNotificationBox*> boxes = KvoNotificationBox::openBoxes();
    QCOMPARE(boxes.size(), 3);
    const QStringList names{QStringLiteral("video"), QStringLiteral("update"), QStringLiteral("test")};
    for (int i = 0; i < boxes.size(); ++i) {
        QTRY_COMPARE(boxes.at(i)->opacity(), 1.0);
        const QImage image = boxes.at(i)->grab().toImage();
        QCOMPARE(image.size(), QSize(252, 54));
        KvoScreenshots::save(image, QStringLiteral("notifier-box-%1").arg(names.at(i)));
        // The body is painted dark and opaque.
        const QColor body = image.pixelColor(126, 4);
        QVERIFY2(body.alpha() == 255 && body.lightness() < 40, qPrintable(body.name(QColor::HexArgb)));
    }
    QCOMPARE(boxes.at(0)->link(), KvoNotifier::linkForIds(12, 34));
    QCOMPARE(boxes.at(1)->link(), KvoNotifier::linkForText(QStringLiteral("config")));
    QVERIFY(boxes.at(2)->link().isEmpty());
    if (KvoScreenshots::enabled() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QRect r = boxes.at(0)->geometry().united(boxes.at(2)->geometry()).adjusted(-20, -20, 20, 20);
        KvoScreenshots::save(
            QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage(),
            QStringLiteral("notifier-screen"));
    }
}

// --- the desktop service ---------------------------------------------------

void TestNotifier::desktopDelivery()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    useInAppMask(KvoNotifier::DesktopBit | 0x4);
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    QSignalSpy shown(bridge, &KvoDesktopNotifier::notificationShown);
    KvoNotifier::instance()->notifyUrl(QStringLiteral("Mise à jour téléchargée"),
                                       QStringLiteral("Vous pouvez procéder à l'installation & <b>"),
                                       KvoNotifier::updateDownloadKind(), QStringLiteral("config"));
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(bridge->registeredNames(), KvoDesktopNotifier::notificationNames());
    QCOMPARE(m_fake->calls.size(), 1);
    const FakeNotifications::Call call = m_fake->calls.constFirst();
    QCOMPARE(call.app, QStringLiteral("Vistrelle"));
    QCOMPARE(call.summary, QStringLiteral("Mise à jour téléchargée"));
    // The service reads markup in the body.
    QCOMPARE(call.body, QStringLiteral("Vous pouvez procéder à l'installation &amp; &lt;b&gt;"));
    QCOMPARE(call.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Ouvrir")}));
    QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("vistrelle"));
    QCOMPARE(call.hints.value(QStringLiteral("category")).toString(), QStringLiteral("transfer.complete"));
    QCOMPARE(call.hints.value(QStringLiteral("x-vistrelle-kind")).toString(),
             KvoNotifier::updateDownloadKind());
    QCOMPARE(call.timeout, -1);
    QVERIFY(KvoNotificationBox::openBoxes().isEmpty());

    const uint id = shown.at(0).at(0).toUInt();
    QCOMPARE(shown.at(0).at(1).toString(), QStringLiteral("config"));
    m_fake->click(id);
    QTRY_COMPARE(m_recorder.steps, (QStringList{QStringLiteral("raise"), QStringLiteral("page config history")}));

    // A test notification: no click context, no action, no category.
    KvoNotifier::instance()->notifyText(QStringLiteral("Vistrelle"), QStringLiteral("Test de notification"),
                                        KvoNotifier::testKind());
    QTRY_COMPARE(shown.count(), 2);
    QVERIFY(m_fake->calls.at(1).actions.isEmpty());
    QVERIFY(!m_fake->calls.at(1).hints.contains(QStringLiteral("category")));
    // Its click does nothing; the click on the first one, sent after it,
    // shows when the bridge has handled both.
    m_recorder.steps.clear();
    m_fake->click(shown.at(1).at(0).toUInt());
    m_fake->click(id);
    QTRY_VERIFY(!m_recorder.steps.isEmpty());
    QCOMPARE(m_recorder.steps, (QStringList{QStringLiteral("raise"), QStringLiteral("page config history")}));
}

void TestNotifier::desktopVideoClickAndClose()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    useInAppMask(KvoNotifier::DesktopBit);
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    QSignalSpy shown(bridge, &KvoDesktopNotifier::notificationShown);
    KvoNotifier::instance()->notifyVideo(QStringLiteral("Téléchargement terminé"), QStringLiteral("Cours"),
                                         KvoNotifier::videoDownloadKind(), 12, 34);
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(1).toString(), QStringLiteral("video:12~34"));
    const uint id = shown.at(0).at(0).toUInt();
    QCOMPARE(bridge->openCount(), 1);
    m_fake->click(id);
    QTRY_COMPARE(m_recorder.steps.size(), 6);
    QCOMPARE(m_recorder.steps.at(1), QStringLiteral("page detail_software_12 no-history"));
    QCOMPARE(m_recorder.steps.at(5), QStringLiteral("page player history"));

    // Closed by the service: forgotten.
    FakeNotifications::emitSignal(QDBusConnection(QStringLiteral("fake")), QStringLiteral("NotificationClosed"),
                                  id, 2u);
    QTRY_COMPARE(bridge->openCount(), 0);
}

void TestNotifier::desktopClickFromStranger()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    useInAppMask(KvoNotifier::DesktopBit);
    QSignalSpy shown(KvoDesktopNotifier::instance(), &KvoDesktopNotifier::notificationShown);
    KvoNotifier::instance()->notifyUrl(QStringLiteral("t"), QStringLiteral("x"), KvoNotifier::testKind(),
                                       QStringLiteral("config"));
    QTRY_COMPARE(shown.count(), 1);
    // Another program on the bus sends the same signal with our id.
    QDBusConnection stranger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stranger"));
    FakeNotifications::emitSignal(stranger, QStringLiteral("ActionInvoked"), shown.at(0).at(0).toUInt(),
                                  QStringLiteral("default"));
    FakeNotifications::emitSignal(stranger, QStringLiteral("NotificationClosed"), shown.at(0).at(0).toUInt(), 2u);
    // Then the real service's click, which arrives after them.
    m_fake->click(shown.at(0).at(0).toUInt());
    QTRY_VERIFY(!m_recorder.steps.isEmpty());
    QCOMPARE(m_recorder.steps, (QStringList{QStringLiteral("raise"), QStringLiteral("page config history")}));
    QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
}

void TestNotifier::desktopFallback_data()
{
    QTest::addColumn<QString>("service"); // missing, broken, refusing
    QTest::newRow("service missing") << QStringLiteral("missing");
    QTest::newRow("service fails to start") << QStringLiteral("broken");
    QTest::newRow("service answers an error") << QStringLiteral("refusing");
}

void TestNotifier::desktopFallback()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    QFETCH(QString, service);
    if (service == QLatin1String("refusing")) {
        m_fake->mode = FakeNotifications::Refuse;
    } else {
        QVERIFY(QDBusConnection(QStringLiteral("fake")).unregisterService(ServiceName));
        if (service == QLatin1String("broken"))
            setBrokenServiceInstalled(true);
    }

    useInAppMask(KvoNotifier::DesktopBit | 0x20);
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    QSignalSpy failed(bridge, &KvoDesktopNotifier::notificationFailed);
    KvoNotifier::instance()->notifyVideo(QStringLiteral("Téléchargement terminé"), QStringLiteral("Cours"),
                                         KvoNotifier::videoDownloadKind(), 12, 34);
    QVERIFY(KvoNotificationBox::openBoxes().isEmpty()); // not before the service had its chance
    QTRY_COMPARE_WITH_TIMEOUT(KvoNotificationBox::openBoxes().size(), 1, 10000);
    QCOMPARE(failed.count(), 1);
    KvoNotificationBox* box = KvoNotificationBox::openBoxes().constFirst();
    QCOMPARE(box->title(), QStringLiteral("Téléchargement terminé"));
    QCOMPARE(box->link(), KvoNotifier::linkForIds(12, 34));
    QCOMPARE(box->position(), 0); // "Haut à gauche"
    QCOMPARE(m_fake->calls.isEmpty(), service != QLatin1String("refusing"));
    if (service != QLatin1String("refusing"))
        QVERIFY(!bridge->isServicePresent());
}

// A service slower than the bridge waits may still show the notification:
// no box in its place, or the user gets two.
void TestNotifier::desktopSlowServiceNoSecondBox()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    m_fake->mode = FakeNotifications::Silent;
    useInAppMask(KvoNotifier::DesktopBit | 0x20);
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    QSignalSpy failed(bridge, &KvoDesktopNotifier::notificationFailed);
    KvoNotifier::instance()->notifyVideo(QStringLiteral("Téléchargement terminé"), QStringLiteral("Cours"),
                                         KvoNotifier::videoDownloadKind(), 12, 34);
    QTRY_COMPARE(m_fake->calls.size(), 1);
    QCOMPARE(bridge->pendingCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(bridge->pendingCount(), 0, 10000); // the bridge gave up waiting
    QCoreApplication::processEvents(); // a failure is reported queued
    QCOMPARE(failed.count(), 0);
    QVERIFY(KvoNotificationBox::openBoxes().isEmpty());
}

void TestNotifier::desktopServiceCheck()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    QSignalSpy checked(bridge, &KvoDesktopNotifier::serviceChecked);
    bridge->checkService();
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toBool(), true);
    QVERIFY(bridge->isServicePresent());

    QVERIFY(QDBusConnection(QStringLiteral("fake")).unregisterService(ServiceName));
    bridge->checkService();
    QTRY_COMPARE(checked.count(), 2);
    QCOMPARE(checked.at(1).at(0).toBool(), false);
    QVERIFY(!bridge->isServicePresent());

    // Listed as activatable, but its program fails: missing all the same.
    setBrokenServiceInstalled(true);
    bridge->checkService();
    QTRY_COMPARE(checked.count(), 3);
    QCOMPARE(checked.at(2).at(0).toBool(), false);
    QVERIFY(!bridge->isServicePresent());
}

void TestNotifier::desktopCloseAllAtSessionEnd()
{
    if (!busReady())
        QSKIP(qPrintable(KvoTestBus::skipReason()));
    useInAppMask(KvoNotifier::DesktopBit);
    QSignalSpy shown(KvoDesktopNotifier::instance(), &KvoDesktopNotifier::notificationShown);
    KvoNotifier::instance()->notifyUrl(QStringLiteral("t"), QStringLiteral("x"), KvoNotifier::testKind(),
                                       QStringLiteral("config"));
    QTRY_COMPARE(shown.count(), 1);
    const uint id = shown.at(0).at(0).toUInt();

    // The next session's loadMask withdraws it, and its click no longer acts.
    KvoNotifier::instance()->loadMask();
    QCOMPARE(KvoDesktopNotifier::instance()->openCount(), 0);
    QTRY_COMPARE(m_fake->closed, QList<uint>{id});
    useInAppMask(KvoNotifier::DesktopBit);
    KvoNotifier::instance()->notifyUrl(QStringLiteral("t"), QStringLiteral("x"), KvoNotifier::testKind(),
                                       QStringLiteral("downloads"));
    QTRY_COMPARE(shown.count(), 2);
    m_fake->click(id);
    m_fake->click(shown.at(1).at(0).toUInt());
    QTRY_VERIFY(!m_recorder.steps.isEmpty());
    QCOMPARE(m_recorder.steps, (QStringList{QStringLiteral("raise"), QStringLiteral("page downloads history")}));
}

// Only where no session bus exists (a plain run outside dbus-run-session).
void TestNotifier::withoutBusOwnBoxes()
{
    if (busReady())
        QSKIP("a session bus exists");
    useInAppMask(KvoNotifier::DesktopBit);
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    QSignalSpy checked(bridge, &KvoDesktopNotifier::serviceChecked);
    bridge->checkService();
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toBool(), false);
    KvoNotifier::instance()->notifyUrl(QStringLiteral("t"), QStringLiteral("x"), KvoNotifier::testKind(),
                                       QStringLiteral("config"));
    QTRY_COMPARE(KvoNotificationBox::openBoxes().size(), 1);
    QCOMPARE(KvoNotificationBox::openBoxes().constFirst()->link(), KvoNotifier::linkForText(QStringLiteral("config")));
}

// CTest runs the D-Bus cases (named "desktop…") and the others as two
// tests, KVO_TEST_PART=desktop or rest, so that it can report the D-Bus
// ones as skipped where no private bus can be had.
int main(int argc, char** argv)
{
    const QString part = qEnvironmentVariable("KVO_TEST_PART");
    if (part == QLatin1String("rest")) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS"); // its cases need no bus, and see none
    } else {
        const int onPrivateBus = KvoTestBus::runOnPrivateBus(argc, argv);
        if (onPrivateBus >= 0)
            return onPrivateBus;
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestNotifier test;
    QTEST_SET_MAIN_SOURCE_PATH
    QList<QByteArray> args;
    for (int i = 0; i < argc; ++i)
        args.append(argv[i]);
    if (argc == 1 && !part.isEmpty()) {
        const QMetaObject* meta = test.metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            const QByteArray name = method.name();
            if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private
                || name.endsWith("_data") || name.startsWith("init") || name.startsWith("cleanup"))
                continue;
            if (name.startsWith("desktop") == (part == QLatin1String("desktop")))
                args.append(name);
        }
    }
    std::vector<char*> raw;
    for (QByteArray& arg : args)
        raw.push_back(arg.data());
    return QTest::qExec(&test, int(raw.size()), raw.data());
}
#include "tst_notifier.moc"
