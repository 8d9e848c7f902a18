#pragma once

#include <QtGlobal>

// Sizes shown in "Octets", "Ko", "Mo" and "Go": the byte count is divided by
// 1024, dropping the remainder, while it is above 1024 and a larger unit is
// left; the largest unit takes any value.
class KvoSizeUnits
{
public:
    static constexpr int UnitCount = 4; // Octets, Ko, Mo, Go

    struct Scaled
    {
        quint64 value = 0;   // the number shown
        int unit = 0;        // 0 Octets .. 3 Go
        quint64 divisor = 1; // 1024 to the power of unit
    };

    static Scaled scale(quint64 bytes);

    // value * 100 / maximum, capped at 100; a maximum of 0 (nothing to copy)
    // counts as done.
    static int percent(quint64 value, quint64 maximum);
};
