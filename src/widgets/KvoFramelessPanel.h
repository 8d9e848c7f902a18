#pragma once

class QKeyEvent;
class QPainter;
class QPointF;
class QRect;
class QWidget;

// What the frameless panel windows (the shared dialog, the two import
// assistants) have in common: a translucent margin with a drop shadow where
// a compositing manager draws them, a dark opaque ground where none does,
// and an Escape key that never closes them.
class KvoFramelessPanel
{
public:
    // With a compositing manager: makes window translucent, puts a black
    // drop shadow (blur 20, the given offset) on shadowed (the window itself
    // or its panel) and returns true. Without one: changes nothing and
    // returns false; the window then paints its ground opaque.
    static bool makeTranslucent(QWidget* window, QWidget* shadowed, const QPointF& shadowOffset);

    // Fills rect with the ground drawn around the panel where no compositor
    // draws the translucent margin.
    static void paintOpaqueGround(QPainter& painter, const QRect& rect);

    // An Escape key event is ignored and false is returned: it is handed on
    // no further, so Escape never closes the window. Any other key event is
    // accepted and true is returned: the caller hands it to the dialog.
    static bool acceptUnlessEscape(QKeyEvent* event);
};
