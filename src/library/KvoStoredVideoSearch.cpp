#include "KvoStoredVideoSearch.h"

#include "KvoQozFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

void search(const QDir& dir, int depth, QHash<uint, KvoLibraryMerge::Found>* out)
{
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.qoz")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : files) {
        const KvoQozFile qoz(info.filePath());
        if (!qoz.isValid() || qoz.fileId() == 0 || out->contains(qoz.fileId()))
            continue;
        out->insert(qoz.fileId(), {qoz.purchaseId(), QDir::fromNativeSeparators(info.absoluteFilePath())});
    }
    if (depth <= 0)
        return;
    // Links are not followed: a link to a parent would loop.
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& info : folders)
        search(QDir(info.filePath()), depth - 1, out);
}

} // namespace

QHash<uint, KvoLibraryMerge::Found> KvoStoredVideoSearch::find(const QString& folder, int depth)
{
    QHash<uint, KvoLibraryMerge::Found> found;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return found;
    search(QDir(folder), depth, &found);
    return found;
}
