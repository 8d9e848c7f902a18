#include "KvoLoadingFrame.h"

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kWidth = 151;
constexpr int kHeight = 87;
constexpr int kLoaderTop = 17;
constexpr int kLabelTop = 59;
constexpr int kLabelHeight = 40;
}

KvoLoadingFrame::KvoLoadingFrame(QWidget* parent)
    : QWidget(parent)
    , m_timer(this)
    , m_loader(QStringLiteral(":/KvoMainWindow/Resources/loader.png"))
    , m_label(tr("Chargement"))
    , m_font(QStringLiteral("Arial"))
{
    m_font.setPixelSize(12);
    m_font.setWeight(QFont::Bold);

    m_timer.setInterval(40);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &KvoLoadingFrame::onTimeout);

    setFixedSize(kWidth, kHeight);
    hide();
    move(centredPosition());
}

KvoLoadingFrame::~KvoLoadingFrame() = default;

void KvoLoadingFrame::setOwner(QWidget* owner)
{
    if (m_owner)
        m_owner->removeEventFilter(this);
    m_owner = owner;
    if (m_owner)
        m_owner->installEventFilter(this);
    followOwnerVisibility();
}

QWidget* KvoLoadingFrame::owner() const
{
    return m_owner;
}

int KvoLoadingFrame::angle() const
{
    return int(m_angle);
}

void KvoLoadingFrame::setAngle(int angle)
{
    m_angle = angle % 360;
}

QPoint KvoLoadingFrame::centredPosition() const
{
    const QWidget* parent = parentWidget();
    if (!parent)
        return pos();
    return QPoint(parent->width() / 2 - width() / 2, parent->height() / 2 - height() / 2);
}

void KvoLoadingFrame::start()
{
    move(centredPosition());
    if (!m_timer.isActive()) {
        m_timer.start();
        show();
    }
}

void KvoLoadingFrame::stop()
{
    m_timer.stop();
    hide();
    repaint();
}

void KvoLoadingFrame::setLabel(const QString& text)
{
    m_label = text;
    m_ownLabel = false;
}

void KvoLoadingFrame::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange && m_ownLabel) {
        m_label = tr("Chargement");
        update();
    }
    QWidget::changeEvent(event);
}

void KvoLoadingFrame::onTimeout()
{
    m_angle += 10.0;
    repaint();
}

bool KvoLoadingFrame::ownerHidden() const
{
    return m_owner && !m_owner->isVisible();
}

void KvoLoadingFrame::followOwnerVisibility()
{
    // Shown but unpainted while its page is away, the frame must not take
    // the clicks meant for the page now on screen under it.
    setAttribute(Qt::WA_TransparentForMouseEvents, ownerHidden());
}

bool KvoLoadingFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_owner
        && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        // The owner's visibility changes after its show/hide event is
        // delivered, so judge by the event itself.
        setAttribute(Qt::WA_TransparentForMouseEvents, event->type() == QEvent::Hide);
    }
    return QWidget::eventFilter(watched, event);
}

void KvoLoadingFrame::paintEvent(QPaintEvent* event)
{
    if (ownerHidden()) {
        event->ignore();
        return;
    }
    const QPoint centre = centredPosition();
    if (pos() != centre)
        move(centre);

    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                           | QPainter::SmoothPixmapTransform);

    // The panel and the loader are drawn off screen, then laid over the
    // frame translucent as a whole.
    const qreal ratio = devicePixelRatioF();
    QImage panel(QSize(kWidth, kHeight) * ratio, QImage::Format_ARGB32_Premultiplied);
    panel.setDevicePixelRatio(ratio);
    panel.fill(Qt::transparent);
    {
        QPainter off(&panel);
        off.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        off.setPen(Qt::black);
        off.setBrush(Qt::black);
        off.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 10, 10,
                            Qt::AbsoluteSize);
        if (!m_loader.isNull()) {
            const QPoint at(width() / 2 - m_loader.width() / 2, kLoaderTop);
            const QPointF pivot(at.x() + m_loader.width() / 2.0, at.y() + m_loader.height() / 2.0);
            off.translate(pivot);
            off.rotate(m_angle);
            off.translate(-pivot);
            off.drawPixmap(at, m_loader);
        }
    }
    painter.setOpacity(0.8);
    painter.drawImage(rect(), panel);
    painter.setOpacity(1.0);

    painter.setFont(m_font);
    painter.setPen(QColor(205, 69, 127));
    painter.drawText(QRect(0, kLabelTop, width(), kLabelHeight),
                     Qt::AlignHCenter | Qt::AlignTop, m_label);
    event->accept();
}
