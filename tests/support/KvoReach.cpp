#include "KvoReach.h"

#include "KvoWheelTurn.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

namespace {

bool isControl(const QWidget* w)
{
    return qobject_cast<const QPushButton*>(w) || qobject_cast<const QAbstractSpinBox*>(w)
           || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w)
           || qobject_cast<const QCheckBox*>(w);
}

// The line edit of a spin box or of an editable list is part of it.
bool partOfControl(const QWidget* w)
{
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (isControl(p))
            return true;
    return false;
}

QString nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

QString describe(const QWidget* w)
{
    QStringList names;
    for (const QWidget* p = w; p; p = p->parentWidget()) {
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
            names.prepend(p->objectName());
        if (p->isWindow())
            break;
    }
    QString text;
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        text = button->text();
    else if (auto* spin = qobject_cast<const QAbstractSpinBox*>(w))
        text = spin->text();
    else if (auto* list = qobject_cast<const QComboBox*>(w))
        text = list->currentText();
    return QStringLiteral("%1 %2 \"%3\"").arg(QString::fromLatin1(w->metaObject()->className()),
                                              names.join(QLatin1Char('/')), text);
}

// The scrolling area whose viewport `w` is, if any.
QAbstractScrollArea* areaOfViewport(QWidget* w)
{
    auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
    return area && area->viewport() == w ? area : nullptr;
}

// Whether Shift and the wheel over the area move it sideways; the area is
// left where it was.
bool wheelsSideways(QAbstractScrollArea* area)
{
    QScrollBar* across = area->horizontalScrollBar();
    QScrollBar* down = area->verticalScrollBar();
    if (across->maximum() <= across->minimum())
        return false;
    const int x = across->value();
    const int y = down->value();
    across->setValue(across->minimum());
    KvoWheelTurn::over(area, Qt::ShiftModifier);
    const bool moved = across->value() != across->minimum();
    across->setValue(x);
    down->setValue(y);
    return moved;
}

class Walk
{
public:
    // Where the control at left..right, in the coordinates of `holder`,
    // leaves it; empty when it stays inside.
    QString leaves(int left, int right, QWidget* holder)
    {
        QAbstractScrollArea* area = areaOfViewport(holder);
        if (!area) {
            if (left >= 0 && right <= holder->width())
                return QString();
            return QStringLiteral("at %1..%2 in %3, %4 px wide").arg(left).arg(right).arg(nameOf(holder)).arg(holder->width());
        }
        if (left >= 0 && right <= holder->width())
            return QString();
        const QScrollBar* across = area->horizontalScrollBar();
        if (right - left <= holder->width() && scrolls(area)) {
            // Within the range the user scrolls over.
            const int from = across->minimum() - across->value();
            const int to = holder->width() + across->maximum() - across->value();
            if (left >= from && right <= to)
                return QString();
        }
        return QStringLiteral("at %1..%2 in the viewport of %3, %4 px wide, scrolled %5 of %6 sideways")
            .arg(left)
            .arg(right)
            .arg(nameOf(area))
            .arg(holder->width())
            .arg(across->value())
            .arg(scrolls(area) ? across->maximum() : 0);
    }

private:
    bool scrolls(QAbstractScrollArea* area)
    {
        auto known = m_scrolls.constFind(area);
        if (known != m_scrolls.constEnd())
            return *known;
        const bool bar = area->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff
                         && area->horizontalScrollBar()->isVisible();
        return m_scrolls[area] = bar || wheelsSideways(area);
    }

    QHash<const QAbstractScrollArea*, bool> m_scrolls;
};

} // namespace

QStringList KvoReach::outOfReach(QWidget* root)
{
    QStringList faults;
    Walk walk;
    QList<QWidget*> widgets{root};
    widgets += root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (w->isWindow() || !isControl(w) || !w->isVisible() || partOfControl(w))
            continue;
        // From the control up to its window, one holder after the other.
        int left = w->x();
        int right = w->x() + w->width();
        for (QWidget* holder = w->parentWidget(); holder; holder = holder->parentWidget()) {
            const QString fault = walk.leaves(left, right, holder);
            if (!fault.isEmpty()) {
                faults << describe(w) + QStringLiteral(": ") + fault;
                break;
            }
            if (holder->isWindow())
                break;
            if (QAbstractScrollArea* area = areaOfViewport(holder)) {
                // What shows of the control is the area's concern from here on.
                if (area->isWindow())
                    break;
                holder = area;
                left = area->x();
                right = area->x() + area->width();
            } else {
                left += holder->x();
                right += holder->x();
            }
        }
    }
    return faults;
}
