#include "KvoFakeHttpServer.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoAsyncImage.h"
#include "KvoDatabase.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoListWidget.h"
#include "KvoListWidgetItem.h"
#include "KvoMainWindow.h"
#include "KvoPageSoftwares.h"
#include "KvoProgressWidget.h"
#include "KvoLibraryStore.h"
#include "KvoPurchaseVideoManager.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>

namespace {

const QString s_user = QStringLiteral("AbCd0123");

struct File
{
    int id;
    bool onDisk;
    bool hidden;
};

QByteArray pngOf(const QColor& color)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Thumbnails by path: "/ok/…" a picture, "/html/…" an error page sent with
// 200, "/cut/…" a picture that announces more bytes than it sends, anything
// else 404.
KvoFakeHttpServer::Reply thumbnail(const KvoFakeHttpServer::Request& request)
{
    using Reply = KvoFakeHttpServer::Reply;
    const QString path = request.path();
    if (path.startsWith(QLatin1String("/ok/")))
        return Reply::of(200, pngOf(QColor(0, 200, 0)), "image/png");
    if (path.startsWith(QLatin1String("/html/")))
        return Reply::of(200, "<html><body>Not here</body></html>", "text/html");
    if (path.startsWith(QLatin1String("/cut/"))) {
        const QByteArray body = pngOf(QColor(0, 200, 0));
        return Reply::raw("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: "
                          + QByteArray::number(body.size() + 5000) + "\r\nConnection: close\r\n\r\n" + body);
    }
    return Reply::of(404, "missing", "text/html");
}

// The fake web server serving thumbnail().
struct ThumbServer : KvoFakeHttpServer
{
    ThumbServer()
    {
        setHandler(thumbnail);
        listen();
    }
};

QList<uint> rowIds(const KvoListWidget* list)
{
    QList<uint> ids;
    for (int row = 0; row < list->count(); ++row)
        ids << static_cast<KvoListWidgetItem*>(list->item(row))->id();
    return ids;
}

KvoListWidgetItem* tileOf(const KvoListWidget* list, uint id)
{
    for (int row = 0; row < list->count(); ++row) {
        auto* tile = static_cast<KvoListWidgetItem*>(list->item(row));
        if (tile->id() == id)
            return tile;
    }
    return nullptr;
}

QColor centre(const QPixmap& pixmap)
{
    return pixmap.toImage().pixelColor(50, 50);
}

} // namespace

class TestSoftwares : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void progressWidget_data();
    void progressWidget();
    void qualification_data();
    void qualification();
    void tileOrder();
    void tilesOnlyAdded();
    void videoCounts();
    void tilePainting();
    void hoverPicture();
    void thumbnailCache_data();
    void thumbnailCache();
    void cachedThumbnailMakesNoRequest();
    void tileAndPageShareOneDownload();
    void clickOpensDetailPage();

private:
    void addSoftware(int id, const QString& name, const QString& thumbnail = QString());
    void addCourse(int id, const QList<int>& softwareIds, const QList<File>& files);
    void setHidden(int fileId, bool hidden);
    void reload();
    KvoPurchaseVideoManager* manager() { return KvoPurchaseVideoManager::instance(); }

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSoftwares::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    KvoDownloader::setTransferTimeout(10000);
}

void TestSoftwares::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    QDir(KvoEnvironment::cachePath()).removeRecursively();
    QDir().mkpath(KvoEnvironment::cachePath());
    reload();
}

void TestSoftwares::cleanup()
{
    KvoTestLibrary::close();
    m_dir.reset();
}

void TestSoftwares::addSoftware(int id, const QString& name, const QString& thumbnail)
{
    KvoLibrary added;
    KvoSoftware software;
    software.id = uint(id);
    software.name = name;
    software.thumbnail = thumbnail;
    added.softwares.insert(id, software);
    QVERIFY(KvoTestLibrary::add(s_user, added));
}

void TestSoftwares::addCourse(int id, const QList<int>& softwareIds, const QList<File>& files)
{
    KvoPurchase course;
    course.id = uint(id);
    course.title = QStringLiteral("Course %1").arg(id);
    for (int s : softwareIds)
        course.softwareIDs.append(uint(s));
    for (const File& f : files) {
        KvoVideoFile video;
        video.fileId = uint(f.id);
        video.purchaseId = uint(id);
        video.title = QStringLiteral("Video %1").arg(f.id);
        video.KvoPath = f.onDisk ? QStringLiteral("/videos/%1.qoz").arg(f.id) : QString();
        video.hidden = f.hidden;
        course.files.insert(f.id, video);
    }
    KvoLibrary added;
    added.purchases.insert(id, course);
    QVERIFY(KvoTestLibrary::add(s_user, added));
}

void TestSoftwares::setHidden(int fileId, bool hidden)
{
    QVERIFY(KvoLibraryStore(s_user).setVideoHidden(0, uint(fileId), hidden, false));
}

// The library as the manager loads it at sign-in.
void TestSoftwares::reload()
{
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QStringLiteral("token"));
}

void TestSoftwares::progressWidget_data()
{
    QTest::addColumn<QList<int>>("values"); // given in turn
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("complete");
    QTest::newRow("0") << QList<int>{0} << 0 << QStringLiteral("lu à 0%") << false;
    QTest::newRow("50") << QList<int>{50} << 50 << QStringLiteral("lu à 50%") << false;
    QTest::newRow("99") << QList<int>{99} << 99 << QStringLiteral("lu à 99%") << false;
    QTest::newRow("100") << QList<int>{100} << 100 << QStringLiteral("lu à 100%") << true;
    QTest::newRow("above 100 after 50: full bar") << QList<int>{50, 150} << 100 << QStringLiteral("lu à 150%") << true;
    QTest::newRow("negative") << QList<int>{40, -5} << 0 << QStringLiteral("lu à 0%") << false;
    QTest::newRow("back below 100") << QList<int>{100, 42} << 42 << QStringLiteral("lu à 42%") << false;
}

void TestSoftwares::progressWidget()
{
    QFETCH(QList<int>, values);
    QFETCH(int, bar);
    QFETCH(QString, text);
    QFETCH(bool, complete);
    KvoProgressWidget widget;
    for (int value : values)
        widget.setProgress(value);
    QCOMPARE(widget.barValue(), bar);
    QCOMPARE(widget.text(), text);
    QCOMPARE(widget.isComplete(), complete);
}

void TestSoftwares::qualification_data()
{
    QTest::addColumn<QList<File>>("files");
    QTest::addColumn<bool>("listedSoftwareKnown");
    QTest::addColumn<bool>("qualifies");
    QTest::newRow("no files") << QList<File>{} << true << false;
    QTest::newRow("not downloaded") << QList<File>{{11, false, false}} << true << false;
    QTest::newRow("on disk but all hidden") << QList<File>{{11, true, true}, {12, true, true}} << true << false;
    QTest::newRow("on disk") << QList<File>{{11, true, false}} << true << true;
    QTest::newRow("hidden on disk, visible not downloaded")
        << QList<File>{{11, true, true}, {12, false, false}} << true << true;
    QTest::newRow("software not in the library") << QList<File>{{11, true, false}} << false << false;
}

void TestSoftwares::qualification()
{
    QFETCH(QList<File>, files);
    QFETCH(bool, listedSoftwareKnown);
    QFETCH(bool, qualifies);
    addSoftware(5, QStringLiteral("Five"));
    addCourse(1, {listedSoftwareKnown ? 5 : 9}, files);
    addCourse(2, {5}, {}); // a course without files never qualifies
    reload();

    QCOMPARE(KvoPageSoftwares::hasVideos(), qualifies);
    QCOMPARE(KvoPageSoftwares::hasVisibleSoftwares(), qualifies);
    QCOMPARE(KvoMainWindow::hasVisibleSoftwares(manager()->purchases(), manager()->softwares()), qualifies);
    QCOMPARE(KvoPageSoftwares::softwareHasVideos(listedSoftwareKnown ? 5 : 9, manager()->purchases()),
             listedSoftwareKnown && qualifies ? true : !listedSoftwareKnown);

    KvoPageSoftwares page(nullptr);
    QCOMPARE(page.list()->count(), qualifies ? 1 : 0);
}

void TestSoftwares::tileOrder()
{
    addSoftware(1, QStringLiteral("zeta"));
    addSoftware(2, QStringLiteral("Alpha"));
    addSoftware(3, QStringLiteral("beta"));
    addSoftware(4, QStringLiteral("Éclairage"));
    addSoftware(5, QStringLiteral("Alpine"));
    addSoftware(6, QStringLiteral("beta")); // same name, later id
    addSoftware(7, QStringLiteral("Zbrush"));
    addCourse(10, {1, 2, 3, 4, 6, 7}, {{101, true, false}});
    addCourse(20, {5}, {{201, false, false}}); // Alpine: nothing on disk yet
    reload();

    KvoPageSoftwares page(nullptr);
    QCOMPARE(rowIds(page.list()), (QList<uint>{2, 6, 3, 4, 7, 1}));
    QCOMPARE(page.shownSoftwares().size(), 6);
    KvoListWidgetItem* alpha = tileOf(page.list(), 2);
    KvoListWidgetItem* zeta = tileOf(page.list(), 1);

    // Alpine gets a video on disk: its tile goes to its place, the others
    // stay the same items.
    KvoPurchase course = manager()->purchases().value(20);
    KvoVideoFile video = course.files.value(201);
    video.KvoPath = QStringLiteral("/videos/201.qoz");
    manager()->setVideoPath(course, video);
    page.onShow();
    QCOMPARE(rowIds(page.list()), (QList<uint>{2, 5, 6, 3, 4, 7, 1}));
    QCOMPARE(tileOf(page.list(), 2), alpha);
    QCOMPARE(tileOf(page.list(), 1), zeta);
    for (int row = 0; row < page.shownSoftwares().size(); ++row)
        QCOMPARE(page.shownSoftwares().at(row).id, rowIds(page.list()).at(row));

    QVERIFY(KvoPageSoftwares::compareNames(QStringLiteral("écran"), QStringLiteral("Ecran")) != 0);
    QVERIFY(KvoPageSoftwares::compareNames(QStringLiteral("Écran"), QStringLiteral("escalier")) < 0);
    QCOMPARE(KvoPageSoftwares::compareNames(QStringLiteral("ALPHA"), QStringLiteral("alpha")), 0);
}

void TestSoftwares::tilesOnlyAdded()
{
    addSoftware(1, QStringLiteral("Alpha"));
    addSoftware(2, QStringLiteral("Beta"));
    addSoftware(3, QStringLiteral("Gamma"));
    addCourse(10, {1}, {{101, true, false}});
    addCourse(20, {2}, {{201, true, false}, {202, true, false}});
    addCourse(30, {3}, {{301, true, false}});
    reload();
    KvoPageSoftwares page(nullptr);
    KvoListWidgetItem* beta = tileOf(page.list(), 2);
    QVERIFY(beta && !beta->isHidden());
    QCOMPARE(beta->videoCount(), 2);

    // The user removes every video of Beta: its tile stays, hidden.
    manager()->setVideoHidden(20, 201, true);
    manager()->setVideoHidden(20, 202, true);
    QVERIFY(!KvoPageSoftwares::softwareHasVideos(2, manager()->purchases()));
    page.onShow();
    QCOMPARE(rowIds(page.list()), (QList<uint>{1, 2, 3}));
    QCOMPARE(tileOf(page.list(), 2), beta);
    QVERIFY(beta->isHidden());
    QCOMPARE(beta->videoCount(), 0);

    // Back in the library: shown again at the same place.
    manager()->setVideoHidden(20, 202, false);
    page.onShow();
    QCOMPARE(rowIds(page.list()), (QList<uint>{1, 2, 3}));
    QVERIFY(!beta->isHidden());
    QCOMPARE(beta->videoCount(), 1);
}

void TestSoftwares::videoCounts()
{
    addSoftware(1, QStringLiteral("Alpha"));
    addSoftware(2, QStringLiteral("Beta"));
    // Course 10 is listed under both softwares (and twice under Alpha).
    addCourse(10, {1, 2, 1}, {{101, true, false}, {102, true, true}, {103, false, false}, {104, true, false}});
    addCourse(20, {2}, {{201, true, false}});
    reload();

    const QHash<uint, int> counts = KvoListWidgetItem::countDownloadedVideos(manager()->purchases());
    QCOMPARE(counts.value(1), 2);
    QCOMPARE(counts.value(2), 3);

    KvoPageSoftwares page(nullptr);
    QCOMPARE(tileOf(page.list(), 1)->videoCount(), 2);
    QCOMPARE(tileOf(page.list(), 2)->videoCount(), 3);
    // Counting twice on one library gives the same counts, not 0.
    page.list()->refreshItems();
    page.list()->refreshItems();
    QCOMPARE(tileOf(page.list(), 1)->videoCount(), 2);
    QVERIFY(!tileOf(page.list(), 1)->isHidden());

    QCOMPARE(KvoListWidgetItem::countText(0), QStringLiteral("0 vidéo"));
    QCOMPARE(KvoListWidgetItem::countText(1), QStringLiteral("1 vidéo"));
    QCOMPARE(KvoListWidgetItem::countText(2), QStringLiteral("2 vidéos"));
    QCOMPARE(KvoListWidgetItem::namePixelSize(QStringLiteral("123456789012345")), 12);
    QCOMPARE(KvoListWidgetItem::namePixelSize(QStringLiteral("1234567890123456")), 10);
}

void TestSoftwares::tilePainting()
{
    KvoListWidget list;
    KvoListWidgetItem::setPurchases({});
    auto* tile = new KvoListWidgetItem(QStringLiteral("Tableur Plus"), 3, &list);
    tile->loadThumbnail(QString()); // nothing to fetch: the default picture, framed
    const QImage normal = tile->normalPixmap().toImage();
    QCOMPARE(normal.size(), QSize(102, 127));
    for (const QPoint& p : {QPoint(0, 50), QPoint(101, 50), QPoint(50, 0), QPoint(50, 101)})
        QCOMPARE(normal.pixelColor(p), QColor(52, 52, 52));
    // Name band: white text somewhere, transparent elsewhere.
    bool white = false;
    for (int y = 103; y < 127; ++y)
        for (int x = 0; x < 102; ++x)
            white = white || normal.pixelColor(x, y) == QColor(Qt::white);
    QVERIFY(white);
    QCOMPARE(normal.pixelColor(0, 126).alpha(), 0);
    // The hover picture darkens the thumbnail; no video: the tile hides.
    const QColor dark = tile->hoverPixmap().toImage().pixelColor(10, 10);
    const QColor light = tile->normalPixmap().toImage().pixelColor(10, 10);
    QVERIFY2(dark.lightness() < 40 && dark.lightness() <= light.lightness(),
             qPrintable(dark.name() + QLatin1Char(' ') + light.name()));
    QCOMPARE(tile->videoCount(), 0);
    QVERIFY(tile->isHidden());
}

void TestSoftwares::hoverPicture()
{
    addSoftware(1, QStringLiteral("Alpha"));
    addSoftware(2, QStringLiteral("Beta"));
    addCourse(10, {1, 2}, {{101, true, false}});
    reload();
    KvoPageSoftwares page(nullptr);
    page.resize(800, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    KvoListWidgetItem* alpha = tileOf(page.list(), 1);
    KvoListWidgetItem* beta = tileOf(page.list(), 2);
    const qint64 alphaNormal = alpha->normalPixmap().cacheKey();

    auto moveTo = [&](const QPoint& pos) {
        QMouseEvent move(QEvent::MouseMove, pos, page.list()->viewport()->mapToGlobal(pos), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(page.list()->viewport(), &move);
    };
    moveTo(page.list()->visualItemRect(alpha).center());
    QCOMPARE(KvoListWidgetItem::hoveredItem(), alpha);
    QCOMPARE(alpha->icon().pixmap(102, 127).toImage(), alpha->hoverPixmap().toImage());
    QCOMPARE(page.list()->viewport()->cursor().shape(), Qt::PointingHandCursor);

    // Straight to the next tile: the first gets its normal picture back.
    moveTo(page.list()->visualItemRect(beta).center());
    QCOMPARE(KvoListWidgetItem::hoveredItem(), beta);
    QCOMPARE(alpha->icon().pixmap(102, 127).toImage(), alpha->normalPixmap().toImage());
    QCOMPARE(alpha->normalPixmap().cacheKey(), alphaNormal);

    // Empty space, then leaving the grid, restore the normal picture.
    moveTo(QPoint(page.list()->viewport()->width() - 5, page.list()->viewport()->height() - 5));
    QCOMPARE(beta->icon().pixmap(102, 127).toImage(), beta->normalPixmap().toImage());
    QCOMPARE(page.list()->viewport()->cursor().shape(), Qt::ArrowCursor);
    beta->setHover();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(page.list(), &leave);
    QCOMPARE(beta->icon().pixmap(102, 127).toImage(), beta->normalPixmap().toImage());
}

void TestSoftwares::thumbnailCache_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("painted"); // the thumbnail, not the default picture
    QTest::newRow("picture") << QStringLiteral("/ok/software_1.png") << true;
    QTest::newRow("404") << QStringLiteral("/missing/software_1.png") << false;
    QTest::newRow("error page with 200") << QStringLiteral("/html/software_1.png") << false;
    QTest::newRow("cut transfer") << QStringLiteral("/cut/software_1.png") << false;
}

void TestSoftwares::thumbnailCache()
{
    QFETCH(QString, path);
    QFETCH(bool, painted);
    ThumbServer server;
    addSoftware(1, QStringLiteral("Alpha"), server.url(path));
    addCourse(10, {1}, {{101, true, false}});
    reload();

    KvoListWidget reference;
    KvoListWidgetItem::setPurchases(manager()->purchases());
    auto* plain = new KvoListWidgetItem(QStringLiteral("Alpha"), 1, &reference);
    plain->loadThumbnail(QString());

    KvoPageSoftwares page(nullptr);
    KvoListWidgetItem* tile = tileOf(page.list(), 1);
    QVERIFY(tile->isDownloading());
    QTRY_VERIFY_WITH_TIMEOUT(!tile->isDownloading(), 15000);
    QCOMPARE(server.requestCount(path), 1);

    const QString cached = KvoEnvironment::cachePath() + QStringLiteral("/software_1.png");
    QCOMPARE(QFileInfo::exists(cached), painted);
    QVERIFY(!QFileInfo::exists(cached + QStringLiteral(".part")));
    QVERIFY(!tile->normalPixmap().isNull()); // framed and named in every case
    QCOMPARE(tile->videoCount(), 1);
    if (painted)
        QCOMPARE(centre(tile->normalPixmap()), QColor(0, 200, 0));
    else
        QCOMPARE(tile->normalPixmap().toImage(), plain->normalPixmap().toImage());
}

void TestSoftwares::cachedThumbnailMakesNoRequest()
{
    ThumbServer server;
    const QString url = server.url(QStringLiteral("/ok/software_7.png"));
    QFile file(KvoEnvironment::cachePath() + QStringLiteral("/software_7.png"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(pngOf(QColor(0, 0, 220)));
    file.close();
    // A damaged copy in the cache is fetched again, not kept.
    QFile broken(KvoEnvironment::cachePath() + QStringLiteral("/software_8.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<html>");
    broken.close();

    addSoftware(7, QStringLiteral("Seven"), url);
    addSoftware(8, QStringLiteral("Eight"), server.url(QStringLiteral("/ok/software_8.png")));
    addSoftware(9, QStringLiteral("Nine"), url); // the same picture as Seven
    addCourse(10, {7, 8, 9}, {{101, true, false}});
    reload();
    KvoPageSoftwares page(nullptr);
    QCOMPARE(centre(tileOf(page.list(), 7)->normalPixmap()), QColor(0, 0, 220));
    QCOMPARE(centre(tileOf(page.list(), 9)->normalPixmap()), QColor(0, 0, 220));
    KvoListWidgetItem* eight = tileOf(page.list(), 8);
    QTRY_VERIFY_WITH_TIMEOUT(!eight->isDownloading(), 15000);
    QCOMPARE(centre(eight->normalPixmap()), QColor(0, 200, 0));
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(server.requestCount(QStringLiteral("/ok/software_8.png")), 1);
}

void TestSoftwares::tileAndPageShareOneDownload()
{
    // The library's tile and the software's page ask for the same picture
    // at the same moment: one download, kept in the cache, shown by both.
    ThumbServer server;
    const QString path = QStringLiteral("/ok/software_1.png");
    addSoftware(1, QStringLiteral("Alpha"), server.url(path));
    addCourse(10, {1}, {{101, true, false}});
    reload();
    KvoPageSoftwares page(nullptr);
    KvoListWidgetItem* tile = tileOf(page.list(), 1);
    KvoAsyncImage image;
    image.setIconSize(QSize(100, 100));
    image.setUrl(server.url(path));
    QVERIFY(tile->isDownloading());
    QVERIFY(image.isDownloading());
    QTRY_VERIFY_WITH_TIMEOUT(!tile->isDownloading() && !image.isDownloading(), 15000);

    QCOMPARE(server.requestCount(path), 1);
    QVERIFY(QFileInfo::exists(KvoEnvironment::cachePath() + QStringLiteral("/software_1.png")));
    QCOMPARE(centre(tile->normalPixmap()), QColor(0, 200, 0));
    QCOMPARE(image.icon().pixmap(100, 100).toImage().pixelColor(50, 50), QColor(0, 200, 0));
}

void TestSoftwares::clickOpensDetailPage()
{
    addSoftware(1, QStringLiteral("Alpha"));
    addSoftware(42, QStringLiteral("Beta"));
    addCourse(10, {1, 42}, {{101, true, false}});
    reload();
    KvoPageSoftwares page(nullptr);
    QCOMPARE(page.name(), QStringLiteral("softwares"));
    QCOMPARE(page.title(), QStringLiteral("Toutes mes vidéos"));
    page.resize(800, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    QSignalSpy spy(&page, &KvoPageSoftwares::onChangePage);
    KvoListWidgetItem* beta = tileOf(page.list(), 42);
    beta->setHover();
    QTest::mouseClick(page.list()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      page.list()->visualItemRect(beta).center());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("detail_software_42"));
    QCOMPARE(spy.at(0).at(1).toBool(), true);
    QCOMPARE(beta->icon().pixmap(102, 127).toImage(), beta->normalPixmap().toImage());
}

QTEST_MAIN(TestSoftwares)
#include "tst_softwares.moc"
