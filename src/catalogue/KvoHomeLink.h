#pragma once

#include <QString>
#include <QUrl>

// Where a link clicked in the service's home page leads: the client's own
// promotions or news page (an address holding "ALL_PROMO" or "ALL_NEW",
// the promotions first), the user's browser (web addresses only), or
// nowhere (a local file, another program's scheme).
class KvoHomeLink
{
public:
    enum Target { Promo, News, Browser, Refused };

    static Target classify(const QUrl& url);
    // The page key of Promo and News; empty for the others.
    static QString pageKey(Target target);
    // Whether the home page's own view may show that address.
    static bool mayShow(const QUrl& url);
};
