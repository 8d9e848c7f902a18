// The purchase dialog against the local web service: credits, confirmation,
// the purchase that reaches the library, refusals and broken answers.
#include "KvoDialogDriver.h"
#include "KvoFakeHttpServer.h"
#include "KvoFifoTrap.h"
#include "KvoGuiThreadSpy.h"
#include "KvoScreenshots.h"
#include "KvoShowWatch.h"
#include "KvoTestSession.h"
#include "KvoTestSupport.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoPageNews.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoPurchaser.h"
#include "KvoTopItem.h"
#include "ui_KvoPurchaser.h"
#include "ui_KvoSearchItem.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

KvoPurchase course(uint id, uint price)
{
    KvoPurchase p;
    p.id = id;
    p.title = QStringLiteral("Formation %1").arg(id);
    p.price = price;
    return p;
}

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl& url) { urls.append(url); }
};

} // namespace

class TestPurchase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void creditRules_data();
    void creditRules();
    void buyFreeThenPaid();
    void notEnoughCredits();
    void notEnoughForTheFullPrice();
    void offerFollowsTheEnd_data();
    void offerFollowsTheEnd();
    void brokenAnswers();
    void refusalsAreNoSuccess_data();
    void refusalsAreNoSuccess();
    void cutPurchaseIsNotBoughtTwice();
    void purchaseDuringASynchronisation();
    void stalledRequestEnds();
    void offlineShowsNoticeOnly();
    void sessionExpiryClosesTheDialog();
    void confirmedAfterTheEnd();

private:
    // Runs a purchase whose dialog, once in `state`, gets `action`; returns
    // the state the dialog was in when it closed.
    int run(KvoPurchaser& purchaser, const KvoPurchase& c, int state, const std::function<void()>& action);
    bool waitLibrary(uint courseId);

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<KvoTestServer> m_server;
    QWidget m_window;
    UrlRecorder m_urls;
};

void TestPurchase::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    QVERIFY(KvoDatabase::openForCurrentLanguage());
    m_server = std::make_unique<KvoTestServer>();
    if (!m_server->isRunning())
        QSKIP("the local web service is not available");
    const QString session = KvoTestSession::signInAndSync(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(session.isEmpty(), qPrintable(session));
    QCOMPARE(manager()->purchases().size(), 8);
    m_window.resize(800, 600);
    m_window.show();
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "openUrl");
}

void TestPurchase::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    m_server.reset();
    KvoDatabase::close();
}

void TestPurchase::init()
{
    if (!m_server || !m_server->isRunning())
        QSKIP("the local web service is not available");
    QVERIFY(m_server->clearFaults());
    KvoApi::setEndpointForTesting(m_server->address());
    KvoHTTPRequest::setTransferTimeout(8000);
    manager()->setConnected(true);
}

int TestPurchase::run(KvoPurchaser& purchaser, const KvoPurchase& c, int state, const std::function<void()>& action)
{
    int closedIn = -1;
    // The purchaser and its dialog serve several runs: the recorder of this
    // run must go with its frame, or a later close writes into a dead one.
    QObject recorder;
    QObject::connect(purchaser.dialog(), &KvoDialog::closed, &recorder, [&] { closedIn = purchaser.state(); });
    KvoDialogDriver::whenReady([&] { return purchaser.dialog()->isVisible() && purchaser.state() == state; }, action);
    purchaser.buy(c);
    return closedIn;
}

bool TestPurchase::waitLibrary(uint courseId)
{
    // The purchase started a synchronisation, or one more after the one
    // that was running.
    if (!QTest::qWaitFor([] { return !manager()->isSynchronising(); }, 60000))
        return false;
    return manager()->purchases().contains(int(courseId));
}

void TestPurchase::creditRules_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<uint>("price");
    QTest::addColumn<bool>("suffice");
    QTest::addColumn<QString>("remaining");
    QTest::newRow("equal") << "{\"user_credits\":3}" << 3u << true << "0 crédit";
    QTest::newRow("one more") << "{\"user_credits\":4}" << 3u << true << "1 crédit";
    QTest::newRow("two more") << "{\"user_credits\":5}" << 3u << true << "2 crédits";
    QTest::newRow("free") << "{\"user_credits\":0}" << 0u << true << "0 crédit";
    QTest::newRow("too few") << "{\"user_credits\":2}" << 3u << false << "-1 crédit";
    QTest::newRow("as text") << "{\"user_credits\":\"7\"}" << 3u << true << "4 crédits";
    // A negative balance is no large unsigned number.
    QTest::newRow("negative") << "{\"user_credits\":-5}" << 0u << false << "-5 crédit";
    QTest::newRow("missing") << "{\"credits\":50}" << 1u << false << "-1 crédit";
    QTest::newRow("not JSON") << "<html>" << 1u << false << "-1 crédit";
    QTest::newRow("huge") << "{\"user_credits\":1e40}" << 1u << false << "-1 crédit";
}

void TestPurchase::creditRules()
{
    QFETCH(QString, answer);
    QFETCH(uint, price);
    QFETCH(bool, suffice);
    QFETCH(QString, remaining);
    const qint64 credits = KvoPurchaser::creditsOf(answer);
    QCOMPARE(KvoPurchaser::creditsSuffice(credits, price), suffice);
    QCOMPARE(KvoPurchaser::remainingText(credits - price), remaining);
}

void TestPurchase::buyFreeThenPaid()
{
    // demo has 12 credits: 117 is free, 118 costs 6. Each purchase reaches
    // the library at the next poll and the credits follow; the same course
    // again is refused with the service's own text.
    KvoPurchaser purchaser(&m_window);
    QSignalSpy bought(&purchaser, &KvoPurchaser::purchased);
    QString label;
    int closedIn = run(purchaser, course(117, 0), KvoPurchaser::Confirm, [&] {
        label = purchaser.form()->label_credits->text();
        QVERIFY(purchaser.dialog()->exitButtonType() == 0);
        purchaser.form()->button_confirm->click();
        purchaser.form()->button_confirm->click(); // only one purchase
        KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Success; },
                  [&] { purchaser.form()->button_close->click(); });
    });
    QCOMPARE(closedIn, int(KvoPurchaser::Success));
    QCOMPARE(label, QStringLiteral("12 crédits"));
    QCOMPARE(bought.count(), 1);
    QCOMPARE(bought.first().first().value<KvoPurchase>().id, 117u);
    QVERIFY(waitLibrary(117));

    QSignalSpy downloads(&purchaser, &KvoPurchaser::gotoPageDownloads);
    closedIn = run(purchaser, course(118, 6), KvoPurchaser::Confirm, [&] {
        label = purchaser.form()->label_credits->text();
        purchaser.form()->button_confirm->click();
        KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Success; },
                  [&] { purchaser.form()->button_download->click(); });
    });
    QCOMPARE(closedIn, int(KvoPurchaser::Success));
    QCOMPARE(label, QStringLiteral("6 crédits"));
    QCOMPARE(downloads.count(), 1);
    QVERIFY(waitLibrary(118));
    QTRY_COMPARE(manager()->credits(), QStringLiteral("6"));

    QString error;
    closedIn = run(purchaser, course(118, 6), KvoPurchaser::Confirm, [&] {
        label = purchaser.form()->label_credits->text();
        purchaser.form()->button_confirm->click();
        KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Error; }, [&] {
            error = purchaser.form()->label_error->text();
            purchaser.dialog()->exitButton()->click();
        });
    });
    QCOMPARE(closedIn, int(KvoPurchaser::Error));
    QCOMPARE(label, QStringLiteral("0 crédit"));
    QCOMPARE(error, QStringLiteral("Vous possédez déjà cette formation."));
    QCOMPARE(bought.count(), 2);
    QCOMPARE(manager()->credits(), QStringLiteral("6"));
}

void TestPurchase::confirmedAfterTheEnd()
{
    // The news, fetched while course 114 is reduced from 3 credits to 1.
    // Its dialog opens before the end, and "Je confirme" comes after it,
    // on a machine too busy to have run the dialog's timer: that click buys
    // nothing and shows the offer at the full price; the next one buys, and
    // the credits left are the ones promised.
    QVERIFY(m_server->setFault(QStringLiteral("promo_end"), QStringLiteral("5")));
    QTRY_VERIFY(!manager()->isSynchronising());
    const int before = manager()->credits().toInt();
    QVERIFY2(before >= 3, "demo has the credits the earlier purchases left");
    KvoPageNews page;
    page.resize(1067, 656);
    page.show();
    page.onShow();
    QTRY_VERIFY(!page.rows().isEmpty());
    QPointer<KvoTopItem> row;
    for (KvoTopItem* r : page.rows())
        if (r->course().id == 114)
            row = r;
    QVERIFY(row);
    QCOMPARE(row->form()->credits->text(), QStringLiteral("1 crédit"));

    const qint64 end = row->course().end_ts;
    QString first, second;
    int afterFirst = -1, ended = -1;
    KvoDialogDriver::whenReady(
        [&] { return page.purchaser() && page.purchaser()->state() == KvoPurchaser::Confirm; },
        [&] {
            KvoPurchaser* purchaser = page.purchaser();
            first = purchaser->form()->label_credits->text();
            KvoShowWatch::blockUntil(end);
            purchaser->form()->button_confirm->click();
            afterFirst = purchaser->state();
            second = purchaser->form()->label_credits->text();
            purchaser->form()->button_confirm->click();
            KvoDialogDriver::whenReady([purchaser] { return purchaser->state() != KvoPurchaser::Loading; },
                                       [&, purchaser] {
                                           ended = purchaser->state();
                                           purchaser->dialog()->close();
                                       });
        });
    row->form()->download->click();
    QCOMPARE(first, KvoPurchaser::remainingText(before - 1));
    QCOMPARE(afterFirst, int(KvoPurchaser::Confirm));
    QCOMPARE(second, KvoPurchaser::remainingText(before - 3));
    QCOMPARE(ended, int(KvoPurchaser::Success));
    QVERIFY(waitLibrary(114));
    QTRY_COMPARE(manager()->credits().toInt(), before - 3);
}

void TestPurchase::notEnoughCredits()
{
    KvoPurchaser purchaser(&m_window);
    m_urls.urls.clear();
    bool labelShown = true;
    const int closedIn = run(purchaser, course(116, 100), KvoPurchaser::NotEnoughCredits, [&] {
        labelShown = purchaser.form()->label_credits->isVisible();
        purchaser.form()->buy_credits->click();
        QVERIFY(purchaser.dialog()->isVisible()); // stays in the state
        purchaser.dialog()->exitButton()->click();
    });
    QCOMPARE(closedIn, int(KvoPurchaser::NotEnoughCredits));
    QVERIFY(!labelShown);
    QCOMPARE(m_urls.urls, QList<QUrl>{QUrl(KvoEnvironment::creditsUrl())});
}

void TestPurchase::notEnoughForTheFullPrice()
{
    // 2 credits pay the reduced price of a course whose promotion has
    // ended, not its full price: nothing is bought.
    KvoFakeHttpServer service;
    QVERIFY(service.listen());
    service.setHandler([](const KvoFakeHttpServer::Request& r) {
        if (r.query().hasQueryItem(QStringLiteral("vorn_id")))
            return KvoFakeHttpServer::Reply::of(200, "{\"status\":\"OK\"}");
        return KvoFakeHttpServer::Reply::of(200, "{\"user_credits\":2}");
    });
    KvoApi::setEndpointForTesting(service.address());
    KvoPurchase ended = course(114, 1);
    ended.previousPrice = 3;
    ended.end_ts = uint(QDateTime::currentSecsSinceEpoch() - 10);
    KvoPurchaser purchaser(&m_window);
    int shown = -1;
    KvoDialogDriver::whenReady(
        [&] { return purchaser.dialog()->isVisible() && purchaser.state() != KvoPurchaser::Loading; }, [&] {
            shown = purchaser.state();
            if (shown == KvoPurchaser::Confirm)
                purchaser.form()->button_confirm->click();
            KvoDialogDriver::whenReady([&] { return purchaser.state() != KvoPurchaser::Loading; },
                                       [&] { purchaser.dialog()->close(); });
        });
    purchaser.buy(ended);
    QCOMPARE(shown, int(KvoPurchaser::NotEnoughCredits));
    QCOMPARE(service.requestsTo(QStringLiteral("/0.1/playerBuy/")).size(), 1);
}

void TestPurchase::offerFollowsTheEnd_data()
{
    QTest::addColumn<int>("credits");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("promise");
    QTest::newRow("enough") << 9 << int(KvoPurchaser::Confirm) << QStringLiteral("6 crédits");
    QTest::newRow("too few") << 2 << int(KvoPurchaser::NotEnoughCredits) << QString();
}

void TestPurchase::offerFollowsTheEnd()
{
    // The dialog opens while the course is reduced from 3 credits to 1, and
    // the promotion ends while it shows: the offer follows by itself, from
    // the credits it was given, and nothing is bought.
    QFETCH(int, credits);
    QFETCH(int, state);
    QFETCH(QString, promise);
    KvoFakeHttpServer service;
    QVERIFY(service.listen());
    service.setHandler([credits](const KvoFakeHttpServer::Request&) {
        return KvoFakeHttpServer::Reply::of(200, QStringLiteral("{\"user_credits\":%1}").arg(credits).toUtf8());
    });
    KvoApi::setEndpointForTesting(service.address());
    KvoPurchase reduced = course(114, 1);
    reduced.previousPrice = 3;
    reduced.end_ts = uint(QDateTime::currentSecsSinceEpoch() + 3);
    KvoPurchaser purchaser(&m_window);
    QString before;
    int shown = -1;
    KvoDialogDriver::whenReady(
        [&] { return purchaser.dialog()->isVisible() && purchaser.state() == KvoPurchaser::Confirm; }, [&] {
            before = purchaser.form()->label_credits->text();
            KvoDialogDriver::whenReady(
                [&] {
                    return purchaser.state() == state
                           && (promise.isEmpty() || purchaser.form()->label_credits->text() == promise);
                },
                [&] {
                    shown = purchaser.state();
                    purchaser.dialog()->close();
                });
        });
    purchaser.buy(reduced);
    QCOMPARE(before, KvoPurchaser::remainingText(credits - 1));
    QCOMPARE(shown, state);
    QVERIFY(QDateTime::currentSecsSinceEpoch() >= qint64(reduced.end_ts));
    QCOMPARE(service.requestsTo(QStringLiteral("/0.1/playerBuy/")).size(), 1);
}

void TestPurchase::brokenAnswers()
{
    // Any failure of the credits request ends in the error state with the
    // network text, never in a confirmation.
    for (const QString& fault : {QStringLiteral("status=500"), QStringLiteral("status=401")}) {
        QVERIFY(m_server->setFault(fault.section('=', 0, 0), fault.section('=', 1)));
        KvoPurchaser purchaser(&m_window);
        QString error;
        const int closedIn = run(purchaser, course(116, 3), KvoPurchaser::Error, [&] {
            error = purchaser.form()->label_error->text();
            purchaser.dialog()->exitButton()->click();
        });
        QCOMPARE(closedIn, int(KvoPurchaser::Error));
        QCOMPARE(error, QStringLiteral("Une erreur réseau est survenue, veuillez réessayer ultérieurement."));
        QVERIFY(m_server->clearFaults());
    }
    // A credits answer that is no JSON counts as no credits.
    QVERIFY(m_server->setFault(QStringLiteral("nojson")));
    KvoPurchaser purchaser(&m_window);
    QCOMPARE(run(purchaser, course(116, 3), KvoPurchaser::NotEnoughCredits,
                 [&] { purchaser.dialog()->exitButton()->click(); }),
             int(KvoPurchaser::NotEnoughCredits));
}

void TestPurchase::refusalsAreNoSuccess_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("shown"); // "<trap>" for the trap's own text
    const QString generic = QStringLiteral("Vidéo indisponible a la vente");
    QTest::newRow("status ERROR") << QByteArray("{\"status\":\"ERROR\",\"error_mssg\":\"Carte refusée & <b>\"}")
                                  << QStringLiteral("Carte refusée & <b>");
    QTest::newRow("refusal naming a local file") << QByteArray("{\"status\":\"ERROR\",\"error_mssg\":\"TRAP\"}")
                                                 << QStringLiteral("<trap>");
    QTest::newRow("empty object") << QByteArray("{}") << generic;
    QTest::newRow("error key naming a local file") << QByteArray("{\"error\":true,\"error_mssg\":\"TRAP\"}")
                                                   << QStringLiteral("<trap>");
}

void TestPurchase::refusalsAreNoSuccess()
{
    // Only a status "OK" is a purchase. Whatever else a 200 brings shows
    // the error state, with the service's text as it stands (never read as
    // markup, so nothing it names is opened) or the generic one; the
    // library, and with it the credits, is asked for again either way.
    QFETCH(QByteArray, answer);
    QFETCH(QString, shown);
    KvoFifoTrap trap;
    QVERIFY(trap.isReady());
    const QString trapText = trap.image();
    answer.replace("TRAP", trapText.toUtf8());
    if (shown == QLatin1String("<trap>"))
        shown = trapText;
    KvoFakeHttpServer service;
    QVERIFY(service.listen());
    service.setHandler([&](const KvoFakeHttpServer::Request& r) {
        if (r.path().startsWith(QLatin1String("/0.1/playerUserPurchases")))
            return KvoFakeHttpServer::Reply::of(304, QByteArray());
        if (r.query().hasQueryItem(QStringLiteral("vorn_id")))
            return KvoFakeHttpServer::Reply::of(200, answer);
        return KvoFakeHttpServer::Reply::of(200, "{\"user_credits\":10}");
    });
    QTRY_VERIFY(!manager()->isSynchronising());
    KvoApi::setEndpointForTesting(service.address());
    KvoPurchaser purchaser(&m_window);
    QSignalSpy bought(&purchaser, &KvoPurchaser::purchased);
    QString error;
    const int closedIn = run(purchaser, course(116, 3), KvoPurchaser::Confirm, [&] {
        purchaser.form()->button_confirm->click();
        KvoDialogDriver::whenReady([&] { return purchaser.state() != KvoPurchaser::Loading; }, [&] {
            error = purchaser.form()->label_error->text();
            purchaser.dialog()->grab(); // the label laid out and painted
            KvoScreenshots::save(purchaser.dialog(), QStringLiteral("purchase-refused-") + QTest::currentDataTag());
            purchaser.dialog()->close();
        });
    });
    QCOMPARE(closedIn, int(KvoPurchaser::Error));
    QCOMPARE(error, shown);
    QCOMPARE(bought.count(), 0);
    QCOMPARE(trap.opens(), 0);
    QTRY_COMPARE(service.requestCount(QStringLiteral("/0.1/playerUserPurchases/")), 1);
    QTRY_VERIFY(!manager()->isSynchronising());
    manager()->setConnected(true);
}

void TestPurchase::purchaseDuringASynchronisation()
{
    // A purchase succeeds while a synchronisation runs that the service
    // answers late, with the library as it was before the purchase: the
    // course reaches the library right after it, not at the next poll.
    const QString poll = QStringLiteral("/0.1/playerUserPurchases/");
    QTRY_VERIFY_WITH_TIMEOUT(!manager()->isSynchronising(), 30000);
    QVERIFY(!manager()->purchases().contains(112));
    KvoPurchaser purchaser(&m_window);
    bool runningAtPurchase = false;
    connect(&purchaser, &KvoPurchaser::purchased, this,
            [&runningAtPurchase] { runningAtPurchase = manager()->isSynchronising(); });
    const int closedIn = run(purchaser, course(112, 1), KvoPurchaser::Confirm, [&] {
        // The library is asked for before the purchase, and its answer
        // comes seconds later; the purchase's own answers do not wait.
        QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("5000")));
        const int seen = m_server->requestsSeen(poll);
        manager()->update();
        QTRY_VERIFY(m_server->requestsSeen(poll) > seen);
        QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("0")));
        purchaser.form()->button_confirm->click();
        KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Success; },
                                   [&] { purchaser.form()->button_close->click(); });
    });
    QCOMPARE(closedIn, int(KvoPurchaser::Success));
    QVERIFY(runningAtPurchase);
    // The next poll is 30 s away.
    QTRY_VERIFY_WITH_TIMEOUT(manager()->purchases().contains(112), 15000);
}

void TestPurchase::cutPurchaseIsNotBoughtTwice()
{
    // The service takes the purchase but its answer is cut: no success is
    // shown; the library is asked again, the course arrives, and a second
    // try is refused instead of paying twice.
    const int before = manager()->credits().toInt();
    KvoPurchaser purchaser(&m_window);
    QSignalSpy bought(&purchaser, &KvoPurchaser::purchased);
    QString error;
    run(purchaser, course(115, 2), KvoPurchaser::Confirm, [&] {
        QVERIFY(m_server->setFault(QStringLiteral("truncate")));
        purchaser.form()->button_confirm->click();
        KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Error; }, [&] {
            error = purchaser.form()->label_error->text();
            purchaser.dialog()->close();
        });
    });
    QVERIFY(error.startsWith(QStringLiteral("La réponse du service est illisible")));
    QCOMPARE(bought.count(), 0);
    // The poll the purchaser started met the same broken service; the next
    // one brings the course.
    QVERIFY(m_server->clearFaults());
    KvoGuiThreadSpy ended(manager(), &KvoPurchaseVideoManager::updateEnded);
    QTRY_VERIFY(!manager()->isSynchronising());
    manager()->update();
    QVERIFY(ended.wait(10000));
    QVERIFY(waitLibrary(115));
    manager()->setConnected(true);
    QTRY_COMPARE(manager()->credits().toInt(), before - 2);
    run(purchaser, course(115, 2), KvoPurchaser::Confirm, [&] {
        purchaser.form()->button_confirm->click();
        KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Error; }, [&] {
            error = purchaser.form()->label_error->text();
            purchaser.dialog()->close();
        });
    });
    QCOMPARE(error, QStringLiteral("Vous possédez déjà cette formation."));
    QCOMPARE(manager()->credits().toInt(), before - 2);
}

void TestPurchase::stalledRequestEnds()
{
    // The loading state cannot be closed by the user: a service that never
    // answers, or sends a byte now and then for ever, must end it in the
    // error state in bounded time.
    KvoFakeHttpServer stalled;
    QVERIFY(stalled.listen());
    bool credits = true, trickle = false;
    stalled.setHandler([&](const KvoFakeHttpServer::Request& r) {
        using Reply = KvoFakeHttpServer::Reply;
        if (!credits || r.query().hasQueryItem(QStringLiteral("vorn_id")))
            return trickle ? Reply::drip(50, 4096) : Reply::never();
        return Reply::of(200, "{\"user_credits\":10}");
    });
    KvoApi::setEndpointForTesting(stalled.address());
    KvoHTTPRequest::setTransferTimeout(300);
    for (const bool stallCredits : {true, false}) {
        for (const bool slowBytes : {false, true}) {
            credits = !stallCredits;
            trickle = slowBytes;
            // The library poll after a lost purchase met this service too.
            QTRY_VERIFY(!manager()->isSynchronising());
            manager()->setConnected(true);
            KvoPurchaser purchaser(&m_window);
            bool inert = false;
            QString error;
            QElapsedTimer clock;
            clock.start();
            run(purchaser, course(116, 3), stallCredits ? KvoPurchaser::Loading : KvoPurchaser::Confirm, [&] {
                if (!stallCredits)
                    purchaser.form()->button_confirm->click();
                inert = purchaser.dialog()->exitButtonType() == 2;
                KvoDialogDriver::whenReady([&] { return purchaser.state() == KvoPurchaser::Error; }, [&] {
                    error = purchaser.form()->label_error->text();
                    purchaser.dialog()->exitButton()->click();
                });
            });
            QVERIFY2(inert, qPrintable(QStringLiteral("credits stalled %1, trickle %2").arg(stallCredits).arg(slowBytes)));
            QCOMPARE(error, QStringLiteral("Une erreur réseau est survenue, veuillez réessayer ultérieurement."));
            QVERIFY(clock.elapsed() < 3 * KvoPurchaser::requestDeadline());
        }
    }
}

void TestPurchase::offlineShowsNoticeOnly()
{
    manager()->setConnected(false);
    KvoPurchaser purchaser(&m_window);
    QString shown;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("noConnectionDialog"), [&shown](KvoDialog* dialog) {
        shown = dialog->objectName();
        dialog->close();
    });
    purchaser.buy(course(116, 3));
    QVERIFY2(driver.done(), driver.report());
    QCOMPARE(shown, QStringLiteral("noConnectionDialog"));
    QVERIFY(!purchaser.dialog()->isVisible());
    // The notice is not left behind.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window.findChild<KvoDialog*>(QStringLiteral("noConnectionDialog")));
}

void TestPurchase::sessionExpiryClosesTheDialog()
{
    QPointer<KvoDialog> dialog;
    {
        KvoPurchaser purchaser(&m_window);
        dialog = purchaser.dialog();
        const int closedIn = run(purchaser, course(116, 3), KvoPurchaser::Confirm,
                                 [&] { emit manager()->sessionExpired(); });
        QCOMPARE(closedIn, int(KvoPurchaser::Confirm));
    }
    // The purchaser takes its dialog along.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!dialog);
}

QTEST_MAIN(TestPurchase)
#include "tst_purchase.moc"
