#pragma once

#include <QPoint>

class QAbstractScrollArea;

// A turn of the mouse wheel over a scrolling list, delivered where the
// rows hand it on: the list's viewport. One notch down by default.
class KvoWheelTurn
{
public:
    static void over(QAbstractScrollArea* area, Qt::KeyboardModifiers modifiers, QPoint angle = QPoint(0, -120));
};
