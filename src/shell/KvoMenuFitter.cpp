#include "KvoMenuFitter.h"

#include <QBoxLayout>
#include <QEvent>
#include <QWidget>

KvoMenuFitter::KvoMenuFitter(QWidget* menu, QBoxLayout* layout)
    : QObject(menu)
    , m_menu(menu)
    , m_layout(layout)
    , m_spacing(layout->spacing())
{
    menu->setSizePolicy(menu->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    menu->installEventFilter(this);
}

void KvoMenuFitter::fit()
{
    // Hidden entries and the closing spacer take no gap and no height.
    int needed = 0;
    int entries = 0;
    for (int i = 0; i < m_layout->count(); ++i) {
        QLayoutItem* item = m_layout->itemAt(i);
        if (item->isEmpty())
            continue;
        needed += item->sizeHint().height();
        ++entries;
    }
    const QMargins margins = m_layout->contentsMargins();
    const int room = m_menu->height() - margins.top() - margins.bottom();
    const int gaps = entries - 1;
    const int spacing = gaps > 0 ? qBound(0, (room - needed) / gaps, m_spacing) : m_spacing;
    if (spacing != m_layout->spacing())
        m_layout->setSpacing(spacing);
}

bool KvoMenuFitter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_menu && event->type() == QEvent::Resize)
        fit();
    return QObject::eventFilter(watched, event);
}
