#include "KvoPurchaseVideoManager.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoValueReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QMutexLocker>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

namespace {

QMutex s_instanceMutex;
KvoPurchaseVideoManager* s_instance = nullptr;

// What the user did with a video, kept across synchronisations.
struct LocalVideoState
{
    QString path;
    bool hidden = false;
    uint alreadySeen = 0;
};

struct ParsedAnswer
{
    QMap<int, KvoPurchase> purchases;
    QMap<int, KvoSoftware> softwares;
    QMap<int, KvoAuthor> authors;
    uint timestamp = 0;
    QString credits; // null when the answer has none
};

QVariantList listOf(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

// False when the text is no complete library answer.
bool parseAnswer(const QString& body, ParsedAnswer* out)
{
    KvoJsonResult json;
    if (!json.parse(body))
        return false;
    const QVariant vorns = json.value(QStringLiteral("vorns"));
    if (vorns.metaType().id() != QMetaType::QVariantList)
        return false;

    // Duplicate ids: the later entry wins.
    const QVariantList courses = vorns.toList();
    for (const QVariant& item : courses) {
        if (item.metaType().id() != QMetaType::QVariantMap)
            continue;
        KvoPurchase purchase = KvoPurchase::createFromJson(item.toMap());
        if (purchase.id != 0)
            out->purchases.insert(int(purchase.id), purchase);
    }
    const QVariantList softwares = listOf(json.value(QStringLiteral("softwares")));
    for (const QVariant& item : softwares) {
        if (item.metaType().id() != QMetaType::QVariantMap)
            continue;
        const KvoSoftware software = KvoSoftware::createFromJson(item.toMap());
        if (software.id != 0)
            out->softwares.insert(int(software.id), software);
    }
    const QVariantList authors = listOf(json.value(QStringLiteral("authors")));
    for (const QVariant& item : authors) {
        if (item.metaType().id() != QMetaType::QVariantMap)
            continue;
        const KvoAuthor author = KvoAuthor::createFromJson(item.toMap());
        if (author.id != 0)
            out->authors.insert(int(author.id), author);
    }
    out->timestamp = KvoValueReader::toUInt(json.value(QStringLiteral("timestamp")));
    out->credits = KvoValueReader::toText(json.value(QStringLiteral("credits")));
    return true;
}

// The local state the database holds for the user (the first-run import
// writes rows the in-memory library has never seen).
void readLocalState(const QString& userId, QHash<uint, LocalVideoState>* videos, QSet<uint>* commented)
{
    QSqlDatabase db = KvoDatabase::database();
    if (!db.isValid() || !db.isOpen())
        return;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT `fileid`, `KvoPath`, `hidden`, `alreadyseen` FROM `videos` WHERE `id_user` = ?"));
    q.addBindValue(userId);
    if (q.exec()) {
        while (q.next()) {
            LocalVideoState state;
            state.path = q.value(1).toString();
            state.path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            state.hidden = KvoValueReader::toBool(q.value(2));
            state.alreadySeen = qMin(100u, KvoValueReader::toUInt(q.value(3)));
            videos->insert(KvoValueReader::toUInt(q.value(0)), state);
        }
    }
    q.prepare(QStringLiteral("SELECT `id` FROM `purchases` WHERE `id_user` = ? AND `commented` <> 0"));
    q.addBindValue(userId);
    if (q.exec()) {
        while (q.next())
            commented->insert(KvoValueReader::toUInt(q.value(0)));
    }
}

// Carries the local state of the old library and of the database into the
// service's fresh library.
void mergeLocalState(QMap<int, KvoPurchase>& fresh, const QMap<int, KvoPurchase>& old,
                     const QHash<uint, LocalVideoState>& stored, const QSet<uint>& storedCommented)
{
    QHash<uint, const KvoVideoFile*> oldFiles;
    for (const KvoPurchase& purchase : old) {
        for (const KvoVideoFile& file : purchase.files)
            oldFiles.insert(file.fileId, &file);
    }
    for (auto pit = fresh.begin(); pit != fresh.end(); ++pit) {
        KvoPurchase& purchase = pit.value();
        const auto oit = old.constFind(pit.key());
        purchase.commented = (oit != old.constEnd() && oit->commented) || storedCommented.contains(purchase.id);
        for (auto fit = purchase.files.begin(); fit != purchase.files.end(); ++fit) {
            KvoVideoFile& file = fit.value();
            const KvoVideoFile* mem = oldFiles.value(file.fileId, nullptr);
            const auto sit = stored.constFind(file.fileId);
            const LocalVideoState* db = sit == stored.constEnd() ? nullptr : &sit.value();
            if (mem) {
                file.KvoPath = mem->KvoPath;
                file.hidden = mem->hidden;
                file.alreadySeen = mem->alreadySeen;
                if (db) {
                    if (file.KvoPath.isEmpty())
                        file.KvoPath = db->path;
                    file.alreadySeen = qMax(file.alreadySeen, db->alreadySeen);
                }
            } else if (db) {
                file.KvoPath = db->path;
                file.hidden = db->hidden;
                file.alreadySeen = db->alreadySeen;
            }
        }
    }
}

QSet<uint> existingIds(QSqlDatabase& db, const QString& sql, const QString& userId, bool* ok)
{
    QSet<uint> ids;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(sql);
    q.addBindValue(userId);
    if (!q.exec()) {
        *ok = false;
        return ids;
    }
    while (q.next())
        ids.insert(KvoValueReader::toUInt(q.value(0)));
    return ids;
}

bool run(QSqlQuery& q, const char* what)
{
    if (q.exec())
        return true;
    qWarning("KvoPurchaseVideoManager: %s: %s", what, qPrintable(q.lastError().text()));
    return false;
}

bool deleteMissing(QSqlDatabase& db, const QString& selectSql, const QString& deleteSql, const QString& userId,
                   const QSet<uint>& keep)
{
    bool ok = true;
    const QSet<uint> present = existingIds(db, selectSql, userId, &ok);
    if (!ok)
        return false;
    QSqlQuery del(db);
    if (!del.prepare(deleteSql))
        return false;
    for (uint id : present) {
        if (keep.contains(id))
            continue;
        del.bindValue(0, userId);
        del.bindValue(1, id);
        if (!run(del, "delete"))
            return false;
    }
    return true;
}

// Writes the whole library of the user in one transaction. Rows of courses,
// videos and software subscriptions the service no longer lists are removed.
// The local columns (path, hidden, watched, commented) are written for new
// rows only: on existing rows the setters keep them current, and a setter
// that ran after the merge must not be overwritten by the merge's snapshot.
bool writeLibrary(const QString& userId, const QMap<int, KvoPurchase>& purchases,
                  const QMap<int, KvoSoftware>& softwares, const QMap<int, KvoAuthor>& authors,
                  uint timestamp, const QString& credits)
{
    QSqlDatabase db = KvoDatabase::database();
    if (!db.isValid() || !db.isOpen())
        return false;
    KvoTransaction transaction(db);
    if (!transaction.isActive())
        return false;

    QSqlQuery pq(db);
    if (!pq.prepare(QStringLiteral(
            "INSERT INTO `purchases` (`id_user`, `id`, `files`, `title`, `course_title`, `softwares`, "
            "`software_ids`, `author_ids`, `price`, `previous_price`, `rating`, `sales`, `thumbnail`, "
            "`url`, `end_ts`, `preview_uri`, `width`, `height`, `purchase_date`, `attachment_url`, "
            "`description`, `commented`) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
            "ON CONFLICT(`id_user`, `id`) DO UPDATE SET `files` = excluded.`files`, "
            "`title` = excluded.`title`, `course_title` = excluded.`course_title`, "
            "`softwares` = excluded.`softwares`, `software_ids` = excluded.`software_ids`, "
            "`author_ids` = excluded.`author_ids`, `price` = excluded.`price`, "
            "`previous_price` = excluded.`previous_price`, `rating` = excluded.`rating`, "
            "`sales` = excluded.`sales`, `thumbnail` = excluded.`thumbnail`, `url` = excluded.`url`, "
            "`end_ts` = excluded.`end_ts`, `preview_uri` = excluded.`preview_uri`, "
            "`width` = excluded.`width`, `height` = excluded.`height`, "
            "`purchase_date` = excluded.`purchase_date`, `attachment_url` = excluded.`attachment_url`, "
            "`description` = excluded.`description`")))
        return false;
    QSqlQuery vq(db);
    if (!vq.prepare(QStringLiteral(
            "INSERT INTO `videos` (`id_user`, `fileid`, `id_purchase`, `title`, `duration`, `ord`, "
            "`n_chapter`, `t_chapter`, `expiry_ts`, `thumbnail`, `width`, `height`, `KvoPath`, "
            "`hidden`, `alreadyseen`) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
            "ON CONFLICT(`id_user`, `fileid`) DO UPDATE SET `id_purchase` = excluded.`id_purchase`, "
            "`title` = excluded.`title`, `duration` = excluded.`duration`, `ord` = excluded.`ord`, "
            "`n_chapter` = excluded.`n_chapter`, `t_chapter` = excluded.`t_chapter`, "
            "`expiry_ts` = excluded.`expiry_ts`, `thumbnail` = excluded.`thumbnail`, "
            "`width` = excluded.`width`, `height` = excluded.`height`")))
        return false;

    QSet<uint> keepPurchases, keepVideos, keepSoftwares;
    for (const KvoPurchase& p : purchases) {
        keepPurchases.insert(p.id);
        pq.bindValue(0, userId);
        pq.bindValue(1, p.id);
        pq.bindValue(2, KvoPurchase::idListString(p.fileIds()));
        pq.bindValue(3, p.title);
        pq.bindValue(4, p.courseTitle);
        pq.bindValue(5, p.softwares.isNull() ? QString(QLatin1String("")) : p.softwares);
        pq.bindValue(6, KvoPurchase::idListString(p.softwareIDs));
        pq.bindValue(7, KvoPurchase::idListString(p.authorIDs));
        pq.bindValue(8, p.price);
        pq.bindValue(9, p.previousPrice);
        pq.bindValue(10, p.rating);
        pq.bindValue(11, p.sales);
        pq.bindValue(12, p.thumbnail.isNull() ? QString(QLatin1String("")) : p.thumbnail);
        pq.bindValue(13, p.url.isNull() ? QString(QLatin1String("")) : p.url);
        pq.bindValue(14, p.end_ts);
        pq.bindValue(15, p.preview_uri.isNull() ? QString(QLatin1String("")) : p.preview_uri);
        pq.bindValue(16, p.width);
        pq.bindValue(17, p.height);
        pq.bindValue(18, p.purchaseDate.isValid() ? p.purchaseDate.toSecsSinceEpoch() : qint64(0));
        pq.bindValue(19, p.attachmentURL.isNull() ? QString(QLatin1String("")) : p.attachmentURL);
        pq.bindValue(20, p.description.isNull() ? QString(QLatin1String("")) : p.description);
        pq.bindValue(21, p.commented ? 1 : 0);
        if (!run(pq, "purchase"))
            return false;
        for (const KvoVideoFile& f : p.files) {
            keepVideos.insert(f.fileId);
            vq.bindValue(0, userId);
            vq.bindValue(1, f.fileId);
            vq.bindValue(2, p.id);
            vq.bindValue(3, f.title);
            vq.bindValue(4, f.duration);
            vq.bindValue(5, f.order);
            vq.bindValue(6, f.n_chapter);
            vq.bindValue(7, f.t_chapter.isNull() ? QString(QLatin1String("")) : f.t_chapter);
            vq.bindValue(8, f.expiry);
            vq.bindValue(9, f.thumbnail.isNull() ? QString(QLatin1String("")) : f.thumbnail);
            vq.bindValue(10, f.width);
            vq.bindValue(11, f.height);
            vq.bindValue(12, f.KvoPath.isNull() ? QString(QLatin1String("")) : f.KvoPath);
            vq.bindValue(13, f.hidden ? 1 : 0);
            vq.bindValue(14, f.alreadySeen);
            if (!run(vq, "video"))
                return false;
        }
    }

    QSqlQuery aq(db);
    if (!aq.prepare(QStringLiteral(
            "INSERT INTO `authors` (`id`, `pseudo`, `avatar`, `bio`, `avatar_url`, `profile_url`, `fan`) "
            "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT(`id`) DO UPDATE SET `pseudo` = excluded.`pseudo`, "
            "`avatar` = excluded.`avatar`, `bio` = excluded.`bio`, `avatar_url` = excluded.`avatar_url`, "
            "`profile_url` = excluded.`profile_url`, `fan` = excluded.`fan`")))
        return false;
    for (const KvoAuthor& a : authors) {
        aq.bindValue(0, a.id);
        aq.bindValue(1, a.pseudo);
        aq.bindValue(2, a.avatar);
        aq.bindValue(3, a.bio);
        aq.bindValue(4, a.avatarURL);
        aq.bindValue(5, a.profileURL);
        aq.bindValue(6, a.fan ? 1 : 0);
        if (!run(aq, "author"))
            return false;
    }

    QSqlQuery sq(db);
    if (!sq.prepare(QStringLiteral(
            "INSERT INTO `softwares` (`id`, `name`, `thumbnail`, `url`) VALUES (?, ?, ?, ?) "
            "ON CONFLICT(`id`) DO UPDATE SET `name` = excluded.`name`, "
            "`thumbnail` = excluded.`thumbnail`, `url` = excluded.`url`")))
        return false;
    QSqlQuery uq(db);
    if (!uq.prepare(QStringLiteral(
            "INSERT INTO `user_software` (`id_user`, `id_software`, `suscribed`) VALUES (?, ?, ?) "
            "ON CONFLICT(`id_user`, `id_software`) DO UPDATE SET `suscribed` = excluded.`suscribed`")))
        return false;
    for (const KvoSoftware& s : softwares) {
        keepSoftwares.insert(s.id);
        sq.bindValue(0, s.id);
        sq.bindValue(1, s.name);
        sq.bindValue(2, s.thumbnail);
        sq.bindValue(3, s.url);
        if (!run(sq, "software"))
            return false;
        uq.bindValue(0, userId);
        uq.bindValue(1, s.id);
        uq.bindValue(2, s.suscribed ? 1 : 0);
        if (!run(uq, "user_software"))
            return false;
    }

    if (!deleteMissing(db, QStringLiteral("SELECT `id` FROM `purchases` WHERE `id_user` = ?"),
                       QStringLiteral("DELETE FROM `purchases` WHERE `id_user` = ? AND `id` = ?"), userId,
                       keepPurchases)
        || !deleteMissing(db, QStringLiteral("SELECT `fileid` FROM `videos` WHERE `id_user` = ?"),
                          QStringLiteral("DELETE FROM `videos` WHERE `id_user` = ? AND `fileid` = ?"), userId,
                          keepVideos)
        || !deleteMissing(db, QStringLiteral("SELECT `id_software` FROM `user_software` WHERE `id_user` = ?"),
                          QStringLiteral("DELETE FROM `user_software` WHERE `id_user` = ? AND `id_software` = ?"),
                          userId, keepSoftwares))
        return false;

    QSqlQuery user(db);
    if (credits.isNull()) {
        user.prepare(QStringLiteral("UPDATE `users` SET `last_update` = ? WHERE `id_qoz_user` = ?"));
        user.bindValue(0, timestamp);
        user.bindValue(1, userId);
    } else {
        user.prepare(QStringLiteral("UPDATE `users` SET `last_update` = ?, `credits` = ? WHERE `id_qoz_user` = ?"));
        user.bindValue(0, timestamp);
        user.bindValue(1, credits);
        user.bindValue(2, userId);
    }
    if (!run(user, "user"))
        return false;

    return transaction.commit();
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
        manager->deleteLater();
    });
}

KvoPurchaseVideoManager::KvoPurchaseVideoManager(QObject* parent)
    : QObject(parent)
{
    KvoPurchase::registerMetaType();
    m_timer = new QTimer(this);
    m_timer->setInterval(PollInterval);
    connect(m_timer, &QTimer::timeout, this, &KvoPurchaseVideoManager::update);

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
        m_softwares.clear();
        m_authors.clear();
        m_lastLocalUpdate = 0;
        m_since = 0;
    }
    m_syncing = 0;
    m_expired = 0;
    KvoEnvironment::setCurrentUserId(storedUserId);
    loadFromDatabase(storedUserId);
    emit databaseUpdated();
}

void KvoPurchaseVideoManager::loadFromDatabase(const QString& userId)
{
    QSqlDatabase db = KvoDatabase::database();
    if (userId.isEmpty() || !db.isValid() || !db.isOpen())
        return;

    QMap<int, KvoPurchase> purchases;
    QHash<int, QList<uint>> listedFiles;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM `purchases` WHERE `id_user` = ?"));
    q.addBindValue(userId);
    if (q.exec()) {
        while (q.next()) {
            const QSqlRecord record = q.record();
            const KvoPurchase purchase = KvoPurchase::createFromSql(record);
            if (purchase.id == 0)
                continue;
            purchases.insert(int(purchase.id), purchase);
            listedFiles.insert(int(purchase.id),
                               KvoValueReader::toUIntList(KvoValueReader::column(record, "files")));
        }
    }

    QHash<uint, KvoVideoFile> videos;
    q.prepare(QStringLiteral("SELECT * FROM `videos` WHERE `id_user` = ?"));
    q.addBindValue(userId);
    if (q.exec()) {
        while (q.next()) {
            const KvoVideoFile file = KvoVideoFile::createFromSql(q.record());
            if (file.fileId != 0)
                videos.insert(file.fileId, file);
        }
    }
    // A video belongs to the course its row names; rows written without a
    // course (the first-run import) are found through the course's file list.
    for (auto it = videos.begin(); it != videos.end(); ++it) {
        const auto pit = purchases.find(int(it->purchaseId));
        if (it->purchaseId != 0 && pit != purchases.end())
            pit->files.insert(int(it->fileId), it.value());
    }
    for (auto lit = listedFiles.cbegin(); lit != listedFiles.cend(); ++lit) {
        KvoPurchase& purchase = purchases[lit.key()];
        for (uint fileId : lit.value()) {
            auto vit = videos.find(fileId);
            if (vit == videos.end() || purchase.files.contains(int(fileId)))
                continue;
            if (vit->purchaseId != 0 && purchases.contains(int(vit->purchaseId)))
                continue; // already placed in the course its row names
            KvoVideoFile file = vit.value();
            file.purchaseId = purchase.id;
            purchase.files.insert(int(fileId), file);
        }
    }

    QMap<int, KvoSoftware> softwares;
    q.prepare(QStringLiteral(
        "SELECT s.`id`, s.`name`, s.`thumbnail`, s.`url`, us.`suscribed` FROM `user_software` AS us "
        "INNER JOIN `softwares` AS s ON s.`id` = us.`id_software` WHERE us.`id_user` = ?"));
    q.addBindValue(userId);
    if (q.exec()) {
        while (q.next()) {
            const KvoSoftware software = KvoSoftware::createFromSql(q.record());
            if (software.id != 0)
                softwares.insert(int(software.id), software);
        }
    }

    QMap<int, KvoAuthor> authors;
    if (q.exec(QStringLiteral("SELECT * FROM `authors`"))) {
        while (q.next()) {
            const KvoAuthor author = KvoAuthor::createFromSql(q.record());
            if (author.id != 0)
                authors.insert(int(author.id), author);
        }
    }

    uint lastUpdate = 0;
    QString storedCredits;
    q.prepare(QStringLiteral("SELECT `last_update`, `credits` FROM `users` WHERE `id_qoz_user` = ?"));
    q.addBindValue(userId);
    if (q.exec() && q.next()) {
        lastUpdate = KvoValueReader::toUInt(q.value(0));
        storedCredits = KvoValueReader::toText(q.value(1));
    }

    QMutexLocker locker(&m_dataMutex);
    if (m_userId != userId)
        return;
    m_purchases = purchases;
    m_softwares = softwares;
    m_authors = authors;
    m_lastLocalUpdate = int(lastUpdate);
    m_since = lastUpdate;
    if (m_credits.isEmpty())
        m_credits = storedCredits;
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
    QString userId, session;
    uint since = 0;
    quint64 generation = 0;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
        session = m_session;
        since = m_since;
        generation = m_generation;
    }
    // Nobody signed in: nothing to ask for.
    if (userId.isEmpty() || !m_syncing.testAndSetOrdered(0, 1)) {
        emit updateEnded();
        return;
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
    QMutexLocker locker(&m_dataMutex);
    if (generation == m_generation)
        m_syncing = 0;
}

void KvoPurchaseVideoManager::processAnswer(const QString& body, quint64 generation)
{
    if (m_stop.loadAcquire())
        return;
    ParsedAnswer answer;
    if (!parseAnswer(body, &answer)) {
        // Not a complete library: count it as a failed poll.
        {
            QMutexLocker locker(&m_dataMutex);
            if (m_stop.loadAcquire() || generation != m_generation)
                return;
            m_syncing = 0;
        }
        setConnected(false);
        emit updateEnded();
        return;
    }

    QString userId;
    {
        QMutexLocker locker(&m_dataMutex);
        userId = m_userId;
    }
    QHash<uint, LocalVideoState> stored;
    QSet<uint> storedCommented;
    readLocalState(userId, &stored, &storedCommented);

    QMap<int, KvoPurchase> purchases;
    QMap<int, KvoSoftware> softwares;
    QMap<int, KvoAuthor> authors;
    QString credits;
    uint previousSince = 0;
    {
        QMutexLocker locker(&m_dataMutex);
        if (m_stop.loadAcquire() || generation != m_generation)
            return;
        mergeLocalState(answer.purchases, m_purchases, stored, storedCommented);
        m_purchases = answer.purchases;
        m_softwares = answer.softwares;
        m_authors = answer.authors;
        if (!answer.credits.isNull())
            m_credits = answer.credits;
        m_lastLocalUpdate = int(answer.timestamp > 0 ? answer.timestamp
                                                     : uint(QDateTime::currentSecsSinceEpoch()));
        previousSince = m_since;
        purchases = m_purchases;
        softwares = m_softwares;
        authors = m_authors;
        credits = answer.credits;
    }
    setConnected(true);
    emit databaseUpdated();
    emit updateEnded();

    const bool written = writeLibrary(userId, purchases, softwares, authors, answer.timestamp, credits);
    {
        QMutexLocker locker(&m_dataMutex);
        // Ask again from the last answer that reached the file when this
        // one did not, so the next poll brings the whole library again.
        if (generation == m_generation) {
            m_since = written ? answer.timestamp : previousSince;
            m_syncing = 0;
        }
    }
    emit libraryWritten(written);
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

namespace {

// Writes one local column of a video row. When the library holds the video
// the row is created if missing (the synchronisation fills the service's
// columns of a row it finds), so a value set before the first write of a
// new course is not lost.
void writeVideoColumn(const QString& userId, const char* column, const QVariant& value, uint purchaseId, uint fileId,
                      bool inLibrary)
{
    QSqlQuery q(KvoDatabase::database());
    const QString name = QLatin1String(column);
    if (inLibrary) {
        q.prepare(QStringLiteral("INSERT INTO `videos` (`id_user`, `fileid`, `id_purchase`, `%1`) VALUES (?, ?, ?, ?) "
                                 "ON CONFLICT(`id_user`, `fileid`) DO UPDATE SET `%1` = excluded.`%1`")
                      .arg(name));
        q.addBindValue(userId);
        q.addBindValue(fileId);
        q.addBindValue(purchaseId);
        q.addBindValue(value);
    } else {
        q.prepare(QStringLiteral("UPDATE `videos` SET `%1` = ? WHERE `id_user` = ? AND `fileid` = ?").arg(name));
        q.addBindValue(value);
        q.addBindValue(userId);
        q.addBindValue(fileId);
    }
    q.exec();
}

} // namespace

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
            }
        }
    }
    writeVideoColumn(userId, "KvoPath", path, purchase.id, video.fileId, found);
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
            }
        }
    }
    writeVideoColumn(userId, "hidden", hidden ? 1 : 0, purchaseId, fileId, found);
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
            }
        }
    }
    writeVideoColumn(userId, "alreadyseen", percent, purchaseId, fileId, found);
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
        }
    }
    QSqlQuery q(KvoDatabase::database());
    if (found) {
        q.prepare(QStringLiteral("INSERT INTO `purchases` (`id_user`, `id`, `files`, `commented`) VALUES (?, ?, ?, ?) "
                                 "ON CONFLICT(`id_user`, `id`) DO UPDATE SET `commented` = excluded.`commented`"));
        q.addBindValue(userId);
        q.addBindValue(purchaseId);
        q.addBindValue(files);
        q.addBindValue(commented ? 1 : 0);
    } else {
        q.prepare(QStringLiteral("UPDATE `purchases` SET `commented` = ? WHERE `id_user` = ? AND `id` = ?"));
        q.addBindValue(commented ? 1 : 0);
        q.addBindValue(userId);
        q.addBindValue(purchaseId);
    }
    q.exec();
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
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "UPDATE `user_software` SET suscribed = :suscribed WHERE id_user = :id_user AND id_software = :id_software"));
    q.bindValue(QStringLiteral(":suscribed"), subscribed ? 1 : 0);
    q.bindValue(QStringLiteral(":id_user"), userId);
    q.bindValue(QStringLiteral(":id_software"), softwareId);
    if (q.exec() && q.numRowsAffected() == 0 && !userId.isEmpty()) {
        QSqlQuery insert(KvoDatabase::database());
        insert.prepare(QStringLiteral(
            "INSERT INTO `user_software` (`id_user`, `id_software`, `suscribed`) VALUES (:id_user, :id_software, :suscribed)"));
        insert.bindValue(QStringLiteral(":id_user"), userId);
        insert.bindValue(QStringLiteral(":id_software"), softwareId);
        insert.bindValue(QStringLiteral(":suscribed"), subscribed ? 1 : 0);
        insert.exec();
    }
    emit databaseUpdated();
}
