#include "KvoWheelTurn.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

void KvoWheelTurn::over(QAbstractScrollArea* area, Qt::KeyboardModifiers modifiers, QPoint angle)
{
    QWidget* viewport = area->viewport();
    const QPointF at(10, 10);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(viewport, &wheel);
}

QString KvoWheelTurn::sidewaysFault(QAbstractScrollArea* area)
{
    QScrollBar* across = area->horizontalScrollBar();
    QScrollBar* down = area->verticalScrollBar();
    if (across->maximum() <= across->pageStep() || down->maximum() <= 0)
        return QStringLiteral("the list is %1 + %2 wide and %3 + %4 high: too small to tell a step from a page")
            .arg(across->pageStep())
            .arg(across->maximum())
            .arg(down->pageStep())
            .arg(down->maximum());
    const int step = qMin(QApplication::wheelScrollLines() * across->singleStep(), across->pageStep());
    struct Turn
    {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        QPoint angle;
        int moves; // in steps, right positive
    };
    const Turn turns[] = {
        {"down", Qt::ShiftModifier, QPoint(0, -120), 1},
        {"up", Qt::ShiftModifier, QPoint(0, 120), -1},
        {"tilted right", Qt::ShiftModifier, QPoint(-120, 0), 1},
        {"tilted left", Qt::ShiftModifier, QPoint(120, 0), -1},
        {"down with Alt", Qt::ShiftModifier | Qt::AltModifier, QPoint(-120, 0), 1},
    };
    QStringList faults;
    const int middle = across->maximum() / 2;
    for (const Turn& turn : turns) {
        across->setValue(middle);
        down->setValue(0);
        over(area, turn.modifiers, turn.angle);
        if (across->value() != middle + turn.moves * step || down->value() != 0)
            faults.append(QStringLiteral("Shift and a notch %1 moved %2 across (a step is %3) and %4 down")
                              .arg(QLatin1String(turn.name))
                              .arg(across->value() - middle)
                              .arg(step)
                              .arg(down->value()));
    }
    across->setValue(middle);
    down->setValue(0);
    over(area, Qt::NoModifier);
    if (down->value() <= 0 || across->value() != middle)
        faults.append(QStringLiteral("the wheel alone moved %1 across and %2 down")
                          .arg(across->value() - middle)
                          .arg(down->value()));
    across->setValue(0);
    down->setValue(0);
    return faults.join(QStringLiteral("; "));
}
