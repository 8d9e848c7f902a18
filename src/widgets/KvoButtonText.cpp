#include "KvoButtonText.h"

QString KvoButtonText::fromService(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    return escaped;
}

QString KvoButtonText::shown(const QString& buttonText)
{
    QString text;
    text.reserve(buttonText.size());
    for (int i = 0; i < buttonText.size(); ++i) {
        if (buttonText.at(i) == QLatin1Char('&')) {
            ++i;
            if (i == buttonText.size())
                break;
        }
        text.append(buttonText.at(i));
    }
    return text;
}
