#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QSqlRecord;

// A software category of courses.
class KvoSoftware
{
public:
    uint id = 0;
    QString name;
    QString thumbnail;       // address of its picture
    QString url;             // address of its web page
    bool suscribed = false;  // the user receives its e-mails

    void fromJson(const QVariantMap& map);
    // A row of `softwares`, joined with the user's `user_software` row for
    // the `suscribed` column.
    void fromSql(const QSqlRecord& record);

    static KvoSoftware createFromJson(const QVariantMap& map);
    static KvoSoftware createFromSql(const QSqlRecord& record);

    bool operator==(const KvoSoftware& other) const { return id == other.id; }
    bool operator!=(const KvoSoftware& other) const { return id != other.id; }
};

Q_DECLARE_METATYPE(KvoSoftware)
