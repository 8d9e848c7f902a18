#include "KvoSizeUnits.h"

KvoSizeUnits::Scaled KvoSizeUnits::scale(quint64 bytes)
{
    Scaled s;
    s.value = bytes;
    while (s.value > 1024 && s.unit + 1 < UnitCount) {
        s.divisor *= 1024;
        s.value /= 1024;
        ++s.unit;
    }
    return s;
}

int KvoSizeUnits::percent(quint64 value, quint64 maximum)
{
    if (maximum == 0)
        return 100;
    if (value >= maximum)
        return 100;
    return int(value * 100 / maximum);
}
