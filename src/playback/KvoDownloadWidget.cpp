#include "KvoDownloadWidget.h"
#include "ui_KvoDownloadWidget.h"

#include "KvoDownloadJob.h"
#include "KvoFont.h"
#include "KvoMainWindow.h"
#include "KvoPageDownloads.h"
#include "KvoProgressBar.h"

#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextDocument>

namespace {

const char* const IdleButtonStyle = "QPushButton {background-color: #181a21;color:#e7e7e7;border: 0;}";
const char* const WaitingButtonStyle = "QPushButton {background-color: #181a21;color:#ac5e7f;border: 0;}";
const char* const ErrorButtonStyle = "QPushButton {background-color: #181a21;color:#fd951d;border: 0;}";
const char* const ErrorCommentStyle = "color:#fd951d;";
const char* const StatusCommentStyle = "color:#ad5e7f;";

// Kept for the life of the process: a QIcon must not outlive the
// application object, so they are never destroyed.
QIcon* s_playIcon = nullptr;
QIcon* s_retryIcon = nullptr;
QIcon* s_collapsedIcon = nullptr;
QIcon* s_expandedIcon = nullptr;

void setStyleOnce(QWidget* widget, const QString& style)
{
    // Setting a style sheet, even the same one, re-polishes the widget.
    if (widget->styleSheet() != style)
        widget->setStyleSheet(style);
}

} // namespace

KvoDownloadWidget::KvoDownloadWidget(KvoPageDownloads* page, QWidget* parent, KvoDownloadJob* job)
    : QWidget(parent)
    , ui(new Ui::KvoDownloadWidget)
    , page(page)
{
    ui->setupUi(this);
    if (!s_playIcon) {
        s_playIcon = new QIcon(QStringLiteral(":/KvoMainWindow/Resources/icon_play.png"));
        s_retryIcon = new QIcon(QStringLiteral(":/KvoMainWindow/Resources/retry.png"));
        s_collapsedIcon = new QIcon(QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_right.png"));
        s_expandedIcon = new QIcon(QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_down.png"));
    }

    for (QLabel* label : {ui->title, ui->comment, ui->softwares})
        label->setFont(KvoFont::arial(11));
    ui->button->setFont(KvoFont::arial(12));
    ui->button->setFixedSize(116, 25);
    ui->comment->clear();

    progressBar = new KvoProgressBar(this);
    ui->horizontalLayout_2->insertWidget(1, progressBar, 0);
    progressBar->hide();
    // Software names and error texts come from the service: as text.
    ui->softwares->setTextFormat(Qt::PlainText);
    ui->comment->setTextFormat(Qt::PlainText);

    connect(ui->button, &QPushButton::clicked, this, &KvoDownloadWidget::onButtonClicked);
    connect(ui->expand, &QPushButton::clicked, this, &KvoDownloadWidget::onClickExpand);
    setJob(job);
}

KvoDownloadWidget::~KvoDownloadWidget()
{
    ui->button->blockSignals(true);
    delete ui;
}

QWidget* KvoDownloadWidget::widget()
{
    return this;
}

void KvoDownloadWidget::setJob(KvoDownloadJob* job)
{
    if (m_job)
        disconnect(m_job, nullptr, this, nullptr);
    m_job = job;
    if (job)
        connect(job, &KvoDownloadJob::changed, this, &KvoDownloadWidget::refresh);
    refresh();
}

void KvoDownloadWidget::refresh()
{
    KvoDownloadJob* job = m_job;
    if (!job)
        return;

    // A child row is indented; a top-level one starts at the left.
    const bool indented = job->parentJob() != nullptr;
    if (indented != m_indented) {
        m_indented = indented;
        if (QSpacerItem* indentation = ui->horizontalLayout->itemAt(0)->spacerItem()) {
            indentation->changeSize(indented ? 40 : 0, indented ? 20 : 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
            ui->horizontalLayout->invalidate();
        }
    }
    ui->expand->setVisible(job->purchase().files.size() >= 2);
    ui->expand->setIcon(job->isExpanded() ? *s_expandedIcon : *s_collapsedIcon);

    ui->softwares->setText(job->purchase().softwares);
    ui->softwares->setVisible(job->softwaresVisible());
    ui->separator->setVisible(job->softwaresVisible());

    switch (job->titleStyle()) {
    case KvoDownloadJob::TitleStyle::Error:
        ui->title->setTextFormat(Qt::RichText);
        ui->title->setText(QStringLiteral("<i style=\"color:#fd951d;\">") + job->title().toHtmlEscaped()
                           + QStringLiteral("</i>"));
        break;
    case KvoDownloadJob::TitleStyle::Dimmed:
        setStyleOnce(ui->title, QStringLiteral("color: #707070;"));
        ui->title->setTextFormat(Qt::PlainText);
        ui->title->setText(job->title());
        break;
    case KvoDownloadJob::TitleStyle::Normal:
        setStyleOnce(ui->title, QStringLiteral("color:#e7e7e7;"));
        ui->title->setTextFormat(Qt::PlainText);
        ui->title->setText(job->title());
        break;
    }
    // A tooltip has no text format of its own: one that looks like markup
    // would be read as such, so it is always given as escaped rich text.
    const QString tip = job->toolTip().isEmpty() ? QString() : Qt::convertFromPlainText(job->toolTip());
    ui->title->setToolTip(tip);

    switch (job->buttonStyle()) {
    case KvoDownloadJob::ButtonStyle::Idle: setStyleOnce(ui->button, QLatin1String(IdleButtonStyle)); break;
    case KvoDownloadJob::ButtonStyle::Waiting: setStyleOnce(ui->button, QLatin1String(WaitingButtonStyle)); break;
    case KvoDownloadJob::ButtonStyle::Error: setStyleOnce(ui->button, QLatin1String(ErrorButtonStyle)); break;
    }
    switch (job->buttonIcon()) {
    case KvoDownloadJob::ButtonIcon::None: ui->button->setIcon(QIcon()); break;
    case KvoDownloadJob::ButtonIcon::Play:
        ui->button->setIcon(*s_playIcon);
        ui->button->setIconSize(QSize(13, 13));
        break;
    case KvoDownloadJob::ButtonIcon::Retry:
        ui->button->setIcon(*s_retryIcon);
        ui->button->setIconSize(QSize(10, 10));
        break;
    }
    ui->button->setText(job->buttonText());
    // The reason is hovered on the title: a tooltip of the button would take
    // the row's transparent background without the title's light text.
    ui->button->setCursor(job->buttonAction() == KvoDownloadJob::ButtonAction::None ? Qt::ArrowCursor
                                                                                    : Qt::PointingHandCursor);
    ui->button->setVisible(job->buttonVisible());

    setStyleOnce(ui->comment, QLatin1String(job->commentIsError() ? ErrorCommentStyle : StatusCommentStyle));
    ui->comment->setText(job->comment());
    ui->comment->setVisible(job->commentVisible());

    progressBar->setVisible(job->hasProgress() && job->progressVisible());
    progressBar->setValue(job->progress());
}

void KvoDownloadWidget::onButtonClicked()
{
    if (!m_job)
        return;
    switch (m_job->buttonAction()) {
    case KvoDownloadJob::ButtonAction::Download:
        onClickDownload();
        break;
    case KvoDownloadJob::ButtonAction::Play:
        onClickTitle();
        break;
    case KvoDownloadJob::ButtonAction::None:
        break;
    }
}

void KvoDownloadWidget::onClickDownload()
{
    if (m_job)
        m_job->onClickDownload();
}

void KvoDownloadWidget::onClickExpand()
{
    if (m_job)
        m_job->toggleExpanded();
}

void KvoDownloadWidget::onClickTitle()
{
    KvoDownloadJob* job = m_job;
    if (!job || !job->isFinished() || job->purchase().files.isEmpty())
        return;
    const KvoPurchase purchase = job->purchase();
    KvoMainWindow* window = KvoMainWindow::instance();
    if (window) {
        connect(this, &KvoDownloadWidget::onChangePage, window,
                qOverload<const QString&, bool>(&KvoMainWindow::changePage), Qt::UniqueConnection);
        connect(this, &KvoDownloadWidget::onChangePageRequest, window,
                qOverload<const KvoPageRequest&>(&KvoMainWindow::changePage), Qt::UniqueConnection);
    }
    const uint softwareId = purchase.softwareIDs.isEmpty() ? 0 : purchase.softwareIDs.first();
    const QString key = QStringLiteral("detail_software_") + QString::number(softwareId);
    emit onChangePage(key, false);
    QWidget* software = window ? window->pages().value(key).first : nullptr;
    emit onChangePageRequest(KvoPageRequest::player(softwareId, software, uint(purchase.files.firstKey())));
    // The job may have gone with a page switch.
    if (!m_job)
        return;
    if (!job->parentJob() && page)
        page->removeJob(job);
    else if (job->parentJob())
        job->setHidden(true);
}
