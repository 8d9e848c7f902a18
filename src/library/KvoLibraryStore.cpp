#include "KvoLibraryStore.h"

#include "KvoDatabase.h"
#include "KvoValueReader.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

bool run(QSqlQuery& q, const char* what)
{
    if (q.exec())
        return true;
    qWarning("KvoLibraryStore: %s: %s", what, qPrintable(q.lastError().text()));
    return false;
}

QSqlDatabase openDatabase()
{
    QSqlDatabase db = KvoDatabase::database();
    return db.isValid() && db.isOpen() ? db : QSqlDatabase();
}

QString notNull(const QString& text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

// Rows of the user the library no longer holds: out of it when they keep
// something of the user's, gone otherwise.
bool retire(QSqlDatabase& db, const QString& table, const QString& key, const QString& keepsState,
            const QString& userId, const QSet<uint>& keep)
{
    QSqlQuery select(db);
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT `%1`, %2 FROM `%3` WHERE `id_user` = ?").arg(key, keepsState, table));
    select.addBindValue(userId);
    if (!run(select, "rows"))
        return false;
    QList<QPair<uint, bool>> leaving;
    while (select.next()) {
        const uint id = KvoValueReader::toUInt(select.value(0));
        if (!keep.contains(id))
            leaving.append({id, select.value(1).toBool()});
    }
    select.finish();
    if (leaving.isEmpty())
        return true;
    QSqlQuery out(db), del(db);
    bool outReady = false, delReady = false;
    for (const auto& row : std::as_const(leaving)) {
        QSqlQuery& q = row.second ? out : del;
        bool& ready = row.second ? outReady : delReady;
        if (!ready) {
            ready = row.second ? q.prepare(QStringLiteral("UPDATE `%1` SET `in_library` = 0 "
                                                          "WHERE `id_user` = ? AND `%2` = ?").arg(table, key))
                               : q.prepare(QStringLiteral("DELETE FROM `%1` WHERE `id_user` = ? AND `%2` = ?")
                                               .arg(table, key));
            if (!ready) {
                qWarning("KvoLibraryStore: retire %s: %s", qPrintable(table), qPrintable(q.lastError().text()));
                return false;
            }
        }
        q.bindValue(0, userId);
        q.bindValue(1, row.first);
        if (!run(q, "retire"))
            return false;
    }
    return true;
}

} // namespace

KvoLibraryStore::KvoLibraryStore(const QString& userId)
    : m_userId(userId)
{
}

KvoLibrary KvoLibraryStore::load() const
{
    KvoLibrary library;
    QSqlDatabase db = openDatabase();
    if (m_userId.isEmpty() || !db.isValid())
        return library;

    QHash<int, QList<uint>> listedFiles;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM `purchases` WHERE `id_user` = ? AND `in_library` <> 0"));
    q.addBindValue(m_userId);
    if (q.exec()) {
        while (q.next()) {
            const QSqlRecord record = q.record();
            const KvoPurchase purchase = KvoPurchase::createFromSql(record);
            if (purchase.id == 0)
                continue;
            library.purchases.insert(int(purchase.id), purchase);
            listedFiles.insert(int(purchase.id), KvoValueReader::toUIntList(KvoValueReader::column(record, "files")));
        }
    }

    QHash<uint, KvoVideoFile> videos;
    q.prepare(QStringLiteral("SELECT * FROM `videos` WHERE `id_user` = ? AND `in_library` <> 0"));
    q.addBindValue(m_userId);
    if (q.exec()) {
        while (q.next()) {
            const KvoVideoFile file = KvoVideoFile::createFromSql(q.record());
            if (file.fileId != 0)
                videos.insert(file.fileId, file);
        }
    }
    // A video belongs to the course its row names; rows written without a
    // course (the first-run import) are found through the course's file list.
    auto& purchases = library.purchases;
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

    q.prepare(QStringLiteral(
        "SELECT s.`id`, s.`name`, s.`thumbnail`, s.`url`, us.`suscribed` FROM `user_software` AS us "
        "INNER JOIN `softwares` AS s ON s.`id` = us.`id_software` WHERE us.`id_user` = ?"));
    q.addBindValue(m_userId);
    if (q.exec()) {
        while (q.next()) {
            const KvoSoftware software = KvoSoftware::createFromSql(q.record());
            if (software.id != 0)
                library.softwares.insert(int(software.id), software);
        }
    }

    if (q.exec(QStringLiteral("SELECT * FROM `authors`"))) {
        while (q.next()) {
            const KvoAuthor author = KvoAuthor::createFromSql(q.record());
            if (author.id != 0)
                library.authors.insert(int(author.id), author);
        }
    }
    return library;
}

KvoLibraryStore::Marks KvoLibraryStore::marks() const
{
    Marks marks;
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return marks;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT `last_update`, `last_sync`, `credits` FROM `users` WHERE `id_qoz_user` = ?"));
    q.addBindValue(m_userId);
    if (q.exec() && q.next()) {
        marks.since = KvoValueReader::toUInt(q.value(0));
        marks.lastSync = q.value(1).toLongLong();
        marks.credits = KvoValueReader::toText(q.value(2));
    }
    return marks;
}

KvoLibraryMerge::Stored KvoLibraryStore::localState() const
{
    KvoLibraryMerge::Stored stored;
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return stored;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT `fileid`, `KvoPath`, `hidden`, `alreadyseen` FROM `videos` WHERE `id_user` = ?"));
    q.addBindValue(m_userId);
    if (q.exec()) {
        while (q.next()) {
            KvoLibraryMerge::VideoState state;
            state.path = q.value(1).toString();
            state.path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            state.hidden = KvoValueReader::toBool(q.value(2));
            state.alreadySeen = qMin(100u, KvoValueReader::toUInt(q.value(3)));
            stored.videos.insert(KvoValueReader::toUInt(q.value(0)), state);
        }
    }
    q.prepare(QStringLiteral("SELECT `id` FROM `purchases` WHERE `id_user` = ? AND `commented` <> 0"));
    q.addBindValue(m_userId);
    if (q.exec()) {
        while (q.next())
            stored.commented.insert(KvoValueReader::toUInt(q.value(0)));
    }
    return stored;
}

namespace {
std::function<void(int)>& courseWrittenHook()
{
    static std::function<void(int)> hook;
    return hook;
}
} // namespace

void KvoLibraryStore::setCourseWrittenHookForTesting(const std::function<void(int)>& hook)
{
    courseWrittenHook() = hook;
}

bool KvoLibraryStore::write(const KvoLibrary& library, const QHash<uint, QString>& foundPaths, uint since,
                            qint64 lastSync, const QString& credits)
{
    const auto readCourse = [&library](int purchaseId, KvoPurchase* record) {
        *record = library.purchases.value(purchaseId);
        return true;
    };
    return write(library.purchases.keys(), readCourse, library.softwares, library.authors, foundPaths, since,
                 lastSync, credits);
}

bool KvoLibraryStore::write(const QList<int>& purchaseIds, const CourseReader& readCourse,
                            const QMap<int, KvoSoftware>& softwares, const QMap<int, KvoAuthor>& authors,
                            const QHash<uint, QString>& foundPaths, uint since, qint64 lastSync,
                            const QString& credits)
{
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return false;
    KvoTransaction transaction(db);
    if (!transaction.isActive())
        return false;

    QSqlQuery pq(db);
    if (!pq.prepare(QStringLiteral(
            "INSERT INTO `purchases` (`id_user`, `id`, `files`, `title`, `course_title`, `softwares`, "
            "`software_ids`, `author_ids`, `price`, `previous_price`, `rating`, `sales`, `thumbnail`, "
            "`url`, `end_ts`, `preview_uri`, `width`, `height`, `purchase_date`, `attachment_url`, "
            "`description`, `commented`, `in_library`) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1) "
            "ON CONFLICT(`id_user`, `id`) DO UPDATE SET `files` = excluded.`files`, "
            "`title` = excluded.`title`, `course_title` = excluded.`course_title`, "
            "`softwares` = excluded.`softwares`, `software_ids` = excluded.`software_ids`, "
            "`author_ids` = excluded.`author_ids`, `price` = excluded.`price`, "
            "`previous_price` = excluded.`previous_price`, `rating` = excluded.`rating`, "
            "`sales` = excluded.`sales`, `thumbnail` = excluded.`thumbnail`, `url` = excluded.`url`, "
            "`end_ts` = excluded.`end_ts`, `preview_uri` = excluded.`preview_uri`, "
            "`width` = excluded.`width`, `height` = excluded.`height`, "
            "`purchase_date` = excluded.`purchase_date`, `attachment_url` = excluded.`attachment_url`, "
            "`description` = excluded.`description`, `in_library` = 1")))
        return false;
    QSqlQuery vq(db);
    if (!vq.prepare(QStringLiteral(
            "INSERT INTO `videos` (`id_user`, `fileid`, `id_purchase`, `title`, `duration`, `ord`, "
            "`n_chapter`, `t_chapter`, `expiry_ts`, `thumbnail`, `width`, `height`, `KvoPath`, "
            "`hidden`, `alreadyseen`, `in_library`) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1) "
            "ON CONFLICT(`id_user`, `fileid`) DO UPDATE SET `id_purchase` = excluded.`id_purchase`, "
            "`title` = excluded.`title`, `duration` = excluded.`duration`, `ord` = excluded.`ord`, "
            "`n_chapter` = excluded.`n_chapter`, `t_chapter` = excluded.`t_chapter`, "
            "`expiry_ts` = excluded.`expiry_ts`, `thumbnail` = excluded.`thumbnail`, "
            "`width` = excluded.`width`, `height` = excluded.`height`, `in_library` = 1")))
        return false;

    QSet<uint> keepPurchases, keepVideos, keepSoftwares;
    KvoPurchase course;
    for (const int id : purchaseIds) {
        if (!readCourse(id, &course))
            return false;
        // Read only: the record shares its videos with the library.
        const KvoPurchase& p = course;
        keepPurchases.insert(p.id);
        pq.bindValue(0, m_userId);
        pq.bindValue(1, p.id);
        pq.bindValue(2, KvoPurchase::idListString(p.fileIds()));
        pq.bindValue(3, p.title);
        pq.bindValue(4, p.courseTitle);
        pq.bindValue(5, notNull(p.softwares));
        pq.bindValue(6, KvoPurchase::idListString(p.softwareIDs));
        pq.bindValue(7, KvoPurchase::idListString(p.authorIDs));
        pq.bindValue(8, p.price);
        pq.bindValue(9, p.previousPrice);
        pq.bindValue(10, p.rating);
        pq.bindValue(11, p.sales);
        pq.bindValue(12, notNull(p.thumbnail));
        pq.bindValue(13, notNull(p.url));
        pq.bindValue(14, p.end_ts);
        pq.bindValue(15, notNull(p.preview_uri));
        pq.bindValue(16, p.width);
        pq.bindValue(17, p.height);
        pq.bindValue(18, p.purchaseDate.isValid() ? p.purchaseDate.toSecsSinceEpoch() : qint64(0));
        pq.bindValue(19, notNull(p.attachmentURL));
        pq.bindValue(20, notNull(p.description));
        pq.bindValue(21, p.commented ? 1 : 0);
        if (!run(pq, "purchase"))
            return false;
        for (const KvoVideoFile& f : p.files) {
            keepVideos.insert(f.fileId);
            vq.bindValue(0, m_userId);
            vq.bindValue(1, f.fileId);
            vq.bindValue(2, p.id);
            vq.bindValue(3, f.title);
            vq.bindValue(4, f.duration);
            vq.bindValue(5, f.order);
            vq.bindValue(6, f.n_chapter);
            vq.bindValue(7, notNull(f.t_chapter));
            vq.bindValue(8, f.expiry);
            vq.bindValue(9, notNull(f.thumbnail));
            vq.bindValue(10, f.width);
            vq.bindValue(11, f.height);
            vq.bindValue(12, notNull(f.KvoPath));
            vq.bindValue(13, f.hidden ? 1 : 0);
            vq.bindValue(14, f.alreadySeen);
            if (!run(vq, "video"))
                return false;
        }
        if (courseWrittenHook())
            courseWrittenHook()(keepPurchases.size());
    }

    if (!foundPaths.isEmpty()) {
        QSqlQuery fq(db);
        if (!fq.prepare(QStringLiteral("UPDATE `videos` SET `KvoPath` = ? WHERE `id_user` = ? AND `fileid` = ? "
                                       "AND (`KvoPath` IS NULL OR `KvoPath` = '')")))
            return false;
        for (auto it = foundPaths.cbegin(); it != foundPaths.cend(); ++it) {
            fq.bindValue(0, it.value());
            fq.bindValue(1, m_userId);
            fq.bindValue(2, it.key());
            if (!run(fq, "found path"))
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
        sq.bindValue(1, notNull(s.name));
        sq.bindValue(2, notNull(s.thumbnail));
        sq.bindValue(3, notNull(s.url));
        if (!run(sq, "software"))
            return false;
        uq.bindValue(0, m_userId);
        uq.bindValue(1, s.id);
        uq.bindValue(2, s.suscribed ? 1 : 0);
        if (!run(uq, "user_software"))
            return false;
    }

    if (!retire(db, QStringLiteral("purchases"), QStringLiteral("id"), QStringLiteral("`commented` <> 0"), m_userId,
                keepPurchases)
        || !retire(db, QStringLiteral("videos"), QStringLiteral("fileid"),
                   QStringLiteral("(IFNULL(`KvoPath`, '') <> '' OR `hidden` <> 0 OR `alreadyseen` <> 0)"), m_userId,
                   keepVideos)
        || !retire(db, QStringLiteral("user_software"), QStringLiteral("id_software"), QStringLiteral("0"), m_userId,
                   keepSoftwares))
        return false;

    QSqlQuery user(db);
    user.prepare(QStringLiteral("UPDATE `users` SET `last_update` = ?, `last_sync` = ?, "
                                "`credits` = IFNULL(?, `credits`) WHERE `id_qoz_user` = ?"));
    user.bindValue(0, since);
    user.bindValue(1, lastSync);
    user.bindValue(2, credits.isNull() ? QVariant() : QVariant(credits));
    user.bindValue(3, m_userId);
    if (!run(user, "user"))
        return false;

    return transaction.commit();
}

bool KvoLibraryStore::markSynchronised(qint64 lastSync)
{
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE `users` SET `last_sync` = ? WHERE `id_qoz_user` = ?"));
    q.addBindValue(lastSync);
    q.addBindValue(m_userId);
    return run(q, "synchronised");
}

bool KvoLibraryStore::writeVideoColumn(const char* column, const QVariant& value, uint purchaseId, uint fileId,
                                       bool inLibrary)
{
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return false;
    QSqlQuery q(db);
    const QString name = QLatin1String(column);
    if (inLibrary) {
        q.prepare(QStringLiteral("INSERT INTO `videos` (`id_user`, `fileid`, `id_purchase`, `%1`) VALUES (?, ?, ?, ?) "
                                 "ON CONFLICT(`id_user`, `fileid`) DO UPDATE SET `%1` = excluded.`%1`")
                      .arg(name));
        q.addBindValue(m_userId);
        q.addBindValue(fileId);
        q.addBindValue(purchaseId);
        q.addBindValue(value);
    } else {
        q.prepare(QStringLiteral("UPDATE `videos` SET `%1` = ? WHERE `id_user` = ? AND `fileid` = ?").arg(name));
        q.addBindValue(value);
        q.addBindValue(m_userId);
        q.addBindValue(fileId);
    }
    return run(q, column);
}

bool KvoLibraryStore::setVideoPath(uint purchaseId, uint fileId, const QString& path, bool inLibrary)
{
    QString stored = path;
    stored.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return writeVideoColumn("KvoPath", notNull(stored), purchaseId, fileId, inLibrary);
}

bool KvoLibraryStore::setVideoHidden(uint purchaseId, uint fileId, bool hidden, bool inLibrary)
{
    return writeVideoColumn("hidden", hidden ? 1 : 0, purchaseId, fileId, inLibrary);
}

bool KvoLibraryStore::setAlreadySeen(uint purchaseId, uint fileId, uint percent, bool inLibrary)
{
    return writeVideoColumn("alreadyseen", qMin(percent, 100u), purchaseId, fileId, inLibrary);
}

bool KvoLibraryStore::setCommented(uint purchaseId, bool commented, const QString& files, bool inLibrary)
{
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return false;
    QSqlQuery q(db);
    if (inLibrary) {
        q.prepare(QStringLiteral("INSERT INTO `purchases` (`id_user`, `id`, `files`, `commented`) VALUES (?, ?, ?, ?) "
                                 "ON CONFLICT(`id_user`, `id`) DO UPDATE SET `commented` = excluded.`commented`"));
        q.addBindValue(m_userId);
        q.addBindValue(purchaseId);
        q.addBindValue(notNull(files));
        q.addBindValue(commented ? 1 : 0);
    } else {
        q.prepare(QStringLiteral("UPDATE `purchases` SET `commented` = ? WHERE `id_user` = ? AND `id` = ?"));
        q.addBindValue(commented ? 1 : 0);
        q.addBindValue(m_userId);
        q.addBindValue(purchaseId);
    }
    return run(q, "commented");
}

bool KvoLibraryStore::setSoftwareSubscribed(uint softwareId, bool subscribed)
{
    QSqlDatabase db = openDatabase();
    if (!db.isValid())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "UPDATE `user_software` SET suscribed = :suscribed WHERE id_user = :id_user AND id_software = :id_software"));
    q.bindValue(QStringLiteral(":suscribed"), subscribed ? 1 : 0);
    q.bindValue(QStringLiteral(":id_user"), m_userId);
    q.bindValue(QStringLiteral(":id_software"), softwareId);
    if (!run(q, "suscribed"))
        return false;
    if (q.numRowsAffected() > 0 || m_userId.isEmpty())
        return true;
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO `user_software` (`id_user`, `id_software`, `suscribed`) VALUES (:id_user, :id_software, :suscribed)"));
    insert.bindValue(QStringLiteral(":id_user"), m_userId);
    insert.bindValue(QStringLiteral(":id_software"), softwareId);
    insert.bindValue(QStringLiteral(":suscribed"), subscribed ? 1 : 0);
    return run(insert, "suscribed row");
}
