// The control-bar sliders and the title overlay of the player.

#include "KvoScreenshots.h"
#include "KvoSliderPosition.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoTitle.h"
#include "KvoVideoVolumeSlider.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <climits>

namespace {

// Mouse events sent as the window system would, with the button state
// that drags need (a move carries the held buttons).
void press(QWidget* w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(QEvent::MouseButtonPress, pos, w->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void move(QWidget* w, QPoint pos, Qt::MouseButtons held = Qt::LeftButton)
{
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void release(QWidget* w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(QEvent::MouseButtonRelease, pos, w->mapToGlobal(pos), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    press(w, pos, button);
    release(w, pos, button);
}

// A seek bar 400 px wide on the range 0..400 s, shown, at the given second.
void prepare(KvoVideoSeeker& seeker, qint64 atMs = 0)
{
    seeker.resize(400, 20);
    seeker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&seeker));
    seeker.setTimes(atMs, 400000);
}

QList<int> values(const QSignalSpy& spy)
{
    QList<int> out;
    for (const auto& args : spy)
        out << args.at(0).toInt();
    return out;
}

int fadeSteps(KvoVideoTitle& title, int max)
{
    int steps = 0;
    while (title.isVisible() && steps < max) {
        QMetaObject::invokeMethod(&title, "onTimeout");
        ++steps;
    }
    return steps;
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void positionOfPress_data();
    void positionOfPress();

    void seekerTimes_data();
    void seekerTimes();
    void seekerClick_data();
    void seekerClick();
    void seekerIgnoredPresses();
    void seekerDrag();
    void seekerLengthChangesDuringDrag_data();
    void seekerLengthChangesDuringDrag();
    void seekerDisabledDuringDrag();
    void seekerKeepsClickWithOtherStyleSheet();

    void volumeLook();
    void volumeClick_data();
    void volumeClick();
    void volumeSilentValues();

    void titleForm();
    void titleFade();
    void titleRestartsDuringFade();
    void titleStaysOpen();
    void titleText_data();
    void titleText();
    void titleFadesOnItsOwn();

    void screenshots();
};

void TestControls::positionOfPress_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("expected"); // -1: no value

    const int h = Qt::Horizontal, v = Qt::Vertical;
    QTest::newRow("quarter") << h << 0 << 400 << QPoint(100, 5) << QSize(400, 20) << 100;
    QTest::newRow("left edge") << h << 0 << 400 << QPoint(0, 5) << QSize(400, 20) << 0;
    QTest::newRow("right edge") << h << 0 << 400 << QPoint(400, 5) << QSize(400, 20) << 400;
    QTest::newRow("past the end") << h << 0 << 400 << QPoint(450, 5) << QSize(400, 20) << 400;
    QTest::newRow("before the start") << h << 0 << 400 << QPoint(-7, 5) << QSize(400, 20) << 0;
    QTest::newRow("truncated") << h << 0 << 100 << QPoint(69, 5) << QSize(70, 20) << 98;
    QTest::newRow("offset range") << h << 10 << 20 << QPoint(50, 5) << QSize(100, 20) << 15;
    QTest::newRow("empty range") << h << 0 << 0 << QPoint(50, 5) << QSize(100, 20) << 0;
    QTest::newRow("zero width") << h << 0 << 400 << QPoint(0, 5) << QSize(0, 20) << -1;
    QTest::newRow("no overflow") << h << 0 << INT_MAX << QPoint(1000, 5) << QSize(2000, 20) << INT_MAX / 2;
    QTest::newRow("vertical top") << v << 0 << 100 << QPoint(5, 0) << QSize(20, 200) << 100;
    QTest::newRow("vertical bottom") << v << 0 << 100 << QPoint(5, 200) << QSize(20, 200) << 0;
    QTest::newRow("vertical quarter") << v << 0 << 100 << QPoint(5, 150) << QSize(20, 200) << 25;
    QTest::newRow("zero height") << v << 0 << 100 << QPoint(5, 0) << QSize(20, 0) << -1;
}

void TestControls::positionOfPress()
{
    QFETCH(int, orientation);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(QPoint, pos);
    QFETCH(QSize, size);
    QFETCH(int, expected);

    const auto value = KvoSliderPosition::valueAt(Qt::Orientation(orientation), minimum, maximum, pos, size);
    if (expected < 0) {
        QVERIFY(!value);
    } else {
        QVERIFY(value);
        QCOMPARE(*value, expected);
    }
}

void TestControls::seekerTimes_data()
{
    QTest::addColumn<qint64>("time");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");

    QTest::newRow("start") << qint64(0) << qint64(61500) << true << 61 << 0;
    QTest::newRow("59 s") << qint64(59999) << qint64(120000) << true << 120 << 59;
    QTest::newRow("over an hour") << qint64(3723000) << qint64(7200000) << true << 7200 << 3723;
    QTest::newRow("at the end") << qint64(61500) << qint64(61500) << true << 61 << 61;
    QTest::newRow("past the end") << qint64(70000) << qint64(61500) << true << 61 << 61;
    QTest::newRow("negative time") << qint64(-3000) << qint64(61500) << true << 61 << 0;
    QTest::newRow("length unknown") << qint64(5000) << qint64(-1) << false << 0 << 0;
    QTest::newRow("other negative length") << qint64(5000) << qint64(-5000) << false << 0 << 0;
    QTest::newRow("zero length") << qint64(0) << qint64(0) << true << 0 << 0;
    QTest::newRow("under a second") << qint64(400) << qint64(999) << true << 0 << 0;
    QTest::newRow("beyond int seconds") << qint64(1) << std::numeric_limits<qint64>::max() << true << INT_MAX << 0;
}

void TestControls::seekerTimes()
{
    QFETCH(qint64, time);
    QFETCH(qint64, length);
    QFETCH(bool, enabled);
    QFETCH(int, maximum);
    QFETCH(int, value);

    KvoVideoSeeker seeker(nullptr);
    seeker.setTimes(30000, 120000); // somewhere else first
    QSignalSpy changed(&seeker, &QSlider::valueChanged);
    QSignalSpy range(&seeker, &QSlider::rangeChanged);

    seeker.setTimes(time, length);
    QCOMPARE(seeker.isEnabled(), enabled);
    QCOMPARE(seeker.minimum(), 0);
    QCOMPARE(seeker.maximum(), maximum);
    QCOMPARE(seeker.value(), value);
    // An update from the player never comes back as a seek.
    QCOMPARE(changed.count(), 0);
    QCOMPARE(range.count(), 0);
}

void TestControls::seekerClick_data()
{
    QTest::addColumn<qint64>("startMs");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("expected");

    QTest::newRow("quarter") << qint64(0) << 100 << 100;
    QTest::newRow("left edge") << qint64(200000) << 0 << 0;
    QTest::newRow("right edge") << qint64(0) << 399 << 399;
    QTest::newRow("middle backwards") << qint64(350000) << 200 << 200;
    QTest::newRow("near the handle") << qint64(100000) << 104 << 104;
}

void TestControls::seekerClick()
{
    QFETCH(qint64, startMs);
    QFETCH(int, x);
    QFETCH(int, expected);

    KvoVideoSeeker seeker(nullptr);
    prepare(seeker, startMs);
    QSignalSpy changed(&seeker, &QSlider::valueChanged);
    QSignalSpy pressed(&seeker, &QSlider::sliderPressed);
    QSignalSpy released(&seeker, &QSlider::sliderReleased);

    click(&seeker, QPoint(x, 10));
    QCOMPARE(seeker.value(), expected);
    // One seek, to the pressed place; none on the release.
    QCOMPARE(values(changed), QList<int>{expected});
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(released.count(), 1);
    QVERIFY(!seeker.isSliderDown());
}

void TestControls::seekerIgnoredPresses()
{
    KvoVideoSeeker seeker(nullptr);
    prepare(seeker, 50000);
    QSignalSpy changed(&seeker, &QSlider::valueChanged);

    // A right click does what the slider does with it: nothing.
    click(&seeker, QPoint(300, 10), Qt::RightButton);
    QCOMPARE(seeker.value(), 50);

    // Disabled while no length is known.
    seeker.setTimes(5000, -1);
    click(&seeker, QPoint(300, 10));
    QCOMPARE(seeker.value(), 0);

    // Enabled with nothing to seek into.
    seeker.setTimes(0, 0);
    QVERIFY(seeker.isEnabled());
    click(&seeker, QPoint(300, 10));
    QCOMPARE(seeker.value(), 0);
    QVERIFY(!seeker.isSliderDown());

    // A bar that was never laid out.
    seeker.setTimes(0, 400000);
    seeker.resize(0, 20);
    click(&seeker, QPoint(0, 10));
    QCOMPARE(seeker.value(), 0);

    QCOMPARE(changed.count(), 0);
}

void TestControls::seekerDrag()
{
    KvoVideoSeeker seeker(nullptr);
    prepare(seeker);
    QSignalSpy changed(&seeker, &QSlider::valueChanged);

    press(&seeker, QPoint(100, 10));
    QVERIFY(seeker.isSliderDown());
    QCOMPARE(values(changed), QList<int>{100});

    // The player's ticks do not fight the drag.
    seeker.setTimes(20000, 400000);
    QCOMPARE(seeker.value(), 100);

    move(&seeker, QPoint(300, 10));
    QCOMPARE(changed.count(), 2);
    const int dragged = changed.last().at(0).toInt();
    QVERIFY2(qAbs(dragged - 300) <= 4, qPrintable(QString::number(dragged)));
    QCOMPARE(seeker.value(), dragged);

    release(&seeker, QPoint(300, 10));
    QVERIFY(!seeker.isSliderDown());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(seeker.value(), dragged);

    // Let go: the player's updates reach the bar again.
    seeker.setTimes(20000, 400000);
    QCOMPARE(seeker.value(), 20);
    QCOMPARE(changed.count(), 2);
}

void TestControls::seekerLengthChangesDuringDrag_data()
{
    QTest::addColumn<qint64>("newLength");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");

    QTest::newRow("shorter media") << qint64(100000) << true << 100 << 100;
    QTest::newRow("longer media") << qint64(900000) << true << 900 << 300;
    QTest::newRow("unknown length") << qint64(-1) << false << 0 << 0;
}

void TestControls::seekerLengthChangesDuringDrag()
{
    QFETCH(qint64, newLength);
    QFETCH(bool, enabled);
    QFETCH(int, maximum);
    QFETCH(int, value);

    KvoVideoSeeker seeker(nullptr);
    prepare(seeker);
    press(&seeker, QPoint(300, 10));
    QCOMPARE(seeker.value(), 300);

    seeker.setTimes(0, newLength);
    QCOMPARE(seeker.maximum(), 400);

    QSignalSpy changed(&seeker, &QSlider::valueChanged);
    release(&seeker, QPoint(300, 10));
    // The length reported meanwhile is not lost with the skipped update.
    QCOMPARE(seeker.isEnabled(), enabled);
    QCOMPARE(seeker.maximum(), maximum);
    QCOMPARE(seeker.value(), value);
    QCOMPARE(changed.count(), 0);
}

void TestControls::seekerDisabledDuringDrag()
{
    KvoVideoSeeker seeker(nullptr);
    prepare(seeker);
    press(&seeker, QPoint(300, 10));
    seeker.setTimes(0, 50000); // kept for the release

    // The player opens another media: the bar is disabled mid-drag and the
    // release never arrives.
    seeker.setEnabled(false);
    QVERIFY(!seeker.isSliderDown());
    QVERIFY(!seeker.isEnabled()); // the stale length did not enable it again
    release(&seeker, QPoint(300, 10));

    seeker.setTimes(0, 61500);
    QVERIFY(seeker.isEnabled());
    QCOMPARE(seeker.maximum(), 61);
    QCOMPARE(seeker.value(), 0);
}

void TestControls::seekerKeepsClickWithOtherStyleSheet()
{
    // The preview player gives its bar a larger handle.
    KvoVideoSeeker seeker(nullptr);
    seeker.setStyleSheet(QStringLiteral(
        "QSlider::groove:horizontal {height:2px;background-color:#292b31;}"
        "QSlider::handle:horizontal {background-color:#ffffff;width: 10px;margin: -4px 0px -4px 0px;"
        "border-radius: 5px;}QSlider::sub-page:horizontal {background-color: #d63d7b;}QSlider{margin-top:1px;}"));
    prepare(seeker);
    QSignalSpy changed(&seeker, &QSlider::valueChanged);
    press(&seeker, QPoint(100, 10));
    QCOMPARE(values(changed), QList<int>{100});
    QVERIFY(seeker.isSliderDown());
    release(&seeker, QPoint(100, 10));
}

void TestControls::volumeLook()
{
    // Full volume until the stored one is loaded, in libvlc's range.
    KvoVideoVolumeSlider slider(nullptr);
    QCOMPARE(slider.minimum(), 0);
    QCOMPARE(slider.maximum(), 100);
    QCOMPARE(slider.value(), 100);
    QCOMPARE(slider.width(), 70);
}

void TestControls::volumeClick_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("expected");

    QTest::newRow("middle") << 35 << 50;
    QTest::newRow("left edge") << 0 << 0;
    QTest::newRow("right edge") << 69 << 98;
    QTest::newRow("quarter") << 17 << 24;
}

void TestControls::volumeClick()
{
    QFETCH(int, x);
    QFETCH(int, expected);

    KvoVideoVolumeSlider slider(nullptr);
    slider.resize(70, 20);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QSignalSpy changed(&slider, &QSlider::valueChanged);

    press(&slider, QPoint(x, 10));
    QVERIFY(slider.isSliderDown()); // a drag can follow
    release(&slider, QPoint(x, 10));
    QCOMPARE(slider.value(), expected);
    QCOMPARE(values(changed), QList<int>{expected});

    // A right click leaves the volume alone.
    click(&slider, QPoint(60, 10), Qt::RightButton);
    QCOMPARE(slider.value(), expected);
    QCOMPARE(changed.count(), 1);
}

void TestControls::volumeSilentValues()
{
    KvoVideoVolumeSlider slider(nullptr);
    slider.resize(70, 20);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QSignalSpy changed(&slider, &QSlider::valueChanged);

    click(&slider, QPoint(42, 10));
    QCOMPARE(slider.value(), 60);
    QCOMPARE(changed.count(), 1);

    // Mute shows 0 and unmute the volume again, neither reaching libvlc.
    slider.setValueSilently(0);
    QCOMPARE(slider.value(), 0);
    slider.setValueSilently(60);
    QCOMPARE(slider.value(), 60);
    QCOMPARE(changed.count(), 1);

    // Kept within libvlc's range.
    slider.setValueSilently(150);
    QCOMPARE(slider.value(), 100);
    slider.setValueSilently(-5);
    QCOMPARE(slider.value(), 0);
    QCOMPARE(changed.count(), 1);

    // The user is heard again after silent changes.
    click(&slider, QPoint(35, 10));
    QCOMPARE(values(changed), (QList<int>{60, 50}));
}

void TestControls::titleForm()
{
    QWidget player;
    player.resize(800, 450);
    KvoVideoTitle title(&player);

    QVERIFY(title.isHidden());
    // Never takes the keyboard from the player's window.
    QVERIFY(title.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(title.testAttribute(Qt::WA_ShowWithoutActivating));

    auto* label = title.findChild<QLabel*>(QStringLiteral("label"));
    auto* left = title.findChild<QLabel*>(QStringLiteral("left"));
    auto* right = title.findChild<QLabel*>(QStringLiteral("right"));
    QVERIFY(label && left && right);
    QCOMPARE(label->font().family(), QStringLiteral("Arial"));
    QCOMPARE(label->font().pixelSize(), 23);
    // The rounded ends come from the compiled-in images.
    QVERIFY(!left->pixmap().isNull());
    QVERIFY(!right->pixmap().isNull());
    QCOMPARE(left->pixmap().height(), 61);
}

void TestControls::titleFade()
{
    KvoVideoTitle title(nullptr);
    auto* timer = title.findChild<QTimer*>();
    QVERIFY(timer);

    title.setText(QStringLiteral("Les calques"));
    title.show();
    QVERIFY(title.isVisible());
    QCOMPARE(title.windowOpacity(), 1.0);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 2000);

    // Ten steps leave a remainder above zero; the eleventh hides it.
    QCOMPARE(fadeSteps(title, 10), 10);
    QVERIFY(title.isVisible());
    QCOMPARE(timer->interval(), 50);
    QVERIFY(timer->isActive());
    QVERIFY(title.windowOpacity() < 0.05);

    QCOMPARE(fadeSteps(title, 5), 1);
    QVERIFY(!title.isVisible());
    QVERIFY(!timer->isActive());
}

void TestControls::titleRestartsDuringFade()
{
    KvoVideoTitle title(nullptr);
    auto* timer = title.findChild<QTimer*>();
    title.setText(QStringLiteral("Les calques"));
    title.display();
    QCOMPARE(fadeSteps(title, 5), 5);
    QVERIFY(title.windowOpacity() < 0.6);

    title.display();
    QCOMPARE(title.windowOpacity(), 1.0);
    QCOMPARE(timer->interval(), 2000);
    QVERIFY(timer->isActive());
    QCOMPARE(fadeSteps(title, 20), 11);
}

void TestControls::titleStaysOpen()
{
    KvoVideoTitle title(nullptr);
    title.setText(QStringLiteral("Les calques"));
    title.show();
    QVERIFY(QTest::qWaitForWindowExposed(&title));

    QVERIFY(!title.close());
    QVERIFY(title.isVisible());
    QTest::keyClick(&title, Qt::Key_Escape);
    QVERIFY(title.isVisible());
    QCOMPARE(title.result(), 0);
}

void TestControls::titleText_data()
{
    QTest::addColumn<int>("playerWidth"); // 0: no player
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shortened");

    const QString longTitle = QStringLiteral(
        "Chapitre 12 - Retouche avancée des portraits en studio avec les calques de réglage et les masques");
    QTest::newRow("short") << 800 << QStringLiteral("Les calques") << false;
    QTest::newRow("markup shown as typed") << 800 << QStringLiteral("<b>Les balises</b> &amp; <div>") << false;
    QTest::newRow("long in a small player") << 300 << longTitle << true;
    QTest::newRow("long in a wide player") << 4000 << longTitle << false;
    QTest::newRow("long without player") << 0 << longTitle << false;
    QTest::newRow("empty") << 800 << QString() << false;
}

void TestControls::titleText()
{
    QFETCH(int, playerWidth);
    QFETCH(QString, text);
    QFETCH(bool, shortened);

    QWidget player;
    player.resize(playerWidth, 300);
    KvoVideoTitle title(playerWidth > 0 ? &player : nullptr);
    auto* label = title.findChild<QLabel*>(QStringLiteral("label"));

    title.setText(text);
    QVERIFY(title.isVisible());
    QCOMPARE(title.text(), text);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(title.height(), 61);
    if (shortened) {
        QVERIFY(label->text().endsWith(QChar(0x2026)));
        QVERIFY(label->text().length() < text.length());
        QVERIFY2(title.width() <= playerWidth, qPrintable(QString::number(title.width())));
    } else {
        QCOMPARE(label->text(), text);
    }
    // The overlay is sized to its text.
    QVERIFY(title.width() >= QFontMetrics(label->font()).horizontalAdvance(label->text()) + 20);
}

void TestControls::titleFadesOnItsOwn()
{
    KvoVideoTitle title(nullptr);
    title.setText(QStringLiteral("Les calques"));
    title.show();
    QTRY_VERIFY_WITH_TIMEOUT(!title.isVisible(), 10000);
}

// Saves the picture as it is and three times larger, for the eye.
static bool saveShot(const QImage& image, const QString& name)
{
    return KvoScreenshots::save(image, name)
           && KvoScreenshots::save(image.scaled(image.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation),
                                   name + QStringLiteral("_x3"));
}

// Pictures of the controls over the player's dark bar (see KvoScreenshots);
// looked at by people, not compared.
void TestControls::screenshots()
{
    if (!KvoScreenshots::enabled())
        QSKIP(KvoScreenshots::OffReason);

    QWidget bar;
    bar.setStyleSheet(QStringLiteral("background-color:#1b1c20;"));
    bar.resize(420, 24);
    KvoVideoSeeker seeker(&bar);
    seeker.setGeometry(10, 0, 400, 24);
    KvoVideoVolumeSlider volume(&bar);
    volume.hide();
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    const QList<qint64> times{0, 100000, 200000, 400000};
    for (qint64 t : times) {
        seeker.setTimes(t, 400000);
        QVERIFY(saveShot(bar.grab().toImage(), QStringLiteral("seeker_%1").arg(t / 1000)));
    }
    seeker.setTimes(5000, -1);
    QVERIFY(saveShot(bar.grab().toImage(), QStringLiteral("seeker_unknown")));

    seeker.hide();
    volume.setGeometry(10, 0, 70, 24);
    volume.show();
    for (int v : {0, 60, 100}) {
        volume.setValueSilently(v);
        QVERIFY(saveShot(bar.grab(QRect(0, 0, 90, 24)).toImage(), QStringLiteral("volume_%1").arg(v)));
    }

    QWidget player;
    player.resize(640, 120);
    const QList<QString> titles{QStringLiteral("Les calques de réglage"),
                                QStringLiteral("Chapitre 12 - Retouche avancée des portraits en studio avec les "
                                               "calques de réglage et les masques")};
    int n = 0;
    for (const QString& text : titles) {
        KvoVideoTitle title(&player);
        title.setText(text);
        title.show();
        QVERIFY(QTest::qWaitForWindowExposed(&title));
        QImage back(player.width(), 100, QImage::Format_ARGB32_Premultiplied);
        back.fill(QColor(0x20, 0x30, 0x48));
        QPainter p(&back);
        p.drawPixmap(0, 100 - title.height(), title.grab());
        p.end();
        QVERIFY(KvoScreenshots::save(back, QStringLiteral("title_%1").arg(++n)));
    }
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
