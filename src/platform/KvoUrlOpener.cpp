#include "KvoUrlOpener.h"

#include "KvoPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

void KvoUrlOpener::install()
{
    static KvoUrlOpener* opener = nullptr;
    if (opener)
        return;
    opener = new KvoUrlOpener(QCoreApplication::instance());
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), opener, "open");
}

void KvoUrlOpener::open(const QUrl& url)
{
    if (KvoPlatform::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)}))
        return;
    // Called from within QDesktopServices::openUrl: this goes to Qt's own
    // opener, not back here.
    QDesktopServices::openUrl(url);
}
