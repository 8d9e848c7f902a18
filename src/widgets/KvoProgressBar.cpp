#include "KvoProgressBar.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
const QColor kBackground(36, 39, 50);
}

KvoProgressBar::KvoProgressBar(QWidget* parent)
    : QProgressBar(parent)
    , m_percentPerSegment(100 / 25)
    , m_startColor(105, 32, 61)
    , m_endColor(205, 69, 127)
{
    setFixedSize(116, 19);
}

KvoProgressBar::~KvoProgressBar()
{
    unlink();
    if (m_follower && m_follower->m_source == this)
        m_follower->m_source = nullptr;
}

void KvoProgressBar::setValue(int value)
{
    if (m_follower)
        m_follower->setValue(value);
    const bool changed = value != m_shownValue;
    m_shownValue = value;
    QProgressBar::setValue(value);
    // The base class decides on repainting from what its own paintEvent
    // last drew, which never runs here.
    if (changed)
        update();
}

bool KvoProgressBar::link(KvoProgressBar* source)
{
    if (!source || source == m_source)
        return source != nullptr;
    // source must not already hang below this bar, or values would go
    // round for ever.
    for (KvoProgressBar* bar = this; bar; bar = bar->m_follower) {
        if (bar == source)
            return false;
    }
    unlink();
    // The follower that gets replaced no longer follows: its own unlink()
    // later must not cut the new link.
    if (source->m_follower && source->m_follower->m_source == source)
        source->m_follower->m_source = nullptr;
    source->m_follower = this;
    m_source = source;
    return true;
}

void KvoProgressBar::unlink()
{
    if (!m_source)
        return;
    if (m_source->m_follower == this)
        m_source->m_follower = nullptr;
    m_source = nullptr;
}

void KvoProgressBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // Layout from the whole bar, so a partial repaint draws the segments in
    // their place; the event's rectangle only clips.
    painter.setClipRect(event->rect());
    const QRect area = rect();
    const int top = (area.height() - m_segmentHeight) / 2;
    const int left = (area.width() - m_segmentCount * 2 * m_segmentWidth) / 2;
    const int value = qBound(0, m_shownValue, 100);
    const int lit = m_segmentCount * value / 100;

    const int redStep = (m_endColor.red() - m_startColor.red()) / m_segmentCount;
    const int greenStep = (m_endColor.green() - m_startColor.green()) / m_segmentCount;
    const int blueStep = (m_endColor.blue() - m_startColor.blue()) / m_segmentCount;

    for (int i = 0; i < m_segmentCount; ++i) {
        const QRect segment(left + 2 * m_segmentWidth * i, top, m_segmentWidth, m_segmentHeight);
        painter.fillRect(segment, kBackground);
        const QColor colour(m_startColor.red() + i * redStep, m_startColor.green() + i * greenStep,
                            m_startColor.blue() + i * blueStep);
        if (i < lit) {
            painter.fillRect(segment, colour);
        } else if (i == lit) {
            painter.setOpacity(double(value % m_percentPerSegment) / m_percentPerSegment);
            painter.fillRect(segment, colour);
            painter.setOpacity(1.0);
        }
    }
}
