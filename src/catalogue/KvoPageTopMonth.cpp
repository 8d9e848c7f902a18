#include "KvoPageTopMonth.h"
#include "ui_KvoPageTopMonth.h"

#include "KvoTopItem.h"

KvoPageTopMonth::KvoPageTopMonth(QWidget* parent, Qt::WindowFlags flags)
    : KvoPageTops(QStringLiteral("top"), parent, flags)
    , ui(std::make_unique<Ui_KvoPageTopMonth>())
    , m_parentPage(parent)
{
    setupListForm(ui.get());
}

KvoPageTopMonth::~KvoPageTopMonth() = default;

QString KvoPageTopMonth::title() const
{
    return tr("Top du mois");
}

QString KvoPageTopMonth::name() const
{
    return QStringLiteral("top");
}

QWidget* KvoPageTopMonth::parentPage() const
{
    return m_parentPage;
}

void KvoPageTopMonth::onShow()
{
    refresh();
}

void KvoPageTopMonth::gotoDownloadsPage()
{
    emit onChangePage(QStringLiteral("downloads"), true);
}

void KvoPageTopMonth::showEmptyList()
{
    showPanel(ui.get(), true);
}

void KvoPageTopMonth::hideEmptyList()
{
    showPanel(ui.get(), false);
}

void KvoPageTopMonth::populate()
{
    clearRows(ui->results);
    buildRows(ui->results, purchases(), [](KvoTopItem* row, int i) { row->setupTopMonth(i); });
}

QList<KvoTopItem*> KvoPageTopMonth::rows() const
{
    return rowsOf(ui->results);
}
