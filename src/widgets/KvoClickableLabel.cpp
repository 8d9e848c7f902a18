#include "KvoClickableLabel.h"

#include <QMouseEvent>

KvoClickableLabel::KvoClickableLabel(QWidget* parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{
}

KvoClickableLabel::KvoClickableLabel(const QString& text, QWidget* parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{
}

KvoClickableLabel::~KvoClickableLabel() = default;

void KvoClickableLabel::mousePressEvent(QMouseEvent* event)
{
    // Accepted and kept here: passing it to the parent would lose the
    // release to another widget.
    event->accept();
}

void KvoClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint at = event->position().toPoint();
    if (at.x() > 0 && at.x() < width() && at.y() > 0 && at.y() < height())
        emit clicked();
}
