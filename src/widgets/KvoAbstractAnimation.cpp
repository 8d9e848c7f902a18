#include "KvoAbstractAnimation.h"

#include <QTimer>

KvoAbstractAnimation::KvoAbstractAnimation(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    // The call dispatches to the subclass's step at each tick.
    connect(m_timer, &QTimer::timeout, this, &KvoAbstractAnimation::onTimeout);
}

KvoAbstractAnimation::~KvoAbstractAnimation() = default;

void KvoAbstractAnimation::setWidget(QWidget* widget)
{
    m_widget = widget;
}

void KvoAbstractAnimation::setDuration(uint ticks)
{
    m_duration = ticks;
}

int KvoAbstractAnimation::interval() const
{
    return m_interval;
}

void KvoAbstractAnimation::setInterval(int interval)
{
    m_interval = interval;
}

QWidget* KvoAbstractAnimation::widget() const
{
    return m_widget;
}

uint KvoAbstractAnimation::duration() const
{
    return m_duration;
}

bool KvoAbstractAnimation::isRunning() const
{
    return m_timer->isActive();
}
