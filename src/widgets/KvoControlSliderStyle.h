#pragma once

#include <QProxyStyle>

// The look and the press behaviour shared by the sliders of the control
// bar. A left press places the handle under the mouse and grabs it, so
// the user can go on dragging; the desktop style would otherwise step a
// page toward the press and repeat while the button is held, which on a
// seek bar means a burst of seeks to places the user never chose.
class KvoControlSliderStyle : public QProxyStyle
{
    Q_OBJECT

public:
    KvoControlSliderStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // The style sheet of the control-bar sliders: a thin dark groove, a
    // round grey handle and the played part in pink.
    static QString styleSheet();
};
