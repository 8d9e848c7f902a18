#include "KvoDimmedCover.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

KvoDimmedCover::KvoDimmedCover(QWidget* widget)
    : QWidget(widget)
{
    setObjectName(QStringLiteral("dimmedCover"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    setGeometry(widget->rect());
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
    // runs makes a new cover.
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

bool KvoDimmedCover::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && parentWidget()) {
        if (event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        else if (event->type() == QEvent::ChildAdded && isVisible())
            raise();
    }
    return QWidget::eventFilter(watched, event);
}

QRegion KvoDimmedCover::composedApart() const
{
    // Views drawn by the graphics processor (the web view's scene, an
    // OpenGL view) leave a see-through hole in the window's picture, and
    // their own picture is put in under it when the window reaches the
    // screen.
    QRegion region;
    const QList<QWidget*> widgets = parentWidget()->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (widget == this || !widget->isVisible()
            || !(widget->inherits("QQuickWidget") || widget->inherits("QOpenGLWidget")))
            continue;
        region += widget->visibleRegion().translated(widget->mapTo(parentWidget(), QPoint(0, 0)));
    }
    return region;
}

void KvoDimmedCover::paintEvent(QPaintEvent* event)
{
    const QColor shade(0, 0, 0, qRound(255 * Darkness * m_strength));
    QPainter painter(this);
    const QRegion apart = composedApart() & event->region();
    // Only where the widgets below have painted: a translucent window's
    // see-through parts stay as they are.
    painter.setClipRegion(event->region() - apart);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(rect(), shade);
    if (apart.isEmpty())
        return;
    // Over the holes the black goes over whatever shows through, which is
    // the view's own picture.
    painter.setClipRegion(apart);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(rect(), shade);
}
