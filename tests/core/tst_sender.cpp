#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoFakeHttpServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Requests wait until the test answers them, oldest first, so that the test
// sees how many are on their way.
bool holdRequests(KvoFakeHttpServer& server)
{
    server.setHolding(true);
    return server.listen();
}

KvoFakeHttpServer::Reply status(int code)
{
    return KvoFakeHttpServer::Reply::of(code, code == 200 ? "ok" : "error", "text/plain");
}

// Every request answered at once with this status.
void answerAll(KvoFakeHttpServer& server, int code)
{
    server.setHolding(false);
    server.setReply(status(code));
}

} // namespace

class TestSender : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void storesSortedJsonWithTypes();
    void sendsInOrderOneAtATime();
    void failureKeepsEntryWithoutRetryLoop();
    void otherUsersEntriesUntouched();
    void startSendsWhatEarlierRunLeft();
    void destroyKeepsRunningEntry();
    void heldQueueWaitsForTheNextSession();

private:
    static int rows(const QString& userId);

    QTemporaryDir m_dir;
};

int TestSender::rows(const QString& userId)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT count(*) FROM to_send WHERE id_user = :u"));
    q.bindValue(QStringLiteral(":u"), userId);
    return q.exec() && q.next() ? q.value(0).toInt() : -1;
}

void TestSender::initTestCase()
{
    QVERIFY(KvoDatabase::open(m_dir.filePath(QStringLiteral("database.sqlite"))));
    KvoHTTPRequest::setTransferTimeout(20000);
}

void TestSender::init()
{
    KvoDatabase::query(QStringLiteral("DELETE FROM to_send"));
    KvoEnvironment::setCurrentUserId(QStringLiteral("user-1"));
}

void TestSender::cleanup()
{
    KvoAsynchronousSender::destroy();
}

void TestSender::storesSortedJsonWithTypes()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    const QMap<QString, QVariant> fields{
        {QStringLiteral("zeta"), QStringLiteral("a+b&c=d é")},
        {QStringLiteral("alpha"), 42},
        {QStringLiteral("big"), qint64(1) << 40},
        {QStringLiteral("flag"), true},
        {QStringLiteral("off"), false},
        {QStringLiteral("rating"), 2.5},
        {QStringLiteral("neg"), -3},
    };
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    KvoAsynchronousSender::add(server.url(QStringLiteral("/0.1/playerComment/?apikey=k")), fields);

    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT id_user, url, data FROM to_send"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("user-1"));
    QVERIFY(q.value(1).toString().endsWith(QStringLiteral("/0.1/playerComment/?apikey=k")));
    QCOMPARE(q.value(2).toString(),
             QStringLiteral("{\"alpha\":42,\"big\":1099511627776,\"flag\":true,\"neg\":-3,"
                            "\"off\":false,\"rating\":2.5,\"zeta\":\"a+b&c=d é\"}"));
    q.finish();

    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, 10000);
    // The body sent from the stored form equals the one of the fields given.
    QCOMPARE(server.request(0).body, KvoHTTPRequest::formBody(fields));
    QCOMPARE(server.request(0).target, QByteArray("/0.1/playerComment/?apikey=k"));
    server.releaseOldest(status(200));
    QVERIFY(sent.wait(10000));
    QCOMPARE(rows(QStringLiteral("user-1")), 0);
}

void TestSender::sendsInOrderOneAtATime()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    for (int i = 1; i <= 3; ++i)
        KvoAsynchronousSender::add(server.url(QStringLiteral("/q%1").arg(i)), {{QStringLiteral("n"), i}});
    QCOMPARE(rows(QStringLiteral("user-1")), 3);

    for (int i = 1; i <= 3; ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), i, 10000);
        QCOMPARE(server.request(i - 1).target, QStringLiteral("/q%1").arg(i).toUtf8());
        QVERIFY(sender->isSending());
        // Each request left only after the answer to the one before it.
        QCOMPARE(server.request(i - 1).answeredBefore, i - 1);
        QCOMPARE(server.requestCount(), i);
        QCOMPARE(rows(QStringLiteral("user-1")), 3 - i + 1); // removed only after the answer
        server.releaseOldest(status(200));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), i, 10000);
        QCOMPARE(sent.last().at(0).toString(), server.url(QStringLiteral("/q%1").arg(i)));
    }
    QCOMPARE(rows(QStringLiteral("user-1")), 0);
    QCOMPARE(sender->pendingCount(), 0);
    QVERIFY(!sender->isSending());
}

void TestSender::failureKeepsEntryWithoutRetryLoop()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    answerAll(server, 500);
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy failed(sender, &KvoAsynchronousSender::entryFailed);
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    KvoAsynchronousSender::add(server.url(QStringLiteral("/first")), {{QStringLiteral("a"), 1}});
    KvoAsynchronousSender::add(server.url(QStringLiteral("/second")), {{QStringLiteral("b"), 2}});
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.first().at(0).toString(), server.url(QStringLiteral("/first")));
    QCoreApplication::processEvents();
    QVERIFY(!sender->isSending()); // nothing on its way: what was sent is all
    QCOMPARE(server.requestCount(), 1); // no immediate retry, no skipping ahead
    QCOMPARE(failed.count(), 1);
    QCOMPARE(rows(QStringLiteral("user-1")), 2);
    QCOMPARE(sender->pendingCount(), 2);
    QVERIFY(!sender->isSending());

    // The connection comes back: the same entry goes first, then the next.
    answerAll(server, 200);
    KvoAsynchronousSender::flush();
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 2, 10000);
    QCOMPARE(server.requestCount(), 3);
    QCOMPARE(server.request(1).target, QByteArray("/first"));
    QCOMPARE(server.request(1).body, server.request(0).body);
    QCOMPARE(server.request(2).target, QByteArray("/second"));
    QCOMPARE(rows(QStringLiteral("user-1")), 0);

    // A refused connection is a failure too.
    KvoAsynchronousSender::add(QStringLiteral("http://127.0.0.1:1/x"), {});
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 2, 10000);
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
}

void TestSender::otherUsersEntriesUntouched()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    answerAll(server, 200);
    // Stored for user-2, never sent while user-1 is signed in.
    {
        QSqlQuery q(KvoDatabase::database());
        q.prepare(QStringLiteral("INSERT INTO to_send (id_user, url, data) VALUES (:u, :url, '{}')"));
        q.bindValue(QStringLiteral(":u"), QStringLiteral("user-2"));
        q.bindValue(QStringLiteral(":url"), server.url(QStringLiteral("/other")));
        QVERIFY(q.exec());
    }
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    KvoAsynchronousSender::add(server.url(QStringLiteral("/mine")), {});
    QVERIFY(sent.wait(10000));
    QCoreApplication::processEvents();
    QTRY_VERIFY(!sender->isSending()); // nothing more on its way
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(server.request(0).target, QByteArray("/mine"));
    QCOMPARE(rows(QStringLiteral("user-2")), 1);

    // Once user-2 signs in, a flush sends theirs.
    KvoEnvironment::setCurrentUserId(QStringLiteral("user-2"));
    KvoAsynchronousSender::flush();
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 2, 10000);
    QCOMPARE(server.request(1).target, QByteArray("/other"));
    QCOMPARE(rows(QStringLiteral("user-2")), 0);
}

void TestSender::startSendsWhatEarlierRunLeft()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    answerAll(server, 200);
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO to_send (id_user, url, data) VALUES (:u, :url, :d)"));
    q.bindValue(QStringLiteral(":u"), QStringLiteral("user-1"));
    q.bindValue(QStringLiteral(":url"), server.url(QStringLiteral("/left")));
    q.bindValue(QStringLiteral(":d"), QStringLiteral("{\"k\":\"v\"}"));
    QVERIFY(q.exec());
    QSignalSpy sent(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entrySent);
    QVERIFY(sent.wait(10000));
    QCOMPARE(server.request(0).body, QByteArray("k=v"));
    QCOMPARE(rows(QStringLiteral("user-1")), 0);
}

void TestSender::destroyKeepsRunningEntry()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    KvoAsynchronousSender::add(server.url(QStringLiteral("/held")), {});
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, 10000);
    QVERIFY(KvoAsynchronousSender::instance()->isSending());
    KvoAsynchronousSender::destroy();
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
    server.releaseOldest(status(200)); // too late: nobody listens any more
    QTRY_COMPARE(server.disconnections(), 1); // the answer is out
    QCoreApplication::processEvents();
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
}

void TestSender::heldQueueWaitsForTheNextSession()
{
    KvoFakeHttpServer server;
    QVERIFY(holdRequests(server));
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    KvoAsynchronousSender::add(server.url(QStringLiteral("/first")), {});
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, 10000);
    // The session is refused while the first entry is on its way: it ends
    // as usual, and nothing after it goes out, whatever asks for it.
    KvoAsynchronousSender::hold();
    KvoAsynchronousSender::add(server.url(QStringLiteral("/second")), {});
    server.releaseOldest(status(200));
    QVERIFY(sent.wait(10000));
    KvoAsynchronousSender::flush();
    QCoreApplication::processEvents();
    QVERIFY(!sender->isSending());
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
    // The next session's queue sends it.
    KvoAsynchronousSender::destroy();
    answerAll(server, 200);
    QVERIFY(!KvoAsynchronousSender::instance()->isHeld());
    QTRY_COMPARE_WITH_TIMEOUT(rows(QStringLiteral("user-1")), 0, 10000);
    QCOMPARE(server.requestCount(), 2);
    QCOMPARE(server.request(1).target, QByteArray("/second"));
}

QTEST_GUILESS_MAIN(TestSender)
#include "tst_sender.moc"
