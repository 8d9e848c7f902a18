#include "KvoUpdateOffer.h"

#include "KvoJsonResult.h"

#include <QUrl>
#include <QVariant>

#include <limits>

namespace {

// A whole number from a JSON value: a number or a text of digits; 0 for
// anything else (as a non-number version reads as no update).
qint64 wholeNumber(const QVariant& value)
{
    bool ok = false;
    qint64 number = 0;
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (d > -9.0e18 && d < 9.0e18)
            number = qint64(d);
        ok = true;
    } else {
        number = value.toString().trimmed().toLongLong(&ok);
    }
    return ok ? number : 0;
}

} // namespace

KvoUpdateOffer KvoUpdateOffer::fromAnswer(const QString& body)
{
    KvoUpdateOffer offer;
    KvoJsonResult json;
    json.parse(body);
    for (const char* key : {"status", "num", "version", "url", "date", "size"}) {
        if (!json.hasKeys(1, key))
            return offer;
    }
    if (json.value(QStringLiteral("status")).toString() != QLatin1String("OK"))
        return offer;
    offer.m_usable = true;
    offer.m_build = wholeNumber(json.value(QStringLiteral("num")));
    offer.m_version = json.value(QStringLiteral("version")).toString();
    offer.m_url = json.value(QStringLiteral("url")).toString().trimmed();
    offer.m_date = qMax<qint64>(0, wholeNumber(json.value(QStringLiteral("date"))));
    offer.m_size = qMax<qint64>(0, wholeNumber(json.value(QStringLiteral("size"))));
    return offer;
}

bool KvoUpdateOffer::isNewer() const
{
    if (!m_usable || m_build < FirstNewerBuild || m_url.isEmpty() || m_size <= 0)
        return false;
    const QUrl url(m_url);
    return url.isValid() && !url.scheme().isEmpty();
}

qint64 KvoUpdateOffer::sizeInUnit(qint64 bytes, int* unit)
{
    int u = 0;
    qint64 value = qMax<qint64>(0, bytes);
    while (value > 1024 && u < 3) {
        value /= 1024;
        ++u;
    }
    if (unit)
        *unit = u;
    return value;
}

int KvoUpdateOffer::percent(qint64 received, qint64 total)
{
    if (total <= 0)
        return -1;
    if (received <= 0)
        return 0;
    if (received >= total)
        return 100;
    // received < total here, so received * 100 cannot overflow for any
    // size a disk holds; divide first for absurd totals all the same.
    if (received > std::numeric_limits<qint64>::max() / 100)
        return int(received / (total / 100));
    return int(received * 100 / total);
}
