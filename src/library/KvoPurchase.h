#pragma once

#include "KvoVideoFile.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QSqlRecord;

// One course: bought (in the library) or shown by a catalogue list. A value
// record copied whole; the library hands out copies.
class KvoPurchase
{
public:
    uint id = 0;
    QString title;            // displayed title; null when the service gave none
    QString courseTitle;      // the course's own title, kept by withSingleVideo()
    QString softwares;        // the software names shown under the title
    QList<uint> softwareIDs;  // the main software first
    QList<uint> authorIDs;
    uint previousPrice = 0;   // credits before a promotion, 0 without one
    uint price = 0;           // credits to pay: the reduced price while one runs
    uint rating = 0;          // stars, 0 to 5
    uint sales = 0;
    QString thumbnail;
    QString url;              // the course's web page
    uint end_ts = 0;          // end of a promotion, epoch seconds
    QString preview_uri;
    int width = 0;            // preview size
    int height = 0;
    QDateTime purchaseDate;
    QString attachmentURL;    // support files; empty without any
    QString description;
    QMap<int, KvoVideoFile> files; // keyed by KvoVideoFile::fileId
    bool commented = false;   // local: the user rated the course

    // Fills the record from one course map of an answer; every video map of
    // "files" becomes a file of this course (a later duplicate id wins).
    // Local state (commented, the files' local state) starts cleared.
    void fromJson(const QVariantMap& map);
    // Fills the course's own columns from a row of `purchases`; `files` stays
    // empty (the rows of `videos` are joined by the library).
    void fromSql(const QSqlRecord& record);

    static KvoPurchase createFromJson(const QVariantMap& map);
    static KvoPurchase createFromSql(const QSqlRecord& record);

    // A copy whose title is the video's title and whose files hold only that
    // video; courseTitle keeps the course's title.
    static KvoPurchase withSingleVideo(const KvoPurchase& purchase, const KvoVideoFile& video);

    // Whether the course's promotion has ended at `now` (seconds since the
    // epoch, by the local clock): it has an end time and `now` reached it.
    bool promotionEnded(qint64 now) const { return end_ts != 0 && now >= qint64(end_ts); }
    // The credits the course costs at `now`. A list is fetched once and
    // may be shown long after: once its promotion has ended, the course
    // costs its price before the promotion again, as a fresh answer would
    // say. Without an end time, or without a price before the promotion,
    // the price the service sent stands.
    uint priceAt(qint64 now) const;
    // The struck price shown beside priceAt(now); 0 for none.
    uint previousPriceAt(qint64 now) const;

    // True when no file has a local path (also without any file).
    bool noVideoOnDisk() const;
    // True when every file is hidden (also without any file).
    bool allVideosHidden() const;
    // The ids of `files` in ascending order.
    QList<uint> fileIds() const;

    // "812;813;815": the ids in list order, no trailing separator.
    static QString idListString(const QList<uint>& ids);

    // Registers the record for queued signals under its name "KvoVorn".
    static void registerMetaType();

    bool operator==(const KvoPurchase& other) const { return id == other.id; }
    bool operator!=(const KvoPurchase& other) const { return id != other.id; }
};

// The name signals carry the record under.
using KvoVorn = KvoPurchase;

Q_DECLARE_METATYPE(KvoPurchase)
