#pragma once

#include <QString>

// The dark vertical scroll bar of the pages: 14 px wide on #181a21 with
// 15 px margins at both ends, a #26272c handle at least 20 px high, and the
// client's own arrow images. Set on a scroll bar or on a scrolling widget.
class KvoScrollBarStyle
{
public:
    static QString darkVertical();
};
