#include "KvoPagePlayer.h"

#include "KvoAddCommentWidget.h"
#include "KvoAddSignetWidget.h"
#include "KvoButtonText.h"
#include "KvoDialog.h"
#include "KvoDoubleClickGuard.h"
#include "KvoDurationText.h"
#include "KvoPageRequest.h"
#include "KvoSignetWidget.h"
#include "KvoPlayerOverlay.h"
#include "KvoPurchase.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoUnfocusAnimation.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoVolumeSlider.h"
#include "ui_KvoPagePlayer.h"
#include "ui_UIErrorPlayVideoDialog.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSqlQuery>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {

KvoPagePlayer::PlaylistSource& playlistSource()
{
    static KvoPagePlayer::PlaylistSource source;
    return source;
}

void showErrorDialog(QWidget* page)
{
    KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setDimmedWidget(page ? page->window() : nullptr);
    auto* content = new QWidget(&dialog);
    Ui_UIErrorPlayVideoDialog form;
    form.setupUi(content);
    dialog.addWidget(content);
    dialog.showDialog(false, true);
}

int s_noPictureBound = 5000;

KvoPagePlayer::ErrorDialog& errorDialog()
{
    static KvoPagePlayer::ErrorDialog dialog = showErrorDialog;
    return dialog;
}

const char* const FacebookShare = "https://www.facebook.com/sharer/sharer.php";

} // namespace

void KvoPagePlayer::setPlaylistSource(const PlaylistSource& source)
{
    playlistSource() = source;
}

void KvoPagePlayer::setErrorDialog(const ErrorDialog& dialog)
{
    errorDialog() = dialog ? dialog : ErrorDialog(showErrorDialog);
}

void KvoPagePlayer::setNoPictureBound(int milliseconds)
{
    s_noPictureBound = milliseconds;
}

KvoPagePlayer::KvoPagePlayer(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , m_ui(std::make_unique<Ui_KvoPagePlayer>())
    , m_parentPage(parent)
{
    m_ui->setupUi(this);
    m_player = new KvoVideoPlayer(this);
    m_ui->verticalLayout->addWidget(m_player);

    m_blur = new KvoUnfocusAnimation(this);
    m_blur->setWidget(m_player);
    m_blur->setMaxAlpha(0.4);
    m_blur->setAlphaStep(0.1);
    m_blur->setMaxBlurRadius(10.0);
    m_blur->setBlurRadiusStep(1.0);
    m_blur->setInterval(1);
    // A clear picture is drawn without the effect: it would copy every
    // frame of the video once more.
    m_blur->setEnabled(false);
    connect(m_blur, &KvoUnfocusAnimation::focused, this, [this] { m_blur->setEnabled(false); });
    // An installed effect, even a disabled one, makes Qt take the video
    // player for see-through, and so paint everything under it again with
    // each picture. While the picture is clear, the player paints every
    // pixel of the page: the page says so. A blurred picture's soft edges
    // let through what lies under the page, which must then be painted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_blur, &QGraphicsEffect::enabledChanged, this,
            [this](bool blurred) { setAttribute(Qt::WA_OpaquePaintEvent, !blurred); });

    connect(m_player, &KvoVideoPlayer::tick, this, &KvoPagePlayer::onTick);
    connect(m_player, &KvoVideoPlayer::ended, this, &KvoPagePlayer::onFinished);
    connect(m_player, &KvoVideoPlayer::playing, this, &KvoPagePlayer::onPlaying);
    connect(m_player, &KvoVideoPlayer::error, this, &KvoPagePlayer::onPlaybackError);
    connect(m_player, &KvoVideoPlayer::firstFrame, this, &KvoPagePlayer::adoptOpenedFile);
    m_noPicture = new QTimer(this);
    m_noPicture->setSingleShot(true);
    connect(m_noPicture, &QTimer::timeout, this, [this] {
        if (m_playable && !pictureSeen() && m_player->mediaInfo().length <= 0)
            onPlaybackError();
    });

    // The rating and bookmark overlays: windows of their own beside the
    // page's window, kept at the page's bottom-right corner.
    auto* comment = new KvoAddCommentWidget(parentWidget(), Qt::FramelessWindowHint);
    comment->setFocusPolicy(Qt::NoFocus);
    auto* signet = new KvoAddSignetWidget(parentWidget(), Qt::FramelessWindowHint);
    signet->setFocusPolicy(Qt::NoFocus);
    m_commentWidget = comment;
    m_signetWidget = signet;
    connect(comment, &KvoAddCommentWidget::closeAddCommentClicked, this, &KvoPagePlayer::toggleCommentBox);
    connect(comment, &KvoAddCommentWidget::facebookClicked, this, &KvoPagePlayer::onFacebookClicked);
    connect(signet, &KvoAddSignetWidget::closeAddSignetClicked, this, &KvoPagePlayer::toggleSignetBox);
    setOverlays(comment, signet);
}

KvoPagePlayer::~KvoPagePlayer()
{
    // The overlays belong to the page's window, but point at the page.
    m_player->setOverlayWidgets(nullptr, nullptr);
    delete m_commentWidget;
    delete m_signetWidget;
}

KvoAddCommentWidget* KvoPagePlayer::commentWidget() const
{
    return m_commentWidget;
}

KvoAddSignetWidget* KvoPagePlayer::signetWidget() const
{
    return m_signetWidget;
}

QString KvoPagePlayer::title() const
{
    return KvoButtonText::fromService(m_title);
}

QString KvoPagePlayer::name() const
{
    return QStringLiteral("player");
}

QWidget* KvoPagePlayer::parentPage() const
{
    return m_parentPage;
}

void KvoPagePlayer::onShow()
{
}

void KvoPagePlayer::onRequest(const KvoPageRequest& request)
{
    if (request.idSoftware == 0 && request.selectedIdVideo == 0)
        return;
    setSelectedVideo(request.idSoftware, request.selectedIdVideo);
    m_openedPath = request.filePath;
    m_openedVideoId = request.filePath.isEmpty() ? 0 : request.selectedIdVideo;
    setParentPage(request.parentArianne);
    loadIfReady();
}

void KvoPagePlayer::onSessionClosing()
{
    saveVolume();
    m_player->stop();
}

void KvoPagePlayer::setControls(const Controls& controls)
{
    setPlayButton(controls.play);
    setPauseButton(controls.pause);
    setPreviousButton(controls.previous);
    setNextButton(controls.next);
    setMuteButton(controls.mute);
    setVolumeSlider(controls.volume);
    setSeeker(controls.seeker);
    setDurationLabel(controls.duration);
    setTimeLabel(controls.time);
    setQozUrlButton(controls.link);
    setCommentButton(controls.comment);
    setSignetButton(controls.signet);
    m_player->setSeeker(controls.seeker);
    m_player->setVolumeSlider(controls.volume);
    m_markerParent = controls.markerParent;
    loadVolume();
}

bool KvoPagePlayer::isPlaying() const
{
    return m_player->state() == KvoVideoPlayer::Playing;
}

void KvoPagePlayer::updateOverlays()
{
    m_player->updateOverlays();
}

// --- bookmarks ------------------------------------------------------------------

void KvoPagePlayer::reloadSignets()
{
    if (!m_playable) {
        m_signets.setMarkersHidden(true);
        return;
    }
    m_signets.setVideoId(currentVideoId());
    m_signets.load(m_player, m_seeker, m_markerParent);
    if (!isVisible())
        m_signets.setMarkersHidden(true);
}

void KvoPagePlayer::setMarkersHidden(bool hidden)
{
    m_signets.setMarkersHidden(hidden);
}

void KvoPagePlayer::updateMarkerPositions()
{
    m_signets.updatePositions();
}

void KvoPagePlayer::addSignet(const QString& name, const QTime& time)
{
    if (name.isEmpty() || !m_markerParent)
        return;
    m_signets.setVideoId(currentVideoId());
    auto* marker = new KvoSignetWidget(&m_signets, m_player, m_seeker, m_markerParent);
    const qint64 value = qint64(3600 * time.hour() + 60 * time.minute() + time.second()) * 1000;
    marker->setValue(value);
    marker->setName(QStringLiteral("<b>") + secondsToDate(uint(value / 1000)) + QStringLiteral(" </b> ") + name);
    marker->updatePosition();
    marker->show();
    m_signets.add(marker);
}

QString KvoPagePlayer::markerName(const QObject* object) const
{
    for (KvoSignetWidget* marker : m_signets.markers())
        if (marker == object)
            return marker->name();
    return QString();
}

// --- control bar ------------------------------------------------------------

void KvoPagePlayer::connectButton(QPushButton* button, void (KvoPagePlayer::*slot)())
{
    if (button)
        connect(button, &QPushButton::clicked, this, slot);
}

void KvoPagePlayer::setPlayButton(QPushButton* button)
{
    m_playButton = button;
    connectButton(button, &KvoPagePlayer::onPlayClicked);
}

void KvoPagePlayer::setPauseButton(QPushButton* button)
{
    m_pauseButton = button;
    connectButton(button, &KvoPagePlayer::onPlayClicked);
}

void KvoPagePlayer::setNextButton(QPushButton* button)
{
    m_nextButton = button;
    connectButton(button, &KvoPagePlayer::onNextClicked);
}

void KvoPagePlayer::setPreviousButton(QPushButton* button)
{
    m_previousButton = button;
    connectButton(button, &KvoPagePlayer::onPreviousClicked);
}

void KvoPagePlayer::setMuteButton(QPushButton* button)
{
    m_muteButton = button;
    connectButton(button, &KvoPagePlayer::onMuteClicked);
}

void KvoPagePlayer::setCommentButton(QPushButton* button)
{
    m_commentButton = button;
    connectButton(button, &KvoPagePlayer::toggleCommentBox);
}

void KvoPagePlayer::setSignetButton(QPushButton* button)
{
    m_signetButton = button;
    connectButton(button, &KvoPagePlayer::toggleSignetBox);
}

void KvoPagePlayer::setQozUrlButton(QPushButton* button)
{
    m_qozUrlButton = button;
    connectButton(button, &KvoPagePlayer::onQozUrlClicked);
    if (button)
        KvoDoubleClickGuard::actOnce(button);
}

void KvoPagePlayer::setVolumeSlider(KvoVideoVolumeSlider* slider)
{
    m_volumeSlider = slider;
}

void KvoPagePlayer::setSeeker(KvoVideoSeeker* seeker)
{
    m_seeker = seeker;
}

void KvoPagePlayer::setDurationLabel(QLabel* label)
{
    m_durationLabel = label;
}

void KvoPagePlayer::setTimeLabel(QLabel* label)
{
    m_timeLabel = label;
}

void KvoPagePlayer::setOverlays(KvoPlayerOverlay* comment, KvoPlayerOverlay* signet)
{
    m_commentOverlay = comment;
    m_signetOverlay = signet;
    for (KvoPlayerOverlay* overlay : {comment, signet})
        if (overlay)
            overlay->setAnchor(this);
    m_player->setOverlayWidgets(comment, signet);
}

// --- playlist ---------------------------------------------------------------

uint KvoPagePlayer::currentVideoId() const
{
    if (m_current < 0 || m_current >= m_videoIds.size())
        return m_current < 0 ? m_missingVideoId : 0;
    return m_videoIds.at(m_current).toUInt();
}

uint KvoPagePlayer::currentPurchaseId() const
{
    if (m_current < 0 || m_current >= m_purchaseIds.size())
        return m_current < 0 ? m_missingPurchaseId : 0;
    return m_purchaseIds.at(m_current).toUInt();
}

void KvoPagePlayer::setSelectedVideo(uint softwareId, uint selectedVideoId)
{
    m_softwareId = softwareId;
    m_videoIds.clear();
    m_purchaseIds.clear();
    m_current = -1;
    m_missingVideoId = 0;
    m_missingPurchaseId = 0;
    fillVideosTabs();
    if (m_videoIds.size() != m_purchaseIds.size()) {
        m_videoIds.clear();
        m_purchaseIds.clear();
    }
    for (int i = 0; i < m_videoIds.size(); ++i) {
        if (m_videoIds.at(i).toUInt() == selectedVideoId) {
            m_current = i;
            return;
        }
    }
    // The playlist holds the videos on disk. A video of this software
    // chosen while its file is gone (deleted outside the client) is current
    // on its own, so that its error shows instead of another video playing.
    if (selectedVideoId != 0) {
        const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
        for (const KvoPurchase& purchase : purchases) {
            const auto file = purchase.files.constFind(int(selectedVideoId));
            if (purchase.softwareIDs.contains(softwareId) && file != purchase.files.cend() && !file->hidden
                && !file->isOnDisk()) {
                m_missingVideoId = selectedVideoId;
                m_missingPurchaseId = purchase.id;
                return;
            }
        }
    }
    if (m_videoIds.isEmpty()) {
        // Nothing of this software to play: the last video stops too.
        m_player->stop();
        m_playable = false;
        disableInterface(true);
        return;
    }
    // An unknown or hidden video: the first one.
    m_current = 0;
}

void KvoPagePlayer::fillVideosTabs()
{
    if (playlistSource())
        playlistSource()(m_softwareId, m_purchaseIds, m_videoIds);
}

void KvoPagePlayer::loadIfReady()
{
    if ((!m_videoIds.isEmpty() && !m_purchaseIds.isEmpty()) || m_missingVideoId != 0)
        loadActualVideo();
}

void KvoPagePlayer::loadActualVideo()
{
    m_player->stop();
    m_noPicture->stop();
    // The markers of the video before go now; this video's come with its
    // length.
    m_signets.clear();
    m_reloadSignetsOnTick = true;
    m_errorShown = false;
    if (m_commentOverlay)
        m_commentOverlay->setPurchaseId(currentPurchaseId());
    for (KvoPlayerOverlay* overlay : {m_commentOverlay, m_signetOverlay})
        if (overlay)
            overlay->setOverlayHidden(true);
    setBlurred(false);
    updateButtons();

    KvoPurchase purchase;
    KvoPurchaseVideoManager::instance()->purchase(currentPurchaseId(), &purchase);
    const KvoVideoFile file = purchase.files.value(int(currentVideoId()));
    m_title = file.title;
    m_qozUrl = purchase.url;
    emit needToUpdateArianne();
    m_filePath = file.KvoPath;
    if (m_openedVideoId != 0 && m_openedVideoId == currentVideoId()) {
        m_filePath = m_openedPath;
    } else {
        m_openedVideoId = 0;
        m_openedPath.clear();
    }

    m_playable = !m_filePath.isEmpty() && QFileInfo(m_filePath).isFile();
    if (m_playable) {
        m_player->openFile(m_filePath);
        m_framesAtLoad = m_player->framesShown();
        // A media the engine cannot even load is as unplayable as a
        // missing file.
        m_playable = m_player->isLoaded();
    }
    if (!m_playable) {
        disableInterface(true);
        showPlaybackError();
        return;
    }
    disableInterface(false);
    if (m_durationLabel)
        m_durationLabel->setText(secondsToDate(file.duration));
    if (m_signetOverlay)
        m_signetOverlay->setDuration(qint64(file.duration) * 1000);
    onPlayClicked();
    m_player->showTitle(m_title);
    setFocus(Qt::OtherFocusReason);
}

bool KvoPagePlayer::pictureSeen() const
{
    // Painted, or handed over while the window could not paint (hidden).
    return m_player->hasPicture() || m_player->framesShown() > m_framesAtLoad;
}

void KvoPagePlayer::adoptOpenedFile()
{
    if (m_openedVideoId == 0 || m_openedVideoId != currentVideoId() || !m_playable)
        return;
    const QString path = m_openedPath;
    m_openedVideoId = 0;
    m_openedPath.clear();
    KvoPurchaseVideoManager* library = KvoPurchaseVideoManager::instance();
    KvoPurchase purchase;
    library->purchase(currentPurchaseId(), &purchase);
    const auto found = purchase.files.constFind(int(currentVideoId()));
    // A download may have brought the library's own file since.
    if (found == purchase.files.cend() || found->isOnDisk())
        return;
    KvoVideoFile file = found.value();
    file.KvoPath = path;
    library->setVideoPath(purchase, file);
}

void KvoPagePlayer::showPlaybackError()
{
    if (m_errorShown)
        return;
    m_errorShown = true;
    errorDialog()(this);
}

void KvoPagePlayer::onPlaybackError()
{
    // The engine gave up on the media (not a video, damaged): the same as a
    // missing file, and no progress is stored for it.
    m_player->stop();
    m_playable = false;
    disableInterface(true);
    showPlaybackError();
}

void KvoPagePlayer::onNextClicked()
{
    if (m_current + 1 >= m_videoIds.size())
        return;
    ++m_current;
    loadActualVideo();
}

void KvoPagePlayer::onPreviousClicked()
{
    if (m_current <= 0)
        return;
    --m_current;
    loadActualVideo();
}

void KvoPagePlayer::updateButtons()
{
    if (m_previousButton)
        m_previousButton->setEnabled(false);
    if (m_nextButton)
        m_nextButton->setEnabled(false);
    if (m_videoIds.isEmpty() || m_videoIds.size() != m_purchaseIds.size())
        return;
    if (m_previousButton && m_current > 0)
        m_previousButton->setEnabled(true);
    if (m_nextButton && m_current < m_videoIds.size() - 1)
        m_nextButton->setEnabled(true);
}

// --- playing ------------------------------------------------------------------

void KvoPagePlayer::setBlurred(bool blurred)
{
    if (blurred) {
        m_blur->setEnabled(true);
        m_blur->unfocus();
    } else if (m_blur->isEnabled()) {
        m_blur->focus();
    }
}

void KvoPagePlayer::onPlayClicked()
{
    for (KvoPlayerOverlay* overlay : {m_commentOverlay, m_signetOverlay})
        if (overlay)
            overlay->setOverlayHidden(true);
    setBlurred(false);
    if (!m_playable)
        return;
    const bool playing = m_player->state() == KvoVideoPlayer::Playing;
    if (playing)
        m_player->pause();
    else
        m_player->play();
    if (m_pauseButton)
        m_pauseButton->setVisible(!playing);
    if (m_playButton)
        m_playButton->setVisible(playing);
}

void KvoPagePlayer::onPlaying()
{
    if (!pictureSeen() && m_player->mediaInfo().length <= 0)
        m_noPicture->start(s_noPictureBound);
    if (m_playButton)
        m_playButton->hide();
    if (m_pauseButton)
        m_pauseButton->show();
    for (KvoPlayerOverlay* overlay : {m_commentOverlay, m_signetOverlay})
        if (overlay)
            overlay->setOverlayHidden(true);
    setBlurred(false);
}

void KvoPagePlayer::toggleCommentBox()
{
    emit needToHideInfobulle();
    if (m_player->state() == KvoVideoPlayer::Playing)
        onPlayClicked();
    bool hidOther = false;
    if (m_signetOverlay && m_signetOverlay->isOverlayVisible()) {
        m_signetOverlay->setOverlayHidden(true);
        hidOther = true;
    }
    if (!m_commentOverlay)
        return;
    m_commentOverlay->setOverlayHidden(m_commentOverlay->isOverlayVisible());
    const bool commentVisible = m_commentOverlay->isOverlayVisible();
    const bool signetVisible = m_signetOverlay && m_signetOverlay->isOverlayVisible();
    if (commentVisible && !signetVisible && !hidOther)
        setBlurred(true);
    else if (!commentVisible && !signetVisible)
        setBlurred(false);
}

void KvoPagePlayer::toggleSignetBox()
{
    emit needToHideInfobulle();
    if (m_player->state() == KvoVideoPlayer::Playing)
        onPlayClicked();
    bool hidOther = false;
    if (m_commentOverlay && m_commentOverlay->isOverlayVisible()) {
        m_commentOverlay->setOverlayHidden(true);
        hidOther = true;
    }
    if (!m_signetOverlay)
        return;
    m_signetOverlay->setOverlayHidden(m_signetOverlay->isOverlayVisible());
    const bool signetVisible = m_signetOverlay->isOverlayVisible();
    const bool commentVisible = m_commentOverlay && m_commentOverlay->isOverlayVisible();
    if (signetVisible && !commentVisible && !hidOther)
        setBlurred(true);
    else if (!signetVisible && !commentVisible)
        setBlurred(false);
}

void KvoPagePlayer::disableInterface(bool disable)
{
    updateButtons();
    for (QLabel* label : {m_durationLabel.data(), m_timeLabel.data()})
        if (label)
            label->setText(QStringLiteral("0:00"));
    setBlurred(disable);
    for (QWidget* widget : {static_cast<QWidget*>(m_playButton.data()), static_cast<QWidget*>(m_pauseButton.data()),
                            static_cast<QWidget*>(m_commentButton.data()), static_cast<QWidget*>(m_signetButton.data()),
                            static_cast<QWidget*>(m_qozUrlButton.data()), static_cast<QWidget*>(m_seeker.data()),
                            static_cast<QWidget*>(m_volumeSlider.data()), static_cast<QWidget*>(m_muteButton.data())})
        if (widget)
            widget->setEnabled(!disable);
    if (m_volumeSlider && m_muted)
        m_volumeSlider->setEnabled(false);
    if (m_pauseButton)
        m_pauseButton->setVisible(!disable);
    if (m_playButton)
        m_playButton->setVisible(disable);
}

void KvoPagePlayer::onTick(qint64 time, qint64 length)
{
    if (time < 0 || length <= 0)
        return;
    // The markers of a new video wait for its length, known by now.
    if (m_reloadSignetsOnTick && m_playable) {
        m_reloadSignetsOnTick = false;
        reloadSignets();
        emit needToReloadSignets();
    }
    // The markers follow the seek bar's length.
    m_signets.updatePositions();
    if (m_timeLabel)
        m_timeLabel->setText(secondsToDate(uint(time / 1000)));
    if (m_signetOverlay && m_seeker)
        m_signetOverlay->setCurrentTime(qint64(m_seeker->value()) * 1000);
    if (!m_playable)
        return;
    // A media that showed no picture yet is not being watched.
    if (!pictureSeen())
        return;
    adoptOpenedFile();
    // An estimated length may be shorter than the time played.
    const uint percent = uint(qMin<qint64>(100, (time * 100) / length));
    KvoPurchaseVideoManager* library = KvoPurchaseVideoManager::instance();
    // One course only: a copy of the library held across the write below
    // would make the library copy itself.
    KvoPurchase purchase;
    if (!library->purchase(currentPurchaseId(), &purchase))
        return;
    const auto file = purchase.files.constFind(int(currentVideoId()));
    if (file == purchase.files.cend())
        return;
    if (file->alreadySeen < percent)
        library->setAlreadySeen(currentPurchaseId(), currentVideoId(), percent);
}

void KvoPagePlayer::onFinished()
{
    if (m_playButton)
        m_playButton->show();
    if (m_pauseButton)
        m_pauseButton->hide();
    // An end without a single picture is a file the engine could not read
    // (damaged, not a video), even where it found a length: an error, not
    // a video seen.
    if (!pictureSeen()) {
        onPlaybackError();
        return;
    }
    if (m_playable)
        KvoPurchaseVideoManager::instance()->setAlreadySeen(currentPurchaseId(), currentVideoId(), 100);
    KvoPurchase purchase;
    KvoPurchaseVideoManager::instance()->purchase(currentPurchaseId(), &purchase);
    if (m_playable && !purchase.commented && m_commentOverlay) {
        toggleCommentBox();
        return;
    }
    if (m_videoIds.size() >= 2 && m_videoIds.size() == m_purchaseIds.size() && m_current < m_videoIds.size() - 1
        && m_nextButton && m_nextButton->isEnabled()) {
        ++m_current;
        loadActualVideo();
    }
}

void KvoPagePlayer::onMuteClicked()
{
    m_muted = !m_muted;
    if (m_muted) {
        if (m_volumeSlider)
            m_chosenVolume = m_volumeSlider->value();
        if (!m_player->isMuted())
            m_player->mute();
        if (m_volumeSlider)
            m_volumeSlider->setValueSilently(0);
    } else {
        if (m_volumeSlider)
            m_volumeSlider->setValueSilently(m_chosenVolume);
        // Unmutes the output and gives it the volume back.
        m_player->changeVolume(m_chosenVolume);
    }
    showMuted();
}

void KvoPagePlayer::showMuted()
{
    const QString images = QStringLiteral(
        "QPushButton{border:0;image:url(:/KvoMainWindow/Resources/%1_out.png);}"
        "QPushButton:hover{image:url(:/KvoMainWindow/Resources/%1_in.png);}");
    if (m_muteButton)
        m_muteButton->setStyleSheet(images.arg(m_muted ? QStringLiteral("volume_stop") : QStringLiteral("volume_mute")));
    if (m_volumeSlider)
        m_volumeSlider->setEnabled(!m_muted && m_playable);
}

void KvoPagePlayer::onQozUrlClicked()
{
    const QUrl url(m_qozUrl);
    if (url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
        QDesktopServices::openUrl(url);
}

void KvoPagePlayer::onFacebookClicked()
{
    // The course's address is one query value: encoded, so that its own
    // "&", "#" or "?" stay inside it.
    QUrl share(QString::fromLatin1(FacebookShare));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("u"), QString::fromLatin1(QUrl::toPercentEncoding(m_qozUrl)));
    share.setQuery(query);
    QDesktopServices::openUrl(share);
}

QString KvoPagePlayer::secondsToDate(uint seconds)
{
    return KvoDurationText::clock(seconds);
}

// --- volume -----------------------------------------------------------------

void KvoPagePlayer::loadVolume()
{
    QSqlQuery query;
    query.prepare(QStringLiteral(
        "SELECT c.volume FROM `configurations` AS c INNER JOIN `users` AS u ON u.id_configuration = c.rowid "
        "WHERE u.id_qoz_user = :id_user"));
    query.bindValue(QStringLiteral(":id_user"), KvoPurchaseVideoManager::instance()->userId());
    if (query.exec() && query.next() && m_volumeSlider)
        m_volumeSlider->setValue(int(qMin(100u, query.value(0).toUInt())));
}

void KvoPagePlayer::saveVolume()
{
    if (!m_volumeSlider)
        return;
    QSqlQuery query;
    query.prepare(QStringLiteral("SELECT `id_configuration` FROM `users` WHERE `id_qoz_user` = :id_user"));
    query.bindValue(QStringLiteral(":id_user"), KvoPurchaseVideoManager::instance()->userId());
    if (!query.exec() || !query.next())
        return;
    const int id = query.value(0).toInt();
    QSqlQuery update;
    update.prepare(QStringLiteral("UPDATE configurations SET volume = :volume WHERE rowid = :id"));
    // Muted, the slider shows 0: the volume kept is the one chosen.
    update.bindValue(QStringLiteral(":volume"), m_muted ? m_chosenVolume : m_volumeSlider->value());
    update.bindValue(QStringLiteral(":id"), id);
    update.exec();
}

// --- widget events ------------------------------------------------------------

void KvoPagePlayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_player->updateOverlays();
}

void KvoPagePlayer::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_player->updateOverlays();
}

void KvoPagePlayer::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_player->updateOverlays();
}

void KvoPagePlayer::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only a double click begun on the page reaches it: the application's
    // double-click guard drops the second press of a double click whose
    // first click opened the page (on a list's row).
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit onDoubleClick();
    QWidget::mouseDoubleClickEvent(event);
}
