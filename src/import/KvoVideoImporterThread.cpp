#include "KvoVideoImporterThread.h"

#include "KvoEnvironment.h"
#include "KvoFileCopier.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

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

void KvoVideoImporterThread::run()
{
    m_registeredPaths.clear();
    m_shown.clear();
    QList<QFileInfo> work;
    work.append(QFileInfo(searchFolder));
    bool start = true;
    const QDir::Filters filters =
        QDir::Files | QDir::AllDirs | QDir::Readable | QDir::NoSymLinks | QDir::NoDotAndDotDot;
    const QDir::SortFlags order = QDir::Name | QDir::DirsFirst | QDir::Reversed;
    while (!isStopRequested() && !work.isEmpty()) {
        const QFileInfo entry = work.takeFirst();
        m_visited.fetchAndAddRelaxed(1);
        // The starting folder may be reached through a link; below it no
        // link is listed, so a loop of links cannot trap the walk.
        if (entry.isDir() && (start || !entry.isSymLink())) {
            start = false;
            const QFileInfoList listed = QDir(entry.absoluteFilePath()).entryInfoList(filters, order);
            // Prepending in listed order (folders, then files, each by name
            // descending) handles a folder's files first, ascending, then
            // each sub-folder's tree in turn.
            for (const QFileInfo& child : listed)
                work.prepend(child);
            continue;
        }
        start = false;
        if (entry.isFile() && !entry.isSymLink() && entry.absoluteFilePath().endsWith(QLatin1String(".qoz")))
            handleFoundFile(entry.absoluteFilePath());
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
                           + KvoEnvironment::sanitizeFileName(QString::number(course.id) + QStringLiteral(" - ")
                                                              + course.title)
                           + QLatin1Char('/');
    const QString name = KvoEnvironment::sanitizeFileName(QString::number(fileId) + QStringLiteral(" - ")
                                                          + video.title + QStringLiteral(".qoz"));
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
                fail(tr("%1 n'a pas pu être copié : %2").arg(found, error));
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
