#pragma once

#include "KvoAsyncImage.h"
#include "KvoPurchase.h"

#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class KvoButton;
class KvoPageTops;
class KvoStarMarkWidget;
class QLabel;
class Ui_KvoSearchItem;

// One row of a top-list page: a course of the web list with its picture,
// title, software names, rating, prices and buttons, completed by one of
// four variants: top of the month (place badge, sales), news (tag on the
// picture), favourites (tag and "Retirer") and promotions ("PROMO" and a
// countdown). Preview, buy and removal go through the row's page.
//
// The page may rebuild its rows while a click of this row waits in a modal
// dialog (the removal's confirmation, a purchase): the handlers copy what
// they need first and touch the row no more once the row may be gone.
class KvoTopItem : public QWidget
{
    Q_OBJECT

public:
    // Paints a tag image over the picture, at its own size, on the picture's
    // bottom-left corner.
    class DrawingPlugin : public KvoAsyncImage::DrawingPlugin
    {
    public:
        explicit DrawingPlugin(const QString& tagPath);
        void draw(QPixmap& pixmap) override;
        QString tagPath() const { return m_tagPath; }

    private:
        QString m_tagPath;
    };

    KvoTopItem(const KvoPurchase& course, KvoPageTops* page, QWidget* parent);
    ~KvoTopItem() override;

    void setupTopMonth(int position);
    void setupNews();
    void setupFavourite();
    void setupPromo();

    void showOwned();
    bool isOwned() const { return m_owned; }
    // The row's prices as they stand at `now`, seconds since the epoch (an
    // owned row keeps its mark).
    void showPrices(qint64 now);
    // The countdown of a promotion row; the row hides itself once the
    // promotion has ended.
    void setTimeLeft();
    void setTimeLeft(qint64 now);
    // The promotion of the row has ended (the row hid itself).
    bool hasEnded() const { return m_ended; }

    // "Gratuit", "1 crédit", "N crédits".
    static QString priceText(uint price);
    // The countdown for r seconds left; empty when the promotion has ended.
    static QString timeLeftText(qint64 secondsLeft);

    const KvoPurchase& course() const { return m_course; }
    Ui_KvoSearchItem* form() const { return ui.get(); }
    KvoAsyncImage* thumbnail() const { return m_thumbnail; }
    KvoStarMarkWidget* starMarkWidget() const { return m_stars; }
    QLabel* countdownLabel() const { return m_countdown; }
    QLabel* salesLabel() const { return m_sales; }
    KvoButton* removeButton() const { return m_remove; }
    QWidget* positionBadge() const { return m_badge; }

public slots:
    void playPreview();
    void removeItem();

private slots:
    void onClickRemove();
    void onCLickDownload();
    void onClickTitle();
    void onUpdateFailed(QNetworkReply::NetworkError error, const QString& text);

private:
    void addThumbnail(int marginLeft);
    void addStars();
    QWidget* sideColumn();

    std::unique_ptr<Ui_KvoSearchItem> ui;
    KvoPurchase m_course;
    QPointer<KvoPageTops> m_page;
    QLabel* m_countdown = nullptr;
    QLabel* m_sales = nullptr;
    KvoAsyncImage* m_thumbnail = nullptr;
    KvoStarMarkWidget* m_stars = nullptr;
    KvoButton* m_remove = nullptr;
    QWidget* m_badge = nullptr;
    bool m_ended = false;
    bool m_owned = false;
};
