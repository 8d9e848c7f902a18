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
    if (!(wheel->modifiers() & Qt::ShiftModifier))
        return QObject::eventFilter(watched, event);
    auto* viewport = qobject_cast<QWidget*>(watched);
    auto* area = viewport ? qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()) : nullptr;
    if (!area)
        return QObject::eventFilter(watched, event);
    // A turn up or down goes sideways: down towards the end of the line,
    // that is right in a left-to-right layout. A turn that is sideways
    // already (a tilt wheel, or Alt, which X11 turns sideways) stays so.
    QPoint angle = wheel->angleDelta();
    QPoint pixels = wheel->pixelDelta();
    if (qAbs(angle.y()) > qAbs(angle.x())) {
        angle = angle.transposed();
        pixels = pixels.transposed();
    }
    // Without Shift in every case: on a scroll bar it makes a notch jump a
    // whole page.
    QWheelEvent sideways(wheel->position(), wheel->globalPosition(), pixels, angle, wheel->buttons(),
                         wheel->modifiers() & ~Qt::ShiftModifier, wheel->phase(), wheel->inverted(),
                         wheel->source());
    QCoreApplication::sendEvent(area->horizontalScrollBar(), &sideways);
    // Taken also at the end of the list: handed on, it would scroll the
    // page up or down.
    event->accept();
    return true;
}
