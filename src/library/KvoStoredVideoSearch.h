#pragma once

#include "KvoLibraryMerge.h"

#include <QHash>
#include <QString>

// Finds the stored videos (".qoz") in the video folder by their
// identification box, whatever their names: what a lost database forgot is
// still on disk.
class KvoStoredVideoSearch
{
public:
    // Files of folder and of its subfolders down to `depth` levels (the
    // client stores one folder per course), by the file id their box names;
    // the first found wins. Files without a valid box are skipped.
    static QHash<uint, KvoLibraryMerge::Found> find(const QString& folder, int depth = 3);
};
