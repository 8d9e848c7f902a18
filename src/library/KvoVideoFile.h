#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QSqlRecord;

// One video file of a course. The service's fields come from the video map of
// an answer; KvoPath, alreadySeen and hidden are the user's local state and
// never come from the service.
class KvoVideoFile
{
public:
    uint fileId = 0;
    uint purchaseId = 0;   // the course the file belongs to
    QString title;
    uint duration = 0;     // seconds
    uint order = 0;        // position in the course, from 1
    uint n_chapter = 0;    // chapter number, 0 without chapters
    QString t_chapter;     // chapter title, empty without chapters
    uint expiry = 0;       // end of the right to download, epoch seconds (0: never)
    QString thumbnail;
    int width = 0;
    int height = 0;

    QString KvoPath;       // the stored file, "/" separators; empty until downloaded
    uint alreadySeen = 0;  // watched percentage, 0 to 100
    bool hidden = false;   // removed from the library view by the user

    // Fills the service's fields from one video map; local state untouched.
    void fromJson(const QVariantMap& map);
    // Fills every field from a row of `videos`.
    void fromSql(const QSqlRecord& record);

    static KvoVideoFile createFromJson(const QVariantMap& map);
    static KvoVideoFile createFromSql(const QSqlRecord& record);

    // True when the stored file is there: a path is recorded and names a
    // file (one deleted outside the client is missing again).
    bool isOnDisk() const;

    // Position in the course; files at the same position by id, so sorting
    // is deterministic.
    bool operator<(const KvoVideoFile& other) const;
};

Q_DECLARE_METATYPE(KvoVideoFile)
