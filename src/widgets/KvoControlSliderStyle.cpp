#include "KvoControlSliderStyle.h"

KvoControlSliderStyle::KvoControlSliderStyle()
    : QProxyStyle()
{
}

int KvoControlSliderStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                     QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_Slider_AbsoluteSetButtons:
        return Qt::LeftButton | Qt::MiddleButton;
    case SH_Slider_PageSetButtons:
        return Qt::NoButton;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

QString KvoControlSliderStyle::styleSheet()
{
    return QStringLiteral(
        "QSlider::groove:horizontal {"
        "height:2px;"
        "background-color:#292b31;"
        "}"
        "QSlider::handle:horizontal {"
        "background-color:qradialgradient(spread:pad, cx:0.5, cy:0.5, radius:1.042, fx:0.5, fy:0.5, "
        "stop:0.140704 rgba(247, 247, 247, 255), stop:1 rgba(90, 90, 90, 255));"
        "width: 8px;"
        "margin: -3px 0px -3px 0px;"
        "border-radius: 4px;"
        "}"
        "QSlider::sub-page:horizontal {"
        "background-color: #d63d7b;"
        "}"
        "QSlider {"
        "margin-top:1px;"
        "}");
}
