#include "KvoHand.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

namespace {

// Longer than any double-click interval.
const int Apart = 2000;

QWindow* windowOf(QWidget* widget)
{
    return widget->window()->windowHandle();
}

} // namespace

KvoHand::KvoHand()
    : m_time(QTest::lastMouseTimestamp + Apart)
{
}

KvoHand::~KvoHand()
{
    QTest::lastMouseTimestamp = m_time + Apart;
}

QPoint KvoHand::centreInWindow(QWidget* widget)
{
    return widget->mapTo(widget->window(), widget->rect().center());
}

void KvoHand::wait(int ms)
{
    m_time += ms;
    QTest::qWait(ms);
}

void KvoHand::rest()
{
    m_time += Apart;
    QCoreApplication::processEvents();
}

void KvoHand::send(QWindow* window, QPoint position, bool press)
{
    qt_handleMouseEvent(window, position, window->mapToGlobal(position), press ? Qt::LeftButton : Qt::NoButton,
                        Qt::LeftButton, press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
                        Qt::NoModifier, m_time);
    QCoreApplication::processEvents();
}

void KvoHand::press(QWidget* on)
{
    pressAt(windowOf(on), centreInWindow(on));
}

void KvoHand::release(QWidget* on)
{
    releaseAt(windowOf(on), centreInWindow(on));
}

void KvoHand::pressAt(QWindow* window, QPoint position)
{
    send(window, position, true);
}

void KvoHand::releaseAt(QWindow* window, QPoint position)
{
    send(window, position, false);
}

void KvoHand::click(QWidget* on, int holdMs)
{
    press(on);
    wait(holdMs);
    release(on);
}

void KvoHand::doubleClick(QWidget* on, int holdMs, int gapMs)
{
    doubleClickAt(windowOf(on), centreInWindow(on), holdMs, gapMs);
}

void KvoHand::doubleClickAt(QWindow* window, QPoint position, int holdMs, int gapMs)
{
    pressAt(window, position);
    wait(holdMs);
    releaseAt(window, position);
    wait(gapMs - holdMs);
    pressAt(window, position);
    wait(holdMs);
    releaseAt(window, position);
}
