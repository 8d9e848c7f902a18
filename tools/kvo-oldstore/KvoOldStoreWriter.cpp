#include "KvoOldStoreWriter.h"

#include "KvoQozFile.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

bool KvoOldStoreWriter::writeVideo(const QString& path, qint64 size, quint32 purchaseId, quint32 fileId,
                                   const QString& media)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool boxed = size >= KvoQozFile::kTrailerSize;
    const qint64 body = boxed ? size - KvoQozFile::kTrailerSize : size;
    QByteArray head;
    if (!media.isEmpty()) {
        QFile in(media);
        if (in.open(QIODevice::ReadOnly))
            head = in.read(body);
    }
    if (out.write(head) != head.size())
        return false;
    // Varying bytes, so that no file system stores the rest as holes.
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 2463534242u ^ fileId;
    for (int i = 0; i < block.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        block[i] = char(x);
    }
    qint64 left = body - head.size();
    while (left > 0) {
        const qint64 n = qMin<qint64>(left, block.size());
        if (out.write(block.constData(), n) != n)
            return false;
        left -= n;
    }
    if (boxed && out.write(KvoQozFile::trailer(purchaseId, fileId)) != KvoQozFile::kTrailerSize)
        return false;
    return out.flush();
}

bool KvoOldStoreWriter::write(const QString& playerFolder, const QString& databaseFileName,
                              const QList<Course>& courses, const QString& media, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QString store = playerFolder + QStringLiteral("/Local Store");
    const QString qoz = store + QStringLiteral("/qoz");
    if (!QDir().mkpath(qoz))
        return fail(QStringLiteral("cannot create %1").arg(qoz));

    const QString connection = QStringLiteral("kvo-oldstore-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(store + QLatin1Char('/') + databaseFileName);
        if (!db.open())
            return fail(db.lastError().text());
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS `purchase` (`id` INTEGER, `title` TEXT)"))
             && q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS `video` (`id` INTEGER, `qozPath` TEXT, `title` TEXT, "
                                      "`hidden` BOOLEAN, `vornID` INTEGER)"));
        db.transaction();
        for (const Course& c : courses) {
            if (!ok)
                break;
            q.prepare(QStringLiteral("INSERT INTO `purchase` (`id`, `title`) VALUES (?, ?)"));
            q.addBindValue(c.id);
            q.addBindValue(c.title);
            ok = q.exec();
            for (const Video& v : c.videos) {
                if (!ok)
                    break;
                const QString name = v.fileName.isEmpty() ? v.id + QStringLiteral(".qoz") : v.fileName;
                const QString path = qoz + QLatin1Char('/') + name;
                if (v.size >= 0 && !writeVideo(path, v.size, c.id.toUInt(), v.id.toUInt(), media))
                    return fail(QStringLiteral("cannot write %1").arg(path));
                QString stored = v.qozPath.isEmpty() ? QFileInfo(path).absoluteFilePath() : v.qozPath;
                if (stored == QLatin1String("-"))
                    stored = QLatin1String("");
                q.prepare(QStringLiteral(
                    "INSERT INTO `video` (`id`, `qozPath`, `title`, `hidden`, `vornID`) VALUES (?, ?, ?, ?, ?)"));
                q.addBindValue(v.id);
                q.addBindValue(stored);
                q.addBindValue(v.title);
                q.addBindValue(v.hidden ? 1 : 0);
                q.addBindValue(c.id);
                ok = q.exec();
            }
        }
        if (ok)
            ok = db.commit();
        if (!ok && error)
            *error = q.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
