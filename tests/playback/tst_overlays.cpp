#include "KvoAddCommentWidget.h"
#include "KvoAddSignetWidget.h"
#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoFakeVideoBackend.h"
#include "KvoHTTPRequest.h"
#include "KvoMainWindow.h"
#include "KvoMarkWidget.h"
#include "KvoPagePlayer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSignetWidget.h"
#include "KvoTestLibrary.h"
#include "KvoTestSession.h"
#include "KvoTestSupport.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoVolumeSlider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>
#include <QUrl>

namespace {

KvoPurchaseVideoManager* manager()
{
    return KvoPurchaseVideoManager::instance();
}

struct Queued
{
    QString url;
    QJsonObject data;
};

QList<Queued> queued()
{
    QList<Queued> rows;
    QSqlQuery q(KvoDatabase::database());
    q.exec(QStringLiteral("SELECT url, data FROM to_send ORDER BY id"));
    while (q.next())
        rows.append({q.value(0).toString(), QJsonDocument::fromJson(q.value(1).toString().toUtf8()).object()});
    return rows;
}

bool storedCommented(uint purchaseId)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT commented FROM purchases WHERE id = ? AND id_user = ?"));
    q.addBindValue(purchaseId);
    q.addBindValue(manager()->userId());
    return q.exec() && q.next() && q.value(0).toInt() == 1;
}

// A port on which nothing listens: the client is offline for it.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

class TestOverlays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void commentCounter_data();
    void commentCounter();
    void commentFormChoice();
    void commentSubmission();
    void commentExitAndPlacement();
    void commentKeptUntilDelivered();
    void startSendsWhatWaits();

    void signetTitles_data();
    void signetTitles();
    void signetTimeEditor();
    void signetExit();
    void pageOverlays();

private:
    QJsonArray receivedComments(KvoTestServer* server);
    void setCommented(uint purchaseId, bool commented);

    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<KvoTestServer> m_server;
    KvoFakeVideoBackend m_fake;
};

void TestOverlays::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    KvoVideoBackend::setInstance(&m_fake);
    QVERIFY(KvoDatabase::openForCurrentLanguage());
    m_server = std::make_unique<KvoTestServer>(QStringList{QStringLiteral("--quiet")});
    if (!m_server->isRunning())
        QSKIP("the local web service is not available");
    KvoHTTPRequest::setTransferTimeout(8000);
    const QString session = KvoTestSession::signInAndSync(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(session.isEmpty(), qPrintable(session));
    QVERIFY(manager()->purchases().contains(101));
}

void TestOverlays::init()
{
    if (!m_server || !m_server->isRunning())
        QSKIP("the local web service is not available");
    QVERIFY(m_server->clearFaults());
    KvoApi::setEndpointForTesting(m_server->address());
}

void TestOverlays::cleanupTestCase()
{
    KvoAsynchronousSender::destroy();
    KvoVideoBackend::setInstance(nullptr);
    KvoTestLibrary::drainManager();
}

QJsonArray TestOverlays::receivedComments(KvoTestServer* server)
{
    return QJsonDocument::fromJson(server->fetch(QStringLiteral("/_control/log"))).object().value(
        QStringLiteral("comments")).toArray();
}

void TestOverlays::setCommented(uint purchaseId, bool commented)
{
    manager()->setCommented(purchaseId, commented);
    QCOMPARE(manager()->purchases().value(int(purchaseId)).commented, commented);
}

// --- comment overlay ------------------------------------------------------------

void TestOverlays::commentCounter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<bool>("enabled");
    const QString letters49(49, QLatin1Char('a'));
    QTest::newRow("empty") << QString() << QStringLiteral("Minimum 50 caractère(s)") << false;
    QTest::newRow("49 letters") << letters49 << QStringLiteral("Minimum 1 caractère(s)") << false;
    QTest::newRow("50 letters") << QString(50, QLatin1Char('a')) << QString() << true;
    QTest::newRow("49 letters in white space")
        << QStringLiteral("  \n\t") + letters49 + QStringLiteral(" \n\n  ") << QStringLiteral("Minimum 1 caractère(s)")
        << false;
    QTest::newRow("spaces between words count")
        << QStringLiteral("%1 %2").arg(QString(24, QLatin1Char('a')), QString(24, QLatin1Char('b')))
        << QStringLiteral("Minimum 1 caractère(s)") << false;
    QTest::newRow("100000 characters") << QString(100000, QLatin1Char('x')) << QString() << true;
    // UTF-16 units: an emoji counts two.
    QTest::newRow("25 emoji") << QString::fromUtf8("😀").repeated(25) << QString() << true;
    QTest::newRow("right to left") << QString::fromUtf8("שלום עולם ").repeated(4) << QStringLiteral("Minimum 11 caractère(s)")
                                   << false;
    QTest::newRow("percent marker") << QStringLiteral("%1 %0 <b>") << QStringLiteral("Minimum 41 caractère(s)") << false;
}

void TestOverlays::commentCounter()
{
    QFETCH(QString, text);
    QFETCH(QString, counter);
    QFETCH(bool, enabled);
    KvoAddCommentWidget overlay(nullptr, Qt::FramelessWindowHint);
    overlay.setPurchaseId(102);
    setCommented(102, false);
    overlay.setHidden(false);
    overlay.ratingForm().commentArea->setPlainText(text);
    QCOMPARE(overlay.ratingForm().labelMinimum->text(), counter);
    QCOMPARE(overlay.ratingForm().submit->isEnabled(), enabled);
    // A refused submission sends nothing and gives the field the keyboard.
    if (!enabled) {
        const int before = int(queued().size());
        QMetaObject::invokeMethod(&overlay, "onSubmit");
        QCOMPARE(queued().size(), before);
        QVERIFY(overlay.ratingContainer()->isVisible());
        QCOMPARE(manager()->purchases().value(102).commented, false);
    }
}

void TestOverlays::commentFormChoice()
{
    KvoAddCommentWidget overlay(nullptr, Qt::FramelessWindowHint);
    setCommented(103, false);
    overlay.setPurchaseId(103);
    overlay.setHidden(false);
    QVERIFY(overlay.isVisible());
    QVERIFY(overlay.ratingContainer()->isVisible());
    QVERIFY(!overlay.thanksContainer()->isVisible());
    QCOMPARE(overlay.size(), overlay.ratingContainer()->size());
    QCOMPARE(overlay.exitButton()->parentWidget(), overlay.ratingContainer());
    QCOMPARE(overlay.exitButton()->pos(), QPoint(overlay.width() - 36, 12));
    QCOMPARE(overlay.markInput()->clickedMark(), 5);
    QCOMPARE(overlay.ratingForm().markLabel->text(), QStringLiteral("5/5"));

    // Reopening: five stars again and an empty comment.
    overlay.markInput()->changeClickedMark(2);
    overlay.ratingForm().commentArea->setPlainText(QStringLiteral("texte"));
    overlay.setHidden(true);
    QVERIFY(!overlay.isVisible());
    QCOMPARE(overlay.ratingForm().commentArea->toPlainText(), QStringLiteral("texte"));
    overlay.setHidden(false);
    QCOMPARE(overlay.markInput()->clickedMark(), 5);
    QVERIFY(overlay.ratingForm().commentArea->toPlainText().isEmpty());

    // A course rated already opens on the thanks.
    setCommented(103, true);
    overlay.setHidden(true);
    overlay.setHidden(false);
    QVERIFY(overlay.thanksContainer()->isVisible());
    QVERIFY(!overlay.ratingContainer()->isVisible());
    QCOMPARE(overlay.thanksForm().title->text(), QStringLiteral("Merci, votre note a bien été enregistrée !"));
    QCOMPARE(overlay.size(), overlay.thanksContainer()->size());
    QCOMPARE(overlay.exitButton()->parentWidget(), overlay.thanksContainer());

    // A course missing from the library counts as not rated.
    overlay.setPurchaseId(999);
    overlay.setHidden(false);
    QVERIFY(overlay.ratingContainer()->isVisible());
    QSignalSpy facebook(&overlay, &KvoAddCommentWidget::facebookClicked);
    overlay.thanksForm().buttonFacebook->click();
    QCOMPARE(facebook.count(), 1);
}

void TestOverlays::commentSubmission()
{
    // The service does not answer for now: the rating waits in the queue.
    QVERIFY(m_server->setFault(QStringLiteral("status"), QStringLiteral("503")));
    QSqlQuery(KvoDatabase::database()).exec(QStringLiteral("DELETE FROM to_send"));
    setCommented(104, false);
    KvoAddCommentWidget overlay(nullptr, Qt::FramelessWindowHint);
    overlay.setPurchaseId(104);
    overlay.setHidden(false);

    // The pointer over the second star shows 2, the clicked mark counts.
    KvoMarkWidget* mark = overlay.markInput();
    int x = 0;
    while (x < mark->width() && mark->markAt(x) != 2)
        ++x;
    QMouseEvent move(QEvent::MouseMove, QPointF(x, mark->height() / 2), mark->mapToGlobal(QPointF(x, 1)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(mark, &move);
    QCOMPARE(overlay.ratingForm().markLabel->text(), QStringLiteral("2/5"));
    QCOMPARE(mark->clickedMark(), 5);

    const QString comment = QString::fromUtf8("  Très clair, merci ! 😀 & + = %1 <b>pas du HTML</b> — مرحبا بالعالم\n  ");
    overlay.ratingForm().commentArea->setPlainText(comment);
    QVERIFY(overlay.ratingForm().submit->isEnabled());
    QSignalSpy failed(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entryFailed);
    overlay.ratingForm().submit->click();

    QVERIFY(overlay.isVisible());
    QVERIFY(overlay.thanksContainer()->isVisible());
    QVERIFY(manager()->purchases().value(104).commented);
    QVERIFY(storedCommented(104));
    const QList<Queued> rows = queued();
    QCOMPARE(rows.size(), 1);
    const QUrl url(rows.first().url);
    QCOMPARE(url.path(), QStringLiteral("/0.1/playerComment/"));
    QCOMPARE(url.query(), QStringLiteral("apikey=4b9d27e0c5a18f36e2d07b5c9a41f8e3&output=json&locale=")
                              + KvoEnvironment::locale());
    QCOMPARE(rows.first().data.keys(), (QStringList{"comment", "mark", "vorn_id"}));
    QCOMPARE(rows.first().data.value(QStringLiteral("comment")).toString(), comment.trimmed());
    QCOMPARE(rows.first().data.value(QStringLiteral("mark")).toInt(), 5);
    QCOMPARE(rows.first().data.value(QStringLiteral("vorn_id")).toInt(), 104);

    // Once the service answers, it receives the rating once, every
    // character as typed.
    QVERIFY(failed.wait(10000));
    QVERIFY(m_server->clearFaults());
    QSignalSpy sent(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entrySent);
    KvoAsynchronousSender::flush();
    QVERIFY(sent.wait(10000));
    const QJsonArray received = receivedComments(m_server.get());
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.at(0)[QStringLiteral("comment")].toString(), comment.trimmed());
    QCOMPARE(received.at(0)[QStringLiteral("mark")].toString(), QStringLiteral("5"));
    QCOMPARE(received.at(0)[QStringLiteral("vorn_id")].toString(), QStringLiteral("104"));
    QVERIFY(queued().isEmpty());
}

void TestOverlays::commentExitAndPlacement()
{
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.setGeometry(100, 80, 800, 600);
    QWidget stack(&window);
    stack.setGeometry(30, 40, 700, 500);
    QWidget anchor(&stack);
    anchor.setGeometry(0, 0, 600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    KvoAddCommentWidget overlay(nullptr, Qt::FramelessWindowHint);
    overlay.setPurchaseId(105);
    setCommented(105, false);
    // Without an anchor it stays where it is.
    overlay.move(7, 9);
    overlay.placeNearAnchor();
    QCOMPARE(overlay.pos(), QPoint(7, 9));

    overlay.setAnchor(&anchor);
    overlay.setHidden(false);
    const QPoint corner = stack.mapToGlobal(QPoint(0, 0)) + QPoint(600, 400);
    QCOMPARE(overlay.pos() + QPoint(overlay.width(), overlay.height()), corner);
    // It follows its anchor's window.
    window.move(150, 90);
    overlay.placeNearAnchor();
    QCOMPARE(overlay.pos() + QPoint(overlay.width(), overlay.height()),
             stack.mapToGlobal(QPoint(0, 0)) + QPoint(600, 400));

    QSignalSpy close(&overlay, &KvoAddCommentWidget::closeAddCommentClicked);
    overlay.exitButton()->click();
    QCOMPARE(close.count(), 1);
    QVERIFY(overlay.isVisible());
    // Escape asks the same and hides nothing either.
    QTest::keyClick(overlay.ratingForm().commentArea, Qt::Key_Escape);
    QCOMPARE(close.count(), 2);
    QVERIFY(overlay.isVisible());
}

void TestOverlays::commentKeptUntilDelivered()
{
    // Offline: the service's address refuses connections.
    const quint16 port = closedPort();
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:%1").arg(port));
    QSqlQuery(KvoDatabase::database()).exec(QStringLiteral("DELETE FROM to_send"));
    setCommented(106, false);
    {
        KvoAddCommentWidget overlay(nullptr, Qt::FramelessWindowHint);
        overlay.setPurchaseId(106);
        overlay.setHidden(false);
        overlay.markInput()->changeClickedMark(3);
        overlay.ratingForm().commentArea->setPlainText(QString(60, QLatin1Char('o')));
        QSignalSpy failed(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entryFailed);
        overlay.ratingForm().submit->click();
        QVERIFY(failed.wait(10000));
        QVERIFY(overlay.thanksContainer()->isVisible());
    }
    QCOMPARE(queued().size(), 1);

    // The client closes and starts again: nothing is lost.
    KvoAsynchronousSender::destroy();
    QCOMPARE(queued().size(), 1);

    // The service comes back at that address, failing at first.
    KvoTestServer later(QStringList{QStringLiteral("--quiet"), QStringLiteral("--port"), QString::number(port)});
    QVERIFY(later.isRunning());
    QCOMPARE(later.address(), QStringLiteral("http://127.0.0.1:%1").arg(port));
    QVERIFY(later.setFault(QStringLiteral("status"), QStringLiteral("500")));
    {
        QSignalSpy failed(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entryFailed);
        QVERIFY(failed.wait(10000));
    }
    QCOMPARE(receivedComments(&later).size(), 0);
    QCOMPARE(queued().size(), 1);

    // Then it answers: the rating goes out once, however many times the
    // queue is woken meanwhile.
    QVERIFY(later.clearFaults());
    QSignalSpy sent(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entrySent);
    for (int i = 0; i < 5; ++i)
        KvoAsynchronousSender::flush();
    QVERIFY(sent.wait(10000));
    KvoAsynchronousSender::flush();
    QCoreApplication::processEvents();
    QTRY_VERIFY(!KvoAsynchronousSender::instance()->isSending()); // nothing more on its way
    QCOMPARE(sent.count(), 1);
    const QJsonArray received = receivedComments(&later);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.at(0)[QStringLiteral("mark")].toString(), QStringLiteral("3"));
    QCOMPARE(received.at(0)[QStringLiteral("vorn_id")].toString(), QStringLiteral("106"));
    QVERIFY(queued().isEmpty());
}

void TestOverlays::startSendsWhatWaits()
{
    // What an earlier run left goes out when a session starts online,
    // without waiting for a new entry or a change of the connection.
    KvoAsynchronousSender::destroy();
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO to_send (id_user, url, data) VALUES (?, ?, ?)"));
    q.addBindValue(manager()->userId());
    q.addBindValue(KvoApi::address(QStringLiteral("/0.1/playerComment/")));
    q.addBindValue(QStringLiteral("{\"comment\":\"%1\",\"mark\":4,\"vorn_id\":107}").arg(QString(55, QLatin1Char('k'))));
    QVERIFY(q.exec());
    const int before = int(receivedComments(m_server.get()).size());
    QVERIFY(KvoMainWindow::createInstance(true));
    QTRY_COMPARE_WITH_TIMEOUT(receivedComments(m_server.get()).size(), before + 1, 10000);
    QTRY_VERIFY(queued().isEmpty());
    KvoMainWindow::destroyInstance();
}

// --- bookmark overlay -------------------------------------------------------------

void TestOverlays::signetTitles_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("created"); // "" none
    QTest::newRow("spaces only") << QStringLiteral("     ") << QString();
    QTest::newRow("trimmed") << QStringLiteral("  Réglages  ") << QStringLiteral("Réglages");
    QTest::newRow("36 characters") << QString(36, QLatin1Char('z')) << QString(35, QLatin1Char('z'));
    QTest::newRow("percent marker") << QStringLiteral("étape %1 %0") << QStringLiteral("étape %1 %0");
    QTest::newRow("html") << QStringLiteral("<b>x</b><img src=a>") << QStringLiteral("<b>x</b><img src=a>");
    QTest::newRow("emoji and right to left") << QString::fromUtf8("😀 שלום") << QString::fromUtf8("😀 שלום");
}

void TestOverlays::signetTitles()
{
    QFETCH(QString, typed);
    QFETCH(QString, created);
    QList<QPair<QString, QTime>> received;
    KvoAddSignetWidget::setReceiver([&](const QString& title, const QTime& time) { received.append({title, time}); });
    KvoAddSignetWidget overlay(nullptr, Qt::FramelessWindowHint);
    overlay.setDuration(600000);
    overlay.setCurrentTime(61500);
    overlay.setHidden(false);
    QVERIFY(overlay.form().editTitle->text().isEmpty());
    QSignalSpy close(&overlay, &KvoAddSignetWidget::closeAddSignetClicked);
    int receivedWhenClosed = -1;
    connect(&overlay, &KvoAddSignetWidget::closeAddSignetClicked, this,
            [&] { receivedWhenClosed = int(received.size()); });
    // Typed: insert() keeps the field's limits as the keyboard does.
    overlay.form().editTitle->insert(typed);
    QTest::keyClick(overlay.form().editTitle, Qt::Key_Return);
    KvoAddSignetWidget::setReceiver({});
    if (created.isEmpty()) {
        QVERIFY(received.isEmpty());
        QCOMPARE(close.count(), 0);
        QVERIFY(overlay.form().editTitle->text().isEmpty());
        QVERIFY(overlay.isVisible());
        return;
    }
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().first, created);
    QCOMPARE(received.first().second, QTime(0, 1, 1, 500));
    QCOMPARE(overlay.form().editTitle->text(), created);
    QCOMPARE(close.count(), 1);
    QCOMPARE(receivedWhenClosed, 1);
}

void TestOverlays::signetTimeEditor()
{
    KvoAddSignetWidget overlay(nullptr, Qt::FramelessWindowHint);
    QCOMPARE(overlay.position(), 0);
    QCOMPARE(overlay.form().timeEdit->time(), QTime(0, 0));
    overlay.setDuration(90000);
    QCOMPARE(overlay.form().timeEdit->maximumTime(), QTime(0, 1, 30));
    QCOMPARE(overlay.form().timeEdit->minimumTime(), QTime(0, 0));
    overlay.form().timeEdit->setTime(QTime(0, 2, 0));
    QCOMPARE(overlay.form().timeEdit->time(), QTime(0, 1, 30));

    // Kept in step while hidden; the opening shows it with an empty title.
    overlay.setDuration(3600000);
    overlay.setCurrentTime(754000);
    overlay.form().editTitle->setText(QStringLiteral("old"));
    overlay.setHidden(false);
    QCOMPARE(overlay.form().timeEdit->time(), QTime(0, 12, 34));
    QVERIFY(overlay.form().editTitle->text().isEmpty());
    QCOMPARE(overlay.exitButton()->pos(), QPoint(overlay.width() - 36, 12));

    // Shorter than a second, longer than a day: within the editor's range.
    overlay.setDuration(400);
    overlay.setCurrentTime(399);
    QCOMPARE(overlay.form().timeEdit->time(), QTime(0, 0, 0, 399));
    overlay.setDuration(qint64(30) * 3600 * 1000);
    QCOMPARE(overlay.form().timeEdit->maximumTime(), QTime(23, 59, 59, 999));
    overlay.setCurrentTime(qint64(25) * 3600 * 1000);
    QCOMPARE(overlay.form().timeEdit->time(), QTime(23, 59, 59, 999));
    overlay.setCurrentTime(-5);
    QCOMPARE(overlay.form().timeEdit->time(), QTime(0, 0));
}

void TestOverlays::signetExit()
{
    KvoAddSignetWidget overlay(nullptr, Qt::FramelessWindowHint);
    overlay.setHidden(false);
    QSignalSpy close(&overlay, &KvoAddSignetWidget::closeAddSignetClicked);
    overlay.exitButton()->click();
    QCOMPARE(close.count(), 1);
    QVERIFY(overlay.isVisible());
    overlay.setHidden(true);
    QVERIFY(!overlay.isVisible());
}

void TestOverlays::pageOverlays()
{
    // The page's own overlays: the comment button opens and closes the
    // rating form, the bookmark form's OK puts a marker on the bar at once.
    setCommented(101, false);
    const QString path = m_home->path() + QStringLiteral("/1011.qoz");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("video");
    }
    KvoPagePlayer::setPlaylistSource([](uint, QList<QVariant>& purchases, QList<QVariant>& videos) {
        purchases = {101u};
        videos = {1011u};
    });
    KvoPurchase purchase = manager()->purchases().value(101);
    KvoVideoFile video = purchase.files.value(1011);
    video.KvoPath = path;
    manager()->setVideoPath(purchase, video);

    QWidget bar;
    bar.resize(600, 40);
    QPushButton play, pause, comment, signet;
    KvoVideoSeeker seeker(&bar);
    seeker.setGeometry(10, 5, 500, 20);
    KvoVideoVolumeSlider volume;
    KvoPagePlayer page;
    IKvoPlayerPage::Controls controls;
    controls.play = &play;
    controls.pause = &pause;
    controls.comment = &comment;
    controls.signet = &signet;
    controls.seeker = &seeker;
    controls.volume = &volume;
    controls.markerParent = &bar;
    page.setControls(controls);
    page.resize(800, 500);
    page.show();
    bar.show();
    page.setSelectedVideo(1, 1011);
    page.loadIfReady();
    QVERIFY(page.isPlayable());
    // The demo video lasts a few seconds.
    m_fake.inject({{KvoVideoEventSink::LengthChanged, 3000}, {KvoVideoEventSink::TimeChanged, 2000}});
    QTRY_COMPARE(seeker.value(), 2);

    KvoAddCommentWidget* rating = page.commentWidget();
    QVERIFY(rating);
    QCOMPARE(rating->purchaseId(), 101u);
    comment.click();
    QVERIFY(rating->isVisible());
    QVERIFY(rating->ratingContainer()->isVisible());
    rating->exitButton()->click();
    QVERIFY(!rating->isVisible());

    KvoAddSignetWidget* form = page.signetWidget();
    KvoAddSignetWidget::setReceiver([&page](const QString& title, const QTime& time) { page.addSignet(title, time); });
    signet.click();
    QVERIFY(form->isVisible());
    QCOMPARE(form->form().timeEdit->time(), QTime(0, 0, 2));
    form->form().editTitle->insert(QStringLiteral(" <i>Réglage</i> "));
    form->form().buttonOk->click();
    KvoAddSignetWidget::setReceiver({});
    QVERIFY(!form->isVisible());
    QCOMPARE(page.markerCount(), 1);
    KvoSignetWidget* marker = page.signets().markers().value(0);
    QVERIFY(marker && marker->isVisible());
    QCOMPARE(marker->value(), 2000);
    QCOMPARE(marker->name(), QStringLiteral("<b>0:02 </b> <i>Réglage</i>"));
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("SELECT value, name FROM signets WHERE id_video = 1011")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2000);
}

QTEST_MAIN(TestOverlays)
#include "tst_overlays.moc"
