#include "KvoPromotionTimer.h"

#include <QDateTime>
#include <QEvent>

KvoPromotionTimer::KvoPromotionTimer(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    // A coarse timer may be late by a twentieth of its wait: seconds, for a
    // promotion a minute ahead.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &KvoPromotionTimer::onTimeout);
}

void KvoPromotionTimer::followPage(QWidget* page)
{
    m_page = page;
    page->installEventFilter(this);
}

bool KvoPromotionTimer::eventFilter(QObject* watched, QEvent* event)
{
    // A minimised window shows the page again once restored, without its
    // show hook: only a page that leaves the screen stops following ends.
    if (watched == m_page && event->type() == QEvent::Hide && !event->spontaneous())
        clear();
    return QObject::eventFilter(watched, event);
}

void KvoPromotionTimer::clear()
{
    m_timer.stop();
    m_next = 0;
}

void KvoPromotionTimer::watch(const KvoPurchase& course)
{
    // Without a price before the promotion, nothing shown changes at its end.
    if (course.end_ts == 0 || course.previousPrice == 0)
        return;
    const qint64 end = qint64(course.end_ts) * 1000;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (end <= now || (m_next != 0 && m_next <= end))
        return;
    m_next = end;
    arm(now);
}

void KvoPromotionTimer::arm(qint64 nowMs)
{
    m_timer.start(int(qBound(qint64(0), m_next - nowMs, qint64(LongestStep))));
}

void KvoPromotionTimer::onTimeout()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_next > now) {
        arm(now);
        return;
    }
    m_next = 0;
    if (m_page && !m_page->isVisible())
        return;
    emit ended();
}
