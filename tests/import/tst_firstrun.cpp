#include "KvoFileSizeLimit.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoFileCopier.h"
#include "KvoFirstRunImport.h"
#include "KvoFolderChooser.h"
#include "KvoOldStoreWriter.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSizeUnits.h"
#include "KvoStringCodec.h"
#include "KvoVideoImportDialog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QThread>

#include <memory>

using Course = KvoOldStoreWriter::Course;
using Video = KvoOldStoreWriter::Video;

namespace {

const QString s_plainUser = QStringLiteral("1234");

QString storedUser()
{
    return KvoStringCodec::encode(s_plainUser);
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&f);
    return hash.result();
}

Video video(const QString& id, const QString& title, qint64 size, bool hidden = false)
{
    Video v;
    v.id = id;
    v.title = title;
    v.size = size;
    v.hidden = hidden;
    return v;
}

QStringList filesUnder(const QString& folder)
{
    QStringList out;
    QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& e : entries) {
        if (e.isDir() && !e.isSymLink())
            out += filesUnder(e.absoluteFilePath());
        else
            out += e.absoluteFilePath();
    }
    return out;
}

} // namespace

class TestFirstRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sizeDisplay_data();
    void sizeDisplay();
    void copierKeepsSourcesAndLeavesNoPart();
    void searchReadsOnlyTheUsersDatabases();
    void badEarlierDatabases_data();
    void badEarlierDatabases();
    void importCopiesRegistersAndRemovesOnlyVerifiedSources();
    void fullDiskKeepsSourceAndRegistersNothing();
    void destinationThatIsTheSourceIsSkipped();
    void foldersNamedAsDownloadsNameThem();
    void stopBeforeCopyTouchesNothing();
    void offeredOncePerUser();
    void dialogRefusalAndKeys();
    void dialogImportsIntoChosenFolder();
    void dialogStoreOfEmptyFiles();
    void dialogCloseDuringCopyStopsAndWaits();

private:
    QString prefs() const { return KvoEnvironment::preferencesPath(); }
    QString videos() const { return m_home->path() + QStringLiteral("/videos"); }
    QString qoz(const QString& folder = QStringLiteral("QozmiraPlayer")) const
    {
        return prefs() + QLatin1Char('/') + folder + QStringLiteral("/Local Store/qoz");
    }
    void writeStore(const QList<Course>& courses, const QString& folder = QStringLiteral("QozmiraPlayer"),
                    const QString& file = QStringLiteral("data-1234.sqlite"))
    {
        QString error;
        QVERIFY2(KvoOldStoreWriter::write(prefs() + QLatin1Char('/') + folder, file, courses, QString(), &error),
                 qPrintable(error));
    }
    QStringList rows(const QString& sql)
    {
        QStringList out;
        QSqlQuery q(KvoDatabase::database());
        q.prepare(sql);
        q.addBindValue(storedUser());
        if (q.exec()) {
            while (q.next()) {
                QStringList cols;
                for (int i = 0; i < q.record().count(); ++i)
                    cols << q.value(i).toString();
                out << cols.join(QLatin1Char('|'));
            }
        }
        return out;
    }

    std::unique_ptr<KvoTestHome> m_home;
};

void TestFirstRun::init()
{
    m_home.reset(); // restores the environment before the next one is set
    m_home = std::make_unique<KvoTestHome>();
    QVERIFY(KvoTestLibrary::openWithUser(m_home->path(), storedUser()));
    QVERIFY(KvoTestLibrary::addConfiguration(storedUser()));
    KvoPurchaseVideoManager::instance()->setUser(storedUser(), QStringLiteral("demo"), QStringLiteral("3"), QString());
    KvoEnvironment::setVideoPath(videos());
    QCOMPARE(KvoEnvironment::videoPath(), videos());
}

void TestFirstRun::cleanup()
{
    KvoFolderChooser::setOverride({});
    KvoTestLibrary::close();
    m_home.reset();
}

void TestFirstRun::sizeDisplay_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<int>("unit");
    const quint64 K = 1024;
    QTest::newRow("1024 B") << K << K << 0;
    QTest::newRow("1025 B") << K + 1 << quint64(1) << 1;
    QTest::newRow("1 MiB") << K * K << K << 1;
    QTest::newRow("1 MiB + 1") << K * K + 1 << K << 1;
    QTest::newRow("1025 KiB") << 1025 * K << quint64(1) << 2;
    QTest::newRow("5 GiB") << 5 * K * K * K << quint64(5) << 3;
    QTest::newRow("3 TiB") << 3 * K * K * K * K << 3072 * quint64(1) << 3;
    QTest::newRow("1536 MiB") << 1536 * K * K << quint64(1) << 3;
}

void TestFirstRun::sizeDisplay()
{
    QFETCH(quint64, bytes);
    QFETCH(quint64, value);
    QFETCH(int, unit);
    const KvoSizeUnits::Scaled s = KvoSizeUnits::scale(bytes);
    QCOMPARE(s.value, value);
    QCOMPARE(s.unit, unit);
    // The bar counts in the shown unit: 1536 MiB is a maximum of 1 Go, at
    // 0% until a whole Go is copied.
    const quint64 maximum = bytes / s.divisor;
    QCOMPARE(KvoSizeUnits::percent((s.divisor - 1) / s.divisor, maximum), maximum > 1 ? 0 : 0);
    QCOMPARE(KvoSizeUnits::percent(maximum, maximum), 100);
    QCOMPARE(KvoSizeUnits::percent(0, 0), 100); // nothing to copy: no division by zero
}

void TestFirstRun::copierKeepsSourcesAndLeavesNoPart()
{
    const QString dir = m_home->path() + QStringLiteral("/copier");
    QDir().mkpath(dir);
    const QString source = dir + QStringLiteral("/source.qoz");
    QVERIFY(KvoOldStoreWriter::writeVideo(source, 3 * KvoFileCopier::KernelChunkSize + 17, 1, 2));
    const QByteArray before = digest(source);

    // A cancelled copy: no target, no ".part", the source as it was.
    const QString target = dir + QStringLiteral("/target.qoz");
    int chunks = 0;
    QCOMPARE(KvoFileCopier::copy(source, target, [&](qint64) { return ++chunks < 2; }),
             KvoFileCopier::Result::Cancelled);
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(KvoFileCopier::partPath(target)));

    // A complete copy replaces an older target.
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older");
    old.close();
    qint64 written = 0;
    QCOMPARE(KvoFileCopier::copy(source, target, {}, &written), KvoFileCopier::Result::Copied);
    QCOMPARE(written, QFileInfo(source).size());
    QCOMPARE(digest(target), before);
    QVERIFY(!QFile::exists(KvoFileCopier::partPath(target)));

    // The source reached through a link to its folder is the same file.
    QVERIFY(QFile::link(dir, m_home->path() + QStringLiteral("/link")));
    QCOMPARE(KvoFileCopier::copy(source, m_home->path() + QStringLiteral("/link/source.qoz")),
             KvoFileCopier::Result::SameFile);
    QCOMPARE(digest(source), before);

    // A full disk: the write fails, nothing is left but the source.
    {
        KvoFileSizeLimit limit(64 * 1024);
        QString error;
        QCOMPARE(KvoFileCopier::copy(source, dir + QStringLiteral("/full.qoz"), {}, nullptr, &error),
                 KvoFileCopier::Result::WriteFailed);
        QVERIFY(!error.isEmpty());
    }
    QVERIFY(!QFile::exists(dir + QStringLiteral("/full.qoz")));
    QVERIFY(!QFile::exists(dir + QStringLiteral("/full.qoz.part")));
    QCOMPARE(digest(source), before);
    QCOMPARE(KvoFileCopier::copy(dir + QStringLiteral("/none.qoz"), target), KvoFileCopier::Result::SourceMissing);
}

void TestFirstRun::searchReadsOnlyTheUsersDatabases()
{
    writeStore({
        {QStringLiteral("42"), QStringLiteral("Les calques"),
         {video(QStringLiteral("812"), QStringLiteral("Introduction"), 3001),
          video(QStringLiteral("813"), QStringLiteral("Calques"), 3000, true),
          [] { Video v = video(QStringLiteral("814"), QStringLiteral("x"), -1); v.qozPath = QStringLiteral("-"); return v; }()}},
        {QStringLiteral("43"), QStringLiteral("Vide"),
         {[] { Video v = video(QStringLiteral("815"), QStringLiteral("y"), -1); v.qozPath = QStringLiteral("/nonexistent"); return v; }()}},
        // A text id: attaches nothing, and no course has it.
        {QStringLiteral("1 OR 1=1"), QStringLiteral("Injection"), {}},
    });
    writeStore({{QStringLiteral("50"), QStringLiteral("Sauvegarde"), {video(QStringLiteral("500"), QStringLiteral("b"), 4000)}}},
               QStringLiteral("QozmiraPlayer"), QStringLiteral("data-1234.backup.sqlite"));
    writeStore({{QStringLiteral("60"), QStringLiteral("Autre"), {video(QStringLiteral("600"), QStringLiteral("o"), 4000)}}},
               QStringLiteral("QozmiraPlayer"), QStringLiteral("data-9999.sqlite"));
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"), {video(QStringLiteral("816"), QStringLiteral("Suite"), 4000)}}},
               QStringLiteral("QozmiraPlayer.old"), QStringLiteral("1234.sqlite"));
    writeStore({{QStringLiteral("70"), QStringLiteral("Caché"), {video(QStringLiteral("700"), QStringLiteral("h"), 4000)}}},
               QStringLiteral(".QozmiraPlayer.hidden"), QStringLiteral("data-1234.sqlite"));
    const QString db = prefs() + QStringLiteral("/QozmiraPlayer/Local Store/data-1234.sqlite");
    const QByteArray dbBefore = digest(db);

    QVERIFY(!KvoFirstRunImport::isAlreadyImported());
    KvoFirstRunImport import;
    QVERIFY(import.findOldDatabase());
    QVERIFY(KvoFirstRunImport::isAlreadyImported()); // marked before anything else

    QStringList found;
    for (const auto& p : import.importPurchases()) {
        QStringList ids;
        for (const KvoVideoFile& v : p.videos)
            ids << QString::number(v.fileId) + (v.hidden ? QStringLiteral("h") : QString());
        found << QStringLiteral("%1 %2: %3").arg(p.purchase.id).arg(p.purchase.title, ids.join(QLatin1Char(',')));
    }
    QCOMPARE(found, (QStringList{QStringLiteral("42 Les calques: 812,813h"), QStringLiteral("42 Les calques: 816")}));
    QCOMPARE(import.calcNeeded(), quint64(3001 + 3000 + 4000));
    QFile::resize(qoz() + QStringLiteral("/812.qoz"), 100000);
    QCOMPARE(import.calcNeeded(), quint64(3001 + 3000 + 4000)); // computed once
    QCOMPARE(digest(db), dbBefore); // read only

    QCOMPARE(KvoFirstRunImport::userPartOf(QStringLiteral("data-1234.sqlite")), QStringLiteral("1234"));
    QCOMPARE(KvoFirstRunImport::userPartOf(QStringLiteral("1234.sqlite")), QStringLiteral("1234"));
    QCOMPARE(KvoFirstRunImport::userPartOf(QStringLiteral("data-1234.backup.sqlite")), QString());
}

void TestFirstRun::badEarlierDatabases_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("not sqlite") << QByteArray("garbage");
    QTest::newRow("no tables") << QByteArray("empty");
    QTest::newRow("missing column") << QByteArray("columns");
    QTest::newRow("locked") << QByteArray("locked");
}

void TestFirstRun::badEarlierDatabases()
{
    QFETCH(QByteArray, kind);
    const QString store = prefs() + QStringLiteral("/QozmiraPlayer/Local Store");
    const QString path = store + QStringLiteral("/data-1234.sqlite");
    QDir().mkpath(store);
    std::unique_ptr<QSqlQuery> lockHolder;
    const QString connection = QStringLiteral("locker");
    if (kind == "garbage") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    } else {
        writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"), {video(QStringLiteral("812"), QStringLiteral("a"), 4000)}}});
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        lockHolder = std::make_unique<QSqlQuery>(db);
        if (kind == "empty") {
            QVERIFY(lockHolder->exec(QStringLiteral("DROP TABLE video")));
            QVERIFY(lockHolder->exec(QStringLiteral("DROP TABLE purchase")));
        } else if (kind == "columns") {
            QVERIFY(lockHolder->exec(QStringLiteral("ALTER TABLE video RENAME COLUMN qozPath TO path")));
        } else {
            QVERIFY(lockHolder->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
    }
    KvoFirstRunImport import;
    QVERIFY(!import.findOldDatabase());
    QVERIFY(import.importPurchases().isEmpty());
    QVERIFY(KvoFirstRunImport::isAlreadyImported());
    if (lockHolder) {
        lockHolder->exec(QStringLiteral("ROLLBACK"));
        lockHolder.reset();
        QSqlDatabase::database(connection).close();
    }
    QSqlDatabase::removeDatabase(connection);
    QVERIFY(QFile::exists(path)); // never removed or changed
}

void TestFirstRun::importCopiesRegistersAndRemovesOnlyVerifiedSources()
{
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques : \"bis\"\n"),
                 {video(QStringLiteral("812"), QStringLiteral("Introduction"), 3001, true),
                  video(QStringLiteral("813"), QStringLiteral("Calques"), 3000)}},
                {QStringLiteral("44"), QStringLiteral("Stubs"), {video(QStringLiteral("840"), QStringLiteral("s"), 10)}}});
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques : \"bis\"\n"),
                 {video(QStringLiteral("816"), QStringLiteral("Suite"), 5000)}}},
               QStringLiteral("QozmiraPlayer.old"), QStringLiteral("1234.sqlite"));
    writeStore({{QStringLiteral("60"), QStringLiteral("Autre"), {video(QStringLiteral("600"), QStringLiteral("o"), 4000)}}},
               QStringLiteral("QozmiraPlayer"), QStringLiteral("data-9999.sqlite"));
    QVERIFY(KvoOldStoreWriter::writeVideo(qoz() + QStringLiteral("/unreferenced.qoz"), 5000, 1, 1));
    QDir().mkpath(qoz() + QStringLiteral("/sub"));
    const QByteArray original812 = digest(qoz() + QStringLiteral("/812.qoz"));
    // A row of the same video from an earlier session: replaced, watched reset.
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, KvoPath, hidden, alreadyseen) VALUES (?, 812, '/old', 0, 50)"));
    q.addBindValue(storedUser());
    QVERIFY(q.exec());

    KvoFirstRunImport import;
    QVERIFY(import.findOldDatabase());
    import.runCopy(videos());

    const QString course = videos() + QStringLiteral("/42 - Les calques  bis");
    QCOMPARE(digest(course + QStringLiteral("/812 - Introduction.qoz")), original812);
    QVERIFY(QFile::exists(course + QStringLiteral("/816 - Suite.qoz")));
    QVERIFY(!QFile::exists(course + QStringLiteral("/813 - Calques.qoz"))); // 3000 bytes: a stub
    QVERIFY(!QDir(videos() + QStringLiteral("/44 - Stubs")).exists());     // nothing good: no folder left
    QCOMPARE(import.copiedCount(), 2);
    QCOMPARE(import.failedCount(), 2);

    // Only the verified copies' sources went.
    QStringList left = filesUnder(qoz());
    for (QString& f : left)
        f = QFileInfo(f).fileName();
    left.sort();
    QCOMPARE(left, (QStringList{QStringLiteral("600.qoz"), QStringLiteral("813.qoz"), QStringLiteral("840.qoz"),
                               QStringLiteral("unreferenced.qoz")}));
    QVERIFY(QDir(qoz() + QStringLiteral("/sub")).exists());
    QVERIFY(!QFile::exists(qoz(QStringLiteral("QozmiraPlayer.old")) + QStringLiteral("/816.qoz")));

    QCOMPARE(rows(QStringLiteral("SELECT id, files FROM purchases WHERE id_user = ? ORDER BY id")),
             QStringList{QStringLiteral("42|812;816")});
    QCOMPARE(rows(QStringLiteral("SELECT fileid, KvoPath, hidden, alreadyseen FROM videos WHERE id_user = ? ORDER BY fileid")),
             (QStringList{QStringLiteral("812|%1/812 - Introduction.qoz|1|0").arg(course),
                          QStringLiteral("816|%1/816 - Suite.qoz|0|0").arg(course)}));
}

void TestFirstRun::fullDiskKeepsSourceAndRegistersNothing()
{
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"),
                 {video(QStringLiteral("812"), QStringLiteral("Grande"), 4 * 1024 * 1024),
                  video(QStringLiteral("813"), QStringLiteral("Petite"), 8000)}}});
    const QByteArray before = digest(qoz() + QStringLiteral("/812.qoz"));
    KvoFirstRunImport import;
    QVERIFY(import.findOldDatabase());
    const quint64 needed = import.calcNeeded();
    {
        // Past 1 MiB every write fails; the database stays below that.
        KvoFileSizeLimit limit(1024 * 1024);
        import.runCopy(videos());
    }
    QCOMPARE(import.failedCount(), 1);
    QVERIFY(!import.firstError().isEmpty());
    QCOMPARE(digest(qoz() + QStringLiteral("/812.qoz")), before);
    QVERIFY(!QFile::exists(qoz() + QStringLiteral("/813.qoz"))); // copied, verified, removed
    const QStringList copies = filesUnder(videos());
    QCOMPARE(copies.size(), 1);
    QVERIFY(copies.first().endsWith(QStringLiteral("813 - Petite.qoz")));
    QCOMPARE(rows(QStringLiteral("SELECT files FROM purchases WHERE id_user = ?")), QStringList{QStringLiteral("813")});
    QCOMPARE(rows(QStringLiteral("SELECT fileid FROM videos WHERE id_user = ?")), QStringList{QStringLiteral("813")});
    // The progress counted the failed file whole.
    QCOMPARE(import.copiedSize(), needed);
}

void TestFirstRun::destinationThatIsTheSourceIsSkipped()
{
    // The video folder's course folder is the earlier "qoz" folder itself.
    Video v = video(QStringLiteral("812"), QStringLiteral("Introduction"), 9000);
    v.fileName = QStringLiteral("812 - Introduction.qoz");
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"), {v}}});
    QDir().mkpath(videos());
    QVERIFY(QFile::link(qoz(), videos() + QStringLiteral("/42 - Les calques")));
    const QString source = qoz() + QStringLiteral("/812 - Introduction.qoz");
    const QByteArray before = digest(source);

    KvoFirstRunImport import;
    QVERIFY(import.findOldDatabase());
    import.runCopy(videos());
    QCOMPARE(digest(source), before); // neither truncated nor removed
    QCOMPARE(import.failedCount(), 0);
    QCOMPARE(rows(QStringLiteral("SELECT KvoPath FROM videos WHERE id_user = ?")),
             QStringList{videos() + QStringLiteral("/42 - Les calques/812 - Introduction.qoz")});
}

void TestFirstRun::foldersNamedAsDownloadsNameThem()
{
    // A download of this course's other videos goes to "101 - Photomaton Pro
    // les bases": the imported ones must lie beside them.
    writeStore({{QStringLiteral("101"), QStringLiteral("Photomaton Pro : les bases"),
                 {video(QStringLiteral("1011"), QStringLiteral("Part 1!"), 4000)}}});
    KvoFirstRunImport import;
    QVERIFY(import.findOldDatabase());
    import.runCopy(videos());
    QCOMPARE(import.copiedCount(), 1);
    QCOMPARE(filesUnder(videos()),
             QStringList{videos() + QStringLiteral("/101 - Photomaton Pro  les bases/1011 - Part 1.qoz")});
}

void TestFirstRun::stopBeforeCopyTouchesNothing()
{
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"), {video(QStringLiteral("812"), QStringLiteral("a"), 9000)}}});
    KvoFirstRunImport import;
    QVERIFY(import.findOldDatabase());
    import.requestStop();
    import.runCopy(videos());
    QVERIFY(QFile::exists(qoz() + QStringLiteral("/812.qoz")));
    QVERIFY(filesUnder(videos()).isEmpty());
    QVERIFY(rows(QStringLiteral("SELECT id FROM purchases WHERE id_user = ?")).isEmpty());
}

void TestFirstRun::offeredOncePerUser()
{
    // Nothing there: no window, but never offered again either.
    KvoVideoImportDialog::offerImport();
    QVERIFY(KvoVideoImportDialog::isAlreadyImported());
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"), {video(QStringLiteral("812"), QStringLiteral("a"), 9000)}}});
    KvoVideoImportDialog::offerImport(); // returns at once: already offered
    QVERIFY(QFile::exists(qoz() + QStringLiteral("/812.qoz")));

    // A user without a configuration row is never offered anything.
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("UPDATE users SET id_configuration = NULL")));
    QVERIFY(KvoVideoImportDialog::isAlreadyImported());
}

void TestFirstRun::dialogRefusalAndKeys()
{
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"), {video(QStringLiteral("812"), QStringLiteral("a"), 9000)}}});
    KvoVideoImportDialog dialog(nullptr, Qt::FramelessWindowHint);
    QVERIFY(dialog.hasSomethingToImport());
    dialog.fadeIn(true);
    dialog.show();
    auto* size = dialog.findChild<QLabel*>(QStringLiteral("labelSize"));
    QTRY_COMPARE(size->text(), QStringLiteral("8 Ko"));

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());

    // Dragging: by the panel, not by the margin around it.
    const QPoint start = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 50), dialog.mapToGlobal(QPointF(50, 50)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(&dialog, &move);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(50, 50));
    QCOMPARE(dialog.pos(), start);
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(40, 40));
    QMouseEvent drag(QEvent::MouseMove, QPointF(60, 70), dialog.mapToGlobal(QPointF(60, 70)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(&dialog, &drag);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(60, 70));
    QCOMPARE(dialog.pos(), start + QPoint(20, 30));

    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.findChild<QPushButton*>(QStringLiteral("buttonNo"))->click();
    QVERIFY(finished.wait());
    QVERIFY(!dialog.isVisible());
    QVERIFY(QFile::exists(qoz() + QStringLiteral("/812.qoz")));
    QVERIFY(!QDir(videos()).exists() || filesUnder(videos()).isEmpty());
    QVERIFY(rows(QStringLiteral("SELECT id FROM purchases WHERE id_user = ?")).isEmpty());
    QVERIFY(KvoVideoImportDialog::isAlreadyImported());
}

void TestFirstRun::dialogImportsIntoChosenFolder()
{
    writeStore({{QStringLiteral("42"), QStringLiteral("Les calques"),
                 {video(QStringLiteral("812"), QStringLiteral("a"), 3 * 1024 * 1024),
                  video(QStringLiteral("813"), QStringLiteral("b"), 5000)}}});
    // A folder that cannot be made (below a regular file) is not kept: the
    // window says so and the copies would go to the folder it shows.
    QFile blocker(m_home->path() + QStringLiteral("/fichier"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString impossible = blocker.fileName() + QStringLiteral("/vidéos");
    QString chosen = impossible;
    KvoFolderChooser::setOverride([&](QWidget*, const QString&, const QString&) { return chosen; });

    KvoVideoImportDialog dialog(nullptr, Qt::FramelessWindowHint);
    QVERIFY(dialog.hasSomethingToImport());
    dialog.show();
    auto* notice = dialog.findChild<QLabel*>(QStringLiteral("labelDesc_7"));
    const QString hint = notice->text();
    dialog.findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    QCOMPARE(KvoEnvironment::videoPath(), videos());
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("editEmplacement"))->text(), videos());
    QVERIFY2(notice->text().endsWith(QStringLiteral("emplacement non modifié.")), qPrintable(notice->text()));
    QVERIFY(notice->toolTip().contains(impossible));
    QVERIFY(notice->toolTip().contains(videos()));
    QVERIFY(notice->minimumSizeHint().width() <= notice->width()); // the window keeps its width

    chosen = m_home->path() + QStringLiteral("/ailleurs/vidéos");
    dialog.findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("editEmplacement"))->text(), chosen);
    QCOMPARE(KvoEnvironment::videoPath(), chosen);
    QCOMPARE(notice->text(), hint);

    // Launched before the fade-in ended: the size is computed first, once.
    QSignalSpy done(&dialog, &KvoVideoImportDialog::importFinished);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.fadeIn(true);
    dialog.findChild<QPushButton*>(QStringLiteral("buttonLaunch"))->click();
    QVERIFY(done.wait());
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelSize"))->text(), QStringLiteral("3 Mo"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("progressText"))->text(), QStringLiteral("100%"));
    QCOMPARE(dialog.findChild<QProgressBar*>(QStringLiteral("progressBar"))->maximum(), 3);
    QVERIFY(finished.wait()); // faded out and closed: nothing failed
    QCOMPARE(filesUnder(chosen).size(), 2);
    QVERIFY(filesUnder(qoz()).isEmpty());
    // The library the main window starts from holds the course.
    const auto library = KvoPurchaseVideoManager::instance()->purchases();
    QVERIFY(library.contains(42));
    QCOMPARE(library.value(42).files.size(), 2);
}

void TestFirstRun::dialogStoreOfEmptyFiles()
{
    writeStore({{QStringLiteral("42"), QStringLiteral("Vide"),
                 {video(QStringLiteral("812"), QStringLiteral("a"), 0), video(QStringLiteral("813"), QStringLiteral("b"), 0)}}});
    KvoVideoImportDialog dialog(nullptr, Qt::FramelessWindowHint);
    QVERIFY(dialog.hasSomethingToImport());
    dialog.show();
    QSignalSpy done(&dialog, &KvoVideoImportDialog::importFinished);
    dialog.findChild<QPushButton*>(QStringLiteral("buttonLaunch"))->click();
    QVERIFY(done.wait());
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelSize"))->text(), QStringLiteral("0 Octets"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("progressText"))->text(), QStringLiteral("100%"));
    // Nothing could be imported: the window says so and stays.
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("buttonNo"))->text(), QStringLiteral("FERMER"));
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("labelError"))->text().contains(QStringLiteral("2")));
    QCOMPARE(filesUnder(qoz()).size(), 2);
}

void TestFirstRun::dialogCloseDuringCopyStopsAndWaits()
{
    QList<Video> many;
    for (int i = 0; i < 40; ++i)
        many << video(QString::number(900 + i), QStringLiteral("v%1").arg(i), 4 * 1024 * 1024);
    writeStore({{QStringLiteral("42"), QStringLiteral("Gros"), many}});
    auto dialog = std::make_unique<KvoVideoImportDialog>(nullptr, Qt::FramelessWindowHint);
    QVERIFY(dialog->hasSomethingToImport());
    dialog->show();
    QSignalSpy done(dialog.get(), &KvoVideoImportDialog::importFinished);
    dialog->findChild<QPushButton*>(QStringLiteral("buttonLaunch"))->click();
    QVERIFY(dialog->isImportRunning());
    // The window manager's close: ignored until the copy has stopped.
    QVERIFY(!dialog->close());
    QVERIFY(done.count() == 1 || done.wait());
    QTRY_VERIFY(!dialog->isVisible());
    dialog.reset();

    // Whatever was copied completely is registered; every source stays.
    QCOMPARE(filesUnder(qoz()).size(), 40);
    const QStringList copies = filesUnder(videos());
    for (const QString& c : copies)
        QVERIFY2(!c.endsWith(QStringLiteral(".part")), qPrintable(c));
    QCOMPARE(rows(QStringLiteral("SELECT fileid FROM videos WHERE id_user = ?")).size(), copies.size());
}

QTEST_MAIN(TestFirstRun)
#include "tst_firstrun.moc"
