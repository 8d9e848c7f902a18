#pragma once

#include "KvoPurchase.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

#include <atomic>

class QThread;

// Finds, on a thread of its own, the videos of a library whose recorded
// file is gone from the disk (deleted outside the client). One look at the
// disk per recorded file adds up over a large library: a page that needs
// the answer asks for it and goes on, and hears it through checked().
//
// At most one check runs; one asked for meanwhile runs after it, on the
// library it was given, so that a file deleted during a check is found by
// the next. Owned and used on one thread (the GUI thread); destruction
// stops a running check and waits for it.
class KvoStoredFileCheck : public QObject
{
    Q_OBJECT

public:
    explicit KvoStoredFileCheck(QObject* parent = nullptr);
    ~KvoStoredFileCheck() override;

    void start(const QMap<int, KvoPurchase>& library);

    // The videos of the library with a recorded path and no file there:
    // file id -> that path. Stops early, with what it found, once cancel
    // is set.
    static QHash<uint, QString> goneFiles(const QMap<int, KvoPurchase>& library,
                                          const std::atomic<bool>* cancel = nullptr);

signals:
    void checked(const QHash<uint, QString>& gone);

private:
    void onThreadFinished();

    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
    // Written by the worker, read once it has finished.
    QHash<uint, QString> m_result;
    QMap<int, KvoPurchase> m_next;
    bool m_hasNext = false;
};
