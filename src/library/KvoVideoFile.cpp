#include "KvoVideoFile.h"

#include "KvoValueReader.h"

#include <QFileInfo>
#include <QSqlRecord>

using R = KvoValueReader;

void KvoVideoFile::fromJson(const QVariantMap& map)
{
    fileId = R::toUInt(R::field(map, "id"));
    title = R::toText(R::field(map, "title"));
    duration = R::toUInt(R::field(map, "duration"));
    order = R::toUInt(R::field(map, "order"));
    n_chapter = R::toUInt(R::field(map, "n_chapter"));
    t_chapter = R::toText(R::field(map, "t_chapter"));
    expiry = R::toUInt(R::field(map, "expiry_ts"));
    thumbnail = R::toText(R::field(map, "thumbnail"));
    width = R::toInt(R::field(map, "width"));
    height = R::toInt(R::field(map, "height"));
}

void KvoVideoFile::fromSql(const QSqlRecord& record)
{
    fileId = R::toUInt(R::column(record, "fileid"));
    purchaseId = R::toUInt(R::column(record, "id_purchase"));
    title = R::toText(R::column(record, "title"));
    duration = R::toUInt(R::column(record, "duration"));
    order = R::toUInt(R::column(record, "ord"));
    n_chapter = R::toUInt(R::column(record, "n_chapter"));
    t_chapter = R::toText(R::column(record, "t_chapter"));
    expiry = R::toUInt(R::column(record, "expiry_ts"));
    thumbnail = R::toText(R::column(record, "thumbnail"));
    width = R::toInt(R::column(record, "width"));
    height = R::toInt(R::column(record, "height"));
    KvoPath = R::toText(R::column(record, "KvoPath"));
    KvoPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    alreadySeen = qMin(100u, R::toUInt(R::column(record, "alreadyseen")));
    hidden = R::toBool(R::column(record, "hidden"));
}

KvoVideoFile KvoVideoFile::createFromJson(const QVariantMap& map)
{
    KvoVideoFile file;
    file.fromJson(map);
    return file;
}

KvoVideoFile KvoVideoFile::createFromSql(const QSqlRecord& record)
{
    KvoVideoFile file;
    file.fromSql(record);
    return file;
}

bool KvoVideoFile::isOnDisk() const
{
    return !KvoPath.isEmpty() && QFileInfo(KvoPath).isFile();
}

bool KvoVideoFile::operator<(const KvoVideoFile& other) const
{
    if (order != other.order)
        return order < other.order;
    return fileId < other.fileId;
}
