#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Writes the store of the earlier desktop player as the first-run import
// reads it:
//   <player folder>/Local Store/<database file>   tables purchase(id, title)
//                                                  and video(id, qozPath,
//                                                  title, hidden, vornID)
//   <player folder>/Local Store/qoz/<files>       the stored videos
// A stored video ends with the identification box of the .qoz format, so a
// folder search recognises the copies too.
class KvoOldStoreWriter
{
public:
    struct Video
    {
        QString id;           // as stored (a number, or any text)
        QString title;
        bool hidden = false;
        qint64 size = 8192;   // bytes of the file, box included; -1: no file
        QString fileName;     // in "qoz"; "<id>.qoz" when empty
        QString qozPath;      // stored path; the file's absolute path when empty, "-" for ''
    };
    struct Course
    {
        QString id;           // as stored
        QString title;
        QList<Video> videos;
    };

    // Writes the database and the files. media (optional): a file whose
    // bytes start every video (a real clip makes playable videos).
    static bool write(const QString& playerFolder, const QString& databaseFileName, const QList<Course>& courses,
                      const QString& media = QString(), QString* error = nullptr);

    // One stored video of size bytes: media's bytes (or varying bytes),
    // then the identification box of purchaseId and fileId when size
    // leaves room for it.
    static bool writeVideo(const QString& path, qint64 size, quint32 purchaseId, quint32 fileId,
                           const QString& media = QString());
};
