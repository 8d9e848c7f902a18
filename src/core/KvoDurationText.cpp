#include "KvoDurationText.h"

QString KvoDurationText::clock(quint64 seconds)
{
    const quint64 hours = seconds / 3600;
    const quint64 minutes = seconds % 3600 / 60;
    const quint64 rest = seconds % 60;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}
