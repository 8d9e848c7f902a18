#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class QSqlRecord;

// Lenient readers of the values of a web-service map or of a SQL row. The
// service is not trusted to send the types its documentation gives: a number
// may arrive as text ("12"), a key may be missing or hold a list. Every
// reader falls back to the type's default instead of failing.
class KvoValueReader
{
public:
    // A non-negative whole number; text holding a number is accepted.
    // Missing, negative, fractional garbage, out of range or of another type:
    // `fallback`.
    static uint toUInt(const QVariant& value, uint fallback = 0);
    static int toInt(const QVariant& value, int fallback = 0);
    // Text, numbers and booleans as their text; anything else gives a null
    // QString (so a caller can tell "no title" from an empty one).
    static QString toText(const QVariant& value);
    // true, non-zero numbers, "true", "1", "yes".
    static bool toBool(const QVariant& value);
    // A list of ids: a JSON list, or a text of ids separated by ";" or ",".
    // Elements that are no positive id are skipped.
    static QList<uint> toUIntList(const QVariant& value);
    // Seconds since the epoch (number or numeric text), or an ISO 8601 text.
    // Invalid QDateTime when absent or unreadable; 0 counts as absent.
    static QDateTime toDateTime(const QVariant& value);

    // The value of `key` in `map` (invalid when missing).
    static QVariant field(const QVariantMap& map, const char* key);
    // The value of column `name` in `record` (invalid when the row has no
    // such column).
    static QVariant column(const QSqlRecord& record, const char* name);
};
