// bench_foldersearch [--files N] [--qoz M] [--runs R] [--dir PARENT]
//
// Builds a tree of N files (default 50,000) of which M (default 200) are
// stored videos of the user's library, then times the folder search
// (without copying; every found video registered) against
// `find DIR -name '*.qoz'`: each run's own times, then the best of R runs
// each, and the worst lateness of a 5 ms GUI-thread timer during the
// searches, with the machine's 1-min load.

#include "KvoBenchHome.h"

#include "KvoBenchEnvironment.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoOldStoreWriter.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoVideoImporterThread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cstdio>

namespace {

constexpr uint CourseId = 42;
constexpr uint FirstFile = 5000;

bool makeLibrary(int videos)
{
    QSqlDatabase db = KvoDatabase::database();
    KvoTransaction transaction(db);
    QStringList ids;
    QSqlQuery q(db);
    for (int i = 0; i < videos; ++i) {
        ids << QString::number(FirstFile + i);
        q.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title) VALUES (?, ?, ?, ?)"));
        q.addBindValue(KvoBenchHome::storedUser());
        q.addBindValue(FirstFile + i);
        q.addBindValue(CourseId);
        q.addBindValue(QStringLiteral("Vidéo %1").arg(i));
        if (!q.exec())
            return false;
    }
    q.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title) VALUES (?, ?, ?, 'Banc d''essai')"));
    q.addBindValue(KvoBenchHome::storedUser());
    q.addBindValue(CourseId);
    q.addBindValue(ids.join(QLatin1Char(';')));
    return q.exec() && transaction.commit();
}

void forgetPaths()
{
    QSqlQuery q(KvoDatabase::database());
    q.exec(QStringLiteral("UPDATE videos SET KvoPath = ''"));
    KvoPurchaseVideoManager* m = KvoPurchaseVideoManager::instance();
    m->setUser(m->userId(), m->login(), m->credits(), m->session());
}

bool makeTree(const QString& root, int files, int qoz)
{
    const int perFolder = 100;
    const int folders = (files + perFolder - 1) / perFolder;
    const int qozEvery = qoz > 0 ? qMax(1, files / qoz) : files + 1;
    int made = 0;
    int videos = 0;
    for (int d = 0; d < folders && made < files; ++d) {
        const QString dir = root + QStringLiteral("/d%1/e%2").arg(d / 20, 3, 10, QLatin1Char('0')).arg(d % 20);
        if (!QDir().mkpath(dir))
            return false;
        for (int f = 0; f < perFolder && made < files; ++f, ++made) {
            if (made % qozEvery == 0 && videos < qoz) {
                if (!KvoOldStoreWriter::writeVideo(dir + QStringLiteral("/v%1.qoz").arg(f), 4096, CourseId,
                                                   FirstFile + videos++))
                    return false;
            } else {
                QFile file(dir + QStringLiteral("/f%1.txt").arg(f));
                if (!file.open(QIODevice::WriteOnly))
                    return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption filesOpt(QStringLiteral("files"), QStringLiteral("Files in the tree."), QStringLiteral("n"), QStringLiteral("50000"));
    const QCommandLineOption qozOpt(QStringLiteral("qoz"), QStringLiteral("Stored videos among them."), QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption runsOpt(QStringLiteral("runs"), QStringLiteral("Runs of each."), QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption dirOpt(QStringLiteral("dir"), QStringLiteral("Where the tree is made."), QStringLiteral("dir"), QDir::currentPath());
    parser.addOptions({filesOpt, qozOpt, runsOpt, dirOpt});
    parser.process(app);
    const int files = qBound(1, parser.value(filesOpt).toInt(), 1000000);
    const int qoz = qBound(0, parser.value(qozOpt).toInt(), files);
    const int runs = qBound(1, parser.value(runsOpt).toInt(), 20);

    KvoBenchHome home(parser.value(dirOpt));
    if (!home.isValid() || !makeLibrary(qoz)) {
        std::fprintf(stderr, "bench_foldersearch: cannot prepare the database\n");
        return 1;
    }
    forgetPaths();
    const QString root = home.path() + QStringLiteral("/tree");
    std::printf("making a tree of %d files (%d stored videos)...\n", files, qoz);
    std::fflush(stdout);
    if (!makeTree(root, files, qoz)) {
        std::fprintf(stderr, "bench_foldersearch: cannot make the tree\n");
        return 1;
    }

    const QString find = QStringLiteral("find '%1' -name '*.qoz' > /dev/null").arg(root);
    timeCommand(find); // warms the file system's caches for both
    double bestFind = 1e18;
    double bestSearch = 1e18;
    double worstLate = 0;
    int registered = 0;
    const double load0 = KvoBenchEnvironment::load1();
    for (int r = 0; r < runs; ++r) {
        const double findMs = timeCommand(find);
        bestFind = qMin(bestFind, findMs);

        forgetPaths();
        KvoVideoImporterThread thread;
        QObject::connect(&thread, &KvoVideoImporterThread::registrationQueued, &thread,
                         &KvoVideoImporterThread::applyPending, Qt::QueuedConnection);
        int count = 0;
        QObject::connect(&thread, &KvoVideoImporterThread::newVideoImported, &thread, [&count] { ++count; });
        QEventLoop loop;
        QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
        thread.searchFolder = root;
        thread.copyFiles = false;
        thread.videoFolder = KvoEnvironment::videoPath();
        KvoLatenessProbe probe;
        probe.start();
        QElapsedTimer t;
        t.start();
        thread.start();
        loop.exec();
        thread.applyPending();
        const double ms = t.nsecsElapsed() / 1e6;
        probe.stop();
        bestSearch = qMin(bestSearch, ms);
        worstLate = qMax(worstLate, probe.worstMs());
        registered = count;
        std::printf("run %d: find %.1f ms, search %.1f ms (%lld entries, %d registered), GUI late %.1f ms; load %.2f\n",
                    r + 1, findMs, ms, thread.visitedCount(), count, probe.worstMs(), KvoBenchEnvironment::load1());
    }
    std::printf("\nfolder search of %d files: best %.1f ms; find: best %.1f ms; ratio %.2f (bar: <= 2.00); load %.2f "
                "at the start, %.2f at the end\n",
                files, bestSearch, bestFind, bestSearch / bestFind, load0, KvoBenchEnvironment::load1());
    std::printf("videos registered per run: %d of %d; worst GUI-thread lateness: %.1f ms (bar: <= 50 ms)\n",
                registered, qoz, worstLate);
    return 0;
}
