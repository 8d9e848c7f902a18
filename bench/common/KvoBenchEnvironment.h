#pragma once

#include <QString>

// The process environment of a benchmark.
class KvoBenchEnvironment
{
public:
    // Points HOME and the XDG folders (configuration, data, cache and an
    // owner-only runtime folder) into home, so a benchmark touches no
    // settings, database or cache of a real user. Call it before the
    // application object is made.
    static void usePrivateHome(const QString& home);
    // The machine's load average over the last minute (/proc/loadavg); -1
    // when it cannot be read. Printed with every figure: the machine is
    // shared, and a figure taken under load is read differently.
    static double load1();
};
