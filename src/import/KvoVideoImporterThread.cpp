#include "KvoVideoImporterThread.h"

#include "KvoFileCopier.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoStorageNames.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <functional>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

// How long one pass of applyPending() may hold the GUI thread; the rest
// follows in the next pass.
constexpr int s_applyBudgetMs = 20;

} // namespace

KvoVideoImporterThread::KvoVideoImporterThread(QObject* parent)
    : QThread(parent)
{
}

KvoVideoImporterThread::~KvoVideoImporterThread()
{
    // The dialog stops and waits before it goes; this is the last guard
    // against "QThread: Destroyed while thread is still running".
    requestStop();
    wait();
}

QString KvoVideoImporterThread::firstError() const
{
    QMutexLocker locker(&m_mutex);
    return m_firstError;
}

namespace {

struct WalkEntry
{
    QByteArray path; // file system encoding
    bool folder = false;
};

// The visible entries of one folder: no hidden entry, no symbolic link;
// folders and regular files only. Read with readdir, whose entry types save
// a stat per entry (a file system that gives none is asked with lstat).
void listFolder(const QByteArray& folder, std::vector<QByteArray>* folders, std::vector<QByteArray>* files)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return; // unreadable or gone: no entries
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue; // hidden, "." and ".."
        QByteArray path = folder;
        if (!path.endsWith('/'))
            path += '/';
        path += e->d_name;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::lstat(path.constData(), &st) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR)
            folders->push_back(std::move(path));
        else if (type == DT_REG)
            files->push_back(std::move(path));
    }
    ::closedir(dir);
}

} // namespace

void KvoVideoImporterThread::run()
{
    m_registeredPaths.clear();
    m_shown.clear();
    // The work list is a stack (its end is the front): a folder's files come
    // off first, in ascending order of name (by character code), then each
    // sub-folder's whole tree in turn, ascending. No recursion, so the depth
    // of the tree does not matter.
    std::vector<WalkEntry> work;
    const QFileInfo start(searchFolder);
    if (start.isDir()) // the starting folder may be reached through a link
        work.push_back({QFile::encodeName(start.absoluteFilePath()), true});
    std::vector<QByteArray> folders;
    std::vector<QByteArray> files;
    const QByteArray suffix(".qoz");
    while (!isStopRequested() && !work.empty()) {
        const WalkEntry entry = std::move(work.back());
        work.pop_back();
        if (!entry.folder) {
            handleFoundFile(QFile::decodeName(entry.path));
            continue;
        }
        m_visited.fetchAndAddRelaxed(1);
        folders.clear();
        files.clear();
        listFolder(entry.path, &folders, &files);
        m_visited.fetchAndAddRelaxed(qint64(files.size()));
        std::sort(folders.begin(), folders.end(), std::greater<QByteArray>());
        std::sort(files.begin(), files.end(), std::greater<QByteArray>());
        for (QByteArray& f : folders)
            work.push_back({std::move(f), true});
        // Only the stored videos of the folder need a turn ("NAME.qoz",
        // case-sensitive: "NAME.QOZ" is not one).
        for (QByteArray& f : files) {
            if (f.endsWith(suffix))
                work.push_back({std::move(f), false});
        }
    }
}

void KvoVideoImporterThread::handleFoundFile(const QString& path)
{
    const KvoQozFile identity(path);
    if (!identity.isValid())
        return;
    const QMap<int, KvoPurchase> library = KvoPurchaseVideoManager::instance()->purchases();
    const auto pit = library.constFind(int(identity.purchaseId()));
    if (pit == library.constEnd())
        return;
    const auto fit = pit->files.constFind(int(identity.fileId()));
    if (fit == pit->files.constEnd())
        return;
    const KvoPurchase& course = pit.value();
    KvoVideoFile video = fit.value();
    const uint fileId = video.fileId;
    // What this search did already and the GUI thread may not have applied.
    if (m_registeredPaths.contains(fileId))
        video.KvoPath = m_registeredPaths.value(fileId);
    if (m_shown.contains(fileId))
        video.hidden = false;

    const QString folder = QDir::fromNativeSeparators(videoFolder) + QLatin1Char('/')
                           + KvoStorageNames::courseFolderName(course) + QLatin1Char('/');
    const QString name = KvoStorageNames::videoFileName(fileId, video.title);
    const QString target = QDir::toNativeSeparators(folder + name);
    const QString found = QDir::toNativeSeparators(path);

    const bool inPlace = !video.KvoPath.isEmpty() && QFileInfo::exists(video.KvoPath)
                         && (!copyFiles || QDir::toNativeSeparators(video.KvoPath) == target);
    Registration r;
    r.purchase = course;
    r.video = video;
    if (!inPlace) {
        QString newPath;
        if (!copyFiles) {
            newPath = found;
        } else if (found == target || KvoFileCopier::isSameFile(found, target)) {
            // Already in the video folder (perhaps under a linked name):
            // copying would only put the file at risk.
            newPath = target;
        } else if (!QDir().mkpath(folder)) {
            fail(tr("Le dossier %1 ne peut pas être créé.").arg(QDir::toNativeSeparators(folder)));
        } else {
            QString error;
            const KvoFileCopier::Result result = KvoFileCopier::copy(
                found, target, [this](qint64) { return !isStopRequested(); }, nullptr, &error);
            if (result == KvoFileCopier::Result::Copied)
                newPath = target;
            else if (result == KvoFileCopier::Result::Cancelled)
                return;
            else
                fail(QStringLiteral("%1 : %2").arg(found, error));
        }
        if (!newPath.isEmpty()) {
            r.video.KvoPath = newPath;
            r.setPath = true;
            m_registeredPaths.insert(fileId, newPath);
        }
    }
    if (video.hidden && (inPlace || r.setPath)) {
        r.unhide = true;
        m_shown.insert(fileId);
    }
    if (r.setPath || r.unhide)
        queue(r);
}

void KvoVideoImporterThread::queue(const Registration& registration)
{
    {
        QMutexLocker locker(&m_mutex);
        m_pending.append(registration);
    }
    emit registrationQueued();
}

void KvoVideoImporterThread::fail(const QString& error)
{
    m_failed.fetchAndAddRelaxed(1);
    QMutexLocker locker(&m_mutex);
    if (m_firstError.isEmpty())
        m_firstError = error;
}

void KvoVideoImporterThread::applyPending()
{
    QDeadlineTimer budget(s_applyBudgetMs);
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    const bool running = isRunning();
    for (;;) {
        Registration r;
        {
            QMutexLocker locker(&m_mutex);
            if (m_pending.isEmpty())
                return;
            r = m_pending.takeFirst();
        }
        if (r.setPath)
            manager->setVideoPath(r.purchase, r.video);
        if (r.unhide)
            manager->setVideoHidden(r.purchase.id, r.video.fileId, false);
        if (r.setPath)
            emit newVideoImported();
        // While the search runs, the GUI thread gets its turn between
        // batches; more registrations queue more calls.
        if (running && budget.hasExpired()) {
            QMetaObject::invokeMethod(this, &KvoVideoImporterThread::applyPending, Qt::QueuedConnection);
            return;
        }
    }
}
