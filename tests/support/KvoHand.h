#pragma once

#include <QPoint>

class QWidget;
class QWindow;

// Mouse presses and releases as a hand makes them: each with a time of its
// own, sent through the window as the system sends them, so that Qt itself
// makes a double click of two presses close in time and place, and
// delivers it to whatever lies under the mouse at the second. Real time
// passes between the events, with the event loop running, as between a
// user's. QTest::mouseDClick gives both presses one time stamp, which
// hides an interval that is wrong, reversed or zero.
class KvoHand
{
public:
    // The first event comes well after every earlier one of QTest, so
    // that no double click begins before the hand's.
    KvoHand();
    // Later events of QTest make no double click with the hand's.
    ~KvoHand();

    // Waits: the clock of the events moves on by ms.
    void wait(int ms);
    // The clock moves on past any double-click interval, without a wait:
    // the next press begins a gesture of its own.
    void rest();
    // At the centre of the widget, in its window.
    void press(QWidget* on);
    void release(QWidget* on);
    void pressAt(QWindow* window, QPoint position);
    void releaseAt(QWindow* window, QPoint position);
    // A press and its release holdMs later.
    void click(QWidget* on, int holdMs = 70);
    // Two clicks at one place, the second press gapMs after the first: the
    // place is taken before the first press, so the second press finds
    // whatever the first click brought there.
    void doubleClick(QWidget* on, int holdMs = 70, int gapMs = 150);
    void doubleClickAt(QWindow* window, QPoint position, int holdMs = 70, int gapMs = 150);

    static QPoint centreInWindow(QWidget* widget);

private:
    void send(QWindow* window, QPoint position, bool press);

    int m_time = 0;
};
