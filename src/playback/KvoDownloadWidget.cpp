#include "KvoDownloadWidget.h"
#include "ui_KvoDownloadWidget.h"

#include "KvoApi.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoMainWindow.h"
#include "KvoNotifier.h"
#include "KvoPageDownloads.h"
#include "KvoProgressBar.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoStringCodec.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>

#include <algorithm>

namespace {

const char* const IdleButtonStyle = "QPushButton {background-color: #181a21;color:#e7e7e7;border: 0;}";
const char* const WaitingButtonStyle = "QPushButton {background-color: #181a21;color:#ac5e7f;border: 0;}";
const char* const ErrorButtonStyle = "QPushButton {background-color: #181a21;color:#fd951d;border: 0;}";
const char* const ErrorCommentStyle = "color:#fd951d;";
const char* const StatusCommentStyle = "color:#ad5e7f;";

// A file name may hold 255 bytes; the downloader appends ".part".
constexpr int MaxNameBytes = 255 - 5;

qint64 nowSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

// Kept for the life of the process: a QIcon must not outlive the
// application object, so they are never destroyed.
QIcon* s_playIcon = nullptr;
QIcon* s_retryIcon = nullptr;
bool s_startPending = false;

bool continuesAfter(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::ConnectionRefusedError || error == QNetworkReply::HostNotFoundError
           || error == QNetworkReply::ContentAccessDenied
           || error == QNetworkReply::ContentOperationNotPermittedError;
}

} // namespace

// --- the queue --------------------------------------------------------------

QList<KvoDownloadWidget*>& KvoDownloadWidget::queue()
{
    static QList<KvoDownloadWidget*> list;
    return list;
}

QList<KvoDownloadWidget*>& KvoDownloadWidget::activeDownloads()
{
    static QList<KvoDownloadWidget*> list;
    return list;
}

int KvoDownloadWidget::activeCount()
{
    return int(activeDownloads().size());
}

int KvoDownloadWidget::queuedCount()
{
    return int(queue().size());
}

QList<KvoDownloadWidget*> KvoDownloadWidget::activeEntries()
{
    return activeDownloads();
}

QList<KvoDownloadWidget*> KvoDownloadWidget::queuedEntries()
{
    return queue();
}

void KvoDownloadWidget::clearQueue()
{
    queue().clear();
}

void KvoDownloadWidget::scheduleNext()
{
    // Started from the event loop: the path that freed the slot finishes
    // its own work before another entry runs.
    if (s_startPending)
        return;
    s_startPending = true;
    QTimer::singleShot(0, QCoreApplication::instance(), &KvoDownloadWidget::startWaiting);
}

void KvoDownloadWidget::startWaiting()
{
    s_startPending = false;
    while (activeDownloads().size() < MaxActiveDownloads && !queue().isEmpty()) {
        KvoDownloadWidget* next = queue().takeFirst();
        next->startDownload();
    }
}

bool KvoDownloadWidget::isQueued() const
{
    return queue().contains(const_cast<KvoDownloadWidget*>(this));
}

bool KvoDownloadWidget::holdsSlot() const
{
    return activeDownloads().contains(const_cast<KvoDownloadWidget*>(this));
}

bool KvoDownloadWidget::isBusy() const
{
    return m_running || isQueued() || holdsSlot() || request || downloader;
}

// --- construction -----------------------------------------------------------

KvoDownloadWidget::KvoDownloadWidget(KvoPageDownloads* page, QWidget* parent, const KvoPurchase& purchase,
                                     KvoDownloadWidget* parentEntry)
    : QWidget(parent)
    , ui(new Ui::KvoDownloadWidget)
    , page(page)
    , purchaseRecord(purchase)
    , parentEntry(parentEntry)
{
    ui->setupUi(this);
    if (!s_playIcon) {
        s_playIcon = new QIcon(QStringLiteral(":/KvoMainWindow/Resources/icon_play.png"));
        s_retryIcon = new QIcon(QStringLiteral(":/KvoMainWindow/Resources/retry.png"));
    }

    QFont text(QStringLiteral("Arial"));
    text.setPixelSize(11);
    for (QLabel* label : {ui->title, ui->comment, ui->softwares})
        label->setFont(text);
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPixelSize(12);
    ui->button->setFont(buttonFont);
    ui->button->setFixedSize(116, 25);
    ui->button->setStyleSheet(QLatin1String(IdleButtonStyle));
    ui->button->setText(tr("Télécharger"));

    ui->softwares->setText(purchaseRecord.softwares);
    m_plainTitle = displayTitle();
    ui->title->setText(m_plainTitle);
    ui->title->setTextFormat(Qt::PlainText);
    ui->comment->clear();

    if (!parentEntry) {
        if (QSpacerItem* indentation = ui->horizontalLayout->itemAt(0)->spacerItem())
            indentation->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    connect(ui->button, &QPushButton::clicked, this, &KvoDownloadWidget::onButtonClicked);
    if (purchaseRecord.files.size() < 2)
        ui->expand->hide();
    else
        connect(ui->expand, &QPushButton::clicked, this, &KvoDownloadWidget::onClickExpand);

    if (parentEntry && !purchaseRecord.files.isEmpty()
        && parentEntry->failedVideos.contains(purchaseRecord.files.firstKey()))
        setToError(QStringLiteral("Error"));
}

KvoDownloadWidget::~KvoDownloadWidget()
{
    queue().removeAll(this);
    const bool heldSlot = activeDownloads().removeAll(this) > 0;
    releaseTransfer();
    for (KvoDownloadWidget* child : std::as_const(childEntries)) {
        child->parentEntry = nullptr;
        child->disconnect();
        delete child;
    }
    childEntries.clear();
    if (parentEntry) {
        parentEntry->childEntries.remove(parentEntry->childEntries.key(this));
        if (parentEntry->mirror == this)
            parentEntry->mirror = nullptr;
    }
    ui->button->blockSignals(true);
    delete ui;
    if (heldSlot)
        scheduleNext();
}

QWidget* KvoDownloadWidget::widget()
{
    return this;
}

uint KvoDownloadWidget::purchaseId() const
{
    return purchaseRecord.id;
}

KvoPurchase KvoDownloadWidget::purchase() const
{
    return purchaseRecord;
}

void KvoDownloadWidget::setFlag(bool isOnline)
{
    online = isOnline;
}

QString KvoDownloadWidget::displayTitle() const
{
    QString text = purchaseRecord.title;
    if (purchaseRecord.files.size() >= 2)
        text += tr(" [ %1 vidéos ]").arg(purchaseRecord.files.size());
    return text;
}

QString KvoDownloadWidget::runningTitle() const
{
    if (purchaseRecord.files.size() < 2)
        return purchaseRecord.title;
    return purchaseRecord.title + tr(" [ %1 / %2 vidéos ]").arg(videoIndex).arg(purchaseRecord.files.size());
}

// --- pure rules -------------------------------------------------------------

QString KvoDownloadWidget::remainingTimeText(quint32 remaining)
{
    QString hours;
    // Whole phrases with their number, so that a translation may order them.
    if (remaining >= 7200)
        hours = tr("%1 heures et ").arg(remaining / 3600);
    else if (remaining >= 3600)
        hours = tr("%1 heure et ").arg(remaining / 3600);
    const quint32 rest = remaining % 3600;
    QString part;
    if (rest < 2)
        part = tr("1 seconde");
    else if (rest <= 60)
        part = tr("%1 secondes").arg(rest);
    else if (rest <= 119)
        part = tr("1 minute");
    else
        part = tr("%1 minutes").arg(rest / 60);
    return tr("( temps estimé : %1 )").arg(hours + part);
}

QString KvoDownloadWidget::cleanTitle(const QString& title)
{
    static const QString removed = QStringLiteral("|<>!?:/\\*'\"");
    QString cleaned;
    cleaned.reserve(title.size());
    for (const QChar c : title) {
        if (removed.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f)
            continue;
        cleaned.append(c);
    }
    return cleaned;
}

QString KvoDownloadWidget::nameComponent(uint id, const QString& cleanedTitle, const QString& suffix)
{
    const QString head = QString::number(id) + QStringLiteral(" - ");
    QString title = cleanedTitle;
    while (!title.isEmpty() && (head + title + suffix).toUtf8().size() > MaxNameBytes) {
        title.chop(1);
        // Never leave half of a surrogate pair behind.
        if (!title.isEmpty() && title.back().isHighSurrogate())
            title.chop(1);
    }
    return head + title + suffix;
}

// --- joining the queue ------------------------------------------------------

void KvoDownloadWidget::onButtonClicked()
{
    switch (m_action) {
    case ButtonAction::Download:
        onClickDownload();
        break;
    case ButtonAction::Play:
        onClickTitle();
        break;
    case ButtonAction::None:
        break;
    }
}

void KvoDownloadWidget::setButtonAction(ButtonAction action)
{
    m_action = action;
}

void KvoDownloadWidget::enqueue()
{
    onClickDownload();
}

void KvoDownloadWidget::onClickDownload()
{
    if (!KvoPurchaseVideoManager::instance()->isConnected()) {
        if (page)
            page->showNoConnectionDialog();
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
    // First in, first out: while others wait, a new entry waits behind them.
    if (activeDownloads().size() >= MaxActiveDownloads || !queue().isEmpty()) {
        queue().append(this);
        scheduleNext();
        return;
    }
    startDownload();
}

void KvoDownloadWidget::waitingLook()
{
    m_look = Look::Waiting;
    m_plainTitle = displayTitle();
    ui->softwares->show();
    ui->separator->show();
    ui->button->setIcon(QIcon());
    ui->button->setStyleSheet(QLatin1String(WaitingButtonStyle));
    ui->button->setText(tr("en attente"));
    ui->button->setCursor(Qt::ArrowCursor);
    ui->button->show();
    ui->button->setToolTip(QString());
    ui->title->setStyleSheet(QStringLiteral("color:#e7e7e7;"));
    ui->title->setTextFormat(Qt::PlainText);
    ui->title->setText(m_plainTitle);
    ui->title->setToolTip(QString());
    ui->comment->setStyleSheet(QLatin1String(StatusCommentStyle));
    ui->comment->clear();
    if (bound && parentEntry)
        parentEntry->ui->button->setText(tr("en attente"));
    setButtonAction(ButtonAction::None);
}

void KvoDownloadWidget::requestBind()
{
    bound = true;
}

// --- one run ----------------------------------------------------------------

void KvoDownloadWidget::startDownload()
{
    if (stopped)
        return;
    m_running = true;
    m_arrived = 0;
    m_skipped.clear();
    finished = false;

    // The library's current record: what was on disk or removed since the
    // entry was made counts now.
    const QMap<int, KvoPurchase> library = KvoPurchaseVideoManager::instance()->purchases();
    const auto it = library.find(int(purchaseRecord.id));
    bool present = it != library.end();
    if (present && !parentEntry) {
        purchaseRecord = it.value();
        failedVideos.clear();
    } else if (present) {
        const int fileId = purchaseRecord.files.isEmpty() ? -1 : purchaseRecord.files.firstKey();
        present = it->files.contains(fileId);
        if (present)
            purchaseRecord.files[fileId] = it->files.value(fileId);
    }
    if (!present) {
        fail(tr("Erreur - formation absente de la bibliothèque"),
             QStringLiteral("The purchase %1 is no longer in the library").arg(purchaseRecord.id));
        return;
    }

    videoCount = int(purchaseRecord.files.size());
    videoIndex = 0;
    releaseTransfer();
    currentVideo = purchaseRecord.files.isEmpty() ? -1 : purchaseRecord.files.firstKey();
    nextDownload();
}

bool KvoDownloadWidget::chooseVideo()
{
    // The missing video first in the course; on equal positions the first
    // in id order. Videos that failed in this run are passed over, so a
    // video that keeps failing is not requested again without end.
    const KvoVideoFile* chosen = nullptr;
    int index = 0, chosenIndex = -1;
    for (auto it = purchaseRecord.files.cbegin(); it != purchaseRecord.files.cend(); ++it, ++index) {
        if (!it->KvoPath.isEmpty() || m_skipped.contains(it.key()))
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

void KvoDownloadWidget::nextDownload()
{
    if (stopped)
        return;
    mirror = nullptr;

    const bool underParent = bound && parentEntry && parentEntry->m_running;
    if (!underParent && !holdsSlot()) {
        if (activeDownloads().size() < MaxActiveDownloads) {
            activeDownloads().append(this);
        } else {
            fail(tr("télechargement annulé"), QStringLiteral("No download slot was free"));
            return;
        }
    }

    if (!chooseVideo()) {
        finish();
        return;
    }

    ensureProgressBar();
    if (bound && parentEntry && parentEntry->progressBar)
        parentEntry->progressBar->link(progressBar);

    // A child row of this video downloads it; this row follows it.
    if (KvoDownloadWidget* child = childEntries.value(currentVideo); child && !child->stopped && !child->finished) {
        const int chosen = currentVideo;
        child->bound = true;
        if (child->isQueued()) {
            queue().removeAll(child);
            child->startDownload();
        } else if (!child->isBusy()) {
            child->onClickDownload();
        }
        // The child may have ended at once (its video was on disk already).
        if (stopped || !m_running || currentVideo != chosen)
            return;
        ui->button->setText(child->ui->button->text());
        ui->button->show();
        progressBar->hide();
        progressBar->setValue(0);
        ui->comment->setText(child->ui->comment->text());
        ui->title->setText(runningTitle());
        ui->comment->show();
        m_look = Look::Asking;
        return;
    }

    releaseTransfer();
    progressBar->setValue(0);
    m_look = Look::Asking;

    const QString courseTitle = cleanTitle(purchaseRecord.courseTitle.isNull() ? purchaseRecord.title
                                                                                : purchaseRecord.courseTitle);
    purchaseRecord.courseTitle = courseTitle;
    KvoVideoFile& video = purchaseRecord.files[currentVideo];
    video.title = cleanTitle(video.title);

    const QString videoFolder = QDir::fromNativeSeparators(KvoEnvironment::videoPath());
    const QString folder = videoFolder + QLatin1Char('/') + nameComponent(purchaseRecord.id, courseTitle);
    filePath = folder + QLatin1Char('/') + nameComponent(video.fileId, video.title, QStringLiteral(".qoz"));
    ui->title->setText(runningTitle());
    m_plainTitle = ui->title->text();

    // The video folder itself is made too when it is missing.
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        ui->comment->show();
        fail(tr("Erreur - dossier des vidéos inaccessible"),
             QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
        return;
    }

    downloader = new KvoDownloader(nullptr);
    request = new KvoHTTPRequest(nullptr);
    connect(downloader, &KvoDownloader::successDownload, this, &KvoDownloadWidget::onSuccessDownload);
    connect(downloader, &KvoDownloader::errorDownload, this, &KvoDownloadWidget::onErrorDownload);
    connect(downloader, &KvoDownloader::progressDownload, this, &KvoDownloadWidget::onProgressDownload);
    connect(request, &KvoHTTPRequest::successRequest, this, &KvoDownloadWidget::onSuccessRequest);
    connect(request, &KvoHTTPRequest::errorRequest, this, &KvoDownloadWidget::onErrorRequest);
    downloader->setDestination(filePath);
    const QString user = KvoStringCodec::decode(KvoPurchaseVideoManager::instance()->userId());
    request->get(KvoApi::address(QStringLiteral("/0.1/playerFileUrl/"),
                                 {{QStringLiteral("user"), user},
                                  {QStringLiteral("file"), QString::number(video.fileId)}}));
    ui->comment->setStyleSheet(QLatin1String(StatusCommentStyle));
    ui->comment->show();
}

void KvoDownloadWidget::ensureProgressBar()
{
    if (progressBar)
        return;
    progressBar = new KvoProgressBar(this);
    ui->horizontalLayout_2->insertWidget(1, progressBar, 0);
    progressBar->hide();
}

KvoProgressBar* KvoDownloadWidget::barOf(KvoDownloadWidget* entry)
{
    entry->ensureProgressBar();
    return entry->progressBar;
}

void KvoDownloadWidget::onSuccessRequest(const QString& body)
{
    if (request) {
        request->deleteLater();
        request = nullptr;
    }
    KvoJsonResult json;
    json.parse(body);
    const QString url = json.value(QStringLiteral("url")).toString();
    if (url.isEmpty() || !downloader) {
        fail(tr("Erreur - adresse de la vidéo absente"),
             QStringLiteral("The service gave no address for the video %1").arg(currentVideo));
        return;
    }
    ui->comment->setText(tr("( Début du téléchargement )"));
    bytesTotal = -1;
    downloader->download(url);
    startTime = lastEtaTime = nowSeconds();
    m_look = Look::Downloading;
    ui->button->hide();
    progressBar->show();
    if (bound && parentEntry) {
        parentEntry->ui->comment->setText(tr("( Début du téléchargement )"));
        parentEntry->ui->button->hide();
        barOf(parentEntry)->show();
        parentEntry->m_look = Look::Downloading;
    }
    updateMirror();
}

void KvoDownloadWidget::onProgressDownload(qint64 received, qint64 total)
{
    if (!downloader)
        return;
    bytesTotal = total;
    if (total > 0)
        progressBar->setValue(int(received * 100 / total));
    const qint64 now = nowSeconds();
    const qint64 elapsed = now - startTime;

    if (bound && parentEntry) {
        parentEntry->ui->comment->show();
        barOf(parentEntry)->show();
        parentEntry->ui->button->hide();
        parentEntry->progressBar->link(progressBar);
    }

    QString text;
    if (elapsed < 2 || total <= 0 || received <= 0) {
        text = tr("( Calcul du temps restant... )");
    } else if (now != lastEtaTime) {
        const qint64 remaining = elapsed * (total - received) / received;
        text = remainingTimeText(quint32(remaining));
        lastEtaTime = now;
    }
    updateMirror();
    if (!text.isEmpty()) {
        ui->comment->setText(text);
        if (bound && parentEntry)
            parentEntry->ui->comment->setText(text);
    }
}

void KvoDownloadWidget::onSuccessDownload()
{
    if (!downloader)
        return;
    const int fileId = currentVideo;
    const qint64 received = downloader->bytesReceived();
    releaseTransfer();

    // The file must be whole and be the very video asked for: the size the
    // transfer announced (or, without one, what arrived) and the video's
    // identification box.
    const QFileInfo info(filePath);
    const qint64 expected = bytesTotal >= 0 ? bytesTotal : received;
    const KvoQozFile stored(filePath);
    if (!info.isFile() || info.size() != expected || !stored.isValid() || stored.purchaseId() != purchaseRecord.id
        || stored.fileId() != quint32(fileId)) {
        QFile::remove(filePath);
        fail(tr("Erreur - fichier corrompu"),
             !info.isFile() ? QStringLiteral("The file did not arrive")
             : info.size() != expected
                 ? QStringLiteral("%1 bytes arrived where %2 were announced").arg(info.size()).arg(expected)
                 : QStringLiteral("The file is not the video %1 of the purchase %2").arg(fileId).arg(purchaseRecord.id));
        return;
    }

    // A purchase (or video) that left the library meanwhile is not
    // recorded, and its file does not stay behind unrecorded.
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    const QMap<int, KvoPurchase> library = manager->purchases();
    const auto it = library.find(int(purchaseRecord.id));
    if (it == library.end() || !it->files.contains(fileId)) {
        QFile::remove(filePath);
        fail(tr("Erreur - formation absente de la bibliothèque"),
             QStringLiteral("The purchase %1 left the library during its download").arg(purchaseRecord.id));
        return;
    }

    if (parentEntry)
        parentEntry->failedVideos.removeAll(fileId);
    failedVideos.removeAll(fileId);

    KvoVideoFile& video = purchaseRecord.files[fileId];
    video.KvoPath = filePath;
    ++m_arrived;
    updateMirror();
    if (mirror) {
        KvoDownloadWidget* shown = mirror;
        mirror = nullptr;
        shown->purchaseRecord.files[fileId].KvoPath = filePath;
        shown->finish();
    }

    KvoVideoFile record = it->files.value(fileId);
    record.KvoPath = filePath;
    manager->setVideoHidden(purchaseRecord.id, uint(fileId), false);
    manager->setVideoPath(it.value(), record);
    if (stopped)
        return;

    KvoDownloadWidget* drivenParent = bound ? parentEntry : nullptr;
    if (!parentEntry)
        nextDownload();
    else
        finish();
    if (drivenParent) {
        bound = false;
        drivenParent->childEnded(this, true);
    }
}

void KvoDownloadWidget::childEnded(KvoDownloadWidget* child, bool arrived)
{
    // The bound child's video is done (or failed): go on with the next one.
    if (progressBar)
        progressBar->unlink();
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

void KvoDownloadWidget::recordFailure()
{
    if (stopped)
        return;
    if (parentEntry && !purchaseRecord.files.isEmpty()) {
        const int fileId = purchaseRecord.files.firstKey();
        if (!parentEntry->failedVideos.contains(fileId))
            parentEntry->failedVideos.append(fileId);
    }
    if (childEntries.isEmpty() && !ui->expand->isHidden() && currentVideo >= 0
        && !failedVideos.contains(currentVideo))
        failedVideos.append(currentVideo);
}

void KvoDownloadWidget::fail(const QString& message, const QString& detail)
{
    recordFailure();
    m_lastDetail = detail;
    setToError(message);
    if (mirror) {
        mirror->setToError(QStringLiteral("Error"));
        mirror = nullptr;
    }
    KvoDownloadWidget* drivenParent = bound ? parentEntry : nullptr;
    abort();
    if (drivenParent && !stopped) {
        bound = false;
        drivenParent->childEnded(this, false);
    }
}

void KvoDownloadWidget::onErrorRequest(QNetworkReply::NetworkError error, const QString& message)
{
    Q_UNUSED(error);
    fail(tr("Erreur - connexion impossible"), message);
}

void KvoDownloadWidget::onErrorDownload(QNetworkReply::NetworkError error, const QString& message)
{
    if (!downloader)
        return;
    const int status = downloader->statusCode();
    releaseTransfer();

    QString text;
    if (status != 0 && status != 200)
        text = tr("Erreur - fichier indisponible");
    else if (error == QNetworkReply::UnknownNetworkError)
        text = tr("Erreur - écriture du fichier impossible");
    else
        text = tr("Erreur - connexion coupée");

    // In a course of several videos, some errors concern this video only.
    if (!parentEntry && !stopped && videoCount >= 2 && continuesAfter(error)) {
        if (!failedVideos.contains(currentVideo))
            failedVideos.append(currentVideo);
        m_skipped.insert(currentVideo);
        m_lastMessage = text;
        m_lastDetail = message;
        if (mirror) {
            mirror->setToError(QStringLiteral("Error"));
            mirror = nullptr;
        }
        ++videoIndex;
        nextDownload();
        return;
    }
    fail(text, message);
}

// --- ends -------------------------------------------------------------------

bool KvoDownloadWidget::anyVideoOnDisk() const
{
    for (const KvoVideoFile& video : purchaseRecord.files)
        if (!video.KvoPath.isEmpty())
            return true;
    return false;
}

bool KvoDownloadWidget::everyVideoFailed() const
{
    if (purchaseRecord.files.isEmpty())
        return false;
    for (auto it = purchaseRecord.files.cbegin(); it != purchaseRecord.files.cend(); ++it)
        if (!failedVideos.contains(it.key()))
            return false;
    return true;
}

void KvoDownloadWidget::finish()
{
    const bool wasBound = bound;
    m_plainTitle = displayTitle();
    ui->title->setTextFormat(Qt::PlainText);
    ui->title->setText(m_plainTitle);
    ui->comment->clear();
    if (!failedVideos.isEmpty() && !expanded && purchaseRecord.files.size() >= 2)
        onClickExpand();

    // Nothing on disk and failures: that is no success to show.
    if (!failedVideos.isEmpty() && !anyVideoOnDisk()) {
        const QString message = m_lastMessage.isEmpty() ? tr("Erreur - connexion coupée") : m_lastMessage;
        setToError(message);
        abort();
        if (page)
            page->refreshList();
        return;
    }

    m_look = Look::Finished;
    ui->title->setStyleSheet(QStringLiteral("color: #707070;"));
    ui->title->setToolTip(QString());
    if (progressBar)
        progressBar->hide();
    ui->softwares->hide();
    ui->separator->hide();
    ui->button->show();
    ui->button->setText(QString());
    ui->button->setStyleSheet(QLatin1String(IdleButtonStyle));
    ui->button->setIcon(*s_playIcon);
    ui->button->setIconSize(QSize(13, 13));
    ui->button->setCursor(Qt::PointingHandCursor);
    ui->button->setToolTip(QString());
    setButtonAction(everyVideoFailed() ? ButtonAction::Download : ButtonAction::Play);

    const int arrived = m_arrived;
    abort();
    if (!wasBound && arrived > 0 && !stopped) {
        const int softwareId = purchaseRecord.softwareIDs.isEmpty() ? 0 : int(purchaseRecord.softwareIDs.first());
        const int videoId = purchaseRecord.files.isEmpty() ? 0 : purchaseRecord.files.firstKey();
        KvoNotifier::instance()->notifyVideo(tr("Téléchargement terminé"), purchaseRecord.title,
                                             KvoNotifier::videoDownloadKind(), softwareId, videoId);
    }
    if (page)
        page->refreshList();
    finished = true;
}

void KvoDownloadWidget::setToError(const QString& message)
{
    if (stopped)
        return;
    m_look = Look::Error;
    m_lastMessage = message;
    ui->softwares->hide();
    ui->separator->hide();
    ui->button->show();
    ui->button->setText(tr("Relancer"));
    ui->button->setStyleSheet(QLatin1String(ErrorButtonStyle));
    ui->button->setIcon(*s_retryIcon);
    ui->button->setIconSize(QSize(10, 10));
    ui->button->setCursor(Qt::PointingHandCursor);
    ui->title->setTextFormat(Qt::RichText);
    ui->title->setText(QStringLiteral("<i style=\"color:#fd951d;\">") + m_plainTitle.toHtmlEscaped()
                       + QStringLiteral("</i>"));
    // The reason stays in sight where the status goes; the technical detail
    // is one hover away.
    ui->comment->setStyleSheet(QLatin1String(ErrorCommentStyle));
    ui->comment->setText(message == QLatin1String("Error") ? QString() : message);
    ui->comment->setVisible(message != QLatin1String("Error"));
    const QString tip = m_lastDetail.isEmpty() ? message : message + QStringLiteral("\n") + m_lastDetail;
    ui->title->setToolTip(tip);
    ui->button->setToolTip(tip);
    if (progressBar)
        progressBar->hide();
    setButtonAction(ButtonAction::Download);
}

void KvoDownloadWidget::releaseTransfer()
{
    // Signals first: an aborted request or transfer reports its end
    // synchronously, and that report must not come back here.
    if (downloader) {
        QObject::disconnect(downloader, nullptr, this, nullptr);
        downloader->abort();
        downloader->deleteLater();
        downloader = nullptr;
    }
    if (request) {
        QObject::disconnect(request, nullptr, this, nullptr);
        request->abort();
        request->deleteLater();
        request = nullptr;
    }
}

void KvoDownloadWidget::abort()
{
    m_running = false;
    queue().removeAll(this);
    const bool heldSlot = activeDownloads().removeAll(this) > 0;
    releaseTransfer();
    if (heldSlot)
        scheduleNext();
}

void KvoDownloadWidget::disconnect()
{
    if (parentEntry && parentEntry->mirror == this)
        parentEntry->mirror = nullptr;
    stopped = true;
    for (KvoDownloadWidget* child : std::as_const(childEntries)) {
        child->parentEntry = nullptr;
        child->disconnect();
    }
    abort();
}

// --- children ---------------------------------------------------------------

void KvoDownloadWidget::updateMirror()
{
    if (!mirror)
        return;
    if (progressBar && !mirror->progressBar) {
        mirror->progressBar = new KvoProgressBar(mirror);
        mirror->ui->horizontalLayout_2->insertWidget(1, mirror->progressBar, 0);
    }
    if (progressBar) {
        mirror->progressBar->setVisible(!progressBar->isHidden());
        mirror->progressBar->setValue(progressBar->value());
    }
    mirror->ui->button->setText(ui->button->text());
    mirror->ui->button->setVisible(!ui->button->isHidden());
    mirror->ui->comment->setVisible(!ui->comment->isHidden());
    mirror->ui->comment->setText(ui->comment->text());
}

void KvoDownloadWidget::onClickExpand()
{
    expanded = !expanded;
    if (!expanded) {
        for (KvoDownloadWidget* child : std::as_const(childEntries))
            child->hide();
        ui->expand->setIcon(QIcon(QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_right.png")));
        return;
    }
    if (childEntries.isEmpty()) {
        QList<KvoVideoFile> missing;
        for (const KvoVideoFile& video : std::as_const(purchaseRecord.files)) {
            if (!video.KvoPath.isEmpty())
                continue;
            auto* child = new KvoDownloadWidget(page, parentWidget(), KvoPurchase::withSingleVideo(purchaseRecord, video),
                                                this);
            child->setFlag(online);
            childEntries.insert(int(video.fileId), child);
            missing.append(video);
            if (downloader && currentVideo == int(video.fileId)) {
                mirror = child;
                updateMirror();
            }
        }
        std::sort(missing.begin(), missing.end());
        int position = 1;
        for (const KvoVideoFile& video : std::as_const(missing))
            if (page)
                page->insertWidget(this, childEntries.value(int(video.fileId)), position++);
    }
    for (KvoDownloadWidget* child : std::as_const(childEntries))
        child->show();
    ui->expand->setIcon(QIcon(QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_down.png")));
}

void KvoDownloadWidget::layoutChildren()
{
    int position = 1;
    for (KvoDownloadWidget* child : std::as_const(childEntries)) {
        if (page)
            page->insertWidget(this, child, position++);
        child->setVisible(expanded);
    }
}

// --- order and opening ------------------------------------------------------

bool KvoDownloadWidget::lessThan(KvoDownloadWidget* a, KvoDownloadWidget* b)
{
    if (!a || !b || !a->page)
        return false;
    const int mode = a->page->stateOf();
    if (mode == 0)
        return a->purchaseRecord.purchaseDate < b->purchaseRecord.purchaseDate;
    if (mode == 1)
        return b->purchaseRecord.purchaseDate < a->purchaseRecord.purchaseDate;
    if (mode != 2 && mode != 3)
        return false;
    const QMap<int, KvoSoftware> softwares = a->page->statusOf();
    const auto nameOf = [&softwares](const KvoPurchase& p) {
        if (p.softwareIDs.isEmpty())
            return QByteArray();
        return softwares.value(int(p.softwareIDs.first())).name.toLower().toLatin1();
    };
    const QByteArray na = nameOf(a->purchaseRecord);
    const QByteArray nb = nameOf(b->purchaseRecord);
    return mode == 2 ? na < nb : nb < na;
}

void KvoDownloadWidget::onClickTitle()
{
    if (!finished || purchaseRecord.files.isEmpty())
        return;
    KvoMainWindow* window = KvoMainWindow::instance();
    if (window)
    {
        connect(this, &KvoDownloadWidget::onChangePage, window,
                qOverload<const QString&, bool>(&KvoMainWindow::changePage), Qt::UniqueConnection);
        connect(this, &KvoDownloadWidget::onChangePageRequest, window,
                qOverload<const KvoPageRequest&>(&KvoMainWindow::changePage), Qt::UniqueConnection);
    }
    const uint softwareId = purchaseRecord.softwareIDs.isEmpty() ? 0 : purchaseRecord.softwareIDs.first();
    const QString key = QStringLiteral("detail_software_") + QString::number(softwareId);
    emit onChangePage(key, false);
    QWidget* software = window ? window->pages().value(key).first : nullptr;
    emit onChangePageRequest(KvoPageRequest::player(softwareId, software, uint(purchaseRecord.files.firstKey())));
    if (!parentEntry && page)
        page->removeWidget(this);
    else if (parentEntry)
        hide();
}

void KvoDownloadWidget::onTimeout()
{
}
