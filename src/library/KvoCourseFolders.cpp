#include "KvoCourseFolders.h"

#include "KvoPurchase.h"
#include "KvoStorageNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QMutexLocker>

namespace {

struct Use
{
    // The numbers of the holds on the folder.
    QList<quint64> holds;
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
    quint64 lastHold = 0;
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

KvoCourseFolders::Hold KvoCourseFolders::makeAndHold(const QString& folder)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    const bool existed = QFileInfo::exists(folder);
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return Hold();
    Hold hold;
    hold.m_folder = resolvedPath(folder);
    hold.m_number = ++r.lastHold;
    Use& use = r.folders[hold.m_folder];
    use.holds.append(hold.m_number);
    use.created = use.created || !existed;
    return hold;
}

void KvoCourseFolders::release(const Hold& hold, const QString& videoFolder)
{
    if (!hold.isHeld())
        return;
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    // Found by what it was when held: the path as written may lead
    // elsewhere by now, to a folder that other transfers hold.
    const auto it = r.folders.find(hold.m_folder);
    if (it == r.folders.end() || !it->holds.removeOne(hold.m_number) || !it->holds.isEmpty())
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
