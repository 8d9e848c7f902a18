#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Addresses of the web service. Every request of the client is built here so
// that one environment variable (VISTRELLE_API_URL) points the whole client
// at another service.
class KvoApi
{
public:
    using Keys = QList<QPair<QString, QString>>;

    // The fixed API key sent as "apikey" on every request.
    static QString apiKey();

    // The service's base address without a trailing slash: the value of
    // VISTRELLE_API_URL when set, else the built-in address.
    static QString endpoint();

    // The base address of the web site whose pages the client opens or
    // shows (home page, credits, social pages): the endpoint when
    // VISTRELLE_API_URL is set, else the built-in site address.
    static QString siteUrl();

    // endpoint + path + "?apikey=…&output=json", then the keys of `before`
    // in their order, then "locale=<KvoEnvironment::locale()>", then the
    // keys of `after`. Keys and values are percent-encoded.
    static QString address(const QString& path, const Keys& before = {}, const Keys& after = {});

    // Overrides the endpoint for tests (empty: back to the environment).
    static void setEndpointForTesting(const QString& endpoint);
};
