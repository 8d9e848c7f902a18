#include "KvoPageSetup.h"

#include "KvoMainWindow.h"
#include "KvoPageDownloads.h"
#include "KvoPagePlayer.h"
#include "KvoPageRegistry.h"
#include "KvoPageDetailSoftware.h"
#include "KvoPageSoftwares.h"

void KvoPageSetup::registerPages()
{
    // One line per page key; the main window builds a page on first use.
    KvoMainWindow::registerPage<KvoPageSoftwares>(QStringLiteral("softwares"));
    KvoPageRegistry::addPattern(QStringLiteral("detail_software_"), [](KvoMainWindow* window, const QString& key) -> QWidget* {
        // A software's page sits under the softwares page in the breadcrumb.
        window->insertPageInMap(QStringLiteral("softwares"));
        auto* page = new KvoPageDetailSoftware(window, Qt::WindowFlags());
        QObject::connect(page, qOverload<const QString&, bool>(&KvoPageDetailSoftware::onChangePage), window,
                         &KvoMainWindow::changePage);
        if (QWidget* softwares = window->pages().value(QStringLiteral("softwares")).first)
            page->setParentPage(softwares);
        page->setSoftwareId(KvoMainWindow::detailSoftwareId(key));
        return page;
    });
    KvoMainWindow::registerPage<KvoPageDownloads>(QStringLiteral("downloads"));
    KvoMainWindow::registerPage<KvoPagePlayer>(QStringLiteral("player"));
    // The player plays the videos on disk of a software in the order of
    // that software's page.
    KvoPagePlayer::setPlaylistSource([](uint softwareId, QList<QVariant>& purchaseIds, QList<QVariant>& videoIds) {
        KvoMainWindow* window = KvoMainWindow::instance();
        if (!window)
            return;
        const QString key = QStringLiteral("detail_software_%1").arg(softwareId);
        if (auto* page = qobject_cast<KvoPageDetailSoftware*>(window->pages().value(key).first))
            page->collectDownloadedVideos(purchaseIds, videoIds);
    });
    // (pages: add registrations above this line)
}
