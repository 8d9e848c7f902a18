#include "KvoSpinningIcon.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>

KvoSpinningIcon::KvoSpinningIcon(QObject* parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &KvoSpinningIcon::onTimeout);
}

KvoSpinningIcon::~KvoSpinningIcon() = default;

void KvoSpinningIcon::setPixmap(const QString& path, int width, int height)
{
    Q_UNUSED(width)
    Q_UNUSED(height)
    m_image = std::make_unique<QPixmap>(path);
    if (!m_image->isNull() && m_button)
        m_button->setIcon(QIcon(*m_image));
}

void KvoSpinningIcon::setButton(QAbstractButton* button)
{
    m_button = button;
    if (m_button && m_image && !m_image->isNull())
        m_button->setIcon(QIcon(*m_image));
}

void KvoSpinningIcon::start(int period)
{
    if (!m_button || !m_image || m_image->isNull())
        return;
    m_period = period > 0 ? period : m_defaultPeriod;
    // Periods under 360 ms would give a 0 ms timer that never lets go.
    m_stepInterval = qMax(1, m_period / 360);
    m_angle = 0;
    m_stopRequested = false;
    m_timer.start(m_stepInterval);
}

void KvoSpinningIcon::stop()
{
    m_stopRequested = true;
}

bool KvoSpinningIcon::isSpinning() const
{
    return m_timer.isActive();
}

void KvoSpinningIcon::onTimeout()
{
    if (!m_button || !m_image) {
        m_timer.stop();
        return;
    }
    QImage turned(m_image->size(), QImage::Format_ARGB32_Premultiplied);
    turned.fill(Qt::transparent);
    {
        QPainter painter(&turned);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        const int halfWidth = m_image->width() / 2;
        const int halfHeight = m_image->height() / 2;
        painter.translate(halfWidth, halfHeight);
        painter.rotate(-m_angle);
        painter.translate(-halfWidth, -halfHeight);
        painter.drawPixmap(0, 0, *m_image);
    }
    m_button->setIcon(QIcon(QPixmap::fromImage(turned)));
    m_button->repaint();

    if (m_stopRequested && m_angle == 0)
        m_timer.stop();
    m_angle = (m_angle + 1) % 360;
}
