#include "KvoPurchaser.h"
#include "ui_KvoPurchaser.h"
#include "ui_UIConnection.h"

#include "KvoApi.h"
#include "KvoDialog.h"
#include "KvoDoubleClickGuard.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoPromotionTimer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoValueReader.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QVariant>

namespace {

const char* const BuyPath = "/0.1/playerBuy/";

} // namespace

KvoPurchaser::KvoPurchaser(QWidget* parent)
    : QObject(parent)
    , ui(std::make_unique<Ui_KvoPurchaser>())
{
    m_dialog = new KvoDialog(parent, Qt::Dialog | Qt::FramelessWindowHint);
    m_dialog->setObjectName(QStringLiteral("purchaseDialog"));
    m_dialog->setDimmedWidget(parent);
    auto* content = new QWidget;
    ui->setupUi(content);
    m_loadingArea = new QWidget(content);
    m_loadingArea->setFixedHeight(120);
    m_loadingArea->setStyleSheet(QStringLiteral("background-color: transparent;"));
    m_loadingArea->hide();
    ui->verticalLayout->addWidget(m_loadingArea);
    m_dialog->addWidget(content);
    // The error panel shows the service's own refusal text: as text, so
    // that nothing in it is read as markup or loads what it names.
    ui->label_error->setTextFormat(Qt::PlainText);
    m_loadingFrame = new KvoLoadingFrame(m_dialog);
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &KvoPurchaser::onDeadline);
    m_promotionEnd = new KvoPromotionTimer(this);
    connect(m_promotionEnd, &KvoPromotionTimer::ended, this, &KvoPurchaser::onPromotionEnded);

    connect(ui->button_cancel, &QPushButton::clicked, this, &KvoPurchaser::onClickCancel);
    connect(ui->button_close, &QPushButton::clicked, this, &KvoPurchaser::onClickCancel);
    connect(ui->button_confirm, &QPushButton::clicked, this, &KvoPurchaser::onClickConfirm);
    connect(ui->buy_credits, &QPushButton::clicked, this, &KvoPurchaser::onClickBuyCredits);
    KvoDoubleClickGuard::actOnce(ui->buy_credits);
    connect(ui->button_download, &QPushButton::clicked, this, &KvoPurchaser::onClickDownload);
    // An expired session ends the main window: the dialog must not hold
    // the session's end up.
    connect(KvoPurchaseVideoManager::instance(), &KvoPurchaseVideoManager::sessionExpired, this,
            [this] {
                if (m_dialog && m_dialog->isVisible())
                    m_dialog->close();
            },
            Qt::QueuedConnection);
    setState(Loading);
}

KvoPurchaser::~KvoPurchaser()
{
    if (m_request) {
        m_request->blockSignals(true);
        m_request->abort();
    }
    // The dialog is a child of the parent window: without this each
    // purchase would leave one behind until the window goes.
    if (m_dialog) {
        if (m_dialog->isVisible())
            m_dialog->close();
        m_dialog->deleteLater();
    }
}

int KvoPurchaser::buy(const KvoPurchase& purchase)
{
    if (!KvoPurchaseVideoManager::instance()->isConnected()) {
        KvoDialog notice(KvoMainWindow::instance(), Qt::Dialog | Qt::FramelessWindowHint);
        notice.setObjectName(QStringLiteral("noConnectionDialog"));
        notice.setDimmedWidget(KvoMainWindow::instance());
        auto* content = new QWidget;
        Ui_UIConnection form;
        form.setupUi(content);
        notice.addWidget(content);
        return notice.showDialog(false, true);
    }
    if (!m_dialog || m_running)
        return KvoDialog::Cancel;
    m_running = true;
    setState(Loading);
    m_purchase = purchase;
    m_loadingFrame->start();
    requestCredits();
    QPointer<KvoPurchaser> self(this);
    QPointer<KvoDialog> dialog = m_dialog;
    const int result = dialog->showDialog(false, true);
    if (self)
        m_running = false;
    return result;
}

void KvoPurchaser::setState(int state)
{
    ui->credits->hide();
    ui->error->hide();
    ui->confirmation->hide();
    ui->purchased->hide();
    if (state >= NotEnoughCredits && state <= Success) {
        m_loadingArea->hide();
        QWidget* panels[] = {ui->credits, ui->error, ui->confirmation, ui->purchased};
        panels[state]->show();
        m_dialog->setExitButtonType(0);
    } else {
        m_loadingArea->show();
        m_dialog->setExitButtonType(2);
    }
    if (state != Confirm && state != NotEnoughCredits)
        m_promotionEnd->clear();
    m_state = state;
}

KvoHTTPRequest* KvoPurchaser::newRequest()
{
    if (m_request) {
        m_request->blockSignals(true);
        m_request->abort();
        m_request->deleteLater();
    }
    m_request = new KvoHTTPRequest(this);
    m_deadline->start(requestDeadline());
    return m_request;
}

int KvoPurchaser::requestDeadline()
{
    return qMax(1000, 2 * KvoHTTPRequest::transferTimeout());
}

void KvoPurchaser::onDeadline()
{
    if (m_state != Loading || !m_request)
        return;
    m_request->blockSignals(true);
    m_request->abort();
    if (m_purchaseSent)
        onPurchaseFailed(QNetworkReply::TimeoutError, QString());
    else
        onGetCreditsFailed(QNetworkReply::TimeoutError, QString());
}

void KvoPurchaser::requestCredits()
{
    m_purchaseSent = false;
    KvoHTTPRequest* request = newRequest();
    connect(request, &KvoHTTPRequest::successRequest, this, &KvoPurchaser::onGetCreditsSucceed);
    connect(request, &KvoHTTPRequest::errorRequest, this, &KvoPurchaser::onGetCreditsFailed);
    request->get(KvoApi::address(QLatin1String(BuyPath)));
}

void KvoPurchaser::requestPurchase()
{
    m_purchaseSent = true;
    KvoHTTPRequest* request = newRequest();
    connect(request, &KvoHTTPRequest::successRequest, this, &KvoPurchaser::onPurchaseSucceed);
    connect(request, &KvoHTTPRequest::errorRequest, this, &KvoPurchaser::onPurchaseFailed);
    request->get(KvoApi::address(QLatin1String(BuyPath),
                                 {{QStringLiteral("vorn_id"), QString::number(m_purchase.id)}}));
}

qint64 KvoPurchaser::creditsOf(const QString& answer)
{
    KvoJsonResult json;
    json.parse(answer);
    // A number the service sends as text counts as well; anything else is 0.
    return KvoValueReader::toInt(json.value(QStringLiteral("user_credits")), 0);
}

bool KvoPurchaser::creditsSuffice(qint64 credits, uint price)
{
    return credits >= 0 && credits >= qint64(price);
}

QString KvoPurchaser::remainingText(qint64 remaining)
{
    const QString format = remaining >= 2 ? tr("%0 crédits") : tr("%0 crédit");
    return format.arg(remaining, 0);
}

void KvoPurchaser::adjust()
{
    if (!m_dialog)
        return;
    m_dialog->adjustSize();
    m_dialog->repaint();
}

void KvoPurchaser::onGetCreditsSucceed(const QString& answer)
{
    m_deadline->stop();
    if (m_request)
        m_request->deleteLater();
    m_credits = creditsOf(answer);
    m_loadingFrame->stop();
    showOffer();
}

void KvoPurchaser::showOffer()
{
    // The course may come from a list fetched before its promotion ended:
    // the service charges the price of the purchase's moment, so the
    // decision and the promise use it too.
    m_offeredPrice = m_purchase.priceAt(QDateTime::currentSecsSinceEpoch());
    setState(creditsSuffice(m_credits, m_offeredPrice) ? Confirm : NotEnoughCredits);
    ui->label_credits->setText(remainingText(m_credits - qint64(m_offeredPrice)));
    m_promotionEnd->clear();
    m_promotionEnd->watch(m_purchase);
    adjust();
}

void KvoPurchaser::onPromotionEnded()
{
    if (m_state == Confirm || m_state == NotEnoughCredits)
        showOffer();
}

void KvoPurchaser::showError(const QString& message)
{
    m_loadingFrame->stop();
    ui->label_error->setText(message);
    setState(Error);
    adjust();
}

void KvoPurchaser::onGetCreditsFailed(QNetworkReply::NetworkError, const QString&)
{
    m_deadline->stop();
    if (m_request)
        m_request->deleteLater();
    showError(tr("Une erreur réseau est survenue, veuillez réessayer ultérieurement."));
}

void KvoPurchaser::onPurchaseSucceed(const QString& answer)
{
    m_deadline->stop();
    if (m_request)
        m_request->deleteLater();
    m_loadingFrame->stop();
    KvoJsonResult json;
    if (!json.parse(answer)) {
        // The purchase may have gone through before the answer broke:
        // the library is asked again, so a course that was bought shows
        // as owned instead of being bought a second time.
        KvoPurchaseVideoManager::instance()->update();
        showError(tr("La réponse du service est illisible : l'achat n'a peut-être pas abouti. "
                     "Vérifiez votre bibliothèque avant de réessayer."));
        return;
    }
    // Whatever the answer, the library and the account's credits are read
    // again: the service is what tells whether anything was paid.
    KvoPurchaseVideoManager::instance()->update();
    // Only an explicit "OK" is a purchase: a refusal, an empty object or
    // an answer of another shape is shown as what it is, never as a success.
    const QVariant status = json.value(QStringLiteral("status"));
    if (status.typeId() != QMetaType::QString || status.toString() != QLatin1String("OK")) {
        QString message = KvoValueReader::toText(json.value(QStringLiteral("error_mssg")));
        if (message.trimmed().isEmpty())
            message = tr("Vidéo indisponible a la vente");
        showError(message);
        return;
    }
    setState(Success);
    adjust();
    const KvoPurchase bought = m_purchase;
    emit purchased(bought);
}

void KvoPurchaser::onPurchaseFailed(QNetworkReply::NetworkError, const QString&)
{
    m_deadline->stop();
    if (m_request)
        m_request->deleteLater();
    // The service may have taken the purchase before the answer was lost:
    // the library is asked again, so the course shows as owned rather than
    // being bought a second time.
    KvoPurchaseVideoManager::instance()->update();
    showError(tr("Une erreur réseau est survenue, veuillez réessayer ultérieurement."));
}

void KvoPurchaser::onClickCancel()
{
    if (m_dialog)
        m_dialog->close();
}

void KvoPurchaser::onClickConfirm()
{
    // One purchase per confirmation: a second click while it runs sends
    // nothing more.
    if (m_state != Confirm)
        return;
    // The promotion may have ended since the offer showed, its timer not
    // having fired yet (a busy machine, a clock set forward): the price
    // confirmed must be the one charged.
    if (m_purchase.priceAt(QDateTime::currentSecsSinceEpoch()) != m_offeredPrice) {
        showOffer();
        return;
    }
    setState(Loading);
    m_loadingFrame->start();
    requestPurchase();
}

void KvoPurchaser::onClickBuyCredits()
{
    const QUrl url(KvoEnvironment::creditsUrl());
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        QDesktopServices::openUrl(url);
}

void KvoPurchaser::onClickDownload()
{
    if (m_dialog)
        m_dialog->close();
    emit gotoPageDownloads();
}
