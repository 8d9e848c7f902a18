#include "KvoAuthor.h"

#include "KvoValueReader.h"

#include <QSqlRecord>

using R = KvoValueReader;

void KvoAuthor::fromJson(const QVariantMap& map)
{
    id = R::toUInt(R::field(map, "id"));
    pseudo = R::toText(R::field(map, "pseudo"));
    avatar = R::toText(R::field(map, "avatar"));
    bio = R::toText(R::field(map, "bio"));
    avatarURL = R::toText(R::field(map, "avatar_url"));
    profileURL = R::toText(R::field(map, "profile_url"));
    fan = R::toBool(R::field(map, "fan"));
}

void KvoAuthor::fromSql(const QSqlRecord& record)
{
    id = R::toUInt(R::column(record, "id"));
    pseudo = R::toText(R::column(record, "pseudo"));
    avatar = R::toText(R::column(record, "avatar"));
    bio = R::toText(R::column(record, "bio"));
    avatarURL = R::toText(R::column(record, "avatar_url"));
    profileURL = R::toText(R::column(record, "profile_url"));
    fan = R::toBool(R::column(record, "fan"));
}

KvoAuthor KvoAuthor::createFromJson(const QVariantMap& map)
{
    KvoAuthor author;
    author.fromJson(map);
    return author;
}

KvoAuthor KvoAuthor::createFromSql(const QSqlRecord& record)
{
    KvoAuthor author;
    author.fromSql(record);
    return author;
}
