#include "KvoDialogParent.h"

#include <QWidget>

QWidget* KvoDialogParent::styleNeutral(QWidget* from)
{
    if (!from)
        return nullptr;
    QWidget* window = from->window();
    for (QWidget* w = window; w; w = w->parentWidget()) {
        if (!w->styleSheet().isEmpty())
            return nullptr;
    }
    return window;
}
