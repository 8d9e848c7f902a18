#pragma once

#include "IKvoPage.h"
#include "KvoPageRequest.h"
#include "KvoSoftware.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class KvoDialog;
class KvoDownloadJob;
class KvoDownloadList;
class KvoDownloadWidget;
class KvoLoadingFrame;
class KvoPaginationWidget;
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
// What is listed, and the state of each row, is the downloads list
// (KvoDownloadList), which follows the library; the page shows it. Rows
// (KvoDownloadWidget) exist only for the list page on screen, so a library
// of any size opens at once.
class KvoPageDownloads : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    static constexpr int ItemsPerPage = 15;
    static constexpr int LastUpdateInterval = 5000; // ms

    explicit KvoPageDownloads(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageDownloads() override;

    // The downloads page of the process (null before one is made).
    static KvoPageDownloads* instance();

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;
    // The list follows each library update on its own; it is stopped when
    // the session closes, and acts on "vorn:download:<id>" links.
    bool openLink(const KvoVornLink& link) override;
    void onSessionClosing() override { stopAll(); }
    void onSessionRefused() override { onSessionExpired(); }

    int stateOf() const;
    QMap<int, KvoSoftware> statusOf() const { return m_softwares; }
    // Brings the counter and the rows of listed courses in line with the
    // library now; courses join the list at the next onShow().
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
    // The number of purchases that missed a video at the last rebuild of
    // the list.
    int countAtLastRebuild() const;
    // The job of a listed purchase (made now when it has none yet); null
    // when the purchase is not listed.
    KvoDownloadJob* entryFor(uint purchaseId);
    // Every listed job in display order (makes them all).
    QList<KvoDownloadJob*> sortedEntries();
    // The listed purchases in display order.
    QList<int> sortedIds() const;
    // The row on screen for a listed purchase; null when its list page is
    // not the current one.
    KvoDownloadWidget* rowFor(uint purchaseId) const;
    // The rows on screen, top to bottom (child rows included).
    QList<KvoDownloadWidget*> visibleRows() const;
    KvoPaginationWidget* pagination() const { return m_pagination; }
    KvoDownloadList* list() const { return m_list; }
    // The text of the last-update label for a synchronisation at stamp
    // (epoch seconds, 0 for never) seen at now.
    static QString lastUpdateText(qint64 stamp, qint64 now);

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
    // Courses joined or left the list: the "none" line, the pages, the order.
    void onListChanged();
    // A look at the disk ended: files deleted outside the client.
    void onFilesChecked(const QHash<uint, QString>& gone);
    void onDownloadFinished(const QString& title, int softwareId, int videoId);
    void applyFonts();
    void setRefreshEnabled(bool enabled);

    static KvoPageDownloads* s_page;

    QWidget* m_parentPage;
    Ui::KvoPageDownloads* ui;
    KvoDownloadList* m_list = nullptr;
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
};
