#pragma once

#include <QFont>

// The interface's typeface. The layouts were drawn where a point is a
// pixel, so sizes are pixel sizes and every screen resolution lays the
// fixed-size parts out alike. "Arial" resolves to a metric-compatible face
// through fontconfig.
class KvoFont
{
public:
    // Without a weight the font takes the weight of the widget it is set on.
    static QFont arial(int pixels);
    static QFont arial(int pixels, QFont::Weight weight);
};
