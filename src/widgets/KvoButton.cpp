#include "KvoButton.h"

#include <QEnterEvent>
#include <QEvent>

KvoButton::KvoButton(QWidget* parent)
    : QPushButton(parent)
{
}

KvoButton::~KvoButton() = default;

void KvoButton::setIcons(const QIcon& normal, const QIcon& hover)
{
    m_normalIcon = normal;
    m_hoverIcon = hover;
    setIcon(m_normalIcon);
}

void KvoButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    setIcon(m_hoverIcon);
}

void KvoButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    setIcon(m_normalIcon);
}
