// Toolkit widgets: progress bar, buttons, clickable label, the double-click
// guard, position badge, rating stars, the asynchronous image and the
// floating frame.
#include "KvoFakeHttpServer.h"
#include "KvoHand.h"
#include "KvoScreenshots.h"

#include "KvoAsyncImage.h"
#include "KvoButton.h"
#include "KvoClickableLabel.h"
#include "KvoDoubleClickGuard.h"
#include "KvoEnvironment.h"
#include "KvoFloatingFrame.h"
#include "KvoMarkWidget.h"
#include "KvoOpacityAnimation.h"
#include "KvoProgressBar.h"
#include "KvoStarMarkWidget.h"
#include "KvoTestSupport.h"
#include "KvoTopPosNumber.h"

#include <QBuffer>
#include <QDir>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

QByteArray pngBytes(int width, int height)
{
    // Left half red, right half green: a stretched copy keeps both halves.
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(width / 2, 0, width - width / 2, height, Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage iconImage(const QAbstractButton& button)
{
    return button.icon().pixmap(button.iconSize()).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage defaultPicture(const QSize& size)
{
    return QPixmap(QStringLiteral(":/KvoMainWindow/Resources/defaut.jpg"))
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

bool near(QRgb a, QColor b, int tolerance = 2)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
           && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                      buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void sendEnter(QWidget* widget)
{
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(widget, &event);
}

void sendLeave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

// An answer with a body the server does not finish: half of it, then the
// connection closes (with the full length announced, or no length at all)
// or stays open.
KvoFakeHttpServer::Reply halfOf(const QByteArray& body, bool announceLength, bool close)
{
    return KvoFakeHttpServer::Reply::half(200, body, "image/png", announceLength, close);
}

class CountingPlugin : public KvoAsyncImage::DrawingPlugin
{
public:
    CountingPlugin(int* draws, bool* deleted) : m_draws(draws), m_deleted(deleted) {}
    ~CountingPlugin() override { *m_deleted = true; }
    void draw(QPixmap& pixmap) override
    {
        ++*m_draws;
        QPainter(&pixmap).fillRect(0, pixmap.height() - 10, 20, 10, QColor(0, 0, 255));
    }

private:
    int* m_draws;
    bool* m_deleted;
};

// Counts the mouse events that reach it (those its children leave to it).
class MouseCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;
    int releases = 0;
    int doubles = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void mouseReleaseEvent(QMouseEvent*) override { ++releases; }
    void mouseDoubleClickEvent(QMouseEvent*) override { ++doubles; }
};

} // namespace

class TestToolkit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void progressBarPaint_data();
    void progressBarPaint();
    void progressBarPartialRepaint();
    void progressBarLinks();

    void buttonIcons();
    void clickableLabel_data();
    void clickableLabel();
    void clickableLabelKeepsPress();
    void doubleClickGuard();
    void topPosNumber_data();
    void topPosNumber();

    void markBands_data();
    void markBands();
    void markHoverClickLeave();
    void markBounds();
    void starMarkPaint_data();
    void starMarkPaint();

    void cacheFileNames();
    void asyncCachedCopyWithoutRequest();
    void asyncDownloadAndPlugin();
    void asyncFailures_data();
    void asyncFailures();
    void asyncBrokenCacheFetchedOnce();
    void asyncSameAddressTwice();
    void asyncDeletedMidDownload();
    void asyncSecondUrlLeavesFirst();
    void asyncSetImageKeepsForeignFile();

    void floatingFrameList();
    void floatingFrameCentring();
    void floatingFrameAnimatedClose();

    void screenshots();

private:
    QString url(const QString& name) const { return m_base + QStringLiteral("/img/") + name; }
    QString cached(const QString& name) const { return KvoEnvironment::cachePath() + QLatin1Char('/') + name; }
    QStringList cacheEntries() const { return QDir(KvoEnvironment::cachePath()).entryList(QDir::Files); }

    KvoTestHome m_home;
    QHttpServer m_server;
    QString m_base;
    QHash<QString, int> m_requests;
    QByteArray m_png = pngBytes(300, 200);
};

void TestToolkit::initTestCase()
{
    KvoEnvironment::init();
    auto serve = [this](const QString& name, const QByteArray& type, const QByteArray& body,
                        QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok) {
        m_server.route(QStringLiteral("/img/") + name, [this, name, type, body, status](const QHttpServerRequest&) {
            ++m_requests[name];
            return QHttpServerResponse(type, body, status);
        });
    };
    serve(QStringLiteral("pic.png"), "image/png", m_png);
    serve(QStringLiteral("other.png"), "image/png", pngBytes(40, 40));
    serve(QStringLiteral("broken.png"), "image/png", m_png);
    serve(QStringLiteral("html.png"), "text/html", "<html><body>Portail Wi-Fi</body></html>");
    serve(QStringLiteral("empty.png"), "image/png", QByteArray());
    serve(QStringLiteral("missing.png"), "text/html", "<html>Not found</html>",
          QHttpServerResponse::StatusCode::NotFound);
    const quint16 port = m_server.listen(QHostAddress::LocalHost, 0);
    QVERIFY(port != 0);
    m_base = QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void TestToolkit::init()
{
    m_requests.clear();
    QDir cache(KvoEnvironment::cachePath());
    for (const QString& file : cache.entryList(QDir::Files))
        cache.remove(file);
}

// ---------------------------------------------------------------- progress

void TestToolkit::progressBarPaint_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("lit");
    QTest::addColumn<double>("edgeOpacity");
    QTest::newRow("0") << 0 << 0 << 0.0;
    QTest::newRow("50") << 50 << 12 << 0.5;
    QTest::newRow("99") << 99 << 24 << 0.75;
    QTest::newRow("100") << 100 << 25 << 0.0;
    QTest::newRow("beyond") << 180 << 25 << 0.0;
    QTest::newRow("negative") << -7 << 0 << 0.0;
}

void TestToolkit::progressBarPaint()
{
    QFETCH(int, value);
    QFETCH(int, lit);
    QFETCH(double, edgeOpacity);
    KvoProgressBar bar(nullptr);
    QCOMPARE(bar.size(), QSize(116, 19));
    bar.setValue(value);
    QCOMPARE(bar.shownValue(), value);
    const QImage image = bar.grab().toImage();
    const QColor background(36, 39, 50);
    for (int i = 0; i < 25; ++i) {
        const QColor colour(105 + 4 * i, 32 + i, 61 + 2 * i);
        QColor expected = background;
        if (i < lit)
            expected = colour;
        else if (i == lit)
            expected = QColor(qRound(background.red() + (colour.red() - background.red()) * edgeOpacity),
                              qRound(background.green() + (colour.green() - background.green()) * edgeOpacity),
                              qRound(background.blue() + (colour.blue() - background.blue()) * edgeOpacity));
        for (QPoint p : {QPoint(8 + 4 * i, 6), QPoint(9 + 4 * i, 12)})
            QVERIFY2(near(image.pixel(p), expected),
                     qPrintable(QStringLiteral("segment %1: %2 instead of %3")
                                    .arg(i).arg(QColor(image.pixel(p)).name(), expected.name())));
        QVERIFY(!near(image.pixel(8 + 4 * i, 5), colour, 0) || i >= lit); // nothing above the segment
    }
    if (lit == 25)
        QVERIFY(near(image.pixel(8 + 4 * 24, 8), QColor(201, 56, 109), 0));
}

void TestToolkit::progressBarPartialRepaint()
{
    // A repaint of part of the bar (a tooltip moved away) must put the
    // segments where the whole bar has them.
    KvoProgressBar bar(nullptr);
    bar.setValue(60);
    const QImage whole = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage part(bar.size(), QImage::Format_RGB32);
    part.fill(Qt::white);
    const QRect region(40, 0, 50, 19);
    bar.render(&part, region.topLeft(), QRegion(region));
    for (int x = region.left(); x <= region.right(); ++x)
        QCOMPARE(QColor(part.pixel(x, 9)).name(), QColor(whole.pixel(x, 9)).name());
}

void TestToolkit::progressBarLinks()
{
    KvoProgressBar y(nullptr), x(nullptr), z(nullptr);
    QVERIFY(x.link(&y));
    QCOMPARE(y.follower(), &x);
    QCOMPARE(x.source(), &y);
    y.setValue(40);
    QCOMPARE(x.shownValue(), 40);
    x.setValue(70);
    QCOMPARE(y.shownValue(), 40);

    // Z follows X: Y's value goes to Z, then X, then Y.
    QVERIFY(z.link(&x));
    QStringList order;
    for (auto [bar, name] : {std::pair{&x, "x"}, {&y, "y"}, {&z, "z"}})
        connect(bar, &QProgressBar::valueChanged, this, [&order, name = name] { order << QLatin1String(name); });
    y.setValue(30);
    QCOMPARE(order, (QStringList{"z", "x", "y"}));

    // No loops: values would go round for ever.
    QVERIFY(!y.link(&z));
    QVERIFY(!y.link(&y));
    QCOMPARE(y.source(), nullptr);

    x.unlink();
    y.setValue(10);
    QCOMPARE(x.shownValue(), 30);
    QCOMPARE(y.follower(), nullptr);

    // A second follower replaces the first; the first one's unlink then
    // leaves the new link alone.
    KvoProgressBar w(nullptr);
    QVERIFY(x.link(&y));
    QVERIFY(w.link(&y));
    QCOMPARE(x.source(), nullptr);
    x.unlink();
    QCOMPARE(y.follower(), &w);

    // A follower destroyed without unlink leaves no dangling link behind.
    {
        KvoProgressBar gone(nullptr);
        gone.link(&w);
    }
    QCOMPARE(w.follower(), nullptr);
    y.setValue(55);
    QCOMPARE(w.shownValue(), 55);
}

// ------------------------------------------------------- buttons and label

void TestToolkit::buttonIcons()
{
    KvoButton button(nullptr);
    sendEnter(&button);
    QVERIFY(button.icon().isNull());
    sendLeave(&button);
    QVERIFY(button.icon().isNull());

    const QIcon normal(QStringLiteral(":/KvoMainWindow/Resources/delete_in.png"));
    const QIcon hover(QStringLiteral(":/KvoMainWindow/Resources/delete_fave.png"));
    sendEnter(&button);
    button.setIcons(normal, hover); // pointer over the button: still the normal icon
    QCOMPARE(button.icon().cacheKey(), normal.cacheKey());
    sendLeave(&button);
    QCOMPARE(button.icon().cacheKey(), normal.cacheKey());
    sendEnter(&button);
    QCOMPARE(button.icon().cacheKey(), hover.cacheKey());
    sendLeave(&button);
    QCOMPARE(button.icon().cacheKey(), normal.cacheKey());
}

void TestToolkit::clickableLabel_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("emits");
    QTest::newRow("(1,1)") << QPoint(1, 1) << true;
    QTest::newRow("inside") << QPoint(50, 15) << true;
    QTest::newRow("last pixel") << QPoint(99, 29) << true;
    QTest::newRow("left column") << QPoint(0, 15) << false;
    QTest::newRow("top row") << QPoint(50, 0) << false;
    QTest::newRow("right edge") << QPoint(100, 15) << false;
    QTest::newRow("bottom edge") << QPoint(50, 30) << false;
    QTest::newRow("dragged out") << QPoint(-20, 40) << false;
}

void TestToolkit::clickableLabel()
{
    QFETCH(QPoint, at);
    QFETCH(bool, emits);
    KvoClickableLabel label(QStringLiteral("Lien"));
    label.resize(100, 30);
    QSignalSpy clicked(&label, &KvoClickableLabel::clicked);
    sendMouse(&label, QEvent::MouseButtonPress, QPoint(50, 15));
    sendMouse(&label, QEvent::MouseButtonRelease, at);
    QCOMPARE(clicked.count(), emits ? 1 : 0);
}

void TestToolkit::clickableLabelKeepsPress()
{
    MouseCounter parent;
    auto* label = new KvoClickableLabel(&parent);
    label->setGeometry(10, 10, 100, 30);
    parent.resize(200, 100);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy clicked(label, &KvoClickableLabel::clicked);
    QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(parent.presses, 0);
}

void TestToolkit::doubleClickGuard()
{
    KvoDoubleClickGuard::install();
    // Two pages: a click on "Ouvrir" shows the second, whose button stands
    // where "Ouvrir" stood.
    QWidget window;
    window.resize(400, 220);
    auto* stack = new QStackedWidget(&window);
    stack->setGeometry(0, 0, 400, 220);
    auto* first = new QWidget;
    auto* second = new QWidget;
    stack->addWidget(first);
    stack->addWidget(second);
    auto* opener = new QPushButton(QStringLiteral("Ouvrir"), first);
    opener->setGeometry(10, 10, 100, 30);
    // A widget that reads the release of a press it never saw, under it.
    auto* releases = new MouseCounter(second);
    releases->setGeometry(0, 0, 200, 50);
    auto* under = new QPushButton(QStringLiteral("Lire"), releases);
    under->setGeometry(10, 10, 100, 30);
    connect(opener, &QPushButton::clicked, stack, [stack, second] { stack->setCurrentWidget(second); });
    // A button that its click takes off the screen and brings back, as a
    // page left and shown again; one that opens a web page; a plain one.
    auto* reshown = new QPushButton(QStringLiteral("Revoir"), first);
    reshown->setGeometry(10, 50, 100, 30);
    connect(reshown, &QPushButton::clicked, reshown, [reshown] {
        reshown->hide();
        reshown->show();
    });
    auto* web = new QPushButton(QStringLiteral("Site"), first);
    web->setGeometry(10, 90, 100, 30);
    KvoDoubleClickGuard::actOnce(web);
    auto* plain = new QPushButton(QStringLiteral("Suivant"), first);
    plain->setGeometry(10, 130, 100, 30);
    // A click that brings up a button over its own, which stays shown.
    auto* coverer = new QPushButton(QStringLiteral("Acheter"), first);
    coverer->setGeometry(10, 170, 100, 30);
    auto* cover = new QPushButton(QStringLiteral("Confirmer"), first);
    cover->setGeometry(10, 170, 100, 30);
    cover->hide();
    connect(coverer, &QPushButton::clicked, cover, [cover] {
        cover->show();
        cover->raise();
    });
    auto* edit = new QLineEdit(QStringLiteral("un mot"), first);
    edit->setGeometry(150, 10, 200, 30);
    auto* bar = new MouseCounter(first); // as the title bar, whose double click maximises
    bar->setGeometry(150, 50, 200, 30);
    auto* barLabel = new QLabel(QStringLiteral("Vistrelle"), bar);
    barLabel->setGeometry(0, 0, 200, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QSignalSpy opened(opener, &QPushButton::clicked);
    QSignalSpy played(under, &QPushButton::clicked);
    QSignalSpy reshownClicks(reshown, &QPushButton::clicked);
    QSignalSpy webClicks(web, &QPushButton::clicked);
    QSignalSpy plainClicks(plain, &QPushButton::clicked);
    KvoHand hand;

    // Double clicks that begin and end on one widget keep their meaning.
    hand.doubleClick(plain);
    QCOMPARE(plainClicks.count(), 2);
    hand.rest();
    hand.doubleClick(edit); // past the end of the text: its last word
    QCOMPARE(edit->selectedText(), QStringLiteral("mot"));
    hand.rest();
    hand.doubleClick(barLabel);
    QCOMPARE(bar->doubles, 1);

    // What the first click brought up, or back, gets nothing of the second
    // press, nor of its release.
    hand.rest();
    hand.doubleClick(reshown);
    QCOMPARE(reshownClicks.count(), 1);
    hand.rest();
    hand.doubleClick(web);
    QCOMPARE(webClicks.count(), 1);
    QSignalSpy covered(coverer, &QPushButton::clicked);
    QSignalSpy confirmed(cover, &QPushButton::clicked);
    hand.rest();
    hand.doubleClick(coverer);
    QCOMPARE(covered.count(), 1);
    QVERIFY(cover->isVisible());
    QCOMPARE(confirmed.count(), 0);
    hand.rest();
    const QPoint place = KvoHand::centreInWindow(opener);
    hand.doubleClickAt(window.windowHandle(), place);
    QCOMPARE(opened.count(), 1);
    QCOMPARE(stack->currentWidget(), second);
    QCOMPARE(played.count(), 0);
    QCOMPARE(releases->releases, 0);

    // Two clicks too far apart to be a double click are two clicks.
    stack->setCurrentWidget(first);
    hand.rest();
    hand.click(opener);
    hand.wait(600);
    hand.click(under);
    QCOMPARE(opened.count(), 2);
    QCOMPARE(played.count(), 1);
}

void TestToolkit::topPosNumber_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("badge");
    QTest::newRow("first") << 0 << "1" << "#009ee0" << "top_month_pos.png";
    QTest::newRow("second") << 1 << "2" << "#333343" << "top_month_pos_others.png";
    QTest::newRow("tenth") << 9 << "10" << "#333343" << "top_month_pos_others.png";
}

void TestToolkit::topPosNumber()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(QString, colour);
    QFETCH(QString, badge);
    KvoTopPosNumber number(position, nullptr);
    QCOMPARE(number.text(), text);
    QCOMPARE(number.size(), QSize(41, 71));
    QCOMPARE(number.iconSize(), QSize(41, 70));
    QCOMPARE(number.font().pixelSize(), 26);
    QCOMPARE(number.font().weight(), QFont::Bold);
    QCOMPARE(number.styleSheet(),
             QStringLiteral("background-image: url(:/KvoMainWindow/Resources/%1);color: %2;text-align: center;"
                            "padding-left: 5px;border: 0;").arg(badge, colour));
    QCOMPARE(QPixmap(QStringLiteral(":/KvoMainWindow/Resources/") + badge).size(), QSize(40, 70));
    // The number is drawn in its colour.
    const QImage image = number.grab().toImage();
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x)
            found = near(image.pixel(x, y), QColor(colour), 12);
    QVERIFY(found);
}

// ------------------------------------------------------------------ stars

void TestToolkit::markBands_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("mark");
    const int bands[][3] = {{0, 18, 1}, {19, 37, 2}, {38, 55, 3}, {56, 74, 4}, {75, 92, 5}};
    for (const auto& band : bands) {
        QTest::addRow("x%d", band[0]) << band[0] << band[2];
        QTest::addRow("x%d", band[1]) << band[1] << band[2];
    }
}

void TestToolkit::markBands()
{
    QFETCH(int, x);
    QFETCH(int, mark);
    KvoMarkWidget widget(nullptr, 5, 0);
    QCOMPARE(widget.size(), QSize(93, 16));
    QSignalSpy changed(&widget, &KvoMarkWidget::markChanged);
    sendMouse(&widget, QEvent::MouseMove, QPoint(x, 8));
    QCOMPARE(widget.displayedMark(), mark);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), mark);
}

void TestToolkit::markHoverClickLeave()
{
    KvoMarkWidget widget(nullptr, 5, 2);
    QSignalSpy changed(&widget, &KvoMarkWidget::markChanged);
    QSignalSpy clicked(&widget, &QPushButton::clicked);

    sendMouse(&widget, QEvent::MouseMove, QPoint(60, 8)); // fourth star
    QCOMPARE(changed.takeLast().at(0).toInt(), 4);
    sendLeave(&widget);
    QCOMPARE(changed.takeLast().at(0).toInt(), 2);
    QCOMPARE(widget.displayedMark(), 2);

    sendMouse(&widget, QEvent::MouseMove, QPoint(80, 8));
    sendMouse(&widget, QEvent::MouseButtonPress, QPoint(80, 8));
    changed.clear();
    sendMouse(&widget, QEvent::MouseButtonRelease, QPoint(80, 8));
    QCOMPARE(widget.clickedMark(), 5);
    QCOMPARE(changed.count(), 0); // the hover announced it already
    QCOMPARE(clicked.count(), 0);
    QVERIFY(!widget.isDown());

    widget.changeMark(3);
    QCOMPARE(widget.displayedMark(), 3);
    const QImage stars = iconImage(widget);
    const QRgb on = QImage(KvoMarkWidget::starOnPath).pixel(8, 8);
    const QRgb off = QImage(KvoMarkWidget::starOffPath).pixel(8, 8);
    for (int i = 0; i < 5; ++i)
        QVERIFY(near(stars.pixel(19 * i + 8, 8), QColor(i < 3 ? on : off), 3));
    QCOMPARE(widget.clickedMark(), 5);
    sendLeave(&widget);
    QCOMPARE(widget.displayedMark(), 5);
}

void TestToolkit::markBounds()
{
    KvoMarkWidget widget(nullptr, 5, 9);
    QCOMPARE(widget.clickedMark(), 5);

    // A press released outside the widget gives no mark beyond 1..5.
    sendMouse(&widget, QEvent::MouseButtonPress, QPoint(10, 8));
    sendMouse(&widget, QEvent::MouseButtonRelease, QPoint(-60, 8));
    QCOMPARE(widget.clickedMark(), 1);
    sendMouse(&widget, QEvent::MouseButtonPress, QPoint(10, 8));
    sendMouse(&widget, QEvent::MouseButtonRelease, QPoint(400, 8));
    QCOMPARE(widget.clickedMark(), 5);

    QSignalSpy changed(&widget, &KvoMarkWidget::markChanged);
    widget.changeClickedMark(-3);
    QCOMPARE(widget.clickedMark(), 0);
    widget.changeClickedMark(6);
    QCOMPARE(widget.clickedMark(), 5);
    QCOMPARE(changed.at(0).at(0).toInt(), 0);
    QCOMPARE(changed.at(1).at(0).toInt(), 5);
}

void TestToolkit::starMarkPaint_data()
{
    QTest::addColumn<int>("mark");
    QTest::addColumn<int>("lit"); // -1: nothing drawn
    QTest::newRow("3") << 3 << 3;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("5") << 5 << 5;
    QTest::newRow("7") << 7 << 5;
    QTest::newRow("1") << 1 << -1;
    QTest::newRow("0") << 0 << -1;
    QTest::newRow("negative") << -4 << -1;
}

void TestToolkit::starMarkPaint()
{
    QFETCH(int, mark);
    QFETCH(int, lit);
    QWidget page;
    page.setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));
    page.resize(120, 20);
    auto* stars = new KvoStarMarkWidget(&page);
    stars->resize(100, 15);
    QCOMPARE(stars->minimumSize(), QSize(100, 15));
    stars->setMark(mark);
    const QImage image = page.grab().toImage();
    const QImage on = QImage(QStringLiteral(":/KvoMainWindow/Resources/search_star_in.png"));
    const QImage off = QImage(QStringLiteral(":/KvoMainWindow/Resources/search_star_out.png"));
    QCOMPARE(on.size(), QSize(13, 12));
    QCOMPARE(off.size(), QSize(12, 12));
    const QRgb onCentre = on.pixel(6, 6), offCentre = off.pixel(6, 6);
    for (int i = 0; i < 5; ++i) {
        const QRgb at = image.pixel(15 * i + 6, 6);
        if (lit < 0)
            QVERIFY(near(at, Qt::white, 0));
        else
            QVERIFY2(near(at, QColor(i < lit ? onCentre : offCentre), 3), qPrintable(QString::number(i)));
    }
}

// ------------------------------------------------------ asynchronous image

void TestToolkit::cacheFileNames()
{
    const QStringList addresses = {
        url(QStringLiteral("pic.png")),
        url(QStringLiteral("pic.png?size=2")),
        url(QStringLiteral("pic.png?size=3")),
        m_base + QStringLiteral("/"),
        QStringLiteral("http://other.example/"),
        QStringLiteral("http://other.example"),
        QStringLiteral("http://third.example"),
        url(QStringLiteral("a.png.part")),
        url(QStringLiteral("..%2F..%2Fsettings.ini")),
        url(QStringLiteral("%2E%2E")),
        url(QStringLiteral("a:b.png")),
        url(QStringLiteral("a-b.png")),
    };
    QCOMPARE(KvoAsyncImage::cacheFileName(url(QStringLiteral("pic.png"))), QStringLiteral("pic.png"));
    QCOMPARE(KvoAsyncImage::cacheFileName(url(QStringLiteral("pic.png#top"))), QStringLiteral("pic.png"));
    QCOMPARE(KvoAsyncImage::cacheFileName(QStringLiteral("http://cdn.example/x/pic.png")), QStringLiteral("pic.png"));
    QVERIFY(KvoAsyncImage::cacheFileName(QString()).isEmpty());
    QSet<QString> names;
    for (const QString& address : addresses) {
        const QString name = KvoAsyncImage::cacheFileName(address);
        QVERIFY2(!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
                     && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('?'))
                     && !name.endsWith(QLatin1String(".part")),
                 qPrintable(address + QStringLiteral(" -> ") + name));
        names.insert(name);
    }
    QCOMPARE(names.size(), addresses.size());
}

void TestToolkit::asyncCachedCopyWithoutRequest()
{
    QFile file(cached(QStringLiteral("pic.png")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_png);
    file.close();

    KvoAsyncImage image(nullptr);
    image.setText(QStringLiteral("x"));
    image.setIconSize(QSize(120, 90));
    image.setUrl(url(QStringLiteral("pic.png")));
    // Shown inside setUrl, stretched to the icon size, with no request.
    QVERIFY(!image.isDownloading());
    QVERIFY(image.text().isEmpty());
    const QImage shown = iconImage(image);
    QCOMPARE(shown.size(), QSize(120, 90));
    QVERIFY(near(shown.pixel(5, 45), Qt::red));
    QVERIFY(near(shown.pixel(114, 45), Qt::green));
    image.setIconSize(QSize(60, 60)); // no rescaling of what is shown
    QCOMPARE(image.icon().availableSizes().value(0), QSize(120, 90));
    QCOMPARE(m_requests.value(QStringLiteral("pic.png")), 0);
}

void TestToolkit::asyncDownloadAndPlugin()
{
    int draws = 0;
    bool deleted = false, firstDeleted = false;
    int firstDraws = 0;
    {
        KvoAsyncImage image(nullptr);
        image.setDrawingPlugin(new CountingPlugin(&firstDraws, &firstDeleted));
        image.setDrawingPlugin(new CountingPlugin(&draws, &deleted));
        QVERIFY(firstDeleted); // a replaced plug-in is released
        image.setIconSize(QSize(80, 40));
        image.setUrl(url(QStringLiteral("pic.png")));
        QVERIFY(image.isDownloading());
        QVERIFY(image.icon().isNull());
        QTRY_VERIFY_WITH_TIMEOUT(!image.icon().isNull(), 10000);
        QCOMPARE(draws, 1);
        const QImage shown = iconImage(image);
        QVERIFY(near(shown.pixel(5, 35), QColor(0, 0, 255))); // the plug-in drew after scaling
        QVERIFY(near(shown.pixel(5, 5), Qt::red));
        QCOMPARE(cacheEntries(), QStringList{QStringLiteral("pic.png")});
        QCOMPARE(m_requests.value(QStringLiteral("pic.png")), 1);

        // The cached copy now: one more picture, one more draw.
        image.setUrl(url(QStringLiteral("pic.png")));
        QCOMPARE(draws, 2);
        QCOMPARE(m_requests.value(QStringLiteral("pic.png")), 1);
        QVERIFY(!deleted);
    }
    QVERIFY(deleted);
    QCOMPARE(firstDraws, 0);
}

void TestToolkit::asyncFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("404") << "missing.png";
    QTest::newRow("html") << "html.png";
    QTest::newRow("empty") << "empty.png";
    QTest::newRow("cut png") << "cut";
    QTest::newRow("cut png without length") << "cutnolength";
    QTest::newRow("no server") << "noserver";
    QTest::newRow("empty address") << "";
}

void TestToolkit::asyncFailures()
{
    QFETCH(QString, kind);
    KvoFakeHttpServer half;
    QString address;
    if (kind == QLatin1String("cut") || kind == QLatin1String("cutnolength")) {
        half.setReply(halfOf(m_png, kind == QLatin1String("cut"), true));
        QVERIFY(half.listen());
        address = half.url(QStringLiteral("/img/cut.png"));
    } else if (kind == QLatin1String("noserver")) {
        QVERIFY(half.listen());
        address = half.url(QStringLiteral("/img/gone.png"));
        half.close();
    } else if (!kind.isEmpty()) {
        address = url(kind);
    }

    int draws = 0;
    bool deleted = false;
    KvoAsyncImage image(nullptr);
    image.setDrawingPlugin(new CountingPlugin(&draws, &deleted));
    image.setIconSize(QSize(50, 50));
    image.setUrl(address);
    QTRY_VERIFY_WITH_TIMEOUT(!image.isDownloading(), 10000);
    QCOMPARE(draws, 1);
    QImage expected = defaultPicture(QSize(50, 50));
    QPainter(&expected).fillRect(0, 40, 20, 10, QColor(0, 0, 255));
    QCOMPARE(iconImage(image), expected);
    // Nothing broken or partial is left for the next view.
    QCOMPARE(cacheEntries(), QStringList());
    if (kind == QLatin1String("cut"))
        QCOMPARE(half.replies(), 1);
}

void TestToolkit::asyncBrokenCacheFetchedOnce()
{
    // A cached file that is no picture (an error page kept by an older run)
    // counts as missing: removed, fetched again, then shown.
    QFile file(cached(QStringLiteral("broken.png")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_png.left(m_png.size() / 3));
    file.close();

    KvoAsyncImage image(nullptr);
    image.setIconSize(QSize(30, 30));
    image.setUrl(url(QStringLiteral("broken.png")));
    QVERIFY(image.isDownloading());
    QTRY_VERIFY_WITH_TIMEOUT(!image.isDownloading(), 10000);
    QVERIFY(near(iconImage(image).pixel(2, 15), Qt::red));
    QCOMPARE(m_requests.value(QStringLiteral("broken.png")), 1);
    QVERIFY(QPixmap(cached(QStringLiteral("broken.png"))).size() == QSize(300, 200));

    // An answer that is no picture either: default image, fetched once only.
    image.setUrl(url(QStringLiteral("html.png")));
    QTRY_VERIFY_WITH_TIMEOUT(!image.isDownloading(), 10000);
    QCOMPARE(m_requests.value(QStringLiteral("html.png")), 1);
    QCOMPARE(iconImage(image), defaultPicture(QSize(30, 30)));
    QVERIFY(!QFile::exists(cached(QStringLiteral("html.png"))));
}

void TestToolkit::asyncSameAddressTwice()
{
    KvoAsyncImage first(nullptr), second(nullptr);
    auto* third = new KvoAsyncImage(nullptr);
    for (KvoAsyncImage* image : {&first, &second, third}) {
        image->setIconSize(QSize(40, 40));
        image->setUrl(url(QStringLiteral("pic.png")));
    }
    delete third; // leaving a shared download keeps it for the others
    // A different address with the same last segment waits for that file too.
    KvoAsyncImage sameName(nullptr);
    sameName.setIconSize(QSize(40, 40));
    sameName.setUrl(QStringLiteral("http://127.0.0.1:1/elsewhere/pic.png"));
    QVERIFY(sameName.isDownloading());

    QTRY_VERIFY_WITH_TIMEOUT(!first.isDownloading() && !second.isDownloading() && !sameName.isDownloading(), 10000);
    QCOMPARE(m_requests.value(QStringLiteral("pic.png")), 1);
    for (KvoAsyncImage* image : {&first, &second, &sameName})
        QVERIFY(near(iconImage(*image).pixel(2, 20), Qt::red));
    QCOMPARE(cacheEntries(), QStringList{QStringLiteral("pic.png")});
}

void TestToolkit::asyncDeletedMidDownload()
{
    KvoFakeHttpServer hold;
    hold.setReply(halfOf(m_png, true, false));
    QVERIFY(hold.listen());
    QPointer<KvoAsyncImage> image = new KvoAsyncImage(nullptr);
    image->setUrl(hold.url(QStringLiteral("/img/slow.png")));
    QTRY_VERIFY_WITH_TIMEOUT(hold.replies() == 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cached(QStringLiteral("slow.png.part"))), 10000);
    delete image;
    // Nobody waits for it any more: the transfer is dropped with its part.
    QTRY_VERIFY_WITH_TIMEOUT(hold.disconnections() == 1, 10000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(cacheEntries(), QStringList());

    // The same address later downloads afresh.
    hold.setReply(halfOf(m_png, true, true));
    KvoAsyncImage again(nullptr);
    again.setUrl(hold.url(QStringLiteral("/img/slow.png")));
    QVERIFY(again.isDownloading());
    QTRY_VERIFY_WITH_TIMEOUT(!again.isDownloading(), 10000);
    QCOMPARE(hold.connections(), 2);
}

void TestToolkit::asyncSecondUrlLeavesFirst()
{
    KvoFakeHttpServer hold;
    hold.setReply(halfOf(m_png, true, false));
    QVERIFY(hold.listen());
    KvoAsyncImage image(nullptr);
    image.setIconSize(QSize(20, 20));
    image.setUrl(hold.url(QStringLiteral("/img/slow.png")));
    QTRY_VERIFY_WITH_TIMEOUT(hold.replies() == 1, 10000);
    image.setUrl(url(QStringLiteral("other.png")));
    QTRY_VERIFY_WITH_TIMEOUT(!image.isDownloading(), 10000);
    QCOMPARE(image.fileName(), QStringLiteral("other.png"));
    QVERIFY(near(iconImage(image).pixel(2, 10), Qt::red));
    QTRY_VERIFY_WITH_TIMEOUT(hold.disconnections() == 1, 10000);
    QCOMPARE(cacheEntries(), QStringList{QStringLiteral("other.png")});
}

void TestToolkit::asyncSetImageKeepsForeignFile()
{
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("notes.png"));
    QFile file(foreign);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    QFile junk(cached(QStringLiteral("junk.png")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();

    KvoAsyncImage image(nullptr);
    image.setIconSize(QSize(25, 25));
    image.setImage(foreign);
    QCOMPARE(iconImage(image), defaultPicture(QSize(25, 25)));
    QVERIFY(QFile::exists(foreign));
    image.setImage(cached(QStringLiteral("junk.png")));
    QVERIFY(!QFile::exists(cached(QStringLiteral("junk.png"))));

    image.setDefaultImage(QStringLiteral(":/nothing/here.png"));
    image.setImage(foreign);
    QVERIFY(image.icon().isNull());
}

// ---------------------------------------------------------- floating frame

void TestToolkit::floatingFrameList()
{
    QWidget window;
    window.resize(800, 600);
    auto* frame = new KvoFloatingFrame(&window);
    QVERIFY(frame->isHidden());
    QCOMPARE(frame->referenceWidget(), &window);
    QCOMPARE(frame->size(), QSize(585, 300));
    QCOMPARE(frame->form().closeButton->size(), QSize(25, 25));
    frame->recenterFrames(); // nothing open: nothing happens
    QSignalSpy opened(frame, &KvoFloatingFrame::onOpen);
    QSignalSpy closed(frame, &KvoFloatingFrame::onClose);

    frame->open();
    frame->open(true); // no animation set: opens as plain open
    QCOMPARE(opened.count(), 2);
    QVERIFY(!frame->isHidden());
    QCOMPARE(KvoFloatingFrame::openFrames(), (QList<KvoFloatingFrame*>{frame, frame}));
    frame->close();
    QVERIFY(KvoFloatingFrame::openFrames().isEmpty());
    QVERIFY(frame->isHidden());
    QCOMPARE(closed.count(), 1);

    frame->open();
    frame->form().closeButton->click();
    QVERIFY(frame->isHidden());
    QCOMPARE(closed.count(), 2);

    frame->open();
    delete frame;
    QVERIFY(KvoFloatingFrame::openFrames().isEmpty());
}

void TestToolkit::floatingFrameCentring()
{
    QWidget window;
    window.resize(1000, 700);
    auto* panel = new QWidget(&window);
    panel->setGeometry(100, 50, 600, 500);
    auto* inner = new QWidget(panel);
    inner->setGeometry(20, 30, 200, 100);

    KvoFloatingFrame frame(&window);
    frame.adjustSize(100, 60);
    QCOMPARE(frame.size(), QSize(100, 60));
    frame.open();
    QCOMPARE(frame.pos(), QPoint(450, 320)); // parent coordinates

    frame.centerOn(inner);
    QCOMPARE(frame.pos(), QPoint(100 + 20 + 100 - 50, 50 + 30 + 50 - 30));
    inner->move(220, 330);
    window.resize(1200, 800);
    frame.recenterFrames();
    QCOMPARE(frame.pos(), QPoint(100 + 220 + 100 - 50, 50 + 330 + 50 - 30));
    frame.close();
}

void TestToolkit::floatingFrameAnimatedClose()
{
    QWidget window;
    window.resize(800, 600);
    KvoFloatingFrame frame(&window);
    KvoOpacityAnimation fade;
    fade.setDuration(5);
    fade.setRange(1.0, 0.0);
    // One object for both: the end of the open fade must not close it.
    frame.setOpenAnimation(&fade);
    frame.setCloseAnimation(&fade);
    QSignalSpy finished(&fade, &KvoAbstractAnimation::finished);
    QSignalSpy closed(&frame, &KvoFloatingFrame::onClose);

    frame.open(true);
    QVERIFY(finished.wait(5000));
    QVERIFY(!frame.isHidden());
    QCOMPARE(KvoFloatingFrame::openFrames().size(), 1);

    frame.closeFrame();
    QCOMPARE(closed.count(), 1); // as the animation starts
    QVERIFY(KvoFloatingFrame::openFrames().isEmpty());
    QVERIFY(!frame.isHidden());
    QVERIFY(finished.wait(5000));
    QCOMPARE(closed.count(), 2); // and again as it ends
    QVERIFY(frame.isHidden());
}

// ------------------------------------------------------------- screenshots

void TestToolkit::screenshots()
{
    QWidget page;
    page.setObjectName(QStringLiteral("page"));
    page.setStyleSheet(QStringLiteral("#page { background-color: #24262f; }"));
    page.setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(&page);

    auto* starsRow = new QHBoxLayout;
    for (int mark : {0, 1, 2, 3, 5, 7}) {
        auto* stars = new KvoStarMarkWidget(&page);
        stars->setMark(mark);
        starsRow->addWidget(stars);
    }
    column->addLayout(starsRow);
    auto* marksRow = new QHBoxLayout;
    for (int mark : {0, 2, 5}) {
        auto* input = new KvoMarkWidget(&page, 5, mark);
        marksRow->addWidget(input);
    }
    marksRow->addStretch();
    column->addLayout(marksRow);
    auto* barsRow = new QHBoxLayout;
    for (int value : {0, 13, 50, 99, 100}) {
        auto* bar = new KvoProgressBar(&page);
        bar->setValue(value);
        barsRow->addWidget(bar);
    }
    column->addLayout(barsRow);
    auto* badgesRow = new QHBoxLayout;
    for (int position : {0, 1, 9}) {
        badgesRow->addWidget(new KvoTopPosNumber(position, &page));
    }
    QFile file(cached(QStringLiteral("pic.png")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_png);
    file.close();
    int draws = 0;
    bool deleted = false;
    auto* thumbnail = new KvoAsyncImage(&page);
    thumbnail->setFixedSize(157, 71);
    thumbnail->setIconSize(thumbnail->size());
    thumbnail->setDrawingPlugin(new CountingPlugin(&draws, &deleted));
    thumbnail->setUrl(url(QStringLiteral("pic.png")));
    badgesRow->addWidget(thumbnail);
    auto* fallback = new KvoAsyncImage(&page);
    fallback->setFixedSize(100, 100);
    fallback->setIconSize(fallback->size());
    fallback->setImage(QStringLiteral("/nonexistent.png"));
    badgesRow->addWidget(fallback);
    badgesRow->addStretch();
    column->addLayout(badgesRow);
    page.resize(700, 260);
    QVERIFY(KvoScreenshots::save(&page, QStringLiteral("toolkit")));
    QCOMPARE(draws, 1);

    QWidget window;
    window.resize(700, 400);
    window.setStyleSheet(QStringLiteral("background-color: #d0d0d0;"));
    KvoFloatingFrame frame(&window);
    auto* label = new KvoClickableLabel(QStringLiteral("Contenu du cadre"), &frame);
    label->setStyleSheet(QStringLiteral("color: white;"));
    frame.addWidget(label);
    frame.open();
    QVERIFY(KvoScreenshots::save(&window, QStringLiteral("floating")));
}

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
