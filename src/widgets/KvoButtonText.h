#pragma once

#include <QString>

// A button, an action or a menu entry reads a single "&" in its text as the
// mark of a keyboard shortcut: it hides the "&" and binds Alt and the next
// letter. Titles and names from the service are shown as sent and bind
// nothing.
class KvoButtonText
{
public:
    // The text to give a button so that it shows `text` as it stands.
    static QString fromService(const QString& text);

    // What a button shows of its text: "&&" as one "&", a single "&" not
    // at all.
    static QString shown(const QString& buttonText);
};
