#include "KvoColourContrast.h"

#include <QLabel>
#include <QtMath>

namespace {

double channel(double c)
{
    return c <= 0.03928 ? c / 12.92 : qPow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double KvoColourContrast::ratio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

double KvoColourContrast::weakestLabel(const QWidget* window, QString* which)
{
    const QColor back = window->palette().color(window->backgroundRole());
    double worst = 21;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        const double r = ratio(label->palette().color(label->foregroundRole()), back);
        if (r < worst) {
            worst = r;
            if (which)
                *which = label->text();
        }
    }
    return worst;
}
