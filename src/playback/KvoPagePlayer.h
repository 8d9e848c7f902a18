#pragma once

#include "IKvoPage.h"
#include "IKvoPlayerPage.h"
#include "KvoSignetManager.h"

#include <QList>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>

class KvoAddCommentWidget;
class KvoAddSignetWidget;
class KvoPlayerOverlay;
class KvoUnfocusAnimation;
class KvoVideoPlayer;
class KvoVideoSeeker;
class KvoVideoVolumeSlider;
class QLabel;
class QPushButton;
class QTimer;
class QResizeEvent;
class Ui_KvoPagePlayer;

// The page "player": plays the downloaded videos of one software one after
// another, drives the control bar of the main window, stores how much of
// each video was watched, remembers the volume of the user and opens the
// rating and bookmark overlays over a blurred picture.
class KvoPagePlayer : public QWidget, public IKvoPage, public IKvoPlayerPage
{
    Q_OBJECT

public:
    // Fills the purchase ids and the video ids of the videos of a software
    // that are on disk, in the order of the software's page.
    using PlaylistSource = std::function<void(uint softwareId, QList<QVariant>& purchaseIds,
                                              QList<QVariant>& videoIds)>;
    static void setPlaylistSource(const PlaylistSource& source);
    // Shows the playback-error dialog; tests replace it.
    using ErrorDialog = std::function<void(QWidget* page)>;
    static void setErrorDialog(const ErrorDialog& dialog);
    // How long a media may play with neither a picture nor a length before
    // it counts as no video (tests shorten it).
    static void setNoPictureBound(int milliseconds);

    KvoPagePlayer(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPagePlayer() override;

    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;
    // A switch that names a software and a video selects and plays it.
    void onRequest(const KvoPageRequest& request) override;
    // The user's volume is stored and nothing plays on.
    void onSessionClosing() override;

    void setControls(const Controls& controls) override;
    bool isPlaying() const override;
    bool isPlayable() const override { return m_playable; }
    void updateOverlays() override;
    void reloadSignets() override;
    void setMarkersHidden(bool hidden) override;
    void updateMarkerPositions() override;
    void addSignet(const QString& name, const QTime& time) override;
    QString markerName(const QObject* object) const override;
    int markerCount() const override { return int(m_signets.markers().size()); }
    KvoSignetManager& signets() { return m_signets; }

    void setPlayButton(QPushButton* button);
    void setPauseButton(QPushButton* button);
    void setNextButton(QPushButton* button);
    void setPreviousButton(QPushButton* button);
    void setMuteButton(QPushButton* button);
    void setCommentButton(QPushButton* button);
    void setSignetButton(QPushButton* button);
    void setQozUrlButton(QPushButton* button);
    void setVolumeSlider(KvoVideoVolumeSlider* slider);
    void setSeeker(KvoVideoSeeker* seeker);
    void setDurationLabel(QLabel* label);
    void setTimeLabel(QLabel* label);
    // The rating and the bookmark overlays (not owned).
    void setOverlays(KvoPlayerOverlay* comment, KvoPlayerOverlay* signet);

    KvoVideoPlayer* videoPlayer() const { return m_player; }
    KvoUnfocusAnimation* blurAnimation() const { return m_blur; }
    KvoAddCommentWidget* commentWidget() const;
    KvoAddSignetWidget* signetWidget() const;
    uint currentVideoId() const;
    uint currentPurchaseId() const;
    int playlistSize() const { return m_videoIds.size(); }
    int currentIndex() const { return m_current; }
    void setParentPage(QWidget* page) { m_parentPage = page; }

    // Builds the playlist of the software and makes the video selected (or
    // the first) current; loads nothing.
    void setSelectedVideo(uint softwareId, uint selectedVideoId = 0);
    void loadIfReady();
    void loadVolume();
    void saveVolume();

    static QString secondsToDate(uint seconds);

public slots:
    void onPlayClicked() override;

signals:
    void onChangePage(const QString& key, bool addToHistory);
    void timeChanged();
    void needToUpdateArianne();
    void needToReloadSignets();
    void onDoubleClick();
    // The main window's tooltip bubble is in the way.
    void needToHideInfobulle();

private slots:
    void onPlaying();
    void onFacebookClicked();
    void toggleSignetBox();
    void toggleCommentBox();
    void fillVideosTabs();
    void disableInterface(bool disable);
    void loadActualVideo();
    void updateButtons();
    void onMuteClicked();
    void onFinished();
    void onTick(qint64 time, qint64 length);
    void onPreviousClicked();
    void onNextClicked();
    void onQozUrlClicked();
    void onPlaybackError();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void showPlaybackError();
    void setBlurred(bool blurred);
    void showMuted();
    // True once the loaded media handed over or painted a picture.
    bool pictureSeen() const;
    // Makes the file opened from outside the video's file, once it showed
    // a picture.
    void adoptOpenedFile();
    void connectButton(QPushButton* button, void (KvoPagePlayer::*slot)());

    KvoVideoPlayer* m_player = nullptr;
    // The current entry of both lists (they always have the same length).
    int m_current = -1;
    QList<QVariant> m_videoIds;
    QList<QVariant> m_purchaseIds;
    // The video chosen while its file is missing (m_current is -1 then).
    uint m_missingVideoId = 0;
    uint m_missingPurchaseId = 0;
    std::unique_ptr<Ui_KvoPagePlayer> m_ui;
    QPointer<QWidget> m_parentPage;
    QString m_title;
    uint m_softwareId = 0;
    QPointer<QPushButton> m_playButton, m_pauseButton, m_nextButton, m_previousButton, m_muteButton,
        m_commentButton, m_signetButton, m_qozUrlButton;
    QPointer<QLabel> m_durationLabel, m_timeLabel;
    QPointer<KvoVideoSeeker> m_seeker;
    QPointer<KvoVideoVolumeSlider> m_volumeSlider;
    QString m_qozUrl;
    KvoUnfocusAnimation* m_blur = nullptr;
    bool m_playable = true;
    QString m_filePath;
    KvoPlayerOverlay* m_signetOverlay = nullptr;
    KvoPlayerOverlay* m_commentOverlay = nullptr;
    QPointer<KvoAddCommentWidget> m_commentWidget;
    QPointer<KvoAddSignetWidget> m_signetWidget;
    bool m_reloadSignetsOnTick = false;
    // Shown once per loaded video, whichever of the checks finds it first.
    bool m_errorShown = false;
    KvoSignetManager m_signets;
    QPointer<QWidget> m_markerParent;
    // The user's own sound settings: the output may not report them (a
    // dummy output answers -1), so they are never read back from it.
    bool m_muted = false;
    int m_chosenVolume = 100;
    // A file opened from outside for the video m_openedVideoId, played in
    // place of the library's missing one.
    QString m_openedPath;
    uint m_openedVideoId = 0;
    quint64 m_framesAtLoad = 0;
    // Ends a media that plays without a picture or a length: the engine
    // would otherwise read a large file that is no video to its end.
    QTimer* m_noPicture = nullptr;
};
