#pragma once

#include <QString>

class KvoDevData;

// The web site's pages that the client shows or opens: the desktop home
// page (full and inline), the credits page, the language roots and a plain
// page for the course, software and author links of the maps.
class KvoDevPages
{
public:
    // lang: "fr" or "en" (from the path); inlineTemplate: "?tpl=inline".
    static QString home(const KvoDevData& data, const QString& lang, bool inlineTemplate,
                        const QString& interfaceLocale);
    static QString credits(const QString& lang);
    static QString root(const QString& lang);
    // Any other page of the site: a title and a line of text.
    static QString plain(const QString& lang, const QString& title);
};
