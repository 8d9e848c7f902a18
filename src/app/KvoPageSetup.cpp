#include "KvoPageSetup.h"

#include "KvoMainWindow.h"
#include "KvoPageConfiguration.h"
#include "KvoPageContact.h"
#include "KvoPageDownloads.h"
#include "KvoPageFavoris.h"
#include "KvoPageHome.h"
#include "KvoPageNews.h"
#include "KvoPagePlayer.h"
#include "KvoPagePromo.h"
#include "KvoPageRegistry.h"
#include "KvoPageSearch.h"
#include "KvoPageDetailSoftware.h"
#include "KvoPageHelp.h"
#include "KvoPageSoftwares.h"
#include "KvoPageTopMonth.h"
#include "KvoPreviewPlayer.h"
#include "KvoSingleApplication.h"
#include "KvoVideoImporter.h"

#include <QPointer>

// How a page joins the client: one registration here, nothing elsewhere.
//
//   KvoMainWindow::registerPage<KvoPageNews>({
//       QStringLiteral("news"),       // key (or with isPattern, text its keys contain)
//       false,                        // isPattern
//       QStringLiteral("buttonNouveautes"), // menu entry in KvoMainWindow.ui
//       KvoPageRegistry::Menu::Opens, // the entry opens the page (or only Highlights)
//       false,                        // buildAtStart: built with the window
//       {}});                         // creator; empty: KvoMainWindow::createPage
//
// The page class derives from QWidget and IKvoPage, takes (QWidget* parent,
// Qt::WindowFlags), and declares the signal onChangePage(QString, bool);
// createPage() connects it, and onChangePageRequest(KvoPageRequest) too
// when the class declares it (a switch that carries a video to the player).
// What the window asks of pages in general (library refresh, links, the
// end of the session) goes through the IKvoPage hooks, so the window never
// includes a page class. A page that needs steps of its own at creation
// (a parent page in the breadcrumb, an id from its key) gives a creator.
namespace {

KvoPageRegistry::Page page(const QString& key, const QString& menuButton,
                           KvoPageRegistry::Menu menu = KvoPageRegistry::Menu::Opens)
{
    KvoPageRegistry::Page registration;
    registration.key = key;
    registration.menuButton = menuButton;
    registration.menu = menu;
    return registration;
}

} // namespace

void KvoPageSetup::registerPages()
{
    KvoMainWindow::registerPage<KvoPageSoftwares>(page(QStringLiteral("softwares"), QStringLiteral("buttonVideos")));

    KvoPageRegistry::Page detail = page(QStringLiteral("detail_software_"), QStringLiteral("buttonVideos"),
                                        KvoPageRegistry::Menu::Highlights);
    detail.isPattern = true;
    detail.creator = [](KvoMainWindow* window, const QString& key) -> QWidget* {
        // A software's page sits under the softwares page in the breadcrumb.
        window->insertPageInMap(QStringLiteral("softwares"));
        auto* created = KvoMainWindow::createPage<KvoPageDetailSoftware>(window);
        if (QWidget* softwares = window->pages().value(QStringLiteral("softwares")).first)
            created->setParentPage(softwares);
        created->setSoftwareId(KvoMainWindow::detailSoftwareId(key));
        return created;
    };
    KvoMainWindow::registerPage<KvoPageDetailSoftware>(detail);

    // Built with the window: links and the downloads counter need it at once.
    // The player is built with the window: it takes over the control bar.
    KvoPageRegistry::Page player =
        page(QStringLiteral("player"), QStringLiteral("buttonVideos"), KvoPageRegistry::Menu::Highlights);
    player.buildAtStart = true;
    KvoMainWindow::registerPage<KvoPagePlayer>(player);
    // It plays the videos on disk of a software in the order of that
    // software's page.
    KvoPagePlayer::setPlaylistSource([](uint softwareId, QList<QVariant>& purchaseIds, QList<QVariant>& videoIds) {
        KvoMainWindow* window = KvoMainWindow::instance();
        if (!window)
            return;
        const QString key = QStringLiteral("detail_software_%1").arg(softwareId);
        if (auto* detail = qobject_cast<KvoPageDetailSoftware*>(window->pages().value(key).first))
            detail->collectDownloadedVideos(purchaseIds, videoIds);
    });

    KvoPageRegistry::Page downloads = page(QStringLiteral("downloads"), QStringLiteral("buttonTelecharger"));
    downloads.buildAtStart = true;
    KvoMainWindow::registerPage<KvoPageDownloads>(downloads);

    // The search box of the window leads to the search page, which has no
    // menu entry of its own: "Accueil" is highlighted while it shows.
    KvoPageRegistry::Page search = page(QStringLiteral("search"), QStringLiteral("buttonAccueil"),
                                        KvoPageRegistry::Menu::Highlights);
    search.creator = [](KvoMainWindow* window, const QString&) -> QWidget* {
        auto* created = KvoMainWindow::createPage<KvoPageSearch>(window);
        QObject::connect(window, &KvoMainWindow::searchRequested, created, &KvoPageSearch::newSearch);
        return created;
    };
    KvoMainWindow::registerPage<KvoPageSearch>(search);
    // One preview dialog for the whole window, made on the first preview and
    // gone with the window.
    KvoPageSearch::setPreviewHook([](const QString& address, int width, int height) {
        static QPointer<KvoPreviewPlayer> preview;
        if (!preview)
            preview = new KvoPreviewPlayer(KvoMainWindow::instance());
        preview->open(address, width, height);
    });

    // The first page after sign-in: the service's home page.
    KvoMainWindow::registerPage<KvoPageHome>(page(QStringLiteral("accueil"), QStringLiteral("buttonAccueil")));

    // The catalogue's lists.
    KvoMainWindow::registerPage<KvoPageTopMonth>(page(QStringLiteral("top"), QStringLiteral("buttonTop")));
    KvoMainWindow::registerPage<KvoPageFavoris>(page(QStringLiteral("favoris"), QStringLiteral("buttonFavoris")));
    KvoMainWindow::registerPage<KvoPageNews>(page(QStringLiteral("news"), QStringLiteral("buttonNouveautes")));
    KvoMainWindow::registerPage<KvoPagePromo>(page(QStringLiteral("promo"), QStringLiteral("buttonPromo")));

    // The settings page; the main window builds it after its fade-in for the
    // update check. It switches the interface language through the
    // application's translator, and opens the folder search from its button.
    KvoMainWindow::registerPage<KvoPageConfiguration>(page(QStringLiteral("config"),
                                                           QStringLiteral("buttonConfiguration")));
    KvoPageConfiguration::setLanguageSwitcher([](int index) { KvoSingleApplication::installTranslation(index); });
    KvoPageConfiguration::setImportOpener([](QWidget* page) { KvoVideoImporter::run(page); });

    KvoMainWindow::registerPage<KvoPageHelp>(page(QStringLiteral("help"), QStringLiteral("buttonAide")));
    KvoPageRegistry::Page support = page(QStringLiteral("support"), QStringLiteral("buttonAide"),
                                         KvoPageRegistry::Menu::Highlights);
    support.creator = [](KvoMainWindow* window, const QString&) -> QWidget* {
        // The support page sits under the help page in the breadcrumb.
        window->insertPageInMap(QStringLiteral("help"));
        auto* created = KvoMainWindow::createPage<KvoPageContact>(window);
        if (QWidget* help = window->pages().value(QStringLiteral("help")).first)
            created->setParentPage(help);
        return created;
    };
    KvoMainWindow::registerPage<KvoPageContact>(support);
}
