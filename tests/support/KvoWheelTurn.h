#pragma once

#include <QPoint>
#include <QString>

class QAbstractScrollArea;

// A turn of the mouse wheel over a scrolling list, delivered where the
// rows hand it on: the list's viewport. One notch down by default.
class KvoWheelTurn
{
public:
    static void over(QAbstractScrollArea* area, Qt::KeyboardModifiers modifiers, QPoint angle = QPoint(0, -120));

    // What is wrong with Shift and the wheel over a list wider than two of
    // its views and taller than its view; empty when nothing is. With
    // Shift, every notch moves the list across by one step of its bar (not
    // a page, as Shift on the bar itself would) and not down: up and down
    // turns, a tilt wheel's and a turn that Alt made sideways (as X11 does).
    // The wheel alone still moves it down.
    static QString sidewaysFault(QAbstractScrollArea* area);
};
