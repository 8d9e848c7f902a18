#pragma once

#include "KvoPurchase.h"
#include "KvoVideoFile.h"

#include <QAtomicInteger>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QThread>

// The folder search: walks a folder tree on its own thread for stored videos
// (".qoz"), identifies each one, copies it into the user's video folder if
// asked, and hands what is to be registered back to the GUI thread.
//
// Threads: the object lives on the GUI thread. run() reads the library
// through the manager's copy (taken under its lock) and touches no database:
// the registrations (the manager's setters, which write through the default
// connection) are queued and applied by applyPending() on the GUI thread,
// which then emits newVideoImported() once per registered video. The video
// folder is read on the GUI thread before start(). A stop request ends the
// walk before its next entry and cancels a copy in progress (its ".part" is
// removed).
class KvoVideoImporterThread : public QThread
{
    Q_OBJECT

public:
    explicit KvoVideoImporterThread(QObject* parent = nullptr);
    ~KvoVideoImporterThread() override;

    // Set before start() on the GUI thread.
    QString searchFolder;
    bool copyFiles = true;
    QString videoFolder; // KvoEnvironment::videoPath() as read on the GUI thread

    void requestStop() { stopRequested.storeRelaxed(1); }
    bool isStopRequested() const { return stopRequested.loadRelaxed() != 0; }

    // Applies the queued registrations (GUI thread). Also called after the
    // thread has ended, so that none is left behind.
    void applyPending();

    // Files that were found but could not be copied, and the first reason.
    int failedCount() const { return m_failed.loadRelaxed(); }
    QString firstError() const;
    // Entries the walk looked at (folders and files).
    qint64 visitedCount() const { return m_visited.loadRelaxed(); }

signals:
    void newVideoImported();
    // A registration was queued for applyPending() (emitted on the search
    // thread, delivered queued).
    void registrationQueued();

protected:
    void run() override;

private:
    struct Registration
    {
        KvoPurchase purchase;
        KvoVideoFile video;
        bool setPath = false; // a new path to record
        bool unhide = false;  // the video was hidden: show it again
    };

    void handleFoundFile(const QString& path);
    void queue(const Registration& registration);
    void fail(const QString& error);

    QAtomicInteger<int> stopRequested{0};
    QAtomicInteger<int> m_failed{0};
    QAtomicInteger<qint64> m_visited{0};

    mutable QMutex m_mutex; // guards m_pending and m_firstError
    QList<Registration> m_pending;
    QString m_firstError;

    // What this search registered already, seen by later finds before the
    // GUI thread has applied it (search thread only).
    QHash<uint, QString> m_registeredPaths;
    QSet<uint> m_shown;
};
