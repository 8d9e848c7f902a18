#include "KvoDialogDriver.h"
#include "KvoFakeVideoBackend.h"
#include "KvoLoadingFrame.h"
#include "KvoPreviewPlayer.h"
#include "KvoTestSupport.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <functional>

namespace {

using E = KvoVideoEventSink;

// Runs open() and does `action` once the dialog shows, from inside its own
// loop; a dialog the action leaves open is closed, so that a failing test
// cannot hang. -1 when the dialog never showed.
int runOpen(KvoPreviewPlayer& dialog, const QString& location, const std::function<void()>& action)
{
    if (dialog.objectName().isEmpty())
        dialog.setObjectName(QStringLiteral("previewUnderTest"));
    KvoDialogDriver driver(40000);
    driver.expect<KvoPreviewPlayer>(dialog.objectName(), [&action](KvoPreviewPlayer*) { action(); });
    const int result = dialog.open(location);
    if (!driver.done()) {
        QTest::qFail(driver.report(), __FILE__, __LINE__);
        return -1;
    }
    return result;
}

bool busy(KvoPreviewPlayer& dialog)
{
    return dialog.loadingFrame()->isRunning();
}

// The player paints black and nothing else.
bool showsNoPicture(KvoVideoPlayer* player)
{
    if (player->hasPicture())
        return false;
    const QImage shot = player->grab().toImage();
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (qRed(shot.pixel(x, y)) || qGreen(shot.pixel(x, y)) || qBlue(shot.pixel(x, y)))
                return false;
        }
    }
    return !shot.isNull();
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void form();
    void timeLabels_data();
    void timeLabels();
    void openPlayCloseReuse();
    void unplayableExtracts();
    void realExtractsFromTheService_data();
    void realExtractsFromTheService();
    void realDialogReusedForEveryExtract();
    void realFailedExtractShowsNothingOfTheLast();

private:
    // Starts the local service and the real media engine; why they cannot
    // be used ("" when they can).
    QString useRealEngine();

    KvoFakeVideoBackend m_fake;
    std::unique_ptr<KvoTestHome> m_home;
    std::unique_ptr<KvoTestServer> m_server;
};

void TestPreview::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoVideoBackend::setInstance(&m_fake);
}

void TestPreview::init()
{
    KvoVideoBackend::setInstance(&m_fake);
    KvoPreviewPlayer::setStallTimeout(15000);
    m_fake.failOpen = false;
    m_fake.takeCalls();
}

void TestPreview::cleanupTestCase()
{
    KvoVideoBackend::setInstance(nullptr);
}

QString TestPreview::useRealEngine()
{
    if (!m_server)
        m_server = std::make_unique<KvoTestServer>(QStringList{QStringLiteral("--quiet")});
    if (!m_server->isRunning())
        return QStringLiteral("the local web service is not available");
    qputenv("VISTRELLE_VLC_ARGS", "--aout=dummy --quiet");
    KvoVideoBackend::setInstance(nullptr);
    if (!KvoVideoBackend::instance()->isReady())
        return QStringLiteral("the media engine is not available");
    return QString();
}

void TestPreview::form()
{
    QWidget owner;
    KvoPreviewPlayer dialog(&owner);
    QCOMPARE(dialog.size(), QSize(640, 480));
    QCOMPARE(dialog.minimumSize(), QSize(640, 480));
    QCOMPARE(dialog.maximumSize(), QSize(640, 480));
    QCOMPARE(dialog.dimmedWidget(), &owner);
    Ui_KvoPreviewPlayer& form = dialog.form();
    QCOMPARE(form.current->text(), QStringLiteral("0:00"));
    QCOMPARE(form.total->text(), QStringLiteral("0:00"));
    // play, pause, elapsed, seek bar, length.
    QCOMPARE(form.horizontalLayout->indexOf(dialog.seekBar()), 3);
    QCOMPARE(form.horizontalLayout->indexOf(form.total), 4);
    QCOMPARE(dialog.seekBar()->maximumHeight(), 27);
    QCOMPARE(dialog.videoPlayer()->parentWidget(), form.videoFrame);
    QVERIFY(!dialog.seekBar()->isEnabled());
    QVERIFY(!dialog.hasFailed());
}

void TestPreview::timeLabels_data()
{
    QTest::addColumn<qint64>("time");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("total");
    QTest::newRow("65 s") << qint64(65000) << qint64(90000) << QStringLiteral("1:05") << QStringLiteral("1:30");
    QTest::newRow("75 min") << qint64(75 * 60000) << qint64(80 * 60000) << QStringLiteral("75:00")
                            << QStringLiteral("80:00");
    QTest::newRow("unknown") << qint64(-1) << qint64(-1) << QStringLiteral("0:00") << QStringLiteral("0:00");
    QTest::newRow("under a second") << qint64(999) << qint64(400) << QStringLiteral("0:00") << QStringLiteral("0:00");
    QTest::newRow("over a day") << qint64(90000000) << qint64(90061000) << QStringLiteral("1500:00")
                                << QStringLiteral("1501:01");
}

void TestPreview::timeLabels()
{
    QFETCH(qint64, time);
    QFETCH(qint64, length);
    QFETCH(QString, current);
    QFETCH(QString, total);
    KvoPreviewPlayer dialog;
    dialog.form().total->setText(QStringLiteral("0:00"));
    QMetaObject::invokeMethod(&dialog, "tick", Q_ARG(qint64, time), Q_ARG(qint64, length));
    QCOMPARE(dialog.form().current->text(), current);
    QCOMPARE(dialog.form().total->text(), total);
}

void TestPreview::openPlayCloseReuse()
{
    KvoPreviewPlayer dialog;
    bool checked = false;
    const int result = runOpen(dialog, QStringLiteral("http://127.0.0.1:1/a.mp4"), [&] {
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_fake.takeCalls(), (QStringList{"openUrl http://127.0.0.1:1/a.mp4", "play"}));
        QVERIFY(busy(dialog));
        QVERIFY(dialog.form().play->isHidden());
        QVERIFY(!dialog.form().pause->isHidden());
        // The first time hides the busy overlay; the picture fills the frame.
        m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 20000}, {E::TimeChanged, 1000}});
        QTRY_VERIFY(!busy(dialog));
        QCOMPARE(dialog.form().total->text(), QStringLiteral("0:20"));
        QCOMPARE(dialog.videoPlayer()->size(), dialog.form().videoFrame->size());
        // A click on the seek bar waits for the next time.
        QVERIFY(dialog.seekBar()->isEnabled());
        dialog.seekBar()->setValue(10);
        QVERIFY(busy(dialog));
        m_fake.inject({{E::TimeChanged, 10000}});
        QTRY_VERIFY(!busy(dialog));
        QCOMPARE(dialog.form().current->text(), QStringLiteral("0:10"));
        // Buffering shows it again until it ends.
        m_fake.inject({{E::Buffering, 40}});
        QTRY_VERIFY(busy(dialog));
        m_fake.inject({{E::Buffering, 100}});
        QTRY_VERIFY(!busy(dialog));
        dialog.form().pause->click();
        QVERIFY(!dialog.form().play->isHidden());
        QVERIFY(dialog.form().pause->isHidden());
        m_fake.takeCalls();
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
    QCOMPARE(result, 2);
    // The engine stops at the next turn of the event loop.
    QStringList calls;
    QTRY_VERIFY((calls += m_fake.takeCalls()).contains(QStringLiteral("stop")));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.size(), QSize(640, 480));

    // The same dialog for the next extract: loaded in place, from its start.
    checked = false;
    const int second = runOpen(dialog, QStringLiteral("http://127.0.0.1:1/b.mp4"), [&] {
        // (The old media is released on a thread of its own, whenever.)
        const QStringList calls = m_fake.takeCalls();
        const qsizetype opened = calls.indexOf(QStringLiteral("openUrl http://127.0.0.1:1/b.mp4"));
        QVERIFY(opened >= 0);
        QVERIFY(calls.lastIndexOf(QStringLiteral("play")) > opened);
        QVERIFY(dialog.form().play->isHidden());
        QVERIFY(!dialog.form().pause->isHidden());
        QVERIFY(busy(dialog));
        // The end shows play again.
        m_fake.inject({{E::Playing, 0}, {E::LengthChanged, 3000}, {E::TimeChanged, 2900}, {E::EndReached, 0}});
        QTRY_VERIFY(!dialog.form().play->isHidden());
        QVERIFY(dialog.form().pause->isHidden());
        QVERIFY(!dialog.hasFailed());
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
    QCOMPARE(second, 2);
}

void TestPreview::unplayableExtracts()
{
    KvoPreviewPlayer dialog;
    // The engine gives up: said at once, and the dialog still closes.
    bool checked = false;
    int result = runOpen(dialog, QStringLiteral("http://127.0.0.1:1/missing.mp4"), [&] {
        m_fake.inject({{E::EncounteredError, 0}});
        QTRY_VERIFY(dialog.hasFailed());
        QVERIFY(!busy(dialog));
        QCOMPARE(dialog.failureText(), QStringLiteral("Cet extrait ne peut pas être lu pour le moment."));
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
    QCOMPARE(result, 2);

    // Nothing comes at all: after the stall time-out. Progress, however
    // slow, keeps it waiting; a pause is no stall.
    KvoPreviewPlayer::setStallTimeout(400);
    checked = false;
    result = runOpen(dialog, QStringLiteral("http://127.0.0.1:1/slow.mp4"), [&] {
        for (int i = 1; i <= 8; ++i) {
            m_fake.inject({{E::TimeChanged, i * 100}});
            QTest::qWait(150);
        }
        QVERIFY(!dialog.hasFailed());
        dialog.pause();
        QTest::qWait(600);
        QVERIFY(!dialog.hasFailed());
        dialog.play();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.hasFailed(), 5000);
        QVERIFY(!busy(dialog));
        QVERIFY(!dialog.form().play->isHidden());
        // Play tries again, with the busy overlay.
        dialog.form().play->click();
        QVERIFY(!dialog.hasFailed());
        QVERIFY(busy(dialog));
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
    QCOMPARE(result, 2);

    // A media that cannot even be made; an end without picture or length.
    m_fake.failOpen = true;
    checked = false;
    runOpen(dialog, QStringLiteral("http://127.0.0.1:1/c.mp4"), [&] {
        QVERIFY(dialog.hasFailed());
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
    m_fake.failOpen = false;
    checked = false;
    runOpen(dialog, QStringLiteral("http://127.0.0.1:1/d.mp4"), [&] {
        QVERIFY(!dialog.hasFailed());
        m_fake.inject({{E::EndReached, 0}});
        QTRY_VERIFY(dialog.hasFailed());
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
}

void TestPreview::realExtractsFromTheService_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("plays");
    QTest::newRow("demo extract") << QString() << true;
    QTest::newRow("redirected") << QStringLiteral("preview_redirect") << true;
    QTest::newRow("served slowly") << QStringLiteral("slow=1500") << true;
    QTest::newRow("404") << QStringLiteral("preview404") << false;
    QTest::newRow("not a video") << QStringLiteral("preview_garbage") << false;
    QTest::newRow("stalls") << QStringLiteral("preview_stall") << false;
    QTest::newRow("cut half-way") << QStringLiteral("preview_short") << true;
    QTest::newRow("refused") << QStringLiteral("refused") << false;
    // A course without an extract, or with an address that is not one.
    QTest::newRow("no address") << QStringLiteral("address=") << false;
    QTest::newRow("not an address") << QStringLiteral("address=rist://x y") << false;
}

void TestPreview::realExtractsFromTheService()
{
    QFETCH(QString, fault);
    QFETCH(bool, plays);
    if (const QString unavailable = useRealEngine(); !unavailable.isEmpty())
        QSKIP(qPrintable(unavailable));
    QVERIFY(m_server->clearFaults());
    QString location = m_server->address() + QStringLiteral("/files/previews/101.mp4");
    if (fault == QLatin1String("refused")) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        location = QStringLiteral("http://127.0.0.1:%1/files/previews/101.mp4").arg(closed.serverPort());
    } else if (fault.startsWith(QLatin1String("address="))) {
        location = fault.mid(8);
    } else if (!fault.isEmpty()) {
        const int eq = int(fault.indexOf(QLatin1Char('=')));
        QVERIFY(eq < 0 ? m_server->setFault(fault) : m_server->setFault(fault.left(eq), fault.mid(eq + 1)));
    }
    KvoPreviewPlayer::setStallTimeout(4000);

    KvoPreviewPlayer dialog;
    bool checked = false;
    const int result = runOpen(dialog, location, [&] {
        if (plays) {
            // Pictures, the length and the time arrive; the busy overlay goes.
            QTRY_VERIFY_WITH_TIMEOUT(dialog.videoPlayer()->hasPicture(), 15000);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.form().total->text() != QLatin1String("0:00"), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(!busy(dialog), 10000);
            QVERIFY(!dialog.hasFailed());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(dialog.hasFailed(), 15000);
            QVERIFY(!busy(dialog));
            // A stream that stalls part-way may have shown its first pictures.
            if (fault != QLatin1String("preview_stall"))
                QVERIFY(!dialog.videoPlayer()->hasPicture());
        }
        checked = true;
        dialog.exitButton()->click();
    });
    QVERIFY(checked);
    QCOMPARE(result, 2);
    if (fault.startsWith(QLatin1String("address=")))
        QVERIFY(!dialog.videoPlayer()->isLoaded()); // never handed to the engine
    else
        QTRY_COMPARE(dialog.videoPlayer()->state(), int(KvoVideoPlayer::Stopped));
    KvoVideoBackend::setInstance(&m_fake);
}

void TestPreview::realDialogReusedForEveryExtract()
{
    // One dialog, extract after extract as a catalogue page plays them:
    // each new one replaces the last (released off the GUI thread) while
    // its engine may still report.
    if (const QString unavailable = useRealEngine(); !unavailable.isEmpty())
        QSKIP(qPrintable(unavailable));
    QVERIFY(m_server->clearFaults());
    KvoPreviewPlayer dialog;
    for (int course : {101, 102, 101, 103, 104, 104, 102, 105, 103, 101, 106, 104}) {
        bool painted = false;
        const int result = runOpen(dialog, m_server->address() + QStringLiteral("/files/previews/%1.mp4").arg(course),
                                   [&] {
                                       const quint64 before = dialog.videoPlayer()->framesPainted();
                                       painted = QTest::qWaitFor(
                                           [&] { return dialog.videoPlayer()->framesPainted() > before; }, 15000);
                                       // Playing on a little, as a user watches.
                                       QTest::qWait(300);
                                       dialog.exitButton()->click();
                                   });
        QVERIFY2(painted, qPrintable(QString::number(course)));
        QCOMPARE(result, 2);
        QVERIFY(!dialog.hasFailed());
    }
    KvoVideoBackend::setInstance(&m_fake);
}

void TestPreview::realFailedExtractShowsNothingOfTheLast()
{
    // An extract the service no longer has (404) after one that played, in
    // the same dialog: first at the address that played, then at another.
    // Neither failure shows the picture or the times of the extract before.
    if (const QString unavailable = useRealEngine(); !unavailable.isEmpty())
        QSKIP(qPrintable(unavailable));
    KvoPreviewPlayer::setStallTimeout(4000);
    KvoPreviewPlayer dialog;
    const QString played = m_server->address() + QStringLiteral("/files/previews/101.mp4");
    for (const QString& failing : {played, m_server->address() + QStringLiteral("/files/previews/102.mp4")}) {
        QVERIFY(m_server->clearFaults());
        bool shown = false;
        runOpen(dialog, played, [&] {
            shown = QTest::qWaitFor(
                [&] {
                    return dialog.videoPlayer()->hasPicture() && dialog.form().total->text() != QLatin1String("0:00");
                },
                15000);
            dialog.exitButton()->click();
        });
        QVERIFY(shown);
        QVERIFY(!showsNoPicture(dialog.videoPlayer()));

        QVERIFY(m_server->setFault(QStringLiteral("preview404")));
        bool failed = false;
        QString times;
        bool black = false;
        runOpen(dialog, failing, [&] {
            failed = QTest::qWaitFor([&] { return dialog.hasFailed(); }, 15000);
            times = dialog.form().current->text() + QLatin1String(" / ") + dialog.form().total->text();
            black = showsNoPicture(dialog.videoPlayer());
            dialog.exitButton()->click();
        });
        QVERIFY2(failed, qPrintable(failing));
        QCOMPARE(times, QStringLiteral("0:00 / 0:00"));
        QVERIFY2(black, qPrintable(failing));
    }
    KvoVideoBackend::setInstance(&m_fake);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
