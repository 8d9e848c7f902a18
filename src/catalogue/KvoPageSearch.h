#pragma once

#include "IKvoPage.h"
#include "KvoHTTPRequest.h"
#include "KvoLoadingFrame.h"
#include "KvoPageRequest.h"
#include "KvoPurchase.h"
#include "KvoPurchaser.h"
#include "KvoSearchPaging.h"

#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class KvoDialog;
class KvoOpacityAnimation;
class KvoPaginationWidget;
class KvoPromotionTimer;
class KvoSearchItem;
class QLayout;
class QTimer;
class Ui_KvoPageSearch;

// The page "search": the results of a text search, ten rows a page, first
// the courses of the user's library whose title holds every word ("Dans
// votre bibliothèque :"), then the catalogue's matches from the web service.
// The main window's search box starts it through newSearch(). The
// service's answers are kept by start offset for the time of one search, so
// going back to a page already seen costs no request. From a row the user
// opens a course's web page, previews it, buys it (one purchase dialog at
// a time) or opens a video of the library. While the page shows, a
// catalogue row whose promotion ends switches to the full price at the
// end, through one timer set at the next end among the rows on screen.
class KvoPageSearch : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    // One search, replaced by the next.
    struct Request
    {
        QString query;
        // The number of library matches until an answer of the service
        // gives its total.
        int count = 0;
        QList<KvoPurchase> lastServerResults;
        QList<KvoPurchase> libraryResults;
        // A valid answer arrived (count is then the service's total).
        bool answered = false;
        // The last request of this search failed: the same text may be
        // searched again.
        bool failed = false;
        // The pagination has its item count (first answer handled).
        bool paged = false;
    };

    // Plays a course's preview (address, width, height). Until the preview
    // player is connected here, a click on "voir extrait" does nothing.
    using PreviewHook = std::function<void(const QString& address, int width, int height)>;
    static void setPreviewHook(const PreviewHook& hook);

    KvoPageSearch(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageSearch() override;

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;
    void onLibraryUpdated() override;

    // What the rows call.
    void goToPage(const QString& page, bool history);
    // A switch that carries what the next page shows (the player's video).
    void goToRequest(const KvoPageRequest& request);
    void showNoConnection();
    void buy(const KvoPurchase& course);
    // Every catalogue page plays its previews through this one hook.
    static void playPreview(const QString& address, int width, int height);

    const Request* record() const { return m_record.get(); }
    const QMap<uint, QList<KvoPurchase>>& cache() const { return m_cache; }
    KvoPaginationWidget* pagination() const { return m_pagination; }
    KvoLoadingFrame* loadingFrame() const { return m_loadingFrame; }
    KvoPurchaser* purchaser() const { return m_purchaser; }
    const KvoPromotionTimer* promotionTimer() const { return m_promotionEnds; }
    KvoOpacityAnimation* animation() const { return m_animation; }
    bool isSearching() const;
    QList<KvoSearchItem*> localRows() const;
    QList<KvoSearchItem*> serverRows() const;
    Ui_KvoPageSearch* form() const { return ui.get(); }

signals:
    void onChangePage(const QString& key, bool addToHistory);
    void onChangePageRequest(const KvoPageRequest& request);

public slots:
    void newSearch(const QString& query);

private slots:
    void onErrorRequest(QNetworkReply::NetworkError error, const QString& text);
    void onSuccessRequest(const QString& answer);
    void changePage(int first, int last);
    void onDisplayFinished();
    void onPurchased(const KvoVorn& course);
    void onGotoPageDownload();

private:
    static PreviewHook& previewHook();

    // The rows made for one page of the current search. They are kept, out
    // of the layouts, while the search lives, so a page seen before shows
    // again without being rebuilt.
    struct PageRows
    {
        QList<QPointer<KvoSearchItem>> local;
        QList<QPointer<KvoSearchItem>> server;
    };
    static constexpr int KeptPages = 20;

    void search(int start, int limit);
    // Shows the current page; with reuseRows false its rows are made anew
    // (a new answer of the service).
    void display(bool reuseRows = true);
    PageRows makeRows();
    void dropRows();
    void showNoResult();
    // The catalogue rows on screen show their prices as they stand now; the
    // promotion timer is set anew for their next end.
    void showCurrentPrices();
    void endWaiting();
    void dropRequest();
    void onDeadline();
    static void takeRows(QLayout* layout);
    static void dropRows(PageRows& rows);
    static QList<KvoSearchItem*> rowsOf(QLayout* layout);

    std::unique_ptr<Ui_KvoPageSearch> ui;
    QPointer<KvoLoadingFrame> m_loadingFrame;
    QWidget* m_parentPage = nullptr;
    std::unique_ptr<Request> m_record;
    QPointer<KvoHTTPRequest> m_request;
    // Ends a search whose answer trickles in for ever (the transfer
    // time-out only catches a silent service).
    QTimer* m_deadline = nullptr;
    KvoPaginationWidget* m_pagination = nullptr;
    KvoOpacityAnimation* m_animation = nullptr;
    QMap<uint, QList<KvoPurchase>> m_cache;
    QMap<int, PageRows> m_rows; // by page number
    // The page of results on screen, -1 for none of this search.
    int m_shownPage = -1;
    int m_start = 0;
    // The page being shown or fetched.
    KvoSearchPaging::Slice m_slice;
    QPointer<KvoPurchaser> m_purchaser;
    KvoPromotionTimer* m_promotionEnds = nullptr;
    bool m_buying = false;
    QPointer<KvoDialog> m_noConnection;
};
