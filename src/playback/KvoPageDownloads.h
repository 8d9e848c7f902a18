#pragma once

#include "IKvoPage.h"
#include "KvoPageRequest.h"
#include "KvoSoftware.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QTimer>
#include <QWidget>

class KvoDialog;
class KvoDownloadWidget;
class KvoLoadingFrame;
class KvoPaginationWidget;
class KvoPurchase;
class QLayout;

namespace Ui {
class KvoPageDownloads;
}

// The page "downloads" ("A télécharger"): one download entry per purchase
// of the library that still misses a video file, 15 per list page, sorted by
// date or by software name; "Tout télécharger", "Actualiser", the support
// link and the time of the last synchronisation. It also keeps the main
// window's downloads counter equal to the number of purchases missing a
// video, and opens the purchases that "vorn:download:<id>" links name.
class KvoPageDownloads : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    static constexpr int ItemsPerPage = 15;
    static constexpr int LastUpdateInterval = 5000; // ms

    // One entry of the sorted list, ordered by KvoDownloadWidget::lessThan.
    struct DWidget
    {
        KvoDownloadWidget* entry = nullptr;
        bool operator<(const DWidget& other) const;
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
    void insertWidget(QWidget* anchor, QWidget* widget, int offset);
    void removeWidget(KvoDownloadWidget* entry);
    // Stops every download (the main window closes).
    void stopAll();
    // A "vorn:download:<id>" link: queues the listed purchase, plays a
    // purchase already on disk, or says that it is not in the list.
    void playVideo(uint purchaseId);
    // Sorts the page newest first and refreshes the library.
    static void clickRefresh();

    // --- for the main window and tests
    // The number of purchases that miss a video, as last counted.
    int missingCount() const { return m_missing.size(); }
    KvoDownloadWidget* entryFor(uint purchaseId) const;
    QList<KvoDownloadWidget*> sortedEntries() const;
    KvoPaginationWidget* pagination() const { return m_pagination; }
    // The text of the last-update label for a synchronisation at stamp
    // (epoch seconds, 0 for never) seen at now.
    static QString lastUpdateText(qint64 stamp, qint64 now);
    // The purchases of a library that miss a video file.
    static QSet<int> purchasesMissingVideos(const QMap<int, KvoPurchase>& purchases);

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
    void clearLayout(QLayout* layout);
    void sort();
    void onDownloadAllClicked();
    void onSessionExpired();

public slots:
    void showNoConnectionDialog();

private:
    void notifyCounter(int count);
    void applyFonts();
    void setRefreshEnabled(bool enabled);

    static KvoPageDownloads* s_page;

    int m_sortMode = 1;
    // Purchases missing a video at the last rebuild of the list; the list is
    // rebuilt whenever this set changes, not only its size.
    QSet<int> m_missing;
    bool m_built = false;
    bool m_connected = false;
    QWidget* m_parentPage;
    Ui::KvoPageDownloads* ui;
    QMap<int, DWidget> m_entries;
    QList<DWidget> m_sorted;
    QTimer m_timer;
    KvoDialog* m_noConnectionDialog = nullptr;
    KvoLoadingFrame* m_loadingFrame = nullptr;
    KvoPaginationWidget* m_pagination = nullptr;
    QMap<int, KvoSoftware> m_softwares;
};
