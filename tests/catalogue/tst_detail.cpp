#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include "KvoDialogDriver.h"
#include "KvoScreenshots.h"

#include "KvoApi.h"
#include "KvoCourseFolders.h"
#include "KvoDatabase.h"
#include "KvoDetailSoftwareItem.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoMainWindow.h"
#include "KvoPageDetailSoftware.h"
#include "KvoPaginationWidget.h"
#include "KvoLibraryStore.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoSoftwareDetailOrder.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QScrollBar>
#include <QScrollArea>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <algorithm>
#include <functional>
#include <memory>

// The fixtures below list only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using Order = KvoSoftwareDetailOrder;
using Item = KvoSoftwareDetailOrder::ItemPair;

namespace {

const QString s_user = QStringLiteral("QzUsr042");
const uint s_soft = 7;

struct V
{
    uint id;
    uint order = 1;
    QString path;       // "" never downloaded; "*" a real file made by the test; else as given
    uint seen = 0;
    bool hidden = false;
    uint chapter = 0;
    QString chapterTitle;
};

struct C
{
    uint id;
    QString title;
    qint64 date; // epoch seconds
    QList<uint> softwares;
    QList<V> files;
    QString attachment;
};

QDateTime day(int n)
{
    return QDateTime::fromSecsSinceEpoch(1600000000 + qint64(n) * 86400);
}

KvoPurchase purchase(const C& c)
{
    KvoPurchase p;
    p.id = c.id;
    p.title = c.title;
    p.purchaseDate = QDateTime::fromSecsSinceEpoch(c.date);
    p.softwareIDs = c.softwares;
    p.attachmentURL = c.attachment;
    for (const V& v : c.files) {
        KvoVideoFile f;
        f.fileId = v.id;
        f.purchaseId = c.id;
        f.title = QStringLiteral("Vidéo %1").arg(v.id);
        f.order = v.order;
        f.KvoPath = v.path;
        f.alreadySeen = v.seen;
        f.hidden = v.hidden;
        f.n_chapter = v.chapter;
        f.t_chapter = v.chapterTitle;
        p.files.insert(int(v.id), f);
    }
    return p;
}

QMap<int, KvoPurchase> library(const QList<C>& courses)
{
    QMap<int, KvoPurchase> map;
    for (const C& c : courses)
        map.insert(int(c.id), purchase(c));
    return map;
}

qint64 d(int n)
{
    return day(n).toSecsSinceEpoch();
}

// A library that separates every mode: distinct dates, titles and progress.
//   1 "abc"     day 3, 4 files, 2 listed (100, 50)  -> progress 37.5
//   2 "ABD"     day 1, 1 file listed, unwatched     -> 0
//   3 "Calques" day 5, 3 files, 1 listed at 100     -> 33.3
//   4 "Dessin"  day 2, 2 files listed at 100         -> 100 (also software 5)
//   5 "Effets"  day 4, its only pathed video hidden  -> never listed
//   6 "Fusion"  day 6, no files                      -> never listed
//   7 "Gamma"   another software                     -> never listed
//   8 "Halo"    day 0, chapters 2,1,2 at positions 5,9,3 -> progress 10
QList<C> modeLibrary()
{
    const QString p = QStringLiteral("/videos/x.qoz");
    return {
        {1, "abc", d(3), {s_soft}, {{11, 1, p, 100}, {12, 2, p, 50}, {13, 3}, {14, 4}}},
        {2, "ABD", d(1), {s_soft}, {{21, 1, p, 0}}},
        {3, "Calques", d(5), {s_soft}, {{31, 1, p, 100}, {32, 2}, {33, 3}}},
        {4, "Dessin", d(2), {5, s_soft}, {{41, 2, p, 100}, {42, 1, p, 100}}},
        {5, "Effets", d(4), {s_soft}, {{51, 1, p, 0, true}, {52, 2}}},
        {6, "Fusion", d(6), {s_soft}, {}},
        {7, "Gamma", d(7), {8}, {{71, 1, p, 0}}},
        {8, "Halo", d(0), {s_soft},
         {{81, 5, p, 20, false, 2, "Deux"}, {82, 9, p, 0, false, 1, "Un"}, {83, 3, p, 10, false, 2, "Deux"}}},
    };
}

// "1:11,12 2:21": the list as courses with their files, in order.
QString describe(const QList<Item>& items)
{
    QStringList groups;
    uint current = 0;
    for (const Item& item : items) {
        if (groups.isEmpty() || item.purchaseId != current) {
            current = item.purchaseId;
            groups.append(QStringLiteral("%1:%2").arg(item.purchaseId).arg(item.fileId));
        } else {
            groups.last() += QStringLiteral(",%1").arg(item.fileId);
        }
    }
    return groups.join(QLatin1Char(' '));
}

// Clicks a button of a dialog's form; a missing button closes the dialog,
// so the test fails on its result instead of hanging.
void clickIn(QDialog* dialog, const char* buttonName)
{
    if (auto* button = dialog->findChild<QPushButton*>(QLatin1String(buttonName)))
        button->click();
    else
        dialog->reject();
}

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void handle(const QUrl& url) { urls.append(url); }
};

} // namespace

class TestDetail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // list order, no widget
    void modes_data();
    void modes();
    void ties_data();
    void ties();
    void progressUsesAllFiles();
    void formationOrder();

    // rows
    void durations_data();
    void durations();
    void purchaseRowMean_data();
    void purchaseRowMean();
    void videoRowStates();

    // page
    void paging_data();
    void paging();
    void sortButtons();
    void chaptersAndRepeatedHeaders();
    void inPlaceRefreshKeepsRows();
    void reusedRowsShowTheirEntry();
    void removal_data();
    void removal();
    void removalLeavesNoEmptyCourseFolder();
    void rowRebuiltDuringItsDialog();
    void attach_data();
    void attach();
    void subscription();
    void collectDownloadedVideos();
    void playAndLinks();
    void darkScrollBar();
    void screenshots();

private:
    KvoPurchaseVideoManager* manager() { return KvoPurchaseVideoManager::instance(); }
    // Writes the courses as the user's library and signs the user in, which
    // loads it. "*" paths become real files in the temporary folder.
    void load(const QList<C>& courses, const QString& softwareUrl = QStringLiteral("https://example.org/soft/7"));
    QString realPath(uint fileId) const;
    std::unique_ptr<KvoPageDetailSoftware> makePage();

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDetail::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    // Nothing listens there: queued requests stay queued.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
}

void TestDetail::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(KvoTestLibrary::openWithUser(m_dir->path(), s_user));
}

void TestDetail::cleanup()
{
    KvoTestLibrary::close();
    m_dir.reset();
}

QString TestDetail::realPath(uint fileId) const
{
    return m_dir->filePath(QStringLiteral("%1.qoz").arg(fileId));
}

void TestDetail::load(const QList<C>& courses, const QString& softwareUrl)
{
    KvoLibrary added;
    for (const C& c : courses) {
        KvoPurchase p = purchase(c);
        for (KvoVideoFile& f : p.files) {
            f.duration = 61 * f.fileId;
            if (f.KvoPath == QLatin1String("*")) {
                f.KvoPath = realPath(f.fileId);
                QFile file(f.KvoPath);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("video");
            }
        }
        added.purchases.insert(int(c.id), p);
    }
    KvoSoftware software;
    software.id = s_soft;
    software.name = QStringLiteral("Photo");
    software.url = softwareUrl;
    added.softwares.insert(int(s_soft), software);
    QVERIFY(KvoTestLibrary::add(s_user, added));
    manager()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
}

std::unique_ptr<KvoPageDetailSoftware> TestDetail::makePage()
{
    auto page = std::make_unique<KvoPageDetailSoftware>();
    page->resize(987, 631);
    page->setSoftwareId(s_soft);
    // What the main window does for its current page.
    connect(manager(), &KvoPurchaseVideoManager::databaseUpdated, page.get(), &KvoPageDetailSoftware::onShow);
    page->onShow();
    return page;
}

// --- list order ----------------------------------------------------------------

void TestDetail::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");
    const QString h = QStringLiteral("8:82,83,81"), b = QStringLiteral("2:21"), dd = QStringLiteral("4:42,41"),
                  a = QStringLiteral("1:11,12"), c = QStringLiteral("3:31");
    auto join = [](const QStringList& parts) { return parts.join(QLatin1Char(' ')); };
    QTest::newRow("0 date ascending") << 0 << join({h, b, dd, a, c});
    QTest::newRow("1 date descending") << 1 << join({c, a, dd, b, h});
    QTest::newRow("2 titles A-Z, case ignored") << 2 << join({a, b, c, dd, h});
    QTest::newRow("3 titles Z-A") << 3 << join({h, dd, c, b, a});
    QTest::newRow("4 two files or more, all files counted") << 4 << join({c, a, dd, h});
    QTest::newRow("5 one file or none") << 5 << b;
    QTest::newRow("6 never watched") << 6 << b;
    QTest::newRow("7 started, by progress") << 7 << join({h, c, a});
    QTest::newRow("8 finished") << 8 << dd;
}

void TestDetail::modes()
{
    QFETCH(int, mode);
    QFETCH(QString, expected);
    const QMap<int, KvoPurchase> purchases = library(modeLibrary());
    QCOMPARE(describe(Order::buildItemList(purchases, s_soft, mode)), expected);
    // Another software sees only its own courses.
    QCOMPARE(describe(Order::buildItemList(purchases, 8, mode)),
             Order::passesFilter(purchases.value(7), mode) ? QStringLiteral("7:71") : QString());
    QVERIFY(Order::buildItemList(purchases, 99, mode).isEmpty());
}

void TestDetail::ties_data()
{
    QTest::addColumn<int>("mode");
    for (int mode : {0, 1, 4, 5, 6})
        QTest::addRow("mode %d", mode) << mode;
}

void TestDetail::ties()
{
    // Equal keys keep no defined order, but every course stays one block
    // with its videos in position order.
    QFETCH(int, mode);
    const QString p = QStringLiteral("/v.qoz");
    const QList<C> courses = {
        {1, "Same", d(1), {s_soft}, {{12, 2, p}, {11, 1, p}}},
        {2, "same", d(1), {s_soft}, {{22, 2, p}, {21, 1, p}}},
        {3, "SAME", d(1), {s_soft}, {{31, 1, p}, {32, 2, p}}},
    };
    const QMap<int, KvoPurchase> purchases = library(courses);
    const QString got = describe(Order::buildItemList(purchases, s_soft, mode));
    if (mode == 5) {
        QCOMPARE(got, QString());
        return;
    }
    QStringList blocks = got.split(QLatin1Char(' '));
    blocks.sort();
    QCOMPARE(blocks, (QStringList{"1:11,12", "2:21,22", "3:31,32"}));
}

void TestDetail::progressUsesAllFiles()
{
    const QMap<int, KvoPurchase> purchases = library(modeLibrary());
    QCOMPARE(Order::purchaseProgress(1, purchases), 37.5f);
    QVERIFY(Order::passesFilter(purchases.value(1), 7));
    QVERIFY(!Order::passesFilter(purchases.value(1), 8));
    QCOMPARE(Order::purchaseProgress(6, purchases), 0.0f); // no files: no division
    QCOMPARE(Order::purchaseProgress(999, purchases), 0.0f);
    // A hidden video's percentage does not count.
    QCOMPARE(Order::purchaseProgress(5, purchases), 0.0f);
}

void TestDetail::formationOrder()
{
    Order::Formation a, b;
    a.title = QStringLiteral("abc");
    b.title = QStringLiteral("ABD");
    a.date = day(1);
    b.date = day(2);
    a.progress = 10;
    b.progress = 20;
    const QList<QPair<int, bool>> expected = {{0, true}, {1, false}, {2, true}, {3, false}, {4, false},
                                              {5, false}, {6, true}, {7, true}, {8, true}};
    for (const auto& e : expected) {
        a.sortMode = e.first;
        QCOMPARE(a < b, e.second);
    }
}

// --- rows -------------------------------------------------------------------------

void TestDetail::durations_data()
{
    QTest::addColumn<uint>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0u << "0:00";
    QTest::newRow("59") << 59u << "0:59";
    QTest::newRow("61") << 61u << "1:01";
    QTest::newRow("3599") << 3599u << "59:59";
    QTest::newRow("3600") << 3600u << "1:00:00";
    QTest::newRow("3725") << 3725u << "1:02:05";
    QTest::newRow("36000") << 36000u << "10:00:00";
}

void TestDetail::durations()
{
    QFETCH(uint, seconds);
    QFETCH(QString, text);
    QCOMPARE(KvoDetailSoftwareItem::formatDuration(seconds), text);
}

void TestDetail::purchaseRowMean_data()
{
    QTest::addColumn<QList<V>>("files");
    QTest::addColumn<uint>("mean");
    QTest::addColumn<bool>("green");
    const QString p = QStringLiteral("/v.qoz");
    QTest::newRow("100 and 51") << QList<V>{{1, 1, p, 100}, {2, 2, p, 51}, {3, 3}} << 75u << false;
    QTest::newRow("all finished") << QList<V>{{1, 1, p, 100}, {2, 2, p, 100}} << 100u << true;
    QTest::newRow("nothing listed any more") << QList<V>{{1, 1, p, 80, true}, {2, 2, QString(), 90}} << 0u
                                             << false;
    QTest::newRow("no files") << QList<V>{} << 0u << false;
}

void TestDetail::purchaseRowMean()
{
    QFETCH(QList<V>, files);
    QFETCH(uint, mean);
    QFETCH(bool, green);
    QMap<int, KvoPurchase> purchases = library({{5, "Cours", d(1), {s_soft}, files}});
    KvoDetailSoftwareItem row(KvoDetailSoftwareItem::Purchase);
    row.setPurchaseId(5);
    row.refresh(purchases);
    QCOMPARE(row.seen(), mean);
    QCOMPARE(row.percentageLabel()->text(), QString::number(mean) + QLatin1Char('%'));
    QCOMPARE(row.progressBar()->value(), int(mean));
    QCOMPARE(row.progressBar()->styleSheet().contains(QLatin1String("#97bf0d")), green);
    QVERIFY(!row.supportButton());
    // A course that no longer exists at all shows 0 as well.
    KvoDetailSoftwareItem gone(KvoDetailSoftwareItem::Purchase);
    gone.setPurchaseId(77);
    gone.refresh(purchases);
    QCOMPARE(gone.seen(), 0u);
}

void TestDetail::videoRowStates()
{
    const QString present = m_dir->filePath(QStringLiteral("present.qoz"));
    QFile file(present);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QMap<int, KvoPurchase> purchases =
        library({{5, "Cours", d(1), {s_soft}, {{1, 1, present, 100}, {2, 2, present, 99}}, "https://x/s.zip"}});

    KvoDetailSoftwareItem done(KvoDetailSoftwareItem::Video);
    done.setPurchaseId(5);
    done.setVideoId(1);
    done.refresh(purchases);
    QVERIFY(done.isPresent());
    QVERIFY(done.titleButton()->styleSheet().contains(QLatin1String("#97bf0d")));
    QVERIFY(done.durationLabel()->styleSheet().contains(QLatin1String("#97bf0d")));
    QVERIFY(done.percentageLabel()->styleSheet().contains(QLatin1String("#97bf0d")));

    KvoDetailSoftwareItem almost(KvoDetailSoftwareItem::Video);
    almost.setPurchaseId(5);
    almost.setVideoId(2);
    almost.refresh(purchases);
    QVERIFY(almost.titleButton()->styleSheet().contains(QLatin1String("#dadada")));
    QVERIFY(almost.percentageLabel()->styleSheet().contains(QLatin1String("#cd457f")));
    QVERIFY(almost.progressBar()->styleSheet().contains(QLatin1String("#cd457f")));
    QSignalSpy clicked(&almost, &KvoDetailSoftwareItem::videoClicked);
    QSignalSpy parcourir(&almost, &KvoDetailSoftwareItem::parcourirClicked);
    almost.titleButton()->click();
    QCOMPARE(clicked.count(), 1);

    // The file goes: the next refresh shows the missing state, the title no
    // longer plays and Parcourir reports.
    QVERIFY(QFile::remove(present));
    almost.refresh(purchases);
    QVERIFY(!almost.isPresent());
    QVERIFY(!almost.parcourirButton()->isHidden());
    QVERIFY(!almost.missingButton()->isHidden());
    QVERIFY(almost.progressBar()->isHidden());
    almost.titleButton()->click();
    QCOMPARE(clicked.count(), 1);
    almost.parcourirButton()->click();
    QCOMPARE(parcourir.count(), 1);

    // A course row with support files; a chapter row has no delete button.
    KvoDetailSoftwareItem course(KvoDetailSoftwareItem::Purchase);
    course.setPurchaseId(5);
    course.refresh(purchases);
    QVERIFY(course.supportButton());
    KvoDetailSoftwareItem chapter(KvoDetailSoftwareItem::Chapter);
    QVERIFY(!chapter.deleteButton());
}

// --- page ---------------------------------------------------------------------------

void TestDetail::paging_data()
{
    QTest::addColumn<int>("videos");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QList<int>>("videoRowsPerPage");
    QTest::newRow("none") << 0 << "0 vidéo" << QList<int>{0};
    QTest::newRow("one") << 1 << "1 vidéo" << QList<int>{1};
    QTest::newRow("fifteen") << 15 << "15 vidéos" << QList<int>{15};
    QTest::newRow("sixteen") << 16 << "16 vidéos" << QList<int>{15, 1};
    QTest::newRow("twenty") << 20 << "20 vidéos" << QList<int>{15, 5};
}

void TestDetail::paging()
{
    QFETCH(int, videos);
    QFETCH(QString, count);
    QFETCH(QList<int>, videoRowsPerPage);
    QList<V> files;
    for (int i = 1; i <= videos; ++i)
        files.append({uint(100 + i), uint(i), QStringLiteral("/v/%1.qoz").arg(i)});
    files.append({99, 99}); // never downloaded: not listed
    load({{1, "Cours", d(1), {s_soft}, files}});
    auto page = makePage();
    QCOMPARE(page->findChild<QLabel*>(QStringLiteral("labelCount"))->text(), count);
    QCOMPARE(page->items().size(), videos);
    QCOMPARE(page->pagination()->isHidden(), videoRowsPerPage.size() < 2);

    for (int p = 0; p < videoRowsPerPage.size(); ++p) {
        page->pagination()->setCurrentPage(p);
        const QList<KvoDetailSoftwareItem*> rows = page->rows();
        int videoRows = 0;
        for (KvoDetailSoftwareItem* row : rows)
            videoRows += row->type() == KvoDetailSoftwareItem::Video;
        QCOMPARE(videoRows, videoRowsPerPage.at(p));
        if (videoRows > 0) {
            // Every page opens with its course's row, the continued one too.
            QCOMPARE(rows.first()->type(), int(KvoDetailSoftwareItem::Purchase));
            QCOMPARE(rows.size(), videoRows + 1);
            QCOMPARE(rows.at(1)->videoId(), uint(101 + 15 * p));
        } else {
            QVERIFY(rows.isEmpty());
        }
    }
}

void TestDetail::sortButtons()
{
    load(modeLibrary());
    auto page = makePage();
    auto button = [&](const char* name) { return page->findChild<QPushButton*>(QLatin1String(name)); };
    QPushButton* date = button("buttonSortDate");
    QPushButton* title = button("buttonSortTitre");
    QPushButton* type = button("buttonSortType");
    QPushButton* progress = button("buttonSortProgression");
    QCOMPARE(page->sortMode(), 1);
    QCOMPARE(date->text(), QStringLiteral("Les + récents"));

    const QList<QPair<int, QString>> cycle = {{6, "Jamais vus"}, {7, "Commencés"}, {8, "Terminés"}, {6, "Jamais vus"}};
    for (const auto& step : cycle) {
        progress->click();
        QCOMPARE(page->sortMode(), step.first);
        QCOMPARE(progress->text(), step.second);
        QCOMPARE(page->items(), Order::buildItemList(manager()->purchases(), s_soft, step.first));
    }
    QVERIFY(progress->styleSheet().contains(QLatin1String("#22242e")));
    QVERIFY(date->styleSheet().contains(QLatin1String("#0c0c0d")));
    QCOMPARE(date->text(), QStringLiteral("Par date"));

    date->click();
    QCOMPARE(page->sortMode(), 1);
    QCOMPARE(date->text(), QStringLiteral("Les + récents"));
    QCOMPARE(progress->text(), QStringLiteral("Progression"));
    date->click();
    QCOMPARE(page->sortMode(), 0);
    QCOMPARE(date->text(), QStringLiteral("Les - récents"));

    title->click();
    QCOMPARE(page->sortMode(), 2);
    QCOMPARE(title->text(), QStringLiteral("Titres A à Z"));
    QCOMPARE(date->text(), QStringLiteral("Par date"));
    title->click();
    QCOMPARE(page->sortMode(), 3);
    QCOMPARE(title->text(), QStringLiteral("Titres Z à A"));

    type->click();
    QCOMPARE(page->sortMode(), 4);
    QCOMPARE(type->text(), QStringLiteral("Formations"));
    QCOMPARE(title->text(), QStringLiteral("Par titre"));
    type->click();
    QCOMPARE(page->sortMode(), 5);
    QCOMPARE(type->text(), QStringLiteral("À l'unité"));
    QCOMPARE(page->findChild<QLabel*>(QStringLiteral("labelCount"))->text(), QStringLiteral("1 vidéo"));
}

void TestDetail::chaptersAndRepeatedHeaders()
{
    load(modeLibrary());
    auto page = makePage();
    page->findChild<QPushButton*>(QStringLiteral("buttonSortDate"))->click(); // mode 0: Halo first
    const QList<KvoDetailSoftwareItem*> rows = page->rows();
    QStringList shape;
    for (KvoDetailSoftwareItem* row : rows) {
        const QString kind = QStringList{"P", "C", "V"}.at(row->type());
        shape.append(kind + QString::number(row->type() == KvoDetailSoftwareItem::Chapter ? row->group()
                                                                                          : int(row->videoId())));
    }
    QCOMPARE(shape.mid(0, 6), (QStringList{"P82", "C1", "V82", "C2", "V83", "V81"}));
    QCOMPARE(rows.at(1)->titleButton()->text(), QStringLiteral("Un"));
}

void TestDetail::inPlaceRefreshKeepsRows()
{
    load({{1, "Cours", d(1), {s_soft}, {{11, 1, "*", 10}, {12, 2, "*", 0}}}});
    auto page = makePage();
    const QList<KvoDetailSoftwareItem*> before = page->rows();
    QCOMPARE(before.size(), 3);
    // A watched percentage changes: same list, the rows are refreshed in place.
    manager()->setAlreadySeen(1, 11, 100);
    QCOMPARE(page->rows(), before);
    QCOMPARE(before.at(1)->seen(), 100u);
    QCOMPARE(before.at(0)->seen(), 50u);
}

void TestDetail::reusedRowsShowTheirEntry()
{
    // Rows are kept and given the next entries when the list changes: each
    // must then show its new entry only, never what it showed before.
    QList<V> alpha;
    for (uint i = 1; i <= 20; ++i)
        alpha.append({100 + i, i, i % 2 ? QStringLiteral("*") : QStringLiteral("/nulle/part/%1.qoz").arg(i)});
    load({{1, "Alpha", d(2), {s_soft}, alpha},
          {2, "Beta", d(1), {s_soft}, {{201, 1, "*"}, {202, 2, "*"}}, QStringLiteral("https://example.org/a.zip")}});
    auto page = makePage();

    auto check = [&](const char* step) {
        const QString where = QString::fromLatin1(step);
        const QList<KvoDetailSoftwareItem*> rows = page->rows();
        QVERIFY2(!rows.isEmpty(), qPrintable(where));
        for (KvoDetailSoftwareItem* row : rows) {
            QVERIFY2(row->isVisibleTo(page.get()), qPrintable(where));
            if (row->type() == KvoDetailSoftwareItem::Video) {
                const uint id = row->videoId();
                QCOMPARE(row->titleButton()->text(), QStringLiteral("Vidéo %1").arg(id));
                const bool present = id > 200 || id % 2;
                QCOMPARE(row->isPresent(), present);
                const bool missingShown = row->missingButton() && row->missingButton()->isVisibleTo(row);
                QVERIFY2(missingShown == !present, qPrintable(where + QStringLiteral(" video %1").arg(id)));
            } else if (row->type() == KvoDetailSoftwareItem::Purchase) {
                const bool beta = row->purchaseId() == 2;
                QCOMPARE(row->titleButton()->text(), beta ? QStringLiteral("Beta") : QStringLiteral("Alpha"));
                QCOMPARE(row->supportUrl().isEmpty(), !beta);
            }
        }
    };
    check("first page");
    page->pagination()->setCurrentPage(1);
    check("second page");
    for (const char* name : {"buttonSortDate", "buttonSortTitre", "buttonSortTitre", "buttonSortProgression"}) {
        page->findChild<QPushButton*>(QLatin1String(name))->click();
        check(name);
        if (page->pagination()->isVisible()) {
            page->pagination()->setCurrentPage(1);
            check(name);
        }
    }
}

void TestDetail::removal_data()
{
    QTest::addColumn<int>("rowIndex"); // 0 the course row, 1 the first video row
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<uint>>("hidden");
    QTest::addColumn<QList<uint>>("deleted");
    QTest::newRow("video, keep file") << 1 << "buttonKeep" << QList<uint>{11} << QList<uint>{};
    QTest::newRow("video, delete file") << 1 << "buttonTrash" << QList<uint>{11} << QList<uint>{11};
    QTest::newRow("video, cancel") << 1 << "buttonCancel" << QList<uint>{} << QList<uint>{};
    QTest::newRow("course, keep files") << 0 << "buttonKeep" << QList<uint>{11, 12, 13, 14} << QList<uint>{};
    QTest::newRow("course, delete files") << 0 << "buttonTrash" << QList<uint>{11, 12, 13, 14}
                                          << QList<uint>{11, 12};
}

void TestDetail::removal()
{
    QFETCH(int, rowIndex);
    QFETCH(QString, button);
    QFETCH(QList<uint>, hidden);
    QFETCH(QList<uint>, deleted);
    // 13's file is missing from the disk; 14 was never downloaded.
    load({{1, "Cours", d(1), {s_soft}, {{11, 1, "*"}, {12, 2, "*"}, {13, 3, "/gone/13.qoz"}, {14, 4}}}});
    auto page = makePage();
    QCOMPARE(page->items().size(), 3);
    QSignalSpy updated(manager(), &KvoPurchaseVideoManager::databaseUpdated);

    QString question;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("deleteDialog"), [&](KvoDialog* dialog) {
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("label_2")))
            question = label->text();
        clickIn(dialog, button.toLatin1().constData());
    });
    page->rows().at(rowIndex)->deleteButton()->click();
    QVERIFY2(driver.done(), driver.report());
    QCOMPARE(question, QStringLiteral("Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?"));

    const KvoPurchase course = manager()->purchases().value(1);
    const KvoLibraryMerge::Stored stored = KvoLibraryStore(s_user).localState();
    for (uint id : {11u, 12u, 13u, 14u}) {
        QCOMPARE(course.files.value(int(id)).hidden, hidden.contains(id));
        QVERIFY(stored.videos.contains(id));
        QCOMPARE(stored.videos.value(id).hidden, hidden.contains(id));
    }
    for (uint id : {11u, 12u})
        QCOMPARE(QFile::exists(realPath(id)), !deleted.contains(id));
    QCOMPARE(updated.count(), hidden.size());
    QCOMPARE(page->items().size(), 3 - int(std::count_if(hidden.cbegin(), hidden.cend(),
                                                          [](uint id) { return id <= 13; })));
    QCOMPARE(page->rows().size(), page->items().isEmpty() ? 0 : int(page->items().size()) + 1);
}

void TestDetail::removalLeavesNoEmptyCourseFolder()
{
    // Course 1 in the folder the client names for it; course 2 in a folder
    // of the user's; course 3's folder holds a file of the user's too.
    const QString videos = m_dir->filePath(QStringLiteral("videos"));
    const QString ownFolder = videos + QStringLiteral("/1 - Cours  niveau 1");
    const QString userFolder = videos + QStringLiteral("/mes vidéos");
    const QString sharedFolder = videos + QStringLiteral("/3 - Trois");
    const QString own11 = ownFolder + QStringLiteral("/11 - Vidéo 11.qoz");
    const QString own12 = ownFolder + QStringLiteral("/12 - Vidéo 12.qoz");
    const QString user21 = userFolder + QStringLiteral("/21.qoz");
    const QString shared31 = sharedFolder + QStringLiteral("/31 - Vidéo 31.qoz");
    const QString note = sharedFolder + QStringLiteral("/notes.txt");
    // Course 4's folder is held by a download of its other video that has
    // found the folder and not yet opened its file; course 5's folder, named
    // as the client names it, lies outside the video folder.
    const QString heldFolder = videos + QStringLiteral("/4 - Quatre");
    const QString held41 = heldFolder + QStringLiteral("/41 - Vidéo 41.qoz");
    const QString outsideFolder = m_dir->filePath(QStringLiteral("ailleurs/5 - Cinq"));
    const QString outside51 = outsideFolder + QStringLiteral("/51 - Vidéo 51.qoz");
    for (const QString& path : {own11, own12, user21, shared31, note, held41, outside51}) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    load({{1, "Cours : niveau 1", d(3), {s_soft}, {{11, 1, own11}, {12, 2, own12}}},
          {2, "Autre", d(2), {s_soft}, {{21, 1, user21}}},
          {3, "Trois", d(1), {s_soft}, {{31, 1, shared31}}},
          {4, "Quatre", d(4), {s_soft}, {{41, 1, held41}, {42, 2, QString()}}},
          {5, "Cinq", d(5), {s_soft}, {{51, 1, outside51}}}});
    QVERIFY(KvoTestLibrary::addConfiguration(s_user));
    KvoEnvironment::setVideoPath(videos);
    QCOMPARE(QDir::fromNativeSeparators(KvoEnvironment::videoPath()), videos);
    auto page = makePage();
    const auto remove = [&page](uint purchaseId, uint fileId) {
        KvoDialogDriver driver;
        driver.expect<KvoDialog>(QStringLiteral("deleteDialog"),
                                 [](KvoDialog* dialog) { clickIn(dialog, "buttonTrash"); });
        for (KvoDetailSoftwareItem* row : page->rows()) {
            if (row->purchaseId() == purchaseId && row->videoId() == fileId
                && row->type() == KvoDetailSoftwareItem::Video) {
                row->deleteButton()->click();
                return driver.done();
            }
        }
        return false;
    };

    // The folder still holds the course's other video.
    QVERIFY(remove(1, 11));
    QVERIFY(!QFile::exists(own11));
    QVERIFY(QFileInfo(ownFolder).isDir());
    QVERIFY(remove(1, 12));
    QVERIFY(!QFile::exists(own12));
    QVERIFY(!QFileInfo::exists(ownFolder));

    QVERIFY(remove(2, 21));
    QVERIFY(!QFile::exists(user21));
    QVERIFY(QFileInfo(userFolder).isDir());
    QVERIFY(remove(3, 31));
    QVERIFY(!QFile::exists(shared31));
    QVERIFY(QFile::exists(note));

    // The download keeps its folder; it goes when the download lets it go
    // empty.
    const auto hold = KvoCourseFolders::makeAndHold(heldFolder);
    QVERIFY(hold.isHeld());
    QVERIFY(remove(4, 41));
    QVERIFY(!QFile::exists(held41));
    QVERIFY(QFileInfo(heldFolder).isDir());
    KvoCourseFolders::release(hold, videos);
    QVERIFY(!QFileInfo::exists(heldFolder));

    QVERIFY(remove(5, 51));
    QVERIFY(!QFile::exists(outside51));
    QVERIFY(QFileInfo(outsideFolder).isDir());
}

void TestDetail::rowRebuiltDuringItsDialog()
{
    load({{1, "Cours", d(1), {s_soft}, {{11, 1, "*"}, {12, 2, "*"}}}, {2, "Autre", d(2), {s_soft}, {{21, 1, "*"}}}});
    auto page = makePage();
    // Mode 1: "Autre" (21) first, then "Cours" (11, 12). Remove video 12.
    QPointer<KvoDetailSoftwareItem> row = page->rows().last();
    QCOMPARE(row->videoId(), 12u);
    bool rowGoneDuringDialog = false;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("deleteDialog"), [&](KvoDialog* dialog) {
        // While the question is open the library changes (a synchronisation,
        // the folder search): the page rebuilds its rows and the clicked
        // row is destroyed before the user answers.
        manager()->setVideoHidden(2, 21, true);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rowGoneDuringDialog = row.isNull();
        clickIn(dialog, "buttonKeep");
    });
    row->deleteButton()->click();
    QVERIFY2(driver.done(), driver.report());
    QVERIFY(rowGoneDuringDialog);
    QVERIFY(row.isNull());
    QVERIFY(manager()->purchases().value(1).files.value(12).hidden);
    QVERIFY(!manager()->purchases().value(1).files.value(11).hidden);
    QCOMPARE(describe(page->items()), QStringLiteral("1:11"));
}

void TestDetail::attach_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the same video") << "valid" << true;
    QTest::newRow("another video's file") << "foreign" << false;
    QTest::newRow("the video under another course") << "otherCourse" << false;
    QTest::newRow("damaged trailer") << "damaged" << false;
    QTest::newRow("plain file") << "plain" << false;
}

void TestDetail::attach()
{
    QFETCH(QString, kind);
    QFETCH(bool, accepted);
    const QString lost = m_dir->filePath(QStringLiteral("lost/12.qoz"));
    load({{1, "Cours", d(1), {s_soft}, {{11, 1, "*"}, {12, 2, lost}}}});
    auto page = makePage();
    KvoDetailSoftwareItem* row = page->rows().last();
    QCOMPARE(row->videoId(), 12u);
    QVERIFY(!row->isPresent());

    const QString chosen = m_dir->filePath(QStringLiteral("elsewhere.qoz"));
    {
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'm'));
        file.close();
        if (kind == QLatin1String("valid"))
            QVERIFY(KvoQozFile::appendTrailer(chosen, 1, 12));
        else if (kind == QLatin1String("foreign"))
            QVERIFY(KvoQozFile::appendTrailer(chosen, 1, 11));
        else if (kind == QLatin1String("otherCourse"))
            QVERIFY(KvoQozFile::appendTrailer(chosen, 2, 12));
        else if (kind == QLatin1String("damaged")) {
            QVERIFY(KvoQozFile::appendTrailer(chosen, 1, 12));
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(file.size() - 12); // inside the ids
            file.write("\x7f");
            file.close();
        }
    }

    QString caption, filter, startFolder;
    QWidget* dialogParent = page.get();
    page->setFileChooser([&](QWidget* parent, const QString& title, const QString& folder, const QString& filters) {
        dialogParent = parent;
        caption = title;
        startFolder = folder;
        filter = filters;
        return chosen;
    });
    QString errorTitle;
    KvoDialogDriver driver;
    if (!accepted) {
        driver.expect<KvoDialog>(QStringLiteral("parcourirErrorDialog"), [&](KvoDialog* dialog) {
            if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("label_3")))
                errorTitle = label->text();
            dialog->exitButton()->click();
        });
    }
    row->parcourirButton()->click();
    QVERIFY2(driver.done(), driver.report());
    QCOMPARE(caption, QStringLiteral("Ouvrir une vidéo"));
    QVERIFY(dialogParent != page.get()); // never under the page's style sheet
    QCOMPARE(startFolder, KvoEnvironment::nearestExistingFolder(KvoEnvironment::videoPath()));
    QVERIFY2(filter.contains(QStringLiteral("Vidéo Qozmira (*.qoz)")), qPrintable(filter));

    const QString stored = manager()->purchases().value(1).files.value(12).KvoPath;
    if (accepted) {
        QCOMPARE(stored, chosen);
        QVERIFY(page->rows().last()->isPresent());
    } else {
        QCOMPARE(errorTitle, QStringLiteral("ERREUR DE SÉLECTION"));
        QCOMPARE(stored, lost);
        QVERIFY(!page->rows().last()->isPresent());
    }
}

void TestDetail::subscription()
{
    load(modeLibrary());
    auto page = makePage();
    QPushButton* abo = page->findChild<QPushButton*>(QStringLiteral("buttonAbo"));
    QCOMPARE(abo->text(), QStringLiteral(" S'abonner"));
    abo->click();
    QCOMPARE(abo->text(), QStringLiteral(" Désabonner"));
    QVERIFY(manager()->softwares().value(int(s_soft)).suscribed);
    abo->click();
    QCOMPARE(abo->text(), QStringLiteral(" S'abonner"));
    QVERIFY(!manager()->softwares().value(int(s_soft)).suscribed);

    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT id_user, url, data FROM to_send ORDER BY id"));
    QVERIFY(q.exec());
    QStringList data;
    while (q.next()) {
        QCOMPARE(q.value(0).toString(), s_user);
        const QUrl url(q.value(1).toString());
        QCOMPARE(url.path(), QStringLiteral("/0.1/playersoftEmailSub/"));
        QCOMPARE(url.query(), QStringLiteral("apikey=%1&output=json&locale=%2")
                                  .arg(KvoApi::apiKey(), KvoEnvironment::locale()));
        data.append(q.value(2).toString());
    }
    QCOMPARE(data, (QStringList{R"({"soft_id":7,"sub":1})", R"({"soft_id":7,"sub":0})"}));
    q.prepare(QStringLiteral("SELECT suscribed FROM user_software WHERE id_software = ?"));
    q.addBindValue(s_soft);
    QVERIFY(q.exec() && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void TestDetail::collectDownloadedVideos()
{
    // Mode 1 order: course 2 (day 2) first, then course 1; 13's file is gone.
    load({{1, "Un", d(1), {s_soft}, {{12, 2, "*"}, {11, 1, "*"}, {13, 3, "/gone/13.qoz"}}},
          {2, "Deux", d(2), {s_soft}, {{21, 1, "*"}}}});
    auto page = makePage();
    QCOMPARE(describe(page->items()), QStringLiteral("2:21 1:11,12,13"));
    // Hidden behind the page's back (another thread, no refresh yet).
    manager()->blockSignals(true);
    manager()->setVideoHidden(1, 12, true);
    manager()->blockSignals(false);

    QList<QVariant> purchases, files;
    page->collectDownloadedVideos(purchases, files);
    QCOMPARE(purchases.size(), files.size());
    QCOMPARE(files, (QList<QVariant>{21u, 11u}));
    QCOMPARE(purchases, (QList<QVariant>{2u, 1u}));
    QCOMPARE(files.first().metaType().id(), int(QMetaType::UInt));
}

// The page scrolls with the dark bar of the other pages.
void TestDetail::darkScrollBar()
{
    QList<V> files;
    for (int i = 1; i <= 15; ++i)
        files.append({uint(100 + i), uint(i), QStringLiteral("/v/%1.qoz").arg(i)});
    load({{1, "Cours", d(1), {s_soft}, files}});
    auto page = makePage();
    page->resize(800, 300);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    QScrollBar* bar = page->findChild<QScrollArea*>(QStringLiteral("scrollArea"))->verticalScrollBar();
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(bar->width(), 14);
    bar->setValue(bar->minimum());
    // Below the handle, above the lower arrow: the dark trough.
    const QImage image = bar->grab().toImage();
    QCOMPARE(QColor(image.pixel(7, image.height() - 20)), QColor(0x18, 0x1a, 0x21));
}

void TestDetail::playAndLinks()
{
    load({{1, "Un", d(1), {s_soft}, {{11, 1, "*"}}, "https://example.org/support.zip"}});
    auto page = makePage();
    QSignalSpy change(page.get(), qOverload<const QString&, bool>(&KvoPageDetailSoftware::onChangePage));
    QSignalSpy toPlayer(page.get(), &KvoPageDetailSoftware::onChangePageRequest);
    page->rows().last()->titleButton()->click();
    QCOMPARE(toPlayer.count(), 1);
    const auto request = toPlayer.first().at(0).value<KvoPageRequest>();
    QCOMPARE(request.key, QStringLiteral("player"));
    QVERIFY(request.addToHistory);
    QCOMPARE(request.selectedIdVideo, 11u);
    QCOMPARE(request.idSoftware, s_soft);
    QCOMPARE(request.parentArianne.data(), static_cast<QWidget*>(page.get()));

    page->findChild<QPushButton*>(QStringLiteral("buttonSupport"))->click();
    QCOMPARE(change.last().at(0).toString(), QStringLiteral("support"));

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "handle");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "handle");
    page->findChild<QPushButton*>(QStringLiteral("buttonVisiter"))->click();
    page->rows().first()->supportButton()->click();
    QCOMPARE(recorder.urls, (QList<QUrl>{QUrl("https://example.org/soft/7"), QUrl("https://example.org/support.zip")}));

    // A software address that is no web address is not opened.
    KvoPurchaseVideoManager::destroy();
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoPageDetailSoftware other;
    load({}, QStringLiteral("file:///etc/passwd"));
    other.setSoftwareId(s_soft);
    other.findChild<QPushButton*>(QStringLiteral("buttonVisiter"))->click();
    QCOMPARE(recorder.urls.size(), 2);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

// Pictures of the page for a person to look at (see KvoScreenshots).
void TestDetail::screenshots()
{
    if (!KvoScreenshots::enabled())
        QSKIP(KvoScreenshots::OffReason);
    auto chapter = [](uint id, uint order, uint seen, uint n, const char* t) {
        return V{id, order, "*", seen, false, n, QString::fromUtf8(t)};
    };
    load({{1, "Retouche portrait : les bases", d(10), {s_soft},
           {chapter(101, 1, 100, 1, "Préparer l'image"), chapter(102, 2, 100, 1, "Préparer l'image"),
            chapter(103, 3, 45, 2, "Peau et lumière"), chapter(104, 4, 0, 2, "Peau et lumière"),
            {105, 5, m_dir->filePath(QStringLiteral("perdu.qoz")), 0, false, 2, "Peau et lumière"}},
           "https://example.org/support.zip"},
          {2, "Calques et masques", d(8), {s_soft}, {{201, 1, "*", 100}, {202, 2, "*", 100}, {203, 3, "*", 100}}},
          {3, "Détourage rapide", d(5), {s_soft}, {{301, 1, "*", 20}}},
          {4, "Effets de texte", d(3), {s_soft}, {{401, 1, "*", 0}, {402, 2, "*", 0}, {403, 3}}}});
    QWidget window;
    window.setStyleSheet(QStringLiteral("background-color:#1b1c22;"));
    window.resize(1280, 800);
    auto* page = new KvoPageDetailSoftware(&window);
    page->setGeometry(0, 0, 1280, 800);
    page->setSoftwareId(s_soft);
    page->onShow();
    window.show();
    QCoreApplication::processEvents();
    QVERIFY(KvoScreenshots::save(&window, QStringLiteral("detail")));
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("deleteDialog"), [&](KvoDialog* dialog) {
        KvoScreenshots::save(dialog, QStringLiteral("detail-removal"));
        clickIn(dialog, "buttonCancel");
    });
    page->rows().first()->deleteButton()->click();
    QVERIFY2(driver.done(), driver.report());
}

QTEST_MAIN(TestDetail)
#include "tst_detail.moc"
