#include "KvoTopPosNumber.h"

#include "KvoFont.h"

#include <QFont>

KvoTopPosNumber::KvoTopPosNumber(int position, QWidget* parent)
    : QPushButton(parent)
{
    setFixedSize(41, 71);
    setIconSize(QSize(41, 70));
    setText(QString::number(position + 1));

    setFont(KvoFont::arial(26, QFont::Bold));

    // The trailing "border: 0;" keeps the platform's button frame from
    // being drawn around the badge.
    if (position == 0)
        setStyleSheet(QStringLiteral("background-image: url(:/KvoMainWindow/Resources/top_month_pos.png);"
                                     "color: #009ee0;text-align: center;padding-left: 5px;border: 0;"));
    else
        setStyleSheet(QStringLiteral("background-image: url(:/KvoMainWindow/Resources/top_month_pos_others.png);"
                                     "color: #333343;text-align: center;padding-left: 5px;border: 0;"));
}

KvoTopPosNumber::~KvoTopPosNumber() = default;
