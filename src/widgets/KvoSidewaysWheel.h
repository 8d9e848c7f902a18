#pragma once

#include <QObject>

class QAbstractScrollArea;

// Lists wider than the window show no horizontal scroll bar: their far
// columns are reached by a sideways wheel, or, as on the other programs of
// a Linux desktop, by Shift and the ordinary wheel. A plain wheel still
// scrolls up and down.
class KvoSidewaysWheel : public QObject
{
    Q_OBJECT

public:
    static void install(QAbstractScrollArea* area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    static KvoSidewaysWheel* instance();
};
