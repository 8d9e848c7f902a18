#include "KvoDetailSoftwareItem.h"

#include "KvoButtonText.h"
#include "KvoDoubleClickGuard.h"
#include "KvoDurationText.h"
#include "KvoFont.h"
#include "KvoSoftwareDetailOrder.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

namespace {

const char* const Green = "#97bf0d";
const char* const Pink = "#cd457f";


QFrame* emptyFrame(int width)
{
    auto* frame = new QFrame;
    frame->setFixedSize(width, 18);
    return frame;
}

QString barStyle(const char* chunk)
{
    return QStringLiteral("QProgressBar{border:0;margin-left:10px;margin-right:10px;background-color:#181a21;}"
                          "QProgressBar::chunk{background-color:%1;}")
        .arg(QLatin1String(chunk));
}

// The row's buttons are drawn flat: without "border:0" the style draws a
// framed black button behind the title, the missing-file notice and the
// support link.

// Style sheets are costly to apply (each one re-polishes the widget): only
// set them when they change.
void setStyleIfChanged(QWidget* widget, const QString& style)
{
    if (widget && widget->styleSheet() != style)
        widget->setStyleSheet(style);
}

} // namespace

KvoDetailSoftwareItem::KvoDetailSoftwareItem(int type, QWidget* parent)
    : QWidget(parent)
    , m_type(type)
{
    setFixedHeight(m_type == Purchase ? 40 : 23);
    if (m_type == Video)
        installEventFilter(this);
    if (!parent)
        setStyleSheet(sharedStyleSheet());

    setUpdatesEnabled(false);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_titleButton = new QPushButton(QStringLiteral("new label"), this);
    if (m_type == Chapter)
        m_titleButton->setObjectName(QStringLiteral("chapterTitle"));
    m_titleButton->setFixedHeight(18);
    m_titleButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_titleButton->setFont(KvoFont::arial(12));
    m_titleButton->setFocusPolicy(Qt::NoFocus);
    connect(m_titleButton, &QPushButton::clicked, this, &KvoDetailSoftwareItem::onClickTitle);
    m_layout->addWidget(m_titleButton);

    if (m_type == Video) {
        m_durationLabel = new QLabel(QStringLiteral("new duree"), this);
        m_durationLabel->setFixedSize(80, 18);
        m_durationLabel->setAlignment(Qt::AlignCenter);
        m_durationLabel->setStyleSheet(QStringLiteral("color:#9d9d9d;"));
        m_durationLabel->setFont(KvoFont::arial(12));
        m_layout->addWidget(m_durationLabel);
        // Blank columns are layout spacing, not widgets: nothing to polish
        // or paint.
        m_layout->addSpacing(120);
    } else if (m_type == Purchase) {
        m_layout->addSpacing(80);
    }

    if (m_type != Chapter) {
        m_deleteButton = new QPushButton;
        m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
        m_deleteButton->setFixedSize(100, 18);
        m_deleteButton->setIconSize(QSize(10, 10));
        m_deleteButton->setCursor(Qt::PointingHandCursor);
        m_deleteButton->setFocusPolicy(Qt::NoFocus);
        connect(m_deleteButton, &QPushButton::clicked, this, &KvoDetailSoftwareItem::onClickDelete);
        m_layout->addWidget(m_deleteButton);
    }
    setUpdatesEnabled(true);
}

QString KvoDetailSoftwareItem::sharedStyleSheet()
{
    return QStringLiteral(
        "QPushButton#deleteButton{border:0;image:url(:/KvoMainWindow/Resources/delete_out.png);}\n"
        "QPushButton#deleteButton:hover{image:url(:/KvoMainWindow/Resources/delete_in.png);}\n"
        "QPushButton#parcourirButton{color:#191a1d;background-color:#6e7280;border-radius:8px;}\n"
        "QPushButton#parcourirButton:hover{background-color:#898ea0;}\n"
        "QPushButton#missingButton{color:#6e7280;border:0;background-color:transparent;}\n"
        "QPushButton#supportButton{font-size:12px;font-family:Arial;color:#b1b2b3;text-decoration:underline;"
        "margin-right:20px;border:0;background-color:transparent;}\n"
        "QPushButton#supportButton:hover{color:white;}\n"
        "QPushButton#chapterTitle{font-size:12px;font-family:Arial;color:#5d5d70;background-color:transparent;"
        "text-align:left;font-weight:bold;border:0;}");
}

void KvoDetailSoftwareItem::reset()
{
    m_videoId = 0;
    m_purchaseId = 0;
    m_group = 0;
    m_initialised = false;
    m_highlighted = false;
    m_present = false;
    m_seen = 0;
    m_supportUrl.clear();
}

KvoDetailSoftwareItem::~KvoDetailSoftwareItem() = default;

QString KvoDetailSoftwareItem::formatDuration(uint seconds)
{
    return KvoDurationText::clock(seconds);
}

uint KvoDetailSoftwareItem::listedMean(const KvoPurchase& purchase)
{
    quint64 sum = 0;
    uint count = 0;
    for (const KvoVideoFile& file : purchase.files) {
        if (KvoSoftwareDetailOrder::isListed(file)) {
            sum += file.alreadySeen;
            ++count;
        }
    }
    // The library can change between the page's list and this copy (the
    // synchronisation and the folder search write from other threads): a
    // course left with no listed video shows 0 instead of dividing by zero.
    return count == 0 ? 0u : uint(sum / count);
}

void KvoDetailSoftwareItem::refresh(QMap<int, KvoPurchase>& purchases)
{
    const KvoPurchase purchase = purchases.value(int(m_purchaseId));
    const KvoVideoFile video = purchase.files.value(int(m_videoId));

    if (!m_initialised) {
        if (m_type == Video) {
            m_titleButton->setText(KvoButtonText::fromService(video.title));
            m_durationLabel->setText(formatDuration(video.duration));
        } else if (m_type == Chapter) {
            m_titleButton->setText(KvoButtonText::fromService(video.t_chapter));
        } else {
            m_titleButton->setText(KvoButtonText::fromService(purchase.title));
        }
    }

    if (m_type == Video)
        refreshVideo(video);
    else if (m_type == Purchase)
        refreshPurchase(purchase);
    // A chapter row's title has its looks from the shared sheet.
    m_initialised = true;
}

QProgressBar* KvoDetailSoftwareItem::createProgressBar()
{
    auto* bar = new QProgressBar(this);
    bar->setTextVisible(false);
    bar->setFixedSize(105, 3);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

QLabel* KvoDetailSoftwareItem::createPercentageLabel()
{
    auto* label = new QLabel(QStringLiteral("0%"), this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFont(KvoFont::arial(11));
    label->setFixedSize(35, 18);
    return label;
}

void KvoDetailSoftwareItem::createVideoWidgets()
{
    // Columns: title, [Parcourir], duration, spacer, [missing file], bar,
    // percentage, delete. The two bracketed ones are made the first time
    // the file is missing, most rows never need them.
    m_progressBar = createProgressBar();
    m_layout->insertWidget(m_layout->indexOf(m_durationLabel) + 2, m_progressBar);
    m_percentageLabel = createPercentageLabel();
    m_layout->insertWidget(m_layout->indexOf(m_progressBar) + 1, m_percentageLabel);
}

void KvoDetailSoftwareItem::createMissingWidgets()
{
    m_parcourirButton = new QPushButton(tr("Parcourir..."), this);
    m_parcourirButton->setObjectName(QStringLiteral("parcourirButton"));
    m_parcourirButton->hide();
    m_parcourirButton->setCursor(Qt::PointingHandCursor);
    m_parcourirButton->setFixedSize(80, 16);
    m_parcourirButton->setFont(KvoFont::arial(12));
    m_parcourirButton->setFocusPolicy(Qt::NoFocus);
    connect(m_parcourirButton, &QPushButton::clicked, this, &KvoDetailSoftwareItem::onClickParcourir);
    m_layout->insertWidget(m_layout->indexOf(m_titleButton) + 1, m_parcourirButton);

    m_missingButton = new QPushButton(tr("Fichier manquant"), this);
    m_missingButton->setObjectName(QStringLiteral("missingButton"));
    m_missingButton->hide();
    m_missingButton->setIcon(QIcon(QStringLiteral(":/KvoMainWindow/Resources/warning.png")));
    m_missingButton->setFixedSize(140, 18);
    m_missingButton->setFont(KvoFont::arial(12));
    m_missingButton->setFocusPolicy(Qt::NoFocus);
    m_layout->insertWidget(m_layout->indexOf(m_progressBar), m_missingButton);
}

void KvoDetailSoftwareItem::createPurchaseWidgets()
{
    // Columns: title, spacer, support files (or a blank of its size), bar,
    // percentage, delete.
    m_progressBar = createProgressBar();
    m_layout->insertWidget(2, m_progressBar);
    m_percentageLabel = createPercentageLabel();
    m_layout->insertWidget(3, m_percentageLabel);
}

// A reused course row may have shown another course: the link or the blank
// is made when first needed and the other one hidden.
void KvoDetailSoftwareItem::showSupportFiles(const QString& url)
{
    m_supportUrl = url;
    const bool link = !url.isEmpty();
    if (link && !m_supportButton) {
        m_supportButton = new QPushButton(tr("Télécharger"), this);
        m_supportButton->setObjectName(QStringLiteral("supportButton"));
        m_supportButton->setCursor(Qt::PointingHandCursor);
        m_supportButton->setIcon(QIcon(QStringLiteral(":/KvoMainWindow/Resources/attachement_out.png")));
        m_supportButton->setIconSize(QSize(10, 14));
        m_supportButton->setFixedSize(120, 18);
        m_supportButton->setFocusPolicy(Qt::NoFocus);
        connect(m_supportButton, &QPushButton::clicked, this, &KvoDetailSoftwareItem::onClickSupportFiles);
        KvoDoubleClickGuard::actOnce(m_supportButton);
        m_layout->insertWidget(m_layout->indexOf(m_progressBar), m_supportButton);
    } else if (!link && !m_supportSpace) {
        m_supportSpace = emptyFrame(120);
        m_layout->insertWidget(m_layout->indexOf(m_progressBar), m_supportSpace);
    }
    if (m_supportButton && m_supportButton->isHidden() == link)
        m_supportButton->setVisible(link);
    if (m_supportSpace && m_supportSpace->isHidden() == !link)
        m_supportSpace->setVisible(!link);
}

void KvoDetailSoftwareItem::showSeen(uint seen, bool complete)
{
    m_seen = seen;
    m_progressBar->setValue(int(qMin(seen, 100u)));
    m_percentageLabel->setText(QString::number(seen) + QLatin1Char('%'));
    setStyleIfChanged(m_progressBar, barStyle(complete ? Green : Pink));
}

void KvoDetailSoftwareItem::refreshVideo(const KvoVideoFile& video)
{
    if (!m_progressBar)
        createVideoWidgets();
    m_present = !video.KvoPath.isEmpty() && QFile::exists(video.KvoPath);
    if (m_present) {
        m_progressBar->show();
        m_percentageLabel->show();
        if (m_parcourirButton) {
            m_parcourirButton->hide();
            m_missingButton->hide();
        }
        m_titleButton->setCursor(Qt::PointingHandCursor);
        const bool complete = video.alreadySeen >= 100;
        showSeen(video.alreadySeen, complete);
        const char* colour = complete ? Green : Pink;
        setStyleIfChanged(m_titleButton,
                          QStringLiteral("color:%1;text-align:left;margin-top:1px;border:0;margin-left:20px;")
                              .arg(QLatin1String(complete ? Green : "#dadada")));
        setStyleIfChanged(m_percentageLabel,
                          QStringLiteral("color:%1;margin-right:5px").arg(QLatin1String(colour)));
        setStyleIfChanged(m_durationLabel,
                          QStringLiteral("color:%1;").arg(QLatin1String(complete ? Green : "#9d9d9d")));
    } else {
        if (!m_parcourirButton)
            createMissingWidgets();
        m_progressBar->hide();
        m_percentageLabel->hide();
        m_parcourirButton->show();
        m_missingButton->show();
        m_titleButton->setCursor(Qt::ArrowCursor);
        setStyleIfChanged(m_titleButton,
                          QStringLiteral("color:#6e7280; background-color:transparent;text-align:left;"
                                         "margin-top:1px;font-style:italic;margin-left:20px;border:0;"));
        setStyleIfChanged(m_durationLabel, QStringLiteral("color:#9d9d9d;"));
    }
}

void KvoDetailSoftwareItem::refreshPurchase(const KvoPurchase& purchase)
{
    if (!m_initialised) {
        if (!m_progressBar)
            createPurchaseWidgets();
        m_progressBar->show();
        m_percentageLabel->show();
        m_titleButton->setCursor(Qt::ArrowCursor);
        showSupportFiles(purchase.attachmentURL);
    }
    const uint seen = listedMean(purchase);
    const bool complete = seen >= 100;
    showSeen(seen, complete);
    const QLatin1String colour(complete ? Green : Pink);
    setStyleIfChanged(m_titleButton,
                      QStringLiteral("font-size:12px;font-family:Arial;color:%1; background-color:transparent;"
                                     "text-align:left;margin-top:1px;font-weight:bold;border:0;")
                          .arg(QLatin1String(complete ? Green : "#dadada")));
    setStyleIfChanged(m_percentageLabel,
                      QStringLiteral("font-family:Arial;color:%1;margin-right:5px; background-color:transparent;"
                                     "font-weight:bold;")
                          .arg(colour));
}

void KvoDetailSoftwareItem::clearHighlight()
{
    m_highlighted = false;
    update();
}

void KvoDetailSoftwareItem::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

bool KvoDetailSoftwareItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != this)
        return false;
    if (event->type() == QEvent::Enter) {
        m_highlighted = true;
        update();
        emit mouseOver(this);
        return true;
    }
    if (event->type() == QEvent::Leave) {
        m_highlighted = false;
        update();
        return true;
    }
    return false;
}

void KvoDetailSoftwareItem::paintEvent(QPaintEvent* event)
{
    if (m_highlighted) {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0x18, 0x18, 0x1d));
    }
    QWidget::paintEvent(event);
}

// Each handler emits last and touches no member afterwards: the page may
// replace its rows while it answers (a modal dialog runs events), so this
// row may be gone when the emission returns.
void KvoDetailSoftwareItem::onClickTitle()
{
    if (m_type == Video && m_present)
        emit videoClicked(this);
}

void KvoDetailSoftwareItem::onClickParcourir()
{
    if (m_type == Video)
        emit parcourirClicked(this);
}

void KvoDetailSoftwareItem::onClickDelete()
{
    if (m_type != Chapter)
        emit deleteClicked(this);
}

void KvoDetailSoftwareItem::onClickSupportFiles()
{
    // Only web addresses reach the desktop, not local files or other schemes.
    const QUrl url(m_supportUrl);
    if (m_type == Purchase && url.isValid()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
        QDesktopServices::openUrl(url);
}
