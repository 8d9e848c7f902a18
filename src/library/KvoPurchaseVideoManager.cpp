#include "KvoPurchaseVideoManager.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoLibraryAnswer.h"
#include "KvoLibraryMerge.h"
#include "KvoLibraryStore.h"
#include "KvoStoredVideoSearch.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMutexLocker>
#include <QScopeGuard>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

QMutex s_instanceMutex;
KvoPurchaseVideoManager* s_instance = nullptr;

std::function<void()>& courseReadHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

KvoPurchaseVideoManager* KvoPurchaseVideoManager::instance()
{
    QMutexLocker locker(&s_instanceMutex);
    if (!s_instance) {
        s_instance = new KvoPurchaseVideoManager;
        // The timer and the requests belong to the GUI thread, whichever
        // thread asked first.
        QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() != app->thread())
            s_instance->moveToThread(app->thread());
    }
    return s_instance;
}

void KvoPurchaseVideoManager::destroy()
{
    KvoPurchaseVideoManager* manager = nullptr;
    {
        QMutexLocker locker(&s_instanceMutex);
        manager = s_instance;
        s_instance = nullptr;
    }
    if (!manager)
        return;
    manager->m_stop = 1;
    if (QThread::currentThread() == manager->thread())
        manager->shutdown();
    else
        QMetaObject::invokeMethod(manager, [manager] { manager->shutdown(); }, Qt::QueuedConnection);

    // A running synchronisation finishes its write; the pool waits for it so
    // that the caller never blocks. The object itself goes on its own thread.
    QThreadPool::globalInstance()->start([manager] {
        manager->m_thread->quit();
        manager->m_thread->wait();
        // Reads from other threads that found the manager before it was
        // detached end first; none can begin any more.
        manager->m_readers.lockForWrite();
        manager->m_readers.unlock();
        manager->deleteLater();
    });
}

KvoPurchaseVideoManager::KvoPurchaseVideoManager(QObject* parent)
    : QObject(parent)
{
    KvoPurchase::registerMetaType();
    m_timer = new QTimer(this);
    m_timer->setInterval(PollInterval);
    connect(m_timer, &QTimer::timeout, this, &KvoPurchaseVideoManager::poll);

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("KvoPurchaseVideoManager"));
    m_threadContext = new QObject;
    m_threadContext->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_threadContext, &QObject::deleteLater);
    m_thread->start();
}

KvoPurchaseVideoManager::~KvoPurchaseVideoManager()
{
    m_stop = 1;
    if (m_thread->isRunning()) {
        m_thread->quit();
        m_thread->wait();
    }
    delete m_thread;
    QMutexLocker locker(&s_instanceMutex);
    if (s_instance == this)
        s_instance = nullptr;
}

void KvoPurchaseVideoManager::shutdown()
{
    m_timer->stop();
    if (m_request) {
        KvoHTTPRequest* request = m_request;
        m_request = nullptr;
        disconnect(request, nullptr, this, nullptr);
        request->abort();
        request->deleteLater();
    }
}

void KvoPurchaseVideoManager::setUser(const QString& storedUserId, const QString& login, const QString& credits,
                                      const QString& session)
{
    if (m_request) {
        KvoHTTPRequest* request = m_request;
        m_request = nullptr;
        disconnect(request, nullptr, this, nullptr);
        request->abort();
        request->deleteLater();
    }
    {
        QMutexLocker locker(&m_dataMutex);
        ++m_generation;
        m_userId = storedUserId;
        m_login = login;
        m_credits = credits;
        m_session = session;
        m_purchases.clear();
        noteReplaced();
        m_softwares.clear();
        m_authors.clear();
        m_lastLocalUpdate = 0;
        m_since = 0;
        m_syncing = 0;
        m_rerun = false;
    }
    m_expired = 0;
    KvoEnvironment::setCurrentUserId(storedUserId);
    loadFromDatabase(storedUserId);
    emit databaseUpdated();
}

void KvoPurchaseVideoManager::loadFromDatabase(const QString& userId)
{
    if (userId.isEmpty() || !KvoDatabase::isOpen())
        return;
    const KvoLibraryStore store(userId);
    const KvoLibrary library = store.load();
    const KvoLibraryStore::Marks marks = store.marks();

    QMutexLocker locker(&m_dataMutex);
    if (m_userId != userId)
        return;
    m_purchases = library.purchases;
    noteReplaced();
    m_softwares = library.softwares;
    m_authors = library.authors;
    m_lastLocalUpdate = int(marks.lastSync);
    m_since = marks.since;
    if (m_credits.isEmpty())
        m_credits = marks.credits;
}

bool KvoPurchaseVideoManager::isConnected() const
{
    return m_connected.loadAcquire() != 0;
}

void KvoPurchaseVideoManager::setConnected(bool connected)
{
    const int previous = m_connected.fetchAndStoreOrdered(connected ? 1 : 0);
    if ((previous != 0) != connected)
        emit changeConnectionState(connected);
}

bool KvoPurchaseVideoManager::isSessionExpired() const
{
    return m_expired.loadAcquire() != 0;
}

bool KvoPurchaseVideoManager::isSynchronising() const
{
    return m_syncing.loadAcquire() != 0;
}

bool KvoPurchaseVideoManager::isPolling() const
{
    return m_timer->isActive();
}

void KvoPurchaseVideoManager::update()
{
    if (m_expired.loadAcquire() || m_stop.loadAcquire())
        return;
    emit updateStarted();
    if (!m_timer->isActive())
        m_timer->start();
    quint64 generation = 0;
    bool start = false;
    {
        QMutexLocker locker(&m_dataMutex);
        generation = m_generation;
        // Nobody signed in: nothing to ask for. One synchronisation at a
        // time: what is asked meanwhile (a purchase whose course is wanted
        // at once) makes one more as soon as the running one ends.
        if (!m_userId.isEmpty()) {
            if (m_syncing.loadRelaxed())
                m_rerun = true;
            else
                start = m_syncing.testAndSetOrdered(0, 1);
        }
    }
    if (!start) {
        emit updateEnded();
        return;
    }
    sendRequest(generation);
}

void KvoPurchaseVideoManager::poll()
{
    // A tick during a synchronisation asks for no other: the next tick
    // comes anyway.
    if (!isSynchronising())
        update();
}

void KvoPurchaseVideoManager::sendRequest(quint64 generation)
{
    QString session;
    uint since = 0;
    {
        QMutexLocker locker(&m_dataMutex);
        session = m_session;
        since = m_since;
    }
    auto* request = new KvoHTTPRequest(this);
    m_request = request;
    connect(request, &KvoHTTPRequest::successRequest, this,
            [this, request, generation](const QString& body) { onAnswer(request, generation, true, body); });
    connect(request, &KvoHTTPRequest::errorRequest, this,
            [this, request, generation](QNetworkReply::NetworkError, const QString&) {
                onAnswer(request, generation, false, QString());
            });
    request->get(KvoApi::address(QStringLiteral("/0.1/playerUserPurchases/"),
                                 {{QStringLiteral("since"), QString::number(since)},
                                  {QStringLiteral("session"), session}}));
}

bool KvoPurchaseVideoManager::endSyncLocked()
{
    if (std::exchange(m_rerun, false))
        return true;
    m_syncing = 0;
    return false;
}

void KvoPurchaseVideoManager::runAgainLater(quint64 generation)
{
    // From the worker thread too: the request belongs to the GUI thread.
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            {
                QMutexLocker locker(&m_dataMutex);
                // A sign-in since dropped the synchronisation of the
                // earlier user, and what was asked for it.
                if (generation != m_generation)
                    return;
                if (m_stop.loadAcquire() || m_expired.loadAcquire()) {
                    m_syncing = 0;
                    return;
                }
            }
            emit updateStarted();
            sendRequest(generation);
        },
        Qt::QueuedConnection);
}

void KvoPurchaseVideoManager::onAnswer(KvoHTTPRequest* request, quint64 generation, bool delivered,
                                       const QString& body)
{
    const int status = request->statusCode();
    disconnect(request, nullptr, this, nullptr);
    request->deleteLater();
    if (m_request == request)
        m_request = nullptr;
    {
        QMutexLocker locker(&m_dataMutex);
        if (m_stop.loadAcquire() || generation != m_generation)
            return; // an answer for a manager shut down or an earlier user
    }

    if (delivered && status == 200) {
        // Parsed, merged and written on the worker thread.
        QMetaObject::invokeMethod(
            m_threadContext, [this, body, generation] { processAnswer(body, generation); },
            Qt::QueuedConnection);
        return;
    }
    if (status == 304) {
        // Nothing changed, and the library is known to be current now.
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QString userId;
        {
            QMutexLocker locker(&m_dataMutex);
            m_lastLocalUpdate = int(now);
            userId = m_userId;
        }
        KvoLibraryStore(userId).markSynchronised(now);
        setConnected(true);
        finishSync(generation);
        emit updateEnded();
        return;
    }
    if (status == 409) {
        m_timer->stop();
        m_expired = 1;
        finishSync(generation);
        emit sessionExpired();
        emit updateEnded();
        return;
    }
    setConnected(false);
    finishSync(generation);
    emit updateEnded();
}

void KvoPurchaseVideoManager::finishSync(quint64 generation)
{
    bool again = false;
    {
        QMutexLocker locker(&m_dataMutex);
        if (generation == m_generation)
            again = endSyncLocked();
    }
    if (again)
        runAgainLater(generation);
}

void KvoPurchaseVideoManager::processAnswer(const QString& body, quint64 generation)
{
    if (m_stop.loadAcquire())
        return;
    const qint64 receivedAt = QDateTime::currentSecsSinceEpoch();
    KvoLibraryAnswer answer;
    if (!answer.parse(body)) {
        // Not a whole library: a failed poll. Nothing is merged or written,
        // and the next poll asks from the same time again.
        qWarning("KvoPurchaseVideoManager: library answer refused: %s", qPrintable(answer.error));
        bool again = false;
        {
            QMutexLocker locker(&m_dataMutex);
            if (m_stop.loadAcquire() || generation != m_generation)
                return;
            again = endSyncLocked();
        }
        setConnected(false);
        emit updateEnded();
        if (again)
            runAgainLater(generation);
        return;
    }

    const QString userId = this->userId();
    KvoLibraryStore store(userId);
    const KvoLibraryMerge::Stored stored = store.localState();
    // Videos nobody knows a file of: when the database lost its rows, the
    // files are still in the video folder. Looked for once per session. The
    // copy of the library lives for the look only: a write to the library
    // while a copy lives copies every course.
    QHash<uint, KvoLibraryMerge::Found> found;
    if (!m_diskSearched && KvoLibraryMerge::hasUnknownPaths(answer.library.purchases, purchases(), stored)) {
        m_diskSearched = true;
        found = KvoStoredVideoSearch::find(QDir::fromNativeSeparators(KvoEnvironment::videoPath()));
    }

    QList<int> purchaseIds;
    QHash<uint, QString> foundPaths;
    uint previousSince = 0;
    QMap<int, KvoPurchase> replaced;
    {
        QMutexLocker locker(&m_dataMutex);
        if (m_stop.loadAcquire() || generation != m_generation)
            return;
        KvoLibraryMerge::Result merged =
            KvoLibraryMerge::merge(std::move(answer.library.purchases), m_purchases, stored, found);
        replaced = std::exchange(m_purchases, std::move(merged.purchases));
        noteReplaced();
        m_softwares = answer.library.softwares;
        m_authors = answer.library.authors;
        if (!answer.credits.isNull())
            m_credits = answer.credits;
        m_lastLocalUpdate = int(receivedAt);
        previousSince = m_since;
        purchaseIds = m_purchases.keys();
        foundPaths = std::move(merged.foundPaths);
    }
    // Freed with the lock let go: every course of it goes, and readers on
    // the GUI thread would wait for that.
    replaced.clear();
    setConnected(true);
    emit databaseUpdated();
    emit updateEnded();

    // Each course is read as the write reaches it, so the write keeps no
    // copy of the library that a write from the GUI would have to copy
    // whole. A sign-in meanwhile replaced the library with another user's:
    // nothing more of it is this user's to write.
    bool signedOut = false;
    const auto readCourse = [this, generation, &signedOut](int purchaseId, KvoPurchase* record) {
        QMutexLocker locker(&m_dataMutex);
        signedOut = generation != m_generation;
        const auto it = m_purchases.constFind(purchaseId);
        if (signedOut || it == m_purchases.cend())
            return false;
        *record = it.value();
        return true;
    };
    const bool written = store.write(purchaseIds, readCourse, answer.library.softwares, answer.library.authors,
                                     foundPaths, answer.timestamp, receivedAt, answer.credits);
    bool again = false;
    {
        QMutexLocker locker(&m_dataMutex);
        // Ask again from the last answer that reached the file when this
        // one did not, so the next poll brings the whole library again.
        if (generation == m_generation) {
            m_since = written ? answer.timestamp : previousSince;
            again = endSyncLocked();
        }
    }
    // A write given up for a sign-in says nothing of the disk.
    if (!signedOut)
        reportWrite(written, true);
    emit libraryWritten(written);
    if (again)
        runAgainLater(generation);
}

void KvoPurchaseVideoManager::reportWrite(bool ok, bool wholeLibrary)
{
    // One report per run of failures: a full disk fails every poll alike.
    if (ok) {
        if (wholeLibrary)
            m_saveFailing = 0;
        return;
    }
    if (m_saveFailing.testAndSetOrdered(0, 1))
        emit librarySaveFailed();
}

QString KvoPurchaseVideoManager::userId() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_userId;
}

QString KvoPurchaseVideoManager::login() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_login;
}

QString KvoPurchaseVideoManager::credits() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_credits;
}

QString KvoPurchaseVideoManager::session() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_session;
}

int KvoPurchaseVideoManager::lastLocalUpdate() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_lastLocalUpdate;
}

QMap<int, KvoPurchase> KvoPurchaseVideoManager::purchases() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_purchases;
}

bool KvoPurchaseVideoManager::purchase(uint purchaseId, KvoPurchase* record) const
{
    QMutexLocker locker(&m_dataMutex);
    if (courseReadHook())
        courseReadHook()();
    const auto it = m_purchases.constFind(int(purchaseId));
    if (it == m_purchases.cend())
        return false;
    *record = it.value();
    return true;
}

template <typename Result, typename Read>
Result KvoPurchaseVideoManager::readCurrent(Result none, const Read& read)
{
    KvoPurchaseVideoManager* manager = nullptr;
    {
        // The instance lock is held for the look-up only: a read that waits
        // for the library (a synchronisation's merge holds it) must not
        // keep instance() waiting on the GUI thread.
        QMutexLocker locker(&s_instanceMutex);
        manager = s_instance;
        if (!manager)
            return none;
        // Pinned before the lock goes, so before destroy() can detach it.
        manager->m_readers.lockForRead();
    }
    const auto unpin = qScopeGuard([manager] { manager->m_readers.unlock(); });
    return read(manager);
}

bool KvoPurchaseVideoManager::currentPurchase(uint purchaseId, KvoPurchase* record)
{
    return readCurrent(false, [=](const KvoPurchaseVideoManager* manager) {
        return manager->purchase(purchaseId, record);
    });
}

void KvoPurchaseVideoManager::setCourseReadHookForTesting(const std::function<void()>& hook)
{
    courseReadHook() = hook;
}

bool KvoPurchaseVideoManager::isLibrarySharedForTesting() const
{
    QMutexLocker locker(&m_dataMutex);
    return !m_purchases.isDetached();
}

QList<int> KvoPurchaseVideoManager::purchaseIds() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_purchases.keys();
}

QList<int> KvoPurchaseVideoManager::currentPurchaseIds()
{
    return readCurrent(QList<int>(), [](const KvoPurchaseVideoManager* manager) { return manager->purchaseIds(); });
}

quint64 KvoPurchaseVideoManager::revision() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_revision;
}

bool KvoPurchaseVideoManager::changedSince(quint64 revision, QList<int>* ids, quint64* now) const
{
    ids->clear();
    QMutexLocker locker(&m_dataMutex);
    *now = m_revision;
    // A revision from before the last replacement, or one this manager
    // never gave (an earlier manager's), says nothing of what changed.
    if (revision < m_replacedAt || revision > m_revision)
        return false;
    const auto first = std::upper_bound(m_changes.cbegin(), m_changes.cend(), revision,
                                        [](quint64 r, const QPair<quint64, int>& change) { return r < change.first; });
    QSet<int> seen;
    for (auto it = first; it != m_changes.cend(); ++it)
        if (!seen.contains(it->second)) {
            seen.insert(it->second);
            ids->append(it->second);
        }
    return true;
}

void KvoPurchaseVideoManager::noteChanged(int purchaseId)
{
    ++m_revision;
    // A reader that fell far behind walks the library once instead.
    if (m_changes.size() >= 4096) {
        noteReplaced();
        return;
    }
    m_changes.append(qMakePair(m_revision, purchaseId));
}

void KvoPurchaseVideoManager::noteReplaced()
{
    ++m_revision;
    m_replacedAt = m_revision;
    m_changes.clear();
}

QMap<int, KvoSoftware> KvoPurchaseVideoManager::softwares() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_softwares;
}

QMap<int, KvoAuthor> KvoPurchaseVideoManager::authors() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_authors;
}

void KvoPurchaseVideoManager::setVideoPath(const KvoPurchase& purchase, const KvoVideoFile& video)
{
    QString path = video.KvoPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isNull())
        path = QLatin1String("");
    QString userId;
    bool found = false;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
        auto pit = m_purchases.find(int(purchase.id));
        if (pit != m_purchases.end()) {
            auto fit = pit->files.find(int(video.fileId));
            if (fit != pit->files.end()) {
                fit->KvoPath = path;
                found = true;
                noteChanged(pit.key());
            }
        }
    }
    reportWrite(KvoLibraryStore(userId).setVideoPath(purchase.id, video.fileId, path, found));
    emit databaseUpdated();
}

void KvoPurchaseVideoManager::setVideoHidden(uint purchaseId, uint fileId, bool hidden)
{
    QString userId;
    bool found = false;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
        auto pit = m_purchases.find(int(purchaseId));
        if (pit != m_purchases.end()) {
            auto fit = pit->files.find(int(fileId));
            if (fit != pit->files.end()) {
                fit->hidden = hidden;
                found = true;
                noteChanged(pit.key());
            }
        }
    }
    reportWrite(KvoLibraryStore(userId).setVideoHidden(purchaseId, fileId, hidden, found));
    emit databaseUpdated();
}

void KvoPurchaseVideoManager::setAlreadySeen(uint purchaseId, uint fileId, uint percent)
{
    percent = qMin(percent, 100u);
    QString userId;
    bool found = false;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
        auto pit = m_purchases.find(int(purchaseId));
        if (pit != m_purchases.end()) {
            auto fit = pit->files.find(int(fileId));
            if (fit != pit->files.end()) {
                fit->alreadySeen = percent;
                found = true;
                noteChanged(pit.key());
            }
        }
    }
    reportWrite(KvoLibraryStore(userId).setAlreadySeen(purchaseId, fileId, percent, found));
    emit databaseUpdated();
}

void KvoPurchaseVideoManager::setCommented(uint purchaseId, bool commented)
{
    QString userId;
    QString files;
    bool found = false;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
        auto pit = m_purchases.find(int(purchaseId));
        if (pit != m_purchases.end()) {
            pit->commented = commented;
            files = KvoPurchase::idListString(pit->fileIds());
            found = true;
            noteChanged(pit.key());
        }
    }
    reportWrite(KvoLibraryStore(userId).setCommented(purchaseId, commented, files, found));
    emit databaseUpdated();
}

void KvoPurchaseVideoManager::setSoftwareSubscribed(uint softwareId, bool subscribed)
{
    QString userId;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
        auto it = m_softwares.find(int(softwareId));
        if (it != m_softwares.end())
            it->suscribed = subscribed;
    }
    reportWrite(KvoLibraryStore(userId).setSoftwareSubscribed(softwareId, subscribed));
    emit databaseUpdated();
}
