#pragma once

#include "KvoDialog.h"
#include "KvoHTTPRequest.h"
#include "KvoPurchase.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class KvoLoadingFrame;
class KvoPromotionTimer;
class QTimer;
class QWidget;
class Ui_KvoPurchaser;

// Buys one course with the credits of the signed-in account, in one small
// modal dialog whose content switches between five states: not enough
// credits (with the web page where credits are bought), error, confirm,
// success (with the way to the downloads) and loading. buy() asks the
// service for the account's credits, lets the user confirm, sends the
// purchase, starts an immediate synchronisation so the bought course
// reaches the library, and returns when the dialog closes.
//
// The offer (the confirm or the not-enough-credits state, with what the
// credits leave) holds the price of its moment. When the course's
// promotion ends while it shows, it is worked out again from the same
// credits; and a confirmation given against a price that is no longer the
// course's buys nothing: the new offer shows, for a confirmation of its own.
//
// The loading state's dialog cannot be closed, so each request has a
// deadline besides the client's transfer time-out (which a service sending
// a byte now and then never reaches): the loading state always ends, in the
// error state at worst. The dialog belongs to the purchaser and goes with
// it.
class KvoPurchaser : public QObject
{
    Q_OBJECT

public:
    enum State { NotEnoughCredits = 0, Error = 1, Confirm = 2, Success = 3, Loading = 4 };

    explicit KvoPurchaser(QWidget* parent);
    ~KvoPurchaser() override;

    // Runs the whole purchase; returns the dialog's result when it closes.
    // Offline, shows the no-connection notice instead and sends nothing.
    int buy(const KvoPurchase& purchase);

    int state() const { return m_state; }
    KvoDialog* dialog() const { return m_dialog; }
    const KvoPurchase& purchase() const { return m_purchase; }
    Ui_KvoPurchaser* form() const { return ui.get(); }

    // The credits an answer of the service gives (0 for none or for an
    // answer that is no JSON object), and whether they pay the price:
    // compared as signed numbers, so a negative balance never does.
    static qint64 creditsOf(const QString& answer);
    static bool creditsSuffice(qint64 credits, uint price);
    // "il vous restera" … "%0 crédit" or "%0 crédits".
    static QString remainingText(qint64 remaining);
    // How long one request may take in all: twice the transfer time-out.
    static int requestDeadline();

signals:
    void purchased(const KvoVorn& purchase);
    void gotoPageDownloads();

private slots:
    void onGetCreditsSucceed(const QString& answer);
    void onGetCreditsFailed(QNetworkReply::NetworkError error, const QString& text);
    void onPurchaseSucceed(const QString& answer);
    void onPurchaseFailed(QNetworkReply::NetworkError error, const QString& text);
    void onClickCancel();
    void onClickConfirm();
    void onClickBuyCredits();
    void onClickDownload();

private:
    void setState(int state);
    void requestCredits();
    void requestPurchase();
    KvoHTTPRequest* newRequest();
    void showError(const QString& message);
    // The confirm or not-enough-credits state for the price of now.
    void showOffer();
    void onPromotionEnded();
    void adjust();
    void onDeadline();

    int m_state = Loading;
    QPointer<KvoDialog> m_dialog;
    KvoLoadingFrame* m_loadingFrame = nullptr;
    QWidget* m_loadingArea = nullptr;
    std::unique_ptr<Ui_KvoPurchaser> ui;
    KvoPurchase m_purchase;
    QPointer<KvoHTTPRequest> m_request;
    QTimer* m_deadline = nullptr;
    KvoPromotionTimer* m_promotionEnd = nullptr;
    // The credits the service gave, and the price the offer shown holds.
    qint64 m_credits = 0;
    uint m_offeredPrice = 0;
    bool m_purchaseSent = false; // the running request is the purchase
    bool m_running = false;
};
