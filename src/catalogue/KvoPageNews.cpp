#include "KvoPageNews.h"
#include "ui_KvoPageTopMonth.h"

#include "KvoTopItem.h"

KvoPageNews::KvoPageNews(QWidget* parent, Qt::WindowFlags flags)
    : KvoPageTops(QStringLiteral("new"), parent, flags)
    , ui(std::make_unique<Ui_KvoPageTopMonth>())
    , m_parentPage(parent)
{
    setupListForm(ui.get());
}

KvoPageNews::~KvoPageNews() = default;

QString KvoPageNews::title() const
{
    return tr("Nouveautés");
}

QString KvoPageNews::name() const
{
    return QStringLiteral("news");
}

QWidget* KvoPageNews::parentPage() const
{
    return m_parentPage;
}

void KvoPageNews::onShow()
{
    refresh();
}

void KvoPageNews::gotoDownloadsPage()
{
    emit onChangePage(QStringLiteral("downloads"), true);
}

void KvoPageNews::showEmptyList()
{
    showPanel(ui.get(), true);
}

void KvoPageNews::hideEmptyList()
{
    showPanel(ui.get(), false);
}

void KvoPageNews::populate()
{
    clearRows(ui->results);
    buildRows(ui->results, purchases(), [](KvoTopItem* row, int) { row->setupNews(); });
}

QList<KvoTopItem*> KvoPageNews::rows() const
{
    return rowsOf(ui->results);
}
