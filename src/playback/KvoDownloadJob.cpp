#include "KvoDownloadJob.h"

#include "KvoDownloadQueue.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStorageNames.h"
#include "KvoVideoTransfer.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <utility>

namespace {

qint64 nowSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

KvoDownloadQueue* queue()
{
    return KvoDownloadQueue::instance();
}

} // namespace

KvoDownloadJob::KvoDownloadJob(const KvoPurchase& purchase, KvoDownloadJob* parentJob)
    : purchaseRecord(purchase)
    , parentEntry(parentJob)
{
    m_buttonText = QCoreApplication::translate("KvoDownloadWidget", "Télécharger");
    m_plainTitle = displayTitle();
    m_title = m_plainTitle;
    if (parentEntry && !purchaseRecord.files.isEmpty()
        && parentEntry->failedVideos.contains(purchaseRecord.files.firstKey()))
        setToError(QStringLiteral("Error"));
}

KvoDownloadJob::~KvoDownloadJob()
{
    queue()->removeWaiting(this);
    releaseTransfer();
    queue()->releaseSlot(this);
    for (KvoDownloadJob* child : std::as_const(childEntries)) {
        child->parentEntry = nullptr;
        child->stop();
        delete child;
    }
    childEntries.clear();
    if (parentEntry) {
        parentEntry->childEntries.remove(parentEntry->childEntries.key(this));
        if (parentEntry->mirror == this)
            parentEntry->mirror = nullptr;
    }
}

void KvoDownloadJob::touch()
{
    emit changed();
}

bool KvoDownloadJob::isQueued() const
{
    return queue()->isQueued(this);
}

bool KvoDownloadJob::holdsSlot() const
{
    return queue()->holdsSlot(this);
}

bool KvoDownloadJob::isBusy() const
{
    return m_running || isQueued() || holdsSlot() || m_transfer;
}

void KvoDownloadJob::setFlag(bool isOnline)
{
    online = isOnline;
}

void KvoDownloadJob::setHidden(bool hidden)
{
    m_hidden = hidden;
    if (parentEntry)
        emit parentEntry->childrenChanged();
}

QString KvoDownloadJob::displayTitle() const
{
    QString text = purchaseRecord.title;
    if (purchaseRecord.files.size() >= 2)
        text += QCoreApplication::translate("KvoDownloadWidget", " [ %1 vidéos ]").arg(purchaseRecord.files.size());
    return text;
}

QString KvoDownloadJob::runningTitle() const
{
    if (purchaseRecord.files.size() < 2)
        return purchaseRecord.title;
    return purchaseRecord.title + QCoreApplication::translate("KvoDownloadWidget", " [ %1 / %2 vidéos ]").arg(videoIndex).arg(purchaseRecord.files.size());
}

// --- pure rules -------------------------------------------------------------

QString KvoDownloadJob::remainingTimeText(quint32 remaining)
{
    QString hours;
    // Whole phrases with their number, so that a translation may order them.
    if (remaining >= 7200)
        hours = QCoreApplication::translate("KvoDownloadWidget", "%1 heures et ").arg(remaining / 3600);
    else if (remaining >= 3600)
        hours = QCoreApplication::translate("KvoDownloadWidget", "%1 heure et ").arg(remaining / 3600);
    const quint32 rest = remaining % 3600;
    QString part;
    if (rest < 2)
        part = QCoreApplication::translate("KvoDownloadWidget", "1 seconde");
    else if (rest <= 60)
        part = QCoreApplication::translate("KvoDownloadWidget", "%1 secondes").arg(rest);
    else if (rest <= 119)
        part = QCoreApplication::translate("KvoDownloadWidget", "1 minute");
    else
        part = QCoreApplication::translate("KvoDownloadWidget", "%1 minutes").arg(rest / 60);
    return QCoreApplication::translate("KvoDownloadWidget", "( temps estimé : %1 )").arg(hours + part);
}

// --- joining the queue ------------------------------------------------------

void KvoDownloadJob::enqueue()
{
    onClickDownload();
}

void KvoDownloadJob::onClickDownload()
{
    if (!KvoPurchaseVideoManager::instance()->isConnected()) {
        emit queue()->connectionNeeded();
        return;
    }
    // Waiting, holding a slot, asking or downloading: already on its way.
    if (stopped || isBusy())
        return;
    waitingLook();
    updateMirror();

    // A child that its parent drives runs under the parent's slot.
    if (bound && parentEntry && parentEntry->m_running) {
        startDownload();
        return;
    }
    // First in, first out: while others wait, a new job waits behind them.
    if (queue()->activeCount() >= KvoDownloadQueue::MaxActiveDownloads || queue()->queuedCount() > 0) {
        queue()->append(this);
        return;
    }
    startDownload();
}

void KvoDownloadJob::waitingLook()
{
    m_look = Look::Waiting;
    m_plainTitle = displayTitle();
    m_softwaresVisible = true;
    m_buttonIcon = ButtonIcon::None;
    m_buttonStyle = ButtonStyle::Waiting;
    m_buttonText = QCoreApplication::translate("KvoDownloadWidget", "en attente");
    m_buttonVisible = true;
    m_titleStyle = TitleStyle::Normal;
    m_title = m_plainTitle;
    m_tip.clear();
    m_commentError = false;
    m_comment.clear();
    if (bound && parentEntry) {
        parentEntry->m_buttonText = QCoreApplication::translate("KvoDownloadWidget", "en attente");
        parentEntry->touch();
    }
    m_action = ButtonAction::None;
    touch();
}

void KvoDownloadJob::requestBind()
{
    bound = true;
}

// --- one run ----------------------------------------------------------------

void KvoDownloadJob::startDownload()
{
    if (stopped)
        return;
    m_running = true;
    m_arrived = 0;
    m_skipped.clear();
    finished = false;

    // The library's current record: what was on disk or removed since the
    // job was made counts now.
    KvoPurchase current;
    bool present = KvoPurchaseVideoManager::instance()->purchase(purchaseRecord.id, &current);
    if (present && !parentEntry) {
        purchaseRecord = current;
        failedVideos.clear();
    } else if (present) {
        const int fileId = purchaseRecord.files.isEmpty() ? -1 : purchaseRecord.files.firstKey();
        present = current.files.contains(fileId);
        if (present)
            purchaseRecord.files[fileId] = current.files.value(fileId);
    }
    if (!present) {
        fail(QCoreApplication::translate("KvoDownloadWidget", "Erreur - formation absente de la bibliothèque"),
             QStringLiteral("The purchase %1 is no longer in the library").arg(purchaseRecord.id));
        return;
    }

    videoCount = int(purchaseRecord.files.size());
    videoIndex = 0;
    releaseTransfer();
    currentVideo = purchaseRecord.files.isEmpty() ? -1 : purchaseRecord.files.firstKey();
    nextDownload();
}

bool KvoDownloadJob::chooseVideo()
{
    // The missing video first in the course; on equal positions the first
    // in id order. Videos that failed in this run are passed over, so a
    // video that keeps failing is not requested again without end.
    const KvoVideoFile* chosen = nullptr;
    int index = 0, chosenIndex = -1;
    for (auto it = purchaseRecord.files.cbegin(); it != purchaseRecord.files.cend(); ++it, ++index) {
        if (it->isOnDisk() || m_skipped.contains(it.key()))
            continue;
        if (!chosen || it->order < chosen->order) {
            chosen = &it.value();
            chosenIndex = index;
        }
    }
    if (!chosen)
        return false;
    currentVideo = int(chosen->fileId);
    videoIndex = chosenIndex;
    return true;
}

void KvoDownloadJob::ensureProgress()
{
    if (m_hasProgress)
        return;
    m_hasProgress = true;
    m_progressVisible = false;
}

void KvoDownloadJob::nextDownload()
{
    if (stopped)
        return;
    mirror = nullptr;

    const bool underParent = bound && parentEntry && parentEntry->m_running;
    if (!underParent && !holdsSlot() && !queue()->takeSlot(this)) {
        fail(QCoreApplication::translate("KvoDownloadWidget", "télechargement annulé"), QStringLiteral("No download slot was free"));
        return;
    }

    if (!chooseVideo()) {
        finish();
        return;
    }

    ensureProgress();
    if (bound && parentEntry) {
        parentEntry->ensureProgress();
        parentEntry->m_progress = m_progress;
        parentEntry->touch();
    }

    // A child job of this video downloads it; this row follows it.
    if (KvoDownloadJob* child = childEntries.value(currentVideo); child && !child->stopped && !child->finished) {
        const int chosen = currentVideo;
        child->bound = true;
        if (child->isQueued()) {
            queue()->removeWaiting(child);
            child->startDownload();
        } else if (!child->isBusy()) {
            child->onClickDownload();
        }
        // The child may have ended at once (its video was on disk already).
        if (stopped || !m_running || currentVideo != chosen)
            return;
        m_buttonText = child->m_buttonText;
        m_buttonVisible = true;
        m_progressVisible = false;
        m_progress = 0;
        m_comment = child->m_comment;
        m_title = runningTitle();
        m_commentVisible = true;
        m_look = Look::Asking;
        touch();
        return;
    }

    releaseTransfer();
    m_progress = 0;
    m_look = Look::Asking;

    // The titles that name the file, cleaned where the job keeps them: a
    // child row made later shows the video's name as it is stored.
    purchaseRecord.courseTitle = KvoStorageNames::cleanTitle(
        purchaseRecord.courseTitle.isNull() ? purchaseRecord.title : purchaseRecord.courseTitle);
    KvoVideoFile& video = purchaseRecord.files[currentVideo];
    video.title = KvoStorageNames::cleanTitle(video.title);
    m_title = runningTitle();
    m_plainTitle = m_title;

    m_transfer = new KvoVideoTransfer(purchaseRecord, currentVideo, this);
    connect(m_transfer, &KvoVideoTransfer::downloadStarted, this, &KvoDownloadJob::onSuccessRequest);
    connect(m_transfer, &KvoVideoTransfer::progress, this, &KvoDownloadJob::onProgressDownload);
    connect(m_transfer, &KvoVideoTransfer::succeeded, this, &KvoDownloadJob::onSuccessDownload);
    connect(m_transfer, &KvoVideoTransfer::failed, this, &KvoDownloadJob::onErrorDownload);
    QString message, detail;
    const bool started = m_transfer->start(&message, &detail);
    filePath = m_transfer->filePath();
    if (!started) {
        releaseTransfer();
        m_commentVisible = true;
        fail(message, detail);
        return;
    }
    m_commentError = false;
    m_commentVisible = true;
    touch();
}

void KvoDownloadJob::onSuccessRequest()
{
    m_comment = QCoreApplication::translate("KvoDownloadWidget", "( Début du téléchargement )");
    startTime = lastEtaTime = nowSeconds();
    m_look = Look::Downloading;
    m_buttonVisible = false;
    m_progressVisible = true;
    if (bound && parentEntry) {
        parentEntry->m_comment = QCoreApplication::translate("KvoDownloadWidget", "( Début du téléchargement )");
        parentEntry->m_buttonVisible = false;
        parentEntry->ensureProgress();
        parentEntry->m_progressVisible = true;
        parentEntry->m_look = Look::Downloading;
        parentEntry->touch();
    }
    updateMirror();
    touch();
}

void KvoDownloadJob::onProgressDownload(qint64 received, qint64 total)
{
    if (!m_transfer)
        return;
    if (total > 0)
        m_progress = int(received * 100 / total);
    const qint64 now = nowSeconds();
    const qint64 elapsed = now - startTime;

    QString text;
    if (elapsed < 2 || total <= 0 || received <= 0) {
        text = QCoreApplication::translate("KvoDownloadWidget", "( Calcul du temps restant... )");
    } else if (now != lastEtaTime) {
        const qint64 remaining = elapsed * (total - received) / received;
        text = remainingTimeText(quint32(remaining));
        lastEtaTime = now;
    }
    if (!text.isEmpty())
        m_comment = text;
    // A bound child shows its transfer on its parent's row as well.
    if (bound && parentEntry) {
        parentEntry->m_commentVisible = true;
        parentEntry->ensureProgress();
        parentEntry->m_progressVisible = true;
        parentEntry->m_buttonVisible = false;
        parentEntry->m_progress = m_progress;
        if (!text.isEmpty())
            parentEntry->m_comment = text;
        parentEntry->touch();
    }
    updateMirror();
    touch();
}

void KvoDownloadJob::onSuccessDownload(const QString& path)
{
    // The file is in place and recorded in the library already.
    const int fileId = currentVideo;
    releaseTransfer();
    if (parentEntry)
        parentEntry->failedVideos.removeAll(fileId);
    failedVideos.removeAll(fileId);

    purchaseRecord.files[fileId].KvoPath = path;
    ++m_arrived;
    updateMirror();
    if (mirror) {
        KvoDownloadJob* shown = mirror;
        mirror = nullptr;
        shown->purchaseRecord.files[fileId].KvoPath = path;
        shown->finish();
    }
    if (stopped)
        return;

    KvoDownloadJob* drivenParent = bound ? parentEntry : nullptr;
    if (!parentEntry)
        nextDownload();
    else
        finish();
    if (drivenParent) {
        bound = false;
        drivenParent->childEnded(this, true);
    }
}

void KvoDownloadJob::childEnded(KvoDownloadJob* child, bool arrived)
{
    // The bound child's video is done (or failed): go on with the next one.
    const int fileId = child->purchaseRecord.files.isEmpty() ? -1 : child->purchaseRecord.files.firstKey();
    if (arrived) {
        purchaseRecord.files[fileId].KvoPath = child->purchaseRecord.files.value(fileId).KvoPath;
        ++m_arrived;
    } else {
        if (!failedVideos.contains(fileId))
            failedVideos.append(fileId);
        m_skipped.insert(fileId);
        m_lastMessage = child->m_lastMessage;
        m_lastDetail = child->m_lastDetail;
    }
    if (m_running && !stopped)
        nextDownload();
}

void KvoDownloadJob::recordFailure()
{
    if (stopped)
        return;
    if (parentEntry && !purchaseRecord.files.isEmpty()) {
        const int fileId = purchaseRecord.files.firstKey();
        if (!parentEntry->failedVideos.contains(fileId))
            parentEntry->failedVideos.append(fileId);
    }
    if (childEntries.isEmpty() && purchaseRecord.files.size() >= 2 && currentVideo >= 0
        && !failedVideos.contains(currentVideo))
        failedVideos.append(currentVideo);
}

void KvoDownloadJob::fail(const QString& message, const QString& detail)
{
    recordFailure();
    m_lastDetail = detail;
    setToError(message);
    if (mirror) {
        mirror->setToError(QStringLiteral("Error"));
        mirror = nullptr;
    }
    KvoDownloadJob* drivenParent = bound ? parentEntry : nullptr;
    abort();
    if (drivenParent && !stopped) {
        bound = false;
        drivenParent->childEnded(this, false);
    }
    emit queue()->jobEnded(purchaseRecord.id);
}

void KvoDownloadJob::onErrorDownload(const QString& message, const QString& detail, bool thisVideoOnly)
{
    if (!m_transfer)
        return;
    releaseTransfer();
    // In a course of several videos, some errors concern this video only.
    if (thisVideoOnly && !parentEntry && !stopped && videoCount >= 2) {
        if (!failedVideos.contains(currentVideo))
            failedVideos.append(currentVideo);
        m_skipped.insert(currentVideo);
        m_lastMessage = message;
        m_lastDetail = detail;
        if (mirror) {
            mirror->setToError(QStringLiteral("Error"));
            mirror = nullptr;
        }
        ++videoIndex;
        nextDownload();
        return;
    }
    fail(message, detail);
}

// --- ends -------------------------------------------------------------------

bool KvoDownloadJob::anyVideoOnDisk() const
{
    for (const KvoVideoFile& video : purchaseRecord.files)
        if (video.isOnDisk())
            return true;
    return false;
}

bool KvoDownloadJob::everyVideoFailed() const
{
    if (purchaseRecord.files.isEmpty())
        return false;
    for (auto it = purchaseRecord.files.cbegin(); it != purchaseRecord.files.cend(); ++it)
        if (!failedVideos.contains(it.key()))
            return false;
    return true;
}

void KvoDownloadJob::finish()
{
    const bool wasBound = bound;
    m_plainTitle = displayTitle();
    m_title = m_plainTitle;
    m_comment.clear();
    if (!failedVideos.isEmpty() && !expanded && purchaseRecord.files.size() >= 2)
        toggleExpanded();

    // Nothing on disk and failures: that is no success to show.
    if (!failedVideos.isEmpty() && !anyVideoOnDisk()) {
        const QString message = m_lastMessage.isEmpty() ? QCoreApplication::translate("KvoDownloadWidget", "Erreur - connexion coupée") : m_lastMessage;
        setToError(message);
        abort();
        emit queue()->jobEnded(purchaseRecord.id);
        return;
    }

    m_look = Look::Finished;
    m_titleStyle = TitleStyle::Dimmed;
    m_tip.clear();
    m_progressVisible = false;
    m_softwaresVisible = false;
    m_buttonVisible = true;
    m_buttonText.clear();
    m_buttonStyle = ButtonStyle::Idle;
    m_buttonIcon = ButtonIcon::Play;
    m_action = everyVideoFailed() ? ButtonAction::Download : ButtonAction::Play;

    const int arrived = m_arrived;
    abort();
    if (!wasBound && arrived > 0 && !stopped) {
        const int softwareId = purchaseRecord.softwareIDs.isEmpty() ? 0 : int(purchaseRecord.softwareIDs.first());
        const int videoId = purchaseRecord.files.isEmpty() ? 0 : purchaseRecord.files.firstKey();
        emit queue()->downloadFinished(purchaseRecord.title, softwareId, videoId);
    }
    finished = true;
    touch();
    emit queue()->jobEnded(purchaseRecord.id);
}

void KvoDownloadJob::idleLook()
{
    finished = false;
    m_arrived = 0;
    m_look = Look::Idle;
    m_plainTitle = displayTitle();
    m_title = m_plainTitle;
    m_titleStyle = TitleStyle::Normal;
    m_tip.clear();
    m_buttonText = QCoreApplication::translate("KvoDownloadWidget", "Télécharger");
    m_buttonVisible = true;
    m_buttonStyle = ButtonStyle::Idle;
    m_buttonIcon = ButtonIcon::None;
    m_action = ButtonAction::Download;
    m_comment.clear();
    m_commentError = false;
    m_progressVisible = false;
    m_progress = 0;
    m_softwaresVisible = true;
}

bool KvoDownloadJob::childIsIdle(const KvoDownloadJob* child) const
{
    return child != mirror && !child->isBusy() && child->m_look != Look::Error;
}

void KvoDownloadJob::retitle()
{
    // The title of the look the row has, from the record as it is now.
    if (m_look == Look::Asking || m_look == Look::Downloading)
        m_plainTitle = runningTitle();
    else
        m_plainTitle = displayTitle();
    m_title = m_plainTitle;
}

void KvoDownloadJob::follow(const KvoPurchase& course, const QSet<int>& missing)
{
    if (stopped || course.id != purchaseRecord.id)
        return;
    m_followed = true;
    const QSet<int> before = std::exchange(m_missing, missing);
    if (parentEntry)
        return; // a child follows through its parent

    // The record: the library's (a title renamed by a synchronisation
    // names the next files), but for the video on its way, whose file is
    // named already.
    const bool busy = isBusy();
    KvoPurchase record = course;
    if (busy && purchaseRecord.files.contains(currentVideo) && record.files.contains(currentVideo))
        record.files[currentVideo] = purchaseRecord.files.value(currentVideo);
    const bool countChanged = record.files.size() != purchaseRecord.files.size();
    const bool renamed = record.title != purchaseRecord.title;
    purchaseRecord = record;

    // The child rows, once the course has them: one per video missing now.
    // A row on its way or showing a failure stays whatever the disk says,
    // and so does a row that finished its own download, in its finished
    // look, until the user opens its video; an idle row of a video that
    // came on disk some other way goes, and so does a row already opened.
    bool rowsChanged = false;
    if (expanded || !childEntries.isEmpty()) {
        for (auto it = childEntries.begin(); it != childEntries.end();) {
            KvoDownloadJob* child = it.value();
            const bool misses = missing.contains(it.key());
            const bool goes = childIsIdle(child)
                              && (child->m_hidden || (!misses && child->m_look != Look::Finished));
            if (goes) {
                it = childEntries.erase(it);
                child->parentEntry = nullptr;
                child->stop();
                child->deleteLater();
                rowsChanged = true;
                continue;
            }
            const auto video = purchaseRecord.files.constFind(it.key());
            if (video != purchaseRecord.files.cend() && !child->isBusy()) {
                child->purchaseRecord = KvoPurchase::withSingleVideo(purchaseRecord, video.value());
                if (child->m_look != Look::Error)
                    child->retitle();
            }
            // A video downloaded through its row and missing again is
            // offered again.
            if (misses && child->m_look == Look::Finished && childIsIdle(child))
                child->idleLook();
            child->touch();
            ++it;
        }
        for (const KvoVideoFile& video : std::as_const(purchaseRecord.files)) {
            if (!missing.contains(int(video.fileId)) || childEntries.contains(int(video.fileId)))
                continue;
            makeChild(video);
            rowsChanged = true;
        }
    }

    // The course's own row, unless it is on its way or shows a failure.
    if (!busy && m_look != Look::Error) {
        const bool newlyMissing = std::any_of(missing.cbegin(), missing.cend(),
                                              [&before](int fileId) { return !before.contains(fileId); });
        if (m_look == Look::Finished && newlyMissing) {
            failedVideos.clear();
            idleLook();
        } else if (m_look != Look::Finished && missing.isEmpty() && !purchaseRecord.files.isEmpty()) {
            finish();
        }
    }
    // A failure keeps the title it was shown with until the user acts.
    if ((countChanged || renamed) && m_look != Look::Error)
        retitle();
    if (rowsChanged)
        emit childrenChanged();
    touch();
}

void KvoDownloadJob::setToError(const QString& message)
{
    if (stopped)
        return;
    m_look = Look::Error;
    m_lastMessage = message;
    m_softwaresVisible = false;
    m_buttonVisible = true;
    m_buttonText = QCoreApplication::translate("KvoDownloadWidget", "Relancer");
    m_buttonStyle = ButtonStyle::Error;
    m_buttonIcon = ButtonIcon::Retry;
    m_titleStyle = TitleStyle::Error;
    m_title = m_plainTitle;
    // The reason stays in sight where the status goes; the technical detail
    // is one hover away.
    m_commentError = true;
    m_comment = message == QLatin1String("Error") ? QString() : message;
    m_commentVisible = message != QLatin1String("Error");
    // "Error" only marks a row that shows another row's failure: no text of
    // its own to hover.
    const QString reason = message == QLatin1String("Error") ? QString() : message;
    m_tip = reason.isEmpty() || m_lastDetail.isEmpty() ? reason + m_lastDetail : reason + QStringLiteral("\n") + m_lastDetail;
    m_progressVisible = false;
    m_action = ButtonAction::Download;
    touch();
}

void KvoDownloadJob::releaseTransfer()
{
    // Stops without a signal; the transfer lets its folder go.
    if (m_transfer) {
        KvoVideoTransfer* transfer = std::exchange(m_transfer, nullptr);
        QObject::disconnect(transfer, nullptr, this, nullptr);
        transfer->abort();
        transfer->deleteLater();
    }
}

void KvoDownloadJob::abort()
{
    m_running = false;
    queue()->removeWaiting(this);
    releaseTransfer();
    queue()->releaseSlot(this);
}

void KvoDownloadJob::stop()
{
    if (parentEntry && parentEntry->mirror == this)
        parentEntry->mirror = nullptr;
    stopped = true;
    for (KvoDownloadJob* child : std::as_const(childEntries)) {
        child->parentEntry = nullptr;
        child->stop();
    }
    abort();
}

void KvoDownloadJob::onTimeout()
{
}

// --- children ---------------------------------------------------------------

void KvoDownloadJob::updateMirror()
{
    if (!mirror)
        return;
    if (m_hasProgress) {
        mirror->ensureProgress();
        mirror->m_progressVisible = m_progressVisible;
        mirror->m_progress = m_progress;
    }
    mirror->m_buttonText = m_buttonText;
    mirror->m_buttonVisible = m_buttonVisible;
    mirror->m_commentVisible = m_commentVisible;
    mirror->m_comment = m_comment;
    mirror->touch();
}

void KvoDownloadJob::toggleExpanded()
{
    expanded = !expanded;
    if (expanded && childEntries.isEmpty()) {
        for (const KvoVideoFile& video : std::as_const(purchaseRecord.files)) {
            // The videos missing as the list last saw them (a file found
            // gone included); before any look, those without a file.
            if (m_followed ? !m_missing.contains(int(video.fileId)) : video.isOnDisk())
                continue;
            makeChild(video);
        }
    }
    emit childrenChanged();
    touch();
}

KvoDownloadJob* KvoDownloadJob::makeChild(const KvoVideoFile& video)
{
    auto* child = new KvoDownloadJob(KvoPurchase::withSingleVideo(purchaseRecord, video), this);
    child->setFlag(online);
    childEntries.insert(int(video.fileId), child);
    // The video this job fetches right now: the new row shows that transfer.
    if (m_transfer && currentVideo == int(video.fileId)) {
        mirror = child;
        updateMirror();
    }
    return child;
}

QList<KvoDownloadJob*> KvoDownloadJob::orderedChildren() const
{
    QList<KvoDownloadJob*> list = childEntries.values();
    std::stable_sort(list.begin(), list.end(), [](KvoDownloadJob* a, KvoDownloadJob* b) {
        const KvoVideoFile va = a->purchaseRecord.files.isEmpty() ? KvoVideoFile() : a->purchaseRecord.files.first();
        const KvoVideoFile vb = b->purchaseRecord.files.isEmpty() ? KvoVideoFile() : b->purchaseRecord.files.first();
        return va < vb;
    });
    return list;
}
