#include "KvoPagePromo.h"
#include "ui_KvoPageTopMonth.h"

#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoTopItem.h"

KvoPagePromo::KvoPagePromo(QWidget* parent, Qt::WindowFlags flags)
    : KvoPageTops(QStringLiteral("promo"), parent, flags)
    , ui(std::make_unique<Ui_KvoPageTopMonth>())
    , m_parentPage(parent)
{
    setupListForm(ui.get());
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &KvoPagePromo::onTimeout);
}

KvoPagePromo::~KvoPagePromo() = default;

QString KvoPagePromo::title() const
{
    return tr("Actuellement en Promo");
}

QString KvoPagePromo::name() const
{
    return QStringLiteral("promo");
}

QWidget* KvoPagePromo::parentPage() const
{
    return m_parentPage;
}

void KvoPagePromo::onShow()
{
    countdownPass();
    refresh();
    m_timer.start();
}

void KvoPagePromo::onTimeout()
{
    if (isVisible())
        countdownPass();
    else
        m_timer.stop();
}

void KvoPagePromo::countdownPass()
{
    // The show hook runs before the page is on screen: every row counts
    // as shown unless its promotion ended.
    for (KvoTopItem* row : rowsOf(ui->results))
        if (!row->hasEnded())
            row->setTimeLeft();
}

void KvoPagePromo::gotoDownloadsPage()
{
    emit onChangePage(QStringLiteral("downloads"), true);
}

void KvoPagePromo::showEmptyList()
{
    showPanel(ui.get(), true);
}

void KvoPagePromo::hideEmptyList()
{
    showPanel(ui.get(), false);
}

void KvoPagePromo::populate()
{
    if (!m_pagination) {
        m_pagination = new KvoPaginationWidget;
        connect(m_pagination, &KvoPaginationWidget::changePage, this, &KvoPagePromo::onChangePromoPage);
        ui->pagesLayout->addWidget(m_pagination);
        m_pagination->setItemsPerPage(10);
    }
    m_pagination->setItemCount(purchases().size());
    m_pagination->refresh(m_pagination->currentPage());
}

void KvoPagePromo::onChangePromoPage(int first, int last)
{
    clearRows(ui->results);
    buildRows(ui->results, purchases().mid(first, last - first + 1), [](KvoTopItem* row, int) { row->setupPromo(); });
}

QList<KvoTopItem*> KvoPagePromo::rows() const
{
    return rowsOf(ui->results);
}
