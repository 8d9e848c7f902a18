#include "KvoCourseFolders.h"

#include "KvoPurchase.h"
#include "KvoStorageNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace {

struct Use
{
    int holders = 0;
    bool created = false;
};

struct Registry
{
    QMutex mutex;
    QHash<QString, Use> folders;
};

Registry& registry()
{
    static Registry r;
    return r;
}

QString key(const QString& folder)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(folder));
}

bool liesIn(const QString& folder, const QString& videoFolder)
{
    if (folder.isEmpty() || videoFolder.isEmpty())
        return false;
    const QString parent = QFileInfo(key(folder)).absolutePath();
    if (QDir::cleanPath(parent) == key(videoFolder))
        return true;
    // The same folder reached through a link.
    const QString canonical = QFileInfo(parent).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(videoFolder).canonicalFilePath();
}

// Under the registry's lock: nothing can take the folder between the look
// and the removal.
bool removeIfFree(const QString& folder, const QString& videoFolder)
{
    if (!liesIn(folder, videoFolder))
        return false;
    // rmdir() removes an empty folder only: one that holds anything stays.
    return QDir().rmdir(folder);
}

} // namespace

void KvoCourseFolders::hold(const QString& folder, bool created)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    Use& use = r.folders[key(folder)];
    ++use.holders;
    use.created = use.created || created;
}

void KvoCourseFolders::release(const QString& folder, const QString& videoFolder)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    const auto it = r.folders.find(key(folder));
    if (it == r.folders.end() || --it->holders > 0)
        return;
    const bool created = it->created;
    r.folders.erase(it);
    // A folder that was there before the transfer is not the transfer's to
    // remove.
    if (created)
        removeIfFree(folder, videoFolder);
}

bool KvoCourseFolders::removeEmptyCourseFolder(const QString& filePath, const KvoPurchase& purchase,
                                               const QString& videoFolder)
{
    const QFileInfo file(filePath);
    if (filePath.isEmpty() || file.exists())
        return false;
    const QString folder = file.absolutePath();
    if (QFileInfo(folder).fileName() != KvoStorageNames::courseFolderName(purchase))
        return false;
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    if (r.folders.contains(key(folder)))
        return false;
    return removeIfFree(folder, videoFolder);
}
