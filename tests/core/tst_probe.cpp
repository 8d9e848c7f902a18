#include "KvoApi.h"
#include "KvoConnectionStateManager.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThreadPool>
#include <QtTest>

// The connection probe against a local port that is closed or listening.
class TestProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void closedPortReportsOffline();
    void listeningPortReportsOnline();
    void emitsOnlyOnChange();
    void stopEndsPromptly();

private:
    static quint16 closedPort();
    // The signal comes from the pool thread; gather it queued on this one.
    void collect(KvoConnectionStateManager* probe, QList<bool>* states)
    {
        connect(probe, &KvoConnectionStateManager::changeConnectionState, this,
                [states](bool connected) { states->append(connected); }, Qt::QueuedConnection);
    }
    void pointAt(quint16 port);

    QThreadPool m_pool;
    QList<bool> m_states;
};

quint16 TestProbe::closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

void TestProbe::pointAt(quint16 port)
{
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

void TestProbe::initTestCase()
{
    KvoConnectionStateManager::setTimingForTesting(30, 2000);
}

void TestProbe::cleanup()
{
    QVERIFY(m_pool.waitForDone(10000));
    QCoreApplication::processEvents();
    m_states.clear();
    KvoApi::setEndpointForTesting(QString());
}

void TestProbe::closedPortReportsOffline()
{
    pointAt(closedPort());
    auto* probe = new KvoConnectionStateManager(true);
    QList<bool>& states = m_states;
    collect(probe, &states);
    m_pool.start(probe);
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 10000);
    QCOMPARE(states.first(), false);
    probe->stop();
}

void TestProbe::listeningPortReportsOnline()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    pointAt(server.serverPort());
    auto* probe = new KvoConnectionStateManager(false);
    QList<bool>& states = m_states;
    collect(probe, &states);
    m_pool.start(probe);
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 10000);
    QCOMPARE(states.first(), true);

    // The service goes away: one change back to offline.
    server.close();
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 2, 10000);
    QCOMPARE(states.at(1), false);
    probe->stop();
}

void TestProbe::emitsOnlyOnChange()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            ++connections;
            s->deleteLater();
        }
    });
    pointAt(server.serverPort());
    auto* probe = new KvoConnectionStateManager(true);
    QList<bool>& states = m_states;
    collect(probe, &states);
    m_pool.start(probe);
    QTRY_VERIFY_WITH_TIMEOUT(connections >= 3, 10000); // three probes, all online
    QCOMPARE(states.size(), 0);
    probe->stop();
}

void TestProbe::stopEndsPromptly()
{
    KvoConnectionStateManager::setTimingForTesting(600000, 2000); // ten minutes between probes
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    pointAt(server.serverPort());
    auto* probe = new KvoConnectionStateManager(false);
    QList<bool>& states = m_states;
    collect(probe, &states);
    m_pool.start(probe);
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 10000); // first probe done; now in its long wait
    QVERIFY(!probe->isStopped());
    probe->stop();
    // The pool gets its thread back (and deletes the probe) long before the
    // next probe would be due.
    QVERIFY(m_pool.waitForDone(10000));
    KvoConnectionStateManager::setTimingForTesting(30, 2000);
}

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
