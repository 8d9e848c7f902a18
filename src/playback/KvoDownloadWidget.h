#pragma once

#include "KvoPageRequest.h"
#include "KvoPurchase.h"

#include <QIcon>
#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QSet>
#include <QString>
#include <QVector>
#include <QWidget>

class KvoDownloader;
class KvoHTTPRequest;
class KvoPageDownloads;
class KvoProgressBar;

namespace Ui {
class KvoDownloadWidget;
}

// One row of the downloads page and, at the same time, one entry of the
// process-wide download queue. A top-level entry stands for a purchase and
// downloads, one after the other, every video of it that has no local file;
// a purchase with several videos can be expanded into child entries, one per
// missing video, each able to download its video on its own.
//
// For each video the entry asks the service for the file's address, fetches
// it into "<video folder>/<id> - <course>/<fileId> - <title>.qoz" (written as
// "….part" and renamed only once complete), checks that the file is whole and
// is the video it should be, and records its path in the library.
//
// At most three entries hold a download slot at once; the others wait first
// in, first out. Joining is idempotent, and every path that gives a slot back
// (success, failure, stop, destruction) lets the next waiting entry start.
// GUI thread only.
class KvoDownloadWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxActiveDownloads = 3;

    // What the row shows (tests and the page read it).
    enum class Look { Idle, Waiting, Asking, Downloading, Error, Finished };

    KvoDownloadWidget(KvoPageDownloads* page, QWidget* parent, const KvoPurchase& purchase,
                      KvoDownloadWidget* parentEntry = nullptr);
    ~KvoDownloadWidget() override;

    // The widget the page places in its list.
    virtual QWidget* widget();

    uint purchaseId() const;
    KvoPurchase purchase() const;
    // Joins the queue, as a click on the download button does.
    void enqueue();
    // Ends the entry's downloads: the finished look (or the error look when
    // no video could be obtained at all).
    void finish();
    // Stops the entry for good: no download starts or changes its look any
    // more. Children are stopped too.
    void disconnect();
    // Places the child entries below the entry (after a re-sort or a page
    // change of the list).
    void layoutChildren();
    void setFlag(bool online);

    // Empties the waiting queue; the waiting entries keep their look.
    static void clearQueue();
    // The page's sort order of two entries (sort modes 0 to 3).
    static bool lessThan(KvoDownloadWidget* a, KvoDownloadWidget* b);

    // --- state, for the page and for tests
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
    QMap<int, KvoDownloadWidget*> children() const { return childEntries; }
    KvoDownloadWidget* parentEntryWidget() const { return parentEntry; }
    QVector<int> failedVideoIds() const { return failedVideos; }
    static int activeCount();
    static int queuedCount();
    static QList<KvoDownloadWidget*> activeEntries();
    static QList<KvoDownloadWidget*> queuedEntries();

    // --- the pure rules of the row
    // The status text for a remaining time in seconds:
    // "( temps estimé : 2 heures et 30 secondes )".
    static QString remainingTimeText(quint32 remaining);
    // A title as it goes into a file or folder name: the characters
    // | < > ! ? : / \ * ' " and control characters removed.
    static QString cleanTitle(const QString& title);
    // "<id> - <title>" (or with the suffix), shortened so that the name, even
    // with ".part" appended, stays within the 255 bytes a file name may have.
    static QString nameComponent(uint id, const QString& cleanedTitle, const QString& suffix = QString());

signals:
    void onChangePage(const QString& key, bool addToHistory);
    void onChangePageRequest(const KvoPageRequest& request);

public slots:
    void onClickDownload();
    void onClickExpand();
    void startDownload();
    void onSuccessDownload();
    void onErrorDownload(QNetworkReply::NetworkError error, const QString& message);
    void onProgressDownload(qint64 received, qint64 total);
    void nextDownload();
    void onErrorRequest(QNetworkReply::NetworkError error, const QString& message);
    void onSuccessRequest(const QString& body);
    void setToError(const QString& message);
    void abort();
    void onClickTitle();
    void onTimeout();
    void requestBind();

private:
    enum class ButtonAction { Download, None, Play };

    static QList<KvoDownloadWidget*>& queue();
    static QList<KvoDownloadWidget*>& activeDownloads();
    static void scheduleNext();
    static void startWaiting();

    void onButtonClicked();
    void setButtonAction(ButtonAction action);
    void waitingLook();
    void updateMirror();
    void ensureProgressBar();
    KvoProgressBar* barOf(KvoDownloadWidget* entry);
    QString displayTitle() const;
    QString runningTitle() const;
    bool chooseVideo();
    void fail(const QString& message, const QString& detail);
    void recordFailure();
    void childEnded(KvoDownloadWidget* child, bool arrived);
    void releaseTransfer();
    bool everyVideoFailed() const;
    bool anyVideoOnDisk() const;

    bool stopped = false;
    int videoIndex = -1;
    int videoCount = 0;
    qint64 startTime = 0;
    qint64 lastEtaTime = 0;
    bool finished = false;
    qint64 bytesTotal = -1;
    Ui::KvoDownloadWidget* ui;
    KvoPageDownloads* page;
    KvoPurchase purchaseRecord;
    KvoDownloader* downloader = nullptr;
    KvoHTTPRequest* request = nullptr;
    int currentVideo = -1; // fileId of the video being downloaded
    QString filePath;
    bool online = false;
    KvoProgressBar* progressBar = nullptr;
    bool expanded = false;
    KvoDownloadWidget* parentEntry;
    bool bound = false;
    QMap<int, KvoDownloadWidget*> childEntries;
    QVector<int> failedVideos;
    KvoDownloadWidget* mirror = nullptr;

    // Between startDownload() and the end of the run (finish, failure,
    // stop); a bound child runs under its parent's slot.
    bool m_running = false;
    // Videos that failed during this run: not chosen again until the next.
    QSet<int> m_skipped;
    // Videos that arrived during this run (the notification needs one).
    int m_arrived = 0;
    Look m_look = Look::Idle;
    ButtonAction m_action = ButtonAction::Download;
    QString m_lastMessage;
    QString m_lastDetail;
    QString m_plainTitle;
};
