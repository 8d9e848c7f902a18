#pragma once

#include "IKvoPage.h"
#include "KvoPageRequest.h"
#include "KvoSoftware.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

class KvoDialog;
class KvoDownloadJob;
class KvoDownloadWidget;
class KvoLoadingFrame;
class KvoPaginationWidget;
class KvoPurchase;
class KvoStoredFileCheck;

namespace Ui {
class KvoPageDownloads;
}

// The page "downloads" ("A télécharger"): one entry per purchase of the
// library that still misses a video file, 15 per list page, sorted by date
// or by software name; "Tout télécharger", "Actualiser", the support link
// and the time of the last synchronisation. It also keeps the main window's
// downloads counter equal to the number of purchases missing a video, and
// opens the purchases that "vorn:download:<id>" links name.
//
// The list is data: an entry is a purchase id with its sort keys, and gets
// a download job (KvoDownloadJob) when it is first shown or queued. Rows
// (KvoDownloadWidget) exist only for the list page on screen, so a library
// of any size opens at once.
class KvoPageDownloads : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    static constexpr int ItemsPerPage = 15;
    static constexpr int LastUpdateInterval = 5000; // ms

    // One entry of the list: the purchase, its sort keys, and its job once
    // it has one (owned by the page).
    struct DWidget
    {
        int purchaseId = 0;
        qint64 date = 0; // purchase date, ms since 1970
        uint softwareId = 0;
        KvoDownloadJob* job = nullptr;
    };

    explicit KvoPageDownloads(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageDownloads() override;

    // The downloads page of the process (null before one is made).
    static KvoPageDownloads* instance();

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;
    // The list is recounted after each library update, stopped when the
    // session closes, and acts on "vorn:download:<id>" links.
    void onLibraryUpdated() override { refreshList(); }
    bool openLink(const KvoVornLink& link) override;
    void onSessionClosing() override { stopAll(); }

    int stateOf() const { return m_sortMode; }
    QMap<int, KvoSoftware> statusOf() const { return m_softwares; }
    // Recounts the purchases that miss a video and updates the counter; the
    // list itself changes at the next onShow().
    void refreshList();
    // Takes an entry off the list (its course was opened).
    void removeJob(KvoDownloadJob* job);
    // Stops every download (the main window closes).
    void stopAll();
    // A "vorn:download:<id>" link: queues the listed purchase, plays a
    // purchase already on disk, or says that it is not in the list.
    void playVideo(uint purchaseId);
    // Sorts the page newest first and refreshes the library.
    static void clickRefresh();

    // --- for the main window and tests
    // The number of purchases that miss a video, as last counted.
    int missingCount() const { return int(m_missing.size()); }
    // The job of a listed purchase (made now when it has none yet); null
    // when the purchase is not listed.
    KvoDownloadJob* entryFor(uint purchaseId);
    // Every listed job in display order (makes them all).
    QList<KvoDownloadJob*> sortedEntries();
    // The listed purchases in display order.
    QList<int> sortedIds() const { return m_sorted; }
    // The row on screen for a listed purchase; null when its list page is
    // not the current one.
    KvoDownloadWidget* rowFor(uint purchaseId) const;
    // The rows on screen, top to bottom (child rows included).
    QList<KvoDownloadWidget*> visibleRows() const;
    KvoPaginationWidget* pagination() const { return m_pagination; }
    // The text of the last-update label for a synchronisation at stamp
    // (epoch seconds, 0 for never) seen at now.
    static QString lastUpdateText(qint64 stamp, qint64 now);
    // The purchases of a library that miss a video file.
    static QSet<int> purchasesMissingVideos(const QMap<int, KvoPurchase>& purchases,
                                            const QHash<uint, QString>& gone = {});
    // Whether one of the purchase's videos has no local file: none recorded,
    // or the recorded one was found gone (file id -> that path).
    static bool missesVideo(const KvoPurchase& purchase, const QHash<uint, QString>& gone = {});

signals:
    void onChangePage(const QString& key, bool addToHistory);
    void onChangePageRequest(const KvoPageRequest& request);

private slots:
    void onClickRefresh();
    void onUpdateStarted();
    void onUpdateEnded();
    void refreshLastUpdate();
    void onConnectionStateChanged(bool connected);
    void onClickSupport();
    void changePage(int first, int last);
    void relayout();
    void sort();
    void onDownloadAllClicked();
    void onSessionExpired();

public slots:
    void showNoConnectionDialog();

private:
    void notifyCounter(int count);
    // The purchases that miss a video, walked through only when the
    // library or the gone files changed since the last walk.
    QSet<int> missingNow(const QMap<int, KvoPurchase>& purchases);
    void remember(const QMap<int, KvoPurchase>& purchases, const QSet<int>& missing);
    // The list taken from the library: the counter, and the list rebuilt
    // when the set of purchases missing a video changed.
    void applyLibrary(const QMap<int, KvoPurchase>& purchases);
    // A look at the disk ended: files deleted outside the client.
    void onFilesChecked(const QHash<uint, QString>& gone);
    // Makes a course's rows again for the videos it misses now, keeping it
    // expanded; put off while the course downloads or shows a failure.
    void rearmEntry(KvoDownloadJob* job, const KvoPurchase& purchase);
    // A run of the course ended: the rows put off follow the disk now,
    // unless another transfer or a failure keeps them.
    void rearmWhenIdle(uint purchaseId);
    // Drops the course's files that are back on disk from those found gone.
    void forgetFilesBack(const KvoPurchase& purchase);
    // One purchase recounted (a job ended): no walk through the library.
    void onJobEnded(uint purchaseId);
    KvoDownloadJob* makeJob(DWidget& entry, const KvoPurchase& purchase);
    void onDownloadFinished(const QString& title, int softwareId, int videoId);
    void applyFonts();
    void setRefreshEnabled(bool enabled);

    static KvoPageDownloads* s_page;

    int m_sortMode = 1;
    // Purchases missing a video at the last rebuild of the list; the list is
    // rebuilt whenever this set changes, not only its size.
    QSet<int> m_missing;
    // Purchases missing a video as the counter last showed them.
    QSet<int> m_counted;
    bool m_built = false;
    bool m_connected = false;
    QWidget* m_parentPage;
    Ui::KvoPageDownloads* ui;
    QHash<int, DWidget> m_entries;
    QList<int> m_sorted;
    // The rows, reused from one list page to the next.
    QList<KvoDownloadWidget*> m_rows;
    int m_first = 0;
    int m_last = -1;
    QTimer m_timer;
    QPointer<KvoDialog> m_noConnectionDialog;
    KvoLoadingFrame* m_loadingFrame = nullptr;
    KvoPaginationWidget* m_pagination = nullptr;
    QMap<int, KvoSoftware> m_softwares;
    // Whether each recorded file is still on disk is looked at away from
    // the GUI thread, when the page is shown and on "Actualiser"; until the
    // answer comes, a recorded path counts as on disk.
    KvoStoredFileCheck* m_fileCheck = nullptr;
    QHash<uint, QString> m_gone;
    // Courses whose rows wait for their transfers to end (or for the user
    // to act on a failure) before they follow the disk.
    QSet<int> m_rearmLater;
    // The last walk through the library: what it walked and found.
    bool m_walked = false;
    QMap<int, KvoPurchase> m_walkedLibrary;
    QHash<uint, QString> m_walkedGone;
    QSet<int> m_walkedMissing;
};
