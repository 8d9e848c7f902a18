// Prints figures of the user's library pages; asserts nothing.
//
// A library of 300 softwares, 3,000 courses and 60,000 videos is written to
// a temporary database and loaded through the library manager. Timed: the
// softwares page built, shown and painted, then shown again until painted,
// and the page of the largest software shown in each of the nine sort modes
// (list built from the library, rows of the first list page made, laid out
// and painted). The times are printed alone,
// with the machine's load: a sort of the same rows takes microseconds and
// says nothing of what a page of rows made and painted should cost.
#include "KvoBenchEnvironment.h"
#include "KvoBenchLibrary.h"
#include "KvoEnvironment.h"
#include "KvoPageDetailSoftware.h"
#include "KvoPageSoftwares.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSoftwareDetailOrder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int Softwares = 300;
constexpr int Courses = 3000;
// 2,572 courses of 23 videos and 428 single videos: 59,584 videos.
constexpr int VideosPerCourse = 23;
constexpr int Repeats = 7;
const QString s_user = QStringLiteral("Bench0002");

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Software 1 is the largest: every tenth course is also filed under it.
QList<uint> softwaresOf(int course)
{
    QList<uint> ids{uint(1 + course % Softwares)};
    if (course % 10 == 0 && ids.first() != 1)
        ids.append(1);
    return ids;
}

void addCourses(QSqlDatabase& db, const QString& videoDir)
{
    std::mt19937 random(42);
    QSqlQuery pq(db), vq(db);
    pq.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date, "
                              "attachment_url) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    vq.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, n_chapter, "
                              "t_chapter, KvoPath, hidden, alreadyseen) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int c = 1; c <= Courses; ++c) {
        const QList<uint> softs = softwaresOf(c);
        const bool largest = softs.contains(1);
        const bool chaptered = c % 3 == 0;
        // Every seventh purchase is a single video bought on its own.
        const int fileCount = c % 7 == 0 ? 1 : VideosPerCourse;
        QStringList ids;
        for (int v = 1; v <= fileCount; ++v)
            ids.append(QString::number(c * 100 + v));
        QStringList softText;
        for (uint s : softs)
            softText.append(QString::number(s));
        const QString title = QStringLiteral("%1 cours %2").arg(QChar(QLatin1Char('A' + random() % 26))).arg(c);
        for (const QVariant& value :
             QVariantList{s_user, c, ids.join(';'), title, softText.join(';'), 1500000000 + int(random() % 100000000),
                          c % 4 == 0 ? QStringLiteral("https://example.org/s/%1.zip").arg(c) : QString()})
            pq.addBindValue(value);
        pq.exec();
        // Course states: never watched, started, finished, half downloaded.
        const int state = int(random() % 4);
        for (int v = 1; v <= fileCount; ++v) {
            const int id = c * 100 + v;
            const bool downloaded = state != 3 || v <= VideosPerCourse / 2;
            const bool hidden = random() % 50 == 0;
            const uint seen = state == 0 ? 0 : state == 2 ? 100 : uint(random() % 101);
            QString path;
            if (downloaded) {
                path = videoDir + QStringLiteral("/%1.qoz").arg(id);
                if (largest) {
                    QFile file(path);
                    file.open(QIODevice::WriteOnly);
                }
            }
            for (const QVariant& value :
                 QVariantList{s_user, id, c, QStringLiteral("Vidéo %1 du cours %2").arg(v).arg(c), int(60 + random() % 3000),
                              VideosPerCourse + 1 - v, chaptered ? 1 + (v - 1) / 5 : 0,
                              chaptered ? QStringLiteral("Chapitre %1").arg(1 + (v - 1) / 5) : QString(), path,
                              hidden ? 1 : 0, seen})
                vq.addBindValue(value);
            vq.exec();
        }
    }
}

// What the event loop does between two user actions: deliver what was
// posted and delete the rows that were replaced.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    KvoBenchEnvironment::usePrivateHome(home.path());
    QApplication app(argc, argv);
    KvoEnvironment::init();
    const double load0 = KvoBenchEnvironment::load1();

    KvoBenchLibrary library(s_user);
    if (!library.isOpen()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    const QString videoDir = library.filePath(QStringLiteral("videos"));
    QDir().mkpath(videoDir);
    const double fillMs = library.fill(Softwares, [&videoDir](QSqlDatabase& db) { addCourses(db, videoDir); });
    const double loadMs = library.load();
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    QElapsedTimer timer;
    const QMap<int, KvoPurchase> purchases = manager->purchases();
    int videos = 0;
    for (const KvoPurchase& p : purchases)
        videos += int(p.files.size());
    std::printf("library: %d softwares, %d courses, %d videos (database filled in %.0f ms, loaded in %.0f ms)\n",
                int(manager->softwares().size()), int(purchases.size()), videos, fillMs, loadMs);

    // Softwares page: built and shown, then shown again, each until painted.
    {
        std::vector<double> build, again;
        for (int r = 0; r < 3; ++r) {
            timer.restart();
            KvoPageSoftwares page(nullptr);
            page.resize(987, 631);
            page.onShow();
            page.grab();
            build.push_back(ms(timer.nsecsElapsed()));
            timer.restart();
            page.onShow();
            page.grab();
            again.push_back(ms(timer.nsecsElapsed()));
        }
        std::printf("softwares page: built+shown %.2f ms, shown again and painted %.2f ms (median of 3)\n",
                    median(build), median(again));
    }

    // Page of the largest software in each mode.
    KvoPageDetailSoftware page(nullptr);
    page.resize(987, 631);
    page.setSoftwareId(1);
    page.onShow();
    page.grab();
    settle();
    QPushButton* date = page.findChild<QPushButton*>(QStringLiteral("buttonSortDate"));
    QPushButton* title = page.findChild<QPushButton*>(QStringLiteral("buttonSortTitre"));
    QPushButton* type = page.findChild<QPushButton*>(QStringLiteral("buttonSortType"));
    QPushButton* progress = page.findChild<QPushButton*>(QStringLiteral("buttonSortProgression"));
    // Each mode is reached by one click from the mode before it (pre) on
    // its button; only that click (list, rows) and the paint are timed.
    const int pre[9] = {1, 0, 1, 2, 1, 4, 1, 6, 7};
    QPushButton* const button[9] = {date, date, title, title, type, type, progress, progress, progress};
    std::function<void(int)> reach = [&](int mode) {
        if (page.sortMode() == mode)
            return;
        if (mode == 1) {
            date->click();
            return;
        }
        reach(pre[mode]);
        button[mode]->click();
    };

    std::printf("software 1 page, per mode (median of %d):\n", Repeats);
    std::printf("  mode  courses  videos  list ms  click ms  +paint ms\n");
    double worstPage = 0;
    for (int mode = 0; mode < KvoSoftwareDetailOrder::ModeCount; ++mode) {
        std::vector<double> listTimes, clickTimes, paintTimes;
        int items = 0;
        for (int r = 0; r < Repeats; ++r) {
            QElapsedTimer t;
            t.start();
            items = int(page.buildItemList().size());
            listTimes.push_back(ms(t.nsecsElapsed()));

            if (page.sortMode() == mode || pre[mode] == 1)
                title->click(); // leave, so the way back is the one measured
            reach(pre[mode]);
            settle();
            page.grab();
            t.restart();
            button[mode]->click();
            clickTimes.push_back(ms(t.nsecsElapsed()));
            page.grab();
            paintTimes.push_back(ms(t.nsecsElapsed()));
            settle();
            if (page.sortMode() != mode)
                std::printf("  (mode %d not reached: %d)\n", mode, page.sortMode());
        }
        int courses = 0;
        for (const KvoPurchase& p : purchases)
            courses += p.softwareIDs.contains(1) && KvoSoftwareDetailOrder::passesFilter(p, mode);
        const double pageMs = median(paintTimes);
        worstPage = std::max(worstPage, pageMs);
        std::printf("  %4d  %7d  %6d  %7.2f  %8.2f  %9.2f\n", mode, courses, items, median(listTimes),
                    median(clickTimes), pageMs);
    }
    std::printf("worst page %.2f ms (goal < 100); load %.2f at the start, %.2f at the end\n", worstPage, load0,
                KvoBenchEnvironment::load1());

    return 0;
}
