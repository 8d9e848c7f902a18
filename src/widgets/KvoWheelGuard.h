#pragma once

#include <QObject>

class QWidget;

// Lists, spin boxes and sliders of a scrolling page or a dialog take the
// mouse wheel only once the user has clicked or tabbed into them. Without
// the focus, the wheel goes on to what holds them (the page scrolls) and
// the value stays: a user scrolling the page past a box would otherwise
// change a setting without noticing.
class KvoWheelGuard : public QObject
{
    Q_OBJECT

public:
    // Guards every such box under root (scroll bars excepted), and makes
    // those that would take the focus from the wheel take it only from a
    // click or the keyboard.
    static void protect(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    static KvoWheelGuard* instance();
    void guard(QWidget* box);
};
