#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoDatabase.h"
#include "KvoDownloadJob.h"
#include "KvoDownloadList.h"
#include "KvoDownloadQueue.h"
#include "KvoEnvironment.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStoredFileCheck.h"
#include "KvoStorageNames.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString s_user = QStringLiteral("LiSt0042");

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

// A course of `videos` videos, ids 10 * id + 1 ...
KvoPurchase course(uint id, int videos)
{
    KvoPurchase p;
    p.id = id;
    p.title = QStringLiteral("Cours %1").arg(id);
    p.softwareIDs = {1};
    p.purchaseDate = QDateTime::fromSecsSinceEpoch(1600000000 + id);
    for (int i = 1; i <= videos; ++i) {
        KvoVideoFile video;
        video.fileId = id * 10 + uint(i);
        video.purchaseId = id;
        video.title = QStringLiteral("Vidéo %1").arg(i);
        video.order = uint(i);
        p.files.insert(int(video.fileId), video);
    }
    return p;
}

} // namespace

// The downloads list without a page: what it lists, what the counter
// shows, and how a course's rows follow the library and the disk.
class TestDownloadList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void countFollowsAtOnceListAtRebuild();
    void goneFilesCountAsMissing();
    void rowsFollowOneVideoAtATime();
    void courseTakenOffComesBack_data();
    void courseTakenOffComesBack();
    void everyMissingCourseListedAfterRebuild();
    void deletedFileCountsAtOnce();
    void rowsTakeARename();

private:
    // The library read again from the database, as after a synchronisation:
    // the list is told to walk it whole.
    void reload();
    // The counter counts the courses of the library that miss a video;
    // after a rebuild every one of them is listed.
    void verifyListComplete(bool afterRebuild = true);
    // Records a file for a video (made on disk) or none.
    void setPath(uint purchaseId, uint fileId, bool onDisk);
    // What the list hears of the library: the writes' notices come queued.
    void settle() { QCoreApplication::processEvents(); }

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<KvoDownloadList> m_list;
};

void TestDownloadList::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
}

void TestDownloadList::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
    KvoLibrary library;
    for (const KvoPurchase& p : {course(1, 1), course(2, 3), course(3, 2)})
        library.purchases.insert(int(p.id), p);
    QVERIFY(KvoTestLibrary::add(s_user, library));
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    QCOMPARE(manager()->purchaseIds(), (QList<int>{1, 2, 3}));
    m_list = std::make_unique<KvoDownloadList>();
}

void TestDownloadList::cleanup()
{
    m_list.reset();
    QCOMPARE(KvoDownloadQueue::instance()->queuedCount(), 0);
    KvoTestLibrary::close();
    m_dir.reset();
}

void TestDownloadList::setPath(uint purchaseId, uint fileId, bool onDisk)
{
    KvoPurchase p;
    QVERIFY(manager()->purchase(purchaseId, &p));
    KvoVideoFile video = p.files.value(int(fileId));
    video.KvoPath = onDisk ? m_dir->path() + QStringLiteral("/%1.qoz").arg(fileId) : QString();
    if (onDisk)
        QVERIFY(QFile(video.KvoPath).open(QIODevice::WriteOnly));
    manager()->setVideoPath(p, video);
}

void TestDownloadList::countFollowsAtOnceListAtRebuild()
{
    QSignalSpy counted(m_list.get(), &KvoDownloadList::countChanged);
    m_list->rebuild();
    QCOMPARE(counted.count(), 1);
    QCOMPARE(m_list->countNow(), 3);
    QCOMPARE(m_list->countAtLastRebuild(), 3);
    m_list->sort(0, manager()->softwares());
    QCOMPARE(m_list->sortedIds(), (QList<int>{1, 2, 3}));

    // Course 1 arrives: the counter follows with the write; the course
    // stays listed, finished, until the list is rebuilt.
    setPath(1, 11, true);
    settle();
    QCOMPARE(m_list->countNow(), 2);
    QCOMPARE(counted.last().at(0).toInt(), 2);
    QVERIFY(m_list->isListed(1));
    QVERIFY(m_list->job(1)->isFinished());
    QCOMPARE(m_list->countAtLastRebuild(), 3);
    m_list->rebuild();
    QCOMPARE(m_list->countAtLastRebuild(), 2);
    QVERIFY(m_list->isListed(1)); // a job to show: it stays until opened

    // A listed course whose videos all arrived stays, finished, until
    // opened; a course not listed yet joins at the rebuild, not before.
    setPath(3, 31, true);
    setPath(3, 32, true);
    m_list->rebuild();
    QVERIFY(m_list->isListed(3));
    QVERIFY(m_list->job(3)->isFinished());
    m_list.reset();
    m_list = std::make_unique<KvoDownloadList>();
    m_list->rebuild();
    QVERIFY(!m_list->isListed(3));
    setPath(3, 32, false);
    settle();
    QCOMPARE(m_list->countNow(), 2);
    QVERIFY(!m_list->isListed(3));
    m_list->rebuild();
    QVERIFY(m_list->isListed(3));
}

void TestDownloadList::goneFilesCountAsMissing()
{
    for (const uint id : {11u, 21u, 22u, 23u, 31u, 32u})
        setPath(id / 10, id, true);
    m_list->rebuild();
    QCOMPARE(m_list->countNow(), 0);
    QVERIFY(m_list->isEmpty());

    // A file found gone: its course is missing a video and joins the list.
    KvoPurchase two;
    QVERIFY(manager()->purchase(2, &two));
    const QString path = two.files.value(22).KvoPath;
    QVERIFY(QFile::remove(path));
    m_list->setGone({{22u, path}});
    QCOMPARE(m_list->countNow(), 1);
    QVERIFY(m_list->isListed(2));
    KvoDownloadJob* job = m_list->job(2);
    QCOMPARE(job->look(), KvoDownloadJob::Look::Idle);

    // Written again under the same path: no longer gone, the course is
    // whole, its row finished.
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    manager()->setVideoPath(two, two.files.value(22));
    settle();
    QCOMPARE(m_list->countNow(), 0);
    QVERIFY(m_list->gone().isEmpty());
    QVERIFY(job->isFinished());
}

void TestDownloadList::rowsFollowOneVideoAtATime()
{
    m_list->rebuild();
    QSignalSpy rows(m_list.get(), &KvoDownloadList::rowsChanged);
    KvoDownloadJob* job = m_list->job(2);
    job->toggleExpanded();
    QCOMPARE(job->children().keys(), (QList<int>{21, 22, 23}));
    // One row shows a failure the user has not acted on.
    KvoDownloadJob* failed = job->children().value(21);
    failed->setToError(QStringLiteral("Erreur - connexion coupée"));
    QCOMPARE(failed->toolTip(), QStringLiteral("Erreur - connexion coupée"));
    // A row that only shows another row's failure has no text to hover.
    KvoDownloadJob marker(course(9, 1));
    marker.setToError(QStringLiteral("Error"));
    QCOMPARE(marker.toolTip(), QString());
    QCOMPARE(marker.comment(), QString());

    // Videos 21 and 22 come on disk: the idle row goes, the failure stays.
    rows.clear();
    setPath(2, 21, true);
    setPath(2, 22, true);
    settle();
    QCOMPARE(job->children().keys(), (QList<int>{21, 23}));
    QCOMPARE(job->children().value(21), failed);
    QCOMPARE(failed->look(), KvoDownloadJob::Look::Error);
    QCOMPARE(failed->lastMessage(), QStringLiteral("Erreur - connexion coupée"));
    QVERIFY(!rows.isEmpty());
    QCOMPARE(job->look(), KvoDownloadJob::Look::Idle);

    // 22 goes missing again: its row comes back, idle, in place; nothing
    // else is made again.
    KvoDownloadJob* kept = job->children().value(23);
    setPath(2, 22, false);
    settle();
    QCOMPARE(job->children().keys(), (QList<int>{21, 22, 23}));
    QCOMPARE(job->children().value(23), kept);
    QCOMPARE(job->children().value(22)->look(), KvoDownloadJob::Look::Idle);

    // Everything on disk: the course finishes; the failed row keeps its
    // message until the user acts.
    setPath(2, 22, true);
    setPath(2, 23, true);
    settle();
    QVERIFY(job->isFinished());
    QCOMPARE(job->children().keys(), QList<int>{21});

    // A finished course that misses a video again goes back to the idle
    // look with a row for it.
    setPath(2, 23, false);
    settle();
    QCOMPARE(job->look(), KvoDownloadJob::Look::Idle);
    QCOMPARE(job->buttonText(), QStringLiteral("Télécharger"));
    QCOMPARE(job->children().keys(), (QList<int>{21, 23}));
}

void TestDownloadList::reload()
{
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    settle();
}

void TestDownloadList::verifyListComplete(bool afterRebuild)
{
    int missing = 0;
    for (const int id : manager()->purchaseIds()) {
        KvoPurchase p;
        QVERIFY(manager()->purchase(uint(id), &p));
        bool misses = false;
        for (const KvoVideoFile& video : std::as_const(p.files))
            misses = misses || !video.isOnDisk();
        if (!misses)
            continue;
        ++missing;
        if (afterRebuild)
            QVERIFY2(m_list->isListed(uint(id)),
                     qPrintable(QStringLiteral("course %1 misses a video, not listed").arg(id)));
    }
    QCOMPARE(m_list->countNow(), missing);
    if (afterRebuild)
        QCOMPARE(m_list->countAtLastRebuild(), missing);
}

void TestDownloadList::courseTakenOffComesBack_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::newRow("nothing written") << QString();
    QTest::newRow("a write to the course") << QStringLiteral("write");
    QTest::newRow("a synchronisation") << QStringLiteral("sync");
    QTest::newRow("5000 writes to another course") << QStringLiteral("many");
}

void TestDownloadList::courseTakenOffComesBack()
{
    // Course 2 has one video on disk and two missing; its row's play
    // button opened it, which takes it off the list.
    QFETCH(QString, meanwhile);
    setPath(2, 21, true);
    m_list->rebuild();
    QVERIFY(m_list->isListed(2));
    QVERIFY(m_list->remove(m_list->job(2)));
    QVERIFY(!m_list->isListed(2));
    QCOMPARE(m_list->countNow(), 3);

    if (meanwhile == QLatin1String("write")) {
        manager()->setAlreadySeen(2, 21, 40); // what playing writes at once
    } else if (meanwhile == QLatin1String("sync")) {
        reload();
    } else if (meanwhile == QLatin1String("many")) {
        for (uint percent = 1; percent <= 5000; ++percent)
            manager()->setAlreadySeen(1, 11, percent);
    }
    settle();
    m_list->rebuild();
    QVERIFY(m_list->isListed(2));
    QCOMPARE(m_list->job(2)->look(), KvoDownloadJob::Look::Idle);
    verifyListComplete();
}

void TestDownloadList::everyMissingCourseListedAfterRebuild()
{
    // Random runs of what the list meets: courses added, taken off, written
    // to, a synchronisation, files deleted outside the client and back. After
    // every rebuild each course that misses a video is listed.
    const QList<uint> videoIds = {11, 21, 22, 23, 31, 32};
    for (quint32 seed = 1; seed <= 40; ++seed) {
        QRandomGenerator random(seed);
        m_list = std::make_unique<KvoDownloadList>();
        for (const uint id : videoIds)
            setPath(id / 10, id, random.bounded(2) == 1);
        m_list->rebuild();
        uint nextCourse = 4;
        for (int step = 0; step < 30; ++step) {
            const uint fileId = videoIds.at(random.bounded(int(videoIds.size())));
            KvoPurchase p;
            const bool present = manager()->purchase(fileId / 10, &p);
            const QString path = present ? p.files.value(int(fileId)).KvoPath : QString();
            bool rebuilt = false;
            switch (random.bounded(8)) {
            case 0: { // a course bought
                KvoLibrary more;
                more.purchases.insert(int(nextCourse), course(nextCourse, 1 + random.bounded(2)));
                ++nextCourse;
                QVERIFY(KvoTestLibrary::add(s_user, more));
                reload();
                break;
            }
            case 1: { // a listed course opened
                m_list->sort(1, {});
                const QList<int> ids = m_list->sortedIds();
                if (!ids.isEmpty())
                    m_list->remove(m_list->job(uint(ids.at(random.bounded(int(ids.size()))))));
                break;
            }
            case 2: // a download or a removal
                if (present)
                    setPath(fileId / 10, fileId, random.bounded(2) == 1);
                break;
            case 3: // playing
                if (present)
                    manager()->setAlreadySeen(fileId / 10, fileId, uint(random.bounded(100)));
                break;
            case 4:
                reload();
                break;
            case 5: // deleted outside the client, then a look at the disk
                if (!path.isEmpty())
                    QFile::remove(path);
                m_list->setGone(KvoStoredFileCheck::goneFiles(manager()->purchaseIds(),
                                                              [](uint id, KvoPurchase* record) {
                                                                  return manager()->purchase(id, record);
                                                              }));
                break;
            case 6: // back on disk, then a look at the disk
                if (!path.isEmpty())
                    QFile(path).open(QIODevice::WriteOnly);
                m_list->setGone(KvoStoredFileCheck::goneFiles(manager()->purchaseIds(),
                                                              [](uint id, KvoPurchase* record) {
                                                                  return manager()->purchase(id, record);
                                                              }));
                break;
            default:
                settle();
                m_list->rebuild();
                rebuilt = true;
            }
            settle();
            // The counter follows every step; the list, every rebuild.
            verifyListComplete(rebuilt);
            if (QTest::currentTestFailed()) {
                qWarning("seed %u, step %d", seed, step);
                return;
            }
        }
        settle();
        m_list->rebuild();
        verifyListComplete();
        if (QTest::currentTestFailed()) {
            qWarning("seed %u, end", seed);
            return;
        }
        m_list.reset();
        // The courses bought in this run go again.
        KvoLibrary library = KvoTestLibrary::stored(s_user);
        for (uint id = 4; id < nextCourse; ++id)
            library.purchases.remove(int(id));
        QVERIFY(KvoTestLibrary::write(s_user, library));
        reload();
    }
}

void TestDownloadList::deletedFileCountsAtOnce()
{
    // The user removes a video from the library page: the file goes and the
    // video is hidden. The counter follows that write at once, without a
    // look at the whole disk.
    for (const uint id : {11u, 21u, 22u, 23u, 31u, 32u})
        setPath(id / 10, id, true);
    m_list->rebuild();
    QCOMPARE(m_list->countNow(), 0);
    KvoPurchase three;
    QVERIFY(manager()->purchase(3, &three));
    QSignalSpy counted(m_list.get(), &KvoDownloadList::countChanged);
    manager()->setVideoHidden(3, 32, true);
    QVERIFY(QFile::remove(three.files.value(32).KvoPath));
    settle();
    QCOMPARE(m_list->countNow(), 1);
    QCOMPARE(counted.count(), 1);
    m_list->rebuild();
    QVERIFY(m_list->isListed(3));
}

void TestDownloadList::rowsTakeARename()
{
    // A synchronisation renames a course whose rows are shown: the course
    // row and its video rows show the new title and name the same folder.
    m_list->rebuild();
    KvoDownloadJob* job = m_list->job(2);
    job->toggleExpanded();
    QCOMPARE(job->children().size(), 3);
    KvoLibrary library = KvoTestLibrary::stored(s_user);
    library.purchases[2].title = QStringLiteral("Cours renommé");
    if (!library.purchases[2].courseTitle.isNull())
        library.purchases[2].courseTitle = QStringLiteral("Cours renommé");
    library.purchases[2].files[22].title = QStringLiteral("Vidéo deux");
    QVERIFY(KvoTestLibrary::write(s_user, library));
    reload();
    QCOMPARE(job->title(), QStringLiteral("Cours renommé [ 3 vidéos ]"));
    const QString folder = KvoStorageNames::courseFolderName(job->purchase());
    QVERIFY(folder.contains(QStringLiteral("Cours renommé")));
    for (KvoDownloadJob* child : job->children())
        QCOMPARE(KvoStorageNames::courseFolderName(child->purchase()), folder);
    QCOMPARE(job->children().value(22)->title(), QStringLiteral("Vidéo deux"));
}

QTEST_GUILESS_MAIN(TestDownloadList)
#include "tst_downloadlist.moc"
