#include "KvoPageSetup.h"

#include "KvoMainWindow.h"
#include "KvoPageConfiguration.h"
#include "KvoPageContact.h"
#include "KvoPageDownloads.h"
#include "KvoPageRegistry.h"
#include "KvoPageDetailSoftware.h"
#include "KvoPageHelp.h"
#include "KvoPageSoftwares.h"
#include "KvoSingleApplication.h"

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
    KvoMainWindow::registerPage<KvoPageConfiguration>(QStringLiteral("config"));
    // The settings page switches the interface language through the
    // application's translator. The folder search opens from its button
    // once KvoPageConfiguration::setImportOpener() is given the dialog.
    KvoPageConfiguration::setLanguageSwitcher([](int index) { KvoSingleApplication::installTranslation(index); });
    KvoMainWindow::registerPage<KvoPageHelp>(QStringLiteral("help"));
    KvoPageRegistry::add(QStringLiteral("support"), [](KvoMainWindow* window, const QString&) -> QWidget* {
        // The support page sits under the help page in the breadcrumb.
        window->insertPageInMap(QStringLiteral("help"));
        auto* page = KvoMainWindow::createPage<KvoPageContact>(window);
        if (QWidget* help = window->pages().value(QStringLiteral("help")).first)
            page->setParentPage(help);
        return page;
    });
    // (pages: add registrations above this line)
}
