#pragma once

#include <QObject>

class QScrollArea;

// A control of a scrolled form that takes the keyboard (Tab, a shortcut or
// the program) is scrolled into view, whole where it fits, so the user sees
// what they type. Tab from outside the form does not pass through the
// scroll area, which would do it only for moves inside it. A click does not
// scroll: the control is under the mouse already.
class KvoFocusInView : public QObject
{
    Q_OBJECT

public:
    // Watches the controls the form holds now.
    static void install(QScrollArea* area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit KvoFocusInView(QScrollArea* area);
    void bringIntoView(QWidget* control);

    QScrollArea* m_area;
};
