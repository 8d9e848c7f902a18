#include "KvoWheelTurn.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QWheelEvent>

void KvoWheelTurn::over(QAbstractScrollArea* area, Qt::KeyboardModifiers modifiers, QPoint angle)
{
    QWidget* viewport = area->viewport();
    const QPointF at(10, 10);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(viewport, &wheel);
}
