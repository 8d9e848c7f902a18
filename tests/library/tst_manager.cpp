#include "KvoFakeHttpServer.h"
#include "KvoGuiThreadSpy.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoLibraryStore.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace {

const QString s_user = QStringLiteral("AbCd0123");

struct Course
{
    int id;
    QString title;
    QList<int> files;
};

QJsonObject courseMap(const Course& c)
{
    QJsonArray files;
    for (int f : c.files)
        files.append(QJsonObject{{"id", f}, {"title", QStringLiteral("Video %1").arg(f)}, {"order", f % 100},
                                 {"duration", 60}});
    return QJsonObject{{"id", c.id}, {"title", c.title}, {"software_ids", QJsonArray{3}}, {"price", 5},
                       {"purchase_date", 1600000000}, {"files", files}};
}

QByteArray answer(const QList<Course>& courses, int timestamp, const QString& credits = QStringLiteral("12"),
                  const QList<int>& softwares = {3, 4})
{
    QJsonArray vorns;
    for (const Course& c : courses)
        vorns.append(courseMap(c));
    QJsonArray soft;
    for (int s : softwares)
        soft.append(QJsonObject{{"id", s}, {"name", QStringLiteral("Soft %1").arg(s)}, {"suscribed", s == 3}});
    QJsonArray authors{QJsonObject{{"id", 7}, {"pseudo", "Zoé"}, {"fan", true}}};
    return QJsonDocument(QJsonObject{{"status", "OK"}, {"timestamp", timestamp}, {"credits", credits},
                                     {"vorns", vorns}, {"authors", authors}, {"softwares", soft}})
        .toJson(QJsonDocument::Compact);
}

int count(const QString& sql)
{
    QSqlQuery q = KvoDatabase::query(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

QVariant scalar(const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return QVariant();
    return q.value(0);
}

} // namespace

class TestManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstPollFillsMemoryAndDatabase();
    void localStateSurvivesRepoll();
    void emptyLibraryKeepsLocalState();
    void videosFoundAgainOnDisk();
    void importedRowsKeepLocalState();
    void notModified();
    void sessionExpiredStopsPolling();
    void failureLeavesLibrary_data();
    void failureLeavesLibrary();
    void lenientValuesAccepted();
    void updateWhileSynchronising();
    void signInDropsWhatTheEarlierUserAsked();
    void settersWriteAndSignalSynchronously();
    void purchasesIsACopy();
    void revisionsTellWhatChanged();
    void setterFromAnotherThread();
    void instanceFreeWhileAReaderWaits();
    void offlineReloadAfterSignIn();
    void destroyWhilePollInFlight();
    void failedWriteKeepsPreviousLibrary();
    void noCopyOfTheLibraryKeptAcrossItsWrite();
    void signInDuringTheWriteWritesNothingOfTheOtherUser();
    void fullDiskReportedOnce();
    void connectionStateSignalsOnChangeOnly();
    void devserverLibrary();

private:
    KvoPurchaseVideoManager* manager() { return KvoPurchaseVideoManager::instance(); }
    // One poll answered with the canned answer; returns once written.
    bool poll();
    void drainManager();

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<KvoFakeHttpServer> m_server;
};

void TestManager::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    KvoHTTPRequest::setTransferTimeout(10000);
}

void TestManager::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));

    m_server = std::make_unique<KvoFakeHttpServer>();
    QVERIFY(m_server->listen());
    KvoApi::setEndpointForTesting(m_server->address());
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QStringLiteral("tok+en"));
}

void TestManager::drainManager()
{
    KvoTestLibrary::drainManager();
}

void TestManager::cleanup()
{
    drainManager();
    m_server.reset();
    KvoApi::setEndpointForTesting(QString());
    KvoDatabase::close();
    m_dir.reset();
}

bool TestManager::poll()
{
    KvoGuiThreadSpy updated(manager(), &KvoPurchaseVideoManager::databaseUpdated);
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    KvoGuiThreadSpy written(manager(), &KvoPurchaseVideoManager::libraryWritten);
    manager()->update();
    if (!ended.wait(10000) && ended.isEmpty())
        return false;
    // A merged answer (databaseUpdated() came first) is written after
    // updateEnded(): wait for the report of the write, which also brings
    // every signal sent before it to the test's own spies.
    if (!updated.isEmpty() && written.isEmpty() && !written.wait(10000))
        return false;
    return QTest::qWaitFor([&] { return !manager()->isSynchronising(); }, 10000);
}

void TestManager::firstPollFillsMemoryAndDatabase()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102, 103}}, {20, "Vide", {}}}, 1700000000, "42"));
    QStringList order;
    connect(manager(), &KvoPurchaseVideoManager::databaseUpdated, this, [&] { order << "databaseUpdated"; });
    connect(manager(), &KvoPurchaseVideoManager::updateEnded, this, [&] { order << "updateEnded"; });
    KvoGuiThreadSpy started(manager(), &KvoPurchaseVideoManager::updateStarted);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QVERIFY(poll());
    QCOMPARE(started.count(), 1);
    QCOMPARE(order, (QStringList{"databaseUpdated", "updateEnded"}));

    QCOMPARE(m_server->lastPath(), QStringLiteral("/0.1/playerUserPurchases/"));
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("0"));
    QCOMPARE(m_server->lastQuery().queryItemValue("session", QUrl::FullyDecoded), QStringLiteral("tok+en"));
    QVERIFY(m_server->lastQuery().hasQueryItem("apikey"));

    const auto purchases = manager()->purchases();
    QCOMPARE(purchases.keys(), (QList<int>{10, 20}));
    QCOMPARE(purchases.value(10).files.keys(), (QList<int>{101, 102, 103}));
    QCOMPARE(purchases.value(10).files.value(102).purchaseId, 10u);
    QVERIFY(purchases.value(20).files.isEmpty());
    QCOMPARE(manager()->softwares().keys(), (QList<int>{3, 4}));
    QVERIFY(manager()->softwares().value(3).suscribed);
    QCOMPARE(manager()->authors().value(7).pseudo, QStringLiteral("Zoé"));
    QCOMPARE(manager()->credits(), QStringLiteral("42"));
    // The time of this synchronisation, not the service's change time.
    QVERIFY(manager()->lastLocalUpdate() >= before);
    QVERIFY(manager()->lastLocalUpdate() <= QDateTime::currentSecsSinceEpoch());
    QVERIFY(manager()->isConnected());
    QVERIFY(manager()->isPolling());

    QCOMPARE(count("SELECT count(*) FROM purchases"), 2);
    QCOMPARE(count("SELECT count(*) FROM videos"), 3);
    QCOMPARE(scalar("SELECT files FROM purchases WHERE id = 10").toString(), QStringLiteral("101;102;103"));
    QCOMPARE(scalar("SELECT id_purchase FROM videos WHERE fileid = 103").toInt(), 10);
    QCOMPARE(count("SELECT count(*) FROM user_software"), 2);
    QCOMPARE(scalar("SELECT last_update FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), 1700000000);
    QCOMPARE(scalar("SELECT last_sync FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), manager()->lastLocalUpdate());
    QCOMPARE(scalar("SELECT credits FROM users WHERE id_qoz_user = ?", {s_user}).toString(), QStringLiteral("42"));

    // The next poll asks from the answer's time.
    QVERIFY(poll());
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("1700000000"));
}

void TestManager::localStateSurvivesRepoll()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}, {20, "Masques", {201}}}, 100));
    QVERIFY(poll());
    auto m = manager();
    const auto lib = m->purchases();
    KvoVideoFile v = lib.value(10).files.value(101);
    v.KvoPath = QStringLiteral("/videos/a.qoz");
    m->setVideoPath(lib.value(10), v);
    m->setVideoHidden(10, 102, true);
    m->setAlreadySeen(10, 102, 40);
    m->setCommented(10, true);

    // Course 20 and video 101 leave; video 103 arrives; the title changes.
    m_server->setAnswer(200, answer({{10, "Calques (2e éd.)", {102, 103}}}, 200));
    QVERIFY(poll());
    const auto after = m->purchases();
    QCOMPARE(after.keys(), QList<int>{10});
    QCOMPARE(after.value(10).title, QStringLiteral("Calques (2e éd.)"));
    QVERIFY(after.value(10).commented);
    QCOMPARE(after.value(10).files.keys(), (QList<int>{102, 103}));
    QVERIFY(after.value(10).files.value(102).hidden);
    QCOMPARE(after.value(10).files.value(102).alreadySeen, 40u);
    QVERIFY(!after.value(10).files.value(103).hidden);

    QCOMPARE(count("SELECT count(*) FROM purchases WHERE in_library = 1"), 1);
    QCOMPARE(count("SELECT count(*) FROM videos WHERE in_library = 1"), 2);
    QCOMPARE(count("SELECT count(*) FROM videos WHERE fileid = 102 AND hidden = 1 AND alreadyseen = 40"), 1);
    QCOMPARE(count("SELECT commented FROM purchases WHERE id = 10"), 1);
    QCOMPARE(scalar("SELECT title FROM purchases WHERE id = 10").toString(), QStringLiteral("Calques (2e éd.)"));
    // Only rows that hold something of the user's stay out of the library:
    // course 20 and video 201 held nothing.
    QCOMPARE(count("SELECT count(*) FROM videos"), 3);
    QCOMPARE(count("SELECT count(*) FROM purchases"), 1);

    // Video 101 comes back with its file; the course that leaves with all its
    // state and comes back gets it back too, also after a new sign-in.
    m->setCommented(10, true);
    m_server->setAnswer(200, answer({{20, "Masques", {201}}}, 300));
    QVERIFY(poll());
    QVERIFY(!m->purchases().contains(10));
    m->setUser(s_user, QStringLiteral("demo"), QString(), QStringLiteral("t"));
    QCOMPARE(m->purchases().keys(), QList<int>{20});
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102, 103}}, {20, "Masques", {201}}}, 400));
    QVERIFY(poll());
    const auto back = m->purchases().value(10);
    QVERIFY(back.commented);
    QCOMPARE(back.files.value(101).KvoPath, QStringLiteral("/videos/a.qoz"));
    QVERIFY(back.files.value(102).hidden);
    QCOMPARE(back.files.value(102).alreadySeen, 40u);
    QCOMPARE(count("SELECT count(*) FROM videos WHERE in_library = 1"), 4);
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 101").toString(), QStringLiteral("/videos/a.qoz"));
}

void TestManager::emptyLibraryKeepsLocalState()
{
    // A library without courses is a real answer (a new account, a refund):
    // the list follows it, and what the user did comes back with the courses.
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}}, 100));
    QVERIFY(poll());
    auto m = manager();
    KvoVideoFile v = m->purchases().value(10).files.value(101);
    v.KvoPath = QStringLiteral("/videos/101.qoz");
    m->setVideoPath(m->purchases().value(10), v);
    m->setAlreadySeen(10, 102, 75);

    m_server->setAnswer(200, QByteArray(R"({"status":"OK","timestamp":200,"vorns":[],"authors":[],"softwares":[]})"));
    KvoGuiThreadSpy written(m, &KvoPurchaseVideoManager::libraryWritten);
    QVERIFY(poll());
    QCOMPARE(written.count(), 1);
    QVERIFY(written.at(0).at(0).toBool());
    QVERIFY(m->isConnected());
    QVERIFY(m->purchases().isEmpty());
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("100"));
    QCOMPARE(count("SELECT count(*) FROM videos WHERE in_library = 1"), 0);

    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}}, 300));
    QVERIFY(poll());
    QCOMPARE(m->purchases().value(10).files.value(101).KvoPath, QStringLiteral("/videos/101.qoz"));
    QCOMPARE(m->purchases().value(10).files.value(102).alreadySeen, 75u);
}

void TestManager::videosFoundAgainOnDisk()
{
    // The rows that knew the files are gone (a database started afresh), the
    // files are still in the video folder under whatever names.
    const QString folder = QDir::fromNativeSeparators(KvoEnvironment::videoPath());
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/cours/sous")));
    auto make = [&](const QString& name, int purchase, int file) {
        QFile f(folder + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'v'));
        f.close();
        if (purchase > 0)
            QVERIFY(KvoQozFile::appendTrailer(f.fileName(), uint(purchase), uint(file)));
    };
    make(QStringLiteral("cours/renamed.qoz"), 10, 101);
    make(QStringLiteral("cours/sous/102.qoz"), 10, 102);
    make(QStringLiteral("other-course.qoz"), 99, 103); // the box names another course
    make(QStringLiteral("no-box.qoz"), 0, 0);
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102, 103, 104}}}, 100));
    QVERIFY(poll());
    const auto files = manager()->purchases().value(10).files;
    QCOMPARE(files.value(101).KvoPath, folder + QStringLiteral("/cours/renamed.qoz"));
    QCOMPARE(files.value(102).KvoPath, folder + QStringLiteral("/cours/sous/102.qoz"));
    QVERIFY(files.value(103).KvoPath.isEmpty());
    QVERIFY(files.value(104).KvoPath.isEmpty());
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 102").toString(),
             folder + QStringLiteral("/cours/sous/102.qoz"));
    QCOMPARE(count("SELECT count(*) FROM videos WHERE KvoPath <> ''"), 2);
    QVERIFY(QDir(folder).removeRecursively());
}

void TestManager::importedRowsKeepLocalState()
{
    // What the first-run import writes: only some columns, defaults for the rest.
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files) VALUES (?, 10, '101;102')"));
    q.addBindValue(s_user);
    QVERIFY(q.exec());
    q.prepare(QStringLiteral(
        "INSERT INTO videos (id_user, KvoPath, fileid, hidden, alreadyseen) VALUES (?, '/old/101.qoz', 101, 0, 80)"));
    q.addBindValue(s_user);
    QVERIFY(q.exec());
    q.prepare(QStringLiteral(
        "INSERT INTO videos (id_user, KvoPath, fileid, hidden, alreadyseen) VALUES (?, '/old/102.qoz', 102, 1, 5)"));
    q.addBindValue(s_user);
    QVERIFY(q.exec());

    m_server->setAnswer(200, answer({{10, "Calques", {101, 102, 103}}}, 100));
    QVERIFY(poll());
    const auto files = manager()->purchases().value(10).files;
    QCOMPARE(files.value(101).KvoPath, QStringLiteral("/old/101.qoz"));
    QCOMPARE(files.value(101).alreadySeen, 80u);
    QCOMPARE(files.value(102).KvoPath, QStringLiteral("/old/102.qoz"));
    QVERIFY(files.value(102).hidden);
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 101").toString(), QStringLiteral("/old/101.qoz"));
    QCOMPARE(scalar("SELECT alreadyseen FROM videos WHERE fileid = 101").toInt(), 80);
    QCOMPARE(scalar("SELECT hidden FROM videos WHERE fileid = 102").toInt(), 1);
    QCOMPARE(scalar("SELECT title FROM videos WHERE fileid = 102").toString(), QStringLiteral("Video 102"));
    QCOMPARE(scalar("SELECT id_purchase FROM videos WHERE fileid = 102").toInt(), 10);
    QCOMPARE(scalar("SELECT title FROM purchases WHERE id = 10").toString(), QStringLiteral("Calques"));

    // The imported rows also load without any poll (offline sign-in).
    manager()->setUser(s_user, QStringLiteral("demo"), QString(), QString());
    QCOMPARE(manager()->purchases().value(10).files.value(102).KvoPath, QStringLiteral("/old/102.qoz"));
}

void TestManager::notModified()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100));
    QVERIFY(poll());
    manager()->setConnected(false);
    m_server->setAnswer(304, QByteArray());
    // Set back, so that the 304's own time is told from the 200's.
    QVERIFY(KvoDatabase::query(QStringLiteral("UPDATE users SET last_sync = 5")).isActive());
    manager()->setUser(s_user, QStringLiteral("demo"), QString(), QStringLiteral("t"));
    QCOMPARE(manager()->lastLocalUpdate(), 5);
    manager()->setConnected(false);
    KvoGuiThreadSpy updated(manager(), &KvoPurchaseVideoManager::databaseUpdated);
    KvoGuiThreadSpy state(manager(), &KvoPurchaseVideoManager::changeConnectionState);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QVERIFY(poll());
    QCOMPARE(updated.count(), 0);
    QCOMPARE(state.count(), 1);
    QVERIFY(manager()->isConnected());
    QCOMPARE(manager()->purchases().keys(), QList<int>{10});
    // A 304 is a successful synchronisation: "Dernière actualisation" moves.
    QVERIFY(manager()->lastLocalUpdate() >= before);
    QCOMPARE(scalar("SELECT last_sync FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), manager()->lastLocalUpdate());
    QCOMPARE(scalar("SELECT last_update FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), 100);
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("100"));
}

void TestManager::sessionExpiredStopsPolling()
{
    m_server->setAnswer(409, QByteArray(R"({"status":"ERROR","error_mssg":"Session"})"));
    KvoGuiThreadSpy expired(manager(), &KvoPurchaseVideoManager::sessionExpired);
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    QVERIFY(poll());
    QCOMPARE(expired.count(), 1);
    QCOMPARE(ended.count(), 1);
    QVERIFY(manager()->isSessionExpired());
    QVERIFY(!manager()->isPolling());

    KvoGuiThreadSpy started(manager(), &KvoPurchaseVideoManager::updateStarted);
    manager()->update(); // refused at once: nothing starts, nothing is sent
    QCoreApplication::processEvents();
    QCOMPARE(started.count(), 0);
    QVERIFY(!manager()->isSynchronising());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(m_server->requestCount(), 1);
    QVERIFY(!manager()->isPolling());

    // A new sign-in gets a fresh manager that polls again.
    drainManager();
    manager()->setUser(s_user, QStringLiteral("demo"), QString(), QStringLiteral("new"));
    QVERIFY(!manager()->isSessionExpired());
    m_server->setAnswer(304, QByteArray());
    QVERIFY(poll());
    QCOMPARE(m_server->requestCount(), 2);
}

void TestManager::failureLeavesLibrary_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("mode");
    const QByteArray good = answer({{30, "Autre", {301}}}, 900);
    QTest::newRow("500 with a library") << 500 << good << int(KvoFakeHttpServer::Answer);
    QTest::newRow("401") << 401 << QByteArray("{}") << int(KvoFakeHttpServer::Answer);
    QTest::newRow("not JSON") << 200 << QByteArray("<html>oops</html>") << int(KvoFakeHttpServer::Answer);
    QTest::newRow("empty body") << 200 << QByteArray() << int(KvoFakeHttpServer::Answer);
    QTest::newRow("cut answer") << 200 << good << int(KvoFakeHttpServer::Truncated);
    QTest::newRow("cut JSON") << 200 << good.left(good.size() - 20) << int(KvoFakeHttpServer::Answer);
    QTest::newRow("no vorns") << 200 << QByteArray(R"({"status":"OK","timestamp":5})") << int(KvoFakeHttpServer::Answer);
    QTest::newRow("vorns not a list") << 200 << QByteArray(R"({"vorns":{"30":{}}})") << int(KvoFakeHttpServer::Answer);
    QTest::newRow("JSON array") << 200 << QByteArray("[1,2]") << int(KvoFakeHttpServer::Answer);
    // One bad part spoils the whole answer: what it leaves out would leave
    // the library.
    const auto with = [](const QByteArray& vorns, const QByteArray& rest = R"("authors":[],"softwares":[])") {
        return QByteArray(R"({"status":"OK","timestamp":900,"vorns":)") + vorns + ',' + rest + '}';
    };
    const QByteArray c10 = R"({"id":10,"title":"Calques","files":[{"id":101},{"id":102}]})";
    const QList<QPair<const char*, QByteArray>> bad = {
        {"entry not an object", with('[' + c10 + R"(,42])")},
        {"null entry", with('[' + c10 + ",null]")},
        {"vorns null", with("null")},
        {"course without id", with('[' + c10 + R"(,{"title":"x","files":[]}])")},
        {"course id not a number", with(R"([{"id":"dix","files":[]}])")},
        {"files not a list", with(R"([{"id":10,"files":"101;102"}])")},
        {"files null", with(R"([{"id":10,"files":null}])")},
        {"files missing", with(R"([{"id":10,"title":"Calques"}])")},
        {"file entry not an object", with(R"([{"id":10,"files":[{"id":101},7]}])")},
        {"file without id", with(R"([{"id":10,"files":[{"id":101},{"title":"x"}]}])")},
        {"duplicated course id", with('[' + c10 + R"(,{"id":"10","files":[]}])")},
        {"duplicated file id", with(R"([{"id":10,"files":[{"id":101}]},{"id":11,"files":[{"id":101}]}])")},
        {"softwares not a list", with('[' + c10 + ']', R"("authors":[],"softwares":"none")")},
        {"authors null", with('[' + c10 + ']', R"("authors":null,"softwares":[])")},
        {"authors missing", with('[' + c10 + ']', R"("softwares":[])")},
        {"software without id", with('[' + c10 + ']', R"("authors":[],"softwares":[{"name":"x"}])")},
        {"status ERROR", QByteArray(R"({"status":"ERROR","vorns":[],"authors":[],"softwares":[]})")},
    };
    for (const auto& row : bad)
        QTest::newRow(row.first) << 200 << row.second << int(KvoFakeHttpServer::Answer);
    QTest::newRow("refused connection") << -1 << QByteArray() << int(KvoFakeHttpServer::Answer);
}

void TestManager::failureLeavesLibrary()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, mode);
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}}, 100));
    QVERIFY(poll());
    QVERIFY(manager()->isConnected());
    KvoVideoFile v = manager()->purchases().value(10).files.value(101);
    v.KvoPath = QStringLiteral("/videos/101.qoz");
    manager()->setVideoPath(manager()->purchases().value(10), v);
    manager()->setVideoHidden(10, 102, true);
    const int synchronised = manager()->lastLocalUpdate();

    if (status < 0) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
        closed.close();
    } else {
        m_server->setAnswer(status, body, KvoFakeHttpServer::Mode(mode));
    }
    KvoGuiThreadSpy state(manager(), &KvoPurchaseVideoManager::changeConnectionState);
    KvoGuiThreadSpy updated(manager(), &KvoPurchaseVideoManager::databaseUpdated);
    QVERIFY(poll());
    QCOMPARE(state.count(), 1);
    QCOMPARE(state.at(0).at(0).toBool(), false);
    QVERIFY(!manager()->isConnected());
    QCOMPARE(updated.count(), 0);
    QCOMPARE(manager()->purchases().keys(), QList<int>{10});
    QCOMPARE(manager()->purchases().value(10).files.value(101).KvoPath, QStringLiteral("/videos/101.qoz"));
    QCOMPARE(manager()->lastLocalUpdate(), synchronised);
    QCOMPARE(count("SELECT count(*) FROM videos WHERE in_library = 1"), 2);
    QCOMPARE(count("SELECT count(*) FROM purchases WHERE in_library = 1"), 1);
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 101").toString(), QStringLiteral("/videos/101.qoz"));
    QCOMPARE(scalar("SELECT hidden FROM videos WHERE fileid = 102").toInt(), 1);
    QCOMPARE(scalar("SELECT last_update FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), 100);
    // The next poll asks for the whole library again.
    KvoApi::setEndpointForTesting(m_server->address());
    m_server->setAnswer(304, QByteArray());
    QVERIFY(poll());
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("100"));
}

void TestManager::lenientValuesAccepted()
{
    // Loose types the service is known to send are read, not refused.
    const QByteArray body = R"({"timestamp": "50", "vorns": [
        {"id": "5", "title": null, "files": {"51": {"id": 51, "title": "keyed"}, "52": {"id": "52"}}},
        {"id": 6, "title": "Sans vidéo", "files": []},
        {"id": 7, "title": "Prix", "price": "12", "files": [{"id": 71, "duration": null}]}],
        "softwares": [{"id": 3, "name": null}], "authors": []})";
    m_server->setAnswer(200, body);
    QVERIFY(poll());
    QVERIFY(manager()->isConnected());
    const auto lib = manager()->purchases();
    QCOMPARE(lib.keys(), (QList<int>{5, 6, 7}));
    QVERIFY(lib.value(5).title.isNull());
    QCOMPARE(lib.value(5).files.keys(), (QList<int>{51, 52}));
    QVERIFY(lib.value(6).files.isEmpty());
    QCOMPARE(lib.value(7).price, 12u);
    QCOMPARE(manager()->softwares().keys(), QList<int>{3});
    QCOMPARE(count("SELECT count(*) FROM purchases"), 3);
    QCOMPARE(count("SELECT count(*) FROM videos"), 3);
    QVERIFY(scalar("SELECT title FROM purchases WHERE id = 5").isNull());
    QCOMPARE(m_server->requestCount(), 1);
    QVERIFY(poll());
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("50"));
}

void TestManager::updateWhileSynchronising()
{
    // One synchronisation at a time. What is asked meanwhile (a purchase)
    // makes one more as soon as the running one ended: one, however often
    // it was asked, with no moment between the two in which the library
    // would look synchronised.
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100), KvoFakeHttpServer::Hold);
    QSignalSpy received(m_server.get(), &KvoFakeHttpServer::requestReceived);
    KvoGuiThreadSpy started(manager(), &KvoPurchaseVideoManager::updateStarted);
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    // Written on the worker thread: bit i, the i-th write left it running.
    std::atomic<int> writes{0};
    std::atomic<int> runningAfterWrite{0};
    KvoPurchaseVideoManager* m = manager();
    connect(
        m, &KvoPurchaseVideoManager::libraryWritten, this,
        [&writes, &runningAfterWrite, m] {
            const int i = writes.fetch_add(1);
            if (m->isSynchronising())
                runningAfterWrite.fetch_or(1 << i);
        },
        Qt::DirectConnection);
    manager()->update();
    QVERIFY(received.wait(5000));
    manager()->update();
    manager()->update();
    QCOMPARE(started.count(), 3);
    QCOMPARE(ended.count(), 2);
    QCOMPARE(m_server->requestCount(), 1);

    // The running one brings the library as it was when it was asked; the
    // one more, what came since.
    m_server->setAnswer(200, answer({{10, "Calques", {101}}, {11, "Masques", {111}}}, 200));
    m_server->releaseOldest(KvoFakeHttpServer::Reply::of(200, answer({{10, "Calques", {101}}}, 100)));
    QTRY_COMPARE_WITH_TIMEOUT(manager()->purchases().keys(), (QList<int>{10, 11}), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(writes.load(), 2, 10000);
    QVERIFY(!manager()->isSynchronising());
    QCOMPARE(m_server->requestCount(), 2);
    QCOMPARE(m_server->request(1).query().queryItemValue(QStringLiteral("since")), QStringLiteral("100"));
    QCOMPARE(runningAfterWrite.load(), 1);
    QCOMPARE(started.count(), 4);
    QTRY_COMPARE(ended.count(), 4);
    // Nothing more was asked for.
    QTest::qWait(200);
    QCOMPARE(m_server->requestCount(), 2);
}

void TestManager::signInDropsWhatTheEarlierUserAsked()
{
    // A synchronisation runs, with one more asked for (a purchase), when
    // another user signs in: the new user's first synchronisation is the
    // only one, and nothing more is asked for the earlier user.
    QVERIFY(KvoDatabase::query(QStringLiteral("INSERT INTO users (id_qoz_user, login, credits, last_update) "
                                              "VALUES ('Other01', 'autre', '1', 0)"))
                .isActive());
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100), KvoFakeHttpServer::Hold);
    QSignalSpy received(m_server.get(), &KvoFakeHttpServer::requestReceived);
    manager()->update();
    QVERIFY(received.wait(5000));
    manager()->update();
    QVERIFY(manager()->isSynchronising());

    manager()->setUser(QStringLiteral("Other01"), QStringLiteral("autre"), QString(), QStringLiteral("t2"));
    m_server->setAnswer(200, answer({{20, "Masques", {201}}}, 300));
    KvoGuiThreadSpy written(manager(), &KvoPurchaseVideoManager::libraryWritten);
    manager()->update();
    QVERIFY(written.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!manager()->isSynchronising(), 10000);
    QCOMPARE(manager()->purchases().keys(), QList<int>{20});
    QCOMPARE(m_server->requestCount(), 2);
    QCOMPARE(m_server->request(1).query().queryItemValue(QStringLiteral("session")), QStringLiteral("t2"));
}

void TestManager::settersWriteAndSignalSynchronously()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}}, 100));
    QVERIFY(poll());
    auto m = manager();
    int signals_ = 0;
    connect(m, &KvoPurchaseVideoManager::databaseUpdated, this, [&] { ++signals_; });

    const KvoPurchase course = m->purchases().value(10);
    KvoVideoFile v = course.files.value(101);
    v.KvoPath = QStringLiteral("C:\\Vidéos\\Calques\\01.qoz");
    m->setVideoPath(course, v);
    QCOMPARE(signals_, 1);
    QCOMPARE(m->purchases().value(10).files.value(101).KvoPath, QStringLiteral("C:/Vidéos/Calques/01.qoz"));
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 101").toString(),
             QStringLiteral("C:/Vidéos/Calques/01.qoz"));

    m->setVideoHidden(10, 102, true);
    QCOMPARE(signals_, 2);
    QVERIFY(m->purchases().value(10).files.value(102).hidden);
    QCOMPARE(scalar("SELECT hidden FROM videos WHERE fileid = 102").toInt(), 1);

    m->setAlreadySeen(10, 102, 150);
    QCOMPARE(signals_, 3);
    QCOMPARE(m->purchases().value(10).files.value(102).alreadySeen, 100u);
    QCOMPARE(scalar("SELECT AlreadySeen FROM videos WHERE fileid = 102").toInt(), 100);

    m->setCommented(10, true);
    QCOMPARE(signals_, 4);
    QVERIFY(m->purchases().value(10).commented);
    QCOMPARE(scalar("SELECT commented FROM purchases WHERE id = 10").toInt(), 1);

    m->setSoftwareSubscribed(4, true);
    QCOMPARE(signals_, 5);
    QVERIFY(m->softwares().value(4).suscribed);
    QCOMPARE(scalar("SELECT suscribed FROM user_software WHERE id_software = 4").toInt(), 1);
    m->setSoftwareSubscribed(99, true); // no row yet: one is made
    QCOMPARE(scalar("SELECT suscribed FROM user_software WHERE id_software = 99").toInt(), 1);

    // Unknown ids change nothing in memory and do not fail.
    m->setVideoHidden(10, 999, true);
    m->setAlreadySeen(77, 101, 10);
    QCOMPARE(signals_, 8);
    QCOMPARE(m->purchases().value(10).files.size(), 2);
    QVERIFY(!m->purchases().contains(77));

    // A hostile title or path is data, not SQL.
    v.KvoPath = QStringLiteral("/v/it's\"; DROP TABLE videos; --.qoz");
    m->setVideoPath(course, v);
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 101").toString(), v.KvoPath);
}

void TestManager::purchasesIsACopy()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100));
    QVERIFY(poll());
    QMap<int, KvoPurchase> copy = manager()->purchases();
    copy[10].title = QStringLiteral("changé");
    copy[10].files[101].KvoPath = QStringLiteral("/x");
    const KvoPurchase missing = copy[55]; // a default record in the copy only
    QCOMPARE(missing.id, 0u);
    const auto fresh = manager()->purchases();
    QCOMPARE(fresh.keys(), QList<int>{10});
    QCOMPARE(fresh.value(10).title, QStringLiteral("Calques"));
    QVERIFY(fresh.value(10).files.value(101).KvoPath.isEmpty());
}

void TestManager::revisionsTellWhatChanged()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}, {20, "Masques", {201}}}, 100));
    QVERIFY(poll());
    auto m = manager();
    QList<int> ids;
    quint64 now = 0;
    const quint64 seen = m->revision();
    QVERIFY(m->changedSince(seen, &ids, &now));
    QVERIFY(ids.isEmpty());
    QCOMPARE(now, seen);

    // Writes name their course, once each, in the order they came.
    KvoPurchase course;
    QVERIFY(m->purchase(20, &course));
    QCOMPARE(course.files.keys(), QList<int>{201});
    QVERIFY(!m->purchase(55, &course));
    QCOMPARE(course.id, 20u); // untouched
    m->setAlreadySeen(20, 201, 40);
    m->setVideoHidden(10, 102, true);
    m->setAlreadySeen(20, 201, 50);
    m->setVideoHidden(10, 999, true); // no such video: nothing changed
    QVERIFY(m->changedSince(seen, &ids, &now));
    QCOMPARE(ids, (QList<int>{20, 10}));
    QVERIFY(now > seen);
    QVERIFY(m->changedSince(now, &ids, &now));
    QVERIFY(ids.isEmpty());

    // A synchronisation replaces the whole library: nothing to name, the
    // reader walks it. So does a revision this manager never gave.
    const quint64 beforeSync = now;
    QVERIFY(poll());
    QVERIFY(!m->changedSince(beforeSync, &ids, &now));
    QVERIFY(ids.isEmpty());
    QVERIFY(!m->changedSince(m->revision() + 5, &ids, &now));

    // A reader far behind walks the library once, rather than a list of
    // thousands of courses.
    const quint64 start = m->revision();
    for (int i = 0; i < 5000; ++i)
        m->setAlreadySeen(10, 101, uint(i % 100));
    QVERIFY(!m->changedSince(start, &ids, &now));
    const quint64 late = m->revision();
    m->setCommented(10, true);
    QVERIFY(m->changedSince(late, &ids, &now));
    QCOMPARE(ids, QList<int>{10});
}

void TestManager::setterFromAnotherThread()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}}, 100));
    QVERIFY(poll());
    auto m = manager();
    KvoGuiThreadSpy updated(m, &KvoPurchaseVideoManager::databaseUpdated);
    const KvoPurchase course = m->purchases().value(10);
    QThread* worker = QThread::create([m, course] {
        // The folder search works like this: a fresh copy, then the setters.
        const auto copy = m->purchases();
        KvoVideoFile v = copy.value(10).files.value(102);
        v.KvoPath = QStringLiteral("/found/102.qoz");
        m->setVideoPath(course, v);
        m->setVideoHidden(10, 102, false);
    });
    worker->start();
    QVERIFY(worker->wait(10000));
    delete worker;
    QTRY_COMPARE_WITH_TIMEOUT(updated.count(), 2, 5000);
    QCOMPARE(m->purchases().value(10).files.value(102).KvoPath, QStringLiteral("/found/102.qoz"));
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE fileid = 102").toString(), QStringLiteral("/found/102.qoz"));
}

void TestManager::instanceFreeWhileAReaderWaits()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100));
    QVERIFY(poll());
    // A disk check reads a course on its own thread and is kept inside the
    // library's lock, as a synchronisation's merge keeps it waiting there.
    QSemaphore inside, goOn;
    KvoPurchaseVideoManager::setCourseReadHookForTesting([&] {
        inside.release();
        goOn.acquire();
    });
    KvoPurchase read;
    bool found = false;
    std::unique_ptr<QThread> reader(
        QThread::create([&] { found = KvoPurchaseVideoManager::currentPurchase(10, &read); }));
    std::unique_ptr<QThread> asker(QThread::create([] { KvoPurchaseVideoManager::instance(); }));
    const auto join = qScopeGuard([&] {
        goOn.release();
        reader->wait();
        asker->wait();
        KvoPurchaseVideoManager::setCourseReadHookForTesting({});
    });
    reader->start();
    QVERIFY(inside.tryAcquire(1, 10000));
    // Meanwhile the manager is asked for, as the GUI thread does all along.
    asker->start();
    QVERIFY(asker->wait(10000));
    goOn.release();
    QVERIFY(reader->wait(10000));
    QVERIFY(found);
    QCOMPARE(read.title, QStringLiteral("Calques"));
}

void TestManager::offlineReloadAfterSignIn()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}, {20, "Masques", {}}}, 1234, "77"));
    QVERIFY(poll());
    auto m = manager();
    const int synchronised = m->lastLocalUpdate();
    KvoVideoFile v = m->purchases().value(10).files.value(101);
    v.KvoPath = QStringLiteral("/v/101.qoz");
    m->setVideoPath(m->purchases().value(10), v);
    m->setAlreadySeen(10, 102, 30);
    m->setCommented(20, true);
    const auto before = m->purchases();

    drainManager();
    m_server.reset(); // offline
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    auto fresh = manager();
    QVERIFY(fresh->purchases().isEmpty());
    fresh->setUser(s_user, QStringLiteral("demo"), QString(), QString());
    const auto after = fresh->purchases();
    QCOMPARE(after.keys(), before.keys());
    QCOMPARE(after.value(10).title, QStringLiteral("Calques"));
    QCOMPARE(after.value(10).softwareIDs, QList<uint>{3});
    QCOMPARE(after.value(10).purchaseDate, before.value(10).purchaseDate);
    QCOMPARE(after.value(10).files.keys(), (QList<int>{101, 102}));
    QCOMPARE(after.value(10).files.value(101).KvoPath, QStringLiteral("/v/101.qoz"));
    QCOMPARE(after.value(10).files.value(102).alreadySeen, 30u);
    QCOMPARE(after.value(10).files.value(102).title, QStringLiteral("Video 102"));
    QVERIFY(after.value(20).commented);
    QCOMPARE(fresh->softwares().keys(), (QList<int>{3, 4}));
    QVERIFY(fresh->softwares().value(3).suscribed);
    QCOMPARE(fresh->authors().value(7).pseudo, QStringLiteral("Zoé"));
    QCOMPARE(fresh->lastLocalUpdate(), synchronised);
    QCOMPARE(fresh->credits(), QStringLiteral("77"));
    QCOMPARE(fresh->userId(), s_user);
    QCOMPARE(KvoEnvironment::currentUserId(), s_user);

    // Another user of the same computer sees none of it.
    fresh->setUser(QStringLiteral("Other01"), QStringLiteral("autre"), QString(), QString());
    QVERIFY(fresh->purchases().isEmpty());
    QVERIFY(fresh->softwares().isEmpty());
}

void TestManager::destroyWhilePollInFlight()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100), KvoFakeHttpServer::Hold);
    QSignalSpy received(m_server.get(), &KvoFakeHttpServer::requestReceived);
    auto old = manager();
    KvoGuiThreadSpy ended(old, &KvoPurchaseVideoManager::updateEnded);
    KvoGuiThreadSpy updated(old, &KvoPurchaseVideoManager::databaseUpdated);
    old->update();
    QVERIFY(received.wait(5000));
    KvoPurchaseVideoManager::destroy(); // returns at once
    m_server->release();
    // The answer left the server: a manager still listening would get it now.
    QTRY_COMPARE(m_server->disconnections(), 1);
    QCoreApplication::processEvents();
    QThreadPool::globalInstance()->waitForDone(10000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(count("SELECT count(*) FROM purchases"), 0);

    // Destroyed while the answer is being handled on the worker thread.
    manager()->setUser(s_user, QStringLiteral("demo"), QString(), QStringLiteral("t"));
    QList<Course> courses;
    for (int i = 1; i <= 300; ++i) {
        QList<int> files;
        for (int f = 0; f < 20; ++f)
            files.append(i * 100 + f);
        courses.append({i, QStringLiteral("Cours %1").arg(i), files});
    }
    m_server->setAnswer(200, answer(courses, 100));
    auto second = manager();
    bool destroyed = false;
    // Queued from the worker: it must have run before the test goes on, or it
    // would destroy the next test's manager.
    const auto connection = connect(second, &KvoPurchaseVideoManager::updateEnded, this, [&destroyed] {
        KvoPurchaseVideoManager::destroy();
        destroyed = true;
    });
    second->update();
    const bool done = QTest::qWaitFor([&destroyed] { return destroyed; }, 10000);
    disconnect(connection);
    QVERIFY(done);
    QThreadPool::globalInstance()->waitForDone(10000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Either nothing or the whole answer reached the file.
    const int written = count("SELECT count(*) FROM videos");
    QVERIFY2(written == 0 || written == 6000, qPrintable(QString::number(written)));
    QCOMPARE(scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
}

void TestManager::failedWriteKeepsPreviousLibrary()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}, {20, "Masques", {201}}}, 100));
    QVERIFY(poll());
    // Make the write fail halfway, after some rows of the new library went in.
    QVERIFY(KvoDatabase::query(QStringLiteral(
                                   "CREATE TRIGGER kvo_fail BEFORE INSERT ON videos WHEN NEW.fileid = 999 "
                                   "BEGIN SELECT RAISE(ABORT, 'simulated failure'); END"))
                .isActive());
    m_server->setAnswer(200, answer({{10, "Calques v2", {101, 102, 103}}, {30, "Nouveau", {998, 999}}}, 200));
    KvoGuiThreadSpy written(manager(), &KvoPurchaseVideoManager::libraryWritten);
    QVERIFY(poll());
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(0).toBool(), false);

    QSqlQuery check = KvoDatabase::query(QStringLiteral("PRAGMA integrity_check"));
    QVERIFY(check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
    check.finish(); // an open statement would pin this connection's snapshot
    QCOMPARE(scalar("SELECT title FROM purchases WHERE id = 10").toString(), QStringLiteral("Calques"));
    QCOMPARE(count("SELECT count(*) FROM purchases WHERE id = 20"), 1);
    QCOMPARE(count("SELECT count(*) FROM purchases WHERE id = 30"), 0);
    QCOMPARE(count("SELECT count(*) FROM videos"), 3);
    QCOMPARE(scalar("SELECT last_update FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), 100);

    // The next poll asks from the last time that reached the file.
    QVERIFY(KvoDatabase::query(QStringLiteral("DROP TRIGGER kvo_fail")).isActive());
    QVERIFY(poll());
    QCOMPARE(written.count(), 2);
    QCOMPARE(written.at(1).at(0).toBool(), true);
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("100"));
    QCOMPARE(count("SELECT count(*) FROM purchases WHERE id = 30"), 1);
    QCOMPARE(count("SELECT count(*) FROM purchases WHERE id = 20"), 0);
    QCOMPARE(scalar("SELECT last_update FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), 200);
}

void TestManager::noCopyOfTheLibraryKeptAcrossItsWrite()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101, 102}}, {20, "Masques", {201}}}, 100));
    QVERIFY(poll());
    // While the next answer is written, a write from the GUI thread would
    // copy the whole library if the synchronisation kept a copy of it.
    auto m = manager();
    QAtomicInteger<int> looks{0};
    QAtomicInteger<int> shared{0};
    KvoLibraryStore::setCourseWrittenHookForTesting([m, &looks, &shared](int) {
        ++looks;
        if (m->isLibrarySharedForTesting())
            ++shared;
    });
    const auto unhook = qScopeGuard([] { KvoLibraryStore::setCourseWrittenHookForTesting({}); });
    m_server->setAnswer(200, answer({{10, "Calques v2", {101, 102}}, {20, "Masques", {201, 202}}}, 200));
    QVERIFY(poll());
    QCOMPARE(looks.loadAcquire(), 2);
    QCOMPARE(shared.loadAcquire(), 0);
    QCOMPARE(scalar("SELECT title FROM purchases WHERE id = 10").toString(), QStringLiteral("Calques v2"));
    QCOMPARE(count("SELECT count(*) FROM videos"), 4);
}

void TestManager::signInDuringTheWriteWritesNothingOfTheOtherUser()
{
    // Another account of this computer owns course 20 too.
    const QString other = QStringLiteral("Other01");
    QVERIFY(KvoDatabase::query(QStringLiteral("INSERT INTO users (id_qoz_user, login, credits, last_update) "
                                              "VALUES ('Other01', 'autre', '1', 0)"))
                .isActive());
    KvoLibrary theirs;
    KvoPurchase course;
    course.id = 20;
    course.title = QStringLiteral("Le sien");
    KvoVideoFile video;
    video.fileId = 201;
    video.title = QStringLiteral("Sa vidéo");
    video.KvoPath = QStringLiteral("/autre/201.qoz");
    course.files.insert(201, video);
    theirs.purchases.insert(20, course);
    QVERIFY(KvoTestLibrary::add(other, theirs));
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100));
    QVERIFY(poll());

    // The other user signs in once the first course of the next answer went
    // in: the rest of the write would read the other user's library.
    auto m = manager();
    KvoLibraryStore::setCourseWrittenHookForTesting([m, other](int written) {
        if (written == 1)
            QMetaObject::invokeMethod(
                m, [m, other] { m->setUser(other, QStringLiteral("autre"), QString(), QStringLiteral("t2")); },
                Qt::BlockingQueuedConnection);
    });
    const auto unhook = qScopeGuard([] { KvoLibraryStore::setCourseWrittenHookForTesting({}); });
    KvoGuiThreadSpy failed(m, &KvoPurchaseVideoManager::librarySaveFailed);
    KvoGuiThreadSpy written(m, &KvoPurchaseVideoManager::libraryWritten);
    m_server->setAnswer(200, answer({{10, "Calques v2", {101}}, {20, "Masques", {201}}}, 200));
    m->update();
    QVERIFY(written.wait(10000));
    QCOMPARE(written.at(0).at(0).toBool(), false);
    QCOMPARE(failed.count(), 0); // the disk is not at fault
    QCOMPARE(m->userId(), other);
    QCOMPARE(m->purchases().value(20).title, QStringLiteral("Le sien"));

    // The first user's library stays as the last whole write left it.
    const QString first = QStringLiteral("SELECT %1 FROM %2 WHERE id_user = '") + s_user + QStringLiteral("'%3");
    QCOMPARE(scalar(first.arg("title", "purchases", " AND id = 10")).toString(), QStringLiteral("Calques"));
    QCOMPARE(count(first.arg("count(*)", "purchases", QString())), 1);
    QCOMPARE(count(first.arg("count(*)", "videos", QString())), 1);
    QCOMPARE(scalar("SELECT last_update FROM users WHERE id_qoz_user = ?", {s_user}).toInt(), 100);
    QCOMPARE(scalar("SELECT KvoPath FROM videos WHERE id_user = ? AND fileid = 201", {other}).toString(),
             QStringLiteral("/autre/201.qoz"));
}

void TestManager::fullDiskReportedOnce()
{
    m_server->setAnswer(200, answer({{10, "Calques", {101}}}, 100));
    QVERIFY(poll());
    KvoGuiThreadSpy failed(manager(), &KvoPurchaseVideoManager::librarySaveFailed);
    KvoGuiThreadSpy written(manager(), &KvoPurchaseVideoManager::libraryWritten);
    QCOMPARE(failed.count(), 0);

    // A fresh synchronisation thread opens its connection under a file that
    // cannot grow any more, as on a full disk.
    drainManager();
    const int pages = scalar(QStringLiteral("PRAGMA page_count")).toInt();
    KvoDatabase::setPageLimitForTesting(pages);
    manager()->setUser(s_user, QStringLiteral("demo"), QString(), QStringLiteral("t"));
    KvoGuiThreadSpy failedNow(manager(), &KvoPurchaseVideoManager::librarySaveFailed);
    QList<Course> courses;
    for (int i = 1; i <= 200; ++i)
        courses.append({i, QStringLiteral("Cours %1 ").arg(i).repeated(20), {i * 100 + 1, i * 100 + 2}});
    m_server->setAnswer(200, answer(courses, 200));
    QVERIFY(poll());
    KvoDatabase::setPageLimitForTesting(0);
    QCOMPARE(failedNow.count(), 1);
    // What the user sees is the new library, even though it was not saved.
    QCOMPARE(manager()->purchases().size(), 200);
    QCOMPARE(count("SELECT count(*) FROM purchases"), 1);
    // A failing disk fails every poll alike: told once.
    QVERIFY(poll());
    QCOMPARE(failedNow.count(), 1);
    QCOMPARE(m_server->lastQuery().queryItemValue("since"), QStringLiteral("100"));
}

void TestManager::connectionStateSignalsOnChangeOnly()
{
    auto m = manager();
    KvoGuiThreadSpy state(m, &KvoPurchaseVideoManager::changeConnectionState);
    const bool initial = m->isConnected();
    m->setConnected(initial);
    QCOMPARE(state.count(), 0);
    m->setConnected(!initial);
    m->setConnected(!initial);
    QCOMPARE(state.count(), 1);
    m->setConnected(initial);
    QCOMPARE(state.count(), 2);
    QCOMPARE(state.at(1).at(0).toBool(), initial);
}

void TestManager::devserverLibrary()
{
    KvoTestServer server;
    if (!server.isRunning())
        QSKIP("the local web service is not available");
    KvoHTTPRequest::setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    KvoHTTPRequest login;
    QSignalSpy ok(&login, &KvoHTTPRequest::successRequest);
    QSignalSpy failed(&login, &KvoHTTPRequest::errorRequest);
    login.get(KvoApi::address(QStringLiteral("/0.1/playerLogin/")));
    QTRY_VERIFY_WITH_TIMEOUT(ok.count() + failed.count() == 1, 10000);
    if (ok.isEmpty()) {
        KvoHTTPRequest::clearCredentials();
        QSKIP("the local web service does not sign in yet");
    }
    KvoJsonResult json;
    QVERIFY(json.parse(ok.at(0).at(0).toString()));
    manager()->setUser(QStringLiteral("Dev0001"), QStringLiteral("demo"), json.value("credits").toString(),
                       json.value("session").toString());
    QVERIFY(poll());
    KvoHTTPRequest::clearCredentials();
    QVERIFY(manager()->isConnected());
    QVERIFY(!manager()->purchases().isEmpty());
    QVERIFY(!manager()->softwares().isEmpty());
    QVERIFY(count("SELECT count(*) FROM videos WHERE id_user = 'Dev0001'") > 0);
}

QTEST_GUILESS_MAIN(TestManager)
#include "tst_manager.moc"
