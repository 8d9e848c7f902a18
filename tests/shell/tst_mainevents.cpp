#include "IKvoPage.h"
#include "KvoAddCommentWidget.h"
#include "KvoAddSignetWidget.h"
#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoConnectionStateManager.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoDialogDriver.h"
#include "KvoDownloadJob.h"
#include "KvoDownloadQueue.h"
#include "KvoEnvironment.h"
#include "KvoFakeHttpServer.h"
#include "KvoFakeVideoBackend.h"
#include "KvoInfobulle.h"
#include "KvoMainWindow.h"
#include "KvoPageDownloads.h"
#include "KvoPagePlayer.h"
#include "KvoPageRegistry.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoSignetWidget.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"
#include "KvoVideoPlayer.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTextEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#ifdef KVO_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

using E = KvoVideoEventSink;
const QString s_user = QStringLiteral("u7");

class SoftwarePage : public QWidget, public IKvoPage
{
    Q_OBJECT
public:
    SoftwarePage(QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags)
    {
    }
    QString title() const override { return QStringLiteral("Logiciel"); }
    QString name() const override { return m_key; }
    QWidget* parentPage() const override { return nullptr; }
    void onShow() override {}
    QString m_key;
signals:
    void onChangePage(const QString& key, bool addToHistory);
};

template <class T>
T* child(const char* name)
{
    return KvoMainWindow::instance()->findChild<T*>(QLatin1String(name));
}

void press(int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(KvoMainWindow::instance(), &event);
}

} // namespace

class TestMainEvents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void videoFilesFromOutside();
    void keysAndViewModes();
    void newBookmarks();
    void tooltips();
    void sessionExpiryDuringADialog();
    void refusedSessionStopsTransfersBeforeItsNotice();
    void refusedSessionStartsNothingDuringItsNotice();
    void aModalDialogStaysOnTop();
    void realFilesFromOutside();
    void windowDestroyedFromOutside();
    void keysBackAfterAnOverlay();

private:
    QString makeQoz(const QString& name, quint32 purchase, quint32 file);
    // An online window against the service at the address, with the
    // downloads page built as the client builds it (after the window's own
    // connections), once its first poll of the library ended; null when
    // that failed. cleanup() takes the page's registration and the address
    // back.
    KvoMainWindow* openOnline(const QString& address);
    KvoPagePlayer* player()
    {
        return qobject_cast<KvoPagePlayer*>(KvoMainWindow::instance()->pages().value(QStringLiteral("player")).first);
    }

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    KvoFakeVideoBackend m_fake;
    int m_importErrors = 0;
};

void TestMainEvents::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoConnectionStateManager::setTimingForTesting(600000, 200);
    KvoVideoBackend::setInstance(&m_fake);
    KvoPagePlayer::setErrorDialog([](QWidget*) {});
    // The fake engine brings pictures and lengths only when told to.
    KvoPagePlayer::setNoPictureBound(600000);
    KvoMainWindow::setImportErrorDialog([this] { ++m_importErrors; });
    KvoPageRegistry::clear();
    KvoPageRegistry::Page playerPage;
    playerPage.key = QStringLiteral("player");
    playerPage.buildAtStart = true;
    KvoMainWindow::registerPage<KvoPagePlayer>(playerPage);
    KvoPageRegistry::addPattern(QStringLiteral("detail_software_"),
                                [](KvoMainWindow* window, const QString& key) -> QWidget* {
                                    auto* page = KvoMainWindow::createPage<SoftwarePage>(window);
                                    page->m_key = key;
                                    return page;
                                });
    // The videos of course 5 on disk, in file order.
    KvoPagePlayer::setPlaylistSource([](uint, QList<QVariant>& purchases, QList<QVariant>& videos) {
        for (const KvoVideoFile& file : KvoPurchaseVideoManager::instance()->purchases().value(5).files) {
            if (!file.KvoPath.isEmpty() && QFile::exists(file.KvoPath)) {
                purchases.append(5u);
                videos.append(file.fileId);
            }
        }
    });
}

void TestMainEvents::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date, "
                                  "commented) VALUES ('u7', 5, '51;52;53', 'Cours', '3', 0, 1)")));
    for (int id : {51, 52, 53}) {
        const QString path = id == 51 ? QString() : makeQoz(QStringLiteral("%1.qoz").arg(id), 5, id);
        q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, KvoPath, "
                                 "hidden, alreadyseen) VALUES ('u7', ?, 5, ?, 65, ?, ?, ?, 0)"));
        for (const QVariant& value : QVariantList{id, QStringLiteral("Vidéo %1").arg(id), id, path, id == 53 ? 1 : 0})
            q.addBindValue(value);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    // Offline: links and files are handled at once.
    QVERIFY(KvoMainWindow::createInstance(false));
    KvoMainWindow::instance()->resize(1000, 700);
    KvoMainWindow::instance()->show();
    m_importErrors = 0;
    m_fake.takeCalls();
}

void TestMainEvents::cleanup()
{
    KvoMainWindow::destroyInstance();
    // As at the end of a session: a refused one left its queue held.
    KvoAsynchronousSender::destroy();
    KvoPageRegistry::remove(QStringLiteral("downloads"));
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoTestLibrary::close();
    m_dir.reset();
}

void TestMainEvents::cleanupTestCase()
{
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
}

KvoMainWindow* TestMainEvents::openOnline(const QString& address)
{
    KvoApi::setEndpointForTesting(address);
    KvoMainWindow::destroyInstance();
    if (!KvoTestLibrary::addConfiguration(s_user))
        return nullptr;
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    manager->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    KvoEnvironment::setVideoPath(m_dir->filePath(QStringLiteral("videos")));
    KvoPageRegistry::Page downloads;
    downloads.key = QStringLiteral("downloads");
    downloads.buildAtStart = true;
    KvoMainWindow::registerPage<KvoPageDownloads>(downloads);
    QSignalSpy polled(manager, &KvoPurchaseVideoManager::updateEnded);
    if (!KvoMainWindow::createInstance(true))
        return nullptr;
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    return polled.wait(10000) ? window : nullptr;
}

QString TestMainEvents::makeQoz(const QString& name, quint32 purchase, quint32 file)
{
    const QString path = m_dir->filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return QString();
    out.write("not really a video, the fake engine does not care");
    out.close();
    return KvoQozFile::appendTrailer(path, purchase, file) ? path : QString();
}

void TestMainEvents::videoFilesFromOutside()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    // A large file of no video brings neither a picture nor a length: the
    // engine is stopped instead of reading it to its end.
    KvoPagePlayer::setNoPictureBound(100);
    window->onNewMessageFromInstance(makeQoz(QStringLiteral("large.qoz"), 5, 51));
    QVERIFY(player()->isPlayable());
    m_fake.inject({{E::Playing, 0}});
    QStringList calls;
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("stop")));
    QVERIFY(!player()->isPlayable());
    KvoPagePlayer::setNoPictureBound(600000);

    // Video 51 has no file in the library: the one given plays, and
    // becomes its file, whatever its name holds, once it showed a picture.
    const QString odd = makeQoz(QStringLiteral("l'été \"%1\" vidéo.qoz"), 5, 51);
    QVERIFY(!odd.isEmpty());
    window->onNewMessageFromInstance(odd);
    QCOMPARE(window->currentKey(), QStringLiteral("player"));
    QCOMPARE(player()->currentVideoId(), 51u);
    QVERIFY(m_fake.takeCalls().contains(QStringLiteral("open ") + odd));
    QVERIFY(KvoPurchaseVideoManager::instance()->purchases().value(5).files.value(51).KvoPath.isEmpty());
    m_fake.showPicture();
    QTRY_COMPARE(KvoPurchaseVideoManager::instance()->purchases().value(5).files.value(51).KvoPath, odd);
    QCOMPARE(window->breadcrumb().size(), 2);
    QCOMPARE(window->breadcrumb().last().title, QStringLiteral("Vidéo 51"));

    // A second start with another file while the first plays.
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    QCOMPARE(window->currentKey(), QStringLiteral("player"));
    QCOMPARE(player()->currentVideoId(), 52u);

    // A hidden video is shown again on its software's page, not played.
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("53.qoz")));
    QCOMPARE(window->currentKey(), QStringLiteral("detail_software_3"));
    QVERIFY(!KvoPurchaseVideoManager::instance()->purchases().value(5).files.value(53).hidden);
    QCOMPARE(player()->currentVideoId(), 52u);

    // Files that are no video of this library: the error, nothing else.
    QFile plain(m_dir->filePath(QStringLiteral("plain.qoz")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write(QByteArray(100, 'x'));
    plain.close();
    const QString foreign = makeQoz(QStringLiteral("foreign.qoz"), 99, 51);
    const QString damaged = makeQoz(QStringLiteral("damaged.qoz"), 5, 52);
    QFile broken(damaged);
    QVERIFY(broken.open(QIODevice::ReadWrite));
    broken.seek(broken.size() - 10);
    broken.write("X");
    broken.close();
    const QString truncated = makeQoz(QStringLiteral("truncated.qoz"), 5, 52);
    QVERIFY(QFile::resize(truncated, QFileInfo(truncated).size() - 3));
    for (const QString& path : {plain.fileName(), foreign, damaged, truncated})
        window->onNewMessageFromInstance(path);
    QCOMPARE(m_importErrors, 4);
    QCOMPARE(window->currentKey(), QStringLiteral("detail_software_3"));
    // A missing file is dropped silently.
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("none.qoz")));
    QCOMPARE(m_importErrors, 4);

    // Links: only "vorn:" ones with a key are read; none of these crash.
    for (const char* link : {"vorn:download", "vorn:unknown:1", "https://example.org/x", "vorn::download:"})
        window->onNewUrlFromInstance(QUrl(QString::fromLatin1(link)));
    QVERIFY(window->queuedLinks().isEmpty());
}

void TestMainEvents::keysAndViewModes()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    // F off the player does nothing, nor does Escape in the normal mode.
    press(Qt::Key_F);
    QCOMPARE(window->viewMode(), 0u);
    press(Qt::Key_Escape);
    QVERIFY(!window->isClosing());
    QVERIFY(window->isVisible());

    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    QCOMPARE(window->currentKey(), QStringLiteral("player"));
    const QRect normal = window->geometry();
    const QSize minimum = window->minimumSize();
    m_fake.inject({{E::Playing, 0}});
    QTRY_COMPARE(player()->videoPlayer()->state(), int(KvoVideoPlayer::Playing));
    m_fake.takeCalls();
    press(Qt::Key_Space);
    QVERIFY(m_fake.takeCalls().contains(QStringLiteral("pause")));

    press(Qt::Key_F); // full screen
    QCOMPARE(window->viewMode(), 1u);
    QVERIFY(window->windowState() & Qt::WindowFullScreen);
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(child<QWidget>("widgetMenu")->isHidden());
    QVERIFY(!child<QPushButton>("buttonApprentissage")->isHidden());
    QWidget* video = player()->videoPlayer();
    video->setFocus();
    // Learning mode, by a double click through the window: its first press
    // reaches the player too.
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                       video->mapTo(window, video->rect().center()));
    QCOMPARE(window->viewMode(), 2u);
    QVERIFY(!(window->windowState() & Qt::WindowFullScreen));
    QCOMPARE(window->minimumSize(), QSize(550, 400));
    QTRY_COMPARE(window->size(), QSize(550, 400));
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!child<QPushButton>("buttonNormal")->isHidden());
    press(Qt::Key_Escape);
    QCOMPARE(window->viewMode(), 0u);
    QVERIFY(!(window->windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(window->minimumSize(), minimum);
    QTRY_COMPARE(window->size(), normal.size());
    QVERIFY(!child<QWidget>("widgetMenu")->isHidden());
    QVERIFY(!window->isClosing());

    // Escape from full screen restores the geometry of before.
    child<QPushButton>("buttonFullscreen")->click();
    QCOMPARE(window->viewMode(), 1u);
    press(Qt::Key_Escape);
    QCOMPARE(window->viewMode(), 0u);
    QTRY_COMPARE(window->geometry(), normal);

    // Space does nothing for a video that cannot be played.
    m_fake.failOpen = true;
    player()->setSelectedVideo(3, 53);
    player()->loadIfReady();
    m_fake.failOpen = false;
    QVERIFY(!player()->isPlayable());
    QTRY_VERIFY(!m_fake.hasLiveSession());
    m_fake.takeCalls();
    press(Qt::Key_Space);
    QVERIFY(m_fake.takeCalls().isEmpty());
}

void TestMainEvents::newBookmarks()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    QSignalSpy ticks(player()->videoPlayer(), &KvoVideoPlayer::tick);
    m_fake.inject({{E::LengthChanged, 7200000}, {E::TimeChanged, 1000}});
    QTRY_COMPARE(ticks.count(), 2);
    window->onClickSignet(QString(), QTime(0, 0, 5));
    QVERIFY(player()->signets().markers().isEmpty());
    window->onClickSignet(QStringLiteral("Réglages"), QTime(1, 2, 3, 450));
    QCOMPARE(player()->signets().markers().size(), 1);
    KvoSignetWidget* marker = player()->signets().markers().value(0);
    QCOMPARE(marker->value(), 3723000);
    QCOMPARE(marker->name(), QStringLiteral("<b>1:02:03 </b> Réglages"));
    QVERIFY(marker->isVisible());
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("SELECT id_video, value, name FROM signets")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toUInt(), 52u);
    QCOMPARE(q.value(1).toLongLong(), 3723000);

    // The marker's name is its tooltip; leaving it closes the bubble.
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(marker, &enter);
    QVERIFY(window->infobulle()->isVisible());
    QCOMPARE(window->infobulle()->title(), QStringLiteral("1:02:03 "));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(marker, &leave);
    QVERIFY(!window->infobulle()->isVisible());
    // Away from the player, the markers hide with the control bar.
    window->changePage(QStringLiteral("detail_software_3"), true);
    QVERIFY(marker->isHidden());

    // Another video starts: the marker of the one before leaves the seek
    // bar at once, not at the new video's first report.
    const QPointer<KvoSignetWidget> old = marker;
    window->onNewMessageFromInstance(makeQoz(QStringLiteral("other.qoz"), 5, 51));
    QCOMPARE(player()->currentVideoId(), 51u);
    QVERIFY(!old || old->isHidden());
    QVERIFY(player()->signets().markers().isEmpty());
}

void TestMainEvents::tooltips()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    auto* signet = child<QPushButton>("buttonSignet");
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(signet, &enter);
    QVERIFY(window->infobulle()->isVisible());
    QCOMPARE(window->infobulle()->text(), QStringLiteral("Nouveau signet"));
    QCOMPARE(window->infobulle()->x(), signet->mapToGlobal(QPoint(0, 0)).x());
    QApplication::sendEvent(signet, &leave);
    QVERIFY(!window->infobulle()->isVisible());
    // A disabled button has none.
    auto* previous = child<QPushButton>("buttonPrevious");
    QVERIFY(!previous->isEnabled());
    QApplication::sendEvent(previous, &enter);
    QVERIFY(!window->infobulle()->isVisible());

    // The search box empties when it loses the focus.
    auto* search = child<QLineEdit>("editSearch");
    search->setText(QStringLiteral("photo"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(search, &out);
    QVERIFY(search->text().isEmpty());
}

void TestMainEvents::sessionExpiryDuringADialog()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    // A dialog open when the session expires is closed, the notice shows
    // and the window closes once.
    KvoDialog open(window, Qt::Dialog | Qt::FramelessWindowHint);
    open.showDialog(false, false);
    QVERIFY(open.isVisible());
    int notices = 0;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("UISessionDialog"), [&](KvoDialog* notice) {
        ++notices;
        notice->closeWithCancel();
    });
    m_fake.takeCalls();
    emit KvoPurchaseVideoManager::instance()->sessionExpired();
    emit KvoPurchaseVideoManager::instance()->sessionExpired();
    QVERIFY2(driver.done(), driver.report());
    QCOMPARE(notices, 1);
    QVERIFY(!open.isVisible());
    QVERIFY(window->isSessionExpired());
    QVERIFY(window->isClosing());
    // The close sequence stopped the video.
    QStringList calls;
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("stop")));
    window->onClose();
    window->close();
    QTRY_VERIFY(!window->isVisible());
}

void TestMainEvents::refusedSessionStopsTransfersBeforeItsNotice()
{
    // The service: a video's address leads to a body that comes one byte
    // at a time; the library poll is answered "nothing new" until the
    // session is refused.
    KvoFakeHttpServer service;
    bool refused = false;
    service.setHandler([&service, &refused](const KvoFakeHttpServer::Request& request) {
        using Reply = KvoFakeHttpServer::Reply;
        if (request.path() == QLatin1String("/drip"))
            return Reply::drip(20);
        if (request.path() == QLatin1String("/0.1/playerFileUrl/"))
            return Reply::of(200, "{\"url\":\"" + service.url(QStringLiteral("/drip")).toUtf8() + "\"}");
        if (request.path() == QLatin1String("/0.1/playerUserPurchases/"))
            return refused ? Reply::of(409, "{\"status\":\"ERROR\"}") : Reply::of(304, QByteArray());
        return Reply::of(404, QByteArray());
    });
    QVERIFY(service.listen());

    // Four more courses that miss their one video (course 5 misses one
    // too).
    QSqlQuery q(KvoDatabase::database());
    for (int id : {6, 7, 8, 9}) {
        QVERIFY(q.exec(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date, "
                                      "commented) VALUES ('u7', %1, '%2', 'Cours %1', '3', %1, 1)")
                           .arg(id)
                           .arg(id * 10 + 1)));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, "
                                      "KvoPath, hidden, alreadyseen) VALUES ('u7', %2, %1, 'Vidéo', 65, 1, '', 0, 0)")
                           .arg(id)
                           .arg(id * 10 + 1)));
    }
    KvoMainWindow* window = openOnline(service.address());
    QVERIFY(window);
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    const QString videos = m_dir->filePath(QStringLiteral("videos"));
    auto* page = qobject_cast<KvoPageDownloads*>(window->pages().value(QStringLiteral("downloads")).first);
    QVERIFY(page);
    const QList<KvoDownloadJob*> jobs = page->sortedEntries();
    QCOMPARE(jobs.size(), 5);
    for (KvoDownloadJob* job : jobs)
        job->enqueue();
    KvoDownloadQueue* queue = KvoDownloadQueue::instance();
    QTRY_COMPARE(service.requestCount(QStringLiteral("/drip")), KvoDownloadQueue::MaxActiveDownloads);
    QCOMPARE(queue->queuedCount(), 5 - KvoDownloadQueue::MaxActiveDownloads);

    // While the notice waits on the user: what still runs or waits, what
    // the service still holds open, what partial files stay, what the rows
    // say, and what the client asks for.
    const auto transferRequests = [&service] {
        return service.requestCount(QStringLiteral("/0.1/playerFileUrl/"))
               + service.requestCount(QStringLiteral("/drip"));
    };
    int running = -1, waiting = -1, requestsAtNotice = -1, requestsLater = -1;
    bool connectionsClosed = false, markerAnswered = false;
    QStringList partial, messages;
    KvoDialogDriver driver(20000);
    driver.expect<KvoDialog>(QStringLiteral("UISessionDialog"), [&](KvoDialog* notice) {
        running = queue->activeCount();
        waiting = queue->queuedCount();
        for (KvoDownloadJob* job : jobs)
            messages << job->lastMessage();
        requestsAtNotice = transferRequests();
        connectionsClosed =
            QTest::qWaitFor([&service] { return service.connections() == service.disconnections(); }, 5000);
        for (QDirIterator it(videos, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            partial << it.next();
        // A round trip to the service from inside the notice: the client's
        // own requests of the meantime have arrived once it has.
        QNetworkAccessManager network;
        QNetworkReply* marker = network.get(QNetworkRequest(QUrl(service.url(QStringLiteral("/marker")))));
        markerAnswered = QTest::qWaitFor([marker] { return marker->isFinished(); }, 5000);
        delete marker;
        requestsLater = transferRequests();
        notice->closeWithCancel();
    });
    refused = true;
    manager->update();
    QVERIFY2(driver.wait(), driver.report());
    QCOMPARE(running, 0);
    QCOMPARE(waiting, 0);
    QVERIFY(connectionsClosed);
    QCOMPARE(partial, QStringList());
    QCOMPARE(messages, QStringList(5, QStringLiteral("Erreur - session expirée")));
    QVERIFY(markerAnswered);
    QCOMPARE(requestsLater, requestsAtNotice);
    // The close that follows the notice is as before.
    QVERIFY(window->isSessionExpired());
    QVERIFY(window->isClosing());
    QCOMPARE(transferRequests(), requestsAtNotice);
}

void TestMainEvents::refusedSessionStartsNothingDuringItsNotice()
{
    // The service: comments fail, so one stays queued; the library poll is
    // answered "nothing new" until the session is refused.
    KvoFakeHttpServer service;
    bool refused = false;
    service.setHandler([&refused](const KvoFakeHttpServer::Request& request) {
        using Reply = KvoFakeHttpServer::Reply;
        if (request.path() == QLatin1String("/0.1/playerUserPurchases/"))
            return refused ? Reply::of(409, "{\"status\":\"ERROR\"}") : Reply::of(304, QByteArray());
        if (request.path() == QLatin1String("/0.1/playerComment/"))
            return Reply::of(500, QByteArray());
        return Reply::of(404, QByteArray());
    });
    QVERIFY(service.listen());
    // Course 6: its one video on disk, so the downloads page has no row
    // for it.
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date, "
                                  "commented) VALUES ('u7', 6, '61', 'Cours 6', '3', 6, 1)")));
    q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, KvoPath, "
                             "hidden, alreadyseen) VALUES ('u7', 61, 6, 'Vidéo', 65, 1, ?, 0, 0)"));
    q.addBindValue(makeQoz(QStringLiteral("61.qoz"), 6, 61));
    QVERIFY(q.exec());
    KvoMainWindow* window = openOnline(service.address());
    QVERIFY(window);
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    auto* downloads = qobject_cast<KvoPageDownloads*>(window->pages().value(QStringLiteral("downloads")).first);
    QVERIFY(downloads);
    // Its video goes while another page is current: the course misses a
    // video, and waits for the list's next rebuild to have a row.
    window->changePage(QStringLiteral("detail_software_3"), true);
    KvoPurchase course;
    QVERIFY(manager->purchase(6, &course));
    KvoVideoFile gone = course.files.value(61);
    gone.KvoPath.clear();
    manager->setVideoPath(course, gone);
    const auto listed = [downloads] {
        QList<uint> ids;
        for (KvoDownloadJob* job : downloads->sortedEntries())
            ids.append(job->purchaseId());
        return ids;
    };
    QVERIFY(!listed().contains(6u));
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy failed(sender, &KvoAsynchronousSender::entryFailed);
    QVERIFY(KvoAsynchronousSender::add(KvoApi::address(QStringLiteral("/0.1/playerComment/")),
                                       {{QStringLiteral("comment"), QStringLiteral("Très clair")}}));
    QVERIFY(failed.wait(10000));

    // While the notice waits on the user: a download link and a stored
    // video handed over by a second start (the link for a course that has
    // no row yet, so nothing stopped at the refusal stands in its way), a
    // flush of the queue (as a connection change or the refused poll's end
    // asks for) and a second refusal.
    const auto requests = [&service] {
        return service.requestCount(QStringLiteral("/0.1/playerFileUrl/"))
               + service.requestCount(QStringLiteral("/0.1/playerComment/"));
    };
    int requestsAtNotice = -1, requestsLater = -1;
    bool markerAnswered = false;
    QString secondNotice;
    QStringList engineCalls;
    QList<uint> listedAfter;
    KvoDialogDriver driver(20000);
    driver.expect<KvoDialog>(QStringLiteral("UISessionDialog"), [&](KvoDialog* notice) {
        requestsAtNotice = requests();
        {
            // Expects nothing: a second notice, or any other dialog, would
            // be closed and told.
            KvoDialogDriver none(2000);
            m_fake.takeCalls();
            window->onNewUrlFromInstance(QUrl(QStringLiteral("vorn:download:6")));
            window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
            KvoAsynchronousSender::flush();
            emit manager->sessionExpired();
            QNetworkAccessManager network;
            QNetworkReply* marker = network.get(QNetworkRequest(QUrl(service.url(QStringLiteral("/marker")))));
            markerAnswered = QTest::qWaitFor([marker] { return marker->isFinished(); }, 5000);
            delete marker;
            requestsLater = requests();
            engineCalls = m_fake.takeCalls();
            listedAfter = listed();
            if (!none.done())
                secondNotice = QString::fromUtf8(none.report());
        }
        notice->closeWithCancel();
    });
    refused = true;
    manager->update();
    QVERIFY2(driver.wait(), driver.report());
    QCOMPARE(secondNotice, QString());
    QVERIFY(markerAnswered);
    QCOMPARE(requestsLater, requestsAtNotice);
    QCOMPARE(service.requestCount(QStringLiteral("/0.1/playerFileUrl/")), 0);
    QVERIFY(!listedAfter.contains(6u));
    QCOMPARE(engineCalls.filter(QStringLiteral("open ")), QStringList());
    QVERIFY(window->isSessionExpired());
    QVERIFY(window->isClosing());
    // The comment waits in the queue for the next session.
    QCOMPARE(sender->pendingCount(), 1);
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM to_send")) && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

void TestMainEvents::aModalDialogStaysOnTop()
{
    // Which window was raised last, as the windowing system sees it.
    struct Raises : QObject
    {
        QList<QObject*> order;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::ZOrderChange && watched->isWidgetType()
                && static_cast<QWidget*>(watched)->isWindow())
                order.append(watched);
            return false;
        }
    } raises;
    KvoMainWindow* window = KvoMainWindow::instance();
    KvoDialog offer(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    offer.setWindowModality(Qt::ApplicationModal);
    offer.showDialog(false, false);
    QCOMPARE(QApplication::activeModalWidget(), &offer);
    qApp->installEventFilter(&raises);
    // A file from a second start loads and plays a video (its title
    // raises the window) while the dialog is open.
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    qApp->removeEventFilter(&raises);
    QCOMPARE(player()->currentVideoId(), 52u);
    raises.order.removeIf([&](QObject* raised) { return raised != window && raised != &offer; });
    QVERIFY(!raises.order.isEmpty());
    QCOMPARE(raises.order.last(), &offer);
    offer.close();
}

void TestMainEvents::realFilesFromOutside()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is missing");
    const QString made = m_dir->filePath(QStringLiteral("made.mp4"));
    QProcess ffmpeg;
    const QString arguments = QStringLiteral("-nostdin -loglevel error -y -f lavfi -i testsrc=size=160x120:rate=25:"
                                             "duration=2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -f mp4");
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments.split(QLatin1Char(' ')) << made);
    QVERIFY(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
    QFile source(made);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray clip = source.readAll();
    // Stored videos of video 51: a clip cut in half, noise, and the clip.
    const auto store = [this](const QString& name, const QByteArray& bytes) {
        QFile out(m_dir->filePath(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return QString();
        out.close();
        return KvoQozFile::appendTrailer(out.fileName(), 5, 51) ? out.fileName() : QString();
    };
    QByteArray noise(200000, '\0');
    QRandomGenerator random(20);
    for (char& byte : noise)
        byte = char(random.bounded(256));

    int errors = 0;
    KvoPagePlayer::setErrorDialog([&errors](QWidget*) { ++errors; });
    KvoPagePlayer::setNoPictureBound(5000);
    qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet --file-caching=50");
    KvoVideoBackend::setInstance(nullptr);
    KvoMainWindow* window = KvoMainWindow::instance();
    const auto path = [] { return KvoPurchaseVideoManager::instance()->purchases().value(5).files.value(51).KvoPath; };
    int expected = 0;
    for (const QString& bad : {store(QStringLiteral("cut.qoz"), clip.left(clip.size() / 2)),
                               store(QStringLiteral("noise.qoz"), noise)}) {
        QVERIFY(!bad.isEmpty());
        window->onNewMessageFromInstance(bad);
        QCOMPARE(player()->currentVideoId(), 51u);
        ++expected;
        QTRY_COMPARE_WITH_TIMEOUT(errors, expected, 20000);
        QVERIFY2(path().isEmpty(), qPrintable(bad));
        QCOMPARE(KvoPurchaseVideoManager::instance()->purchases().value(5).files.value(51).alreadySeen, 0u);
    }
    const QString good = store(QStringLiteral("good.qoz"), clip);
    window->onNewMessageFromInstance(good);
    QTRY_COMPARE_WITH_TIMEOUT(path(), good, 20000);
    QCOMPARE(errors, 2);

    KvoMainWindow::destroyInstance();
    KvoVideoBackend::setInstance(&m_fake);
    KvoPagePlayer::setNoPictureBound(600000);
    KvoPagePlayer::setErrorDialog([](QWidget*) {});
}

void TestMainEvents::windowDestroyedFromOutside()
{
#ifdef KVO_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs windows on an X server (tst_mainevents_x11)");
    KvoMainWindow* window = KvoMainWindow::instance();
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    m_fake.inject({{E::Playing, 0}});
    QTRY_COMPARE(player()->videoPlayer()->state(), int(KvoVideoPlayer::Playing));
    m_fake.takeCalls();
    // What `xdotool windowclose` does: another client destroys the window.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(other));
    xcb_generic_error_t* error =
        xcb_request_check(other, xcb_destroy_window_checked(other, xcb_window_t(window->winId())));
    const int code = error ? error->error_code : 0;
    free(error);
    xcb_disconnect(other);
    QCOMPARE(code, 0);
    // The close sequence runs: the video stops and the window closes.
    QTRY_VERIFY(window->isClosing());
    QStringList calls;
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("stop")));
    QTRY_VERIFY(!window->isVisible());
#else
    QSKIP("built without xcb");
#endif
}

void TestMainEvents::keysBackAfterAnOverlay()
{
    // Keys typed as a user types them: to whatever has the keyboard.
    const auto type = [](int key) { QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key(key)); };
    KvoMainWindow* window = KvoMainWindow::instance();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    KvoPurchaseVideoManager::instance()->setCommented(5, false);
    window->onNewMessageFromInstance(m_dir->filePath(QStringLiteral("52.qoz")));
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 65000}});
    QTRY_COMPARE(player()->videoPlayer()->mediaInfo().length, 65000);
    m_fake.showPicture();

    // The end of the video opens the rating box by itself: it has the keys.
    m_fake.inject({{E::EndReached, 0}});
    KvoAddCommentWidget* rating = player()->commentWidget();
    QTRY_VERIFY(rating->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), rating);
    type(Qt::Key_F);
    QCOMPARE(rating->ratingForm().commentArea->toPlainText(), QStringLiteral("f"));
    QCOMPARE(window->viewMode(), 0u);
    type(Qt::Key_Escape);
    QTRY_VERIFY(!rating->isVisible());
    // Closed: the keyboard is the main window's again (the X server hands
    // it over in its own time), with no click on the picture.
    QTRY_COMPARE(QApplication::activeWindow(), window);
    m_fake.takeCalls();
    type(Qt::Key_Space);
    QVERIFY(m_fake.takeCalls().contains(QStringLiteral("play")));
    type(Qt::Key_F);
    QCOMPARE(window->viewMode(), 1u);
    type(Qt::Key_Escape);
    QCOMPARE(window->viewMode(), 0u);

    // The same with the bookmark box, closed by its OK.
    KvoAddSignetWidget::setReceiver([](const QString&, const QTime&) {});
    child<QPushButton>("buttonSignet")->click();
    KvoAddSignetWidget* signet = player()->signetWidget();
    QTRY_COMPARE(QApplication::activeWindow(), signet);
    type(Qt::Key_F);
    QCOMPARE(signet->form().editTitle->text(), QStringLiteral("f"));
    type(Qt::Key_Return);
    KvoAddSignetWidget::setReceiver({});
    QTRY_VERIFY(!signet->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), window);
    type(Qt::Key_F);
    QCOMPARE(window->viewMode(), 1u);
    type(Qt::Key_Escape);
    QCOMPARE(window->viewMode(), 0u);
}

QTEST_MAIN(TestMainEvents)
#include "tst_mainevents.moc"
