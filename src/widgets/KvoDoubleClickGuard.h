#pragma once

#include <QObject>
#include <QPointer>

class QMouseEvent;
class QWidget;

// Keeps the second press of a double click from acting on what the first
// click brought up.
//
// Qt makes a double click of two presses close in time and place, whatever
// lay under the mouse at the first: when the first click opens another page
// or a dialog, the second press lands on a widget the user never saw, and a
// button there acts as if clicked (a video row starts the player, a picture
// opens a course's web page). The guard, an event filter on the
// application, lets a double click through only to the widget that received
// the first press, when that widget stayed on screen in between; otherwise
// the double click and its release are dropped. A control that acts once
// per double click (one that opens a web page) gets no double click at
// all, so its click acts once.
//
// Double clicks that mean something keep working: they begin and end on one
// widget (the title bar, the player's picture, a text field).
class KvoDoubleClickGuard : public QObject
{
    Q_OBJECT

public:
    // The one guard of the application, installed on first call.
    static void install();
    // The control's click acts once per double click.
    static void actOnce(QWidget* control);
    static bool actsOnce(const QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;

    void notePress(QWidget* widget, const QMouseEvent* event);
    bool passes(QWidget* widget, const QMouseEvent* event);

    // The widget that received the last press first (before its parents),
    // and whether it was hidden since.
    QPointer<QWidget> m_pressed;
    bool m_pressedHidden = false;
    quint64 m_pressTime = 0;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    // The last double click: the widget that received it first and whether
    // it went through; its parents get the same answer.
    QPointer<QWidget> m_doubleTarget;
    quint64 m_doubleTime = 0;
    bool m_doublePassed = false;
    // The button of a dropped double click, until its release is dropped
    // too.
    Qt::MouseButton m_droppedButton = Qt::NoButton;
};
