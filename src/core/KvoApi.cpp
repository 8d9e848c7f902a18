#include "KvoApi.h"

#include "KvoEnvironment.h"

#include <QMutex>
#include <QMutexLocker>
#include <QUrl>

namespace {

const char kBuiltInEndpoint[] = "https://api.qozmira.com";
const char kBuiltInSite[] = "https://www.qozmira.com";
const char kApiKey[] = "4b9d27e0c5a18f36e2d07b5c9a41f8e3";

// The override is read from the connection probe's thread as well.
QMutex& overrideMutex()
{
    static QMutex mutex;
    return mutex;
}

QString& overrideEndpoint()
{
    static QString endpoint;
    return endpoint;
}

QString withoutTrailingSlash(QString address)
{
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}

// The override of the tests, else VISTRELLE_API_URL; empty when neither is set.
QString configuredEndpoint()
{
    {
        QMutexLocker lock(&overrideMutex());
        if (!overrideEndpoint().isEmpty())
            return overrideEndpoint();
    }
    return withoutTrailingSlash(qEnvironmentVariable("VISTRELLE_API_URL").trimmed());
}

QString encoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

void appendKeys(QString& address, const KvoApi::Keys& keys)
{
    for (const auto& key : keys) {
        address += QLatin1Char('&');
        address += encoded(key.first);
        address += QLatin1Char('=');
        address += encoded(key.second);
    }
}

} // namespace

QString KvoApi::apiKey()
{
    return QString::fromLatin1(kApiKey);
}

QString KvoApi::endpoint()
{
    const QString configured = configuredEndpoint();
    return configured.isEmpty() ? QString::fromLatin1(kBuiltInEndpoint) : configured;
}

QString KvoApi::siteUrl()
{
    const QString configured = configuredEndpoint();
    return configured.isEmpty() ? QString::fromLatin1(kBuiltInSite) : configured;
}

QString KvoApi::address(const QString& path, const Keys& before, const Keys& after)
{
    QString address = endpoint() + path;
    address += QStringLiteral("?apikey=") + encoded(apiKey());
    address += QStringLiteral("&output=json");
    appendKeys(address, before);
    address += QStringLiteral("&locale=") + encoded(KvoEnvironment::locale());
    appendKeys(address, after);
    return address;
}

void KvoApi::setEndpointForTesting(const QString& endpoint)
{
    QMutexLocker lock(&overrideMutex());
    overrideEndpoint() = withoutTrailingSlash(endpoint.trimmed());
}
