#include "KvoFileSizeLimit.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoFolderChooser.h"
#include "KvoOldStoreWriter.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoStringCodec.h"
#include "KvoVideoImporter.h"
#include "KvoVideoImporterThread.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include <memory>

namespace {

const QString s_user = KvoStringCodec::encode(QStringLiteral("1234"));

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

void makeQoz(const QString& path, quint32 purchase, quint32 file, qint64 size = 6000)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(KvoOldStoreWriter::writeVideo(path, size, purchase, file));
}

} // namespace

class TestFolderSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void walkOrderAndSkips();
    void copyIntoVideoFolder();
    void copyNamesAsADownload();
    void linkedVideoFolderNeverLosesTheFile();
    void copyFailureKeepsFoundFile();
    void dialogStates();
    void closeDuringSearchStopsAndWaits();

private:
    QString root() const { return m_home->path() + QStringLiteral("/search"); }
    QString videos() const { return m_home->path() + QStringLiteral("/videos"); }
    QString target(uint file, const QString& title) const
    {
        return videos() + QStringLiteral("/42 - Les calques/%1 - %2.qoz").arg(file).arg(title);
    }
    int search(const QString& folder, bool copy, int* failed = nullptr)
    {
        KvoVideoImporterThread thread;
        connect(&thread, &KvoVideoImporterThread::registrationQueued, &thread, &KvoVideoImporterThread::applyPending,
                Qt::QueuedConnection);
        // Sent on this thread, by applyPending().
        QSignalSpy imported(&thread, &KvoVideoImporterThread::newVideoImported);
        thread.searchFolder = folder;
        thread.copyFiles = copy;
        thread.videoFolder = KvoEnvironment::videoPath();
        thread.start();
        // The thread's own finished() comes from the search thread: its
        // state is read instead.
        if (!QTest::qWaitFor([&thread] { return thread.isFinished(); }, 60000))
            return -1;
        thread.applyPending();
        if (failed)
            *failed = thread.failedCount();
        return int(imported.count());
    }
    QString row(uint file)
    {
        QSqlQuery q(KvoDatabase::database());
        q.prepare(QStringLiteral("SELECT KvoPath, hidden FROM videos WHERE id_user = ? AND fileid = ?"));
        q.addBindValue(s_user);
        q.addBindValue(file);
        if (!q.exec() || !q.next())
            return QStringLiteral("none");
        return q.value(0).toString() + QLatin1Char('|') + q.value(1).toString();
    }

    std::unique_ptr<KvoTestHome> m_home;
    QString m_existing; // the file the library already knows for 814
};

void TestFolderSearch::init()
{
    m_home.reset(); // restores the environment before the next one is set
    m_home = std::make_unique<KvoTestHome>();
    QVERIFY(KvoTestLibrary::openWithUser(m_home->path(), s_user));
    QVERIFY(KvoTestLibrary::addConfiguration(s_user));
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title) VALUES (?, 42, '812;813;814', 'Les calques')"));
    q.addBindValue(s_user);
    QVERIFY(q.exec());
    m_existing = m_home->path() + QStringLiteral("/elsewhere/814.qoz");
    makeQoz(m_existing, 42, 814);
    const QList<QVariantList> videoRows = {{812, QStringLiteral("Introduction"), QString(), 0},
                                           {813, QStringLiteral("Calques"), QString(), 1},
                                           {814, QStringLiteral("Existe"), m_existing, 0}};
    for (const QVariantList& v : videoRows) {
        q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, KvoPath, hidden) VALUES (?, ?, 42, ?, ?, ?)"));
        q.addBindValue(s_user);
        for (const QVariant& value : v)
            q.addBindValue(value);
        QVERIFY(q.exec());
    }
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    QCOMPARE(KvoPurchaseVideoManager::instance()->purchases().value(42).files.size(), 3);
    KvoEnvironment::setVideoPath(videos());
}

void TestFolderSearch::cleanup()
{
    KvoFolderChooser::setOverride({});
    KvoTestLibrary::close();
    m_home.reset();
}

void TestFolderSearch::walkOrderAndSkips()
{
    makeQoz(root() + QStringLiteral("/B.qoz"), 42, 812);
    makeQoz(root() + QStringLiteral("/a.qoz"), 42, 812);
    makeQoz(root() + QStringLiteral("/X.QOZ"), 42, 813);
    makeQoz(root() + QStringLiteral("/.cache.qoz"), 42, 813);
    makeQoz(root() + QStringLiteral("/.hidden/v.qoz"), 42, 813);
    makeQoz(m_home->path() + QStringLiteral("/outside/813.qoz"), 42, 813);
    QVERIFY(QFile::link(m_home->path() + QStringLiteral("/outside/813.qoz"), root() + QStringLiteral("/link.qoz")));
    QVERIFY(QFile::link(root(), root() + QStringLiteral("/loop"))); // a loop of links is never entered
    makeQoz(root() + QStringLiteral("/sub/foreign.qoz"), 99, 990);
    makeQoz(root() + QStringLiteral("/sub/damaged.qoz"), 42, 813);
    {
        QFile f(root() + QStringLiteral("/sub/damaged.qoz"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - 10);
        f.write("x");
    }
    QFile(root() + QStringLiteral("/sub/empty.qoz")).open(QIODevice::WriteOnly);
    const QString odd = root() + QStringLiteral("/sub/l'autre\nnom \"à\".qoz");
    makeQoz(odd, 42, 813);

    QCOMPARE(search(root(), false), 2);
    // Files before sub-folders, by character code: B.qoz came first.
    QCOMPARE(row(812), root() + QStringLiteral("/B.qoz|0"));
    QCOMPARE(row(813), odd + QStringLiteral("|0")); // found, registered, shown again
    QCOMPARE(row(814), m_existing + QStringLiteral("|0"));
    const auto library = KvoPurchaseVideoManager::instance()->purchases().value(42).files;
    QCOMPARE(library.value(812).KvoPath, root() + QStringLiteral("/B.qoz"));
    QVERIFY(!library.value(813).hidden);
    QVERIFY(!QDir(videos()).exists() || QDir(videos()).isEmpty()); // nothing copied
}

void TestFolderSearch::copyIntoVideoFolder()
{
    makeQoz(root() + QStringLiteral("/x.qoz"), 42, 812);
    makeQoz(root() + QStringLiteral("/y.qoz"), 42, 812); // the same video again
    makeQoz(root() + QStringLiteral("/z.qoz"), 42, 813, 9000);
    makeQoz(root() + QStringLiteral("/w.qoz"), 42, 814);
    QDir().mkpath(videos() + QStringLiteral("/42 - Les calques"));
    QFile older(target(813, QStringLiteral("Calques")));
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("an older file");
    older.close();

    QCOMPARE(search(root(), true), 3);
    QCOMPARE(row(812), target(812, QStringLiteral("Introduction")) + QStringLiteral("|0"));
    QCOMPARE(row(813), target(813, QStringLiteral("Calques")) + QStringLiteral("|0"));
    QCOMPARE(row(814), target(814, QStringLiteral("Existe")) + QStringLiteral("|0"));
    QCOMPARE(digest(target(812, QStringLiteral("Introduction"))), digest(root() + QStringLiteral("/x.qoz")));
    QCOMPARE(digest(target(813, QStringLiteral("Calques"))), digest(root() + QStringLiteral("/z.qoz")));
    QVERIFY(QFile::exists(root() + QStringLiteral("/x.qoz"))); // found files stay
    QCOMPARE(QDir(videos() + QStringLiteral("/42 - Les calques")).entryList(QDir::Files).size(), 3); // no ".part"

    // Searching the video folder itself: everything is in place.
    QCOMPARE(search(videos(), true), 0);
}

void TestFolderSearch::copyNamesAsADownload()
{
    // Titles with characters a download leaves out of its names: the copy
    // goes where a download of the same video would.
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("UPDATE purchases SET title = 'Les calques : niveau 2' WHERE id = 42")));
    QVERIFY(q.exec(QStringLiteral("UPDATE videos SET title = 'Part 1!' WHERE fileid = 812")));
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    makeQoz(root() + QStringLiteral("/x.qoz"), 42, 812);

    QCOMPARE(search(root(), true), 1);
    const QString expected = videos() + QStringLiteral("/42 - Les calques  niveau 2/812 - Part 1.qoz");
    QCOMPARE(row(812), expected + QStringLiteral("|0"));
    QVERIFY(QFile::exists(expected));
}

void TestFolderSearch::linkedVideoFolderNeverLosesTheFile()
{
    const QString real = m_home->path() + QStringLiteral("/real");
    const QString found = real + QStringLiteral("/42 - Les calques/812 - Introduction.qoz");
    makeQoz(found, 42, 812);
    const QByteArray before = digest(found);
    QVERIFY(QDir(videos()).removeRecursively());
    QVERIFY(QFile::link(real, videos()));

    QCOMPARE(search(real, true), 1);
    QCOMPARE(digest(found), before);
    QCOMPARE(row(812), target(812, QStringLiteral("Introduction")) + QStringLiteral("|0"));
    QVERIFY(QFile::exists(target(812, QStringLiteral("Introduction"))));
}

void TestFolderSearch::copyFailureKeepsFoundFile()
{
    makeQoz(root() + QStringLiteral("/big.qoz"), 42, 812, 512 * 1024);
    const QByteArray before = digest(root() + QStringLiteral("/big.qoz"));
    int failed = 0;
    {
        KvoFileSizeLimit limit(64 * 1024);
        QCOMPARE(search(root(), true, &failed), 0);
    }
    QCOMPARE(failed, 1);
    QCOMPARE(digest(root() + QStringLiteral("/big.qoz")), before);
    QVERIFY(!QFile::exists(target(812, QStringLiteral("Introduction"))));
    QVERIFY(!QFile::exists(target(812, QStringLiteral("Introduction")) + QStringLiteral(".part")));
    QCOMPARE(row(812), QStringLiteral("|0"));
}

void TestFolderSearch::dialogStates()
{
    makeQoz(root() + QStringLiteral("/x.qoz"), 42, 812);
    QString answer;
    QString caption;
    KvoFolderChooser::setOverride([&](QWidget*, const QString& c, const QString&) {
        caption = c;
        return answer;
    });
    {
        // "ANNULER" before a search closes the window.
        KvoVideoImporter dialog(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        dialog.show();
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.findChild<QPushButton*>(QStringLiteral("buttonCancel"))->click();
        QCOMPARE(finished.count(), 1);
    }
    KvoVideoImporter dialog(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    dialog.show();
    auto* launch = dialog.findChild<QPushButton*>(QStringLiteral("buttonLaunch"));
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("buttonCancel"));
    auto* parcourir = dialog.findChild<QPushButton*>(QStringLiteral("buttonParcourir"));
    QVERIFY(!launch->isEnabled());
    answer = root() + QStringLiteral("/none");
    parcourir->click();
    QCOMPARE(caption, QStringLiteral("Emplacement de recherche"));
    QVERIFY(!launch->isEnabled()); // no such folder
    answer = root();
    parcourir->click();
    QVERIFY(launch->isEnabled());
    answer.clear();
    parcourir->click(); // cancelled: the choice stays
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("editEmplacement"))->text(), root());
    QVERIFY(launch->isEnabled());

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    launch->click();
    QCOMPARE(cancel->text(), QStringLiteral("ARRÊTER LA RECHERCHE"));
    QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("checkboxCopy"))->isEnabled());
    QTRY_COMPARE(cancel->text(), QStringLiteral("FERMER"));
    QCOMPARE(launch->text(), QStringLiteral("RECHERCHE TERMINÉE"));
    QVERIFY(!launch->isEnabled() && !parcourir->isEnabled());
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelSize"))->text(), QStringLiteral("1"));
    QCOMPARE(dialog.count(), 1u);
    QCOMPARE(row(812), target(812, QStringLiteral("Introduction")) + QStringLiteral("|0"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    cancel->click();
    QCOMPARE(finished.count(), 1);
}

void TestFolderSearch::closeDuringSearchStopsAndWaits()
{
    // A tree long enough to be walking when the window goes.
    for (int d = 0; d < 300; ++d) {
        const QString dir = root() + QStringLiteral("/d%1").arg(d, 3, 10, QLatin1Char('0'));
        QDir().mkpath(dir);
        for (int f = 0; f < 20; ++f)
            QFile(dir + QStringLiteral("/f%1.txt").arg(f)).open(QIODevice::WriteOnly);
    }
    makeQoz(root() + QStringLiteral("/zzz/last.qoz"), 42, 812);
    KvoFolderChooser::setOverride([&](QWidget*, const QString&, const QString&) { return root(); });

    {
        // Stopped by its button: the finished state with the count so far.
        KvoVideoImporter dialog(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        dialog.show();
        dialog.findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("buttonLaunch"))->click();
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("buttonCancel"));
        cancel->click();
        QVERIFY(dialog.isVisible());
        QTRY_COMPARE(cancel->text(), QStringLiteral("FERMER"));
        QVERIFY(!dialog.searchThread()->isRunning());
    }
    auto dialog = std::make_unique<KvoVideoImporter>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    dialog->show();
    dialog->findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    dialog->findChild<QPushButton*>(QStringLiteral("buttonLaunch"))->click();
    QVERIFY(dialog->isSearching());
    dialog->close(); // the window manager's close
    QVERIFY(!dialog->searchThread()->isRunning());
    dialog.reset(); // no "QThread: Destroyed while thread is still running"
}

QTEST_MAIN(TestFolderSearch)
#include "tst_foldersearch.moc"
