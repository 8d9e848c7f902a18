#include "KvoTopItem.h"
#include "ui_KvoSearchItem.h"
#include "ui_UIDeleteVideoDialog.h"

#include "KvoApi.h"
#include "KvoButton.h"
#include "KvoButtonText.h"
#include "KvoDialog.h"
#include "KvoDoubleClickGuard.h"
#include "KvoFont.h"
#include "KvoHTTPRequest.h"
#include "KvoMainWindow.h"
#include "KvoPageTops.h"
#include "KvoSearchItem.h"
#include "KvoStarMarkWidget.h"
#include "KvoTopPosNumber.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSpacerItem>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char FavePath[] = "/0.1/playerFave/";

} // namespace

// --- the tag drawn over the picture -------------------------------------------

KvoTopItem::DrawingPlugin::DrawingPlugin(const QString& tagPath)
    : m_tagPath(tagPath)
{
}

void KvoTopItem::DrawingPlugin::draw(QPixmap& pixmap)
{
    const QPixmap tag(m_tagPath);
    if (tag.isNull() || pixmap.isNull())
        return;
    QPainter painter(&pixmap);
    painter.drawPixmap(0, pixmap.height() - tag.height(), tag);
}

// --- the row -----------------------------------------------------------------------

KvoTopItem::KvoTopItem(const KvoPurchase& course, KvoPageTops* page, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui_KvoSearchItem>())
    , m_course(course)
    , m_page(page)
{
    ui->setupUi(this);
    ui->title->setFont(KvoFont::arial(12, QFont::Bold));
    ui->softwares->setFont(KvoFont::arial(12));
    ui->previous_price->setFont(KvoFont::arial(12, QFont::Bold));
    ui->credits->setFont(KvoFont::arial(14, QFont::Bold));
    ui->download->setFont(KvoFont::arial(10));
    ui->purchased->setFont(KvoFont::arial(10));

    ui->title->setText(KvoButtonText::fromService(m_course.title));
    ui->softwares->setText(KvoButtonText::fromService(m_course.softwares));
    setFixedHeight(71);
    ui->purchased->hide();

    showPrices(QDateTime::currentSecsSinceEpoch());

    ui->title->setCursor(Qt::PointingHandCursor);
    connect(ui->play, &QPushButton::clicked, this, &KvoTopItem::playPreview);
    connect(ui->download, &QPushButton::clicked, this, &KvoTopItem::onCLickDownload);
    connect(ui->title, &QPushButton::clicked, this, &KvoTopItem::onClickTitle);
    KvoDoubleClickGuard::actOnce(ui->title);
}

KvoTopItem::~KvoTopItem() = default;

QString KvoTopItem::priceText(uint price)
{
    // The rows of the lists and of the search read prices alike.
    return KvoSearchItem::priceText(price);
}

QString KvoTopItem::timeLeftText(qint64 r)
{
    if (r <= 0)
        return QString();
    if (r >= 172800)
        return tr("%0 jours restants").replace(QLatin1String("%0"), QString::number(r / 86400));
    if (r >= 43200)
        return tr("1 jour restant");
    // With their count, so a translation can read right for one and for
    // many ("1 hour left"); the French texts stay as they are.
    if (r >= 3600) {
        const int hours = int(r / 3600);
        return tr("%0 heure restantes", nullptr, hours).replace(QLatin1String("%0"), QString::number(hours));
    }
    if (r >= 61) {
        const int minutes = int(r / 60);
        return tr("expire dans %0 minutes", nullptr, minutes).replace(QLatin1String("%0"), QString::number(minutes));
    }
    return tr("expire dans %0 seconde(s)").replace(QLatin1String("%0"), QString::number(r));
}

void KvoTopItem::addThumbnail(int marginLeft)
{
    m_thumbnail = new KvoAsyncImage(this);
    m_thumbnail->setFixedSize(157, 71);
    m_thumbnail->setFocusPolicy(Qt::NoFocus);
    m_thumbnail->setStyleSheet(QStringLiteral("margin-left: %1px; background-color: transparent; "
                                              "border-image: url(:/KvoMainWindow/Resources/defaut.jpg);")
                                   .arg(marginLeft));
    ui->horizontalLayout->insertWidget(0, m_thumbnail);
    m_thumbnail->setIconSize(m_thumbnail->size());
    m_thumbnail->setCursor(Qt::PointingHandCursor);
    connect(m_thumbnail, &QAbstractButton::clicked, this, &KvoTopItem::onClickTitle);
    KvoDoubleClickGuard::actOnce(m_thumbnail);
}

void KvoTopItem::addStars()
{
    m_stars = new KvoStarMarkWidget(this);
    m_stars->setMark(int(qMin(m_course.rating, 5u)));
    m_stars->show();
}

QWidget* KvoTopItem::sideColumn()
{
    auto* column = new QWidget(this);
    column->setFixedSize(132, 71);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    ui->horizontalLayout->addWidget(column);
    return column;
}

void KvoTopItem::setupTopMonth(int position)
{
    addThumbnail(15);
    m_thumbnail->setUrl(m_course.thumbnail);
    m_badge = new KvoTopPosNumber(position, this);
    ui->horizontalLayout->insertWidget(0, m_badge);

    addStars();
    m_sales = new QLabel(tr("%0 ventes").replace(QLatin1String("%0"), QString::number(m_course.sales)), this);
    m_sales->setFont(KvoFont::arial(11));
    m_sales->setStyleSheet(QStringLiteral("color: #009ee0;"));
    m_sales->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* line = new QHBoxLayout;
    line->addWidget(m_stars);
    line->addWidget(m_sales);
    line->addItem(new QSpacerItem(20, 40, QSizePolicy::Expanding, QSizePolicy::Expanding));
    ui->vornLayout->insertLayout(2, line);
}

void KvoTopItem::setupNews()
{
    addThumbnail(0);
    m_thumbnail->setDrawingPlugin(new DrawingPlugin(QStringLiteral(":/KvoMainWindow/Resources/news_tag.png")));
    m_thumbnail->setUrl(m_course.thumbnail);
    addStars();
    ui->vornLayout->addWidget(m_stars);
}

void KvoTopItem::setupFavourite()
{
    addThumbnail(0);
    m_thumbnail->setDrawingPlugin(new DrawingPlugin(QStringLiteral(":/KvoMainWindow/Resources/fave_tag.png")));
    m_thumbnail->setUrl(m_course.thumbnail);
    addStars();
    ui->vornLayout->addWidget(m_stars);

    QWidget* column = sideColumn();
    column->setStyleSheet(QStringLiteral("border-left: 1px solid #2c2d2f; margin-left: 25px;"));
    m_remove = new KvoButton(column);
    m_remove->setObjectName(QStringLiteral("removeButton"));
    m_remove->setFont(KvoFont::arial(12));
    m_remove->setIcons(QIcon(QStringLiteral(":/KvoMainWindow/Resources/delete_in.png")),
                       QIcon(QStringLiteral(":/KvoMainWindow/Resources/delete_fave.png")));
    m_remove->setAttribute(Qt::WA_TranslucentBackground);
    m_remove->setCursor(Qt::PointingHandCursor);
    m_remove->setFocusPolicy(Qt::NoFocus);
    m_remove->setStyleSheet(QStringLiteral("QPushButton {color: #868688;border: 0;}QPushButton:hover {color: white;border: 0}"));
    m_remove->setText(tr("Retirer"));
    auto* layout = static_cast<QVBoxLayout*>(column->layout());
    layout->addWidget(m_remove);
    layout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    connect(m_remove, &QPushButton::clicked, this, &KvoTopItem::onClickRemove);
}

void KvoTopItem::setupPromo()
{
    addThumbnail(0);
    m_thumbnail->setUrl(m_course.thumbnail);
    addStars();
    ui->vornLayout->insertWidget(2, m_stars);

    QWidget* column = sideColumn();
    auto* promo = new QLabel(tr("PROMO"), column);
    promo->setFont(KvoFont::arial(11, QFont::Bold));
    promo->setStyleSheet(QStringLiteral("color: #cd457f;"));
    promo->setAlignment(Qt::AlignCenter);
    m_countdown = new QLabel(column);
    m_countdown->setObjectName(QStringLiteral("countdown"));
    m_countdown->setStyleSheet(QStringLiteral("color: white; font-family:Arial;font-size:11px"));
    m_countdown->setAlignment(Qt::AlignCenter);
    auto* layout = static_cast<QVBoxLayout*>(column->layout());
    layout->addWidget(promo);
    layout->addWidget(m_countdown);
    layout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    setTimeLeft();
}

void KvoTopItem::showOwned()
{
    m_owned = true;
    ui->purchased->show();
    ui->previous_price->hide();
    ui->credits->hide();
    ui->download->hide();
}

void KvoTopItem::showPrices(qint64 now)
{
    if (!m_owned)
        KvoSearchItem::showPrices(ui.get(), m_course, now);
}

void KvoTopItem::setTimeLeft()
{
    setTimeLeft(QDateTime::currentSecsSinceEpoch());
}

void KvoTopItem::setTimeLeft(qint64 now)
{
    if (!m_countdown)
        return;
    // Signed: an ended promotion must not wrap round to a huge count.
    const qint64 left = qint64(m_course.end_ts) - now;
    if (left <= 0) {
        m_ended = true;
        hide();
        return;
    }
    m_countdown->setText(timeLeftText(left));
}

// --- clicks --------------------------------------------------------------------------

void KvoTopItem::playPreview()
{
    // The preview runs in a modal dialog during which the page may rebuild
    // its rows: nothing of the row is read after the call.
    QPointer<KvoPageTops> page = m_page;
    const KvoPurchase course = m_course;
    if (page)
        page->playPreview(course);
}

void KvoTopItem::onCLickDownload()
{
    // The dialog asks the price of this moment: the row says the same.
    showPrices(QDateTime::currentSecsSinceEpoch());
    QPointer<KvoPageTops> page = m_page;
    const KvoPurchase course = m_course;
    if (page)
        page->buy(course);
}

void KvoTopItem::onClickTitle()
{
    const QUrl url(m_course.url);
    if (KvoSearchItem::isWebAddress(url))
        QDesktopServices::openUrl(url);
}

void KvoTopItem::removeItem()
{
    QPointer<KvoPageTops> page = m_page;
    const KvoPurchase course = m_course;
    if (page)
        page->removePurchase(course);
}

void KvoTopItem::onUpdateFailed(QNetworkReply::NetworkError, const QString&)
{
}

void KvoTopItem::onClickRemove()
{
    // While the confirmation waits, the page may fetch its list again and
    // rebuild its rows, this one included: copy first, then check.
    QPointer<KvoTopItem> self(this);
    QPointer<KvoPageTops> page = m_page;
    const KvoPurchase course = m_course;

    int result = KvoDialog::Cancel;
    {
        // On the stack: the dialog goes when the question is answered.
        KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        dialog.setObjectName(QStringLiteral("removeFaveDialog"));
        auto* content = new QWidget;
        Ui_UIDeleteVideoDialog form;
        form.setupUi(content);
        form.buttonKeep->hide();
        form.label_2->setText(tr("Souhaitez-vous vraiment retirer cette vidéo de vos favoris ?"));
        form.buttonTrash->setText(tr("Retirer"));
        connect(form.buttonTrash, &QPushButton::clicked, &dialog, &KvoDialog::closeWithYes);
        connect(form.buttonKeep, &QPushButton::clicked, &dialog, &KvoDialog::closeWithNo);
        connect(form.buttonCancel, &QPushButton::clicked, &dialog, &KvoDialog::closeWithCancel);
        dialog.setExitButtonType(2);
        dialog.setDimmedWidget(KvoMainWindow::instance());
        dialog.addWidget(content);
        result = dialog.showDialog(false, true);
    }
    if (result == KvoDialog::Cancel)
        return;

    auto* request = new KvoHTTPRequest(KvoMainWindow::instance());
    if (self)
        connect(request, &KvoHTTPRequest::errorRequest, self.data(), &KvoTopItem::onUpdateFailed);
    request->setAutoDelete(true);
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("delete"), true);
    fields.insert(QStringLiteral("vorn_id"), course.id);
    request->post(KvoApi::address(QLatin1String(FavePath)), fields);

    // The page rebuilds its rows: the last use of the row.
    if (page)
        page->removePurchase(course);
}
