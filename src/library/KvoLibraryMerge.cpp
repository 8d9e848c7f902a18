#include "KvoLibraryMerge.h"

namespace {

QHash<uint, const KvoVideoFile*> filesById(const QMap<int, KvoPurchase>& library)
{
    QHash<uint, const KvoVideoFile*> files;
    for (const KvoPurchase& purchase : library) {
        for (const KvoVideoFile& file : purchase.files)
            files.insert(file.fileId, &file);
    }
    return files;
}

} // namespace

KvoLibraryMerge::Result KvoLibraryMerge::merge(QMap<int, KvoPurchase> fresh, const QMap<int, KvoPurchase>& old,
                                               const Stored& stored, const QHash<uint, Found>& found)
{
    Result result;
    const QHash<uint, const KvoVideoFile*> oldFiles = filesById(old);
    for (auto pit = fresh.begin(); pit != fresh.end(); ++pit) {
        KvoPurchase& purchase = pit.value();
        const auto oit = old.constFind(pit.key());
        purchase.commented = (oit != old.constEnd() && oit->commented) || stored.commented.contains(purchase.id);
        for (auto fit = purchase.files.begin(); fit != purchase.files.end(); ++fit) {
            KvoVideoFile& file = fit.value();
            const KvoVideoFile* mem = oldFiles.value(file.fileId, nullptr);
            const auto sit = stored.videos.constFind(file.fileId);
            const VideoState* db = sit == stored.videos.constEnd() ? nullptr : &sit.value();
            if (mem) {
                file.KvoPath = mem->KvoPath;
                file.hidden = mem->hidden;
                file.alreadySeen = mem->alreadySeen;
                if (db) {
                    if (file.KvoPath.isEmpty())
                        file.KvoPath = db->path;
                    file.alreadySeen = qMax(file.alreadySeen, db->alreadySeen);
                }
            } else if (db) {
                file.KvoPath = db->path;
                file.hidden = db->hidden;
                file.alreadySeen = db->alreadySeen;
            }
            if (file.KvoPath.isEmpty()) {
                const auto found_ = found.constFind(file.fileId);
                if (found_ != found.constEnd() && found_->purchaseId == purchase.id && !found_->path.isEmpty()) {
                    file.KvoPath = found_->path;
                    result.foundPaths.insert(file.fileId, file.KvoPath);
                }
            }
        }
    }
    result.purchases = std::move(fresh);
    return result;
}

bool KvoLibraryMerge::hasUnknownPaths(const QMap<int, KvoPurchase>& fresh, const QMap<int, KvoPurchase>& old,
                                      const Stored& stored)
{
    const QHash<uint, const KvoVideoFile*> oldFiles = filesById(old);
    for (const KvoPurchase& purchase : fresh) {
        for (const KvoVideoFile& file : purchase.files) {
            const KvoVideoFile* mem = oldFiles.value(file.fileId, nullptr);
            if (mem && !mem->KvoPath.isEmpty())
                continue;
            const auto sit = stored.videos.constFind(file.fileId);
            if (sit != stored.videos.constEnd() && !sit->path.isEmpty())
                continue;
            return true;
        }
    }
    return false;
}
