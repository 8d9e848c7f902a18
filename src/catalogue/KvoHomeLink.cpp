#include "KvoHomeLink.h"

namespace {

bool isWeb(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

KvoHomeLink::Target KvoHomeLink::classify(const QUrl& url)
{
    const QString text = url.toString();
    if (text.contains(QLatin1String("ALL_PROMO")))
        return Promo;
    if (text.contains(QLatin1String("ALL_NEW")))
        return News;
    return isWeb(url) ? Browser : Refused;
}

QString KvoHomeLink::pageKey(Target target)
{
    if (target == Promo)
        return QStringLiteral("promo");
    if (target == News)
        return QStringLiteral("news");
    return QString();
}

bool KvoHomeLink::mayShow(const QUrl& url)
{
    return isWeb(url) || url == QUrl(QStringLiteral("about:blank"));
}
