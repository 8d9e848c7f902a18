#include "KvoFocusInView.h"

#include <QFocusEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// The bar's value that shows [start, end) in a view of the given length,
// moving as little as it can; the start wins where both do not fit.
int shownFrom(const QScrollBar* bar, int start, int end, int length)
{
    int value = bar->value();
    if (end > value + length)
        value = end - length;
    if (start < value)
        value = start;
    return qBound(bar->minimum(), value, bar->maximum());
}

} // namespace

KvoFocusInView::KvoFocusInView(QScrollArea* area)
    : QObject(area)
    , m_area(area)
{
}

void KvoFocusInView::install(QScrollArea* area)
{
    if (!area || !area->widget() || area->findChild<KvoFocusInView*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    auto* follower = new KvoFocusInView(area);
    const QList<QWidget*> controls = area->widget()->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (control->focusPolicy() & Qt::TabFocus)
            control->installEventFilter(follower);
    }
}

bool KvoFocusInView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::MouseFocusReason:
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
            break;
        default:
            bringIntoView(static_cast<QWidget*>(watched));
        }
    }
    return QObject::eventFilter(watched, event);
}

void KvoFocusInView::bringIntoView(QWidget* control)
{
    QWidget* content = m_area->widget();
    if (!content || !content->isAncestorOf(control))
        return;
    const QRect place(control->mapTo(content, QPoint(0, 0)), control->size());
    // Up and down only: the scrolled forms are as wide as their view.
    QScrollBar* down = m_area->verticalScrollBar();
    down->setValue(shownFrom(down, place.top(), place.bottom() + 1, m_area->viewport()->height()));
}
