#pragma once

#include "KvoHTTPRequest.h"
#include "KvoLoadingFrame.h"
#include "KvoPurchase.h"
#include "KvoPurchaser.h"

#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>

class KvoPromotionTimer;
class KvoTopItem;
class QLayout;
class Ui_KvoPageTopMonth;

// The base of the pages that show one list of courses chosen by the web
// service: top of the month ("top"), the user's favourites ("fave"), news
// ("new") and promotions ("promo"). It fetches the list, keeps the last
// readable answer of each list in the table `tops` so that the list shows
// offline, and decides when the busy overlay, the empty state or the rows
// show. The rows call back into it to preview, buy and remove a course.
//
// While the page shows, a row whose promotion ends switches to the full
// price at the end, through one timer set at the next end among the rows;
// a hidden page has none, its show hook brings the prices up to date.
//
// Rows may be rebuilt while one of their own click handlers waits in a
// modal dialog (a purchase, a confirmation): rows are hidden and deleted
// later, and the handlers copy what they need before they call the page.
class KvoPageTops : public QWidget
{
    Q_OBJECT

public:
    KvoPageTops(const QString& listName, QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageTops() override;

    virtual void updatePurchase(const KvoPurchase& purchase);
    virtual void gotoDownloadsPage();
    virtual void refresh();
    virtual void showLoading();
    virtual void hideLoading();
    virtual void showEmptyList() = 0;
    virtual void hideEmptyList() = 0;
    virtual void populate() = 0;
    virtual void playPreview(const KvoPurchase& purchase);
    virtual void buy(const KvoPurchase& purchase);
    virtual void removePurchase(const KvoPurchase& purchase);

    // Takes every item out of the layout; widgets are hidden at once and
    // deleted later.
    static void clearLayout(QLayout* layout);

    // The most courses kept from one list: more than anyone pages through.
    static constexpr int MaxRows = 1000;
    // The longest list answer read, in bytes; a longer one is unreadable.
    static constexpr qint64 MaxAnswerBytes = 2 * 1024 * 1024;

    // The courses of a list answer, the first MaxRows of them (a cut is
    // logged): false when the text is no JSON object holding a list under
    // "vorns" (elements that are no maps are skipped).
    static bool parseList(const QString& text, QList<KvoPurchase>* courses);

    const QList<KvoPurchase>& purchases() const { return m_purchases; }
    const QMap<uint, KvoPurchase>& bought() const { return m_bought; }
    QString listName() const { return m_listName; }
    bool isFetched() const { return m_fetched; }
    bool rowsBuilt() const { return m_rowsBuilt; }
    // The list is asked for, or its answer is being read.
    bool isFetching() const;
    // Rows of the list still to be built.
    bool isBuilding() const { return m_pendingRows > 0; }
    KvoLoadingFrame* loadingFrame() const { return m_loadingFrame; }
    KvoPurchaser* purchaser() const { return m_purchaser; }
    const KvoPromotionTimer* promotionTimer() const { return m_promotionEnds; }
    QWidget* noConnectionPanel() const { return m_noConnection; }
    // The rows of a layout, in order.
    static QList<KvoTopItem*> rowsOf(QLayout* layout);

protected:
    // Whether the list on screen stays while the list is fetched again
    // (the favourites, fetched at every show); otherwise it is dropped
    // before the request.
    virtual bool keepsListWhileFetching() const { return false; }
    // The last request failed, or its answer could not be read, and the
    // user removed no course from the list since.
    bool lastFetchFailed() const { return m_lastFetchFailed; }

    // Gives each row its variant; the index counts from the first course
    // handed to buildRows().
    using Variant = std::function<void(KvoTopItem* row, int index)>;
    // Appends a row per course to the layout, each with its variant and,
    // when the course was bought here or is in the library, the owned
    // state. The rows a screen holds are built at once, the others in
    // batches from the event loop, so a long list shows without a wait.
    void buildRows(QLayout* layout, const QList<KvoPurchase>& courses, const Variant& variant);
    // Removes the rows (and stops building those still to come).
    void clearRows(QLayout* layout);
    // Brings the built rows up to date without a request: each row whose
    // course was bought here or reached the library since the row was
    // built switches to the owned state, and the others show their prices
    // as they stand now (a promotion may have ended since the list came).
    // The promotion timer is set anew for the rows' next end.
    void updateRows();

    // The form the four list pages share, set up on the page with the
    // no-connection panel centred in it and the empty state hidden.
    void setupListForm(Ui_KvoPageTopMonth* form);
    // The no-connection panel (with the space above it) shown or hidden.
    void showPanel(Ui_KvoPageTopMonth* form, bool shown);

    void setFetched(bool fetched) { m_fetched = fetched; }
    QList<KvoPurchase>& purchasesRef() { return m_purchases; }

private slots:
    void onUpdateSucceeded(const QString& answer);
    void onUpdateFailed(QNetworkReply::NetworkError error, const QString& text);
    void slotPurchased(const KvoVorn& purchase);
    void slotGotoPageDownload();

private:
    void loadCache();
    void storeCache(const QString& json);
    void sendRequest();
    void dropRequest();
    // The end of a fetch whose answer was read (courses empty when it was
    // unreadable).
    void onListRead(const QString& answer, bool readable, QList<KvoPurchase> courses);
    void showHeldList();
    // Whether the course shows as owned: bought here, or one of the
    // library's courses (ids, sorted).
    bool isOwned(uint courseId, const QList<int>& library) const;
    void buildBatch(QLayout* layout, const QList<KvoPurchase>& courses, int from, const Variant& variant,
                    quint64 generation);

    QList<KvoPurchase> m_purchases;
    QMap<uint, KvoPurchase> m_bought;
    QString m_listName;
    QPointer<KvoLoadingFrame> m_loadingFrame;
    bool m_fetched = false;
    bool m_rowsBuilt = false;
    bool m_lastFetchFailed = false;
    QPointer<KvoHTTPRequest> m_request;
    // An answer is read on a worker thread; its generation tells whether
    // it is still wanted.
    bool m_reading = false;
    quint64 m_readGeneration = 0;
    QWidget* m_noConnection = nullptr;
    // The layout of the rows, once the page set up its form.
    QLayout* m_rowsLayout = nullptr;
    QPointer<KvoPurchaser> m_purchaser;
    KvoPromotionTimer* m_promotionEnds = nullptr;
    bool m_buying = false;
    quint64 m_buildGeneration = 0;
    int m_pendingRows = 0;
    // Courses removed while a fetch runs: its answer may still list them.
    QSet<uint> m_removedWhileFetching;
};
