#pragma once

#include "KvoPurchase.h"

#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

class KvoVideoTransfer;

// One entry of the download queue, without any widget: a top-level job
// stands for a purchase and downloads, one after the other, every video of
// it that has no local file; a purchase with several videos can be expanded
// into child jobs, one per missing video, each able to download its video on
// its own. A row of the downloads page (KvoDownloadWidget) only shows a job;
// the page makes rows for the jobs of the list page on screen and keeps the
// rest as data.
//
// Each video is fetched by a transfer of its own (KvoVideoTransfer); the job
// chooses the videos, holds the queue slot and keeps what its row shows.
// The downloads list (KvoDownloadList) owns the top-level jobs and brings
// them in line with the library (follow()).
//
// What a row shows (button, title, status, progress) is part of the job's
// state, so that a row made later, or for another list page, shows exactly
// what the job is at; changed() tells the row to show it again. GUI thread.
class KvoDownloadJob : public QObject
{
    Q_OBJECT

public:
    enum class Look { Idle, Waiting, Asking, Downloading, Error, Finished };
    enum class ButtonStyle { Idle, Waiting, Error };
    enum class ButtonIcon { None, Play, Retry };
    enum class ButtonAction { Download, None, Play };
    enum class TitleStyle { Normal, Error, Dimmed };

    explicit KvoDownloadJob(const KvoPurchase& purchase, KvoDownloadJob* parentJob = nullptr);
    ~KvoDownloadJob() override;

    uint purchaseId() const { return purchaseRecord.id; }
    KvoPurchase purchase() const { return purchaseRecord; }
    // Joins the queue, as a click on the download button does.
    void enqueue();
    // Ends the job's downloads: the finished look (or the error look when
    // no video could be obtained at all).
    void finish();
    // Stops the job for good: no download starts or changes its look any
    // more. Children are stopped too.
    void stop();
    // Brings the job in line with the course as the library holds it now;
    // missing: the course's videos that have no file (the ones recorded
    // but found gone included). A video newly missing gets its child row
    // (when the course has child rows) and takes a finished course back to
    // the idle look; the idle child row of a video that came on disk some
    // other way goes, while a row that finished its own download keeps its
    // finished look in place until its video is opened; an idle course
    // that misses nothing any more is finished. Titles follow the
    // library's. Nothing queued, running or showing a failure is stopped,
    // replaced or cleared.
    void follow(const KvoPurchase& course, const QSet<int>& missing);
    void setFlag(bool online);

    // The child jobs: made on the first expansion, one per missing video.
    void toggleExpanded();
    bool isExpanded() const { return expanded; }
    QMap<int, KvoDownloadJob*> children() const { return childEntries; }
    // The children in the order of their videos in the course.
    QList<KvoDownloadJob*> orderedChildren() const;
    KvoDownloadJob* parentJob() const { return parentEntry; }
    // A child whose video was opened leaves its parent's list.
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);

    // --- state
    Look look() const { return m_look; }
    bool isFinished() const { return finished; }
    bool isStopped() const { return stopped; }
    // Queued, holding a slot, asking or downloading.
    bool isBusy() const;
    bool isQueued() const;
    bool holdsSlot() const;
    // The message of the last failure ("" before any).
    QString lastMessage() const { return m_lastMessage; }
    QString lastDetail() const { return m_lastDetail; }
    // The file being (or last) downloaded.
    QString currentFilePath() const { return filePath; }

    // --- what the row shows
    QString title() const { return m_title; }
    TitleStyle titleStyle() const { return m_titleStyle; }
    QString toolTip() const { return m_tip; }
    QString buttonText() const { return m_buttonText; }
    bool buttonVisible() const { return m_buttonVisible; }
    ButtonStyle buttonStyle() const { return m_buttonStyle; }
    ButtonIcon buttonIcon() const { return m_buttonIcon; }
    ButtonAction buttonAction() const { return m_action; }
    QString comment() const { return m_comment; }
    bool commentVisible() const { return m_commentVisible; }
    bool commentIsError() const { return m_commentError; }
    bool hasProgress() const { return m_hasProgress; }
    bool progressVisible() const { return m_progressVisible; }
    int progress() const { return m_progress; }
    bool softwaresVisible() const { return m_softwaresVisible; }

    // --- the pure rules
    // The status text for a remaining time in seconds:
    // "( temps estimé : 2 heures et 30 secondes )".
    static QString remainingTimeText(quint32 remaining);

signals:
    // What the row shows changed.
    void changed();
    // Child jobs were made, shown or hidden.
    void childrenChanged();

public slots:
    void onClickDownload();
    void startDownload();
    void nextDownload();
    void setToError(const QString& message);
    void abort();
    void onTimeout();
    void requestBind();

private:
    // What the transfer of the current video tells.
    void onSuccessRequest();
    void onProgressDownload(qint64 received, qint64 total);
    void onSuccessDownload(const QString& path);
    void onErrorDownload(const QString& message, const QString& detail, bool thisVideoOnly);
    void touch();
    void idleLook();
    // The title for the row's look, from the record.
    void retitle();
    KvoDownloadJob* makeChild(const KvoVideoFile& video);
    // A child row that follow() may take away: not on its way, not showing
    // a failure, not showing this job's transfer.
    bool childIsIdle(const KvoDownloadJob* child) const;
    void waitingLook();
    void updateMirror();
    void ensureProgress();
    QString displayTitle() const;
    QString runningTitle() const;
    bool chooseVideo();
    void fail(const QString& message, const QString& detail);
    void recordFailure();
    void childEnded(KvoDownloadJob* child, bool arrived);
    void releaseTransfer();
    bool everyVideoFailed() const;
    bool anyVideoOnDisk() const;

    bool stopped = false;
    int videoIndex = -1;
    int videoCount = 0;
    qint64 startTime = 0;
    qint64 lastEtaTime = 0;
    bool finished = false;
    KvoPurchase purchaseRecord;
    KvoVideoTransfer* m_transfer = nullptr;
    int currentVideo = -1; // fileId of the video being downloaded
    QString filePath;
    // The videos missing as the job last followed the library; null before
    // the first follow().
    QSet<int> m_missing;
    bool m_followed = false;
    bool online = false;
    bool expanded = false;
    KvoDownloadJob* parentEntry;
    bool bound = false;
    QMap<int, KvoDownloadJob*> childEntries;
    QVector<int> failedVideos;
    KvoDownloadJob* mirror = nullptr;

    // Between startDownload() and the end of the run (finish, failure,
    // stop); a bound child runs under its parent's slot.
    bool m_running = false;
    // Videos that failed during this run: not chosen again until the next.
    QSet<int> m_skipped;
    // Videos that arrived during this run (the notification needs one).
    int m_arrived = 0;
    bool m_hidden = false;
    Look m_look = Look::Idle;
    QString m_lastMessage;
    QString m_lastDetail;

    // What the row shows.
    QString m_plainTitle;
    QString m_title;
    TitleStyle m_titleStyle = TitleStyle::Normal;
    QString m_tip;
    QString m_buttonText;
    bool m_buttonVisible = true;
    ButtonStyle m_buttonStyle = ButtonStyle::Idle;
    ButtonIcon m_buttonIcon = ButtonIcon::None;
    ButtonAction m_action = ButtonAction::Download;
    QString m_comment;
    bool m_commentVisible = true;
    bool m_commentError = false;
    bool m_hasProgress = false;
    bool m_progressVisible = false;
    int m_progress = 0;
    bool m_softwaresVisible = true;
};
