#include "KvoDoubleClickGuard.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace {

const char ActOnceProperty[] = "kvoActsOncePerDoubleClick";

// The same event handed on to a parent that the widget before it left it
// to: Qt passes a mouse event up the parents one at a time, each a copy with
// the time of the original.
bool isHandedOn(QWidget* widget, const QWidget* first, quint64 firstTime, const QMouseEvent* event)
{
    return first && event->timestamp() == firstTime && widget->isAncestorOf(first);
}

} // namespace

void KvoDoubleClickGuard::install()
{
    static QPointer<KvoDoubleClickGuard> guard;
    if (guard || !qApp)
        return;
    guard = new KvoDoubleClickGuard(qApp);
    qApp->installEventFilter(guard);
}

void KvoDoubleClickGuard::actOnce(QWidget* control)
{
    control->setProperty(ActOnceProperty, true);
}

bool KvoDoubleClickGuard::actsOnce(const QWidget* control)
{
    return control->property(ActOnceProperty).toBool();
}

bool KvoDoubleClickGuard::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched->isWidgetType())
            notePress(static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event));
        break;
    case QEvent::Hide:
        if (watched == m_pressed)
            m_pressedHidden = true;
        break;
    case QEvent::MouseButtonDblClick:
        if (watched->isWidgetType() && !passes(static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event))) {
            m_droppedButton = static_cast<QMouseEvent*>(event)->button();
            event->accept();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_droppedButton != Qt::NoButton && watched->isWidgetType()
            && static_cast<QMouseEvent*>(event)->button() == m_droppedButton) {
            m_droppedButton = Qt::NoButton;
            event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void KvoDoubleClickGuard::notePress(QWidget* widget, const QMouseEvent* event)
{
    if (isHandedOn(widget, m_pressed, m_pressTime, event))
        return;
    m_pressed = widget;
    m_pressedHidden = false;
    m_pressTime = event->timestamp();
    m_pressButton = event->button();
    m_droppedButton = Qt::NoButton;
}

bool KvoDoubleClickGuard::passes(QWidget* widget, const QMouseEvent* event)
{
    if (isHandedOn(widget, m_doubleTarget, m_doubleTime, event))
        return m_doublePassed;
    m_doubleTarget = widget;
    m_doubleTime = event->timestamp();
    m_doublePassed = widget == m_pressed && !m_pressedHidden && event->button() == m_pressButton && !actsOnce(widget);
    return m_doublePassed;
}
