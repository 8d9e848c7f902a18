#include "KvoSidewaysWheel.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QScrollBar>
#include <QWheelEvent>

KvoSidewaysWheel* KvoSidewaysWheel::instance()
{
    // One filter for the whole client, gone with the application.
    static KvoSidewaysWheel* filter = new KvoSidewaysWheel(QCoreApplication::instance());
    return filter;
}

void KvoSidewaysWheel::install(QAbstractScrollArea* area)
{
    if (!area)
        return;
    // Rows hand the wheel they do not use on to the viewport.
    area->viewport()->removeEventFilter(instance());
    area->viewport()->installEventFilter(instance());
}

bool KvoSidewaysWheel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint angle = wheel->angleDelta();
    if (!(wheel->modifiers() & Qt::ShiftModifier) || qAbs(angle.y()) <= qAbs(angle.x()))
        return QObject::eventFilter(watched, event);
    auto* viewport = qobject_cast<QWidget*>(watched);
    auto* area = viewport ? qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()) : nullptr;
    if (!area)
        return QObject::eventFilter(watched, event);
    // The same turn of the wheel, sideways: down goes right. Without Shift,
    // which would make the bar jump a page at a time.
    QWheelEvent sideways(wheel->position(), wheel->globalPosition(), wheel->pixelDelta().transposed(),
                         angle.transposed(), wheel->buttons(), wheel->modifiers() & ~Qt::ShiftModifier,
                         wheel->phase(), wheel->inverted(), wheel->source());
    QCoreApplication::sendEvent(area->horizontalScrollBar(), &sideways);
    // Taken also at the end of the list: handed on, it would scroll the
    // page up or down.
    event->accept();
    return true;
}
