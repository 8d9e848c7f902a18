#include "KvoVornLink.h"

#include <QStringList>
#include <QUrl>

KvoVornLink KvoVornLink::parse(const QString& raw)
{
    KvoVornLink link;
    const QString text = raw.trimmed();
    if (!text.startsWith(QLatin1String("vorn:")))
        return link;
    link.m_valid = true;
    const QStringList fields = text.mid(5).split(QLatin1Char(':'), Qt::KeepEmptyParts);
    QString pending;
    for (const QString& field : fields) {
        if (pending.isEmpty()) {
            link.m_fields.insert(field, QString());
            pending = field;
        } else {
            link.m_fields.insert(pending, field);
            pending.clear();
        }
    }
    return link;
}

KvoVornLink KvoVornLink::parse(const QUrl& url)
{
    return parse(url.toString());
}

uint KvoVornLink::downloadPurchaseId() const
{
    bool ok = false;
    const uint id = value(QStringLiteral("download")).toUInt(&ok, 10);
    return ok ? id : 0;
}
