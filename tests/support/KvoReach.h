#pragma once

#include <QStringList>

class QWidget;

// Controls a user cannot reach or read whole, sideways: every shown push
// button, spin box, line edit, combo box and check box under a widget that
// does not lie, from its left edge to its right edge, inside each widget
// that holds it, up to its window. In a scrolling area that means inside
// the area's viewport, or, where the user can scroll the area sideways (a
// shown horizontal bar, or Shift and the wheel), within that range and no
// wider than the viewport.
class KvoReach
{
public:
    // One line per control out of reach: its path of object names, its text,
    // where it lies and what holds it. Empty when every control is in reach.
    static QStringList outOfReach(QWidget* root);
};
