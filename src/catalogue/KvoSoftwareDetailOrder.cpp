#include "KvoSoftwareDetailOrder.h"

#include <algorithm>

bool KvoSoftwareDetailOrder::Formation::operator<(const Formation& other) const
{
    switch (sortMode) {
    case 0:
        return date < other.date;
    case 2:
        return QString::compare(title, other.title, Qt::CaseInsensitive) < 0;
    case 3:
        return QString::compare(title, other.title, Qt::CaseInsensitive) > 0;
    case 6:
    case 7:
    case 8:
        return progress < other.progress;
    case 1:
    case 4:
    case 5:
    default:
        return other.date < date;
    }
}

bool KvoSoftwareDetailOrder::isListed(const KvoVideoFile& file)
{
    return !file.KvoPath.isEmpty() && !file.hidden;
}

float KvoSoftwareDetailOrder::purchaseProgress(int purchaseId, const QMap<int, KvoPurchase>& purchases)
{
    const auto it = purchases.constFind(purchaseId);
    return it == purchases.cend() ? 0.0f : purchaseProgress(it.value());
}

float KvoSoftwareDetailOrder::purchaseProgress(const KvoPurchase& purchase)
{
    // Over all the course's files, so a course half downloaded and fully
    // watched is not "finished".
    if (purchase.files.isEmpty())
        return 0.0f;
    quint64 sum = 0;
    for (const KvoVideoFile& file : purchase.files) {
        if (isListed(file))
            sum += file.alreadySeen;
    }
    return float(sum) / float(purchase.files.size());
}

bool KvoSoftwareDetailOrder::passesFilter(const KvoPurchase& purchase, int sortMode)
{
    switch (sortMode) {
    case 4:
        return purchase.files.size() >= 2;
    case 5:
        return purchase.files.size() <= 1;
    case 6:
        return purchaseProgress(purchase) <= 0.0f;
    case 7: {
        const float progress = purchaseProgress(purchase);
        return progress > 0.0f && progress < 100.0f;
    }
    case 8:
        return purchaseProgress(purchase) >= 100.0f;
    default:
        return true;
    }
}

QList<KvoSoftwareDetailOrder::ItemPair>
KvoSoftwareDetailOrder::buildItemList(const QMap<int, KvoPurchase>& purchases, uint softwareId, int sortMode)
{
    QList<ItemPair> items;
    for (const KvoPurchase& purchase : purchases) {
        if (!purchase.softwareIDs.contains(softwareId) || !passesFilter(purchase, sortMode))
            continue;
        for (auto it = purchase.files.cbegin(); it != purchase.files.cend(); ++it) {
            if (isListed(it.value()))
                items.append(ItemPair{quint32(it.value().fileId), quint32(purchase.id)});
        }
    }
    if (!items.isEmpty())
        sortItems(items, purchases, sortMode);
    return items;
}

void KvoSoftwareDetailOrder::sortItems(QList<ItemPair>& items, const QMap<int, KvoPurchase>& purchases,
                                       int sortMode)
{
    QList<Formation> formations;
    auto pit = purchases.cend();
    for (const ItemPair& item : items) {
        if (formations.isEmpty() || formations.last().purchaseId != int(item.purchaseId)) {
            pit = purchases.constFind(int(item.purchaseId));
            Formation formation;
            formation.purchaseId = int(item.purchaseId);
            formation.sortMode = sortMode;
            if (pit != purchases.cend()) {
                formation.title = pit->title;
                formation.date = pit->purchaseDate;
                formation.progress = purchaseProgress(pit.value());
            }
            formations.append(formation);
        }
        uint chapter = 0;
        uint order = 0;
        if (pit != purchases.cend()) {
            const auto fit = pit->files.constFind(int(item.fileId));
            if (fit != pit->files.cend()) {
                chapter = fit->n_chapter;
                order = fit->order;
            }
        }
        formations.last().videos[chapter].append(Video{item.fileId, order});
    }

    std::sort(formations.begin(), formations.end());
    items.clear();
    for (Formation& formation : formations) {
        for (auto cit = formation.videos.begin(); cit != formation.videos.end(); ++cit) {
            std::sort(cit->begin(), cit->end());
            for (const Video& video : std::as_const(cit.value()))
                items.append(ItemPair{video.fileId, quint32(formation.purchaseId)});
        }
    }
}
