#pragma once

#include "KvoLibrary.h"
#include "KvoLibraryMerge.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// The user's library in the database: the tables purchases, videos,
// authors, softwares and user_software, and the user's synchronisation
// marks in users. Works on the calling thread's connection; every method
// fails quietly (false, empty) when the database is closed.
//
// A course or video the service stops listing keeps its row, marked out of
// the library, while it holds something of the user's (a path, the hidden
// flag, a watched percentage, the commented flag); load() leaves it out and
// localState() gives it back, so the user's state returns with it.
class KvoLibraryStore
{
public:
    explicit KvoLibraryStore(const QString& userId);

    // The library the last write left, without the rows out of it. Rows
    // written without a course (the first-run import) join the course whose
    // file list names them.
    KvoLibrary load() const;

    struct Marks
    {
        uint since = 0;      // the service's change time of the stored library
        qint64 lastSync = 0; // local time of the last successful synchronisation
        QString credits;
    };
    Marks marks() const;

    // The local state of every video and course row of the user.
    KvoLibraryMerge::Stored localState() const;

    // Writes the library in one transaction: the service's columns of every
    // row, the local columns of new rows only (on existing rows the setters
    // keep them current, and a setter that ran after the merge must not be
    // overwritten by its snapshot), the paths found on disk where a row has
    // none, and the marks (credits only when not null). Rows the library no
    // longer holds leave it as described above. False when anything failed:
    // then nothing changed.
    bool write(const KvoLibrary& library, const QHash<uint, QString>& foundPaths = {}, uint since = 0,
               qint64 lastSync = 0, const QString& credits = QString());
    // Reads one course for the write below; false ends the write, and
    // nothing changes.
    using CourseReader = std::function<bool(int purchaseId, KvoPurchase* record)>;
    // The same, with the courses read one at a time by their ids: a write
    // that needs no copy of the whole library while it runs.
    bool write(const QList<int>& purchaseIds, const CourseReader& readCourse,
               const QMap<int, KvoSoftware>& softwares, const QMap<int, KvoAuthor>& authors,
               const QHash<uint, QString>& foundPaths, uint since, qint64 lastSync, const QString& credits);
    // A synchronisation that found nothing changed (HTTP 304).
    bool markSynchronised(qint64 lastSync);

    // The setters' writes. inLibrary: the library holds the video (course),
    // so a missing row is made; otherwise only an existing row changes.
    bool setVideoPath(uint purchaseId, uint fileId, const QString& path, bool inLibrary);
    bool setVideoHidden(uint purchaseId, uint fileId, bool hidden, bool inLibrary);
    bool setAlreadySeen(uint purchaseId, uint fileId, uint percent, bool inLibrary);
    bool setCommented(uint purchaseId, bool commented, const QString& files, bool inLibrary);
    bool setSoftwareSubscribed(uint softwareId, bool subscribed);

    // Called inside write()'s transaction after each course's rows, with the
    // number of courses written so far: lets a test stop the process at a
    // chosen point of the write. Not for production use.
    static void setCourseWrittenHookForTesting(const std::function<void(int)>& hook);

private:
    bool writeVideoColumn(const char* column, const QVariant& value, uint purchaseId, uint fileId, bool inLibrary);

    QString m_userId;
};
