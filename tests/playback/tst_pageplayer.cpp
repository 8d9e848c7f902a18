#include "KvoApi.h"
#include "KvoButtonText.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoFakeVideoBackend.h"
#include "KvoPagePlayer.h"
#include "KvoPlayerOverlay.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSignetManager.h"
#include "KvoSignetWidget.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"
#include "KvoUnfocusAnimation.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoVolumeSlider.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QVBoxLayout>

namespace {

using E = KvoVideoEventSink;
const QString s_user = QStringLiteral("u42");

// A stand-in of the rating or bookmark form.
class FakeOverlay : public KvoPlayerOverlay
{
public:
    QWidget widget;
    bool visible = false;
    QWidget* overlayWidget() override { return &widget; }
    void setOverlayHidden(bool hidden) override { visible = !hidden; }
    bool isOverlayVisible() const override { return visible; }
    void setAnchor(QWidget*) override {}
    void placeNearAnchor() override {}
};

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestPagePlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void playlistAndButtons();
    void watchedPercentage();
    void endOfVideo();
    void unplayableVideos();
    void overlaysAndBlur();
    void clearPictureLeavesWhatLiesUnder();
    void volume();
    void secondsToDate_data();
    void secondsToDate();
    void signetsStoreAndMarkers();
    void signetDragAndClick();

private:
    KvoPurchaseVideoManager* library() { return KvoPurchaseVideoManager::instance(); }
    // Course 5 with videos 51, 52, 53 (on disk unless missing) in
    // software 3; course 6 with video 61, commented or not.
    void loadLibrary(bool commented, const QList<uint>& missing = {});
    uint seen(uint purchase, uint file) { return library()->purchases().value(int(purchase)).files.value(int(file)).alreadySeen; }
    void makePage(const QList<QPair<uint, uint>>& playlist);

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    KvoFakeVideoBackend m_fake;
    std::unique_ptr<KvoPagePlayer> m_page;
    QPushButton m_play, m_pause, m_next, m_previous, m_mute, m_comment, m_signet, m_link;
    QLabel m_duration, m_time;
    std::unique_ptr<KvoVideoSeeker> m_seeker;
    std::unique_ptr<KvoVideoVolumeSlider> m_volume;
    int m_errors = 0;
};

void TestPagePlayer::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    KvoVideoBackend::setInstance(&m_fake);
    KvoPagePlayer::setErrorDialog([this](QWidget*) { ++m_errors; });
    // The fake engine brings pictures and lengths only when told to.
    KvoPagePlayer::setNoPictureBound(600000);
}

void TestPagePlayer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    m_errors = 0;
    m_fake.takeCalls();
    m_fake.failOpen = false;
    m_fake.muteAnswer = 0;
    m_fake.volumeAnswer = 100;
}

void TestPagePlayer::cleanup()
{
    m_page.reset();
    m_seeker.reset();
    m_volume.reset();
    KvoTestLibrary::close();
    m_dir.reset();
}

void TestPagePlayer::loadLibrary(bool commented, const QList<uint>& missing)
{
    QSqlQuery q(KvoDatabase::database());
    const QList<QPair<uint, QList<uint>>> courses = {{5, {51, 52, 53}}, {6, {61}}};
    for (const auto& course : courses) {
        QStringList ids;
        for (uint id : course.second)
            ids.append(QString::number(id));
        q.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date, "
                                 "url, commented) VALUES (?, ?, ?, 'Cours', '3', 0, 'https://example.org/c?a=1&b=2', ?)"));
        for (const QVariant& value : QVariantList{s_user, course.first, ids.join(';'), commented ? 1 : 0})
            q.addBindValue(value);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        for (uint id : course.second) {
            const QString path = m_dir->filePath(QStringLiteral("%1.qoz").arg(id));
            if (!missing.contains(id)) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("video");
            }
            q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, KvoPath, "
                                     "hidden, alreadyseen) VALUES (?, ?, ?, ?, 65, ?, ?, 0, 0)"));
            for (const QVariant& value :
                 QVariantList{s_user, id, course.first, QStringLiteral("Vidéo %1 & co").arg(id), id % 10, path})
                q.addBindValue(value);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
    }
    library()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    QCOMPARE(library()->purchases().size(), 2);
}

void TestPagePlayer::makePage(const QList<QPair<uint, uint>>& playlist)
{
    KvoPagePlayer::setPlaylistSource([playlist](uint softwareId, QList<QVariant>& purchases, QList<QVariant>& videos) {
        if (softwareId != 3)
            return;
        for (const auto& entry : playlist) {
            purchases.append(entry.first);
            videos.append(entry.second);
        }
    });
    m_page = std::make_unique<KvoPagePlayer>();
    m_seeker = std::make_unique<KvoVideoSeeker>();
    m_volume = std::make_unique<KvoVideoVolumeSlider>();
    m_page->setPlayButton(&m_play);
    m_page->setPauseButton(&m_pause);
    m_page->setNextButton(&m_next);
    m_page->setPreviousButton(&m_previous);
    m_page->setMuteButton(&m_mute);
    m_page->setCommentButton(&m_comment);
    m_page->setSignetButton(&m_signet);
    m_page->setQozUrlButton(&m_link);
    m_page->setDurationLabel(&m_duration);
    m_page->setTimeLabel(&m_time);
    m_page->setSeeker(m_seeker.get());
    m_page->setVolumeSlider(m_volume.get());
    m_page->videoPlayer()->setSeeker(m_seeker.get());
    m_page->videoPlayer()->setVolumeSlider(m_volume.get());
}

void TestPagePlayer::playlistAndButtons()
{
    loadLibrary(true);
    makePage({{5, 51}, {5, 52}, {5, 53}});
    QSignalSpy arianne(m_page.get(), &KvoPagePlayer::needToUpdateArianne);
    m_page->setSelectedVideo(3, 52);
    QCOMPARE(m_page->currentIndex(), 1);
    QVERIFY(m_fake.takeCalls().isEmpty()); // nothing loaded yet
    m_page->loadIfReady();
    QVERIFY(m_fake.takeCalls().contains(QStringLiteral("open ") + m_dir->filePath(QStringLiteral("52.qoz"))));
    // Its title in the breadcrumb as sent, the "&" a letter.
    QCOMPARE(KvoButtonText::shown(m_page->title()), QStringLiteral("Vidéo 52 & co"));
    QCOMPARE(arianne.count(), 1);
    QCOMPARE(m_duration.text(), QStringLiteral("1:05"));
    QVERIFY(m_previous.isEnabled());
    QVERIFY(m_next.isEnabled());
    QVERIFY(m_page->isPlayable());
    QVERIFY(!m_pause.isHidden());
    m_next.click();
    QCOMPARE(m_page->currentVideoId(), 53u);
    QVERIFY(!m_next.isEnabled());
    QVERIFY(m_previous.isEnabled());

    // An unknown selection starts at the first video; another software
    // has no video here.
    m_page->setSelectedVideo(3, 999);
    QCOMPARE(m_page->currentIndex(), 0);
    m_page->setSelectedVideo(4, 51);
    QCOMPARE(m_page->playlistSize(), 0);
    QVERIFY(!m_play.isEnabled());
    QVERIFY(!m_seeker->isEnabled());

    // One video: neither previous nor next.
    makePage({{6, 61}});
    m_page->setSelectedVideo(3, 61);
    m_page->loadIfReady();
    QVERIFY(!m_previous.isEnabled());
    QVERIFY(!m_next.isEnabled());
    QCOMPARE(m_errors, 0);
}

void TestPagePlayer::watchedPercentage()
{
    loadLibrary(true);
    makePage({{5, 51}, {5, 52}});
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    QSignalSpy updates(library(), &KvoPurchaseVideoManager::databaseUpdated);
    QSignalSpy reload(m_page.get(), &KvoPagePlayer::needToReloadSignets);
    QSignalSpy ticks(m_page->videoPlayer(), &KvoVideoPlayer::tick);
    m_fake.showPicture();
    m_fake.inject({{E::Playing, 0}, {E::TimeChanged, 500}, {E::LengthChanged, 10000}, {E::TimeChanged, 2500},
                   {E::TimeChanged, 2600}, {E::TimeChanged, 2000}, {E::TimeChanged, 4000}});
    QTRY_COMPARE(ticks.count(), 6);
    // A tick before the length was known stores nothing; the length's
    // own tick 5 %, then 25 %, 26 %, nothing when going back, 40 %.
    QCOMPARE(updates.count(), 4);
    QCOMPARE(seen(5, 51), 40u);
    QCOMPARE(reload.count(), 1);
    QCOMPARE(m_time.text(), QStringLiteral("0:04"));

    // Reports of video 51 still queued when video 52 loads are not
    // written onto 52.
    m_fake.inject({{E::TimeChanged, 9000}, {E::EndReached, 0}});
    m_next.click();
    QCOMPARE(m_page->currentVideoId(), 52u);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(seen(5, 52), 0u);
    QCOMPARE(seen(5, 51), 40u);
    QCOMPARE(m_page->currentVideoId(), 52u);

    // A length shorter than the time played never stores more than 100.
    m_fake.showPicture();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 1000}, {E::TimeChanged, 1500}});
    QTRY_COMPARE(seen(5, 52), 100u);
}

void TestPagePlayer::endOfVideo()
{
    loadLibrary(true);
    makePage({{5, 51}, {5, 52}});
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    // A commented course goes on with the next video.
    m_fake.showPicture();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 3000}, {E::EndReached, 0}});
    QTRY_COMPARE(m_page->currentVideoId(), 52u);
    QCOMPARE(seen(5, 51), 100u);
    // The last one stays.
    m_fake.showPicture();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 3000}, {E::EndReached, 0}});
    QTRY_COMPARE(seen(5, 52), 100u);
    QCOMPARE(m_page->currentVideoId(), 52u);
    QVERIFY(!m_play.isHidden());

    // A media that ended without a length or a picture could not be read:
    // the error, no 100 % and no next video.
    m_previous.click();
    QSqlQuery(KvoDatabase::database()).exec(QStringLiteral("UPDATE videos SET alreadyseen = 0"));
    library()->setAlreadySeen(5, 51, 0);
    m_fake.inject({{E::Playing, 0}, {E::EndReached, 0}});
    QTRY_COMPARE(m_errors, 1);
    QCOMPARE(m_page->currentVideoId(), 51u);
    QCOMPARE(seen(5, 51), 0u);
    QVERIFY(!m_page->isPlayable());

    // A course not rated yet opens the rating form, blurred, instead.
    KvoTestLibrary::drainManager();
    QSqlQuery(KvoDatabase::database()).exec(QStringLiteral("UPDATE purchases SET commented = 0"));
    library()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    FakeOverlay comment, signet;
    makePage({{5, 51}, {5, 52}});
    m_page->setOverlays(&comment, &signet);
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    // A length read but not one picture (a clip cut short, noise under a
    // valid box): the error too, neither watched nor rated.
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 3000}, {E::TimeChanged, 2000}, {E::EndReached, 0}});
    QTRY_COMPARE(m_errors, 2);
    QCOMPARE(seen(5, 51), 0u);
    QVERIFY(!comment.visible);
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    m_fake.showPicture();
    m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 3000}, {E::EndReached, 0}});
    QTRY_VERIFY(comment.visible);
    QCOMPARE(m_page->currentVideoId(), 51u);
    QVERIFY(m_page->blurAnimation()->isEnabled());
}

void TestPagePlayer::unplayableVideos()
{
    loadLibrary(true, {52});
    makePage({{5, 51}, {5, 52}, {5, 53}});
    m_page->setSelectedVideo(3, 52);
    m_page->loadIfReady();
    // A missing file: the error dialog once, the interface off, and the
    // way to the neighbours open.
    QCOMPARE(m_errors, 1);
    QVERIFY(!m_page->isPlayable());
    QVERIFY(!m_play.isEnabled());
    QVERIFY(!m_seeker->isEnabled());
    QVERIFY(m_previous.isEnabled());
    QVERIFY(m_next.isEnabled());
    QCOMPARE(m_time.text(), QStringLiteral("0:00"));
    m_page->onPlayClicked(); // does nothing
    QVERIFY(!m_fake.takeCalls().contains(QStringLiteral("play")));

    // A file the engine gives up on during playback.
    m_next.click();
    QVERIFY(m_page->isPlayable());
    m_fake.inject({{E::EncounteredError, 0}, {E::TimeChanged, 500}});
    QTRY_COMPARE(m_errors, 2);
    QVERIFY(!m_page->isPlayable());
    QVERIFY(!m_pause.isEnabled());
    QCoreApplication::processEvents();
    QCOMPARE(seen(5, 53), 0u);

    // A media the engine cannot load at all.
    m_fake.failOpen = true;
    m_previous.click();
    m_previous.click();
    QCOMPARE(m_page->currentVideoId(), 51u);
    QCOMPARE(m_errors, 4); // 52's missing file, then 51
    QVERIFY(!m_page->isPlayable());
    m_fake.failOpen = false;

    // The playlist lists the videos on disk: a video whose file was deleted
    // since, chosen on its row, shows its own error and nothing plays.
    makePage({{5, 51}, {5, 53}});
    m_page->setSelectedVideo(3, 52);
    m_fake.takeCalls();
    m_page->loadIfReady();
    QCOMPARE(m_errors, 5);
    QCOMPARE(m_page->currentVideoId(), 52u);
    QCOMPARE(KvoButtonText::shown(m_page->title()), QStringLiteral("Vidéo 52 & co"));
    QVERIFY(!m_page->isPlayable());
    const QStringList calls = m_fake.takeCalls();
    QVERIFY2(!calls.contains(QStringLiteral("play")) && calls.filter(QStringLiteral("open")).isEmpty(),
             qPrintable(calls.join(',')));
}

void TestPagePlayer::overlaysAndBlur()
{
    loadLibrary(true);
    FakeOverlay comment, signet;
    makePage({{5, 51}});
    m_page->setOverlays(&comment, &signet);
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    m_fake.inject({{E::Playing, 0}});
    QTRY_COMPARE(m_page->videoPlayer()->state(), int(KvoVideoPlayer::Playing));
    m_fake.takeCalls();
    // The rating form while playing: paused, shown, blurred.
    m_comment.click();
    QVERIFY(m_fake.takeCalls().contains(QStringLiteral("pause")));
    m_fake.inject({{E::Paused, 0}});
    QTRY_COMPARE(m_page->videoPlayer()->state(), int(KvoVideoPlayer::Paused));
    QVERIFY(comment.visible);
    QVERIFY(m_page->blurAnimation()->isEnabled());
    QVERIFY(!m_page->blurAnimation()->isFocusing());
    // The bookmark form replaces it; the blur stays.
    m_signet.click();
    QVERIFY(signet.visible);
    QVERIFY(!comment.visible);
    QVERIFY(!m_page->blurAnimation()->isFocusing());
    // Closed again: clear, and not playing on by itself.
    m_signet.click();
    QVERIFY(!signet.visible);
    QVERIFY(m_page->blurAnimation()->isFocusing());
    QVERIFY(!m_fake.takeCalls().contains(QStringLiteral("play")));
    QTRY_VERIFY(!m_page->blurAnimation()->isEnabled());
}

void TestPagePlayer::clearPictureLeavesWhatLiesUnder()
{
    loadLibrary(true);
    FakeOverlay comment, signet;
    makePage({{5, 51}});
    // The page filling a window, as in the main window's page stack.
    QWidget window;
    window.resize(480, 320);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_page.get());
    const auto unparent = qScopeGuard([this] { m_page->setParent(nullptr); });
    PaintCounter under;
    window.installEventFilter(&under);
    m_page->setOverlays(&comment, &signet);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    m_fake.inject({{E::Playing, 0}});
    KvoVideoPlayer* player = m_page->videoPlayer();
    const auto showPictures = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const quint64 painted = player->framesPainted();
            m_fake.showPicture();
            QTRY_VERIFY(player->framesPainted() > painted);
        }
    };
    showPictures(1);
    QVERIFY(!QTest::currentTestFailed());

    // Playing: each picture paints the video alone.
    under.paints = 0;
    showPictures(4);
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(under.paints, 0);

    // Blurred under the rating form: the picture's soft edges show what
    // lies under it, painted again with each picture.
    m_comment.click();
    m_fake.inject({{E::Paused, 0}});
    QTRY_COMPARE(player->state(), int(KvoVideoPlayer::Paused));
    QVERIFY(comment.visible);
    QTRY_VERIFY(m_page->blurAnimation()->isEnabled() && !m_page->blurAnimation()->isRunning());
    under.paints = 0;
    showPictures(3);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY2(under.paints >= 3, qPrintable(QString::number(under.paints)));

    // Clear again.
    m_comment.click();
    QVERIFY(!comment.visible);
    QTRY_VERIFY(!m_page->blurAnimation()->isEnabled());
    under.paints = 0;
    showPictures(4);
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(under.paints, 0);
}

void TestPagePlayer::volume()
{
    loadLibrary(true);
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO configurations (volume) VALUES (37)")));
    const qint64 config = q.lastInsertId().toLongLong();
    q.prepare(QStringLiteral("UPDATE users SET id_configuration = ? WHERE id_qoz_user = ?"));
    q.addBindValue(config);
    q.addBindValue(s_user);
    QVERIFY(q.exec());
    makePage({{5, 51}});
    m_page->loadVolume();
    QCOMPARE(m_volume->value(), 37);
    m_volume->setValue(64);
    m_page->saveVolume();
    QVERIFY(q.exec(QStringLiteral("SELECT volume FROM configurations WHERE rowid = %1").arg(config)));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 64);

    // Muting shows the muted look and disables the slider.
    m_page->setSelectedVideo(3, 51);
    m_page->loadIfReady();
    m_mute.click();
    QVERIFY(!m_volume->isEnabled());
    QVERIFY(m_mute.styleSheet().contains(QStringLiteral("volume_stop_out.png")));
    m_mute.click();
    QVERIFY(m_volume->isEnabled());
    QVERIFY(m_mute.styleSheet().contains(QStringLiteral("volume_mute_out.png")));

    // An output that cannot tell its mute state nor its volume (a dummy
    // one answers -1): the user's own state stands, through a play too.
    m_fake.muteAnswer = -1;
    m_fake.volumeAnswer = -1;
    m_mute.click();
    QCOMPARE(m_volume->value(), 0);
    m_page->onPlayClicked(); // played again while muted
    m_fake.takeCalls();
    m_mute.click();
    QVERIFY(m_volume->isEnabled());
    QCOMPARE(m_volume->value(), 64);
    QVERIFY(m_mute.styleSheet().contains(QStringLiteral("volume_mute_out.png")));
    const QStringList calls = m_fake.takeCalls();
    QVERIFY2(calls.contains(QStringLiteral("mute 0")) && calls.contains(QStringLiteral("volume 64")),
             qPrintable(calls.join(',')));
    // Quitting while muted keeps the volume chosen, not the muted 0.
    m_mute.click();
    m_page->saveVolume();
    QVERIFY(q.exec(QStringLiteral("SELECT volume FROM configurations WHERE rowid = %1").arg(config)));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 64);
}

void TestPagePlayer::secondsToDate_data()
{
    QTest::addColumn<uint>("seconds");
    QTest::addColumn<QString>("text");
    for (const auto& row : QList<QPair<uint, const char*>>{
             {0, "0:00"}, {59, "0:59"}, {65, "1:05"}, {600, "10:00"}, {3600, "1:00:00"}, {3605, "1:00:05"},
             {3725, "1:02:05"}, {36000, "10:00:00"}})
        QTest::newRow(row.second) << row.first << QString::fromLatin1(row.second);
}

void TestPagePlayer::secondsToDate()
{
    QFETCH(uint, seconds);
    QFETCH(QString, text);
    QCOMPARE(KvoPagePlayer::secondsToDate(seconds), text);
}

void TestPagePlayer::signetsStoreAndMarkers()
{
    QWidget bar;
    KvoVideoSeeker seeker(&bar);
    seeker.setGeometry(100, 20, 401, 10);
    KvoVideoPlayer player;
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    m_fake.inject({{E::LengthChanged, 120000}});
    QTRY_COMPARE(player.mediaInfo().length, 120000);

    KvoSignetManager store;
    store.setVideoId(51);
    store.load(&player, &seeker, &bar);
    QVERIFY(store.markers().isEmpty());
    // Two bookmarks at the same time, and a third.
    for (qint64 value : {30000, 30000, 61500}) {
        auto* marker = new KvoSignetWidget(&store, &player, &seeker, &bar);
        marker->setValue(value);
        marker->setName(QStringLiteral("<b>0:30 </b> a"));
        marker->updatePosition();
        store.add(marker);
    }
    QCOMPARE(store.markers().value(0)->pos(), QPoint(194, 29));
    store.setVideoId(52);
    store.load(&player, &seeker, &bar);
    QVERIFY(store.markers().isEmpty());
    store.setVideoId(51);
    store.load(&player, &seeker, &bar);
    QCOMPARE(store.markers().size(), 3);
    QCOMPARE(store.markers().value(0)->pos(), QPoint(194, 29));

    // Deleting one of the two at 30 s leaves the other.
    KvoSignetWidget* first = store.markers().value(0);
    store.remove(first);
    QVERIFY(first->isHidden());
    store.load(&player, &seeker, &bar);
    QCOMPARE(store.markers().size(), 2);
    QCOMPARE(store.markers().value(0)->value(), 30000);
    QCOMPARE(store.markers().value(1)->value(), 61500);
}

void TestPagePlayer::signetDragAndClick()
{
    QWidget bar;
    bar.resize(600, 60);
    KvoVideoSeeker seeker(&bar);
    seeker.setGeometry(100, 20, 401, 10);
    KvoVideoPlayer player;
    QVERIFY(player.openFile(QStringLiteral("/v/a.qoz")));
    m_fake.inject({{E::LengthChanged, 120000}});
    QTRY_COMPARE(player.mediaInfo().length, 120000);
    KvoSignetManager store;
    store.setVideoId(51);
    auto* marker = new KvoSignetWidget(&store, &player, &seeker, &bar);
    marker->setValue(61500);
    store.add(marker);
    bar.show();
    m_fake.takeCalls();
    QTest::mouseClick(marker, Qt::LeftButton);
    QCOMPARE(m_fake.takeCalls(), QStringList{QStringLiteral("time 61000")});
    // A bookmark in the video's last second leads nowhere, as the bar does.
    KvoSignetWidget last(&store, &player, &seeker, &bar);
    last.setValue(119500);
    last.show();
    QTest::mouseClick(&last, Qt::LeftButton);
    QVERIFY(m_fake.takeCalls().isEmpty());

    // Moves inside the marker (bounds included) keep it.
    for (const QPoint& inside : {QPoint(13, 5), QPoint(5, 17), QPoint(0, 0)}) {
        QMouseEvent move(QEvent::MouseMove, inside, marker->mapToGlobal(inside), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(marker, &move);
        QVERIFY(!marker->isRemoved());
    }
    QMouseEvent out(QEvent::MouseMove, QPoint(-1, 5), marker->mapToGlobal(QPoint(-1, 5)), Qt::NoButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(marker, &out);
    QVERIFY(marker->isRemoved());
    QVERIFY(marker->isHidden());
    store.setMarkersHidden(true);
    store.setMarkersHidden(false);
    QVERIFY(marker->isHidden());
    store.load(&player, &seeker, &bar);
    QVERIFY(store.markers().isEmpty());
}

QTEST_MAIN(TestPagePlayer)
#include "tst_pageplayer.moc"
