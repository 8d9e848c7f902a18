// Prints figures of the library synchronisation; asserts nothing.
#include "KvoFakeHttpServer.h"

#include "KvoApi.h"
#include "KvoBenchEnvironment.h"
#include "KvoDatabase.h"
#include "KvoJsonResult.h"
#include "KvoLibraryStore.h"
#include "KvoPurchaseVideoManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int Courses = 2000;
constexpr int VideosPerCourse = 25;
const QString s_user = QStringLiteral("Bench0001");

QByteArray bigAnswer(int timestamp)
{
    QJsonArray vorns;
    for (int c = 1; c <= Courses; ++c) {
        QJsonArray files;
        for (int v = 1; v <= VideosPerCourse; ++v) {
            const int id = c * 100 + v;
            files.append(QJsonObject{{"id", id}, {"title", QStringLiteral("Vidéo %1 du cours %2").arg(v).arg(c)},
                                     {"duration", 300 + v}, {"order", v}, {"n_chapter", 1 + v / 5},
                                     {"t_chapter", QStringLiteral("Chapitre %1").arg(1 + v / 5)},
                                     {"expiry_ts", 0}, {"thumbnail", QStringLiteral("http://img/v/%1.jpg").arg(id)},
                                     {"width", 1280}, {"height", 720}});
        }
        vorns.append(QJsonObject{
            {"id", c}, {"title", QStringLiteral("Cours numéro %1").arg(c)}, {"softwares", "Gimp, Krita"},
            {"software_ids", QJsonArray{1 + c % 20}}, {"author_ids", QJsonArray{1 + c % 50}}, {"price", 9},
            {"reduced_price", 0}, {"previous_price", 0}, {"rating", c % 6}, {"sales", c * 3},
            {"thumbnail", QStringLiteral("http://img/c/%1.jpg").arg(c)},
            {"url", QStringLiteral("http://site/cours/%1").arg(c)}, {"end_ts", 0},
            {"preview_uri", QStringLiteral("http://prev/%1.mp4").arg(c)}, {"width", 640}, {"height", 360},
            {"purchase_date", 1600000000 + c}, {"attachment_url", ""},
            {"description", QStringLiteral("Une description courte du cours %1.").arg(c)}, {"files", files}});
    }
    QJsonArray softwares, authors;
    for (int s = 1; s <= 20; ++s)
        softwares.append(QJsonObject{{"id", s}, {"name", QStringLiteral("Logiciel %1").arg(s)}, {"suscribed", false}});
    for (int a = 1; a <= 50; ++a)
        authors.append(QJsonObject{{"id", a}, {"pseudo", QStringLiteral("Auteur %1").arg(a)}, {"fan", false}});
    return QJsonDocument(QJsonObject{{"status", "OK"}, {"timestamp", timestamp}, {"credits", "12"},
                                     {"vorns", vorns}, {"softwares", softwares}, {"authors", authors}})
        .toJson(QJsonDocument::Compact);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Time of a plain GET of the answer: the transfer alone.
double transferMs(const QString& url)
{
    QNetworkAccessManager nam;
    QElapsedTimer t;
    t.start();
    QNetworkReply* reply = nam.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    const QString text = QString::fromUtf8(body); // the client hands the body on as text
    Q_UNUSED(text);
    reply->deleteLater();
    return t.nsecsElapsed() / 1e6;
}

// The floor: the same rows with one prepared statement per table in one
// transaction, on the calling thread, into an empty database.
double floorMs(const QString& path)
{
    if (!KvoDatabase::open(path))
        return -1;
    QElapsedTimer t;
    t.start();
    {
        QSqlDatabase db = KvoDatabase::database();
        KvoTransaction tr(db);
        QSqlQuery pq(db), vq(db);
        pq.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, course_title, softwares, "
                                  "software_ids, author_ids, price, previous_price, rating, sales, thumbnail, url, "
                                  "end_ts, preview_uri, width, height, purchase_date, attachment_url, description, "
                                  "commented) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        vq.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, n_chapter, "
                                  "t_chapter, expiry_ts, thumbnail, width, height, KvoPath, hidden, alreadyseen) "
                                  "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        for (int c = 1; c <= Courses; ++c) {
            const QVariant values[] = {s_user, c, QStringLiteral("1;2;3"), QStringLiteral("Cours numéro %1").arg(c),
                                       QStringLiteral("Cours numéro %1").arg(c), QStringLiteral("Gimp, Krita"),
                                       QStringLiteral("3"), QStringLiteral("4"), 9, 0, 3, c * 3,
                                       QStringLiteral("http://img/c/%1.jpg").arg(c),
                                       QStringLiteral("http://site/cours/%1").arg(c), 0,
                                       QStringLiteral("http://prev/%1.mp4").arg(c), 640, 360, 1600000000 + c,
                                       QString(QLatin1String("")), QStringLiteral("Une description."), 0};
            for (int i = 0; i < 22; ++i)
                pq.bindValue(i, values[i]);
            pq.exec();
            for (int v = 1; v <= VideosPerCourse; ++v) {
                const int id = c * 100 + v;
                const QVariant vv[] = {s_user, id, c, QStringLiteral("Vidéo %1 du cours %2").arg(v).arg(c), 300 + v, v,
                                       1 + v / 5, QStringLiteral("Chapitre %1").arg(1 + v / 5), 0,
                                       QStringLiteral("http://img/v/%1.jpg").arg(id), 1280, 720,
                                       QString(QLatin1String("")), 0, 0};
                for (int i = 0; i < 15; ++i)
                    vq.bindValue(i, vv[i]);
                vq.exec();
            }
        }
        tr.commit();
    }
    const double ms = t.nsecsElapsed() / 1e6;
    KvoDatabase::close();
    return ms;
}

struct SyncFigures
{
    double totalMs = 0;      // update() to libraryWritten
    double worstLateMs = 0;  // worst lateness of a 5 ms GUI timer
    bool written = false;
};

SyncFigures syncOnce()
{
    SyncFigures f;
    auto* m = KvoPurchaseVideoManager::instance();
    QElapsedTimer clock;
    QElapsedTimer tick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double late = tick.nsecsElapsed() / 1e6 - 5.0;
        if (late > f.worstLateMs)
            f.worstLateMs = late;
        tick.restart();
    });
    QEventLoop loop;
    QObject::connect(m, &KvoPurchaseVideoManager::libraryWritten, &loop, [&](bool ok) {
        f.written = ok;
        f.totalMs = clock.nsecsElapsed() / 1e6;
        loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    tick.start();
    ticker.start();
    clock.start();
    m->update();
    loop.exec();
    ticker.stop();
    QObject::disconnect(m, &KvoPurchaseVideoManager::libraryWritten, &loop, nullptr);
    while (m->isSynchronising())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    KvoBenchEnvironment::usePrivateHome(dir.path());

    const QByteArray body = bigAnswer(1700000000);
    KvoFakeHttpServer server;
    if (!server.listen())
        return 1;
    KvoApi::setEndpointForTesting(server.address());
    server.setAnswer(200, body);

    std::printf("answer: %d courses x %d videos, %.1f MB of JSON\n", Courses, VideosPerCourse, body.size() / 1e6);
    const double floor = floorMs(dir.filePath(QStringLiteral("floor.sqlite")));
    std::printf("floor (same rows, one prepared statement per table, one transaction): %.1f ms\n", floor);

    double transfer = 0;
    for (int i = 0; i < 3; ++i)
        transfer += transferMs(server.address() + QStringLiteral("/0.1/playerUserPurchases/"));
    transfer /= 3;
    std::printf("transfer of the answer alone (plain GET, mean of 3): %.1f ms\n", transfer);

    {
        // The share of the parse: JSON to variants, variants to records.
        QElapsedTimer t;
        t.start();
        KvoJsonResult json;
        json.parse(QString::fromUtf8(body));
        const double jsonMs = t.nsecsElapsed() / 1e6;
        const QVariantList vorns = json.value(QStringLiteral("vorns")).toList();
        QMap<int, KvoPurchase> parsed;
        for (const QVariant& v : vorns) {
            const KvoPurchase p = KvoPurchase::createFromJson(v.toMap());
            parsed.insert(int(p.id), p);
        }
        std::printf("parse alone: JSON to variants %.1f ms, variants to records %.1f ms\n", jsonMs,
                    t.nsecsElapsed() / 1e6 - jsonMs);
    }

    if (!KvoDatabase::open(dir.filePath(QStringLiteral("database.sqlite"))))
        return 1;
    {
        QSqlQuery q(KvoDatabase::database());
        q.prepare(QStringLiteral("INSERT INTO users (id_qoz_user, login) VALUES (?, 'bench')"));
        q.addBindValue(s_user);
        q.exec();
    }
    auto* m = KvoPurchaseVideoManager::instance();
    m->setUser(s_user, QStringLiteral("bench"), QStringLiteral("12"), QStringLiteral("token"));

    const char* labels[] = {"first sync (empty library)", "second sync (same library again)"};
    for (int round = 0; round < 2; ++round) {
        const SyncFigures f = syncOnce();
        const double processing = f.totalMs - transfer;
        std::printf("%s: update() to written %.1f ms, minus transfer %.1f ms = %.1f ms; ratio to floor %.2f; "
                    "worst lateness of a 5 ms GUI timer %.1f ms; written %s\n",
                    labels[round], f.totalMs, transfer, processing, floor > 0 ? processing / floor : 0.0,
                    f.worstLateMs, f.written ? "yes" : "NO");
    }

    {
        // One write to the library while a synchronisation writes it: done
        // on the synchronisation's thread, inside its transaction, so that
        // it waits for no lock of the file and what it costs is its part in
        // memory (and one row).
        double setterMs = -1;
        KvoLibraryStore::setCourseWrittenHookForTesting([m, &setterMs](int written) {
            if (written != Courses / 2)
                return;
            QElapsedTimer t;
            t.start();
            m->setAlreadySeen(1, 101, 50);
            setterMs = t.nsecsElapsed() / 1e6;
        });
        const SyncFigures f = syncOnce();
        KvoLibraryStore::setCourseWrittenHookForTesting({});
        std::printf("one write to the library in the middle of a synchronisation's write: %.3f ms%s\n", setterMs,
                    f.written ? "" : " (synchronisation NOT written)");
    }

    // Polls answered 304.
    server.setAnswer(304, QByteArray());
    constexpr int Polls = 300;
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    for (int i = 0; i < Polls; ++i) {
        QEventLoop loop;
        QObject::connect(m, &KvoPurchaseVideoManager::updateEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        m->update();
        loop.exec();
    }
    const double cpu = cpuSeconds() - cpu0;
    std::printf("poll answered 304: %.3f ms CPU per poll (client and in-process server together), "
                "%.3f ms wall per poll, over %d polls\n",
                cpu * 1000 / Polls, wall.nsecsElapsed() / 1e6 / Polls, Polls);

    std::fflush(stdout);
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone();
    KvoDatabase::close();

    // The start-up's check of the whole file for damage.
    const QString path = dir.filePath(QStringLiteral("database.sqlite"));
    QElapsedTimer open;
    open.start();
    const bool opened = KvoDatabase::open(path);
    std::printf("open with the integrity check, %.1f MB file: %.1f ms%s\n", QFileInfo(path).size() / 1e6,
                open.nsecsElapsed() / 1e6, opened ? "" : " (FAILED)");
    KvoDatabase::close();
    return 0;
}
