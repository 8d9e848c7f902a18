#pragma once

#include <QColor>

// How far apart two colours read: the ratio of their relative luminances
// (sRGB), from 1 (the same) to 21 (black on white). Body text wants 4.5.
class KvoColourContrast
{
public:
    static double ratio(const QColor& a, const QColor& b);
};
