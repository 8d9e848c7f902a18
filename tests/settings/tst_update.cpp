// The update of the client: the version answer, the offer, the download of
// the package with its checks, the installation at exit, and the main
// window's two hooks (the check after the fade-in, the abort at close).

#include "KvoApi.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoFakeHttpServer.h"
#include "KvoFifoTrap.h"
#include "KvoMainWindow.h"
#include "KvoNotifier.h"
#include "KvoPageConfiguration.h"
#include "KvoPageRegistry.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSettingsFixture.h"
#include "KvoSettingsService.h"
#include "KvoTestSupport.h"
#include "KvoUpdateOffer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

QSettings settings()
{
    return QSettings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
}

void resetKeys()
{
    QSettings s(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    s.remove(QStringLiteral("hasToUpdate"));
    s.remove(QStringLiteral("updatePath"));
}

QString label(QWidget* page, const char* name)
{
    return page->findChild<QLabel*>(QLatin1String(name))->text();
}

QString status(QWidget* page)
{
    return label(page, "labelNewVersion");
}

QWidget* child(QWidget* page, const char* name)
{
    return page->findChild<QWidget*>(QLatin1String(name));
}

// One member of an ar archive: its 60-byte header, then the data, padded
// to an even length.
QByteArray arMember(const QByteArray& name, const QByteArray& data)
{
    QByteArray head = name.leftJustified(16, ' ') + QByteArray("0").leftJustified(12, ' ')
                      + QByteArray("0").leftJustified(6, ' ') + QByteArray("0").leftJustified(6, ' ')
                      + QByteArray("100644").leftJustified(8, ' ')
                      + QByteArray::number(data.size()).leftJustified(10, ' ') + "`\n";
    return head + data + (data.size() % 2 ? QByteArray("\n") : QByteArray());
}

QByteArray minimalDeb()
{
    return "!<arch>\n" + arMember("debian-binary", "2.0\n") + arMember("control.tar.xz", "x")
           + arMember("data.tar.xz", "y");
}

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void answerRules_data();
    void answerRules();
    void sizeAndPercent();

    void checkOutcomes_data();
    void checkOutcomes();
    void unreachable();
    void declineAndDownload();
    void downloadFailures_data();
    void downloadFailures();
    void downloadWithoutLength();
    void onlyADebianPackage_data();
    void onlyADebianPackage();
    void waitingInstall();
    void mainWindowHooks();

private:
    std::unique_ptr<KvoPageConfiguration> check(int answer);

    std::unique_ptr<KvoSettingsService> m_service;
    KvoTestServer* m_server = nullptr;
    QString m_package;
};

void TestUpdate::initTestCase()
{
    m_service = std::make_unique<KvoSettingsService>();
    QVERIFY(m_service->isReady());
    m_server = m_service->server();
    m_package = QDir(KvoEnvironment::tempPath()).filePath(QStringLiteral("update.deb"));
    // Notifications off: the update's notification would open a box.
    KvoNotifier::instance()->saveMask(0);
}

void TestUpdate::init()
{
    QVERIFY(m_server->clearFaults());
    resetKeys();
    QFile::remove(m_package);
    KvoSettingsFixture::shownDialogs().clear();
}

void TestUpdate::cleanup()
{
    KvoSettingsFixture::answerDialogs(KvoDialog::Cancel);
}

void TestUpdate::cleanupTestCase()
{
    m_service.reset();
    m_server = nullptr;
}

std::unique_ptr<KvoPageConfiguration> TestUpdate::check(int answer)
{
    KvoSettingsFixture::answerDialogs(answer);
    auto page = std::make_unique<KvoPageConfiguration>(nullptr);
    page->onClickUpdate();
    return page;
}

void TestUpdate::answerRules_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<bool>("newer");
    const QString tail = QStringLiteral("\"version\":\"2.1\",\"url\":\"http://h/p.deb\",\"date\":0,\"size\":10}");
    QTest::newRow("build 13") << QStringLiteral("{\"status\":\"OK\",\"num\":13,") + tail << true << true;
    QTest::newRow("build 12") << QStringLiteral("{\"status\":\"OK\",\"num\":12,") + tail << true << false;
    QTest::newRow("build as text") << QStringLiteral("{\"status\":\"OK\",\"num\":\"20\",") + tail << true << true;
    QTest::newRow("negative build") << QStringLiteral("{\"status\":\"OK\",\"num\":-20,") + tail << true << false;
    QTest::newRow("build not a number") << QStringLiteral("{\"status\":\"OK\",\"num\":\"x\",") + tail << true << false;
    QTest::newRow("status lower case") << QStringLiteral("{\"status\":\"ok\",\"num\":13,") + tail << false << false;
    QTest::newRow("no size") << QStringLiteral("{\"status\":\"OK\",\"num\":13,\"version\":\"2\",\"url\":\"http://h/p\",\"date\":0}")
                             << false << false;
    QTest::newRow("size zero") << QStringLiteral("{\"status\":\"OK\",\"num\":13,\"version\":\"2\",\"url\":\"http://h/p\",\"date\":0,\"size\":0}")
                               << true << false;
    QTest::newRow("empty url") << QStringLiteral("{\"status\":\"OK\",\"num\":13,\"version\":\"2\",\"url\":\"\",\"date\":0,\"size\":1}")
                               << true << false;
    QTest::newRow("not json") << QStringLiteral("<html>") << false << false;
    QTest::newRow("array") << QStringLiteral("[1,2]") << false << false;
}

void TestUpdate::answerRules()
{
    QFETCH(QString, body);
    QFETCH(bool, usable);
    QFETCH(bool, newer);
    const KvoUpdateOffer offer = KvoUpdateOffer::fromAnswer(body);
    QCOMPARE(offer.isUsable(), usable);
    QCOMPARE(offer.isNewer(), newer);
}

void TestUpdate::sizeAndPercent()
{
    KvoPageConfiguration page(nullptr);
    QString text;
    const QList<QPair<qint64, QString>> sizes = {
        {1024, QStringLiteral("1024 Octets")},       {1025, QStringLiteral("1 Ko")},
        {1024 * 1024, QStringLiteral("1024 Ko")},    {1025 * 1024, QStringLiteral("1 Mo")},
        {Q_INT64_C(5) << 40, QStringLiteral("5120 Go")}, {Q_INT64_C(5) << 50, QStringLiteral("5242880 Go")}, {-5, QStringLiteral("0 Octets")}};
    for (const auto& s : sizes) {
        QVERIFY(QMetaObject::invokeMethod(&page, "sizeToString", Q_RETURN_ARG(QString, text), Q_ARG(qint64, s.first)));
        QCOMPARE(text, s.second);
    }
    QCOMPARE(KvoUpdateOffer::percent(50, 0), -1);
    QCOMPARE(KvoUpdateOffer::percent(50, -1), -1);
    QCOMPARE(KvoUpdateOffer::percent(0, 0), -1);
    QCOMPARE(KvoUpdateOffer::percent(50, 200), 25);
    QCOMPARE(KvoUpdateOffer::percent(300, 200), 100);
    QCOMPARE(KvoUpdateOffer::percent(Q_INT64_C(1) << 62, (Q_INT64_C(1) << 62) + 1000), 99);
}

void TestUpdate::checkOutcomes_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const QString none = QStringLiteral("Aucune mise à jour disponible.");
    QTest::newRow("newer") << QString() << QString() << QStringLiteral("Une mise à jour est disponible !");
    QTest::newRow("edge build") << QStringLiteral("version") << QStringLiteral("edge")
                                << QStringLiteral("Une mise à jour est disponible !");
    QTest::newRow("older") << QStringLiteral("version") << QStringLiteral("old") << none;
    QTest::newRow("negative") << QStringLiteral("version") << QStringLiteral("negative") << none;
    QTest::newRow("no url") << QStringLiteral("version") << QStringLiteral("nourl") << none;
    QTest::newRow("no size") << QStringLiteral("version") << QStringLiteral("nosize") << none;
    QTest::newRow("404") << QStringLiteral("status") << QStringLiteral("404") << none;
    QTest::newRow("500") << QStringLiteral("status") << QStringLiteral("500") << none;
    QTest::newRow("not json") << QStringLiteral("nojson") << QStringLiteral("1") << none;
    QTest::newRow("cut answer") << QStringLiteral("truncate") << QStringLiteral("1") << none;
}

void TestUpdate::checkOutcomes()
{
    QFETCH(QString, fault);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    if (!fault.isEmpty())
        QVERIFY(m_server->setFault(fault, value));
    auto page = check(KvoDialog::Cancel);
    QVERIFY(page->isCheckingUpdate());
    QCOMPARE(status(page.get()), QStringLiteral("Recherche d'une mise à jour..."));
    QVERIFY(!child(page.get(), "buttonUpdate")->isEnabled());
    page->onClickUpdate(); // a second check while one runs is ignored
    QTRY_VERIFY(!page->isCheckingUpdate());
    QCOMPARE(status(page.get()), expected);
    QVERIFY(child(page.get(), "buttonUpdate")->isEnabled());
    const bool offered = expected != QStringLiteral("Aucune mise à jour disponible.");
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), offered ? 1 : 0);
    QVERIFY(!page->isDownloadingUpdate());
}

void TestUpdate::unreachable()
{
    // A service that cannot be reached: no HTTP answer at all. (A refusing
    // proxy ends the same way, but Qt never sends loopback traffic through
    // a proxy, so it cannot be staged here.)
    const QString offline = QStringLiteral("Vérification impossible : vous n'êtes pas connecté(e) à Internet.");
    const QString address = KvoApi::endpoint();
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    auto page = check(KvoDialog::Cancel);
    QTRY_VERIFY(!page->isCheckingUpdate());
    KvoApi::setEndpointForTesting(address);
    QCOMPARE(status(page.get()), offline);
    QVERIFY(child(page.get(), "buttonUpdate")->isEnabled());
    QVERIFY(KvoSettingsFixture::shownDialogs().isEmpty());
}

void TestUpdate::declineAndDownload()
{
    auto page = check(KvoDialog::Cancel);
    QTRY_VERIFY(!page->isCheckingUpdate());
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 1);
    const QStringList offer = KvoSettingsFixture::shownDialogs().first();
    QVERIFY(offer.contains(QStringLiteral("Une nouvelle version du Vistrelle est disponible !")));
    const qint64 size = QFileInfo(m_server->dataPath() + QStringLiteral("/update/vistrelle-2.1.0.deb")).size();
    QVERIFY(size > 1024);
    const QString date = QDateTime::fromSecsSinceEpoch(1793610000).toLocalTime().toString(QStringLiteral("dd/MM/yyyy"));
    QVERIFY2(offer.contains(QStringLiteral("Vistrelle 2.1.0 - %1 - %2 Ko").arg(date).arg(size / 1024)),
             qPrintable(offer.join(QLatin1Char('|'))));
    QVERIFY(!page->isDownloadingUpdate());
    QVERIFY(child(page.get(), "buttonUpdate")->isVisibleTo(page.get()));

    // Accepted: the page comes forward and the package arrives whole.
    KvoSettingsFixture::answerDialogs(KvoDialog::Yes);
    QSignalSpy pageRequests(page.get(), &KvoPageConfiguration::onChangePage);
    static_cast<QPushButton*>(child(page.get(), "buttonUpdate"))->click();
    QTRY_VERIFY(!page->isCheckingUpdate());
    QCOMPARE(pageRequests.size(), 1);
    QCOMPARE(pageRequests.first(), (QVariantList{QStringLiteral("config"), false}));
    QVERIFY(child(page.get(), "progressBar")->isVisibleTo(page.get()));
    QVERIFY(!child(page.get(), "buttonUpdate")->isVisibleTo(page.get()));
    QVERIFY(!child(page.get(), "labelVersion")->isVisibleTo(page.get()));
    QTRY_VERIFY(!page->isDownloadingUpdate());
    QCOMPARE(status(page.get()), QStringLiteral("Téléchargement terminé."));
    QCOMPARE(page->updateFilePath(), QDir::toNativeSeparators(m_package));
    QCOMPARE(QFileInfo(m_package).size(), size);
    QVERIFY(!QFile::exists(m_package + QStringLiteral(".new.part")));
    QVERIFY(!QFile::exists(m_package + QStringLiteral(".new")));
    QCOMPARE(page->findChild<QProgressBar*>(QStringLiteral("progressBar"))->value(), 100);
    QCOMPARE(label(page.get(), "progressText"), QStringLiteral("100%"));
    QVERIFY(child(page.get(), "buttonInstall")->isEnabled());
    QCOMPARE(settings().value(QStringLiteral("hasToUpdate")).toInt(), 1);
    QCOMPARE(settings().value(QStringLiteral("updatePath")).toString(), QDir::toNativeSeparators(m_package));
}

void TestUpdate::downloadFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("value");
    QTest::newRow("package 404") << QStringLiteral("file404") << QStringLiteral("1");
    QTest::newRow("redirect") << QStringLiteral("redirect") << QStringLiteral("1");
    QTest::newRow("cut package") << QStringLiteral("file_short") << QStringLiteral("1");
    QTest::newRow("longer than announced") << QStringLiteral("file_long") << QStringLiteral("1");
    QTest::newRow("size differs from the answer") << QStringLiteral("version") << QStringLiteral("wrongsize");
    QTest::newRow("destination not writable") << QString() << QString();
}

void TestUpdate::downloadFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, value);
    // A package downloaded before: a failure must not disturb it.
    QFile old(m_package);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier package");
    old.close();
    const QString part = m_package + QStringLiteral(".new.part");
    if (fault.isEmpty())
        QVERIFY(QDir().mkpath(part)); // the partial file cannot be opened
    else
        QVERIFY(m_server->setFault(fault, value));
    auto page = check(KvoDialog::Yes);
    QTRY_VERIFY(!page->isCheckingUpdate());
    QTRY_VERIFY_WITH_TIMEOUT(!page->isDownloadingUpdate(), 20000);
    if (fault.isEmpty())
        QVERIFY(QDir().rmdir(part));
    QCOMPARE(status(page.get()), QStringLiteral("Téléchargement de la mise à jour échoué."));
    QVERIFY(!child(page.get(), "progressBar")->isVisibleTo(page.get()));
    QVERIFY(child(page.get(), "buttonUpdate")->isVisibleTo(page.get()));
    QVERIFY(!child(page.get(), "buttonInstall")->isVisibleTo(page.get()));
    QVERIFY(!settings().contains(QStringLiteral("hasToUpdate")));
    QVERIFY(!QFile::exists(part));
    QVERIFY(!QFile::exists(m_package + QStringLiteral(".new")));
    // What was there stays.
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("earlier package"));
    old.close();
}

void TestUpdate::downloadWithoutLength()
{
    QVERIFY(m_server->setFault(QStringLiteral("file_nolength")));
    auto page = check(KvoDialog::Yes);
    QTRY_VERIFY(!page->isCheckingUpdate());
    // The announced size stands in for the missing length.
    QTRY_VERIFY(!page->isDownloadingUpdate());
    QCOMPARE(status(page.get()), QStringLiteral("Téléchargement terminé."));
    QCOMPARE(settings().value(QStringLiteral("hasToUpdate")).toInt(), 1);

    // Neither a length nor a size: the bar turns busy instead of dividing.
    KvoPageConfiguration fresh(nullptr);
    auto* bar = fresh.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    QVERIFY(QMetaObject::invokeMethod(&fresh, "onProgressDownload", Q_ARG(qint64, 5000), Q_ARG(qint64, -1)));
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(label(&fresh, "progressText"), QStringLiteral("4 Ko"));
    QVERIFY(QMetaObject::invokeMethod(&fresh, "onProgressDownload", Q_ARG(qint64, 0), Q_ARG(qint64, 0)));
    QCOMPARE(bar->maximum(), 0);
    // A length that appears later brings the percentage back.
    QVERIFY(QMetaObject::invokeMethod(&fresh, "onProgressDownload", Q_ARG(qint64, 50), Q_ARG(qint64, 200)));
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 25);
    QCOMPARE(label(&fresh, "progressText"), QStringLiteral("25%"));
}

void TestUpdate::onlyADebianPackage_data()
{
    QTest::addColumn<QString>("address"); // path of the package on the service
    QTest::addColumn<QByteArray>("package");
    QTest::addColumn<bool>("kept");
    QTest::newRow("deb at a script's address") << QStringLiteral("/p/get.sh?x=1") << minimalDeb() << true;
    QTest::newRow("shell script") << QStringLiteral("/p/update.sh") << QByteArray("#!/bin/sh\ntouch /tmp/x\n") << false;
    QTest::newRow("desktop entry") << QStringLiteral("/p/update.desktop")
                                   << QByteArray("[Desktop Entry]\nType=Application\nExec=sh -c x\n") << false;
    QTest::newRow("web page") << QStringLiteral("/p/vistrelle.deb") << QByteArray("<html><body>Not found</body></html>\n")
                              << false;
}

void TestUpdate::onlyADebianPackage()
{
    // Whatever the service's address and bytes, the package is kept as
    // "update.deb" and only when it is a Debian package: nothing else is
    // marked for the opener at exit. The version it announces is shown
    // as it stands, never read as markup.
    QFETCH(QString, address);
    QFETCH(QByteArray, package);
    QFETCH(bool, kept);
    KvoFifoTrap trap;
    QVERIFY(trap.isReady());
    KvoFakeHttpServer service;
    QVERIFY(service.listen());
    const QByteArray offer = QStringLiteral("{\"status\":\"OK\",\"num\":14,\"version\":\"%1\",\"url\":\"%2\","
                                            "\"date\":1793610000,\"size\":%3}")
                                 .arg(trap.image(), service.url(address))
                                 .arg(package.size())
                                 .toUtf8();
    service.setHandler([&](const KvoFakeHttpServer::Request& r) {
        if (r.path() == QLatin1String("/0.1/playerVersion/"))
            return KvoFakeHttpServer::Reply::of(200, offer);
        return KvoFakeHttpServer::Reply::of(200, package, "application/octet-stream");
    });
    const QString endpoint = KvoApi::endpoint();
    KvoApi::setEndpointForTesting(service.address());
    QString versionLine;
    KvoSettingsFixture::answerDialogs([&](KvoDialog* dialog) {
        dialog->grab(); // laid out and painted as the user would see it
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().startsWith(QLatin1String("Vistrelle ")))
                versionLine = label->text();
        }
        return int(KvoDialog::Yes);
    });
    auto page = std::make_unique<KvoPageConfiguration>(nullptr);
    page->onClickUpdate();
    QTRY_VERIFY(!page->isCheckingUpdate());
    KvoApi::setEndpointForTesting(endpoint);
    QTRY_VERIFY(!page->isDownloadingUpdate());
    QVERIFY2(versionLine.startsWith(QStringLiteral("Vistrelle ") + trap.image() + QStringLiteral(" - ")),
             qPrintable(versionLine));
    QCOMPARE(service.requestCount(QUrl(service.url(address)).path()), 1);
    const QStringList left = QDir(KvoEnvironment::tempPath()).entryList({QStringLiteral("update.*")}, QDir::Files);
    if (kept) {
        QCOMPARE(status(page.get()), QStringLiteral("Téléchargement terminé."));
        QCOMPARE(left, QStringList{QStringLiteral("update.deb")});
        QCOMPARE(settings().value(QStringLiteral("updatePath")).toString(), QDir::toNativeSeparators(m_package));
        QFile saved(m_package);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), package);
    } else {
        QCOMPARE(status(page.get()), QStringLiteral("Téléchargement de la mise à jour échoué."));
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
        QVERIFY(!settings().contains(QStringLiteral("hasToUpdate")));
        QVERIFY(!child(page.get(), "buttonInstall")->isVisibleTo(page.get()));
    }
    QCOMPARE(trap.opens(), 0);
}

void TestUpdate::waitingInstall()
{
    // A package that waits is offered at once; declining keeps it.
    QFile package(m_package);
    QVERIFY(package.open(QIODevice::WriteOnly));
    package.write(minimalDeb());
    package.close();
    {
        QSettings s(KvoEnvironment::settingsPath(), QSettings::IniFormat);
        s.setValue(QStringLiteral("hasToUpdate"), 1);
        s.setValue(QStringLiteral("updatePath"), QDir::toNativeSeparators(m_package));
    }
    auto page = check(KvoDialog::Cancel);
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 1);
    QVERIFY(KvoSettingsFixture::shownDialogs().first().contains(QStringLiteral("Installer la mise à jour"))
            || KvoSettingsFixture::shownDialogs().first().contains(QStringLiteral("Souhaitez-vous l'installer maintenant ?")));
    QVERIFY(!page->isCheckingUpdate());
    QCOMPARE(status(page.get()), QStringLiteral("Une mise à jour est prête à être installée."));
    QVERIFY(child(page.get(), "buttonInstall")->isEnabled());
    QVERIFY(!child(page.get(), "buttonUpdate")->isVisibleTo(page.get()));
    QCOMPARE(settings().value(QStringLiteral("hasToUpdate")).toInt(), 1);

    // The package went away meanwhile: the keys go, a check runs instead.
    QVERIFY(QFile::remove(m_package));
    auto again = check(KvoDialog::Cancel);
    QVERIFY(again->isCheckingUpdate());
    QVERIFY(!settings().value(QStringLiteral("hasToUpdate")).toBool());
    QTRY_VERIFY(!again->isCheckingUpdate());

    // So does a file in its place that is no package.
    QVERIFY(package.open(QIODevice::WriteOnly));
    package.write("#!/bin/sh\n");
    package.close();
    settings().setValue(QStringLiteral("hasToUpdate"), 1);
    settings().setValue(QStringLiteral("updatePath"), QDir::toNativeSeparators(m_package));
    auto third = check(KvoDialog::Cancel);
    QVERIFY(third->isCheckingUpdate());
    QVERIFY(!settings().value(QStringLiteral("hasToUpdate")).toBool());
    QTRY_VERIFY(!third->isCheckingUpdate());
}

void TestUpdate::mainWindowHooks()
{
    KvoPageRegistry::clear();
    KvoMainWindow::registerPage<KvoPageConfiguration>(QStringLiteral("config"));
    // The check after the fade-in finds the newer version; the offer is
    // accepted and the package stalls, so the close has a download to end.
    QVERIFY(m_server->setFault(QStringLiteral("file_stall")));
    KvoSettingsFixture::answerDialogs(KvoDialog::Yes);
    QVERIFY(KvoMainWindow::createInstance(false));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    window->startFade(true);
    QTRY_VERIFY(window->pages().contains(QStringLiteral("config")));
    auto* page = qobject_cast<KvoPageConfiguration*>(window->pages().value(QStringLiteral("config")).first);
    QVERIFY(page);
    QTRY_VERIFY_WITH_TIMEOUT(page->isDownloadingUpdate(), 10000);
    QCOMPARE(window->currentPage(), page);
    QTRY_VERIFY(page->findChild<QProgressBar*>(QStringLiteral("progressBar"))->value() > 0);
    window->onClose();
    QVERIFY(!page->isDownloadingUpdate());
    QCOMPARE(status(page), QStringLiteral("Téléchargement de la mise à jour échoué."));
    QVERIFY(!QFile::exists(m_package + QStringLiteral(".new.part")));
    QVERIFY(!settings().contains(QStringLiteral("hasToUpdate")));
    QTRY_VERIFY(!window->isVisible());
    KvoMainWindow::destroyInstance();

    // Accepting the installation closes the window with the install flag.
    QVERIFY(m_server->clearFaults());
    QFile package(m_package);
    QVERIFY(package.open(QIODevice::WriteOnly));
    package.write(minimalDeb());
    package.close();
    {
        QSettings s(KvoEnvironment::settingsPath(), QSettings::IniFormat);
        s.setValue(QStringLiteral("hasToUpdate"), 1);
        s.setValue(QStringLiteral("updatePath"), QDir::toNativeSeparators(m_package));
    }
    KvoSettingsFixture::shownDialogs().clear();
    QVERIFY(KvoMainWindow::createInstance(false));
    window = KvoMainWindow::instance();
    window->show();
    window->startFade(true);
    QTRY_VERIFY(window->hasToUpdate());
    QVERIFY(window->isClosing());
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 1);
    QTRY_VERIFY(!window->isVisible());
    KvoMainWindow::destroyInstance();
    KvoPageRegistry::clear();
    KvoSettingsFixture::signIn(QStringLiteral("1042"), QStringLiteral("demo"));
}

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
