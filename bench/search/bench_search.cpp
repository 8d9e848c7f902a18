// Prints figures of the search page; asserts nothing.
//
// 1. The demo catalogue: the local web service runs as a child process; the
//    query "e" (every course, two pages) is searched on a fresh page, seven
//    times. Timed from the moment the answer has arrived (the network
//    manager's finished signal, which comes before the page reads it) to
//    the first page built, laid out and painted.
// 2. Paging: a scripted service with 120 results and 3 library matches
//    (13 pages). Pages 0 to 10 are fetched once; then each of them is shown
//    again, forth and back, from the cache (answers and rows kept). Timed:
//    the page switch, its rows laid out and painted. The number of requests made during the
//    walk is printed too (0 expected).
#include "KvoFakeHttpServer.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoHTTPRequest.h"
#include "KvoPageSearch.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSearchItem.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString s_user = QStringLiteral("Bench0013");

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double maximum(const std::vector<double>& v)
{
    return *std::max_element(v.begin(), v.end());
}

bool waitIdle(KvoPageSearch* page)
{
    QElapsedTimer t;
    t.start();
    while (page->isSearching() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return !page->isSearching();
}

QByteArray answer(int total, int start, int limit)
{
    QJsonArray results;
    for (int i = qMax(0, start); i < total && i < start + limit; ++i) {
        QJsonObject o;
        o.insert(QStringLiteral("id"), 9000 + i);
        o.insert(QStringLiteral("title"), QStringLiteral("Banc d'essai, résultat %1").arg(i));
        o.insert(QStringLiteral("softwares"), QStringLiteral("Photomaton Pro, Tableur Plus"));
        o.insert(QStringLiteral("software_ids"), QJsonArray{1, 2});
        o.insert(QStringLiteral("price"), i % 5);
        o.insert(QStringLiteral("previous_price"), i % 7 == 0 ? 6 : 0);
        o.insert(QStringLiteral("rating"), i % 6);
        o.insert(QStringLiteral("url"), QStringLiteral("http://127.0.0.1:1/vorn/%1").arg(i));
        results.append(o);
    }
    QJsonObject vorn;
    vorn.insert(QStringLiteral("results"), results);
    vorn.insert(QStringLiteral("total"), total);
    QJsonObject o;
    o.insert(QStringLiteral("vorn"), vorn);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void seedLibrary()
{
    KvoLibrary library;
    for (uint c = 1; c <= 3; ++c) {
        KvoPurchase p;
        p.id = c;
        p.title = QStringLiteral("Banc d'essai de la bibliothèque %1").arg(c);
        p.softwareIDs = {1};
        KvoVideoFile v;
        v.fileId = c * 10;
        v.purchaseId = c;
        v.title = QStringLiteral("v");
        v.KvoPath = QStringLiteral("/bench/v.qoz");
        v.alreadySeen = 40;
        p.files.insert(int(v.fileId), v);
        library.purchases.insert(int(c), p);
    }
    KvoTestLibrary::add(s_user, library);
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("bench"), QStringLiteral("0"), QString());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    KvoTestHome home;
    QTemporaryDir dir;
    if (!KvoTestLibrary::openWithUser(dir.path(), s_user)) {
        std::fprintf(stderr, "no database\n");
        return 1;
    }
    seedLibrary();
    KvoHTTPRequest::setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));

    // 1. First page of the demo catalogue.
    {
        KvoTestServer server(QStringList{QStringLiteral("--quiet")});
        if (!server.isRunning()) {
            std::fprintf(stderr, "the local web service did not start\n");
            return 1;
        }
        KvoApi::setEndpointForTesting(server.address());
        QElapsedTimer clock;
        clock.start();
        qint64 arrived = 0;
        QObject::connect(KvoHTTPRequest::networkManager(), &QNetworkAccessManager::finished, &app,
                         [&](QNetworkReply*) { arrived = clock.nsecsElapsed(); });
        std::vector<double> firstPage;
        int rows = 0;
        for (int run = 0; run < 8; ++run) {
            KvoPageSearch page;
            page.resize(943, 619);
            page.show();
            QCoreApplication::processEvents();
            page.newSearch(QStringLiteral("e"));
            if (!waitIdle(&page))
                return 1;
            page.repaint();
            const qint64 shown = clock.nsecsElapsed();
            rows = int(page.serverRows().size() + page.localRows().size());
            if (run > 0) // the first run warms the caches (fonts, style sheets)
                firstPage.push_back(double(shown - arrived) / 1e6);
        }
        std::printf("demo catalogue, query \"e\": first page of %d rows shown %.1f ms (median of %zu; max %.1f) "
                    "after the answer arrived\n",
                    rows, median(firstPage), firstPage.size(), maximum(firstPage));
    }

    // 2. Paging through cached pages.
    {
        KvoFakeHttpServer server;
        server.listen();
        server.setHandler([](const KvoFakeHttpServer::Request& r) {
            return KvoFakeHttpServer::Reply::of(200, answer(120, r.form().queryItemValue(QStringLiteral("start")).toInt(),
                                                            r.form().queryItemValue(QStringLiteral("limit")).toInt()));
        });
        KvoApi::setEndpointForTesting(server.address());
        KvoPageSearch page;
        page.resize(943, 619);
        page.show();
        page.newSearch(QStringLiteral("banc"));
        waitIdle(&page);
        for (int p = 1; p <= 10; ++p) {
            page.pagination()->setCurrentPage(p);
            waitIdle(&page);
        }
        const int before = int(server.requests().size());
        std::vector<double> times;
        QElapsedTimer t;
        int pages = 0;
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i <= 20; ++i) {
                const int p = i <= 10 ? 10 - i : i - 10; // back to 0, then forth to 10
                t.start();
                page.pagination()->setCurrentPage(p);
                page.repaint();
                times.push_back(double(t.nsecsElapsed()) / 1e6);
                ++pages;
                QCoreApplication::processEvents();
            }
        }
        std::printf("paging %d times through 11 cached pages of 10 rows (%d items): median %.2f ms, max %.2f ms "
                    "per page; %d requests meanwhile\n",
                    pages, page.pagination()->itemCount(), median(times), maximum(times),
                    int(server.requests().size()) - before);
    }
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    return 0;
}
