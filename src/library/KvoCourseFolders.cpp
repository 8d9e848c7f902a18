#include "KvoCourseFolders.h"

#include "KvoPurchase.h"
#include "KvoStorageNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <algorithm>

namespace {

struct Use
{
    // Each holder's path as it wrote it, cleaned: its release finds the
    // folder even when the links on the way have changed since.
    QStringList holders;
    bool created = false;
    // The video folder of a removal refused while the folder was held; it
    // is tried again when the last holder lets the folder go.
    QString refusedIn;
};

struct Registry
{
    QMutex mutex;
    // Keyed by resolvedPath(): the held test and the removal look at the
    // same folder, whichever way its path was written.
    QHash<QString, Use> folders;
};

Registry& registry()
{
    static Registry r;
    return r;
}

// The path with every link resolved and nothing left to clean: the
// canonical path of a folder that exists; for one that does not exist
// (yet), that of its nearest existing parent followed by the rest as
// written. A folder made later at that place then has this canonical path.
QString resolvedPath(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo info(QDir::fromNativeSeparators(path));
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QFileInfo absolute(QDir::cleanPath(info.absoluteFilePath()));
    const QString parent = absolute.path();
    if (parent == absolute.filePath())
        return parent;
    return QDir::cleanPath(resolvedPath(parent) + QLatin1Char('/') + absolute.fileName());
}

bool liesIn(const QString& resolvedFolder, const QString& videoFolder)
{
    const QString parent = QFileInfo(resolvedFolder).path();
    return !resolvedFolder.isEmpty() && !videoFolder.isEmpty() && parent != resolvedFolder
           && parent == resolvedPath(videoFolder);
}

// Under the registry's lock: nothing can take the folder between the look
// and the removal.
bool removeIfFree(const QString& resolvedFolder, const QString& videoFolder)
{
    if (!liesIn(resolvedFolder, videoFolder))
        return false;
    // rmdir() removes an empty folder only: one that holds anything stays.
    return QDir().rmdir(resolvedFolder);
}

} // namespace

bool KvoCourseFolders::makeAndHold(const QString& folder)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    const bool existed = QFileInfo::exists(folder);
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return false;
    Use& use = r.folders[resolvedPath(folder)];
    use.holders.append(QDir::cleanPath(folder));
    use.created = use.created || !existed;
    return true;
}

void KvoCourseFolders::release(const QString& folder, const QString& videoFolder)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    const QString written = QDir::cleanPath(folder);
    const auto heldAs = [&written](const Use& use) { return use.holders.contains(written); };
    auto it = r.folders.find(resolvedPath(folder));
    if (it == r.folders.end() || !heldAs(*it))
        it = std::find_if(r.folders.begin(), r.folders.end(), heldAs);
    if (it == r.folders.end())
        return;
    it->holders.removeOne(written);
    if (!it->holders.isEmpty())
        return;
    const QString resolved = it.key();
    const Use use = *it;
    r.folders.erase(it);
    // A folder that was there before the transfer is not the transfer's to
    // remove; the user's removal of its last video is.
    if (use.created && removeIfFree(resolved, videoFolder))
        return;
    if (!use.refusedIn.isEmpty())
        removeIfFree(resolved, use.refusedIn);
}

bool KvoCourseFolders::removeEmptyCourseFolder(const QString& filePath, const KvoPurchase& purchase,
                                               const QString& videoFolder)
{
    const QFileInfo file(filePath);
    if (filePath.isEmpty() || file.exists())
        return false;
    const QString folder = file.absolutePath();
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    const QString resolved = resolvedPath(folder);
    // Named so both as written and as it is on disk: a link named for the
    // course that leads to a folder of the user's, or the other way round,
    // leaves that folder alone.
    const QString name = KvoStorageNames::courseFolderName(purchase);
    if (QFileInfo(QDir::cleanPath(folder)).fileName() != name || QFileInfo(resolved).fileName() != name
        || !liesIn(resolved, videoFolder))
        return false;
    const auto held = r.folders.find(resolved);
    if (held != r.folders.end()) {
        held->refusedIn = videoFolder;
        return false;
    }
    return QDir().rmdir(resolved);
}
