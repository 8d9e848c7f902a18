#include "KvoMarkWidget.h"

#include <QEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

const QString KvoMarkWidget::starOnPath = QStringLiteral(":/KvoMainWindow/Resources/mark_star_on.png");
const QString KvoMarkWidget::starOffPath = QStringLiteral(":/KvoMainWindow/Resources/mark_star_off.png");

namespace {
constexpr int kGap = 2;
}

KvoMarkWidget::KvoMarkWidget(QWidget* parent, int count, int mark)
    : QPushButton(parent)
    , m_count(qMax(1, count))
    , m_starOn(new QPixmap(starOnPath))
    , m_starOff(new QPixmap(starOffPath))
    , m_canvas(nullptr)
{
    // Without a border of its own the button would draw the platform's
    // frame over the stars.
    setStyleSheet(QStringLiteral("background-color: transparent;border: 0;"));
    setMouseTracking(true);

    setFixedSize((m_starOn->width() + kGap) * m_count - kGap, m_starOn->height());
    m_canvas = new QPixmap(size());
    setIconSize(size());

    m_displayedMark = m_clickedMark = qBound(0, mark, m_count);
    drawCanvas();
    setCursor(Qt::PointingHandCursor);
}

KvoMarkWidget::~KvoMarkWidget()
{
    delete m_canvas;
    delete m_starOff;
    delete m_starOn;
}

int KvoMarkWidget::markAt(int x) const
{
    if (width() <= 0)
        return 1;
    // A pointer dragged outside the widget would give 0 or count + 1, which
    // is no mark to send to the service.
    return qBound(1, m_count * x / width() + 1, m_count);
}

void KvoMarkWidget::changeMark(int value)
{
    setDisplayedMark(qBound(0, value, m_count));
}

void KvoMarkWidget::changeClickedMark(int value)
{
    m_clickedMark = qBound(0, value, m_count);
    setDisplayedMark(m_clickedMark);
}

void KvoMarkWidget::mouseMoveEvent(QMouseEvent* event)
{
    setDisplayedMark(markAt(int(event->position().x())));
}

void KvoMarkWidget::mouseReleaseEvent(QMouseEvent* event)
{
    // The hover already showed and announced this mark. The button's own
    // release handling is skipped (no clicked()); only its pressed look goes.
    m_clickedMark = markAt(int(event->position().x()));
    setDown(false);
    event->accept();
}

void KvoMarkWidget::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    setDisplayedMark(m_clickedMark);
}

void KvoMarkWidget::setDisplayedMark(int value)
{
    m_displayedMark = value;
    drawCanvas();
    emit markChanged(value);
}

void KvoMarkWidget::drawCanvas()
{
    m_canvas->fill(Qt::transparent);
    {
        QPainter painter(m_canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < m_count; ++i)
            painter.drawPixmap((m_starOn->width() + kGap) * i, 0, m_displayedMark > i ? *m_starOn : *m_starOff);
    }
    setIcon(QIcon(*m_canvas));
}
