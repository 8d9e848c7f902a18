#include "KvoValueReader.h"

#include <QSqlRecord>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

// The value as a whole number in `out`; false when it is none.
bool wholeNumber(const QVariant& value, qint64* out)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        *out = value.toBool() ? 1 : 0;
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        *out = value.toLongLong();
        return true;
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong v = value.toULongLong();
        if (v > qulonglong(std::numeric_limits<qint64>::max()))
            return false;
        *out = qint64(v);
        return true;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d > 9.0e18 || d < -9.0e18)
            return false;
        *out = qint64(std::trunc(d));
        return true;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (ok) {
            *out = v;
            return true;
        }
        const double d = text.toDouble(&ok);
        if (!ok || !std::isfinite(d) || d > 9.0e18 || d < -9.0e18)
            return false;
        *out = qint64(std::trunc(d));
        return true;
    }
    default:
        return false;
    }
}

} // namespace

uint KvoValueReader::toUInt(const QVariant& value, uint fallback)
{
    qint64 v = 0;
    if (!wholeNumber(value, &v))
        return fallback;
    if (v < 0 || v > qint64(std::numeric_limits<uint>::max()))
        return fallback;
    return uint(v);
}

int KvoValueReader::toInt(const QVariant& value, int fallback)
{
    qint64 v = 0;
    if (!wholeNumber(value, &v))
        return fallback;
    if (v < qint64(std::numeric_limits<int>::min()) || v > qint64(std::numeric_limits<int>::max()))
        return fallback;
    return int(v);
}

QString KvoValueReader::toText(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toString();
    case QMetaType::Double: {
        // JSON numbers may come as doubles: 12.0 reads "12".
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e15)
            return QString::number(qint64(d));
        return QString::number(d);
    }
    default:
        return QString();
    }
}

bool KvoValueReader::toBool(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QString || value.metaType().id() == QMetaType::QByteArray) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("yes"))
            return true;
    }
    qint64 v = 0;
    return wholeNumber(value, &v) && v != 0;
}

QList<uint> KvoValueReader::toUIntList(const QVariant& value)
{
    QList<uint> ids;
    const int type = value.metaType().id();
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
        const QVariantList list = value.toList();
        ids.reserve(list.size());
        for (const QVariant& item : list) {
            const uint id = toUInt(item);
            if (id != 0)
                ids.append(id);
        }
        return ids;
    }
    if (type == QMetaType::QString || type == QMetaType::QByteArray) {
        QString text = value.toString();
        text.replace(QLatin1Char(','), QLatin1Char(';'));
        const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            const uint id = toUInt(part);
            if (id != 0)
                ids.append(id);
        }
        return ids;
    }
    const uint single = toUInt(value);
    if (single != 0)
        ids.append(single);
    return ids;
}

QDateTime KvoValueReader::toDateTime(const QVariant& value)
{
    qint64 seconds = 0;
    if (wholeNumber(value, &seconds)) {
        if (seconds <= 0)
            return QDateTime();
        return QDateTime::fromSecsSinceEpoch(seconds);
    }
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.metaType().id() == QMetaType::QString) {
        QDateTime dt = QDateTime::fromString(value.toString().trimmed(), Qt::ISODate);
        return dt.isValid() ? dt : QDateTime();
    }
    return QDateTime();
}

QVariant KvoValueReader::field(const QVariantMap& map, const char* key)
{
    return map.value(QLatin1String(key));
}

QVariant KvoValueReader::column(const QSqlRecord& record, const char* name)
{
    const int index = record.indexOf(QLatin1String(name));
    return index < 0 ? QVariant() : record.value(index);
}
