#pragma once

#include "KvoPurchase.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QThread;

// Finds, on a thread of its own, the videos of a library whose recorded
// file is gone from the disk (deleted outside the client). One look at the
// disk per recorded file adds up over a large library: a page that needs
// the answer asks for it and goes on, and hears it through checked().
//
// The check keeps no copy of the library: it takes the list of courses and
// reads one course at a time, so the library is never made to copy itself
// by a write during a check.
//
// At most one check runs; one asked for meanwhile runs after it, on the
// library as it is then, so that a file deleted during a check is found by
// the next. Owned and used on one thread (the GUI thread); destruction
// stops a running check and waits for it.
class KvoStoredFileCheck : public QObject
{
    Q_OBJECT

public:
    explicit KvoStoredFileCheck(QObject* parent = nullptr);
    ~KvoStoredFileCheck() override;

    // Reads a course by id; false when it is not there.
    using Lookup = std::function<bool(uint purchaseId, KvoPurchase* record)>;

    // Lists the courses to check (any thread).
    using Courses = std::function<QList<int>()>;

    // Checks the courses of the library of the synchronisation manager,
    // listed and read on the check's own thread.
    void start();
    // Checks the courses that courses() lists, read through lookup; both
    // are called on the check's thread.
    void start(const Courses& courses, const Lookup& lookup);
    // A check runs now.
    bool isRunning() const { return m_thread != nullptr; }

    // The videos of those courses with a recorded path and no file there:
    // file id -> that path. Stops early, with what it found, once cancel
    // is set.
    static QHash<uint, QString> goneFiles(const QList<int>& purchaseIds, const Lookup& lookup,
                                          const std::atomic<bool>* cancel = nullptr);

signals:
    void checked(const QHash<uint, QString>& gone);

private:
    void onThreadFinished();

    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
    // Written by the worker, read once it has finished.
    QHash<uint, QString> m_result;
    Courses m_nextCourses;
    Lookup m_nextLookup;
    bool m_hasNext = false;
};
