#include "KvoSliderPosition.h"

#include <QtGlobal>

std::optional<int> KvoSliderPosition::valueAt(Qt::Orientation orientation, int minimum, int maximum,
                                              const QPoint& position, const QSize& size)
{
    const qint64 span = qint64(maximum) - qint64(minimum);
    qint64 offset = 0;
    if (orientation == Qt::Horizontal) {
        if (size.width() <= 0)
            return std::nullopt;
        offset = (span * position.x()) / size.width();
    } else {
        if (size.height() <= 0)
            return std::nullopt;
        offset = (qint64(size.height() - position.y()) * span) / size.height();
    }
    const qint64 value = qint64(minimum) + offset;
    return int(qBound(qint64(qMin(minimum, maximum)), value, qint64(qMax(minimum, maximum))));
}
