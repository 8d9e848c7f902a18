#include "KvoPageSetup.h"

#include "KvoMainWindow.h"
#include "KvoPageDownloads.h"
#include "KvoPageRegistry.h"
#include "KvoPageSearch.h"
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
    KvoPageRegistry::add(QStringLiteral("search"), [](KvoMainWindow* window, const QString&) -> QWidget* {
        auto* page = KvoMainWindow::createPage<KvoPageSearch>(window);
        QObject::connect(window, &KvoMainWindow::searchRequested, page, &KvoPageSearch::newSearch);
        return page;
    });
    // (pages: add registrations above this line)
}
