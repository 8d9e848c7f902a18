#pragma once

#include "KvoPurchase.h"
#include "KvoSoftware.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class KvoDownloadJob;

// What the downloads page lists, without any widget: the courses of the
// library that miss a video file, their download jobs (which hold each
// row's state and the rows of the course's videos), their order, and the
// number the main window's downloads counter shows.
//
// It follows the library one course at a time: the synchronisation
// manager tells which courses changed since the revision the list last
// saw, so a write to one course costs a look at that course (and at its
// recorded files), and no copy of the whole library is kept. Files found
// gone from the disk count as missing. A listed course's rows follow at
// once, in place (KvoDownloadJob::follow()); courses join the list when the
// page is shown (rebuild()), as the page has always done.
//
// Which courses are listed is recorded once, in the entries, each with
// whether its course misses a video now; beside them the list keeps only
// the courses that miss a video and are not listed (they join at the next
// rebuild). The counter is derived from both, so after every rebuild each
// course that misses a video is listed and the counter counts the list.
// GUI thread.
class KvoDownloadList : public QObject
{
    Q_OBJECT

public:
    // One listed course: its sort keys, and its job once it has one (owned
    // by the list; made when first needed).
    struct Entry
    {
        int purchaseId = 0;
        qint64 date = 0; // purchase date, as a number that sorts like it
        uint softwareId = 0;
        // The course misses a video now (false once it left the library).
        bool misses = false;
        KvoDownloadJob* job = nullptr;
    };

    explicit KvoDownloadList(QObject* parent = nullptr);
    // Stops and deletes every job; empties the waiting line.
    ~KvoDownloadList() override;

    // --- following the library
    // Everything that changed since the last look: the rows of listed
    // courses and the counter.
    void catchUp();
    // catchUp(), then the list takes every course that misses a video now;
    // entries whose course left the library and that have no job go.
    void rebuild();
    // The videos whose recorded file is gone (file id -> that path), from
    // a look at the disk; then as rebuild().
    void setGone(const QHash<uint, QString>& gone);
    QHash<uint, QString> gone() const { return m_gone; }

    // The number of courses that miss a video now.
    int countNow() const { return m_listedMissing + int(m_missingUnlisted.size()); }
    // The number of courses that missed a video at the last rebuild() (all
    // of them listed then).
    int countAtLastRebuild() const { return m_countAtRebuild; }

    // --- the list
    bool isListed(uint purchaseId) const { return m_entries.contains(int(purchaseId)); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return int(m_entries.size()); }
    // 0: date ascending, 1: date descending, 2: software A to Z, 3: Z to A.
    // Software names come from softwares (software id -> record).
    void sort(int mode, const QMap<int, KvoSoftware>& softwares);
    int sortMode() const { return m_sortMode; }
    const QList<int>& sortedIds() const { return m_sorted; }
    // The job of a listed course, made now when it has none yet; null when
    // the course is not listed (or left the library before it had a job).
    KvoDownloadJob* job(uint purchaseId);
    // The jobs made so far.
    QList<KvoDownloadJob*> jobs() const;
    // Takes a course off the list (its course was opened); its job goes
    // from the event loop.
    bool remove(KvoDownloadJob* job);
    void setOnline(bool online);
    // Stops every job; the waiting ones go first, so that stopping one
    // never starts another.
    void stopAll();

    // --- the rules
    // The course's videos without a file: none recorded, or the recorded
    // one was found gone. No look at the disk.
    static QSet<int> missingVideos(const KvoPurchase& course, const QHash<uint, QString>& gone = {});
    static bool missesVideo(const KvoPurchase& course, const QHash<uint, QString>& gone = {});

signals:
    void countChanged(int count);
    // Courses joined or left the list, or its order changed.
    void listChanged();
    // A course's video rows came, went, or were shown or hidden.
    void rowsChanged();

private:
    // One course as the library holds it now (present false: it left).
    void updateCourse(uint purchaseId, const KvoPurchase& course, bool present);
    // Every course: after a sign-in, a synchronisation or a look at the disk.
    void walkLibrary(bool takeNewCourses);
    // The course's recorded files: those back on disk are no longer gone
    // (a download may write a video again under its old path); with
    // lookAtDisk, those no longer there are (the user deleted a video).
    void checkFiles(const KvoPurchase& course, bool lookAtDisk);
    // Records whether a course misses a video now (present false: it left
    // the library).
    void setMisses(int purchaseId, bool misses, bool present);
    // A listed course's flag, with the count of listed courses missing one.
    void markMisses(Entry& entry, bool misses);
    KvoDownloadJob* makeJob(Entry& entry, const KvoPurchase& course);
    static void setKeys(Entry& entry, const KvoPurchase& course);

    QHash<int, Entry> m_entries;
    // The jobs made so far, by course.
    QHash<int, KvoDownloadJob*> m_jobs;
    QList<int> m_sorted;
    int m_sortMode = 1;
    // Listed courses that miss a video now.
    int m_listedMissing = 0;
    // Courses that miss a video now and are not listed.
    QSet<int> m_missingUnlisted;
    // Listed courses without a job that may have left the library: they go
    // at the next rebuild.
    QSet<int> m_left;
    int m_countAtRebuild = 0;
    QHash<uint, QString> m_gone;
    bool m_online = false;
    bool m_built = false;
    // The library's revision at the last look.
    quint64 m_revision = 0;
};
