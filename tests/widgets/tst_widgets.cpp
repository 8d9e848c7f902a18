// Toolkit widgets: page bar, busy overlay, spinning icon, animations and the
// grid row that folds.
#include "KvoDialogParent.h"
#include "KvoFoldingRow.h"
#include "KvoFont.h"
#include "KvoLoadingFrame.h"
#include "KvoOpacityAnimation.h"
#include "KvoScreenshots.h"
#include "KvoPaginationWidget.h"
#include "KvoSpinningIcon.h"
#include "KvoUnfocusAnimation.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGraphicsBlurEffect>
#include <QGridLayout>
#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// Runs one step of an animation or frame without waiting for its timer.
void tick(QObject* object, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QVERIFY(QMetaObject::invokeMethod(object, "onTimeout", Qt::DirectConnection));
}

QPushButton* child(QWidget* widget, const char* name)
{
    return widget->findChild<QPushButton*>(QLatin1String(name));
}

QString buttonTexts(const KvoPaginationWidget& bar)
{
    QStringList texts;
    for (int i = 0; i < 7; ++i)
        texts << (bar.pageButton(i)->text().isEmpty() ? QStringLiteral("_") : bar.pageButton(i)->text());
    return texts.join(QLatin1Char(' '));
}

QWidget* darkBackground(int width, int height)
{
    auto* widget = new QWidget;
    widget->resize(width, height);
    widget->setObjectName(QStringLiteral("page"));
    widget->setStyleSheet(QStringLiteral("#page { background-color: #24262f; }"));
    widget->setAttribute(Qt::WA_StyledBackground);
    return widget;
}

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void fontWeights();
    void dialogParent();
    // Page bar
    void paginationRefresh_data();
    void paginationRefresh();
    void paginationWindow_data();
    void paginationWindow();
    void paginationArrows();
    void paginationMoves();
    void paginationClicks();
    void paginationEmptyListKeepsPage();
    void paginationEnable();
    void paginationIndexOfButton();

    // Opacity animation
    void opacityRun_data();
    void opacityRun();
    void opacityOnTimer();
    void opacityStartTwice();
    void opacityStop();
    void opacityEqualEndsRunUntilStopped();
    void opacityEffectOffWhenOpaque();
    void opacityForeignEffectKept();
    void opacityWidgetGone();

    // Unfocus animation
    void unfocusPlayerNumbers();
    void unfocusFocusBack();
    void unfocusReversal();
    void unfocusZeroSteps();
    void unfocusDrawCapsAndDarkens();

    // Busy overlay
    void loadingFrameConstruction();
    void loadingFrameAngle_data();
    void loadingFrameAngle();
    void loadingFrameStartStop();
    void loadingFrameOwnerHidden();
    void loadingFrameRecentres();

    // Spinning icon
    void spinningIconRefuses();
    void spinningIconStopsUpright();
    void spinningIconButtonGone();

    // Folding grid row
    void foldingRowFollowsTheWidth();
    void foldingRowRefusesOtherRows();

    void screenshots();
};

// ---------------------------------------------------------------- page bar

void TestWidgets::paginationRefresh_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<bool>("barShown");
    QTest::addColumn<bool>("endsShown");
    QTest::addColumn<int>("numbersWidth");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last"); // first -1: no signal

    QTest::newRow("no items") << 0 << 10 << 0 << 0 << false << false << 18 << -1 << -1;
    QTest::newRow("negative items") << -4 << 10 << 0 << 0 << false << false << 18 << -1 << -1;
    QTest::newRow("page size 0") << 25 << 0 << 0 << 1 << false << false << 48 << 0 << 24;
    QTest::newRow("negative page size") << 25 << -5 << 3 << 1 << false << false << 48 << 0 << 24;
    QTest::newRow("short list") << 7 << 10 << 0 << 1 << false << false << 48 << 0 << 6;
    QTest::newRow("exactly one page") << 10 << 10 << 0 << 1 << false << false << 48 << 0 << 9;
    QTest::newRow("two pages") << 20 << 10 << 0 << 2 << true << false << 78 << 0 << 9;
    QTest::newRow("three pages") << 25 << 10 << 0 << 3 << true << true << 108 << 0 << 9;
    QTest::newRow("middle page") << 25 << 10 << 1 << 3 << true << true << 108 << 10 << 19;
    QTest::newRow("short last page") << 25 << 10 << 2 << 3 << true << true << 108 << 20 << 24;
    QTest::newRow("full last page") << 30 << 10 << 2 << 3 << true << true << 108 << 20 << 29;
    QTest::newRow("clamped to last") << 25 << 10 << 50 << 3 << true << true << 108 << 20 << 24;
    QTest::newRow("negative page") << 25 << 10 << -1 << 3 << true << true << 108 << -1 << -1;
    QTest::newRow("twenty pages") << 200 << 10 << 10 << 20 << true << true << 228 << 100 << 109;
    QTest::newRow("page size 1") << 3 << 1 << 2 << 3 << true << true << 108 << 2 << 2;
}

void TestWidgets::paginationRefresh()
{
    QFETCH(int, items);
    QFETCH(int, perPage);
    QFETCH(int, page);
    QFETCH(int, pageCount);
    QFETCH(bool, barShown);
    QFETCH(bool, endsShown);
    QFETCH(int, numbersWidth);
    QFETCH(int, first);
    QFETCH(int, last);

    QWidget parent;
    auto* bar = new KvoPaginationWidget(&parent);
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->height(), 70);
    QSignalSpy spy(bar, &KvoPaginationWidget::changePage);

    bar->setItemCount(items);
    bar->setItemsPerPage(perPage);
    QCOMPARE(spy.count(), 0); // nothing before refresh
    bar->refresh(page);

    QCOMPARE(bar->pageCount(), pageCount);
    QCOMPARE(!bar->isHidden(), barShown);
    QCOMPARE(bar->findChild<QWidget*>(QStringLiteral("numbers"))->width(), numbersWidth);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(!bar->pageButton(i)->isHidden(), i < qMin(pageCount, 7));
    if (barShown) {
        QCOMPARE(!child(bar, "first")->isHidden(), endsShown);
        QCOMPARE(!child(bar, "last")->isHidden(), endsShown);
        QVERIFY(!child(bar, "previous")->isHidden());
        QVERIFY(!child(bar, "next")->isHidden());
    }
    if (first < 0) {
        QCOMPARE(spy.count(), 0);
    } else {
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), first);
        QCOMPARE(spy.at(0).at(1).toInt(), last);
    }
}

void TestWidgets::paginationWindow_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("texts");
    QTest::addColumn<int>("highlighted");

    QTest::newRow("20 pages, first") << 20 << 0 << "1 2 3 4 5 6 7" << 0;
    QTest::newRow("20 pages, page 10") << 20 << 10 << "8 9 10 11 12 13 14" << 3;
    QTest::newRow("20 pages, last") << 20 << 19 << "17 18 19 20 _ _ _" << 3;
    QTest::newRow("8 pages, page 2") << 8 << 2 << "1 2 3 4 5 6 7" << 2;
    QTest::newRow("8 pages, page 3") << 8 << 3 << "1 2 3 4 5 6 7" << 3;
    QTest::newRow("8 pages, page 7") << 8 << 7 << "5 6 7 8 _ _ _" << 3;
    QTest::newRow("7 pages, last") << 7 << 6 << "1 2 3 4 5 6 7" << 6;
    QTest::newRow("7 pages, page 4") << 7 << 4 << "1 2 3 4 5 6 7" << 4;
    QTest::newRow("3 pages, page 1") << 3 << 1 << "1 2 3 _ _ _ _" << 1;
}

void TestWidgets::paginationWindow()
{
    QFETCH(int, pages);
    QFETCH(int, page);
    QFETCH(QString, texts);
    QFETCH(int, highlighted);

    QWidget parent;
    KvoPaginationWidget bar(&parent);
    bar.setItemCount(pages * 10);
    bar.setItemsPerPage(10);
    // Arrive from another page so a stale highlight would show.
    bar.refresh(pages - 1);
    bar.refresh(0);
    bar.refresh(page);

    QCOMPARE(bar.currentPage(), page);
    QCOMPARE(buttonTexts(bar), texts);
    QCOMPARE(bar.highlightedButton(), bar.pageButton(highlighted));
    for (int i = 0; i < 7; ++i) {
        QPushButton* button = bar.pageButton(i);
        if (i == highlighted) {
            QCOMPARE(button->styleSheet(), QStringLiteral("color: #009ee0;"));
            QVERIFY(button->signalsBlocked());
            QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
        } else if (button->text().isEmpty()) {
            QVERIFY(button->signalsBlocked());
            QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
        } else {
            QCOMPARE(button->styleSheet(), QStringLiteral("color: #7b7b7c;"));
            QVERIFY(!button->signalsBlocked());
            QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        }
    }
}

void TestWidgets::paginationArrows()
{
    QWidget parent;
    KvoPaginationWidget bar(&parent);
    bar.setItemCount(50);
    bar.setItemsPerPage(10);

    auto usable = [&](const char* name) {
        QPushButton* button = child(&bar, name);
        const bool hasImage = button->styleSheet().contains(QLatin1String("pagination-"));
        if (hasImage != !button->signalsBlocked())
            qWarning("%s: image and signals disagree", name);
        return hasImage && !button->signalsBlocked();
    };

    bar.refresh(0);
    QVERIFY(!usable("first"));
    QVERIFY(!usable("previous"));
    QVERIFY(usable("next"));
    QVERIFY(usable("last"));
    QCOMPARE(child(&bar, "first")->styleSheet(), QString());

    bar.refresh(2);
    QVERIFY(usable("first") && usable("previous") && usable("next") && usable("last"));
    QCOMPARE(child(&bar, "first")->styleSheet(),
             QStringLiteral("image: url(:/KvoMainWindow/Resources/pagination-first.png);"));

    bar.refresh(4);
    QVERIFY(usable("first"));
    QVERIFY(usable("previous"));
    QVERIFY(!usable("next"));
    QVERIFY(!usable("last"));
    QCOMPARE(child(&bar, "last")->cursor().shape(), Qt::ArrowCursor);
}

void TestWidgets::paginationMoves()
{
    QWidget parent;
    KvoPaginationWidget bar(&parent);
    QSignalSpy spy(&bar, &KvoPaginationWidget::changePage);
    bar.setItemCount(25);
    bar.setItemsPerPage(10);
    bar.refresh(0);
    spy.clear();

    auto lastRange = [&]() {
        return qMakePair(spy.last().at(0).toInt(), spy.last().at(1).toInt());
    };

    bar.previousPage(); // no page -1
    bar.firstPage();    // page 0 exists: sent again
    QCOMPARE(spy.count(), 1);
    QCOMPARE(lastRange(), qMakePair(0, 9));

    bar.nextPage();
    QCOMPARE(lastRange(), qMakePair(10, 19));
    bar.lastPage();
    QCOMPARE(lastRange(), qMakePair(20, 24));
    QCOMPARE(bar.currentPage(), 2);
    spy.clear();
    bar.nextPage();
    bar.setCurrentPage(3);
    bar.setCurrentPage(-1);
    QCOMPARE(spy.count(), 0);

    bar.setCurrentPage(2); // the same page again
    QCOMPARE(spy.count(), 1);
    QCOMPARE(lastRange(), qMakePair(20, 24));
    bar.previousPage();
    QCOMPARE(lastRange(), qMakePair(10, 19));
    QCOMPARE(bar.currentPage(), 1);
}

void TestWidgets::paginationClicks()
{
    QWidget parent;
    KvoPaginationWidget bar(&parent);
    QSignalSpy spy(&bar, &KvoPaginationWidget::changePage);
    bar.setItemCount(200);
    bar.setItemsPerPage(10);
    bar.refresh(10); // buttons 8..14
    spy.clear();

    bar.pageButton(3)->click(); // the current page: blocked
    QCOMPARE(spy.count(), 0);
    bar.pageButton(5)->click(); // page "13"
    QCOMPARE(bar.currentPage(), 12);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(0).toInt(), 120);
    QCOMPARE(buttonTexts(bar), QStringLiteral("10 11 12 13 14 15 16"));

    child(&bar, "last")->click();
    QCOMPARE(bar.currentPage(), 19);
    spy.clear();
    bar.pageButton(5)->click(); // blank past the end
    child(&bar, "next")->click();
    child(&bar, "last")->click();
    QCOMPARE(spy.count(), 0);
    child(&bar, "first")->click();
    QCOMPARE(bar.currentPage(), 0);
    QCOMPARE(spy.last().at(1).toInt(), 9);
    child(&bar, "previous")->click();
    QCOMPARE(spy.count(), 1);
}

void TestWidgets::paginationEmptyListKeepsPage()
{
    QWidget parent;
    KvoPaginationWidget bar(&parent);
    bar.setItemCount(50);
    bar.setItemsPerPage(10);
    bar.refresh(3);
    QSignalSpy spy(&bar, &KvoPaginationWidget::changePage);

    bar.setItemCount(0);
    bar.refresh(3);
    QCOMPARE(spy.count(), 0);
    QVERIFY(bar.isHidden());
    QCOMPARE(bar.currentPage(), 3);
    bar.nextPage();
    bar.firstPage();
    QCOMPARE(spy.count(), 0);

    // The list fills again: the page is clamped into it.
    bar.setItemCount(15);
    bar.refresh(bar.currentPage());
    QCOMPARE(bar.currentPage(), 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(0).toInt(), 10);
    QCOMPARE(spy.last().at(1).toInt(), 14);
}

void TestWidgets::paginationEnable()
{
    QWidget parent;
    KvoPaginationWidget bar(&parent);
    bar.disable();
    QVERIFY(!bar.isEnabled());
    QVERIFY(!child(&bar, "next")->isEnabled());
    bar.enable();
    QVERIFY(bar.isEnabled());
    QVERIFY(bar.pageButton(0)->isEnabled());
}

void TestWidgets::paginationIndexOfButton()
{
    QWidget parent;
    KvoPaginationWidget bar(&parent);
    QPushButton foreign;
    QCOMPARE(bar.indexOfPageButton(nullptr), -1);
    QCOMPARE(bar.indexOfPageButton(&foreign), 7);
    QCOMPARE(bar.indexOfPageButton(child(&bar, "next")), 7);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(bar.indexOfPageButton(bar.pageButton(i)), i);
}

// ------------------------------------------------------- opacity animation

void TestWidgets::opacityRun_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<uint>("duration");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<double>("end");

    QTest::newRow("rise over 10") << 0.0 << 1.0 << 10u << 10 << 1.0;
    QTest::newRow("fall over 10") << 1.0 << 0.0 << 10u << 10 << 0.0;
    QTest::newRow("fall to 0.3") << 1.0 << 0.3 << 7u << 7 << 0.3;
    QTest::newRow("partial rise") << 0.2 << 0.8 << 3u << 3 << 0.8;
    QTest::newRow("zero duration") << 0.0 << 1.0 << 0u << 1 << 1.0;
    QTest::newRow("zero duration falling") << 1.0 << 0.0 << 0u << 1 << 0.0;
    QTest::newRow("below the floor") << 1.0 << -1.0 << 4u << 2 << 0.0;
}

void TestWidgets::opacityRun()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(uint, duration);
    QFETCH(int, ticks);
    QFETCH(double, end);

    QWidget widget;
    KvoOpacityAnimation animation(nullptr);
    animation.setWidget(&widget);
    QCOMPARE(widget.graphicsEffect(), animation.effect());
    animation.setRange(from, to);
    animation.setDuration(duration);
    QSignalSpy finished(&animation, &KvoAbstractAnimation::finished);

    animation.start();
    QVERIFY(animation.isRunning());
    QCOMPARE(animation.effect()->opacity(), qBound(0.0, from, 1.0));
    tick(&animation, ticks - 1);
    QCOMPARE(finished.count(), 0);
    QVERIFY(animation.isRunning());
    tick(&animation);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!animation.isRunning());
    QCOMPARE(animation.effect()->opacity(), end);
}

void TestWidgets::opacityOnTimer()
{
    QWidget widget;
    KvoOpacityAnimation animation(nullptr);
    animation.setWidget(&widget);
    animation.setRange(1.0, 0.0);
    animation.setDuration(20);
    QSignalSpy finished(&animation, &KvoAbstractAnimation::finished);
    animation.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QVERIFY(!animation.isRunning());
    QCOMPARE(animation.effect()->opacity(), 0.0);
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 1);
}

void TestWidgets::opacityStartTwice()
{
    QWidget widget;
    KvoOpacityAnimation animation(nullptr);
    animation.setWidget(&widget);
    animation.setRange(0.0, 1.0);
    animation.setDuration(10);
    QSignalSpy finished(&animation, &KvoAbstractAnimation::finished);

    animation.start();
    tick(&animation, 6);
    animation.start(); // starts over from the beginning
    QCOMPARE(animation.effect()->opacity(), 0.0);
    tick(&animation, 9);
    QCOMPARE(finished.count(), 0);
    tick(&animation);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(animation.effect()->opacity(), 1.0);
}

void TestWidgets::opacityStop()
{
    QWidget widget;
    KvoOpacityAnimation animation(nullptr);
    animation.setWidget(&widget);
    animation.setDuration(10);
    QSignalSpy finished(&animation, &KvoAbstractAnimation::finished);

    animation.start();
    tick(&animation, 3);
    animation.stop();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!animation.isRunning());
    QVERIFY(qAbs(animation.effect()->opacity() - 0.3) < 1e-9); // stays where it was
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 1);
}

// Nothing to fade: the run holds the opacity and ticks until someone stops it.
void TestWidgets::opacityEqualEndsRunUntilStopped()
{
    QWidget widget;
    KvoOpacityAnimation animation(nullptr);
    animation.setWidget(&widget);
    animation.setRange(0.5, 0.5);
    animation.setDuration(10);
    QSignalSpy finished(&animation, &KvoAbstractAnimation::finished);
    animation.start();
    tick(&animation, 1000);
    QCOMPARE(finished.count(), 0);
    QVERIFY(animation.isRunning());
    QCOMPARE(animation.effect()->opacity(), 0.5);
    animation.stop();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!animation.isRunning());
}

// The effect is off while the widget is fully opaque, and on for as long as
// it is not.
void TestWidgets::opacityEffectOffWhenOpaque()
{
    QWidget widget;
    KvoOpacityAnimation animation(nullptr);
    animation.setWidget(&widget);
    animation.setDuration(10);
    animation.setRange(0.0, 1.0);
    animation.start();
    tick(&animation, 10);
    QVERIFY(!animation.isRunning());
    QVERIFY(!animation.effect()->isEnabled());

    animation.setRange(1.0, 0.0);
    animation.start();
    QVERIFY(animation.effect()->isEnabled());
    tick(&animation, 3);
    animation.stop();
    QVERIFY(animation.effect()->isEnabled()); // held at 0.7
    animation.start();
    tick(&animation, 10);
    QCOMPARE(animation.effect()->opacity(), 0.0);
    QVERIFY(animation.effect()->isEnabled()); // hidden by it
}

void TestWidgets::opacityForeignEffectKept()
{
    QWidget widget;
    QPointer<QGraphicsBlurEffect> blur = new QGraphicsBlurEffect;
    widget.setGraphicsEffect(blur);

    KvoOpacityAnimation animation(nullptr);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("already carries")));
    animation.setWidget(&widget);
    QVERIFY(blur);
    QCOMPARE(widget.graphicsEffect(), blur.data());

    // The run still ends, so whoever waits for it is not left hanging.
    QSignalSpy finished(&animation, &KvoAbstractAnimation::finished);
    animation.setDuration(2);
    animation.start();
    tick(&animation, 2);
    QCOMPARE(finished.count(), 1);

    // Two animations on one widget: the second leaves the first's effect.
    QWidget other;
    KvoOpacityAnimation a(nullptr), b(nullptr);
    a.setWidget(&other);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("already carries")));
    b.setWidget(&other);
    QVERIFY(a.effect());
    QCOMPARE(other.graphicsEffect(), a.effect());
}

void TestWidgets::opacityWidgetGone()
{
    KvoOpacityAnimation animation(nullptr);
    {
        QWidget widget;
        animation.setWidget(&widget);
    } // the widget deletes the effect it carried
    QVERIFY(!animation.widget());
    animation.setDuration(2);
    animation.start();
    tick(&animation, 2);
    QVERIFY(!animation.isRunning());

    QWidget next;
    animation.setWidget(&next);
    QVERIFY(next.graphicsEffect());
    QCOMPARE(next.graphicsEffect(), animation.effect());
}

// ------------------------------------------------------- unfocus animation

namespace {
KvoUnfocusAnimation* playerUnfocus(QWidget* widget)
{
    auto* effect = new KvoUnfocusAnimation(nullptr);
    effect->setMaxAlpha(0.4);
    effect->setAlphaStep(0.1);
    effect->setMaxBlurRadius(10.0);
    effect->setBlurRadiusStep(1.0);
    effect->setInterval(1.9);
    effect->setWidget(widget);
    return effect;
}
}

void TestWidgets::unfocusPlayerNumbers()
{
    QWidget widget;
    KvoUnfocusAnimation* effect = playerUnfocus(&widget);
    QCOMPARE(widget.graphicsEffect(), effect);
    QCOMPARE(effect->interval(), 1u);
    QCOMPARE(effect->blurRadius(), 0.0);
    QSignalSpy unfocused(effect, &KvoUnfocusAnimation::unfocused);

    effect->unfocus();
    QVERIFY(effect->isRunning());
    tick(effect, 4);
    QVERIFY(qAbs(effect->colour().alphaF() - 0.4) < 1e-3);
    QCOMPARE(effect->blurRadius(), 4.0);
    tick(effect, 5);
    QVERIFY(effect->isRunning());
    QCOMPARE(unfocused.count(), 0);
    tick(effect);
    QCOMPARE(effect->blurRadius(), 10.0);
    QVERIFY(qAbs(effect->colour().alphaF() - 0.4) < 1e-3);
    QVERIFY(!effect->isRunning());
    QCOMPARE(unfocused.count(), 1);

    // The same on the real timer.
    effect->focus();
    QTRY_VERIFY_WITH_TIMEOUT(!effect->isRunning(), 5000);
    effect->unfocus();
    QTRY_COMPARE_WITH_TIMEOUT(unfocused.count(), 2, 5000);
    QVERIFY(!effect->isRunning());
}

void TestWidgets::unfocusFocusBack()
{
    QWidget widget;
    KvoUnfocusAnimation* effect = playerUnfocus(&widget);
    QSignalSpy focused(effect, &KvoUnfocusAnimation::focused);

    // Already clear: the first tick ends it.
    effect->focus();
    tick(effect);
    QVERIFY(!effect->isRunning());
    QCOMPARE(effect->colour().alpha(), 0);
    QCOMPARE(focused.count(), 1);

    effect->unfocus();
    tick(effect, 10);
    effect->focus();
    QCOMPARE(effect->blurRadius(), 10.0); // focus() moves nothing by itself
    tick(effect, 4);
    QCOMPARE(effect->colour().alpha(), 0);
    QCOMPARE(effect->blurRadius(), 6.0);
    tick(effect, 5);
    QVERIFY(effect->isRunning());
    tick(effect);
    QCOMPARE(effect->blurRadius(), 0.0);
    QVERIFY(!effect->isRunning());
    QCOMPARE(focused.count(), 2);
}

void TestWidgets::unfocusReversal()
{
    QWidget widget;
    KvoUnfocusAnimation* effect = playerUnfocus(&widget);
    effect->unfocus();
    tick(effect, 10);
    effect->focus();
    tick(effect, 3);
    QCOMPARE(effect->blurRadius(), 7.0);
    QVERIFY(effect->colour().alpha() > 0);

    effect->unfocus(); // the tint vanishes, the blur grows from where it is
    QCOMPARE(effect->colour().alpha(), 0);
    QCOMPARE(effect->blurRadius(), 7.0);
    tick(effect);
    QCOMPARE(effect->blurRadius(), 8.0);
    QVERIFY(qAbs(effect->colour().alphaF() - 0.1) < 1e-3);
}

void TestWidgets::unfocusZeroSteps()
{
    QWidget widget;
    auto* effect = new KvoUnfocusAnimation(nullptr);
    effect->setWidget(&widget);
    effect->setMaxAlpha(0.5);
    effect->setMaxBlurRadius(6.0);
    effect->setInterval(-3.0); // no negative interval wraps around
    QCOMPARE(effect->interval(), 0u);

    effect->unfocus();
    tick(effect);
    QVERIFY(!effect->isRunning());
    QCOMPARE(effect->blurRadius(), 6.0);
    QVERIFY(qAbs(effect->colour().alphaF() - 0.5) < 1e-3);
    effect->focus();
    tick(effect);
    QVERIFY(!effect->isRunning());
    QCOMPARE(effect->blurRadius(), 0.0);
}

void TestWidgets::unfocusDrawCapsAndDarkens()
{
    QWidget widget;
    widget.resize(60, 40);
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget.setPalette(palette);

    auto* effect = new KvoUnfocusAnimation(nullptr);
    effect->setMaxAlpha(0.25);
    effect->setAlphaStep(0.1);  // overshoots to 0.3
    effect->setMaxBlurRadius(2.5);
    effect->setBlurRadiusStep(1.0); // overshoots to 3
    effect->setWidget(&widget);
    effect->unfocus();
    tick(effect, 3);
    QVERIFY(!effect->isRunning());
    QVERIFY(effect->colour().alphaF() > 0.25);

    const QImage image = widget.grab().toImage();
    QVERIFY(effect->colour().alphaF() <= 0.25 + 1e-3);
    QVERIFY(effect->blurRadius() <= 2.5);
    // White under 25 % black: about 191.
    const int grey = qGray(image.pixel(image.width() / 2, image.height() / 2));
    QVERIFY2(grey > 180 && grey < 200, qPrintable(QString::number(grey)));
}

// ------------------------------------------------------------ busy overlay

void TestWidgets::loadingFrameConstruction()
{
    QWidget parent;
    parent.resize(800, 600);
    KvoLoadingFrame frame(&parent);
    QVERIFY(frame.isHidden());
    QCOMPARE(frame.size(), QSize(151, 87));
    QCOMPARE(frame.pos(), QPoint(400 - 75, 300 - 43));
    QCOMPARE(frame.angle(), 90);
    QCOMPARE(frame.property("angle").toInt(), 90);
    QCOMPARE(frame.label(), QStringLiteral("Chargement"));
    QVERIFY(!frame.isRunning());

    // Without a parent there is nothing to centre on; it still works.
    KvoLoadingFrame orphan(nullptr);
    orphan.start();
    QVERIFY(orphan.isRunning());
    orphan.stop();
    QVERIFY(orphan.isHidden());
}

void TestWidgets::loadingFrameAngle_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    QTest::newRow("725") << 725 << 5;
    QTest::newRow("-30") << -30 << -30;
    QTest::newRow("360") << 360 << 0;
    QTest::newRow("-370") << -370 << -10;
    QTest::newRow("359") << 359 << 359;
}

void TestWidgets::loadingFrameAngle()
{
    QFETCH(int, set);
    QFETCH(int, expected);
    QWidget parent;
    KvoLoadingFrame frame(&parent);
    frame.setAngle(set);
    QCOMPARE(frame.angle(), expected);
    tick(&frame);
    QCOMPARE(frame.angle(), expected + 10); // not wrapped by the ticks
}

void TestWidgets::loadingFrameStartStop()
{
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    KvoLoadingFrame frame(&parent);

    frame.stop(); // never started
    QVERIFY(frame.isHidden());
    QCOMPARE(frame.angle(), 90);

    frame.start();
    QVERIFY(frame.isVisible());
    QVERIFY(frame.isRunning());
    auto* timer = frame.findChild<QTimer*>();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 40);
    const int timerId = timer->timerId();
    QTRY_VERIFY_WITH_TIMEOUT(frame.angle() > 90, 5000);

    frame.move(0, 0);
    const int angle = frame.angle();
    frame.start(); // only re-centres
    QCOMPARE(frame.pos(), QPoint(200 - 75, 150 - 43));
    QCOMPARE(timer->timerId(), timerId);
    QVERIFY(frame.angle() >= angle);

    frame.stop();
    QVERIFY(frame.isHidden());
    QVERIFY(!frame.isRunning());
    const int stoppedAt = frame.angle();
    frame.start(); // goes on from where it stopped
    QCOMPARE(frame.angle(), stoppedAt);
    frame.stop();
}

void TestWidgets::loadingFrameOwnerHidden()
{
    QWidget window;
    window.resize(400, 300);
    auto* page = new QWidget(&window);
    auto* otherPage = new QWidget(&window);
    otherPage->hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    KvoLoadingFrame frame(&window);
    frame.setOwner(page);
    frame.start();

    // grab() lays the frame on the light window background: the panel
    // darkens it where it is painted.
    auto painted = [&frame]() {
        const QImage image = frame.grab().toImage();
        return qGray(image.pixel(10, image.height() / 2)) < 128;
    };
    QVERIFY(painted());
    QVERIFY(!frame.testAttribute(Qt::WA_TransparentForMouseEvents));

    page->hide();
    otherPage->show();
    QVERIFY(frame.isVisible());
    QVERIFY(frame.isRunning());
    QVERIFY(!painted());
    // The unpainted frame lets the clicks through to the page under it.
    QVERIFY(frame.testAttribute(Qt::WA_TransparentForMouseEvents));

    otherPage->hide();
    page->show();
    QVERIFY(painted());
    QVERIFY(!frame.testAttribute(Qt::WA_TransparentForMouseEvents));

    // Hidden with its parent, the owner is away as well.
    auto* holder = new QWidget(&window);
    auto* nested = new QWidget(holder);
    frame.setOwner(nested);
    holder->hide();
    QVERIFY(!painted());
    QVERIFY(frame.testAttribute(Qt::WA_TransparentForMouseEvents));

    delete holder; // an owner that goes away no longer hides the frame
    QVERIFY(!frame.owner());
    QVERIFY(painted());
}

void TestWidgets::loadingFrameRecentres()
{
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    KvoLoadingFrame frame(&parent);
    frame.start();
    parent.resize(600, 500);
    frame.move(3, 3);
    frame.grab(); // a paint brings it back
    QCOMPARE(frame.pos(), QPoint(300 - 75, 250 - 43));
    frame.stop();
}

// ------------------------------------------------------------ spinning icon

void TestWidgets::spinningIconRefuses()
{
    KvoSpinningIcon icon(nullptr);
    icon.setPixmap(QStringLiteral(":/KvoMainWindow/Resources/loader.png"), 0, 0);
    icon.start(-1);
    QVERIFY(!icon.isSpinning()); // no button

    QPushButton button;
    KvoSpinningIcon broken(nullptr);
    broken.setButton(&button);
    broken.setPixmap(QStringLiteral(":/KvoMainWindow/Resources/no-such-image.png"), 16, 16);
    broken.start(-1);
    QVERIFY(!broken.isSpinning());
    QVERIFY(button.icon().isNull());

    icon.setButton(&button);
    QVERIFY(!button.icon().isNull());
    icon.start(0); // the shortest period still leaves 1 ms between steps
    QVERIFY(icon.isSpinning());
    QCOMPARE(icon.period(), 720);
    QCOMPARE(icon.stepInterval(), 2);
}

void TestWidgets::spinningIconStopsUpright()
{
    QPushButton button;
    KvoSpinningIcon icon(nullptr);
    icon.setButton(&button);
    icon.setPixmap(QStringLiteral(":/KvoMainWindow/Resources/loader.png"), 32, 32);
    icon.start(-1);
    tick(&icon, 200);
    QCOMPARE(icon.angle(), 200);

    icon.stop();
    tick(&icon, 160);
    QVERIFY(icon.isSpinning());
    QCOMPARE(icon.angle(), 0);
    tick(&icon); // the upright image is the last one
    QVERIFY(!icon.isSpinning());

    // A start while stopping cancels the stop.
    icon.start(-1);
    tick(&icon, 10);
    icon.stop();
    icon.start(-1);
    tick(&icon, 400);
    QVERIFY(icon.isSpinning());
}

void TestWidgets::spinningIconButtonGone()
{
    auto* button = new QPushButton;
    KvoSpinningIcon icon(nullptr);
    icon.setButton(button);
    icon.setPixmap(QStringLiteral(":/KvoMainWindow/Resources/loader.png"), 32, 32);
    icon.start(-1);
    delete button;
    tick(&icon);
    QVERIFY(!icon.isSpinning());
}

// ---------------------------------------------------------- folding row

namespace {

// A column that scrolls only up and down, as a settings page does: a grid
// row of a label and two check boxes, and a line under it.
struct FoldingColumn
{
    FoldingColumn()
    {
        area = new QScrollArea(&holder);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto* content = new QWidget;
        column = new QVBoxLayout(content);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(7);
        grid = new QGridLayout;
        grid->setHorizontalSpacing(10);
        grid->addWidget(new QLabel(QStringLiteral("Notifications actives :")), 0, 0);
        first = new QCheckBox(QStringLiteral("Téléchargement d'une vidéo terminé"));
        second = new QCheckBox(QStringLiteral("Téléchargement d'une mise à jour terminé"));
        grid->addWidget(first, 0, 1);
        grid->addWidget(second, 0, 2);
        grid->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding), 0, 3);
        column->addLayout(grid);
        below = new QLabel(QStringLiteral("La ligne suivante"));
        column->addWidget(below);
        column->addStretch();
        area->setWidget(content);
        holder.resize(1200, 400);
    }

    // The area, and so its content, `width` pixels wide; laid out at once,
    // without the event loop.
    void resize(int width)
    {
        area->setGeometry(0, 0, width, 400);
    }

    QWidget holder;
    QScrollArea* area;
    QVBoxLayout* column;
    QGridLayout* grid;
    QCheckBox* first;
    QCheckBox* second;
    QLabel* below;
};

} // namespace

void TestWidgets::foldingRowFollowsTheWidth()
{
    FoldingColumn c;
    const int sideBySide = c.grid->minimumSize().width();
    KvoFoldingRow* folding = KvoFoldingRow::install(c.grid, c.second);
    QVERIFY(folding);
    c.holder.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.holder));

    // Wider, narrower and back, each width with the row it takes.
    const QList<QPair<int, bool>> steps = {{1100, false},
                                           {sideBySide, false},
                                           {sideBySide - 1, true},
                                           {folding->minimumSize().width(), true},
                                           {sideBySide, false},
                                           {sideBySide - 1, true},
                                           {900, false}};
    for (const auto& [width, folded] : steps) {
        c.resize(width);
        const QByteArray at = QByteArray::number(width) + " px";
        QVERIFY2(folding->isFolded() == folded, at.constData());
        // The grid keeps its widgets, and the row never passes the edge.
        QVERIFY(c.grid->indexOf(c.second) >= 0);
        QCOMPARE(c.area->widget()->width(), width);
        QVERIFY2(c.second->geometry().right() < width, at.constData());
        QVERIFY2(c.second->width() >= c.second->sizeHint().width(), at.constData());
        if (folded) {
            QCOMPARE(c.second->x(), c.first->x());
            QVERIFY2(c.second->y() > c.first->geometry().bottom(), at.constData());
        } else {
            QCOMPARE(c.second->y(), c.first->y());
            QVERIFY2(c.second->x() > c.first->geometry().right(), at.constData());
        }
        // Both check boxes keep their whole height: the column gives the
        // row the lines it takes, not one line to squeeze them into.
        QVERIFY2(c.first->height() >= c.first->minimumSizeHint().height(), at.constData());
        QVERIFY2(c.second->height() >= c.second->minimumSizeHint().height(), at.constData());
        // The content had the height of the row as it stands from the
        // first layout on: the next line starts under it.
        QCOMPARE(c.below->y(), c.second->geometry().bottom() + 1 + c.column->spacing());
    }
    // In a view shorter than the folded column, the column scrolls as far
    // as the end of the line under the row. What it must show is counted
    // from the widgets themselves, not from the laid-out content, which
    // follows a wrong height as well as the scroll range does: the row's
    // line, as tall as its tallest item, the moving check box's line under
    // it, and the line under the row, with the spacings between them.
    c.area->setGeometry(0, 0, sideBySide - 1, c.below->height());
    QVERIFY(folding->isFolded());
    int rowLine = 0;
    for (int column = 0; column < c.grid->columnCount(); ++column) {
        if (QLayoutItem* item = c.grid->itemAtPosition(0, column))
            rowLine = qMax(rowLine, item->sizeHint().height());
    }
    const int needed = rowLine + c.grid->verticalSpacing() + c.second->sizeHint().height() + c.column->spacing()
                       + c.below->sizeHint().height();
    QCOMPARE(c.area->verticalScrollBar()->maximum(), needed - c.area->viewport()->height());
    QVERIFY(c.second->height() >= c.second->minimumSizeHint().height());
    QVERIFY(c.below->y() > c.second->geometry().bottom());
    // The smallest width asked of the column is the folded row's: the
    // narrower check box and its spacing less.
    QCOMPARE(c.area->widget()->minimumSizeHint().width(),
             sideBySide - qMin(c.first->sizeHint().width(), c.second->sizeHint().width()) - 10);
}

void TestWidgets::foldingRowRefusesOtherRows()
{
    // Nothing before the widget in its row, or the row under it taken.
    FoldingColumn alone;
    QVERIFY(!KvoFoldingRow::install(alone.grid, qobject_cast<QWidget*>(alone.grid->itemAtPosition(0, 0)->widget())));
    FoldingColumn taken;
    taken.grid->addWidget(new QLabel(QStringLiteral("pris")), 1, 1);
    QVERIFY(!KvoFoldingRow::install(taken.grid, taken.second));
    // Neither grid moved.
    QCOMPARE(alone.column->indexOf(alone.grid), 0);
    QCOMPARE(taken.column->indexOf(taken.grid), 0);
}

// -------------------------------------------------------------- screenshots

// Pictures for a look by eye (see KvoScreenshots).
void TestWidgets::screenshots()
{
    if (!KvoScreenshots::enabled())
        QSKIP(KvoScreenshots::OffReason);

    QScopedPointer<QWidget> page(darkBackground(696, 140));
    auto* many = new KvoPaginationWidget(page.data());
    many->setGeometry(0, 0, 696, 70);
    many->setItemCount(200);
    many->setItemsPerPage(10);
    many->refresh(10);
    auto* few = new KvoPaginationWidget(page.data());
    few->setGeometry(0, 70, 696, 70);
    few->setItemCount(25);
    few->setItemsPerPage(10);
    few->refresh(0);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.data()));
    QVERIFY(KvoScreenshots::save(page.data(), QStringLiteral("pagination")));

    QScopedPointer<QWidget> dark(darkBackground(400, 260));
    auto* frame = new KvoLoadingFrame(dark.data());
    dark->show();
    QVERIFY(QTest::qWaitForWindowExposed(dark.data()));
    frame->start();
    frame->setAngle(30);
    QVERIFY(KvoScreenshots::save(dark.data(), QStringLiteral("loading")));
    frame->stop();
}

// A font without a weight takes the weight of its widget; one with a
// weight keeps it even under a bold parent.
void TestWidgets::fontWeights()
{
    QWidget parent;
    QFont bold = parent.font();
    bold.setBold(true);
    parent.setFont(bold);
    QLabel inherits(&parent);
    inherits.setFont(KvoFont::arial(11));
    QLabel normal(&parent);
    normal.setFont(KvoFont::arial(11, QFont::Normal));
    QCOMPARE(inherits.font().pixelSize(), 11);
    QCOMPARE(inherits.font().weight(), QFont::Bold);
    QCOMPARE(normal.font().weight(), QFont::Normal);
    QCOMPARE(normal.font().family(), QStringLiteral("Arial"));
}

// A standard dialog never sits under a style sheet of the pages.
void TestWidgets::dialogParent()
{
    QVERIFY(!KvoDialogParent::styleNeutral(nullptr));
    QWidget window;
    auto* page = new QWidget(&window);
    page->setStyleSheet(QStringLiteral("background:transparent;"));
    auto* button = new QPushButton(page);
    QCOMPARE(KvoDialogParent::styleNeutral(button), &window);
    QCOMPARE(KvoDialogParent::styleNeutral(page), &window);
    // A page shown on its own is its own window: no parent then.
    QWidget alone;
    alone.setStyleSheet(QStringLiteral("background:transparent;"));
    QVERIFY(!KvoDialogParent::styleNeutral(&alone));
    // Nor under a window with a sheet of its own or above it.
    window.setStyleSheet(QStringLiteral("color:white;"));
    QVERIFY(!KvoDialogParent::styleNeutral(button));
    window.setStyleSheet(QString());
    QWidget owner;
    owner.setStyleSheet(QStringLiteral("color:white;"));
    QWidget dialog(&owner, Qt::Dialog);
    QVERIFY(!KvoDialogParent::styleNeutral(&dialog));
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
