#include "IKvoPage.h"
#include "KvoBreadcrumb.h"
#include "KvoNavigationHistory.h"
#include "KvoPageRegistry.h"
#include "KvoVornLink.h"

#include <QTest>
#include <QUrl>

// The page switching logic of the main window, without a window.

namespace {

// A page that is no widget: a key, a title and the page above it.
class FakePage : public IKvoPage
{
public:
    FakePage(const QString& key, const QString& title, const FakePage* above = nullptr)
        : key(key)
        , heading(title)
        , above(above)
    {
    }
    QString title() const override { return heading; }
    QString name() const override { return key; }
    QWidget* parentPage() const override { return nullptr; }
    void onShow() override {}

    QString key;
    QString heading;
    const FakePage* above;
};

const IKvoPage* parentOf(const IKvoPage* page)
{
    return static_cast<const FakePage*>(page)->above;
}

QStringList keysOf(const QVector<KvoBreadcrumb::Level>& trail)
{
    QStringList keys;
    for (const KvoBreadcrumb::Level& level : trail)
        keys << level.key;
    return keys;
}

KvoPageRegistry::Creator nothing()
{
    return [](KvoMainWindow*, const QString&) -> QWidget* { return nullptr; };
}

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private slots:
    void history();
    void breadcrumb();
    void vornLinks_data();
    void vornLinks();
    void registry();
};

void TestNavigation::history()
{
    KvoNavigationHistory history;
    QVERIFY(!history.canGoBack());
    QVERIFY(!history.canGoForward());
    QVERIFY(history.back().isEmpty());
    QCOMPARE(history.position(), -1);

    history.reset(QStringLiteral("accueil"));
    history.record(QStringLiteral("news"));
    history.record(QStringLiteral("news")); // the same page twice is one entry
    history.record(QStringLiteral("promo"));
    QCOMPARE(history.keys(), (QVector<QString>{"accueil", "news", "promo"}));
    QCOMPARE(history.position(), 2);
    QVERIFY(history.canGoBack());
    QVERIFY(!history.canGoForward());

    // Back twice, then a new page: nothing ahead is dropped.
    QCOMPARE(history.back(), QStringLiteral("news"));
    QCOMPARE(history.back(), QStringLiteral("accueil"));
    QVERIFY(!history.canGoBack());
    QVERIFY(history.back().isEmpty());
    QCOMPARE(history.position(), 0);
    QVERIFY(history.canGoForward());
    history.record(QStringLiteral("top"));
    QCOMPARE(history.keys(), (QVector<QString>{"accueil", "news", "promo", "top"}));
    QCOMPARE(history.position(), 3);
    QCOMPARE(history.back(), QStringLiteral("promo"));
    QCOMPARE(history.forward(), QStringLiteral("top"));
    QVERIFY(history.forward().isEmpty());
    QCOMPARE(history.position(), 3);

    history.reset(QStringLiteral("accueil"));
    QCOMPARE(history.keys(), QVector<QString>{"accueil"});
    QCOMPARE(history.position(), 0);
}

void TestNavigation::breadcrumb()
{
    const FakePage softwares(QStringLiteral("softwares"), QStringLiteral("Mes vidéos"));
    const FakePage detail(QStringLiteral("detail_software_7"), QStringLiteral("Logiciel"), &softwares);
    const FakePage player(QStringLiteral("player"), QStringLiteral("Vidéo"), &detail);
    const FakePage deeper(QStringLiteral("deeper"), QStringLiteral("Plus bas"), &player);

    QVERIFY(KvoBreadcrumb::trail(nullptr, parentOf).isEmpty());
    QCOMPARE(keysOf(KvoBreadcrumb::trail(&softwares, parentOf)), QStringList{"softwares"});
    const QVector<KvoBreadcrumb::Level> three = KvoBreadcrumb::trail(&player, parentOf);
    QCOMPARE(keysOf(three), (QStringList{"softwares", "detail_software_7", "player"}));
    QCOMPARE(three.first().title, QStringLiteral("Mes vidéos"));
    // Never more than three levels: the outermost drop out.
    QCOMPARE(keysOf(KvoBreadcrumb::trail(&deeper, parentOf)), (QStringList{"detail_software_7", "player", "deeper"}));
    // A page that names itself as its parent does not loop.
    FakePage loop(QStringLiteral("loop"), QStringLiteral("Boucle"));
    loop.above = &loop;
    QCOMPARE(KvoBreadcrumb::trail(&loop, parentOf).size(), KvoBreadcrumb::MaxLevels);
    // Without a way up, the page alone.
    QCOMPARE(keysOf(KvoBreadcrumb::trail(&player, KvoBreadcrumb::ParentOf())), QStringList{"player"});
}

void TestNavigation::vornLinks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("download");
    QTest::addColumn<uint>("purchase");
    QTest::newRow("download") << "vorn:download:1234" << true << true << 1234u;
    QTest::newRow("padded") << "  vorn:download:77\n" << true << true << 77u;
    QTest::newRow("more pairs") << "vorn:from:mail:download:5" << true << true << 5u;
    QTest::newRow("not a number") << "vorn:download:abc" << true << true << 0u;
    QTest::newRow("negative") << "vorn:download:-3" << true << true << 0u;
    QTest::newRow("key without value") << "vorn:download" << true << true << 0u;
    QTest::newRow("other key") << "vorn:open:12" << true << false << 0u;
    QTest::newRow("value, not key") << "vorn:open:download" << true << false << 0u;
    QTest::newRow("empty value") << "vorn:open::download:9" << true << true << 9u;
    QTest::newRow("empty") << "vorn:" << true << false << 0u;
    QTest::newRow("web address") << "https://example.org/download:1" << false << false << 0u;
    QTest::newRow("other scheme") << "vornx:download:1" << false << false << 0u;
}

void TestNavigation::vornLinks()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(bool, download);
    QFETCH(uint, purchase);
    const KvoVornLink link = KvoVornLink::parse(text);
    QCOMPARE(link.isValid(), valid);
    QCOMPARE(link.hasDownload(), download);
    QCOMPARE(link.downloadPurchaseId(), purchase);
    // The same through the address the single-instance channel hands over.
    QCOMPARE(KvoVornLink::parse(QUrl(text.trimmed())).downloadPurchaseId(), purchase);
}

void TestNavigation::registry()
{
    KvoPageRegistry::clear();
    KvoPageRegistry::Page news;
    news.key = QStringLiteral("news");
    news.menuButton = QStringLiteral("buttonNouveautes");
    news.creator = nothing();
    KvoPageRegistry::add(news);
    KvoPageRegistry::Page search;
    search.key = QStringLiteral("search");
    search.menuButton = QStringLiteral("buttonAccueil");
    search.menu = KvoPageRegistry::Menu::Highlights;
    search.creator = nothing();
    KvoPageRegistry::add(search);
    KvoPageRegistry::Page detail;
    detail.key = QStringLiteral("detail_software_");
    detail.isPattern = true;
    detail.menuButton = QStringLiteral("buttonVideos");
    detail.creator = nothing(); // a pattern never opens from the menu
    KvoPageRegistry::add(detail);
    KvoPageRegistry::Page player;
    player.key = QStringLiteral("player");
    player.buildAtStart = true;
    player.creator = nothing();
    KvoPageRegistry::add(player);
    KvoPageRegistry::Page downloads = player;
    downloads.key = QStringLiteral("downloads");
    downloads.menuButton = QStringLiteral("buttonTelecharger");
    KvoPageRegistry::add(downloads);
    // No creator, no page.
    KvoPageRegistry::Page empty;
    empty.key = QStringLiteral("promo");
    KvoPageRegistry::add(empty);

    QVERIFY(KvoPageRegistry::find(QStringLiteral("news")));
    QVERIFY(KvoPageRegistry::find(QStringLiteral("detail_software_12")));
    QVERIFY(!KvoPageRegistry::find(QStringLiteral("promo")));
    QVERIFY(!KvoPageRegistry::find(QString()));
    QCOMPARE(KvoPageRegistry::menuButtonFor(QStringLiteral("detail_software_12")), QStringLiteral("buttonVideos"));
    QCOMPARE(KvoPageRegistry::menuButtonFor(QStringLiteral("search")), QStringLiteral("buttonAccueil"));
    QVERIFY(KvoPageRegistry::menuButtonFor(QStringLiteral("nowhere")).isEmpty());
    QCOMPARE(KvoPageRegistry::keyForMenuButton(QStringLiteral("buttonNouveautes")), QStringLiteral("news"));
    // Entries that only highlight open nothing.
    QVERIFY(KvoPageRegistry::keyForMenuButton(QStringLiteral("buttonAccueil")).isEmpty());
    QVERIFY(KvoPageRegistry::keyForMenuButton(QStringLiteral("buttonVideos")).isEmpty());
    QVERIFY(KvoPageRegistry::keyForMenuButton(QString()).isEmpty());
    QCOMPARE(KvoPageRegistry::keysBuiltAtStart(), (QStringList{"player", "downloads"}));

    // An exact key wins over a pattern; a new registration replaces the old.
    KvoPageRegistry::Page exact = news;
    exact.key = QStringLiteral("detail_software_0");
    exact.menuButton = QStringLiteral("buttonTop");
    KvoPageRegistry::add(exact);
    QCOMPARE(KvoPageRegistry::menuButtonFor(QStringLiteral("detail_software_0")), QStringLiteral("buttonTop"));
    news.menuButton = QStringLiteral("buttonPromo");
    KvoPageRegistry::add(news);
    QCOMPARE(KvoPageRegistry::keyForMenuButton(QStringLiteral("buttonPromo")), QStringLiteral("news"));
    QVERIFY(KvoPageRegistry::keyForMenuButton(QStringLiteral("buttonNouveautes")).isEmpty());
    KvoPageRegistry::remove(QStringLiteral("detail_software_"));
    QVERIFY(!KvoPageRegistry::find(QStringLiteral("detail_software_12")));
    KvoPageRegistry::clear();
    QVERIFY(!KvoPageRegistry::find(QStringLiteral("news")));
}

QTEST_GUILESS_MAIN(TestNavigation)
#include "tst_navigation.moc"
