#include "KvoApi.h"
#include "KvoFakeHttpServer.h"
#include "KvoDatabase.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoTestSupport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The process can die at any moment while a synchronisation writes the
// library. The database must then hold either the whole previous library or
// the whole new one, and pass SQLite's integrity check. The test runs the
// write in a child process (this program started with --child) and kills it
// at staggered moments.
namespace {

const QString kUser = QStringLiteral("u0");

QByteArray libraryAnswer(int courses, int videosPerCourse, const QString& tag, uint timestamp)
{
    QJsonArray vorns;
    for (int c = 1; c <= courses; ++c) {
        QJsonArray files;
        for (int v = 1; v <= videosPerCourse; ++v) {
            files.append(QJsonObject{{QStringLiteral("id"), c * 100 + v},
                                     {QStringLiteral("title"), QStringLiteral("%1 vidéo %2").arg(tag).arg(v)},
                                     {QStringLiteral("duration"), 60},
                                     {QStringLiteral("order"), v}});
        }
        vorns.append(QJsonObject{{QStringLiteral("id"), c},
                                 {QStringLiteral("title"), QStringLiteral("%1 cours %2").arg(tag).arg(c)},
                                 {QStringLiteral("software_ids"), QJsonArray{1}},
                                 {QStringLiteral("files"), files}});
    }
    const QJsonObject root{{QStringLiteral("status"), QStringLiteral("OK")},
                           {QStringLiteral("timestamp"), qint64(timestamp)},
                           {QStringLiteral("credits"), QStringLiteral("5")},
                           {QStringLiteral("vorns"), vorns},
                           {QStringLiteral("authors"), QJsonArray()},
                           {QStringLiteral("softwares"),
                            QJsonArray{QJsonObject{{QStringLiteral("id"), 1},
                                                   {QStringLiteral("name"), QStringLiteral("Logiciel")}}}}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

// Child: sign the user in against the database, poll once, and exit once the
// library is written.
int runChild(const QString& dbPath, const QString& endpoint)
{
    if (!KvoDatabase::open(dbPath))
        return 2;
    KvoApi::setEndpointForTesting(endpoint);
    auto* manager = KvoPurchaseVideoManager::instance();
    manager->setUser(kUser, QStringLiteral("demo"), QStringLiteral("1"), QStringLiteral("s"));
    int code = 3;
    QObject::connect(manager, &KvoPurchaseVideoManager::libraryWritten, qApp, [&code](bool ok) {
        code = ok ? 0 : 4;
        qApp->quit();
    });
    manager->update();
    fputs("POLLING\n", stdout);
    fflush(stdout);
    QCoreApplication::exec();
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone();
    KvoDatabase::close();
    return code;
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killDuringWrite();

private:
    struct State
    {
        QString integrity;
        int courses = -1;
        int videos = -1;
        int foreignTitles = -1; // course titles of neither library
    };
    State readState(const QString& dbPath);
    int runWriter(const QString& dbPath, const QString& endpoint, qint64 killAtWalBytes);
};

TestCrashSafety::State TestCrashSafety::readState(const QString& dbPath)
{
    State s;
    if (!KvoDatabase::open(dbPath))
        return s;
    QSqlQuery q = KvoDatabase::query(QStringLiteral("PRAGMA integrity_check"));
    if (q.next())
        s.integrity = q.value(0).toString();
    QSqlQuery count(KvoDatabase::database());
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM purchases WHERE id_user = ?"));
    count.addBindValue(kUser);
    if (count.exec() && count.next())
        s.courses = count.value(0).toInt();
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM videos WHERE id_user = ?"));
    count.addBindValue(kUser);
    if (count.exec() && count.next())
        s.videos = count.value(0).toInt();
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM purchases WHERE id_user = ? AND title NOT LIKE 'A cours %' "
                                 "AND title NOT LIKE 'B cours %'"));
    count.addBindValue(kUser);
    if (count.exec() && count.next())
        s.foreignTitles = count.value(0).toInt();
    KvoDatabase::close();
    return s;
}

// Kills the child once its write-ahead log has grown past killAtWalBytes, that
// is while the library's transaction is being written (-1: never kill).
int TestCrashSafety::runWriter(const QString& dbPath, const QString& endpoint, qint64 killAtWalBytes)
{
    const QString wal = dbPath + QStringLiteral("-wal");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), dbPath, endpoint});
    if (!child.waitForStarted(5000))
        return -1;
    // The canned server lives in this process: keep its event loop turning
    // while the child works.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && child.state() == QProcess::Running) {
        QTest::qWait(1);
        if (killAtWalBytes >= 0 && QFileInfo(wal).size() > killAtWalBytes) {
            ::kill(pid_t(child.processId()), SIGKILL);
            break;
        }
    }
    child.waitForFinished(10000);
    return child.exitStatus() == QProcess::CrashExit ? -9 : child.exitCode();
}

void TestCrashSafety::killDuringWrite()
{
    KvoTestHome home;
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("database.sqlite"));
    KvoFakeHttpServer server;
    QVERIFY(server.listen());

    const int coursesA = 300, coursesB = 1500, videos = 12;
    server.setAnswer(200, libraryAnswer(coursesA, videos, QStringLiteral("A"), 1000));
    QCOMPARE(runWriter(dbPath, server.address(), -1), 0);
    State s = readState(dbPath);
    QCOMPARE(s.integrity, QStringLiteral("ok"));
    QCOMPARE(s.courses, coursesA);

    // Library B is larger, so that its write takes long enough to be cut.
    server.setAnswer(200, libraryAnswer(coursesB, videos, QStringLiteral("B"), 2000));
    int killed = 0;
    for (qint64 walBytes : {0, 64 * 1024, 512 * 1024, 1024 * 1024, 2 * 1024 * 1024, 4 * 1024 * 1024}) {
        const int code = runWriter(dbPath, server.address(), walBytes);
        if (code == -9)
            ++killed;
        s = readState(dbPath);
        qInfo("kill at %lld log bytes: exit %d, %d courses", walBytes, code, s.courses);
        QCOMPARE(s.integrity, QStringLiteral("ok"));
        QCOMPARE(s.foreignTitles, 0);
        // All or nothing: the old library or the new one, never a mix.
        if (s.courses == coursesA)
            QCOMPARE(s.videos, coursesA * videos);
        else {
            QCOMPARE(s.courses, coursesB);
            QCOMPARE(s.videos, coursesB * videos);
            break; // the new library is in; later kills test nothing new
        }
    }
    QVERIFY2(killed > 0, "no child was killed: the test proved nothing");

    // A run that is left alone brings the new library in.
    QCOMPARE(runWriter(dbPath, server.address(), -1), 0);
    s = readState(dbPath);
    QCOMPARE(s.integrity, QStringLiteral("ok"));
    QCOMPARE(s.courses, coursesB);
}

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
