#include "KvoOpacityAnimation.h"

#include <QGraphicsOpacityEffect>
#include <QTimer>
#include <QtGlobal>

namespace {
// Sums of steps such as ten times 0.1 fall short of 1.0 by a rounding
// error; a run of N ticks still ends at its N-th tick.
constexpr double kTolerance = 1e-9;
}

KvoOpacityAnimation::KvoOpacityAnimation(QObject* parent)
    : KvoAbstractAnimation(parent)
    , m_effect(new QGraphicsOpacityEffect(this))
{
    m_timer->setInterval(1);
}

KvoOpacityAnimation::~KvoOpacityAnimation() = default;

void KvoOpacityAnimation::setRange(double from, double to)
{
    m_from = from;
    m_to = to;
}

QGraphicsOpacityEffect* KvoOpacityAnimation::effect() const
{
    return m_effect;
}

void KvoOpacityAnimation::ensureEffect()
{
    // A widget deletes its effect when it dies or gets another one.
    if (!m_effect)
        m_effect = new QGraphicsOpacityEffect(this);
}

void KvoOpacityAnimation::setWidget(QWidget* widget)
{
    KvoAbstractAnimation::setWidget(widget);
    if (!widget)
        return;
    ensureEffect();
    QGraphicsEffect* present = widget->graphicsEffect();
    if (present == m_effect)
        return;
    if (present) {
        qWarning("KvoOpacityAnimation: %s already carries a graphics effect; it is kept",
                 qPrintable(widget->objectName()));
        return;
    }
    widget->setGraphicsEffect(m_effect);
}

void KvoOpacityAnimation::start()
{
    m_timer->stop();
    ensureEffect();
    // No tick count means the shortest run: one tick.
    const double ticks = m_duration > 0 ? double(m_duration) : 1.0;
    m_step = (m_to - m_from) / ticks;
    m_shown = qBound(0.0, m_from, 1.0);
    m_effect->setOpacity(m_shown);
    m_current = m_from;
    m_effect->setEnabled(true);
    m_timer->start(1);
}

void KvoOpacityAnimation::stop()
{
    m_timer->stop();
    // At full opacity the effect would only draw the picture it kept of the
    // widget at its last paint, at the place it had then: a widget moved
    // since (scrolled with its parent) would show an old picture of itself.
    // Off, the widget paints itself; the next run switches it on again.
    if (m_effect)
        m_effect->setEnabled(m_effect->opacity() < 1.0 - kTolerance);
    emit finished();
}

void KvoOpacityAnimation::onTimeout()
{
    m_current += m_step;
    m_shown = qBound(0.0, m_shown + m_step, 1.0);
    if (m_effect)
        m_effect->setOpacity(m_shown);

    // Equal ends have no end of their own: the opacity holds and the run
    // ticks until stop(), so a user can hold a widget at one opacity for as
    // long as it likes.
    if (m_to > m_from) {
        if (m_current >= m_to - kTolerance)
            finishRun();
    } else if (m_from > m_to) {
        // The effect never goes below 0: a target under 0 ends at 0.
        if (m_shown <= qMax(m_to, 0.0) + kTolerance)
            finishRun();
    }
}

void KvoOpacityAnimation::finishRun()
{
    m_shown = qBound(0.0, m_to, 1.0);
    if (m_effect)
        m_effect->setOpacity(m_shown);
    stop();
}
