#include "KvoSignetWidget.h"

#include "KvoSignetManager.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"

#include <QMouseEvent>

KvoSignetWidget::KvoSignetWidget(KvoSignetManager* store, KvoVideoPlayer* player, KvoVideoSeeker* seeker,
                                 QWidget* parent)
    : QPushButton(parent)
    , m_player(player)
    , m_seeker(seeker)
    , m_store(store)
{
    setFixedSize(13, 17);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral(
        "border:0;background-color:transparent;image:url(':/KvoMainWindow/Resources/signet_bar.png');"));
    // The window shows the bookmark's name as a tooltip.
    if (QWidget* top = parent ? parent->window() : nullptr)
        installEventFilter(top);
    connect(this, &QPushButton::clicked, this, &KvoSignetWidget::onClick);
}

void KvoSignetWidget::updatePosition()
{
    if (!m_player || !m_seeker)
        return;
    const qint64 length = m_player->mediaInfo().length;
    if (length <= 0)
        return;
    const float x = float(m_seeker->x()) + float(width() - 1) * -0.5f
                    + float(m_seeker->width() - 1) * float(m_value) / float(length);
    const float y = float(m_seeker->y()) + 9.0f;
    m_x = int(x);
    m_y = int(y);
    move(m_x, m_y);
}

void KvoSignetWidget::onClick()
{
    if (m_player)
        m_player->seek(int(m_value / 1000));
}

void KvoSignetWidget::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    const QPoint p = event->position().toPoint();
    if (p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height())
        return;
    if (m_removed)
        return;
    m_removed = true;
    if (m_store)
        m_store->remove(this);
}
