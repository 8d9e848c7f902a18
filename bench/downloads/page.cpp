// The downloads page with a large library: time to open it, to change the
// list page and the sort, and the memory of the client, with N courses
// (100,000 by default) that each miss a video. Prints figures only.

#include "KvoBenchLibrary.h"
#include "KvoDownloadWidget.h"
#include "KvoEnvironment.h"
#include "KvoPageDownloads.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <cstdio>

namespace {

const QString s_user = QStringLiteral("Bench0003");

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// Resident and peak resident memory of the process, in MB.
void memory(double* rss, double* peak)
{
    *rss = *peak = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "VmRSS:")
            *rss = parts[1].toDouble() / 1024;
        else if (parts[0] == "VmHWM:")
            *peak = parts[1].toDouble() / 1024;
    }
}

// Two videos per course; the second is not on disk.
void addCourses(QSqlDatabase& db, int courses)
{
    QSqlQuery pq(db), vq(db);
    pq.prepare(QStringLiteral("INSERT INTO purchases (id_user, id, files, title, software_ids, purchase_date) "
                              "VALUES (?, ?, ?, ?, ?, ?)"));
    vq.prepare(QStringLiteral("INSERT INTO videos (id_user, fileid, id_purchase, title, duration, ord, KvoPath, hidden, "
                              "alreadyseen) VALUES (?, ?, ?, ?, 60, ?, ?, 0, 0)"));
    for (int c = 1; c <= courses; ++c) {
        const int first = c * 10 + 1, second = c * 10 + 2;
        for (const QVariant& v : QVariantList{s_user, c, QStringLiteral("%1;%2").arg(first).arg(second),
                                              QStringLiteral("Cours numéro %1").arg(c), QString::number(1 + c % 300),
                                              1500000000 + (c * 7919) % 100000000})
            pq.addBindValue(v);
        pq.exec();
        for (int v = 0; v < 2; ++v) {
            for (const QVariant& value :
                 QVariantList{s_user, v ? second : first, c, QStringLiteral("Vidéo %1").arg(v + 1), v + 1,
                              v ? QString() : QStringLiteral("/nowhere/%1.qoz").arg(first)})
                vq.addBindValue(value);
            vq.exec();
        }
    }
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

int runPageBench(int courses)
{
    KvoEnvironment::init();
    KvoBenchLibrary library(s_user);
    if (!library.isOpen()) {
        std::fprintf(stderr, "bench_downloads: cannot open the database\n");
        return 1;
    }
    const double fillMs = library.fill(300, [courses](QSqlDatabase& db) { addCourses(db, courses); });
    const double loadMs = library.load();
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    QElapsedTimer timer;
    double rss = 0, peak = 0;
    memory(&rss, &peak);
    std::printf("library: %d courses missing a video (database filled in %.0f ms, loaded in %.0f ms); "
                "memory %.0f MB (peak %.0f MB)\n",
                int(manager->purchases().size()), fillMs, loadMs, rss, peak);

    timer.restart();
    auto* page = new KvoPageDownloads(nullptr);
    page->resize(1030, 720);
    page->show();
    page->grab();
    const double openMs = ms(timer.nsecsElapsed());
    settle();
    memory(&rss, &peak);
    std::printf("downloads page opened (built, shown, painted) in %.1f ms (goal < 100): %d entries, %d rows; "
                "memory %.0f MB (peak %.0f MB, goal < 500)\n",
                openMs, int(page->sortedIds().size()), int(page->visibleRows().size()), rss, peak);

    timer.restart();
    page->onShow();
    std::printf("shown again (nothing changed): %.1f ms\n", ms(timer.nsecsElapsed()));

    // What a finished download costs the page: one course complete, the
    // counter recounted and the page shown again.
    {
        const KvoPurchase course = manager->purchases().value(courses / 2);
        KvoVideoFile video = course.files.last();
        video.KvoPath = QStringLiteral("/nowhere/%1.qoz").arg(video.fileId);
        manager->setVideoPath(course, video);
        timer.restart();
        page->refreshList();
        const double recount = ms(timer.nsecsElapsed());
        timer.restart();
        page->onShow();
        std::printf("a course completed: counter recounted in %.1f ms, page shown again in %.1f ms\n", recount,
                    ms(timer.nsecsElapsed()));
    }

    timer.restart();
    page->pagination()->setCurrentPage(courses / 2 / KvoPageDownloads::ItemsPerPage);
    page->grab();
    std::printf("another list page: %.1f ms\n", ms(timer.nsecsElapsed()));

    timer.restart();
    page->findChild<QRadioButton*>(QStringLiteral("softwareAsc"))->click();
    page->grab();
    std::printf("sorted by software: %.1f ms\n", ms(timer.nsecsElapsed()));
    settle();

    delete page;
    settle();
    library.close();
    memory(&rss, &peak);
    std::printf("client peak memory over the whole run: %.0f MB\n", peak);
    return 0;
}
