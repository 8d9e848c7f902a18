#include "KvoElidingButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

KvoElidingButton::KvoElidingButton(QWidget* parent)
    : QPushButton(parent)
{
}

KvoElidingButton::~KvoElidingButton() = default;

QString KvoElidingButton::shownText() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    // "&&" stands for one "&": measured as drawn, and kept as it is.
    return option.fontMetrics.elidedText(text(), Qt::ElideRight, room, Qt::TextShowMnemonic);
}

void KvoElidingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = shownText();
    painter.drawControl(QStyle::CE_PushButton, option);
}
