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
    // The desktop home page, in the client's dark colours. Its height comes
    // from its contents alone (no viewport units, no full-height boxes): the
    // client sizes its view to the contents. The full variant lays the
    // courses out in a grid, the inline one in a single narrow column.
    const bool fr = french(lang);
    const QString base = data.baseUrl();
    QString body;
    body += QStringLiteral("<style>body{background:#202126;color:#dadada;margin:0;padding:20px 28px}"
                           "h1{color:#fff;font-size:22px;margin:0 0 6px}h2{color:#cd457f;font-size:16px;"
                           "margin:22px 0 8px}a{color:#009ee0;text-decoration:none}.grid{display:flex;"
                           "flex-wrap:wrap;gap:12px}.card{background:#2a2b31;width:%1;padding:8px;"
                           "border-radius:4px}.card img{display:block;width:%2;height:auto}"
                           ".more{margin:10px 0;font-weight:bold}.links a{margin-right:16px}"
                           ".locale{color:#555;font-size:10px}</style>\n")
                .arg(inlineTemplate ? QStringLiteral("auto") : QStringLiteral("200px"),
                     inlineTemplate ? QStringLiteral("200px") : QStringLiteral("100%"));
    body += QStringLiteral("<p>%1</p>\n").arg(fr ? QStringLiteral("Des formations vidéo courtes et concrètes "
                                                                   "pour vos logiciels préférés.")
                                                  : QStringLiteral("Short, practical video courses for your "
                                                                   "favourite software."));
    body += QStringLiteral("<h2>%1</h2>\n<div class=\"grid\">\n")
                .arg(fr ? QStringLiteral("Promotions") : QStringLiteral("Special offers"));
    for (const KvoDevData::Course& c : data.courses()) {
        if (!c.onPromotion())
            continue;
        body += QStringLiteral("<div class=\"card\"><a href=\"%1/%3/vorn/%2\"><img src=\"%1/files/thumbs/vorn_%2.png\" "
                               "alt=\"\">%4</a><br><span class=\"old\">%5</span> <span class=\"price\">%6 %7</span>"
                               "</div>\n")
                    .arg(base).arg(c.id).arg(lang, c.title.toHtmlEscaped())
                    .arg(c.previousPrice).arg(c.reducedPrice)
                    .arg(c.reducedPrice == 1 ? (fr ? QStringLiteral("crédit") : QStringLiteral("credit"))
                                             : (fr ? QStringLiteral("crédits") : QStringLiteral("credits")));
    }
    body += QStringLiteral("</div>\n");
    // The client opens these two in its own pages.
    body += QStringLiteral("<p class=\"more\"><a id=\"allPromo\" href=\"%1/%2/ALL_PROMO\">%3</a></p>\n")
                .arg(base, lang, fr ? QStringLiteral("Toutes les promotions") : QStringLiteral("All special offers"));
    body += QStringLiteral("<h2>%1</h2>\n<div class=\"grid\">\n")
                .arg(fr ? QStringLiteral("Nouveautés") : QStringLiteral("New courses"));
    const QList<KvoDevData::Course>& all = data.courses();
    const int shown = inlineTemplate ? 2 : 4;
    for (int i = all.size() - 1; i >= 0 && i >= all.size() - shown; --i)
        body += QStringLiteral("<div class=\"card\"><a href=\"%1/%2/vorn/%3\"><img src=\"%1/files/thumbs/vorn_%3.png\" "
                               "alt=\"\">%4</a></div>\n")
                    .arg(base, lang).arg(all.at(i).id).arg(all.at(i).title.toHtmlEscaped());
    body += QStringLiteral("</div>\n");
    body += QStringLiteral("<p class=\"more\"><a id=\"allNew\" href=\"%1/%2/ALL_NEW\">%3</a></p>\n")
                .arg(base, lang, fr ? QStringLiteral("Toutes les nouveautés") : QStringLiteral("All new courses"));
    // Links that leave the client: one to a page of the site, one that asks
    // for a new window.
    body += QStringLiteral("<p class=\"links\"><a id=\"external\" href=\"%1/%2/credits\">%3</a>"
                           "<a id=\"blank\" target=\"_blank\" href=\"%1/%2/vorn/%4\">%5</a></p>\n")
                .arg(base, lang, fr ? QStringLiteral("Acheter des crédits") : QStringLiteral("Buy credits"))
                .arg(all.isEmpty() ? 0 : all.first().id)
                .arg(fr ? QStringLiteral("La formation du jour (nouvelle fenêtre)")
                        : QStringLiteral("Course of the day (new window)"));
    body += QStringLiteral("<p class=\"locale\">%1%2</p>\n")
                .arg(interfaceLocale.toHtmlEscaped(), inlineTemplate ? QStringLiteral(" inline") : QString());
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
