#include "KvoCourseFolders.h"
#include "KvoPurchase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class TestCourseFolders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void heldFolderKnownByEverySpelling_data();
    void heldFolderKnownByEverySpelling();
    void releasedAfterItsLinkChanged();
    void releaseLetsGoItsOwnHoldOnly();
    void refusedRemovalDoneAtLastRelease();
    void noRemovalBetweenMakeAndHold();

private:
    // The path of `relative` under the temporary folder.
    QString at(const QString& relative) const { return m_dir->path() + QLatin1Char('/') + relative; }
    bool removeVideo(const QString& folder) const
    {
        return KvoCourseFolders::removeEmptyCourseFolder(folder + QStringLiteral("/41 - V41.qoz"), m_course,
                                                         m_videos);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_videos;
    QString m_folder;
    KvoPurchase m_course;
};

void TestCourseFolders::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_videos = at(QStringLiteral("videos"));
    QVERIFY(QDir().mkpath(m_videos));
    // "lien" leads to the video folder.
    QVERIFY(QFile::link(m_videos, at(QStringLiteral("lien"))));
    m_course.id = 4;
    m_course.title = QStringLiteral("Quatre");
    m_folder = m_videos + QStringLiteral("/4 - Quatre");
}

void TestCourseFolders::cleanup()
{
    m_dir.reset();
}

void TestCourseFolders::heldFolderKnownByEverySpelling_data()
{
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("removed");
    QTest::newRow("held as written, removed through a link") << "videos/4 - Quatre" << "lien/4 - Quatre";
    QTest::newRow("held through a link, removed as written") << "lien/4 - Quatre" << "videos/4 - Quatre";
    QTest::newRow("removed with a dot") << "videos/4 - Quatre" << "videos/./4 - Quatre";
    QTest::newRow("removed with a double slash") << "videos/4 - Quatre" << "videos//4 - Quatre";
    QTest::newRow("held with a dot, removed through a link") << "videos/./4 - Quatre" << "lien//4 - Quatre";
}

void TestCourseFolders::heldFolderKnownByEverySpelling()
{
    QFETCH(QString, held);
    QFETCH(QString, removed);
    // A download has made the course folder and not yet opened its file;
    // the user removes the course's last video meanwhile.
    const auto hold = KvoCourseFolders::makeAndHold(at(held));
    QVERIFY(hold.isHeld());
    QVERIFY(QFileInfo(m_folder).isDir());
    QVERIFY(!removeVideo(at(removed)));
    QVERIFY(QFileInfo(m_folder).isDir());
    KvoCourseFolders::release(hold, m_videos);
    QVERIFY(!QFileInfo::exists(m_folder));
}

void TestCourseFolders::releasedAfterItsLinkChanged()
{
    // The download made its folder through "lien", which leads elsewhere by
    // the time it ends: it still lets its own folder go.
    const auto hold = KvoCourseFolders::makeAndHold(at(QStringLiteral("lien/4 - Quatre")));
    QVERIFY(hold.isHeld());
    QVERIFY(QFile::remove(at(QStringLiteral("lien"))));
    QVERIFY(QDir().mkpath(at(QStringLiteral("autre"))));
    QVERIFY(QFile::link(at(QStringLiteral("autre")), at(QStringLiteral("lien"))));
    KvoCourseFolders::release(hold, m_videos);
    QVERIFY(!QFileInfo::exists(m_folder));
}

void TestCourseFolders::releaseLetsGoItsOwnHoldOnly()
{
    // Transfer A holds its folder through the video folder "lien"; "lien"
    // is then pointed elsewhere and transfer B holds the same written path,
    // which is now a folder of its own.
    const QString videoFolder = at(QStringLiteral("lien"));
    const QString written = videoFolder + QStringLiteral("/4 - Quatre");
    const auto a = KvoCourseFolders::makeAndHold(written);
    QVERIFY(a.isHeld());
    QVERIFY(QFile::remove(videoFolder));
    QVERIFY(QDir().mkpath(at(QStringLiteral("autre"))));
    QVERIFY(QFile::link(at(QStringLiteral("autre")), videoFolder));
    const auto b = KvoCourseFolders::makeAndHold(written);
    QVERIFY(b.isHeld());
    const QString folderOfB = at(QStringLiteral("autre/4 - Quatre"));
    QVERIFY(QFileInfo(folderOfB).isDir());

    // A's end leaves B's hold alone: B's folder stays while B holds it,
    // even when the user removes the course's last video meanwhile.
    KvoCourseFolders::release(a, videoFolder);
    QVERIFY(QFileInfo(folderOfB).isDir());
    QVERIFY(!KvoCourseFolders::removeEmptyCourseFolder(folderOfB + QStringLiteral("/41 - V41.qoz"), m_course,
                                                       videoFolder));
    QVERIFY(QFileInfo(folderOfB).isDir());
    // A's own folder is held no more: the removal of its last video takes it.
    QVERIFY(removeVideo(m_folder));
    QVERIFY(!QFileInfo::exists(m_folder));

    KvoCourseFolders::release(b, videoFolder);
    QVERIFY(!QFileInfo::exists(folderOfB));
}

void TestCourseFolders::refusedRemovalDoneAtLastRelease()
{
    // The folder was there before the transfers: it holds the video the
    // user is about to remove.
    const QString video = m_folder + QStringLiteral("/41 - V41.qoz");
    const auto write = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    };
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(write(video));

    // Two transfers hold the folder; the removal waits for both.
    const auto first = KvoCourseFolders::makeAndHold(m_folder);
    const auto second = KvoCourseFolders::makeAndHold(m_folder);
    QVERIFY(first.isHeld() && second.isHeld());
    QVERIFY(QFile::remove(video));
    QVERIFY(!removeVideo(m_folder));
    KvoCourseFolders::release(first, m_videos);
    QVERIFY(QFileInfo(m_folder).isDir());
    // A hold let go already changes nothing.
    KvoCourseFolders::release(first, m_videos);
    QVERIFY(QFileInfo(m_folder).isDir());
    KvoCourseFolders::release(second, m_videos);
    QVERIFY(!QFileInfo::exists(m_folder));

    // A folder that got a file meanwhile stays.
    QVERIFY(QDir().mkpath(m_folder));
    const auto third = KvoCourseFolders::makeAndHold(m_folder);
    QVERIFY(third.isHeld());
    QVERIFY(!removeVideo(m_folder));
    QVERIFY(write(m_folder + QStringLiteral("/42 - V42.qoz")));
    KvoCourseFolders::release(third, m_videos);
    QVERIFY(QFileInfo::exists(m_folder + QStringLiteral("/42 - V42.qoz")));

    // Without a removal, a folder the transfer found stays, even empty.
    QVERIFY(QFile::remove(m_folder + QStringLiteral("/42 - V42.qoz")));
    const auto fourth = KvoCourseFolders::makeAndHold(m_folder);
    QVERIFY(fourth.isHeld());
    KvoCourseFolders::release(fourth, m_videos);
    QVERIFY(QFileInfo(m_folder).isDir());
}

void TestCourseFolders::noRemovalBetweenMakeAndHold()
{
    // The user's removals run on another thread all along; a removal that
    // came between the making and the holding would take the folder from
    // under the transfer that made it.
    std::atomic<bool> stop{false};
    std::atomic<int> tries{0};
    std::unique_ptr<QThread> remover(QThread::create([&] {
        while (!stop.load()) {
            removeVideo(m_folder);
            ++tries;
        }
    }));
    remover->start();
    const auto join = qScopeGuard([&] {
        stop = true;
        remover->wait();
    });
    while (tries.load() == 0)
        QThread::yieldCurrentThread();
    int lost = 0;
    for (int i = 0; i < 1000; ++i) {
        const auto hold = KvoCourseFolders::makeAndHold(m_folder);
        QVERIFY(hold.isHeld());
        if (!QFileInfo(m_folder).isDir())
            ++lost;
        KvoCourseFolders::release(hold, m_videos);
    }
    QCOMPARE(lost, 0);
    QVERIFY(!QFileInfo::exists(m_folder));
}

QTEST_GUILESS_MAIN(TestCourseFolders)
#include "tst_coursefolders.moc"
