#include "KvoPageSoftwares.h"
#include "ui_KvoPageSoftwares.h"

#include "KvoListWidget.h"
#include "KvoListWidgetItem.h"
#include "KvoMainWindow.h"
#include "KvoPurchaseVideoManager.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// The name as the order sees it: accents dropped, case folded.
QString sortKey(const QString& name)
{
    const QString decomposed = name.normalized(QString::NormalizationForm_D);
    QString key;
    key.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            key.append(c);
    }
    return key.toCaseFolded();
}

} // namespace

KvoPageSoftwares::KvoPageSoftwares(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(new Ui::KvoPageSoftwares)
    , m_parentPage(parent)
{
    ui->setupUi(this);
    m_list = new KvoListWidget(this);
    ui->horizontalLayout->addWidget(m_list);
    // Moves without a pressed button give the hover picture.
    m_list->setAttribute(Qt::WA_MouseTracking);
    onShow();
    connect(m_list, &QListWidget::itemEntered, this, &KvoPageSoftwares::onItemEntered);
    connect(m_list, &QListWidget::itemClicked, this, &KvoPageSoftwares::onItemClicked);
}

KvoPageSoftwares::~KvoPageSoftwares() = default;

QString KvoPageSoftwares::title() const
{
    return tr("Toutes mes vidéos");
}

QString KvoPageSoftwares::name() const
{
    return QStringLiteral("softwares");
}

QWidget* KvoPageSoftwares::parentPage() const
{
    return m_parentPage;
}

bool KvoPageSoftwares::softwareHasVideos(uint softwareId, const QMap<int, KvoPurchase>& purchases)
{
    // The main window's test for its menu entry, asked about one software.
    QMap<int, KvoSoftware> one;
    one.insert(int(softwareId), KvoSoftware());
    return KvoMainWindow::hasVisibleSoftwares(purchases, one);
}

bool KvoPageSoftwares::hasVideos()
{
    const KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    return KvoMainWindow::hasVisibleSoftwares(manager->purchases(), manager->softwares());
}

bool KvoPageSoftwares::hasVisibleSoftwares()
{
    return hasVideos();
}

int KvoPageSoftwares::compareNames(const QString& a, const QString& b)
{
    const int byKey = QString::compare(sortKey(a), sortKey(b));
    if (byKey != 0)
        return byKey;
    return QString::compare(a, b, Qt::CaseInsensitive);
}

int KvoPageSoftwares::insertPosition(const QList<KvoSoftware>& shown, const QString& name)
{
    // The shown softwares are kept in this order, so a binary search finds
    // the first one that does not sort below the name.
    const auto it = std::lower_bound(shown.cbegin(), shown.cend(), name,
                                     [](const KvoSoftware& software, const QString& key) {
                                         return compareNames(software.name, key) < 0;
                                     });
    return int(it - shown.cbegin());
}

void KvoPageSoftwares::onShow()
{
    const KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    const QMap<int, KvoSoftware> softwares = manager->softwares();
    const QMap<int, KvoPurchase> purchases = manager->purchases();

    KvoListWidgetItem::setPurchases(purchases);
    m_list->refreshItems();

    QSet<uint> shownIds;
    for (const KvoSoftware& software : m_shownSoftwares)
        shownIds.insert(software.id);

    // The courses of each software without a tile, gathered in one walk of
    // the library so that each software is tested on its own courses only.
    QHash<uint, QMap<int, KvoPurchase>> candidates;
    for (auto it = purchases.cbegin(); it != purchases.cend(); ++it) {
        for (uint softwareId : it->softwareIDs) {
            if (!shownIds.contains(softwareId) && softwares.contains(int(softwareId)))
                candidates[softwareId].insert(it.key(), it.value());
        }
    }

    QSet<uint> newIds;
    for (const KvoSoftware& software : softwares) {
        if (shownIds.contains(software.id) || newIds.contains(software.id))
            continue;
        if (!softwareHasVideos(software.id, candidates.value(software.id)))
            continue;
        m_shownSoftwares.insert(insertPosition(m_shownSoftwares, software.name), software);
        newIds.insert(software.id);
    }
    if (newIds.isEmpty())
        return;

    for (int position = 0; position < m_shownSoftwares.size(); ++position) {
        const KvoSoftware& software = m_shownSoftwares.at(position);
        if (!newIds.contains(software.id))
            continue;
        auto* item = new KvoListWidgetItem(software.name, software.id, m_list);
        // The item joined the list at its end, and insertItem() leaves an
        // item that is already in the list where it is: take it out first
        // so that it lands at its place.
        const int row = m_list->row(item);
        if (row != position) {
            m_list->takeItem(row);
            m_list->insertItem(position, item);
        }
        item->loadThumbnail(software.thumbnail);
    }
}

void KvoPageSoftwares::onItemClicked(QListWidgetItem* item)
{
    auto* tile = dynamic_cast<KvoListWidgetItem*>(item);
    if (!tile)
        return;
    KvoListWidgetItem::clearHover();
    // The main window finds or builds the software's page from the key.
    emit onChangePage(QStringLiteral("detail_software_") + QString::number(tile->id()), true);
}

void KvoPageSoftwares::onItemEntered(QListWidgetItem* item)
{
    if (auto* tile = dynamic_cast<KvoListWidgetItem*>(item))
        tile->setHover();
}
