#include "KvoWheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

KvoWheelGuard* KvoWheelGuard::instance()
{
    // One filter for the whole client, gone with the application.
    static KvoWheelGuard* guard = new KvoWheelGuard(QCoreApplication::instance());
    return guard;
}

void KvoWheelGuard::protect(QWidget* root)
{
    if (!root)
        return;
    for (QComboBox* box : root->findChildren<QComboBox*>())
        instance()->guard(box);
    for (QAbstractSpinBox* box : root->findChildren<QAbstractSpinBox*>())
        instance()->guard(box);
    for (QAbstractSlider* box : root->findChildren<QAbstractSlider*>()) {
        if (!qobject_cast<QScrollBar*>(box))
            instance()->guard(box);
    }
}

void KvoWheelGuard::guard(QWidget* box)
{
    if (box->focusPolicy() == Qt::WheelFocus)
        box->setFocusPolicy(Qt::StrongFocus);
    box->removeEventFilter(this);
    box->installEventFilter(this);
}

bool KvoWheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        auto* box = qobject_cast<QWidget*>(watched);
        if (box && !box->hasFocus()) {
            // Ignored and kept from the box: the application hands it on
            // to the box's parents, up to the scroll area.
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
