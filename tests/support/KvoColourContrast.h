#pragma once

#include <QColor>
#include <QString>

class QWidget;

// How far apart two colours read: the ratio of their relative luminances
// (sRGB), from 1 (the same) to 21 (black on white). Body text wants 4.5.
class KvoColourContrast
{
public:
    static double ratio(const QColor& a, const QColor& b);
    // The lowest ratio of a shown, non-empty label of the window against
    // the window's background (labels paint none of their own); 21 when it
    // has none. `which` gets that label's text.
    static double weakestLabel(const QWidget* window, QString* which = nullptr);
};
