#pragma once

#include <QString>

// A length of time as a clock shows it: "0:59", "10:00", "1:02:05" (hours
// only from one hour on, minutes and seconds on two digits after the first
// field). Used for video lengths and the player's positions.
class KvoDurationText
{
public:
    static QString clock(quint64 seconds);
};
