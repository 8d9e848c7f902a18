#include "KvoSoftware.h"

#include "KvoValueReader.h"

#include <QSqlRecord>

using R = KvoValueReader;

void KvoSoftware::fromJson(const QVariantMap& map)
{
    id = R::toUInt(R::field(map, "id"));
    name = R::toText(R::field(map, "name"));
    thumbnail = R::toText(R::field(map, "thumbnail"));
    url = R::toText(R::field(map, "url"));
    suscribed = R::toBool(R::field(map, "suscribed"));
}

void KvoSoftware::fromSql(const QSqlRecord& record)
{
    id = R::toUInt(R::column(record, "id"));
    name = R::toText(R::column(record, "name"));
    thumbnail = R::toText(R::column(record, "thumbnail"));
    url = R::toText(R::column(record, "url"));
    suscribed = R::toBool(R::column(record, "suscribed"));
}

KvoSoftware KvoSoftware::createFromJson(const QVariantMap& map)
{
    KvoSoftware software;
    software.fromJson(map);
    return software;
}

KvoSoftware KvoSoftware::createFromSql(const QSqlRecord& record)
{
    KvoSoftware software;
    software.fromSql(record);
    return software;
}
