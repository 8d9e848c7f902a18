#include "KvoDimmedCover.h"

#include <QEvent>
#include <QPainter>

KvoDimmedCover::KvoDimmedCover(QWidget* widget)
    : QWidget(widget)
{
    setObjectName(QStringLiteral("dimmedCover"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    takePicture();
    widget->installEventFilter(this);
}

KvoDimmedCover* KvoDimmedCover::of(QWidget* widget, bool create)
{
    if (!widget)
        return nullptr;
    auto* cover = widget->findChild<KvoDimmedCover*>(QString(), Qt::FindDirectChildrenOnly);
    if (!cover && create)
        cover = new KvoDimmedCover(widget);
    return cover;
}

void KvoDimmedCover::hold()
{
    ++m_holders;
    if (isVisible())
        return;
    raise();
    show();
}

void KvoDimmedCover::release()
{
    if (m_holders > 0)
        --m_holders;
    if (m_holders > 0)
        return;
    // Out of the widget at once: a dialog shown again before the deletion
    // runs makes a new cover with a new picture.
    hide();
    if (QWidget* widget = parentWidget()) {
        widget->removeEventFilter(this);
        setParent(nullptr);
    }
    deleteLater();
}

void KvoDimmedCover::setStrength(double strength)
{
    m_strength = qBound(0.0, strength, 1.0);
    update();
}

void KvoDimmedCover::takePicture()
{
    QWidget* widget = parentWidget();
    // Taken while the cover is hidden, so that it holds the page only.
    const bool shown = isVisible();
    if (shown)
        hide();
    m_picture = widget->grab();
    setGeometry(widget->rect());
    if (shown)
        show();
}

bool KvoDimmedCover::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && parentWidget()) {
        // The window resized under the dialog: the picture follows.
        if (event->type() == QEvent::Resize)
            takePicture();
        else if (event->type() == QEvent::ChildAdded && isVisible())
            raise();
    }
    return QWidget::eventFilter(watched, event);
}

void KvoDimmedCover::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
    // Only where the picture is: a translucent window's see-through parts
    // stay as they are.
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(rect(), QColor(0, 0, 0, qRound(255 * Darkness * m_strength)));
}
