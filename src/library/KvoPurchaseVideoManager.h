#pragma once

#include "KvoAuthor.h"
#include "KvoPurchase.h"
#include "KvoSoftware.h"

#include <QAtomicInteger>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QVector>
#include <QPointer>
#include <QReadWriteLock>
#include <QString>

#include <functional>

class KvoHTTPRequest;
class QThread;
class QTimer;

// The user's library and its synchronisation with the web service.
//
// Threads: the manager object lives on the GUI thread with its polling timer
// and its web request. It owns a worker thread (a plain QThread running an
// event loop) on which one answer at a time is parsed, merged into the
// in-memory library and written to SQLite through that thread's own
// connection. The in-memory maps are guarded by one data mutex; every getter
// returns a copy taken under it, and every setter may be called from any
// thread (it writes through the calling thread's connection and emits
// databaseUpdated() on that thread).
//
// Polling: update() sends GET /0.1/playerUserPurchases/ with the timestamp of
// the last answer that reached the database ("since") and the session token.
// 200: the answer replaces the library (the service's list is authoritative;
// the local path, watched percentage, hidden and commented flags survive).
// Answers that are no whole, well-formed library count as failed polls.
// Courses and videos that leave the library keep the user's state in the
// database and get it back when they return; videos whose file nobody knows
// are looked for once per session in the video folder by their
// identification box.
// 304: nothing changed. 409: the session expired; polling stops for good.
// Anything else (network failure, other status, an answer that is no complete
// library): offline, the library stays as it was.
//
// The library is written in one transaction: a crash or kill during the write
// leaves the previous library in the file, and the next poll asks again from
// the last timestamp that was written.
class KvoPurchaseVideoManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollInterval = 30000; // ms

    // The process-wide manager, created on the first call; never null.
    static KvoPurchaseVideoManager* instance();
    // Detaches the manager: stops polling, drops the request, and leaves the
    // waiting for a running synchronisation (and the deletion) to a task of
    // the global thread pool. Returns at once. The next instance() makes a
    // fresh manager.
    static void destroy();

    // Sign-in: the user's id in stored form (users.id_qoz_user), login name,
    // credits as text and session token. Loads the user's library from the
    // database synchronously, so an offline user sees the last
    // synchronisation. Also sets KvoEnvironment's current user id. Drops a
    // poll in flight for an earlier user.
    void setUser(const QString& storedUserId, const QString& login, const QString& credits,
                 const QString& session);

    bool isConnected() const;
    void setConnected(bool connected);

    // Starts one synchronisation now (GUI thread); see the class comment.
    // Asked while one runs, it makes one more as soon as the running one
    // ended (one, however often it was asked meanwhile).
    void update();

    bool isSessionExpired() const;
    // True from the moment a request is sent until its answer was handled
    // (for a 200: written to the database).
    bool isSynchronising() const;
    bool isPolling() const; // the polling timer runs

    QString userId() const; // stored form; empty before a sign-in
    QString login() const;
    QString credits() const;
    QString session() const;
    // Local time of the last successful synchronisation (a 304 included),
    // epoch seconds; 0 for none.
    int lastLocalUpdate() const;

    QMap<int, KvoPurchase> purchases() const;
    // One course, without a copy of the whole library: a copy kept while the
    // library is written makes the write copy every course first. False,
    // with record untouched, when the course is not in the library.
    bool purchase(uint purchaseId, KvoPurchase* record) const;
    // The same from any thread, through the current manager; false when
    // there is none (it was destroyed) or the course is absent. A manager
    // detached meanwhile is deleted only after such a read ended, and a
    // read that waits for the library keeps no caller of instance() waiting.
    static bool currentPurchase(uint purchaseId, KvoPurchase* record);
    QList<int> purchaseIds() const;
    static QList<int> currentPurchaseIds();
    // Every change of the library's courses counts one revision. A reader
    // that remembers the revision it last saw asks what changed since:
    // the courses changed one by one, or false when the whole library may
    // have changed (a sign-in, a synchronisation, a long run of changes),
    // in which case ids is left empty. now: the revision the answer is for.
    quint64 revision() const;
    bool changedSince(quint64 revision, QList<int>* ids, quint64* now) const;
    QMap<int, KvoSoftware> softwares() const;
    QMap<int, KvoAuthor> authors() const;

    // Runs inside every read of one course (purchase(), currentPurchase()),
    // on the reader's thread with the library's lock held: lets a test keep
    // a reader in the middle of its read. Not for production use.
    static void setCourseReadHookForTesting(const std::function<void()>& hook);
    // True while a copy of the courses is alive besides the library itself,
    // so that the next write to the library copies every course first.
    bool isLibrarySharedForTesting() const;

    // Setters: memory first (under the data mutex), then the database, then
    // databaseUpdated() on the calling thread.
    void setVideoPath(const KvoPurchase& purchase, const KvoVideoFile& video);
    void setVideoHidden(uint purchaseId, uint fileId, bool hidden);
    void setAlreadySeen(uint purchaseId, uint fileId, uint percent);
    void setCommented(uint purchaseId, bool commented);
    void setSoftwareSubscribed(uint softwareId, bool subscribed);

signals:
    void changeConnectionState(bool connected);
    void databaseUpdated();
    void updateStarted();
    void updateEnded();
    void sessionExpired();
    // After the write of a merged answer (worker thread): whether the
    // transaction committed.
    void libraryWritten(bool ok);
    // The library could not be saved on this computer (a full disk, a
    // read-only or damaged file): what the user sees may be lost at exit.
    // Once per run of failures; a library written again ends the run.
    // From any thread.
    void librarySaveFailed();

private:
    explicit KvoPurchaseVideoManager(QObject* parent = nullptr);
    ~KvoPurchaseVideoManager() override;

    // The polling timer's tick.
    void poll();
    void sendRequest(quint64 generation);
    // Under the data mutex, for the current user: ends the running
    // synchronisation, or keeps it running and returns true when one more
    // was asked for meanwhile; runAgainLater() then sends it.
    bool endSyncLocked();
    void runAgainLater(quint64 generation);
    void onAnswer(KvoHTTPRequest* request, quint64 generation, bool delivered, const QString& body);
    void processAnswer(const QString& body, quint64 generation);
    void finishSync(quint64 generation);
    void loadFromDatabase(const QString& userId);
    void reportWrite(bool ok, bool wholeLibrary = false);
    // Under the data mutex.
    void noteChanged(int purchaseId);
    void noteReplaced();
    void shutdown();
    // Runs read(manager) on the current manager, pinned so that it outlives
    // the read; none when there is no manager.
    template <typename Result, typename Read>
    static Result readCurrent(Result none, const Read& read);

    QTimer* m_timer = nullptr;
    QPointer<KvoHTTPRequest> m_request;
    QThread* m_thread = nullptr;
    QObject* m_threadContext = nullptr; // lives on m_thread; target of queued work

    // Held for reading by readCurrent() for the length of a read, and for
    // writing once by the deletion: a manager is deleted only after every
    // read that found it ended.
    QReadWriteLock m_readers;

    mutable QMutex m_dataMutex;
    QString m_userId;
    QString m_login;
    QString m_credits;
    QString m_session;
    int m_lastLocalUpdate = 0;
    uint m_since = 0; // timestamp of the last answer written to the database
    QMap<int, KvoPurchase> m_purchases;
    QMap<int, KvoSoftware> m_softwares;
    QMap<int, KvoAuthor> m_authors;
    // Revisions (under the data mutex): the last one, the last at which the
    // whole library was replaced, and the courses changed since, in order.
    quint64 m_revision = 0;
    quint64 m_replacedAt = 0;
    QVector<QPair<quint64, int>> m_changes;
    quint64 m_generation = 0; // bumped by setUser(): answers for an older user are dropped
    bool m_rerun = false; // one more synchronisation was asked for while one ran

    QAtomicInteger<int> m_connected{0};
    QAtomicInteger<int> m_syncing{0};
    QAtomicInteger<int> m_expired{0};
    QAtomicInteger<int> m_stop{0};
    QAtomicInteger<int> m_saveFailing{0};
    bool m_diskSearched = false; // worker thread only
};
