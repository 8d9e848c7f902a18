#include "KvoDevPages.h"

#include "KvoDevData.h"

namespace {

QString page(const QString& lang, const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\"><head><meta charset=\"utf-8\">"
                          "<title>%2</title><style>body{font-family:'Liberation Sans',Arial,sans-serif;"
                          "margin:16px;color:#333}a{color:#1a6fb5}li{margin:4px 0}"
                          ".price{color:#c0392b;font-weight:bold}.old{text-decoration:line-through;color:#888}"
                          "</style></head>\n<body>\n<h1>%2</h1>\n%3\n</body></html>\n")
        .arg(lang, title.toHtmlEscaped(), body);
}

bool french(const QString& lang)
{
    return lang != QLatin1String("en");
}

} // namespace

QString KvoDevPages::home(const KvoDevData& data, const QString& lang, bool inlineTemplate,
                          const QString& interfaceLocale)
{
    const bool fr = french(lang);
    QString body;
    body += QStringLiteral("<p class=\"locale\">%1</p>\n").arg(interfaceLocale.toHtmlEscaped());
    body += fr ? QStringLiteral("<h2>Promotions</h2>\n<ul>\n") : QStringLiteral("<h2>Special offers</h2>\n<ul>\n");
    for (const KvoDevData::Course& c : data.courses()) {
        if (c.reducedPrice <= 0)
            continue;
        body += QStringLiteral("<li><img src=\"%1/files/thumbs/vorn_%2.png\" width=\"80\" alt=\"\"> "
                               "<a href=\"%1/%3/vorn/%2\">%4</a> "
                               "<span class=\"old\">%5</span> <span class=\"price\">%6 %7</span></li>\n")
                    .arg(data.baseUrl()).arg(c.id).arg(lang, c.title.toHtmlEscaped())
                    .arg(c.previousPrice).arg(c.reducedPrice)
                    .arg(fr ? QStringLiteral("crédits") : QStringLiteral("credits"));
    }
    body += QStringLiteral("</ul>\n");
    // The client opens these two in its own pages.
    body += QStringLiteral("<p><a href=\"%1/%2/ALL_PROMO\">%3</a></p>\n")
                .arg(data.baseUrl(), lang,
                     fr ? QStringLiteral("Toutes les promotions") : QStringLiteral("All special offers"));
    if (!inlineTemplate) {
        body += fr ? QStringLiteral("<h2>Nouveautés</h2>\n<ul>\n") : QStringLiteral("<h2>New courses</h2>\n<ul>\n");
        const QList<KvoDevData::Course>& all = data.courses();
        for (int i = all.size() - 1; i >= 0 && i >= all.size() - 4; --i)
            body += QStringLiteral("<li><a href=\"%1/%2/vorn/%3\">%4</a></li>\n")
                        .arg(data.baseUrl(), lang).arg(all.at(i).id).arg(all.at(i).title.toHtmlEscaped());
        body += QStringLiteral("</ul>\n");
    }
    body += QStringLiteral("<p><a href=\"%1/%2/ALL_NEW\">%3</a></p>\n")
                .arg(data.baseUrl(), lang,
                     fr ? QStringLiteral("Toutes les nouveautés") : QStringLiteral("All new courses"));
    return page(lang, fr ? QStringLiteral("Bienvenue sur Vistrelle") : QStringLiteral("Welcome to Vistrelle"), body);
}

QString KvoDevPages::credits(const QString& lang)
{
    const bool fr = french(lang);
    return page(lang, fr ? QStringLiteral("Acheter des crédits") : QStringLiteral("Buy credits"),
                fr ? QStringLiteral("<p>Les crédits s'achètent par lots de 5, 10 ou 20.</p>")
                   : QStringLiteral("<p>Credits come in packs of 5, 10 or 20.</p>"));
}

QString KvoDevPages::root(const QString& lang)
{
    const bool fr = french(lang);
    return page(lang, QStringLiteral("Vistrelle"),
                fr ? QStringLiteral("<p>Des formations vidéo pour vos logiciels préférés.</p>")
                   : QStringLiteral("<p>Video courses for your favourite software.</p>"));
}

QString KvoDevPages::plain(const QString& lang, const QString& title)
{
    return page(lang, title,
                french(lang) ? QStringLiteral("<p>Page de démonstration du service local.</p>")
                             : QStringLiteral("<p>Demonstration page of the local service.</p>"));
}
