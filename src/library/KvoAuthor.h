#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QSqlRecord;

// An author of courses.
class KvoAuthor
{
public:
    uint id = 0;
    QString pseudo;
    QString avatar;      // address of the picture
    QString bio;
    QString avatarURL;   // address of the avatar's page
    QString profileURL;
    bool fan = false;    // the user follows the author

    void fromJson(const QVariantMap& map);
    void fromSql(const QSqlRecord& record); // a row of `authors`

    static KvoAuthor createFromJson(const QVariantMap& map);
    static KvoAuthor createFromSql(const QSqlRecord& record);

    bool operator==(const KvoAuthor& other) const { return id == other.id; }
};

Q_DECLARE_METATYPE(KvoAuthor)
