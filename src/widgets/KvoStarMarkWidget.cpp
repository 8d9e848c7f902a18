#include "KvoStarMarkWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

// Kept for the whole run and never freed: a QPixmap must not outlive the
// application object, which a static destructor would make it do.
QPixmap* KvoStarMarkWidget::s_starIn = nullptr;
QPixmap* KvoStarMarkWidget::s_starOut = nullptr;

KvoStarMarkWidget::KvoStarMarkWidget(QWidget* parent)
    : QWidget(parent)
{
    if (!s_starIn) {
        s_starIn = new QPixmap(QStringLiteral(":/KvoMainWindow/Resources/search_star_in.png"));
        s_starOut = new QPixmap(QStringLiteral(":/KvoMainWindow/Resources/search_star_out.png"));
    }
    setMinimumSize(100, 15);
}

KvoStarMarkWidget::~KvoStarMarkWidget() = default;

void KvoStarMarkWidget::setMark(int mark)
{
    m_mark = mark;
    repaint();
}

void KvoStarMarkWidget::setMaximum(int n)
{
    m_maximum = n;
}

void KvoStarMarkWidget::setMinimum(int n)
{
    m_minimum = n;
}

void KvoStarMarkWidget::paintEvent(QPaintEvent*)
{
    if (m_mark <= m_minimum)
        return;
    QPainter painter(this);
    const int pitch = s_starIn->width() + 2;
    for (int i = qMax(0, m_minimum - 1); i < m_maximum; ++i)
        painter.drawPixmap(pitch * i, 0, m_mark > i ? *s_starIn : *s_starOut);
}
