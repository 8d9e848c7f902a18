#include "KvoElidingButton.h"

#include "KvoButtonText.h"

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
    // Measured as the painter draws it: a single "&" is no letter there,
    // "&&" is one.
    return option.fontMetrics.elidedText(KvoButtonText::shown(text()), Qt::ElideRight, room);
}

void KvoElidingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = KvoButtonText::fromService(shownText());
    painter.drawControl(QStyle::CE_PushButton, option);
}
