#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

// A bare HTTP/1.1 server that records each request and answers only when the
// test says so, so that the test sees how many requests are on their way.
class HoldingServer : public QObject
{
public:
    struct Request
    {
        QByteArray path;
        QByteArray body;
        QTcpSocket* socket = nullptr;
        bool answered = false;
    };

    HoldingServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onRead(s); });
            }
        });
    }

    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    int count() const { return int(m_requests.size()); }
    const Request& at(int i) const { return m_requests.at(i); }
    int unanswered() const
    {
        return int(std::count_if(m_requests.begin(), m_requests.end(),
                                 [](const Request& r) { return !r.answered; }));
    }

    // Answers the oldest open request with `status`.
    void answer(int status)
    {
        for (Request& r : m_requests) {
            if (r.answered)
                continue;
            r.answered = true;
            const QByteArray body = status == 200 ? "ok" : "error";
            r.socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: "
                            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            r.socket->disconnectFromHost();
            return;
        }
    }

    // Every answer from now on is given at once.
    int autoStatus = 0;

private:
    void onRead(QTcpSocket* s)
    {
        QByteArray& buffer = m_buffers[s];
        buffer += s->readAll();
        const int headerEnd = int(buffer.indexOf("\r\n\r\n"));
        if (headerEnd < 0)
            return;
        const QByteArray head = buffer.left(headerEnd);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < headerEnd + 4 + length)
            return;
        Request r;
        r.path = head.split(' ').value(1);
        r.body = buffer.mid(headerEnd + 4, length);
        r.socket = s;
        buffer.clear();
        m_requests.append(r);
        if (autoStatus)
            answer(autoStatus);
    }

    QTcpServer m_server;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

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
    HoldingServer server;
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

    QTRY_COMPARE_WITH_TIMEOUT(server.count(), 1, 10000);
    // The body sent from the stored form equals the one of the fields given.
    QCOMPARE(server.at(0).body, KvoHTTPRequest::formBody(fields));
    QCOMPARE(server.at(0).path, QByteArray("/0.1/playerComment/?apikey=k"));
    server.answer(200);
    QVERIFY(sent.wait(10000));
    QCOMPARE(rows(QStringLiteral("user-1")), 0);
}

void TestSender::sendsInOrderOneAtATime()
{
    HoldingServer server;
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    for (int i = 1; i <= 3; ++i)
        KvoAsynchronousSender::add(server.url(QStringLiteral("/q%1").arg(i)), {{QStringLiteral("n"), i}});
    QCOMPARE(rows(QStringLiteral("user-1")), 3);

    for (int i = 1; i <= 3; ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(server.count(), i, 10000);
        QCOMPARE(server.at(i - 1).path, QStringLiteral("/q%1").arg(i).toUtf8());
        QVERIFY(sender->isSending());
        // Give a second request every chance to overtake: it must not.
        QTest::qWait(150);
        QCOMPARE(server.count(), i);
        QCOMPARE(rows(QStringLiteral("user-1")), 3 - i + 1); // removed only after the answer
        server.answer(200);
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), i, 10000);
        QCOMPARE(sent.last().at(0).toString(), server.url(QStringLiteral("/q%1").arg(i)));
    }
    QCOMPARE(rows(QStringLiteral("user-1")), 0);
    QCOMPARE(sender->pendingCount(), 0);
    QVERIFY(!sender->isSending());
}

void TestSender::failureKeepsEntryWithoutRetryLoop()
{
    HoldingServer server;
    server.autoStatus = 500;
    KvoAsynchronousSender* sender = KvoAsynchronousSender::instance();
    QSignalSpy failed(sender, &KvoAsynchronousSender::entryFailed);
    QSignalSpy sent(sender, &KvoAsynchronousSender::entrySent);
    KvoAsynchronousSender::add(server.url(QStringLiteral("/first")), {{QStringLiteral("a"), 1}});
    KvoAsynchronousSender::add(server.url(QStringLiteral("/second")), {{QStringLiteral("b"), 2}});
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.first().at(0).toString(), server.url(QStringLiteral("/first")));
    QTest::qWait(300);
    QCOMPARE(server.count(), 1); // no immediate retry, no skipping ahead
    QCOMPARE(failed.count(), 1);
    QCOMPARE(rows(QStringLiteral("user-1")), 2);
    QCOMPARE(sender->pendingCount(), 2);
    QVERIFY(!sender->isSending());

    // The connection comes back: the same entry goes first, then the next.
    server.autoStatus = 200;
    KvoAsynchronousSender::flush();
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 2, 10000);
    QCOMPARE(server.count(), 3);
    QCOMPARE(server.at(1).path, QByteArray("/first"));
    QCOMPARE(server.at(1).body, server.at(0).body);
    QCOMPARE(server.at(2).path, QByteArray("/second"));
    QCOMPARE(rows(QStringLiteral("user-1")), 0);

    // A refused connection is a failure too.
    KvoAsynchronousSender::add(QStringLiteral("http://127.0.0.1:1/x"), {});
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 2, 10000);
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
}

void TestSender::otherUsersEntriesUntouched()
{
    HoldingServer server;
    server.autoStatus = 200;
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
    QTest::qWait(150);
    QCOMPARE(server.count(), 1);
    QCOMPARE(server.at(0).path, QByteArray("/mine"));
    QCOMPARE(rows(QStringLiteral("user-2")), 1);

    // Once user-2 signs in, a flush sends theirs.
    KvoEnvironment::setCurrentUserId(QStringLiteral("user-2"));
    KvoAsynchronousSender::flush();
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 2, 10000);
    QCOMPARE(server.at(1).path, QByteArray("/other"));
    QCOMPARE(rows(QStringLiteral("user-2")), 0);
}

void TestSender::startSendsWhatEarlierRunLeft()
{
    HoldingServer server;
    server.autoStatus = 200;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO to_send (id_user, url, data) VALUES (:u, :url, :d)"));
    q.bindValue(QStringLiteral(":u"), QStringLiteral("user-1"));
    q.bindValue(QStringLiteral(":url"), server.url(QStringLiteral("/left")));
    q.bindValue(QStringLiteral(":d"), QStringLiteral("{\"k\":\"v\"}"));
    QVERIFY(q.exec());
    QSignalSpy sent(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entrySent);
    QVERIFY(sent.wait(10000));
    QCOMPARE(server.at(0).body, QByteArray("k=v"));
    QCOMPARE(rows(QStringLiteral("user-1")), 0);
}

void TestSender::destroyKeepsRunningEntry()
{
    HoldingServer server;
    KvoAsynchronousSender::add(server.url(QStringLiteral("/held")), {});
    QTRY_COMPARE_WITH_TIMEOUT(server.count(), 1, 10000);
    QVERIFY(KvoAsynchronousSender::instance()->isSending());
    KvoAsynchronousSender::destroy();
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
    server.answer(200); // too late: nobody listens any more
    QTest::qWait(100);
    QCOMPARE(rows(QStringLiteral("user-1")), 1);
}

QTEST_GUILESS_MAIN(TestSender)
#include "tst_sender.moc"
