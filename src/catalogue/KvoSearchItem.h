#pragma once

#include "KvoPurchase.h"

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class KvoAsyncImage;
class KvoPageSearch;
class KvoProgressWidget;
class KvoStarMarkWidget;
class Ui_KvoSearchItem;

// One row of the search page: a course of the catalogue (its web page, its
// preview, its price and the buy button, or the owned mark) or of the
// user's library (its watched progress; a click opens its first video).
//
// The row keeps a copy of its course and calls back into its page. The
// page may rebuild its rows while a click of this row waits in a modal
// dialog (a purchase), so a click handler copies what it needs before it
// calls the page and touches the row no more afterwards.
class KvoSearchItem : public QWidget
{
    Q_OBJECT

public:
    KvoSearchItem(KvoPageSearch* page, QWidget* parent, const KvoPurchase& course);
    ~KvoSearchItem() override;

    // A catalogue row: rating, preview and price; title and picture open
    // the course's web page.
    void connectGoToUrl();
    // A library row: the watched progress; title and picture open the
    // course's first video.
    void connectGoToVideo();
    // A catalogue row of a course the user owns.
    void showOwned();
    bool isOwned() const { return m_owned; }
    // The row's prices as they stand at `now`, seconds since the epoch (an
    // owned row keeps its mark).
    void showPrices(qint64 now);

    const KvoPurchase& course() const { return m_course; }
    Ui_KvoSearchItem* form() const { return ui.get(); }
    KvoProgressWidget* progressWidget() const { return m_progress; }
    KvoStarMarkWidget* starMarkWidget() const { return m_stars; }
    KvoAsyncImage* thumbnail() const { return m_thumbnail; }

    // The price as a row shows it: "Gratuit", "1 crédit", "N crédits".
    static QString priceText(uint price);
    // The price and the struck price before a promotion, on a row's form
    // (the rows of the lists share it), as they stand at `now`: a
    // promotion that has ended shows the full price alone.
    static void showPrices(Ui_KvoSearchItem* form, const KvoPurchase& course, qint64 now);
    // The mean watched percentage of all the course's files (0 without any).
    static int progressOf(const KvoPurchase& course);
    // The video a library row opens: the first file, in file-id order, that
    // is on the disk and not hidden; 0 when there is none.
    static uint firstPlayableFile(const KvoPurchase& course);
    // Whether the row may hand an address to the browser (http and https
    // only: anything else could start a program or open a local file).
    static bool isWebAddress(const QUrl& url);

public slots:
    void goToVideo();
    void goToUrl();

private slots:
    void onClickPreview();
    void onClickDownload();

private:
    std::unique_ptr<Ui_KvoSearchItem> ui;
    KvoProgressWidget* m_progress = nullptr;
    KvoStarMarkWidget* m_stars = nullptr;
    KvoPurchase m_course;
    KvoAsyncImage* m_thumbnail = nullptr;
    QPointer<KvoPageSearch> m_page;
    bool m_owned = false;
};
