#include "KvoFirstRunImport.h"

#include "KvoCourseFolders.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoFileCopier.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStorageNames.h"
#include "KvoStringCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString s_connection = QStringLiteral("user");
const QString s_localStore = QStringLiteral("Local Store");

QString currentUserId()
{
    return KvoPurchaseVideoManager::instance()->userId();
}

// The earlier database's id as its statement would have read it unquoted:
// a whole number compares as a number, anything else only as that text.
QVariant idValue(const QString& text)
{
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok, 10);
    return ok ? QVariant(n) : QVariant(text);
}

} // namespace

bool KvoFirstRunImport::isAlreadyImported()
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "SELECT c.already_imported FROM `configurations` AS c INNER JOIN `users` as u "
        "ON u.id_configuration = c.rowid WHERE u.id_qoz_user = :id_user"));
    q.bindValue(QStringLiteral(":id_user"), currentUserId());
    if (!q.exec() || !q.next())
        return true;
    return q.value(0).toBool();
}

QString KvoFirstRunImport::userPartOf(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.completeSuffix() != QLatin1String("sqlite"))
        return QString();
    const QString base = info.baseName();
    const int dash = base.indexOf(QLatin1Char('-'));
    return dash < 0 ? base : base.mid(dash + 1);
}

bool KvoFirstRunImport::findOldDatabase()
{
    const QString userId = currentUserId();
    if (userId.isEmpty())
        return false;
    {
        QSqlQuery q(KvoDatabase::database());
        q.prepare(QStringLiteral("SELECT `id_configuration` FROM `users` WHERE `id_qoz_user` = :id_user"));
        q.bindValue(QStringLiteral(":id_user"), userId);
        if (!q.exec() || !q.next())
            return false;
        const qlonglong configuration = q.value(0).toLongLong();
        q.finish();
        // Marked before anything is searched: the import is offered once,
        // whatever the user answers.
        q.prepare(QStringLiteral("UPDATE `configurations` SET `already_imported` = 'true' WHERE rowid = :id"));
        q.bindValue(QStringLiteral(":id"), configuration);
        if (!q.exec())
            return false;
    }

    const QDir preferences(KvoEnvironment::preferencesPath());
    const QFileInfoList entries =
        preferences.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && entry.fileName().contains(QLatin1String("QozmiraPlayer")))
            m_oldPlayerFolders.append(entry.absoluteFilePath());
    }
    for (const QString& folder : std::as_const(m_oldPlayerFolders)) {
        const QDir store(folder + QLatin1Char('/') + s_localStore);
        const QFileInfoList files =
            store.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& file : files) {
            if (!file.isFile())
                continue;
            const QString user = userPartOf(file.fileName());
            if (!user.isEmpty() && KvoStringCodec::encode(user) == userId) {
                handleDatabase(file.absoluteFilePath());
                break;
            }
        }
    }
    return !m_importPurchases.isEmpty();
}

void KvoFirstRunImport::handleDatabase(const QString& path)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), s_connection);
        db.setDatabaseName(path);
        // Read only: the earlier player's store is never changed by reading it.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            handleData(db, QFileInfo(path).absolutePath());
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(s_connection);
}

void KvoFirstRunImport::handleData(QSqlDatabase& db, const QString& localStore)
{
    QList<QPair<QString, QString>> courses;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT `id`, `title` FROM `purchase`")))
            return;
        while (q.next())
            courses.append({q.value(0).toString(), q.value(1).toString()});
    }
    QSqlQuery vq(db);
    vq.setForwardOnly(true);
    if (!vq.prepare(QStringLiteral("SELECT `id`, `qozPath`, `title`, `hidden` FROM `video` WHERE `vornID` = :id")))
        return;
    const QDir store(localStore);
    for (const auto& course : std::as_const(courses)) {
        ImportPurchase p;
        bool ok = false;
        p.purchase.id = course.first.trimmed().toUInt(&ok, 10);
        if (!ok || p.purchase.id == 0)
            continue; // no course of the service has that id
        p.purchase.title = course.second;
        vq.bindValue(QStringLiteral(":id"), idValue(course.first));
        if (!vq.exec())
            continue;
        while (vq.next()) {
            KvoVideoFile v;
            v.fileId = vq.value(0).toString().trimmed().toUInt(&ok, 10);
            if (!ok || v.fileId == 0)
                continue;
            QString path = vq.value(1).toString();
            if (path.isEmpty())
                continue;
            if (QFileInfo(path).isRelative())
                path = store.filePath(path);
            if (!QFileInfo(path).isFile())
                continue;
            v.KvoPath = path;
            v.title = vq.value(2).toString();
            v.hidden = vq.value(3).toBool();
            v.alreadySeen = 0;
            v.purchaseId = p.purchase.id;
            p.videos.append(v);
            p.sources.append(path);
            p.verified.append(false);
        }
        vq.finish();
        if (!p.videos.isEmpty())
            m_importPurchases.append(p);
    }
}

bool KvoFirstRunImport::purchaseHasGoodVideos(const ImportPurchase& p)
{
    for (const KvoVideoFile& v : p.videos) {
        if (v.alreadySeen == 0)
            return true;
    }
    return false;
}

QList<uint> KvoFirstRunImport::purchaseGoodVideos(const ImportPurchase& p)
{
    QList<uint> ids;
    for (const KvoVideoFile& v : p.videos) {
        if (v.alreadySeen == 0)
            ids.append(v.fileId);
    }
    return ids;
}

QList<KvoVideoFile> KvoFirstRunImport::purchaseGoodKvoVideos(const ImportPurchase& p)
{
    QList<KvoVideoFile> good;
    for (const KvoVideoFile& v : p.videos) {
        if (v.alreadySeen == 0)
            good.append(v);
    }
    return good;
}

QString KvoFirstRunImport::courseFolder(const QString& videoFolder, const KvoPurchase& purchase)
{
    return QDir::fromNativeSeparators(videoFolder) + QLatin1Char('/') + KvoStorageNames::courseFolderName(purchase)
           + QLatin1Char('/');
}

QString KvoFirstRunImport::videoFileName(const KvoVideoFile& video)
{
    return KvoStorageNames::videoFileName(video.fileId, video.title);
}

quint64 KvoFirstRunImport::calcNeeded()
{
    if (m_neededKnown)
        return m_neededSize;
    quint64 sum = 0;
    for (const ImportPurchase& p : std::as_const(m_importPurchases)) {
        for (const QString& source : p.sources)
            sum += quint64(qMax<qint64>(0, QFileInfo(source).size()));
    }
    m_neededSize = sum;
    m_neededKnown = true;
    return m_neededSize;
}

void KvoFirstRunImport::markFailed(KvoVideoFile& v, const QString& error)
{
    v.alreadySeen = 1;
    ++m_failed;
    if (m_firstError.isEmpty())
        m_firstError = error;
}

void KvoFirstRunImport::copyVideo(const KvoPurchase& p, KvoVideoFile& v, bool* verified, const QString& videoFolder)
{
    *verified = false;
    const QString source = v.KvoPath;
    const QFileInfo info(source);
    if (!info.isFile()) {
        markFailed(v, tr("Le fichier %1 a disparu.").arg(QDir::toNativeSeparators(source)));
        return;
    }
    const qint64 size = info.size();
    if (size < MinimumSize) {
        // A stub, not a video: nothing to copy, its source stays.
        m_copied += quint64(qMax<qint64>(0, size));
        markFailed(v, tr("Le fichier %1 est vide ou incomplet.").arg(QDir::toNativeSeparators(source)));
        return;
    }
    const QString folder = courseFolder(videoFolder, p);
    // Held while the copy runs; a folder this copy made and left empty
    // (cancelled, failed) goes when it is let go.
    const KvoCourseFolders::Hold hold = KvoCourseFolders::makeAndHold(folder);
    if (!hold.isHeld()) {
        m_copied += quint64(size);
        markFailed(v, tr("Le dossier %1 ne peut pas être créé.").arg(QDir::toNativeSeparators(folder)));
        return;
    }
    const auto releaseFolder = qScopeGuard([&] { KvoCourseFolders::release(hold, videoFolder); });
    const QString target = folder + videoFileName(v);
    qint64 counted = 0; // what the progress has seen of this file
    QString error;
    const KvoFileCopier::Result result = KvoFileCopier::copy(
        source, target,
        [this, &counted](qint64 bytes) {
            counted += bytes;
            m_copied += quint64(bytes);
            return !m_stop.load();
        },
        nullptr, &error);
    switch (result) {
    case KvoFileCopier::Result::Copied:
        v.KvoPath = target;
        *verified = true;
        ++m_copiedCount;
        return;
    case KvoFileCopier::Result::SameFile:
        // Already in its place: registered there, never removed.
        m_copied += quint64(size);
        v.KvoPath = target;
        ++m_copiedCount;
        return;
    case KvoFileCopier::Result::Cancelled:
        v.alreadySeen = 1;
        return;
    default:
        m_copied += quint64(qMax<qint64>(0, size - counted));
        markFailed(v, tr("%1 n'a pas pu être copié : %2").arg(QDir::toNativeSeparators(source), error));
        return;
    }
}

void KvoFirstRunImport::runCopy(const QString& videoFolder)
{
    for (ImportPurchase& p : m_importPurchases) {
        for (int i = 0; i < p.videos.size(); ++i) {
            KvoVideoFile& v = p.videos[i];
            if (m_stop.load()) {
                v.alreadySeen = 1; // not copied: not registered, its source stays
                continue;
            }
            bool verified = false;
            copyVideo(p.purchase, v, &verified, videoFolder);
            p.verified[i] = verified;
        }
    }
    if (!m_stop.load())
        removeCopiedSources();
    writeInBdd();
}

void KvoFirstRunImport::removeCopiedSources()
{
    // Only files of the earlier player's "qoz" folders, and of those only
    // the ones this import copied completely: files of other users, files
    // no course refers to and files whose copy failed stay.
    QSet<QString> qozFolders;
    for (const QString& folder : std::as_const(m_oldPlayerFolders)) {
        const QString canonical =
            QFileInfo(folder + QLatin1Char('/') + s_localStore + QStringLiteral("/qoz")).canonicalFilePath();
        if (!canonical.isEmpty())
            qozFolders.insert(canonical);
    }
    QStringList removable;
    QStringList copies;
    for (const ImportPurchase& p : std::as_const(m_importPurchases)) {
        for (int i = 0; i < p.videos.size(); ++i) {
            if (!p.verified.value(i) || p.videos.at(i).alreadySeen != 0)
                continue;
            const QString source = p.sources.at(i);
            const QFileInfo info(source);
            if (!info.isFile() || !qozFolders.contains(QFileInfo(info.absolutePath()).canonicalFilePath()))
                continue;
            removable.append(source);
            copies.append(p.videos.at(i).KvoPath);
        }
    }
    // The copies reach the disk before their originals go: one flush per
    // file system holding copies (syncfs), not one per file.
    if (removable.isEmpty() || !KvoFileCopier::syncFileSystemsOf(copies))
        return;
    for (const QString& source : std::as_const(removable))
        QFile::remove(source);
}

void KvoFirstRunImport::writeInBdd()
{
    const QString userId = currentUserId();
    QSqlDatabase db = KvoDatabase::database();
    KvoTransaction transaction(db);
    for (const ImportPurchase& p : std::as_const(m_importPurchases)) {
        if (!purchaseHasGoodVideos(p))
            continue;
        QList<uint> ids = purchaseGoodVideos(p);
        {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT files FROM purchases WHERE id = :id_purchase AND id_user = :id_user"));
            q.bindValue(QStringLiteral(":id_user"), userId);
            q.bindValue(QStringLiteral(":id_purchase"), p.purchase.id);
            const bool exists = q.exec() && q.next();
            if (exists) {
                // The files the row lists already stay listed (another
                // earlier folder's videos of the course, or the service's).
                QList<uint> listed;
                const QStringList parts = q.value(0).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
                for (const QString& part : parts) {
                    bool ok = false;
                    const uint id = part.trimmed().toUInt(&ok);
                    if (ok && !listed.contains(id))
                        listed.append(id);
                }
                for (uint id : std::as_const(ids)) {
                    if (!listed.contains(id))
                        listed.append(id);
                }
                ids = listed;
            }
            q.finish();
            const QString files = KvoPurchase::idListString(ids);
            QSqlQuery w(db);
            w.prepare(exists ? QStringLiteral("UPDATE `purchases` SET `files` = :files WHERE `id_user` = :id_user "
                                              "AND `id` = :id_purchase")
                             : QStringLiteral("INSERT INTO `purchases` (`id_user`, `id`, `files`) "
                                              "VALUES (:id_user, :id_purchase, :files)"));
            w.bindValue(QStringLiteral(":id_user"), userId);
            w.bindValue(QStringLiteral(":id_purchase"), p.purchase.id);
            w.bindValue(QStringLiteral(":files"), files);
            w.exec();
        }
        const QList<KvoVideoFile> good = purchaseGoodKvoVideos(p);
        for (const KvoVideoFile& v : good) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT title FROM videos WHERE fileid = :fileid AND id_user = :id_user"));
            q.bindValue(QStringLiteral(":fileid"), v.fileId);
            q.bindValue(QStringLiteral(":id_user"), userId);
            const bool exists = q.exec() && q.next();
            q.finish();
            QSqlQuery w(db);
            w.prepare(exists ? QStringLiteral("UPDATE `videos` SET `KvoPath` = :path, `hidden` = :hidden, "
                                              "`alreadyseen` = :already WHERE `id_user` = :id_user AND fileid = :fileid")
                             : QStringLiteral("INSERT INTO `videos` (`id_user`, `KvoPath`, `fileid`, `hidden`, "
                                              "`alreadyseen`) VALUES (:id_user, :path, :fileid, :hidden, :already)"));
            w.bindValue(QStringLiteral(":id_user"), userId);
            w.bindValue(QStringLiteral(":path"), v.KvoPath);
            w.bindValue(QStringLiteral(":fileid"), v.fileId);
            w.bindValue(QStringLiteral(":hidden"), v.hidden);
            w.bindValue(QStringLiteral(":already"), 0);
            w.exec();
        }
    }
    transaction.commit();
}
