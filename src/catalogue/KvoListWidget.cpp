#include "KvoListWidget.h"
#include "KvoFont.h"
#include "KvoScrollBarStyle.h"

#include "KvoListWidgetItem.h"

#include <QCursor>
#include <QFont>
#include <QMouseEvent>

KvoListWidget::KvoListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setObjectName(QStringLiteral("this"));
    setFont(KvoFont::arial(12, QFont::Bold));
    setFocusPolicy(Qt::NoFocus);
    setSpacing(24);
    setLineWidth(0);
    setSelectionMode(QAbstractItemView::NoSelection);
    setIconSize(QSize(KvoListWidgetItem::TileWidth, KvoListWidgetItem::TileHeight));
    setResizeMode(QListView::Adjust);
    setLayoutMode(QListView::SinglePass);
    setViewMode(QListView::IconMode);
    setStyleSheet(QStringLiteral(
        "QListWidget { background-color: transparent; color: white; border: none; }\n"
        "QListWidget::item { background-color: transparent; margin: 0px; }\n"
        "QListWidget::icon { margin-bottom: 8px; }\n")
        + KvoScrollBarStyle::darkVertical());
}

// The items go with the list; each one forgets being the hovered tile.
KvoListWidget::~KvoListWidget() = default;

void KvoListWidget::refreshItems()
{
    for (int row = 0; row < count(); ++row) {
        if (auto* tile = dynamic_cast<KvoListWidgetItem*>(item(row)))
            tile->refresh();
    }
}

void KvoListWidget::mouseMoveEvent(QMouseEvent* event)
{
    auto* tile = dynamic_cast<KvoListWidgetItem*>(itemAt(event->position().toPoint()));
    if (tile && !tile->isHidden()) {
        viewport()->setCursor(Qt::PointingHandCursor);
        tile->setHover();
    } else {
        viewport()->setCursor(Qt::ArrowCursor);
        KvoListWidgetItem::clearHover();
    }
}

void KvoListWidget::leaveEvent(QEvent* event)
{
    // A quick move out of the grid sends no move over empty space first.
    viewport()->setCursor(Qt::ArrowCursor);
    KvoListWidgetItem::clearHover();
    QListWidget::leaveEvent(event);
}
