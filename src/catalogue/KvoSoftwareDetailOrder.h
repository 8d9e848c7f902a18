#pragma once

#include "KvoPurchase.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QtGlobal>

// Which of the user's videos the page of one software lists, and in which
// order, under each of the nine sort modes. Pure functions over a copy of
// the library, so the page and its tests share one implementation.
//
// A listed video is a file with a local path that is not hidden, of a course
// whose software list holds the software. Modes:
//   0 all courses, purchase date ascending     1 all, date descending
//   2 all, title A to Z (case-insensitive)     3 all, title Z to A
//   4 courses of 2 or more files, date desc.   5 courses of 0 or 1 file, date desc.
//   6 progress <= 0, progress ascending        7 0 < progress < 100, ascending
//   8 progress >= 100, ascending
// Within a course the videos follow their chapter number, then their
// position in the course.
class KvoSoftwareDetailOrder
{
public:
    static constexpr int ModeCount = 9;

    // One listed video: its file id, then its course id.
    struct ItemPair
    {
        quint32 fileId = 0;
        quint32 purchaseId = 0;

        bool operator==(const ItemPair& other) const
        {
            return fileId == other.fileId && purchaseId == other.purchaseId;
        }
        bool operator!=(const ItemPair& other) const { return !(*this == other); }
    };

    // One listed video while a course is ordered: ordered by its position.
    struct Video
    {
        quint32 fileId = 0;
        quint32 order = 0;

        bool operator<(const Video& other) const { return order < other.order; }
    };

    // One listed course while the list is ordered; compared by the sort mode
    // of the left operand.
    struct Formation
    {
        QString title;
        float progress = 0.0f;
        int purchaseId = 0;
        int sortMode = 1;
        QDateTime date;
        QMap<uint, QList<Video>> videos; // by chapter number

        bool operator<(const Formation& other) const;
    };

    // Whether the file is shown in the library view (a local path, not
    // hidden).
    static bool isListed(const KvoVideoFile& file);

    // The watched percentages of the course's listed files summed and
    // divided by the number of all its files; 0 for a course without files
    // or one missing from the map.
    static float purchaseProgress(int purchaseId, const QMap<int, KvoPurchase>& purchases);
    static float purchaseProgress(const KvoPurchase& purchase);

    // Whether a course of the software passes the filter of the mode.
    static bool passesFilter(const KvoPurchase& purchase, int sortMode);

    // The ordered list of the software's listed videos under the mode.
    static QList<ItemPair> buildItemList(const QMap<int, KvoPurchase>& purchases, uint softwareId,
                                         int sortMode);

    // Orders a list built course by course, in place.
    static void sortItems(QList<ItemPair>& items, const QMap<int, KvoPurchase>& purchases, int sortMode);
};
