#include "KvoUrlOpener.h"

#include "KvoPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace {

const char* const s_schemes[] = {"http", "https", "file"};

} // namespace

void KvoUrlOpener::install()
{
    static KvoUrlOpener* opener = nullptr;
    if (opener)
        return;
    opener = new KvoUrlOpener(QCoreApplication::instance());
    for (const char* scheme : s_schemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), opener, "open");
}

KvoUrlOpener::~KvoUrlOpener()
{
    // Gone with the application object: Qt warns about a handler that is
    // destroyed while it is still registered.
    for (const char* scheme : s_schemes)
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void KvoUrlOpener::open(const QUrl& url)
{
    if (KvoPlatform::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)}))
        return;
    // Called from within QDesktopServices::openUrl: this goes to Qt's own
    // opener, not back here.
    QDesktopServices::openUrl(url);
}
