#include "KvoDialogDriver.h"
#include "KvoFifoTrap.h"
#include "KvoFakeHttpServer.h"
#include "KvoGuiThreadSpy.h"
#include "KvoTestSession.h"
#include "KvoTestSupport.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoDownloadJob.h"
#include "KvoDownloadList.h"
#include "KvoDownloadQueue.h"
#include "KvoDownloadWidget.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoNotificationBox.h"
#include "KvoPageDownloads.h"
#include "KvoPaginationWidget.h"
#include "KvoVornLink.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoStorageNames.h"
#include "KvoStoredFileCheck.h"
#include "KvoTestLibrary.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTranslator>
#include <QToolTip>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

// Every file under a folder, relative to it.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// The titles of the notification boxes on screen, except those in before.
QStringList titlesOfOpenBoxes(const QList<KvoNotificationBox*>& before = {})
{
    QStringList titles;
    for (KvoNotificationBox* box : KvoNotificationBox::openBoxes())
        if (!before.contains(box))
            titles.append(box->title());
    return titles;
}

// Stands in for the service: gives every video the address of a body that
// comes one byte at a time (never idle long enough for an inactivity
// time-out).
struct DripService : KvoFakeHttpServer
{
    DripService()
    {
        setHandler([this](const Request& request) {
            if (request.path() == QLatin1String("/drip"))
                return Reply::drip(20);
            if (request.path() == QLatin1String("/0.1/playerFileUrl/"))
                return Reply::of(200, "{\"url\":\"" + url(QStringLiteral("/drip")).toUtf8() + "\"}");
            return Reply::raw(QByteArray(), false); // nothing else is answered
        });
        listen();
    }
    QString base() const { return address(); }
};

} // namespace

class TestDownloads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void remainingTimeTexts_data();
    void remainingTimeTexts();
    void lastUpdateTexts_data();
    void lastUpdateTexts();
    void fileNames_data();
    void fileNames();

    void downloadsACourse();
    void awkwardTitles();
    void serviceTextStaysText();
    void queueRules();
    void failuresEndInErrorLook_data();
    void failuresEndInErrorLook();
    void failuresInTheUsersLanguage_data();
    void failuresInTheUsersLanguage();
    void videoFolderProblems();
    void diskFull();
    void purchaseLeavesLibrary();
    void closingLeavesNoEmptyCourseFolder();
    void sortOrders();
    void counterFollowsTheSet();
    void finishedCourseGainsAVideo();
    void tooSlowDownloadFails();
    void rowsOnlyForTheListPage();
    void links();
    void clickRefresh();
    void refreshChecksTheFilesAgain();
    void fileCheckLeavesTransfersAlone();
    void rowsFollowTheDiskInPlace();
    void videoBackOnDiskLosesItsIdleRow();
    void finishedRowStaysUntilOpened();
    void writesOnScreenLookNotAtTheDisk();
    void sessionExpiresDuringDownload(); // last: the session stays expired

private:
    KvoDownloadJob* entry(uint purchaseId) const { return m_page->entryFor(purchaseId); }
    // The row on screen that shows a job.
    KvoDownloadWidget* row(KvoDownloadJob* job) const { return m_page->rowFor(job->purchaseId()); }
    bool waitIdle(int timeout = 10000);
    void setLibraryPath(uint purchaseId, const QString& pathOrEmpty);
    // The course's videos on disk (paths starting with prefix) but for its
    // first, which is missing; the course as the library holds it then.
    KvoPurchase onDiskButFirst(uint purchaseId, const QString& prefix);
    // The child row on screen that shows a video of a course.
    KvoDownloadWidget* childRow(uint fileId) const;
    void reloadLibrary();
    // A full poll, back to the service's library (local state kept).
    void repoll();

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<KvoTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_videos;
    std::unique_ptr<KvoPageDownloads> m_page;
};

void TestDownloads::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    QVERIFY(KvoDatabase::openForCurrentLanguage());
    m_server = std::make_unique<KvoTestServer>(QStringList{QStringLiteral("--quiet")});
    if (!m_server->isRunning())
        QSKIP("the local web service is not available");
    KvoHTTPRequest::setTransferTimeout(8000);
    KvoDownloader::setTransferTimeout(1500);

    const QString session = KvoTestSession::signInAndSync(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(session.isEmpty(), qPrintable(session));
    QCOMPARE(manager()->purchases().size(), 8);
}

void TestDownloads::init()
{
    if (!m_server || !m_server->isRunning())
        QSKIP("the local web service is not available");
    QVERIFY(m_server->clearFaults());
    m_videos = std::make_unique<QTemporaryDir>();
    KvoEnvironment::setVideoPath(m_videos->path());
    QCOMPARE(QDir::fromNativeSeparators(KvoEnvironment::videoPath()), m_videos->path());
    // Every video missing again.
    for (const KvoPurchase& p : manager()->purchases())
        setLibraryPath(p.id, QString());
    manager()->setConnected(true);
    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    m_page->resize(1030, 720);
}

void TestDownloads::cleanup()
{
    m_page.reset();
    QCOMPARE(KvoDownloadQueue::instance()->queuedCount(), 0);
    // Transfers of the deleted entries go away with the event loop.
    QTRY_COMPARE(KvoDownloadQueue::instance()->activeCount(), 0);
    qDeleteAll(KvoNotificationBox::openBoxes());
}

bool TestDownloads::waitIdle(int timeout)
{
    return QTest::qWaitFor([] { return KvoDownloadQueue::instance()->activeCount() == 0 && KvoDownloadQueue::instance()->queuedCount() == 0; },
                           timeout);
}

void TestDownloads::setLibraryPath(uint purchaseId, const QString& pathOrEmpty)
{
    const KvoPurchase p = manager()->purchases().value(int(purchaseId));
    for (KvoVideoFile video : p.files) {
        if (video.KvoPath == pathOrEmpty)
            continue;
        video.KvoPath = pathOrEmpty.isEmpty() ? QString() : pathOrEmpty + QString::number(video.fileId);
        // A recorded path counts only with its file there.
        if (!video.KvoPath.isEmpty())
            QFile(video.KvoPath).open(QIODevice::WriteOnly);
        manager()->setVideoPath(p, video);
    }
}

KvoPurchase TestDownloads::onDiskButFirst(uint purchaseId, const QString& prefix)
{
    setLibraryPath(purchaseId, prefix);
    const KvoPurchase course = manager()->purchases().value(int(purchaseId));
    KvoVideoFile missing = course.files.first();
    QFile::remove(missing.KvoPath);
    missing.KvoPath.clear();
    manager()->setVideoPath(course, missing);
    return manager()->purchases().value(int(purchaseId));
}

KvoDownloadWidget* TestDownloads::childRow(uint fileId) const
{
    for (KvoDownloadWidget* shown : m_page->visibleRows())
        if (shown->job() && shown->job()->parentJob() && shown->job()->purchase().files.contains(int(fileId)))
            return shown;
    return nullptr;
}

void TestDownloads::reloadLibrary()
{
    manager()->setUser(manager()->userId(), manager()->login(), manager()->credits(), manager()->session());
}

void TestDownloads::repoll()
{
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("UPDATE users SET last_update = 0")));
    reloadLibrary();
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    manager()->update();
    QVERIFY(ended.wait(10000));
}

// --- pure rules ---------------------------------------------------------------

void TestDownloads::remainingTimeTexts_data()
{
    QTest::addColumn<uint>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0u << "( temps estimé : 1 seconde )";
    QTest::newRow("1") << 1u << "( temps estimé : 1 seconde )";
    QTest::newRow("2") << 2u << "( temps estimé : 2 secondes )";
    QTest::newRow("45") << 45u << "( temps estimé : 45 secondes )";
    QTest::newRow("60") << 60u << "( temps estimé : 60 secondes )";
    QTest::newRow("61") << 61u << "( temps estimé : 1 minute )";
    QTest::newRow("90") << 90u << "( temps estimé : 1 minute )";
    QTest::newRow("119") << 119u << "( temps estimé : 1 minute )";
    QTest::newRow("125") << 125u << "( temps estimé : 2 minutes )";
    QTest::newRow("3599") << 3599u << "( temps estimé : 59 minutes )";
    QTest::newRow("3600") << 3600u << "( temps estimé : 1 heure et 1 seconde )";
    QTest::newRow("3725") << 3725u << "( temps estimé : 1 heure et 2 minutes )";
    QTest::newRow("7230") << 7230u << "( temps estimé : 2 heures et 30 secondes )";
    QTest::newRow("huge") << 4000000000u << "( temps estimé : 1111111 heures et 6 minutes )";
}

void TestDownloads::remainingTimeTexts()
{
    QFETCH(uint, seconds);
    QFETCH(QString, text);
    QCOMPARE(KvoDownloadJob::remainingTimeText(seconds), text);
}

void TestDownloads::lastUpdateTexts_data()
{
    QTest::addColumn<qint64>("age");
    QTest::addColumn<QString>("text");
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QTest::newRow("never") << now << "jamais"; // stamp 0
    QTest::newRow("future") << qint64(-50) << "à l'instant";
    QTest::newRow("15 s") << qint64(15) << "à l'instant";
    QTest::newRow("16 s") << qint64(16) << "il y a 15 secondes";
    QTest::newRow("30 s") << qint64(30) << "il y a 30 secondes";
    QTest::newRow("60 s") << qint64(60) << "il y a 1 minute";
    QTest::newRow("150 s") << qint64(150) << "il y a 2 minutes";
    QTest::newRow("3600 s") << qint64(3600) << "il y a 1 heure";
    QTest::newRow("7200 s") << qint64(7200) << "il y a 2 heures";
    QTest::newRow("86399 s") << qint64(86399) << "il y a 23 heures";
    // Yesterday: the local time, minutes on two digits.
    const QDateTime yesterday(QDate::currentDate().addDays(-1), QTime(9, 5));
    const qint64 yesterdayAge = now - yesterday.toSecsSinceEpoch();
    if (yesterdayAge >= 86400 && yesterdayAge < 172800)
        QTest::newRow("yesterday 9:05") << yesterdayAge << "hier à 9:05";
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    QTest::newRow("3 days") << now - old.toSecsSinceEpoch() << old.toString(QStringLiteral("dd/MM/yy"));
}

void TestDownloads::lastUpdateTexts()
{
    QFETCH(qint64, age);
    QFETCH(QString, text);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 stamp = QString::fromLatin1(QTest::currentDataTag()) == QLatin1String("never") ? 0 : now - age;
    QCOMPARE(KvoPageDownloads::lastUpdateText(stamp, now), text);
}

void TestDownloads::fileNames_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("separators") << "A/B: D?" << "AB D";
    QTest::newRow("bang") << "Part 1!" << "Part 1";
    QTest::newRow("all removed") << "|<>!?:/\\*'\"" << "";
    QTest::newRow("dots stay") << ".." << "..";
    QTest::newRow("placeholder") << "Modèles « %1 » %2" << "Modèles « %1 » %2";
    QTest::newRow("control") << QStringLiteral("a\tb\nc") << "abc";
}

void TestDownloads::fileNames()
{
    QFETCH(QString, title);
    QFETCH(QString, cleaned);
    QCOMPARE(KvoStorageNames::cleanTitle(title), cleaned);
    QCOMPARE(KvoStorageNames::nameComponent(12, cleaned), QStringLiteral("12 - ") + cleaned);
    // ".." never escapes: the name always starts with the id.
    QVERIFY(!KvoStorageNames::nameComponent(345, cleaned, QStringLiteral(".qoz")).contains(QLatin1Char('/')));

    // Long titles are shortened to what a file name holds, ".part" included.
    const QString longTitle = QString(300, QChar(0x00e9)) + title; // 2 bytes each in UTF-8
    const QString name = KvoStorageNames::nameComponent(345, KvoStorageNames::cleanTitle(longTitle),
                                                          QStringLiteral(".qoz"));
    QVERIFY(name.startsWith(QStringLiteral("345 - ")));
    QVERIFY(name.endsWith(QStringLiteral(".qoz")));
    QVERIFY((name + QStringLiteral(".part")).toUtf8().size() <= 255);
    const QString emoji = QString(200, QChar(0x263A)) + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(40);
    const QString shortened = KvoStorageNames::nameComponent(1, emoji);
    QVERIFY(shortened.toUtf8().size() <= 250);
    QVERIFY(!shortened.back().isHighSurrogate());
}

// --- downloads against the local service --------------------------------------

void TestDownloads::downloadsACourse()
{
    KvoDownloadJob* course = entry(103);
    QVERIFY(course);
    QCOMPARE(m_page->countAtLastRebuild(), 8);
    const int filesInCourse = int(course->purchase().files.size());
    QCOMPARE(filesInCourse, 3);
    course->enqueue();
    QCOMPARE(course->look(), KvoDownloadJob::Look::Asking);
    QVERIFY(course->holdsSlot());
    QTRY_VERIFY_WITH_TIMEOUT(course->isFinished(), 10000);
    QCOMPARE(course->look(), KvoDownloadJob::Look::Finished);
    QCOMPARE(row(course)->findChild<QLabel*>(QStringLiteral("title"))->text(),
             QStringLiteral("Tableur Plus pour débutants [ 3 vidéos ]"));

    const QString folder = m_videos->path() + QStringLiteral("/103 - Tableur Plus pour débutants");
    const QStringList files = filesUnder(m_videos->path());
    QCOMPARE(files.size(), 3);
    const KvoPurchase recorded = manager()->purchases().value(103);
    for (const KvoVideoFile& video : recorded.files) {
        QVERIFY(video.KvoPath.startsWith(folder + QStringLiteral("/") + QString::number(video.fileId)
                                         + QStringLiteral(" - ")));
        QVERIFY(video.KvoPath.endsWith(QStringLiteral(".qoz")));
        const KvoQozFile stored(video.KvoPath);
        QVERIFY(stored.isValid());
        QCOMPARE(stored.fileId(), video.fileId);
        QCOMPARE(stored.purchaseId(), 103u);
        QVERIFY(!video.hidden);
    }
    QVERIFY(titlesOfOpenBoxes().contains(QStringLiteral("Téléchargement terminé")));

    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 7);
    // The finished entry stays in the list until it is opened.
    QVERIFY(entry(103));
    // Clicking download again starts nothing: the videos are on disk.
    course->enqueue();
    QVERIFY(!course->holdsSlot());
}

void TestDownloads::awkwardTitles()
{
    // 102 holds "/", ":" and quotes, 104 holds "%1"; 105 gets a course and
    // a video title far longer than a file name may be.
    const QString longCourse = QStringLiteral("Très long titre ").repeated(20); // 320 characters
    const QString userId = manager()->userId();
    KvoLibrary library = KvoTestLibrary::stored(userId);
    QVERIFY(library.purchases.value(105).files.contains(1051));
    library.purchases[105].title = longCourse;
    library.purchases[105].courseTitle = longCourse;
    library.purchases[105].files[1051].title = QStringLiteral("../../%1 \"x\" ") + QString(300, QLatin1Char('v'));
    QVERIFY(KvoTestLibrary::write(userId, library));
    reloadLibrary();
    m_page = std::make_unique<KvoPageDownloads>(nullptr);

    for (uint id : {102u, 104u, 105u})
        entry(id)->enqueue();
    QVERIFY(waitIdle(15000));
    for (uint id : {102u, 104u, 105u}) {
        QCOMPARE(entry(id)->look(), KvoDownloadJob::Look::Finished);
        QVERIFY(!manager()->purchases().value(int(id)).noVideoOnDisk());
    }
    const QStringList files = filesUnder(m_videos->path());
    QVERIFY(files.contains(QStringLiteral("102 - Retouche  avantaprès, le pas à pas/1021 - Introduction.qoz")));
    QVERIFY(files.contains(QStringLiteral("104 - Modèles « %1 » et publipostage/1041 - Introduction.qoz")));
    for (const QString& file : files) {
        QVERIFY2(!file.endsWith(QStringLiteral(".part")), qPrintable(file));
        for (const QString& part : file.split(QLatin1Char('/')))
            QVERIFY(part.toUtf8().size() <= 250);
    }
    // Everything stays inside the video folder.
    const QString path1051 = manager()->purchases().value(105).files.value(1051).KvoPath;
    QVERIFY(QFileInfo(path1051).isFile());
    QVERIFY(QFileInfo(path1051).canonicalFilePath().startsWith(QDir(m_videos->path()).canonicalPath()));
    QVERIFY(QFileInfo(path1051).fileName().startsWith(QStringLiteral("1051 - ....%1 x vvv")));

    // Back to the service's titles for the other tests.
    repoll();
    QCOMPARE(manager()->purchases().value(105).files.value(1051).title, QStringLiteral("Introduction"));
}

void TestDownloads::serviceTextStaysText()
{
    // Names and error texts that look like markup are shown as they stand:
    // neither the row's labels nor its tooltip open the file they name.
    KvoFifoTrap trap;
    QVERIFY(trap.isReady());
    const QString userId = manager()->userId();
    KvoLibrary library = KvoTestLibrary::stored(userId);
    library.purchases[105].title = trap.image();
    library.purchases[105].softwares = trap.image();
    QVERIFY(KvoTestLibrary::write(userId, library));
    reloadLibrary();
    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    m_page->resize(1030, 720);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    KvoDownloadJob* job = entry(105);
    KvoDownloadWidget* shown = row(job);
    QVERIFY(shown);
    m_page->grab();
    QCOMPARE(shown->findChild<QLabel*>(QStringLiteral("softwares"))->text(), trap.image());
    job->setToError(trap.image());
    m_page->grab();
    auto* title = shown->findChild<QLabel*>(QStringLiteral("title"));
    QToolTip::showText(title->mapToGlobal(QPoint(2, 2)), title->toolTip(), title);
    QVERIFY(QToolTip::isVisible());
    QToolTip::showText(QPoint(), QString());
    QTextDocument tip;
    tip.setHtml(title->toolTip());
    QCOMPARE(tip.toPlainText(), trap.image()); // the text the user reads
    QCOMPARE(trap.opens(), 0);
    repoll();
}

void TestDownloads::queueRules()
{
    // Slow answers keep the transfers running while the queue is looked at.
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("150")));
    const QList<KvoDownloadJob*> sorted = m_page->sortedEntries();
    QCOMPARE(sorted.size(), 8);
    auto* offPage = sorted.at(5);
    for (int i = 0; i < 5; ++i)
        sorted.at(i)->enqueue();
    QCOMPARE(KvoDownloadQueue::instance()->activeCount(), 3);
    QCOMPARE(KvoDownloadQueue::instance()->queuedJobs(), (QList<KvoDownloadJob*>{sorted.at(3), sorted.at(4)}));
    QCOMPARE(sorted.at(3)->look(), KvoDownloadJob::Look::Waiting);
    QCOMPARE(row(sorted.at(3))->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("en attente"));

    // "Tout télécharger" twice: nothing joins twice.
    m_page->findChild<QPushButton*>(QStringLiteral("download"))->click();
    m_page->findChild<QPushButton*>(QStringLiteral("download"))->click();
    QCOMPARE(KvoDownloadQueue::instance()->activeCount(), 3);
    QCOMPARE(KvoDownloadQueue::instance()->queuedCount(), 5);
    QCOMPARE(KvoDownloadQueue::instance()->queuedJobs().mid(0, 3),
             (QList<KvoDownloadJob*>{sorted.at(3), sorted.at(4), sorted.at(5)}));

    // An entry that goes away leaves the queue.
    m_page->removeJob(offPage); // only finished entries do that; any works
    QTRY_COMPARE(KvoDownloadQueue::instance()->queuedCount(), 4);
    QVERIFY(!KvoDownloadQueue::instance()->queuedJobs().contains(offPage));

    // First in, first out: the earliest waiting entry gets the next slot.
    QTRY_VERIFY_WITH_TIMEOUT(!KvoDownloadQueue::instance()->queuedJobs().contains(sorted.at(3)), 15000);
    QVERIFY(KvoDownloadQueue::instance()->activeJobs().contains(sorted.at(3))
            || sorted.at(3)->isFinished());
    QVERIFY(KvoDownloadQueue::instance()->queuedJobs().contains(sorted.at(4))
            || KvoDownloadQueue::instance()->activeJobs().contains(sorted.at(4)));
    QVERIFY(KvoDownloadQueue::instance()->activeCount() <= 3);

    QVERIFY(waitIdle(30000));
    for (KvoDownloadJob* e : m_page->sortedEntries())
        QCOMPARE(e->look(), KvoDownloadJob::Look::Finished);
    QCOMPARE(manager()->purchases().size(), 8);
    QTRY_COMPARE(m_page->countAtLastRebuild(), 8); // as at the last rebuild
    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 1); // the removed entry's purchase
}

void TestDownloads::failuresEndInErrorLook_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("english");
    QTest::newRow("address refused") << "status" << "500" << "Erreur - connexion impossible" << "Error - cannot connect";
    QTest::newRow("no url") << "fileurl_nourl" << "1" << "Erreur - adresse de la vidéo absente"
                            << "Error - video address missing";
    QTest::newRow("404") << "file404" << "1" << "Erreur - fichier indisponible" << "Error - file unavailable";
    QTest::newRow("redirect") << "redirect" << "1" << "Erreur - fichier indisponible" << "Error - file unavailable";
    QTest::newRow("cut body") << "file_short" << "1" << "Erreur - connexion coupée" << "Error - connection lost";
    QTest::newRow("longer than announced") << "file_long" << "1" << "Erreur - fichier corrompu"
                                           << "Error - corrupted file";
    QTest::newRow("stall") << "file_stall" << "1" << "Erreur - connexion coupée" << "Error - connection lost";
}

void TestDownloads::failuresEndInErrorLook()
{
    QFETCH(QString, fault);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QVERIFY(m_server->setFault(fault, value));
    const QList<KvoNotificationBox*> boxesBefore = KvoNotificationBox::openBoxes();
    const QList<KvoDownloadJob*> sorted = m_page->sortedEntries();
    for (int i = 0; i < 4; ++i)
        sorted.at(i)->enqueue();
    QCOMPARE(KvoDownloadQueue::instance()->queuedCount(), 1);
    // The fourth starts as soon as a failure frees a slot, and fails too.
    QVERIFY(waitIdle(15000));
    for (int i = 0; i < 4; ++i) {
        KvoDownloadJob* e = sorted.at(i);
        QCOMPARE(e->look(), KvoDownloadJob::Look::Error);
        QCOMPARE(e->lastMessage(), message);
        QCOMPARE(row(e)->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("Relancer"));
        QCOMPARE(row(e)->findChild<QLabel*>(QStringLiteral("comment"))->text(), message);
        QVERIFY(row(e)->findChild<QLabel*>(QStringLiteral("title"))->text().startsWith(QStringLiteral("<i ")));
        QVERIFY(manager()->purchases().value(int(e->purchaseId())).noVideoOnDisk());
    }
    // No file under a final name, no partial file left.
    for (const QString& file : filesUnder(m_videos->path()))
        QFAIL(qPrintable(QStringLiteral("file left behind: ") + file));
    // Nor a course folder that stayed empty.
    QCOMPARE(QDir(m_videos->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    // No success is announced for a run in which nothing arrived.
    QVERIFY(!titlesOfOpenBoxes(boxesBefore).contains(QStringLiteral("Téléchargement terminé")));

    // "Relancer" retries, and works once the service does.
    QVERIFY(m_server->clearFaults());
    row(sorted.at(0))->findChild<QPushButton*>(QStringLiteral("button"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(sorted.at(0)->isFinished(), 10000);
    QVERIFY(!manager()->purchases().value(int(sorted.at(0)->purchaseId())).noVideoOnDisk());
}

void TestDownloads::failuresInTheUsersLanguage_data()
{
    failuresEndInErrorLook_data();
    QTest::newRow("no video folder") << QString() << QString() << "Erreur - dossier des vidéos inaccessible"
                                     << "Error - video folder inaccessible";
}

void TestDownloads::failuresInTheUsersLanguage()
{
    // The interface in English: a failed transfer says why in English too.
    QFETCH(QString, fault);
    QFETCH(QString, value);
    QFETCH(QString, english);
    QTranslator translation;
    QVERIFY(translation.load(QCoreApplication::applicationDirPath() + QStringLiteral("/langues/english.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translation));
    const auto french = qScopeGuard([&translation] { QCoreApplication::removeTranslator(&translation); });
    if (fault.isEmpty()) {
        // A video folder that cannot be made: below a regular file.
        QFile blocker(m_videos->path() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        KvoEnvironment::setVideoPath(blocker.fileName() + QStringLiteral("/videos"));
    } else {
        QVERIFY(m_server->setFault(fault, value));
    }
    KvoDownloadJob* job = m_page->sortedEntries().first();
    job->enqueue();
    QVERIFY(waitIdle(15000));
    QCOMPARE(job->look(), KvoDownloadJob::Look::Error);
    QCOMPARE(job->lastMessage(), english);
    QCOMPARE(row(job)->findChild<QLabel*>(QStringLiteral("comment"))->text(), english);
}

void TestDownloads::videoFolderProblems()
{
    // A video folder that does not exist yet is made.
    const QString missing = m_videos->path() + QStringLiteral("/not/yet");
    KvoEnvironment::setVideoPath(missing);
    QVERIFY(QDir(m_videos->path() + QStringLiteral("/not")).removeRecursively());
    entry(101)->enqueue();
    QTRY_VERIFY_WITH_TIMEOUT(entry(101)->isFinished(), 10000);
    QCOMPARE(filesUnder(missing).size(), 4);

    // A folder that cannot be made (below a regular file) fails clearly,
    // and the queue goes on.
    QFile blocker(m_videos->path() + QStringLiteral("/file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    KvoEnvironment::setVideoPath(blocker.fileName() + QStringLiteral("/videos"));
    const QList<KvoDownloadJob*> sorted = m_page->sortedEntries();
    QList<KvoDownloadJob*> tried;
    for (KvoDownloadJob* e : sorted)
        if (!e->isFinished() && tried.size() < 4)
            tried.append(e);
    for (KvoDownloadJob* e : tried)
        e->enqueue();
    QVERIFY(waitIdle());
    for (KvoDownloadJob* e : tried) {
        QCOMPARE(e->look(), KvoDownloadJob::Look::Error);
        QCOMPARE(e->lastMessage(), QStringLiteral("Erreur - dossier des vidéos inaccessible"));
    }
}

void TestDownloads::diskFull()
{
    // A file-size limit makes writes fail as a full disk does; the clips
    // are larger than the limit.
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 8 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    entry(101)->enqueue();
    const bool ended = waitIdle();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(ended);
    QCOMPARE(entry(101)->look(), KvoDownloadJob::Look::Error);
    QCOMPARE(entry(101)->lastMessage(), QStringLiteral("Erreur - écriture du fichier impossible"));
    QVERIFY(filesUnder(m_videos->path()).isEmpty());
}

void TestDownloads::purchaseLeavesLibrary()
{
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("300")));
    KvoDownloadJob* course = entry(101);
    course->enqueue();
    QVERIFY(course->holdsSlot());
    // The purchase goes while its first video is on its way.
    const QString userId = manager()->userId();
    KvoLibrary library = KvoTestLibrary::stored(userId);
    QVERIFY(library.purchases.remove(101) == 1);
    QVERIFY(KvoTestLibrary::write(userId, library));
    reloadLibrary();
    QVERIFY(!manager()->purchases().contains(101));
    QVERIFY(waitIdle());
    QCOMPARE(course->look(), KvoDownloadJob::Look::Error);
    QCOMPARE(course->lastMessage(), QStringLiteral("Erreur - formation absente de la bibliothèque"));
    QVERIFY(filesUnder(m_videos->path()).isEmpty());
    // A retry does not download under an empty record.
    QVERIFY(m_server->clearFaults());
    course->enqueue();
    QVERIFY(waitIdle());
    QCOMPARE(course->look(), KvoDownloadJob::Look::Error);
    QVERIFY(filesUnder(m_videos->path()).isEmpty());

    // The service still has it: the next poll brings it back.
    repoll();
    QVERIFY(manager()->purchases().contains(101));
}

void TestDownloads::closingLeavesNoEmptyCourseFolder()
{
    // The service holds its answers: the page closes before any file came.
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("60000")));
    // An empty folder the user made for 103 earlier stays, and so does the
    // folder of 101, into which the user put a file meanwhile.
    const QString userFolder = m_videos->path() + QStringLiteral("/103 - Tableur Plus pour débutants");
    QVERIFY(QDir().mkpath(userFolder));
    QStringList folders;
    for (uint id : {101u, 103u, 104u}) {
        entry(id)->enqueue();
        QCOMPARE(entry(id)->look(), KvoDownloadJob::Look::Asking);
        folders.append(QFileInfo(entry(id)->currentFilePath()).absolutePath());
        QVERIFY(QFileInfo(folders.last()).isDir());
    }
    QCOMPARE(folders.at(1), userFolder);
    QFile note(folders.at(0) + QStringLiteral("/notes.txt"));
    QVERIFY(note.open(QIODevice::WriteOnly));
    note.close();

    m_page.reset(); // the page goes with the main window
    QVERIFY(QFileInfo::exists(note.fileName()));
    QVERIFY(QFileInfo(userFolder).isDir());
    QVERIFY2(!QFileInfo::exists(folders.at(2)), qPrintable(folders.at(2)));
    QCOMPARE(QDir(m_videos->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
}

void TestDownloads::sortOrders()
{
    const QMap<int, KvoSoftware> softwares = manager()->softwares();
    const auto nameOf = [&softwares](KvoDownloadJob* e) {
        return softwares.value(int(e->purchase().softwareIDs.value(0))).name.toLower();
    };
    struct Mode
    {
        const char* button;
        int mode;
    };
    for (const Mode& m : {Mode{"dateAsc", 0}, Mode{"dateDesc", 1}, Mode{"softwareAsc", 2}, Mode{"softwareDesc", 3}}) {
        auto* button = m_page->findChild<QRadioButton*>(QString::fromLatin1(m.button));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_page->stateOf(), m.mode);
        const QList<KvoDownloadJob*> list = m_page->sortedEntries();
        QCOMPARE(list.size(), 8);
        for (int i = 1; i < list.size(); ++i) {
            KvoDownloadJob* a = list.at(i - 1);
            KvoDownloadJob* b = list.at(i);
            switch (m.mode) {
            case 0: QVERIFY(a->purchase().purchaseDate <= b->purchase().purchaseDate); break;
            case 1: QVERIFY(a->purchase().purchaseDate >= b->purchase().purchaseDate); break;
            case 2: QVERIFY(nameOf(a) <= nameOf(b)); break;
            case 3: QVERIFY(nameOf(a) >= nameOf(b)); break;
            }
        }
    }
}

void TestDownloads::counterFollowsTheSet()
{
    // 108 on disk: seven purchases are listed.
    setLibraryPath(108, m_videos->path() + QStringLiteral("/x"));
    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    QCOMPARE(m_page->countAtLastRebuild(), 7);
    QVERIFY(!entry(108));
    // 107 arrives and 108 misses a video again before the page shows: the
    // same number, another set. The list follows the set.
    setLibraryPath(107, m_videos->path() + QStringLiteral("/y"));
    setLibraryPath(108, QString());
    m_page->refreshList();
    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 7);
    QVERIFY(entry(108));
    QVERIFY(entry(107)->isFinished());
    QCOMPARE(m_page->sortedEntries().size(), 8);
    // Nothing to list: the "none" line shows and no row is laid out.
    for (const KvoPurchase& p : manager()->purchases())
        setLibraryPath(p.id, m_videos->path() + QStringLiteral("/z"));
    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    m_page->show();
    QCOMPARE(m_page->countAtLastRebuild(), 0);
    QVERIFY(m_page->findChild<QWidget*>(QStringLiteral("widgetNone"))->isVisible());
    QCOMPARE(m_page->sortedEntries().size(), 0);
}

void TestDownloads::finishedCourseGainsAVideo()
{
    KvoDownloadJob* course = entry(103);
    course->enqueue();
    QTRY_VERIFY_WITH_TIMEOUT(course->isFinished(), 10000);
    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 7);

    // A video of the course lacks its file again, as a video added to the
    // course by the service does: the row, the counter and "Tout
    // télécharger" take it up without a restart.
    const KvoPurchase recorded = manager()->purchases().value(103);
    KvoVideoFile added = recorded.files.last();
    added.KvoPath.clear();
    manager()->setVideoPath(recorded, added);
    m_page->refreshList();
    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 8);
    QCOMPARE(course->look(), KvoDownloadJob::Look::Idle);
    QVERIFY(!course->isFinished());
    QCOMPARE(row(course)->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("Télécharger"));

    // Only this course: the others stay as they are.
    for (KvoDownloadJob* e : m_page->sortedEntries())
        if (e != course)
            e->stop();
    m_page->findChild<QPushButton*>(QStringLiteral("download"))->click();
    QVERIFY(course->isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(course->isFinished(), 10000);
    QVERIFY(QFileInfo(manager()->purchases().value(103).files.value(int(added.fileId)).KvoPath).isFile());
    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 7);

    // A file deleted outside the client is missing again: offered for
    // download, no longer for playing, and downloaded again.
    const KvoVideoFile deleted = manager()->purchases().value(103).files.first();
    QVERIFY(QFile::remove(deleted.KvoPath));
    m_page->refreshList();
    m_page->onShow(); // looks at the disk away from the GUI thread
    QTRY_COMPARE(m_page->countAtLastRebuild(), 8);
    QVERIFY(!course->isFinished());
    QVERIFY(course->buttonIcon() != KvoDownloadJob::ButtonIcon::Play);
    QCOMPARE(row(course)->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("Télécharger"));
    course->enqueue();
    QTRY_VERIFY_WITH_TIMEOUT(course->isFinished(), 10000);
    QVERIFY(QFileInfo(manager()->purchases().value(103).files.value(int(deleted.fileId)).KvoPath).isFile());
    // Written again under the path it had when it was found gone.
    QCOMPARE(manager()->purchases().value(103).files.value(int(deleted.fileId)).KvoPath, deleted.KvoPath);
    m_page->onShow();
    QCOMPARE(m_page->countAtLastRebuild(), 7);
    QVERIFY(course->isFinished());
}

void TestDownloads::tooSlowDownloadFails()
{
    // 50 bytes a second against a floor of 1 KB/s over 300 ms: the row
    // fails with its error look, gives its slot back, and the next waiting
    // entry starts.
    DripService drip;
    KvoApi::setEndpointForTesting(drip.base());
    KvoDownloader::setLowSpeedLimit(1024, 300);
    const QList<KvoDownloadJob*> sorted = m_page->sortedEntries();
    for (int i = 0; i < 4; ++i)
        sorted.at(i)->enqueue();
    QCOMPARE(KvoDownloadQueue::instance()->queuedCount(), 1);
    const bool ended = waitIdle(15000);
    KvoDownloader::setLowSpeedLimit(1024, 60000);
    KvoApi::setEndpointForTesting(m_server->address());
    QVERIFY(ended);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(sorted.at(i)->look(), KvoDownloadJob::Look::Error);
        QCOMPARE(sorted.at(i)->lastMessage(), QStringLiteral("Erreur - connexion coupée"));
        QVERIFY(sorted.at(i)->lastDetail().contains(QStringLiteral("download timed out")));
    }
    QCOMPARE(row(sorted.at(0))->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("Relancer"));
    // No partial file stays behind.
    QVERIFY(filesUnder(m_videos->path()).isEmpty());
}

void TestDownloads::rowsOnlyForTheListPage()
{
    // 40 more courses of one video each: 48 listed, four list pages.
    const QString userId = manager()->userId();
    KvoLibrary added;
    for (int i = 0; i < 40; ++i) {
        KvoPurchase course;
        course.id = uint(5000 + i);
        course.title = QStringLiteral("Cours %1").arg(course.id);
        course.softwareIDs = {1};
        course.purchaseDate = QDateTime::fromSecsSinceEpoch(1600000000 + i);
        KvoVideoFile video;
        video.fileId = course.id * 10;
        video.purchaseId = course.id;
        video.title = QStringLiteral("Vidéo");
        video.duration = 60;
        video.order = 1;
        course.files.insert(int(video.fileId), video);
        added.purchases.insert(int(course.id), course);
    }
    QVERIFY(KvoTestLibrary::add(userId, added));
    reloadLibrary();
    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    QCOMPARE(m_page->sortedIds().size(), 48);
    QCOMPARE(m_page->countAtLastRebuild(), 48);
    // One list page of rows, newest first; the rest is data.
    QCOMPARE(m_page->visibleRows().size(), 15);
    QCOMPARE(m_page->findChildren<KvoDownloadWidget*>().size(), 15);
    QCOMPARE(m_page->visibleRows().first()->job()->purchaseId(), uint(m_page->sortedIds().first()));
    QVERIFY(!m_page->rowFor(uint(m_page->sortedIds().at(20))));

    // Another list page reuses the rows; a job keeps its state while its
    // row shows another one.
    KvoDownloadJob* first = entry(uint(m_page->sortedIds().first()));
    first->setToError(QStringLiteral("Erreur - connexion coupée"));
    m_page->pagination()->setCurrentPage(3);
    QCOMPARE(m_page->visibleRows().size(), 3);
    QCOMPARE(m_page->findChildren<KvoDownloadWidget*>().size(), 15);
    QVERIFY(m_page->rowFor(uint(m_page->sortedIds().at(47))));
    QVERIFY(!m_page->rowFor(uint(first->purchaseId())));
    m_page->pagination()->setCurrentPage(0);
    KvoDownloadWidget* shown = m_page->rowFor(first->purchaseId());
    QVERIFY(shown);
    QCOMPARE(shown->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("Relancer"));
    QCOMPARE(shown->findChild<QLabel*>(QStringLiteral("comment"))->text(), QStringLiteral("Erreur - connexion coupée"));

    // Expanding a course shows its child rows under it, on this page only.
    KvoDownloadJob* course = entry(103);
    const int index = int(m_page->sortedIds().indexOf(103));
    m_page->pagination()->setCurrentPage(index / KvoPageDownloads::ItemsPerPage);
    const int rowsBefore = int(m_page->visibleRows().size());
    m_page->rowFor(103)->findChild<QPushButton*>(QStringLiteral("expand"))->click();
    QCOMPARE(m_page->visibleRows().size(), rowsBefore + 3);
    const QList<KvoDownloadWidget*> rows = m_page->visibleRows();
    const int at = int(rows.indexOf(m_page->rowFor(103)));
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(rows.at(at + i)->job()->parentJob(), course);
    m_page->rowFor(103)->findChild<QPushButton*>(QStringLiteral("expand"))->click();
    QCOMPARE(m_page->visibleRows().size(), rowsBefore);

    m_page.reset();
    KvoLibrary library = KvoTestLibrary::stored(userId);
    for (int i = 0; i < 40; ++i)
        library.purchases.remove(5000 + i);
    QVERIFY(KvoTestLibrary::write(userId, library));
    reloadLibrary();
    QCOMPARE(manager()->purchases().size(), 8);
}

void TestDownloads::links()
{
    QStringList switches;
    connect(m_page.get(), &KvoPageDownloads::onChangePage, this, [&](const QString& key, bool) {
        switches.append(key);
        // As the main window does: the page shows when asked for.
        if (key == QLatin1String("downloads"))
            m_page->show();
    });
    KvoPageRequest toPlayer;
    connect(m_page.get(), &KvoPageDownloads::onChangePageRequest, this, [&](const KvoPageRequest& request) {
        switches.append(request.key);
        toPlayer = request;
    });
    const auto cancel = [](KvoDialog* dialog) { dialog->closeWithCancel(); };

    // A link to a purchase that misses a video since the page last built
    // its list (it was never shown since): the list is built for it, so an
    // owned purchase is not taken for an unknown one.
    {
        KvoDialogDriver none; // no "not in your list" error
        manager()->setConnected(false);
        setLibraryPath(106, m_videos->path() + QStringLiteral("/x"));
        KvoPageDownloads fresh(nullptr);
        setLibraryPath(106, QString());
        QStringList freshSwitches;
        connect(&fresh, &KvoPageDownloads::onChangePage, this,
                [&](const QString& key, bool) { freshSwitches.append(key); });
        fresh.playVideo(106);
        QCOMPARE(freshSwitches, QStringList{QStringLiteral("downloads")});
        QVERIFY2(none.done(), none.report());
    }

    // Offline, a link to a listed purchase still shows the page first, so
    // the entry's own check can tell that the connection is missing.
    KvoDialogDriver offline;
    offline.expect<KvoDialog>(QStringLiteral("UIConnection"), cancel);
    manager()->setConnected(false);
    m_page->playVideo(106);
    QCOMPARE(switches, QStringList{QStringLiteral("downloads")});
    QVERIFY2(offline.wait(), offline.report());
    QCOMPARE(KvoDownloadQueue::instance()->activeCount() + KvoDownloadQueue::instance()->queuedCount(), 0);

    // Online it queues, and the page moves to the entry.
    manager()->setConnected(true);
    switches.clear();
    m_page->playVideo(106);
    QCOMPARE(switches, QStringList{QStringLiteral("downloads")});
    QVERIFY(entry(106)->isBusy());
    QVERIFY(waitIdle());

    // Finished: the link plays the course.
    switches.clear();
    QVERIFY(m_page->openLink(KvoVornLink::parse(QStringLiteral("vorn:download:106"))));
    QCOMPARE(switches, (QStringList{QStringLiteral("detail_software_3"), QStringLiteral("player")}));
    QCOMPARE(toPlayer.idSoftware, 3u);
    QVERIFY(toPlayer.addToHistory);
    QVERIFY(toPlayer.selectedIdVideo != 0);
    // A link without "download" is not the page's.
    QVERIFY(!m_page->openLink(KvoVornLink::parse(QStringLiteral("vorn:open:106"))));

    // Unknown purchase: the download-error dialog, no page switch.
    switches.clear();
    KvoDialogDriver unknown;
    unknown.expect<KvoDialog>(QStringLiteral("UIErrorPlayVideoDialog"), cancel);
    m_page->playVideo(0);
    QVERIFY2(unknown.wait(), unknown.report());
    QVERIFY(switches.isEmpty());
}

void TestDownloads::clickRefresh()
{
    QTest::mouseClick(m_page->findChild<QRadioButton*>(QStringLiteral("softwareAsc")), Qt::LeftButton);
    QCOMPARE(m_page->stateOf(), 2);
    QSignalSpy started(manager(), &KvoPurchaseVideoManager::updateStarted);
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    KvoPageDownloads::clickRefresh();
    QCOMPARE(m_page->stateOf(), 1);
    QVERIFY(m_page->findChild<QRadioButton*>(QStringLiteral("dateDesc"))->isChecked());
    QCOMPARE(started.count(), 1);
    QCOMPARE(m_page->findChild<QLabel*>(QStringLiteral("refreshLabel"))->text(), QStringLiteral("en cours"));
    QVERIFY(ended.wait(10000));
}

void TestDownloads::refreshChecksTheFilesAgain()
{
    // A course listed for one missing video, its other videos on disk, and
    // a course complete on disk.
    uint listed = 0, complete = 0;
    for (const KvoPurchase& p : manager()->purchases()) {
        if (!listed && p.files.size() >= 3)
            listed = p.id;
        else if (!complete && !p.files.isEmpty())
            complete = p.id;
    }
    QVERIFY(listed && complete);
    setLibraryPath(complete, m_videos->path() + QStringLiteral("/c"));
    const KvoPurchase course = onDiskButFirst(listed, m_videos->path() + QStringLiteral("/l"));
    const KvoVideoFile missing = course.files.first();
    const KvoVideoFile deleted = course.files.last();

    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    m_page->resize(1030, 720);
    m_page->show();
    // What the main window does for its current page.
    connect(manager(), &KvoPurchaseVideoManager::databaseUpdated, m_page.get(), &KvoPageDownloads::onShow);
    QTRY_COMPARE(m_page->countAtLastRebuild(), 7);
    QVERIFY(!entry(complete));
    KvoDownloadJob* job = entry(listed);
    job->toggleExpanded();
    QCOMPARE(job->children().keys(), QList<int>{int(missing.fileId)});

    // Both files deleted outside the client: "Actualiser" finds them.
    QVERIFY(QFile::remove(deleted.KvoPath));
    QVERIFY(QFile::remove(manager()->purchases().value(int(complete)).files.first().KvoPath));
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("refresh")), Qt::LeftButton);
    QVERIFY(ended.wait(10000));
    QTRY_COMPARE(m_page->countAtLastRebuild(), 8);
    QVERIFY(entry(complete));
    QTRY_COMPARE(job->children().keys(), (QList<int>{int(missing.fileId), int(deleted.fileId)}));
    QVERIFY(job->isExpanded());
    QCOMPARE(m_page->visibleRows().size(), 8 + 2); // eight courses, two child rows
}

void TestDownloads::fileCheckLeavesTransfersAlone()
{
    // A course listed for one missing video, its other videos on disk.
    uint listed = 0;
    for (const KvoPurchase& p : manager()->purchases())
        if (!listed && p.files.size() >= 3)
            listed = p.id;
    QVERIFY(listed);
    const KvoPurchase course = onDiskButFirst(listed, m_videos->path() + QStringLiteral("/l"));
    const KvoVideoFile missing = course.files.first();
    const QList<int> videos = course.files.keys();

    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    m_page->resize(1030, 720);
    m_page->show();
    connect(manager(), &KvoPurchaseVideoManager::databaseUpdated, m_page.get(), &KvoPageDownloads::onShow);
    KvoDownloadJob* job = entry(listed);
    QVERIFY(job);
    job->toggleExpanded();
    QCOMPARE(job->children().keys(), QList<int>{int(missing.fileId)});
    const QPointer<KvoDownloadJob> child = job->children().value(int(missing.fileId));

    // The user downloads the missing video alone; every answer comes late,
    // so it is still on its way when the look at the disk has ended.
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("700")));
    KvoDownloadWidget* childRow = nullptr;
    for (KvoDownloadWidget* shown : m_page->visibleRows())
        if (shown->job() == child)
            childRow = shown;
    QVERIFY(childRow);
    QTest::mouseClick(childRow->findChild<QPushButton*>(QStringLiteral("button")), Qt::LeftButton);
    QVERIFY(child->isBusy());

    // A second video of the course deleted outside the client, then
    // "Actualiser".
    const KvoVideoFile deleted = course.files.value(videos.at(1));
    QVERIFY(QFile::remove(deleted.KvoPath));
    auto* fileCheck = m_page->findChild<KvoStoredFileCheck*>();
    QVERIFY(fileCheck);
    KvoGuiThreadSpy checked(fileCheck, &KvoStoredFileCheck::checked);
    const auto found = [&checked](uint fileId) {
        return std::any_of(checked.cbegin(), checked.cend(), [fileId](const QList<QVariant>& args) {
            return args.at(0).value<QHash<uint, QString>>().contains(fileId);
        });
    };
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("refresh")), Qt::LeftButton);
    QTRY_VERIFY(found(deleted.fileId));
    // The download goes on.
    QVERIFY(child);
    QVERIFY(!child->isStopped());

    // It ends with the file in the library, and then the rows show what is
    // missing now: the deleted video, not the one that arrived.
    const auto arrived = [&] {
        return manager()->purchases().value(int(listed)).files.value(int(missing.fileId)).isOnDisk();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(arrived(), qPrintable(child ? child->lastMessage() : QString()), 15000);
    QTRY_COMPARE(job->children().keys(), (QList<int>{int(missing.fileId), int(deleted.fileId)}));
    // The row that downloaded its video keeps its finished look until the
    // user opens the video.
    QVERIFY(child && child->isFinished());
    QVERIFY(job->isExpanded());
    QCOMPARE(job->buttonText(), QStringLiteral("Télécharger"));
    QVERIFY(m_server->clearFaults());

    // A course shown in error keeps its message when the disk check finds
    // another of its files gone, until the user acts.
    job->stop(); // only the course below
    uint failing = 0;
    for (const KvoPurchase& p : manager()->purchases())
        if (!failing && p.id != listed && p.files.size() >= 2)
            failing = p.id;
    QVERIFY(failing);
    const KvoPurchase second = onDiskButFirst(failing, m_videos->path() + QStringLiteral("/f"));
    m_page->onShow();
    KvoDownloadJob* failed = entry(failing);
    QVERIFY(failed);
    QVERIFY(m_server->setFault(QStringLiteral("fileurl_nourl")));
    failed->enqueue();
    QTRY_COMPARE_WITH_TIMEOUT(failed->look(), KvoDownloadJob::Look::Error, 10000);
    const QString message = failed->lastMessage();
    QVERIFY(!message.isEmpty());
    QVERIFY(QFile::remove(second.files.last().KvoPath));
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("refresh")), Qt::LeftButton);
    QTRY_VERIFY(found(second.files.last().fileId));
    QCOMPARE(failed->look(), KvoDownloadJob::Look::Error);
    QCOMPARE(failed->lastMessage(), message);
    QCOMPARE(row(failed)->findChild<QPushButton*>(QStringLiteral("button"))->text(), QStringLiteral("Relancer"));
}

void TestDownloads::rowsFollowTheDiskInPlace()
{
    // A course of four videos: the first two missing, the others on disk.
    const KvoPurchase course = onDiskButFirst(101, m_videos->path() + QStringLiteral("/r"));
    QCOMPARE(course.files.size(), 4);
    const QList<int> videos = course.files.keys();
    const KvoVideoFile failing = course.files.value(videos.at(0));
    KvoVideoFile running = course.files.value(videos.at(1));
    QVERIFY(QFile::remove(running.KvoPath));
    running.KvoPath.clear();
    manager()->setVideoPath(course, running);
    const KvoVideoFile deleted = course.files.value(videos.at(2));

    m_page = std::make_unique<KvoPageDownloads>(nullptr);
    m_page->resize(1030, 720);
    m_page->show();
    KvoDownloadJob* job = entry(101);
    QVERIFY(job);
    m_page->rowFor(101)->findChild<QPushButton*>(QStringLiteral("expand"))->click();
    QVERIFY(childRow(failing.fileId) && childRow(running.fileId));

    // One video fails (the service gives no address for it)...
    QVERIFY(m_server->setFault(QStringLiteral("fileurl_nourl")));
    QTest::mouseClick(childRow(failing.fileId)->findChild<QPushButton*>(QStringLiteral("button")), Qt::LeftButton);
    const QString message = QStringLiteral("Erreur - adresse de la vidéo absente");
    QTRY_COMPARE(childRow(failing.fileId)->findChild<QLabel*>(QStringLiteral("comment"))->text(), message);
    QPointer<KvoDownloadJob> failed = childRow(failing.fileId)->job();
    // ... while another is on its way, every answer late.
    QVERIFY(m_server->clearFaults());
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("700")));
    QPointer<KvoDownloadJob> transfer = childRow(running.fileId)->job();
    QTest::mouseClick(childRow(running.fileId)->findChild<QPushButton*>(QStringLiteral("button")), Qt::LeftButton);
    QVERIFY(transfer->isBusy());

    // A third video deleted outside the client, then "Actualiser": its row
    // appears at once, to download; the failure keeps its message and its
    // "Relancer"; the transfer goes on.
    QVERIFY(QFile::remove(deleted.KvoPath));
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("refresh")), Qt::LeftButton);
    QTRY_VERIFY(childRow(deleted.fileId));
    QCOMPARE(childRow(deleted.fileId)->findChild<QPushButton*>(QStringLiteral("button"))->text(),
             QStringLiteral("Télécharger"));
    QCOMPARE(childRow(failing.fileId)->job(), failed.data());
    QCOMPARE(childRow(failing.fileId)->findChild<QLabel*>(QStringLiteral("comment"))->text(), message);
    QCOMPARE(childRow(failing.fileId)->findChild<QPushButton*>(QStringLiteral("button"))->text(),
             QStringLiteral("Relancer"));
    QVERIFY(transfer && transfer->isBusy() && !transfer->isStopped());
    QVERIFY(job->isExpanded());

    // The transfer ends: its video is on disk and its row shows it
    // finished; the others stay as they were.
    const auto onDisk = [](uint fileId) {
        return manager()->purchases().value(101).files.value(int(fileId)).isOnDisk();
    };
    QTRY_VERIFY_WITH_TIMEOUT(onDisk(running.fileId), 15000);
    QTRY_VERIFY(transfer && transfer->isFinished());
    QCOMPARE(childRow(running.fileId)->job(), transfer.data());
    QVERIFY(childRow(deleted.fileId));
    QCOMPARE(childRow(failing.fileId)->findChild<QLabel*>(QStringLiteral("comment"))->text(), message);

    // "Tout télécharger" takes the course up again, and both videos come.
    QVERIFY(m_server->clearFaults());
    m_page->findChild<QPushButton*>(QStringLiteral("download"))->click();
    QVERIFY(job->isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(job->isFinished(), 15000);
    QVERIFY(onDisk(failing.fileId));
    QVERIFY(onDisk(deleted.fileId));
}

void TestDownloads::videoBackOnDiskLosesItsIdleRow()
{
    // A course of three videos, none on disk, shown with its video rows.
    m_page->show();
    KvoDownloadJob* job = entry(103);
    m_page->rowFor(103)->findChild<QPushButton*>(QStringLiteral("expand"))->click();
    const KvoPurchase course = manager()->purchases().value(103);
    const QList<int> videos = course.files.keys();
    QCOMPARE(job->children().keys(), videos);

    // One of them comes back on disk (put there by another way than this
    // page): its idle row goes at once, the course and its other rows stay.
    KvoVideoFile back = course.files.value(videos.at(1));
    back.KvoPath = m_videos->path() + QStringLiteral("/back.qoz");
    QFile(back.KvoPath).open(QIODevice::WriteOnly);
    manager()->setVideoPath(course, back);
    QTRY_COMPARE(job->children().keys(), (QList<int>{videos.at(0), videos.at(2)}));
    QVERIFY(!childRow(back.fileId));
    QVERIFY(childRow(uint(videos.at(0))) && childRow(uint(videos.at(2))));
    QCOMPARE(job->look(), KvoDownloadJob::Look::Idle);

    // All of them back: the course shows finished.
    for (const int id : {videos.at(0), videos.at(2)}) {
        KvoVideoFile video = course.files.value(id);
        video.KvoPath = m_videos->path() + QStringLiteral("/back%1.qoz").arg(id);
        QFile(video.KvoPath).open(QIODevice::WriteOnly);
        manager()->setVideoPath(course, video);
    }
    QTRY_VERIFY(job->isFinished());
    QVERIFY(job->children().isEmpty());
}

void TestDownloads::finishedRowStaysUntilOpened()
{
    // A course of three videos, none on disk, shown with its video rows.
    m_page->show();
    KvoDownloadJob* job = entry(103);
    m_page->rowFor(103)->findChild<QPushButton*>(QStringLiteral("expand"))->click();
    const QList<int> videos = manager()->purchases().value(103).files.keys();
    QCOMPARE(job->children().keys(), videos);
    const auto rowJobs = [this] {
        QList<KvoDownloadJob*> jobs;
        for (KvoDownloadWidget* shown : m_page->visibleRows())
            jobs.append(shown->job());
        return jobs;
    };

    // The user downloads the first video through its row.
    KvoDownloadWidget* first = childRow(uint(videos.at(0)));
    const QPointer<KvoDownloadJob> done = first->job();
    QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("button")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(manager()->purchases().value(103).files.value(videos.at(0)).isOnDisk(), 10000);
    QTRY_VERIFY(!done || done->isFinished());
    QVERIFY(done);
    const QList<KvoDownloadJob*> before = rowJobs();
    QCOMPARE(before.indexOf(done.data()), before.indexOf(job) + 1); // right under its course

    // The list follows the write and a show of the page: the row stays where
    // it was, in the finished look, and the rows under it do not move.
    QCoreApplication::processEvents();
    m_page->refreshList();
    m_page->onShow();
    QCoreApplication::processEvents();
    QCOMPARE(rowJobs(), before);
    QVERIFY(done && done->isFinished());
    KvoDownloadWidget* shown = childRow(uint(videos.at(0)));
    QCOMPARE(shown->job(), done.data());
    const auto* button = shown->findChild<QPushButton*>(QStringLiteral("button"));
    QVERIFY(button->text().isEmpty());
    QVERIFY(!button->icon().isNull());
    QCOMPARE(done->titleStyle(), KvoDownloadJob::TitleStyle::Dimmed);
    QCOMPARE(job->look(), KvoDownloadJob::Look::Idle);

    // A click on it opens that video in the player, and the row goes.
    KvoPageRequest request;
    connect(shown, &KvoDownloadWidget::onChangePageRequest, this,
            [&request](const KvoPageRequest& r) { request = r; });
    QTest::mouseClick(const_cast<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(request.key, QStringLiteral("player"));
    QCOMPARE(request.selectedIdVideo, uint(videos.at(0)));
    QTRY_VERIFY(!childRow(uint(videos.at(0))));
    QCOMPARE(rowJobs().size(), before.size() - 1);
    // It does not come back with the next write (playing writes at once).
    manager()->setAlreadySeen(103, uint(videos.at(0)), 5);
    QCoreApplication::processEvents();
    QVERIFY(!childRow(uint(videos.at(0))));
    QCOMPARE(job->children().keys(), (QList<int>{videos.at(1), videos.at(2)}));
}

void TestDownloads::writesOnScreenLookNotAtTheDisk()
{
    // The page on screen, shown again after each library update as the main
    // window does: a write (playing writes one for each percent) is followed
    // in the list, with no look at the whole disk.
    auto* fileCheck = m_page->findChild<KvoStoredFileCheck*>();
    QVERIFY(fileCheck);
    m_page->show();
    QTRY_VERIFY(!fileCheck->isRunning());
    connect(manager(), &KvoPurchaseVideoManager::databaseUpdated, m_page.get(), &KvoPageDownloads::onShow);
    connect(manager(), &KvoPurchaseVideoManager::databaseUpdated, m_page.get(), &KvoPageDownloads::refreshList);
    const KvoPurchase course = manager()->purchases().value(103);
    const uint fileId = uint(course.files.firstKey());
    QSignalSpy counted(m_page->list(), &KvoDownloadList::countChanged);
    manager()->setAlreadySeen(103, fileId, 7);
    QVERIFY(!fileCheck->isRunning());
    KvoVideoFile video = course.files.first();
    video.KvoPath = m_videos->path() + QStringLiteral("/w.qoz");
    QFile(video.KvoPath).open(QIODevice::WriteOnly);
    manager()->setVideoPath(course, video);
    QVERIFY(!fileCheck->isRunning());
    QCoreApplication::processEvents();
    QVERIFY(counted.isEmpty()); // the course still misses two videos
    QCOMPARE(entry(103)->purchase().files.value(int(fileId)).KvoPath, video.KvoPath);

    // Shown again after another page: the disk is looked at.
    m_page->hide();
    m_page->onShow();
    m_page->show();
    QVERIFY(fileCheck->isRunning());
}

void TestDownloads::sessionExpiresDuringDownload()
{
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("400")));
    QVERIFY(m_server->setFault(QStringLiteral("poll409")));
    const QList<KvoDownloadJob*> sorted = m_page->sortedEntries();
    for (int i = 0; i < 4; ++i)
        sorted.at(i)->enqueue();
    QSignalSpy expired(manager(), &KvoPurchaseVideoManager::sessionExpired);
    manager()->update();
    QVERIFY(expired.wait(10000));
    QCOMPARE(KvoDownloadQueue::instance()->activeCount(), 0);
    QCOMPARE(KvoDownloadQueue::instance()->queuedCount(), 0);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(sorted.at(i)->look(), KvoDownloadJob::Look::Error);
        QCOMPARE(sorted.at(i)->lastMessage(), QStringLiteral("Erreur - session expirée"));
        QVERIFY(sorted.at(i)->isStopped());
    }
    // Every answer asked for before the expiry is late by the same delay:
    // once one asked after it has come, theirs have come too.
    int status = 0;
    m_server->fetch(QStringLiteral("/after-expiry"), &status);
    QVERIFY(status != 0);
    QCoreApplication::processEvents();
    QVERIFY(filesUnder(m_videos->path()).isEmpty());
}

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
