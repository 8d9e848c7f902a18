#pragma once

#include "KvoPurchase.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>

// Carries what the user did with the library into the service's fresh list:
// the downloaded file's path, the hidden flag and the watched percentage of
// each video, the commented flag of each course. Pure: no database, no file.
class KvoLibraryMerge
{
public:
    struct VideoState
    {
        QString path; // "/" separators; empty when not on disk
        bool hidden = false;
        uint alreadySeen = 0;
    };
    // What the database remembers for the user, including the videos and
    // courses that are out of the library for now.
    struct Stored
    {
        QHash<uint, VideoState> videos; // by file id
        QSet<uint> commented;           // course ids
    };
    // A stored video found on disk by its identification box.
    struct Found
    {
        uint purchaseId = 0;
        QString path;
    };

    struct Result
    {
        QMap<int, KvoPurchase> purchases;
        // The files whose path came from `found`: the rows to complete.
        QHash<uint, QString> foundPaths;
    };

    // fresh: the service's library (its local state cleared); old: the
    // library in memory; stored: the database's state; found: files on disk
    // by file id. Memory wins over the database for a video it holds (a
    // setter may have run since the last write), except that a path or a
    // higher watched percentage the database has completes it. A file found
    // on disk fills a path nobody else knows, when its box names the same
    // course.
    static Result merge(QMap<int, KvoPurchase> fresh, const QMap<int, KvoPurchase>& old, const Stored& stored,
                        const QHash<uint, Found>& found = {});

    // True when a video of fresh has no path in old nor stored: only then is
    // looking for files on disk worth it.
    static bool hasUnknownPaths(const QMap<int, KvoPurchase>& fresh, const QMap<int, KvoPurchase>& old,
                                const Stored& stored);
};
