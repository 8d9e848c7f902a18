#include "KvoUnfocusAnimation.h"

#include <QPainter>
#include <QTimer>
#include <QtGlobal>

#include <climits>

namespace {
// QColor keeps its alpha in 16 bits: four steps of 0.1 read back as
// 0.39999..., which must count as 0.4.
constexpr double kTolerance = 1e-4;

// A step that is not positive would never reach its bound: take the
// whole distance in one tick instead.
double usableStep(double step, double distance)
{
    return step > 0.0 ? step : distance;
}
}

KvoUnfocusAnimation::KvoUnfocusAnimation(QObject* parent)
    : QGraphicsBlurEffect(parent)
    , m_timer(new QTimer(this))
    , m_colour(0, 0, 0, 0)
{
    connect(m_timer, &QTimer::timeout, this, &KvoUnfocusAnimation::onTimeout);
}

KvoUnfocusAnimation::~KvoUnfocusAnimation() = default;

void KvoUnfocusAnimation::setWidget(QWidget* widget)
{
    m_widget = widget;
    if (!widget)
        return;
    widget->setGraphicsEffect(this);
    setBlurRadius(0);
    widget->repaint();
}

QWidget* KvoUnfocusAnimation::widget() const
{
    return m_widget;
}

void KvoUnfocusAnimation::setMaxAlpha(double alpha)
{
    m_maxAlpha = qBound(0.0, alpha, 1.0);
}

void KvoUnfocusAnimation::setMaxBlurRadius(double radius)
{
    m_maxBlurRadius = qMax(0.0, radius);
}

void KvoUnfocusAnimation::setBlurRadiusStep(double step)
{
    m_blurRadiusStep = step;
}

void KvoUnfocusAnimation::setAlphaStep(double step)
{
    m_alphaStep = step;
}

void KvoUnfocusAnimation::setInterval(double interval)
{
    m_interval = interval > 0.0 ? uint(interval) : 0u;
}

bool KvoUnfocusAnimation::isRunning() const
{
    return m_timer->isActive();
}

void KvoUnfocusAnimation::unfocus()
{
    m_focusing = false;
    m_colour.setAlphaF(0.0);
    m_timer->start(int(qMin<uint>(m_interval, INT_MAX)));
    if (m_widget)
        m_widget->repaint();
}

void KvoUnfocusAnimation::focus()
{
    m_timer->stop();
    m_focusing = true;
    m_timer->start(int(qMin<uint>(m_interval, INT_MAX)));
}

void KvoUnfocusAnimation::onTimeout()
{
    if (m_focusing)
        focusStep();
    else
        unfocusStep();
}

void KvoUnfocusAnimation::unfocusStep()
{
    double alpha = m_colour.alphaF();
    if (alpha < m_maxAlpha - kTolerance) {
        alpha += usableStep(m_alphaStep, m_maxAlpha - alpha);
        m_colour.setAlphaF(qBound(0.0, alpha, 1.0));
    }
    const double radius = blurRadius();
    if (radius < m_maxBlurRadius - kTolerance)
        setBlurRadius(radius + usableStep(m_blurRadiusStep, m_maxBlurRadius - radius));
    else
        update(); // a change of the tint alone does not schedule a paint

    if (blurRadius() >= m_maxBlurRadius - kTolerance
        && m_colour.alphaF() >= m_maxAlpha - kTolerance) {
        m_timer->stop();
        emit unfocused();
    }
}

void KvoUnfocusAnimation::focusStep()
{
    double alpha = m_colour.alphaF();
    if (alpha > 0.0) {
        alpha -= usableStep(m_alphaStep, alpha);
        m_colour.setAlphaF(qBound(0.0, alpha, 1.0));
    }
    const double radius = blurRadius();
    if (radius > 0.0)
        setBlurRadius(qMax(0.0, radius - usableStep(m_blurRadiusStep, radius)));

    if (blurRadius() <= kTolerance && m_colour.alphaF() <= kTolerance) {
        m_colour.setAlphaF(0.0);
        m_timer->stop();
        emit focused();
    }
    if (m_widget)
        m_widget->repaint();
}

void KvoUnfocusAnimation::draw(QPainter* painter)
{
    // Steps may overshoot; what is drawn never passes the maxima.
    if (m_colour.alphaF() > m_maxAlpha)
        m_colour.setAlphaF(m_maxAlpha);
    if (blurRadius() > m_maxBlurRadius)
        setBlurRadius(m_maxBlurRadius);

    QGraphicsBlurEffect::draw(painter);

    if (m_colour.alpha() == 0)
        return;
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter->fillRect(boundingRect(), m_colour);
    painter->restore();
}
