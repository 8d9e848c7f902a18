#include "KvoPageFavoris.h"
#include "ui_KvoPageTopMonth.h"

#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoTopItem.h"

KvoPageFavoris::KvoPageFavoris(QWidget* parent, Qt::WindowFlags flags)
    : KvoPageTops(QStringLiteral("fave"), parent, flags)
    , ui(std::make_unique<Ui_KvoPageTopMonth>())
    , m_parentPage(parent)
{
    setupListForm(ui.get());
}

KvoPageFavoris::~KvoPageFavoris() = default;

QString KvoPageFavoris::title() const
{
    return tr("Vos favoris");
}

QString KvoPageFavoris::name() const
{
    return QStringLiteral("favoris");
}

QWidget* KvoPageFavoris::parentPage() const
{
    return m_parentPage;
}

void KvoPageFavoris::onShow()
{
    setFetched(false);
    refresh();
}

void KvoPageFavoris::gotoDownloadsPage()
{
    emit onChangePage(QStringLiteral("downloads"), true);
}

void KvoPageFavoris::showLoading()
{
    // A list already on screen is fetched again without the overlay.
    if (m_shownCount == 0)
        KvoPageTops::showLoading();
}

void KvoPageFavoris::showEmptyList()
{
    clearRows(ui->results);
    m_shownCount = 0;
    if (m_pagination) {
        m_pagination->setItemCount(0);
        m_pagination->refresh(0);
    }
    // "No favourites" only when the service said so or the user removed the
    // last one; a list that could not be fetched is no empty list.
    if (KvoPurchaseVideoManager::instance()->isConnected() && !lastFetchFailed()) {
        showPanel(ui.get(), false);
        ui->no_video->setText(tr("Vous n'avez pas de favoris"));
        ui->no_video->show();
    } else {
        ui->no_video->hide();
        showPanel(ui.get(), true);
    }
}

void KvoPageFavoris::hideEmptyList()
{
    showPanel(ui.get(), false);
    ui->no_video->hide();
}

void KvoPageFavoris::populate()
{
    if (!m_pagination) {
        m_pagination = new KvoPaginationWidget;
        connect(m_pagination, &KvoPaginationWidget::changePage, this, &KvoPageFavoris::onChangeFavePage);
        ui->pagesLayout->addWidget(m_pagination);
        m_pagination->setItemsPerPage(10);
    }
    m_pagination->setItemCount(purchases().size());
    m_pagination->refresh(m_pagination->currentPage());
    m_shownCount = purchases().size();
}

void KvoPageFavoris::onChangeFavePage(int first, int last)
{
    clearRows(ui->results);
    buildRows(ui->results, purchases().mid(first, last - first + 1),
              [](KvoTopItem* row, int) { row->setupFavourite(); });
}

void KvoPageFavoris::removePurchase(const KvoPurchase& purchase)
{
    KvoPageTops::removePurchase(purchase);
    m_shownCount = purchases().size();
    if (m_pagination) {
        m_pagination->setItemCount(purchases().size());
        m_pagination->refresh(m_pagination->currentPage());
    }
    if (purchases().isEmpty())
        showEmptyList();
}

QList<KvoTopItem*> KvoPageFavoris::rows() const
{
    return rowsOf(ui->results);
}
