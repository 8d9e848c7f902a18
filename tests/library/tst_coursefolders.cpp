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
    QVERIFY(KvoCourseFolders::makeAndHold(at(held)));
    QVERIFY(QFileInfo(m_folder).isDir());
    QVERIFY(!removeVideo(at(removed)));
    QVERIFY(QFileInfo(m_folder).isDir());
    KvoCourseFolders::release(at(held), m_videos);
    QVERIFY(!QFileInfo::exists(m_folder));
}

void TestCourseFolders::releasedAfterItsLinkChanged()
{
    // The download made its folder through "lien", which leads elsewhere by
    // the time it ends: it still lets its own folder go.
    QVERIFY(KvoCourseFolders::makeAndHold(at(QStringLiteral("lien/4 - Quatre"))));
    QVERIFY(QFile::remove(at(QStringLiteral("lien"))));
    QVERIFY(QDir().mkpath(at(QStringLiteral("autre"))));
    QVERIFY(QFile::link(at(QStringLiteral("autre")), at(QStringLiteral("lien"))));
    KvoCourseFolders::release(at(QStringLiteral("lien/4 - Quatre")), m_videos);
    QVERIFY(!QFileInfo::exists(m_folder));
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
    QVERIFY(KvoCourseFolders::makeAndHold(m_folder));
    QVERIFY(KvoCourseFolders::makeAndHold(m_folder));
    QVERIFY(QFile::remove(video));
    QVERIFY(!removeVideo(m_folder));
    KvoCourseFolders::release(m_folder, m_videos);
    QVERIFY(QFileInfo(m_folder).isDir());
    KvoCourseFolders::release(m_folder, m_videos);
    QVERIFY(!QFileInfo::exists(m_folder));

    // A folder that got a file meanwhile stays.
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(KvoCourseFolders::makeAndHold(m_folder));
    QVERIFY(!removeVideo(m_folder));
    QVERIFY(write(m_folder + QStringLiteral("/42 - V42.qoz")));
    KvoCourseFolders::release(m_folder, m_videos);
    QVERIFY(QFileInfo::exists(m_folder + QStringLiteral("/42 - V42.qoz")));

    // Without a removal, a folder the transfer found stays, even empty.
    QVERIFY(QFile::remove(m_folder + QStringLiteral("/42 - V42.qoz")));
    QVERIFY(KvoCourseFolders::makeAndHold(m_folder));
    KvoCourseFolders::release(m_folder, m_videos);
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
        QVERIFY(KvoCourseFolders::makeAndHold(m_folder));
        if (!QFileInfo(m_folder).isDir())
            ++lost;
        KvoCourseFolders::release(m_folder, m_videos);
    }
    QCOMPARE(lost, 0);
    QVERIFY(!QFileInfo::exists(m_folder));
}

QTEST_GUILESS_MAIN(TestCourseFolders)
#include "tst_coursefolders.moc"
