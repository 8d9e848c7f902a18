#include "KvoFramelessPanel.h"

#include "KvoPlatformGui.h"

#include <QColor>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QPainter>
#include <QPointF>
#include <QRect>
#include <QWidget>

bool KvoFramelessPanel::makeTranslucent(QWidget* window, QWidget* shadowed, const QPointF& shadowOffset)
{
    // Translucent margins and the shadow need a compositing manager; without
    // one they would show black.
    if (!KvoPlatformGui::isCompositing())
        return false;
    window->setAttribute(Qt::WA_TranslucentBackground);
    auto* shadow = new QGraphicsDropShadowEffect(window);
    shadow->setColor(Qt::black);
    shadow->setBlurRadius(20);
    shadow->setOffset(shadowOffset);
    shadowed->setGraphicsEffect(shadow);
    return true;
}

void KvoFramelessPanel::paintOpaqueGround(QPainter& painter, const QRect& rect)
{
    painter.fillRect(rect, QColor(13, 13, 17));
}

bool KvoFramelessPanel::acceptUnlessEscape(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return false;
    }
    event->accept();
    return true;
}
