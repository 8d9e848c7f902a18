#include "KvoSearchItem.h"
#include "ui_KvoSearchItem.h"

#include "KvoAsyncImage.h"
#include "KvoButtonText.h"
#include "KvoDoubleClickGuard.h"
#include "KvoFont.h"
#include "KvoMainWindow.h"
#include "KvoPageSearch.h"
#include "KvoProgressWidget.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStarMarkWidget.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QUrl>

KvoSearchItem::KvoSearchItem(KvoPageSearch* page, QWidget* parent, const KvoPurchase& course)
    : QWidget(parent)
    , ui(std::make_unique<Ui_KvoSearchItem>())
    , m_course(course)
    , m_page(page)
{
    m_thumbnail = new KvoAsyncImage(this);
    m_thumbnail->setFixedSize(157, 71);
    m_thumbnail->setFocusPolicy(Qt::NoFocus);
    m_thumbnail->setStyleSheet(QStringLiteral(
        "background-color: transparent; border-image: url(:/KvoMainWindow/Resources/defaut.jpg);"));
    ui->setupUi(this);
    ui->title->setFont(KvoFont::arial(12, QFont::Bold));
    ui->softwares->setFont(KvoFont::arial(12));
    ui->previous_price->setFont(KvoFont::arial(12, QFont::Bold));
    ui->credits->setFont(KvoFont::arial(14, QFont::Bold));
    // The price column is 100 pixels wide inside its margin: the button
    // texts take the small size so they fit whole.
    ui->download->setFont(KvoFont::arial(10));
    ui->purchased->setFont(KvoFont::arial(10));
    ui->horizontalLayout->insertWidget(0, m_thumbnail);
    m_thumbnail->setIconSize(m_thumbnail->size());
    m_thumbnail->setUrl(m_course.thumbnail);

    showPrices(QDateTime::currentSecsSinceEpoch());

    // A title the service left out shows as an empty line rather than a
    // placeholder.
    ui->title->setText(KvoButtonText::fromService(m_course.title));
    ui->softwares->setText(KvoButtonText::fromService(m_course.softwares));
    ui->purchased->hide();

    connect(ui->play, &QPushButton::clicked, this, &KvoSearchItem::onClickPreview);
    connect(ui->download, &QPushButton::clicked, this, &KvoSearchItem::onClickDownload);
}

KvoSearchItem::~KvoSearchItem() = default;

QString KvoSearchItem::priceText(uint price)
{
    if (price == 1)
        return tr("1 crédit");
    if (price == 0)
        return tr("Gratuit");
    return tr("%0 crédits").replace(QLatin1String("%0"), QString::number(price));
}

void KvoSearchItem::showPrices(Ui_KvoSearchItem* form, const KvoPurchase& course, qint64 now)
{
    const uint previous = course.previousPriceAt(now);
    if (previous != 0) {
        form->previous_price->setText(priceText(previous));
        form->previous_price->show();
    } else {
        form->previous_price->hide();
    }
    form->credits->setText(priceText(course.priceAt(now)));
}

void KvoSearchItem::showPrices(qint64 now)
{
    if (!m_owned)
        showPrices(ui.get(), m_course, now);
}

int KvoSearchItem::progressOf(const KvoPurchase& course)
{
    if (course.files.isEmpty())
        return 0;
    qint64 sum = 0;
    for (const KvoVideoFile& file : course.files)
        sum += file.alreadySeen;
    return int(sum / course.files.size());
}

uint KvoSearchItem::firstPlayableFile(const KvoPurchase& course)
{
    for (auto it = course.files.cbegin(); it != course.files.cend(); ++it)
        if (!it.value().KvoPath.isEmpty() && !it.value().hidden)
            return uint(it.key());
    return 0;
}

bool KvoSearchItem::isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void KvoSearchItem::connectGoToUrl()
{
    ui->downloadWidget->show();
    ui->extraitWidget->show();
    m_stars = new KvoStarMarkWidget(this);
    ui->vornLayout->insertWidget(2, m_stars);
    m_stars->show();
    m_stars->setMark(int(qMin(m_course.rating, 5u)));
    ui->title->setCursor(Qt::PointingHandCursor);
    m_thumbnail->setCursor(Qt::PointingHandCursor);
    connect(ui->title, &QPushButton::clicked, this, &KvoSearchItem::goToUrl);
    connect(m_thumbnail, &QAbstractButton::clicked, this, &KvoSearchItem::goToUrl);
    KvoDoubleClickGuard::actOnce(ui->title);
    KvoDoubleClickGuard::actOnce(m_thumbnail);
}

void KvoSearchItem::connectGoToVideo()
{
    ui->downloadWidget->hide();
    ui->extraitWidget->hide();
    m_progress = new KvoProgressWidget(this);
    m_progress->setProgress(progressOf(m_course));
    ui->vornLayout->insertWidget(2, m_progress);
    ui->title->setCursor(Qt::PointingHandCursor);
    m_thumbnail->setCursor(Qt::PointingHandCursor);
    connect(ui->title, &QPushButton::clicked, this, &KvoSearchItem::goToVideo);
    connect(m_thumbnail, &QAbstractButton::clicked, this, &KvoSearchItem::goToVideo);
}

void KvoSearchItem::showOwned()
{
    m_owned = true;
    ui->purchased->show();
    ui->previous_price->hide();
    ui->credits->hide();
    ui->download->hide();
}

void KvoSearchItem::goToUrl()
{
    const QUrl url(m_course.url);
    if (isWebAddress(url))
        QDesktopServices::openUrl(url);
}

void KvoSearchItem::goToVideo()
{
    // A course without software or without a video to play opens nothing.
    const uint fileId = firstPlayableFile(m_course);
    if (m_course.softwareIDs.isEmpty() || fileId == 0 || !m_page)
        return;
    const uint softwareId = m_course.softwareIDs.first();
    const QString key = QStringLiteral("detail_software_") + QString::number(softwareId);
    // The switches below may rebuild the search page: copy what is needed.
    QPointer<KvoPageSearch> page = m_page;
    // The software's page first, unrecorded, so the player sits under it in
    // the breadcrumb; the window builds it when needed.
    page->goToPage(key, false);
    QWidget* software = nullptr;
    if (KvoMainWindow* window = KvoMainWindow::instance())
        software = window->pages().value(key).first;
    if (page)
        page->goToRequest(KvoPageRequest::player(softwareId, software, fileId));
}

void KvoSearchItem::onClickPreview()
{
    if (m_page)
        m_page->playPreview(m_course.preview_uri, m_course.width, m_course.height);
}

void KvoSearchItem::onClickDownload()
{
    // The purchase runs in a modal dialog during which the page rebuilds
    // its rows, this one included: nothing of the row is read after the
    // call.
    QPointer<KvoPageSearch> page = m_page;
    if (!page)
        return;
    if (!KvoPurchaseVideoManager::instance()->isConnected()) {
        page->showNoConnection();
        return;
    }
    // The dialog asks the price of this moment: the row says the same.
    showPrices(QDateTime::currentSecsSinceEpoch());
    const KvoPurchase course = m_course;
    page->buy(course);
}
