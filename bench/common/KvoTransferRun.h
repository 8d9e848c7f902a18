#pragma once

#include <QString>

// One timed transfer of a throughput benchmark: whether it succeeded, the
// bytes that arrived and the wall time it took.
struct KvoTransferRun
{
    bool ok = false;
    qint64 bytes = 0;
    double seconds = 0;
    // For curl: the time curl itself gives for the transfer (its -w
    // time_total: from the transfer's start to its end, without the start
    // and end of its process, which seconds holds); 0 when not known.
    double transferSeconds = 0;
    QString error;

    // MB = 10^6 bytes; 0 for a run that took no time.
    double megabytesPerSecond() const;
    // "WHO run N: speed (bytes in time)note", or "WHO run N: FAILED error";
    // index counts from 0.
    void print(const char* who, int index, const QString& note = QString()) const;

    // curl fetching url into path (removed before and after: only its size
    // is kept); seconds is the wall time of curl's process.
    static KvoTransferRun withCurl(const QString& curl, const QString& url, const QString& path);
};
