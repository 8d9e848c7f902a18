#include "KvoPageSetup.h"

#include "KvoMainWindow.h"
#include "KvoPageDownloads.h"
#include "KvoPageRegistry.h"

void KvoPageSetup::registerPages()
{
    // One line per page key; the main window builds a page on first use.
    KvoMainWindow::registerPage<KvoPageDownloads>(QStringLiteral("downloads"));
    // (pages: add registrations above this line)
}
