#pragma once

#include <QList>

// What /proc tells of the processes a benchmark started (the web engine's
// helpers, the local web service).
class KvoBenchProcesses
{
public:
    // The processes started by root, at any depth, root itself left out.
    static QList<qint64> descendants(qint64 root);
    // CPU time (user and system, s) a process has used so far; 0 when it
    // is gone.
    static double cpuSeconds(qint64 pid);
    // The X server of $DISPLAY on this machine (Xvfb, Xorg...), which
    // does part of the drawing work of every X client; 0 when not found.
    static qint64 displayServer();
};
