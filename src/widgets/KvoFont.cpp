#include "KvoFont.h"

QFont KvoFont::arial(int pixels)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

QFont KvoFont::arial(int pixels, QFont::Weight weight)
{
    QFont font = arial(pixels);
    font.setWeight(weight);
    return font;
}
