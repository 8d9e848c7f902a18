#include "KvoPageTopMonth.h"
#include "ui_KvoPageTopMonth.h"

#include "KvoPurchaseVideoManager.h"
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
    clearLayout(ui->results);
    const QMap<int, KvoPurchase> library = KvoPurchaseVideoManager::instance()->purchases();
    const QList<KvoPurchase> courses = purchases();
    for (int i = 0; i < courses.size(); ++i) {
        KvoTopItem* row = appendRow(ui->results, courses.at(i));
        row->setupTopMonth(i);
        applyOwnership(row, library);
    }
}

QList<KvoTopItem*> KvoPageTopMonth::rows() const
{
    return rowsOf(ui->results);
}
