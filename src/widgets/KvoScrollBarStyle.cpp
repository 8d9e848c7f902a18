#include "KvoScrollBarStyle.h"

QString KvoScrollBarStyle::darkVertical()
{
    return QStringLiteral(
        "QScrollBar:vertical { background: #181a21; width: 14px; margin: 15px 0px 15px 0px; border: none; }\n"
        "QScrollBar::handle:vertical { background: #26272c; min-height: 20px; }\n"
        "QScrollBar::add-line:vertical { height: 14px; subcontrol-position: bottom; subcontrol-origin: margin;"
        " border: none; background: none; image: url(:/KvoMainWindow/Resources/scrollbar_down.png); }\n"
        "QScrollBar::sub-line:vertical { height: 14px; subcontrol-position: top; subcontrol-origin: margin;"
        " border: none; background: none; image: url(:/KvoMainWindow/Resources/scrollbar_top.png); }\n"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
}
