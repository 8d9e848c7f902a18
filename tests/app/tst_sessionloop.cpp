// The ends of the session loop: a session that ends while the library is
// being written, and a start on a damaged database.

#include "KvoApi.h"
#include "KvoFakeHttpServer.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSessionLoop.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString s_user = QStringLiteral("EndUser01");

QByteArray largeLibrary(int courses, int videos)
{
    QJsonArray vorns;
    for (int c = 1; c <= courses; ++c) {
        QJsonArray files;
        for (int v = 1; v <= videos; ++v)
            files.append(QJsonObject{{"id", c * 100 + v}, {"title", QStringLiteral("Vidéo %1").arg(v)}, {"order", v}});
        vorns.append(QJsonObject{{"id", c}, {"title", QStringLiteral("Cours %1").arg(c)}, {"files", files}});
    }
    return QJsonDocument(QJsonObject{{"status", "OK"}, {"timestamp", 10}, {"vorns", vorns},
                                     {"authors", QJsonArray()}, {"softwares", QJsonArray()}})
        .toJson(QJsonDocument::Compact);
}

int count(const QString& sql)
{
    QSqlQuery q = KvoDatabase::query(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestSessionLoop : public QObject
{
    Q_OBJECT

private slots:
    void sessionEndWaitsForTheLibraryWrite();
    void damagedDatabaseIsReplacedAtStart();
};

void TestSessionLoop::sessionEndWaitsForTheLibraryWrite()
{
    // The window is closed while a large synchronisation writes: the session
    // ends and the process closes down at once. The write must finish on an
    // open database, whole.
    KvoTestHome home;
    QTemporaryDir dir;
    QVERIFY(KvoTestLibrary::openWithUser(dir.path(), s_user));
    const QString path = KvoDatabase::filePath();
    KvoFakeHttpServer server;
    QVERIFY(server.listen());
    KvoApi::setEndpointForTesting(server.address());
    const int courses = 1500, videos = 12;
    server.setAnswer(200, largeLibrary(courses, videos));

    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    manager->setUser(s_user, QStringLiteral("demo"), QStringLiteral("1"), QStringLiteral("s"));
    bool ended = false;
    // updateEnded() comes from the synchronisation thread just before it
    // writes; queued, it reaches this thread while the write runs.
    connect(manager, &KvoPurchaseVideoManager::updateEnded, this, [&ended] {
        KvoSessionLoop::endSession();
        KvoSessionLoop::closeDown();
        ended = true;
    }, Qt::QueuedConnection);
    manager->update();
    QTRY_VERIFY_WITH_TIMEOUT(ended, 30000);
    QVERIFY(!KvoDatabase::isOpen());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    KvoApi::setEndpointForTesting(QString());

    QVERIFY(KvoDatabase::open(path));
    QVERIFY(KvoDatabase::setAsideFile().isEmpty());
    QSqlQuery check = KvoDatabase::query(QStringLiteral("PRAGMA integrity_check"));
    QVERIFY(check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
    check.finish();
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM purchases")), courses);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM videos")), courses * videos);
    QCOMPARE(count(QStringLiteral("SELECT last_update FROM users")), 10);
    KvoDatabase::close();
}

void TestSessionLoop::damagedDatabaseIsReplacedAtStart()
{
    // A database file that is no database: the client neither ends without
    // a window nor refuses every sign-in; it sets the file aside, says so
    // and goes on to the sign-in (refused here: no service, no account).
    KvoTestHome home;
    KvoEnvironment::init();
    const QString path = KvoEnvironment::databasePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    const QByteArray garbage = QByteArray("not a database at all ").repeated(300);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }

    QProcess client;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VISTRELLE_AUTOLOGIN"), QStringLiteral("demo:demo"));
    env.insert(QStringLiteral("VISTRELLE_API_URL"), QStringLiteral("http://127.0.0.1:1"));
    client.setProcessEnvironment(env);
    client.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle"), QStringList());
    QVERIFY(client.waitForStarted(5000));
    QVERIFY(client.waitForFinished(60000));
    const QString err = QString::fromUtf8(client.readAllStandardError());

    const QStringList aside =
        QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("database.sqlite.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    const QString asidePath = QFileInfo(path).absolutePath() + QLatin1Char('/') + aside.first();
    QFile moved(asidePath);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), garbage);
    // The user was told where the file went.
    QVERIFY2(err.contains(asidePath), qPrintable(err));
    // The fresh database is sound and was used by the sign-in.
    QVERIFY(KvoDatabase::open(path));
    QVERIFY(KvoDatabase::setAsideFile().isEmpty());
    QCOMPARE(KvoDatabase::schemaVersion(), KvoDatabase::currentSchemaVersion());
    KvoDatabase::close();
}

QTEST_GUILESS_MAIN(TestSessionLoop)
#include "tst_sessionloop.moc"
