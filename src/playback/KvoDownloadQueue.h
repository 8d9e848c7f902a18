#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class KvoDownloadJob;

// The process-wide download queue: at most three jobs hold a download slot
// at once; the others wait first in, first out. Every path that gives a slot
// back lets the next waiting job start, from the event loop. It also carries
// what a job needs said on screen (no connection, a finished course, a run
// that ended), so that jobs stay free of widgets. GUI thread only.
class KvoDownloadQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxActiveDownloads = 3;

    static KvoDownloadQueue* instance();

    int activeCount() const { return int(m_active.size()); }
    int queuedCount() const { return int(m_waiting.size()); }
    QList<KvoDownloadJob*> activeJobs() const { return m_active; }
    QList<KvoDownloadJob*> queuedJobs() const { return m_waiting; }
    bool isQueued(const KvoDownloadJob* job) const;
    bool holdsSlot(const KvoDownloadJob* job) const;

    // Empties the waiting line; the waiting jobs keep their look.
    void clear();

    // --- for the jobs
    void append(KvoDownloadJob* job);
    void removeWaiting(KvoDownloadJob* job);
    // Takes a free slot for the job; false when three others hold them.
    bool takeSlot(KvoDownloadJob* job);
    // Gives the job's slot back (and lets the next one start); false when
    // it held none.
    bool releaseSlot(KvoDownloadJob* job);
    void scheduleNext();

signals:
    // A job was asked to download while the client is offline.
    void connectionNeeded();
    // A job ended a run (finished or failed): whether its purchase misses
    // a video may have changed.
    void jobEnded(uint purchaseId);
    // A course (or video) arrived: the "Video download finished" news.
    void downloadFinished(const QString& title, int softwareId, int videoId);

private:
    KvoDownloadQueue() = default;
    void startWaiting();

    QList<KvoDownloadJob*> m_waiting;
    // The same jobs, for a membership test that stays quick when a whole
    // library waits.
    QSet<const KvoDownloadJob*> m_waitingSet;
    QList<KvoDownloadJob*> m_active;
    bool m_startPending = false;
};
