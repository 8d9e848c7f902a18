#include "KvoAuthor.h"
#include "KvoLibraryMerge.h"
#include "KvoPurchase.h"
#include "KvoSoftware.h"
#include "KvoVideoFile.h"

#include <QJsonDocument>
#include <QMetaType>
#include <QObject>
#include <QSignalSpy>
#include <QSqlField>
#include <QSqlRecord>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace {

QVariantMap json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).toVariant().toMap();
}

KvoVideoFile video(uint id, uint order, const QString& path = QString(), bool hidden = false)
{
    KvoVideoFile f;
    f.fileId = id;
    f.order = order;
    f.title = QStringLiteral("V%1").arg(id);
    f.KvoPath = path;
    f.hidden = hidden;
    return f;
}

QSqlRecord record(const QList<QPair<QString, QVariant>>& columns)
{
    QSqlRecord r;
    for (const auto& c : columns) {
        QSqlField field(c.first, c.second.metaType());
        field.setValue(c.second);
        r.append(field);
    }
    return r;
}

} // namespace

// Emits a course from whatever thread it lives on, under the signal name the
// rest of the client uses.
class KvoVornEmitter : public QObject
{
    Q_OBJECT
signals:
    void carried(const KvoVorn& course);
};

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void purchaseFromFullMap();
    void purchasePrice_data();
    void purchasePrice();
    void priceAtAMoment_data();
    void priceAtAMoment();
    void purchaseLenientValues_data();
    void purchaseLenientValues();
    void purchaseWithoutKeys();
    void purchaseFiles();
    void recordsFromJson();
    void recordsFromSql();
    void idListString_data();
    void idListString();
    void diskAndHiddenFlags_data();
    void diskAndHiddenFlags();
    void withSingleVideo();
    void ordering();
    void vornMetaTypeInQueuedConnection();
    void mergeCarriesLocalState();
};

void TestRecords::purchaseFromFullMap()
{
    const KvoPurchase p = KvoPurchase::createFromJson(json(R"({
        "id": 12, "title": "Maîtriser les calques", "softwares": "Gimp, Krita",
        "software_ids": [3, 4], "author_ids": [7], "price": 9, "reduced_price": 6,
        "previous_price": 9, "rating": 4, "sales": 120, "thumbnail": "http://t/1.png",
        "url": "http://s/c/12", "end_ts": 1700000500, "preview_uri": "http://p/12.mp4",
        "width": 640, "height": 360, "purchase_date": 1600000000,
        "attachment_url": "http://a/12.zip", "description": "Des calques.",
        "files": [{"id": 101, "title": "Intro", "duration": 65, "order": 1, "n_chapter": 1,
                   "t_chapter": "Bases", "expiry_ts": 1800000000, "thumbnail": "http://t/101.png",
                   "width": 1280, "height": 720}]})"));
    QCOMPARE(p.id, 12u);
    QCOMPARE(p.title, QStringLiteral("Maîtriser les calques"));
    QCOMPARE(p.courseTitle, p.title);
    QCOMPARE(p.softwares, QStringLiteral("Gimp, Krita"));
    QCOMPARE(p.softwareIDs, (QList<uint>{3, 4}));
    QCOMPARE(p.authorIDs, (QList<uint>{7}));
    QCOMPARE(p.price, 6u);
    QCOMPARE(p.previousPrice, 9u);
    QCOMPARE(p.rating, 4u);
    QCOMPARE(p.sales, 120u);
    QCOMPARE(p.end_ts, 1700000500u);
    QCOMPARE(p.preview_uri, QStringLiteral("http://p/12.mp4"));
    QCOMPARE(p.width, 640);
    QCOMPARE(p.height, 360);
    QCOMPARE(p.purchaseDate.toSecsSinceEpoch(), qint64(1600000000));
    QCOMPARE(p.attachmentURL, QStringLiteral("http://a/12.zip"));
    QCOMPARE(p.description, QStringLiteral("Des calques."));
    QVERIFY(!p.commented);
    QCOMPARE(p.files.size(), 1);
    const KvoVideoFile f = p.files.value(101);
    QCOMPARE(f.fileId, 101u);
    QCOMPARE(f.purchaseId, 12u);
    QCOMPARE(f.title, QStringLiteral("Intro"));
    QCOMPARE(f.duration, 65u);
    QCOMPARE(f.order, 1u);
    QCOMPARE(f.n_chapter, 1u);
    QCOMPARE(f.t_chapter, QStringLiteral("Bases"));
    QCOMPARE(f.expiry, 1800000000u);
    QCOMPARE(f.width, 1280);
    QVERIFY(f.KvoPath.isEmpty());
    QCOMPARE(f.alreadySeen, 0u);
    QVERIFY(!f.hidden);
}

void TestRecords::purchasePrice_data()
{
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<uint>("price");
    QTest::newRow("price only") << QByteArray(R"({"price": 9})") << 9u;
    QTest::newRow("reduced wins") << QByteArray(R"({"price": 9, "reduced_price": 5})") << 5u;
    QTest::newRow("reduced 0 is none") << QByteArray(R"({"price": 9, "reduced_price": 0})") << 9u;
    QTest::newRow("reduced as text") << QByteArray(R"({"price": "9", "reduced_price": "4"})") << 4u;
    QTest::newRow("reduced negative") << QByteArray(R"({"price": 9, "reduced_price": -3})") << 9u;
    QTest::newRow("reduced garbage") << QByteArray(R"({"price": 9, "reduced_price": "gratuit"})") << 9u;
}

void TestRecords::purchasePrice()
{
    QFETCH(QByteArray, map);
    QFETCH(uint, price);
    QCOMPARE(KvoPurchase::createFromJson(json(map.constData())).price, price);
}

void TestRecords::priceAtAMoment_data()
{
    // A course of the lists: 3 credits, reduced to 1 until the end time.
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<uint>("price");
    QTest::addColumn<uint>("struck");
    const QByteArray promo = R"({"price": 3, "reduced_price": 1, "previous_price": 3, "end_ts": 2000000000})";
    QTest::newRow("running") << promo << qint64(1999999999) << 1u << 3u;
    QTest::newRow("ends this second") << promo << qint64(2000000000) << 3u << 0u;
    QTest::newRow("ended") << promo << qint64(2000086400) << 3u << 0u;
    QTest::newRow("no end time")
        << QByteArray(R"({"price": 3, "reduced_price": 1, "previous_price": 3})") << qint64(2100000000) << 1u << 3u;
    // Without the price before the promotion, the one sent stands.
    QTest::newRow("no earlier price")
        << QByteArray(R"({"price": 3, "reduced_price": 1, "end_ts": 2000000000})") << qint64(2000000001) << 1u << 0u;
    QTest::newRow("no promotion") << QByteArray(R"({"price": 4})") << qint64(2000000001) << 4u << 0u;
}

void TestRecords::priceAtAMoment()
{
    QFETCH(QByteArray, map);
    QFETCH(qint64, now);
    QFETCH(uint, price);
    QFETCH(uint, struck);
    const KvoPurchase course = KvoPurchase::createFromJson(json(map.constData()));
    QCOMPARE(course.priceAt(now), price);
    QCOMPARE(course.previousPriceAt(now), struck);
}

void TestRecords::purchaseLenientValues_data()
{
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<uint>("id");
    QTest::addColumn<uint>("sales");
    QTest::addColumn<QString>("title");
    QTest::newRow("numbers as text") << QByteArray(R"({"id": "12", "sales": " 30 ", "title": "T"})") << 12u << 30u
                                     << QStringLiteral("T");
    QTest::newRow("negative") << QByteArray(R"({"id": -4, "sales": -1, "title": "T"})") << 0u << 0u
                              << QStringLiteral("T");
    QTest::newRow("fraction") << QByteArray(R"({"id": 12.0, "sales": "7.9"})") << 12u << 7u << QString();
    QTest::newRow("lists and maps") << QByteArray(R"({"id": [1], "sales": {"n": 1}, "title": ["T"]})") << 0u << 0u
                                    << QString();
    QTest::newRow("null") << QByteArray(R"({"id": null, "sales": null, "title": null})") << 0u << 0u << QString();
    QTest::newRow("not numbers") << QByteArray(R"({"id": "abc", "sales": true})") << 0u << 1u << QString();
    QTest::newRow("too big") << QByteArray(R"({"id": 99999999999, "sales": 1e300})") << 0u << 0u << QString();
    QTest::newRow("number title") << QByteArray(R"({"id": 1, "title": 1984})") << 1u << 0u << QStringLiteral("1984");
}

void TestRecords::purchaseLenientValues()
{
    QFETCH(QByteArray, map);
    QFETCH(uint, id);
    QFETCH(uint, sales);
    QFETCH(QString, title);
    const KvoPurchase p = KvoPurchase::createFromJson(json(map.constData()));
    QCOMPARE(p.id, id);
    QCOMPARE(p.sales, sales);
    QCOMPARE(p.title, title);
    QCOMPARE(p.title.isNull(), title.isNull());
}

void TestRecords::purchaseWithoutKeys()
{
    const KvoPurchase p = KvoPurchase::createFromJson(QVariantMap());
    QCOMPARE(p.id, 0u);
    QVERIFY(p.title.isNull()); // "no title" stays distinguishable from ""
    QVERIFY(p.softwareIDs.isEmpty());
    QVERIFY(!p.purchaseDate.isValid());
    QVERIFY(p.files.isEmpty());
    QVERIFY(p.attachmentURL.isEmpty());

    const KvoPurchase empty = KvoPurchase::createFromJson(json(R"({"title": ""})"));
    QVERIFY(!empty.title.isNull());
    QVERIFY(empty.title.isEmpty());
}

void TestRecords::purchaseFiles()
{
    // Duplicate ids (later wins), entries that are no video map or have no
    // id, and id lists with garbage.
    const KvoPurchase p = KvoPurchase::createFromJson(json(R"({
        "id": 3, "software_ids": [5, "6", -1, "x", 0, 7.0], "author_ids": "8;9,10",
        "files": [{"id": 1, "title": "a"}, 17, "x", {"title": "no id"}, {"id": "2", "order": "4"},
                  {"id": 1, "title": "b"}]})"));
    QCOMPARE(p.softwareIDs, (QList<uint>{5, 6, 7}));
    QCOMPARE(p.authorIDs, (QList<uint>{8, 9, 10}));
    QCOMPARE(p.files.keys(), (QList<int>{1, 2}));
    QCOMPARE(p.files.value(1).title, QStringLiteral("b"));
    QCOMPARE(p.files.value(2).order, 4u);
    QCOMPARE(p.files.value(2).purchaseId, 3u);

    QVERIFY(KvoPurchase::createFromJson(json(R"({"id": 3, "files": "none"})")).files.isEmpty());
    QVERIFY(KvoPurchase::createFromJson(json(R"({"id": 3, "files": null})")).files.isEmpty());
}

void TestRecords::recordsFromJson()
{
    const KvoSoftware s = KvoSoftware::createFromJson(
        json(R"({"id": "3", "name": "Gimp", "thumbnail": "t", "url": "u", "suscribed": "true"})"));
    QCOMPARE(s.id, 3u);
    QCOMPARE(s.name, QStringLiteral("Gimp"));
    QVERIFY(s.suscribed);
    QVERIFY(!KvoSoftware::createFromJson(json(R"({"suscribed": "0"})")).suscribed);
    QVERIFY(KvoSoftware::createFromJson(json(R"({"suscribed": 1})")).suscribed);
    QVERIFY(!KvoSoftware::createFromJson(json(R"({"suscribed": [true]})")).suscribed);

    KvoSoftware other;
    other.id = 3;
    QVERIFY(s == other); // equality is identity

    const KvoAuthor a = KvoAuthor::createFromJson(json(
        R"({"id": 7, "pseudo": "Zoé", "avatar": "a", "bio": "b", "avatar_url": "au", "profile_url": "pu", "fan": true})"));
    QCOMPARE(a.id, 7u);
    QCOMPARE(a.pseudo, QStringLiteral("Zoé"));
    QCOMPARE(a.avatarURL, QStringLiteral("au"));
    QCOMPARE(a.profileURL, QStringLiteral("pu"));
    QVERIFY(a.fan);
    QCOMPARE(KvoAuthor::createFromJson(json(R"({"id": "x", "fan": "no"})")).id, 0u);

    // The service never sends local state; a stray key must not set it.
    const KvoVideoFile f = KvoVideoFile::createFromJson(
        json(R"({"id": 4, "KvoPath": "/tmp/x.qoz", "hidden": true, "alreadySeen": 50})"));
    QVERIFY(f.KvoPath.isEmpty());
    QVERIFY(!f.hidden);
    QCOMPARE(f.alreadySeen, 0u);
}

void TestRecords::recordsFromSql()
{
    const KvoPurchase p = KvoPurchase::createFromSql(record({
        {QStringLiteral("id"), qlonglong(12)},
        {QStringLiteral("title"), QVariant(QMetaType::fromType<QString>())}, // NULL
        {QStringLiteral("software_ids"), QStringLiteral("3;4")},
        {QStringLiteral("price"), qlonglong(6)},
        {QStringLiteral("purchase_date"), qlonglong(1600000000)},
        {QStringLiteral("commented"), qlonglong(1)},
        {QStringLiteral("files"), QStringLiteral("1;2")},
    }));
    QCOMPARE(p.id, 12u);
    QVERIFY(p.title.isNull());
    QVERIFY(p.courseTitle.isNull());
    QCOMPARE(p.softwareIDs, (QList<uint>{3, 4}));
    QCOMPARE(p.price, 6u);
    QCOMPARE(p.purchaseDate.toSecsSinceEpoch(), qint64(1600000000));
    QVERIFY(p.commented);
    QVERIFY(p.files.isEmpty()); // joined by the library, not by the record

    const KvoVideoFile f = KvoVideoFile::createFromSql(record({
        {QStringLiteral("fileid"), qlonglong(101)},
        {QStringLiteral("id_purchase"), qlonglong(12)},
        {QStringLiteral("ord"), qlonglong(3)},
        {QStringLiteral("KvoPath"), QStringLiteral("C:\\Videos\\a.qoz")},
        {QStringLiteral("hidden"), qlonglong(1)},
        {QStringLiteral("alreadyseen"), qlonglong(250)},
    }));
    QCOMPARE(f.fileId, 101u);
    QCOMPARE(f.purchaseId, 12u);
    QCOMPARE(f.order, 3u);
    QCOMPARE(f.KvoPath, QStringLiteral("C:/Videos/a.qoz"));
    QVERIFY(f.hidden);
    QCOMPARE(f.alreadySeen, 100u);

    const KvoSoftware s = KvoSoftware::createFromSql(record({
        {QStringLiteral("id"), qlonglong(3)}, {QStringLiteral("name"), QStringLiteral("Gimp")},
        {QStringLiteral("suscribed"), qlonglong(1)}}));
    QCOMPARE(s.id, 3u);
    QVERIFY(s.suscribed);
    const KvoAuthor a = KvoAuthor::createFromSql(record({
        {QStringLiteral("id"), qlonglong(7)}, {QStringLiteral("avatar_url"), QStringLiteral("au")}}));
    QCOMPARE(a.id, 7u);
    QCOMPARE(a.avatarURL, QStringLiteral("au"));
}

void TestRecords::idListString_data()
{
    QTest::addColumn<QList<uint>>("ids");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QList<uint>() << QString();
    QTest::newRow("one") << QList<uint>{812} << QStringLiteral("812");
    QTest::newRow("three") << QList<uint>{812, 813, 815} << QStringLiteral("812;813;815");
    QTest::newRow("list order kept") << QList<uint>{9, 2, 9} << QStringLiteral("9;2;9");
    QTest::newRow("large") << QList<uint>{4294967295u} << QStringLiteral("4294967295");
}

void TestRecords::idListString()
{
    QFETCH(QList<uint>, ids);
    QFETCH(QString, text);
    QCOMPARE(KvoPurchase::idListString(ids), text);
}

void TestRecords::diskAndHiddenFlags_data()
{
    QTest::addColumn<QList<KvoVideoFile>>("files");
    QTest::addColumn<bool>("noVideoOnDisk");
    QTest::addColumn<bool>("allHidden");
    QTest::newRow("no files") << QList<KvoVideoFile>() << true << true;
    QTest::newRow("none local, none hidden") << QList<KvoVideoFile>{video(1, 1), video(2, 2)} << true << false;
    QTest::newRow("one local") << QList<KvoVideoFile>{video(1, 1), video(2, 2, QStringLiteral("/v/2.qoz"))} << false
                               << false;
    QTest::newRow("one hidden") << QList<KvoVideoFile>{video(1, 1, QString(), true), video(2, 2)} << true << false;
    QTest::newRow("all hidden") << QList<KvoVideoFile>{video(1, 1, QString(), true), video(2, 2, QString(), true)}
                                << true << true;
}

void TestRecords::diskAndHiddenFlags()
{
    QFETCH(QList<KvoVideoFile>, files);
    QFETCH(bool, noVideoOnDisk);
    QFETCH(bool, allHidden);
    KvoPurchase p;
    for (const KvoVideoFile& f : files)
        p.files.insert(int(f.fileId), f);
    QCOMPARE(p.noVideoOnDisk(), noVideoOnDisk);
    QCOMPARE(p.allVideosHidden(), allHidden);
}

void TestRecords::withSingleVideo()
{
    KvoPurchase course = KvoPurchase::createFromJson(json(R"({"id": 5, "title": "Le cours"})"));
    course.files.insert(1, video(1, 1));
    course.files.insert(2, video(2, 2));
    const KvoPurchase single = KvoPurchase::withSingleVideo(course, course.files.value(2));
    QCOMPARE(single.id, 5u);
    QCOMPARE(single.title, QStringLiteral("V2"));
    QCOMPARE(single.courseTitle, QStringLiteral("Le cours"));
    QCOMPARE(single.files.keys(), QList<int>{2});
    QCOMPARE(course.files.size(), 2); // the source is untouched

    // A record filled by hand (the importer fills only id and title).
    KvoPurchase bare;
    bare.id = 9;
    bare.title = QStringLiteral("Ancien");
    QCOMPARE(KvoPurchase::withSingleVideo(bare, video(3, 1)).courseTitle, QStringLiteral("Ancien"));
}

void TestRecords::ordering()
{
    QList<KvoVideoFile> files{video(7, 3), video(4, 1), video(9, 2), video(5, 1)};
    std::sort(files.begin(), files.end());
    QList<uint> ids;
    for (const KvoVideoFile& f : files)
        ids.append(f.fileId);
    QCOMPARE(ids, (QList<uint>{4, 5, 9, 7}));

    KvoPurchase a, b;
    a.id = b.id = 3;
    a.title = QStringLiteral("x");
    QVERIFY(a == b);
    b.id = 4;
    QVERIFY(a != b);
}

void TestRecords::vornMetaTypeInQueuedConnection()
{
    KvoPurchase::registerMetaType();
    QCOMPARE(QMetaType::fromName("KvoVorn").id(), qMetaTypeId<KvoPurchase>());

    QThread thread;
    KvoVornEmitter emitter;
    emitter.moveToThread(&thread);
    thread.start();

    KvoPurchase received;
    QObject receiver;
    connect(&emitter, &KvoVornEmitter::carried, &receiver, [&](const KvoVorn& c) { received = c; });
    // The string form resolves the argument by the registered name.
    QSignalSpy spy(&emitter, SIGNAL(carried(KvoVorn)));
    QVERIFY(spy.isValid());

    KvoPurchase course = KvoPurchase::createFromJson(json(R"({"id": 42, "title": "Q"})"));
    course.files.insert(1, video(1, 1, QStringLiteral("/v/1.qoz")));
    QMetaObject::invokeMethod(&emitter, [&emitter, course] { emit emitter.carried(course); });
    QTRY_COMPARE_WITH_TIMEOUT(received.id, 42u, 5000);
    QCOMPARE(received.files.value(1).KvoPath, QStringLiteral("/v/1.qoz"));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(spy.at(0).at(0).value<KvoPurchase>().title, QStringLiteral("Q"));

    thread.quit();
    thread.wait();
}

void TestRecords::mergeCarriesLocalState()
{
    const auto course = [](uint id, const QList<uint>& files) {
        KvoPurchase p;
        p.id = id;
        for (uint f : files) {
            KvoVideoFile v;
            v.fileId = f;
            v.purchaseId = id;
            p.files.insert(int(f), v);
        }
        return p;
    };
    QMap<int, KvoPurchase> old{{1, course(1, {11, 12, 13})}};
    old[1].files[11].KvoPath = QStringLiteral("/mem/11.qoz");
    old[1].files[11].alreadySeen = 20;
    old[1].files[12].hidden = true;
    old[1].commented = true;
    KvoLibraryMerge::Stored stored;
    stored.videos.insert(11, {QStringLiteral("/db/11.qoz"), true, 60}); // older than memory, but further watched
    stored.videos.insert(12, {QStringLiteral("/db/12.qoz"), false, 0}); // memory has no path
    stored.videos.insert(21, {QStringLiteral("/db/21.qoz"), true, 90}); // out of the library until now
    stored.commented.insert(2);
    QHash<uint, KvoLibraryMerge::Found> found;
    found.insert(13, {1, QStringLiteral("/disk/13.qoz")});
    found.insert(22, {9, QStringLiteral("/disk/22.qoz")}); // its box names another course
    found.insert(11, {1, QStringLiteral("/disk/11.qoz")}); // a known path wins

    QMap<int, KvoPurchase> fresh{{1, course(1, {11, 12, 13})}, {2, course(2, {21, 22})}};
    QVERIFY(KvoLibraryMerge::hasUnknownPaths(fresh, old, stored));
    const KvoLibraryMerge::Result r = KvoLibraryMerge::merge(fresh, old, stored, found);
    const auto f1 = r.purchases.value(1).files, f2 = r.purchases.value(2).files;
    QVERIFY(r.purchases.value(1).commented);
    QVERIFY(r.purchases.value(2).commented);
    QCOMPARE(f1.value(11).KvoPath, QStringLiteral("/mem/11.qoz"));
    QVERIFY(!f1.value(11).hidden);
    QCOMPARE(f1.value(11).alreadySeen, 60u);
    QCOMPARE(f1.value(12).KvoPath, QStringLiteral("/db/12.qoz"));
    QVERIFY(f1.value(12).hidden);
    QCOMPARE(f1.value(13).KvoPath, QStringLiteral("/disk/13.qoz"));
    QCOMPARE(f2.value(21).KvoPath, QStringLiteral("/db/21.qoz"));
    QVERIFY(f2.value(21).hidden);
    QCOMPARE(f2.value(21).alreadySeen, 90u);
    QVERIFY(f2.value(22).KvoPath.isEmpty());
    QCOMPARE(r.foundPaths, (QHash<uint, QString>{{13, QStringLiteral("/disk/13.qoz")}}));
    // Video 22 is still unknown; without it nothing is left to look for.
    QVERIFY(KvoLibraryMerge::hasUnknownPaths(r.purchases, r.purchases, stored));
    QMap<int, KvoPurchase> known{{1, r.purchases.value(1)}};
    QVERIFY(!KvoLibraryMerge::hasUnknownPaths(known, r.purchases, stored));
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
