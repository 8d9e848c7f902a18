#include "KvoInfobulle.h"
#include "KvoFont.h"

#include "KvoPlatformGui.h"

#include <QBitmap>
#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QStringList>

namespace {

const int ArrowSpace = 7;

} // namespace

KvoInfobulle::KvoInfobulle(const QString& text, QWidget* parent)
    // A tooltip window: it neither takes the keyboard focus from the main
    // window (whose player keys would otherwise land here) nor is blocked
    // while a modal window runs, and X places it exactly where asked.
    : QDialog(parent, Qt::ToolTip | Qt::FramelessWindowHint)
    , m_text(text)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Round corners need a compositing manager; without one the bubble is
    // cut to its shape instead.
    m_translucent = KvoPlatformGui::isCompositing();
    if (m_translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    arrow();
    hide();
}

void KvoInfobulle::setText(const QString& text)
{
    m_text = text;
    m_text.remove(QStringLiteral("<b>"));

    const QStringList parts = m_text.split(QStringLiteral("</b>"), Qt::KeepEmptyParts);
    if (parts.size() == 2) {
        m_title = parts.at(0);
        m_text = parts.at(1);
    } else {
        m_title.clear();
    }

    const QFontMetrics textMetrics(textFont());
    const QFontMetrics titleMetrics(titleFont());
    const int width = titleMetrics.horizontalAdvance(m_title) + textMetrics.horizontalAdvance(m_text) + 20;
    const int height = textMetrics.boundingRect(m_text).height() + 16;
    setFixedSize(width, height);
}

QString KvoInfobulle::text() const
{
    return m_text;
}

QString KvoInfobulle::title() const
{
    return m_title;
}

// The boxes are as wide as the strings advance (the bubble's width is
// measured so): an ink-tight box is narrower, and the text drawn centred in
// it lost its first figure to the clip.
QRect KvoInfobulle::titleRect() const
{
    const int tw = m_title.isEmpty() ? 0 : QFontMetrics(titleFont()).horizontalAdvance(m_title);
    const int xw = QFontMetrics(textFont()).horizontalAdvance(m_text);
    return QRect((width() - xw - tw) / 2, 0, tw, height() - 7);
}

QRect KvoInfobulle::textRect() const
{
    const QRect title = titleRect();
    const int xw = QFontMetrics(textFont()).horizontalAdvance(m_text);
    return QRect(title.x() + title.width(), 0, xw, height() - 7);
}

QPoint KvoInfobulle::arrowPosition() const
{
    return QPoint(15, height() - 8);
}

QRect KvoInfobulle::bodyRect() const
{
    return QRect(0, 0, width(), height() - ArrowSpace);
}

QFont KvoInfobulle::textFont()
{
    return KvoFont::arial(11, QFont::Normal);
}

QFont KvoInfobulle::titleFont()
{
    QFont font = textFont();
    font.setWeight(QFont::Bold);
    return font;
}

void KvoInfobulle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                           | QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(QStringLiteral("#35363c")));
    painter.drawRoundedRect(bodyRect(), 4, 4);

    painter.drawImage(arrowPosition(), arrow());

    painter.setPen(Qt::white);
    painter.setFont(textFont());
    painter.drawText(textRect(), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip, m_text);
    painter.setFont(titleFont());
    painter.drawText(titleRect(), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip, m_title);
}

void KvoInfobulle::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!m_translucent)
        updateMask();
}

const QImage& KvoInfobulle::arrow()
{
    // Loaded by the first bubble and kept for the whole run.
    static const QImage image(QStringLiteral(":/KvoMainWindow/Resources/infobulle_pic.png"));
    return image;
}

void KvoInfobulle::updateMask()
{
    QPainterPath body;
    body.addRoundedRect(bodyRect(), 4, 4);
    QRegion shape(body.toFillPolygon().toPolygon());
    const QImage& image = arrow();
    if (!image.isNull()) {
        const QRegion arrowShape(QBitmap::fromImage(image.createAlphaMask()));
        shape += arrowShape.translated(arrowPosition());
    }
    setMask(shape);
}
