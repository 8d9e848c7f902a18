#include "KvoPageDetailSoftware.h"
#include "KvoButtonText.h"
#include "KvoDialogParent.h"
#include "KvoDoubleClickGuard.h"
#include "KvoFont.h"
#include "KvoScrollBarStyle.h"
#include "KvoSidewaysWheel.h"

#include "KvoApi.h"
#include "KvoAsyncImage.h"
#include "KvoAsynchronousSender.h"
#include "KvoCourseFolders.h"
#include "KvoDetailSoftwareItem.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoMainWindow.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "ui_KvoPageDetailSoftware.h"
#include "ui_UIDeleteVideoDialog.h"
#include "ui_UIErrorParcourirVideoDialog.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QPointer>
#include <QScrollBar>
#include <QUrl>

namespace {

const char* const SortStyle =
    "QPushButton{background-color:%1;color:#b5b7c0;border:0;border-radius:7px;text-align:center;"
    "padding-left:10px;padding-right:10px;}\nQPushButton:hover{color:#868688;}\n"
    "QPushButton:disabled{color:#32333a;}";


// Addresses of the service open in the browser; anything else (a local
// file, a custom scheme) is not handed to the desktop.
bool isWebAddress(const QUrl& url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

KvoPurchaseVideoManager* library()
{
    return KvoPurchaseVideoManager::instance();
}

} // namespace

KvoPageDetailSoftware::KvoPageDetailSoftware(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoPageDetailSoftware>())
    , m_parentPage(parent)
    , m_chooseFile([](QWidget* parent, const QString& caption, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    })
{
    ui->setupUi(this);
    // The software's name from the library, as text.
    ui->labelName->setTextFormat(Qt::PlainText);
    applyFonts();

    m_pagination = new KvoPaginationWidget(nullptr);
    ui->layoutControls->addWidget(m_pagination);
    m_pagination->setMinimumHeight(60);
    m_pagination->setMaximumHeight(60);
    m_pagination->setItemsPerPage(ItemsPerPage);
    m_pagination->refresh(0);
    connect(m_pagination, &KvoPaginationWidget::changePage, this,
            qOverload<int, int>(&KvoPageDetailSoftware::onChangePage));

    ui->scrollAreaWidgetContents->setStyleSheet(KvoDetailSoftwareItem::sharedStyleSheet());
    // On the bar itself: a sheet on the scroll area would restyle every row.
    ui->scrollArea->verticalScrollBar()->setStyleSheet(KvoScrollBarStyle::darkVertical());
    KvoSidewaysWheel::install(ui->scrollArea);

    m_image = new KvoAsyncImage(this);
    m_image->setFixedSize(102, 102);
    m_image->setIconSize(QSize(100, 100));
    m_image->setStyleSheet(QStringLiteral("border: 1px solid #343434; border-radius:3px;"));
    m_image->setFocusPolicy(Qt::NoFocus);
    ui->layoutTitle->insertWidget(0, m_image, 0, Qt::AlignHCenter);

    for (QPushButton* button : {ui->buttonSortDate, ui->buttonSortTitre, ui->buttonSortType,
                                ui->buttonSortProgression})
        connect(button, &QPushButton::clicked, this, &KvoPageDetailSoftware::onClickSort);
    connect(ui->buttonAbo, &QPushButton::clicked, this, &KvoPageDetailSoftware::onClickAbonnement);
    connect(ui->buttonVisiter, &QPushButton::clicked, this, &KvoPageDetailSoftware::onClickVisiter);
    KvoDoubleClickGuard::actOnce(ui->buttonVisiter);
    connect(ui->buttonSupport, &QPushButton::clicked, this, &KvoPageDetailSoftware::onClickSupport);
}

KvoPageDetailSoftware::~KvoPageDetailSoftware() = default;

void KvoPageDetailSoftware::applyFonts()
{
    // The layout was drawn where a point is a pixel.
    ui->labelName->setFont(KvoFont::arial(12, QFont::Bold));
    ui->labelCount->setFont(KvoFont::arial(12, QFont::Normal));
    for (QWidget* widget : {static_cast<QWidget*>(ui->buttonAbo), static_cast<QWidget*>(ui->buttonVisiter),
                            static_cast<QWidget*>(ui->sorts), static_cast<QWidget*>(ui->label),
                            static_cast<QWidget*>(ui->buttonSupport)})
        widget->setFont(KvoFont::arial(12, QFont::Normal));
    for (QWidget* widget : {ui->buttonSortDate, ui->buttonSortTitre, ui->buttonSortType, ui->buttonSortProgression})
        widget->setFont(KvoFont::arial(11, QFont::Normal));
    for (QWidget* widget : {ui->labelTitre, ui->labelDuree, ui->labelFichiers, ui->labelEtat, ui->labelSuppression})
        widget->setFont(KvoFont::arial(11, QFont::Normal));
}

// --- IKvoPage ----------------------------------------------------------------

QString KvoPageDetailSoftware::title() const
{
    return KvoButtonText::fromService(tr(m_softwareName.toUtf8().constData()));
}

QString KvoPageDetailSoftware::name() const
{
    return QStringLiteral("detail_software_") + QString::number(m_softwareId);
}

QWidget* KvoPageDetailSoftware::parentPage() const
{
    return m_parentPage;
}

int KvoPageDetailSoftware::heightForWidth(int width) const
{
    return layout()->totalMinimumHeightForWidth(width);
}

void KvoPageDetailSoftware::setParentPage(QWidget* page)
{
    m_parentPage = page;
}

void KvoPageDetailSoftware::setSoftwareId(uint id)
{
    m_softwareId = id;
    const QMap<int, KvoSoftware> softwares = library()->softwares();
    const auto it = softwares.constFind(int(id));
    const KvoSoftware software = it != softwares.cend() ? it.value() : KvoSoftware();
    m_softwareName = software.name;
    m_softwareUrl = software.url;
    m_subscribed = software.suscribed;
    ui->labelName->setText(m_softwareName);
    updateAbo();
}

// --- the list ------------------------------------------------------------------

float KvoPageDetailSoftware::purchaseProgress(int purchaseId, QMap<int, KvoPurchase>& purchases)
{
    return KvoSoftwareDetailOrder::purchaseProgress(purchaseId, purchases);
}

QList<KvoPageDetailSoftware::ItemPair> KvoPageDetailSoftware::buildItemList()
{
    return KvoSoftwareDetailOrder::buildItemList(library()->purchases(), m_softwareId, m_sortMode);
}

void KvoPageDetailSoftware::sortItems(QList<ItemPair>& items, QMap<int, KvoPurchase>& purchases)
{
    KvoSoftwareDetailOrder::sortItems(items, purchases, m_sortMode);
}

QList<KvoDetailSoftwareItem*> KvoPageDetailSoftware::rows() const
{
    QList<KvoDetailSoftwareItem*> list;
    for (int i = 0; i < ui->layoutItems->count(); ++i) {
        if (auto* row = qobject_cast<KvoDetailSoftwareItem*>(ui->layoutItems->itemAt(i)->widget()))
            list.append(row);
    }
    return list;
}

void KvoPageDetailSoftware::onShow()
{
    if (!m_refreshEnabled)
        return;

    const QMap<int, KvoSoftware> softwares = library()->softwares();
    QMap<int, KvoPurchase> purchases = library()->purchases();
    const QList<ItemPair> items = KvoSoftwareDetailOrder::buildItemList(purchases, m_softwareId, m_sortMode);

    if (m_shownOnce && items == m_items) {
        for (KvoDetailSoftwareItem* row : rows())
            row->refresh(purchases);
    } else {
        m_items = items;
        const int count = int(m_items.size());
        m_pagination->setItemCount(count);
        ui->labelCount->setText((count < 2 ? tr("%0 vidéo") : tr("%0 vidéos")).arg(count));
        // Reports the range of the current list page (or of the last one
        // when the list shrank) through changePage, which builds the rows.
        m_pagination->refresh(m_pagination->currentPage());
        if (m_items.isEmpty())
            onChangePage(0, 0);
    }
    m_shownOnce = true;

    // A software the library does not know (yet) keeps the flag the user
    // last chose here.
    const auto sit = softwares.constFind(int(m_softwareId));
    if (sit != softwares.cend())
        m_subscribed = sit->suscribed;
    updateAbo();
    const QString thumbnail = sit != softwares.cend() ? sit->thumbnail : QString();
    if (thumbnail != m_thumbnail || m_image->fileName().isEmpty()) {
        m_thumbnail = thumbnail;
        m_image->setUrl(thumbnail);
    }
}

bool KvoPageDetailSoftware::isBusy(const KvoDetailSoftwareItem* row) const
{
    for (const QPointer<KvoDetailSoftwareItem>& busy : m_busyRows) {
        if (busy == row)
            return true;
    }
    return false;
}

void KvoPageDetailSoftware::setBusy(KvoDetailSoftwareItem* row, bool busy)
{
    m_busyRows.removeIf([row](const QPointer<KvoDetailSoftwareItem>& p) { return p.isNull() || p == row; });
    if (busy && row)
        m_busyRows.append(row);
}

void KvoPageDetailSoftware::releaseRows()
{
    // Rows go back to the spares, except one whose click is still being
    // answered inside a modal dialog (a refresh can arrive meanwhile): that
    // row is not shown with another video, it is hidden and deleted from
    // the event loop, never at once.
    while (QLayoutItem* item = ui->layoutItems->takeAt(0)) {
        auto* row = qobject_cast<KvoDetailSoftwareItem*>(item->widget());
        if (row && !isBusy(row)) {
            m_spareRows.append(row);
        } else if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->disconnect(this);
            widget->deleteLater();
        }
        delete item;
    }
}

// `complete`: whether the entry will show as finished (green). A spare row
// that already does is taken first, so that its style sheets stay as they
// are: changing one costs more than the rest of the refresh.
KvoDetailSoftwareItem* KvoPageDetailSoftware::addRow(int type, uint purchaseId, uint fileId, bool complete)
{
    KvoDetailSoftwareItem* row = nullptr;
    int found = -1;
    for (int i = 0; i < m_spareRows.size(); ++i) {
        const KvoDetailSoftwareItem* spare = m_spareRows.at(i);
        if (spare->type() != type)
            continue;
        if (found < 0)
            found = i;
        if (type == KvoDetailSoftwareItem::Chapter || (spare->seen() >= 100) == complete) {
            found = i;
            break;
        }
    }
    if (found >= 0) {
        row = m_spareRows.takeAt(found);
        row->reset();
    } else {
        row = new KvoDetailSoftwareItem(type, ui->scrollAreaWidgetContents);
        if (type != KvoDetailSoftwareItem::Chapter)
            connect(row, &KvoDetailSoftwareItem::deleteClicked, this, &KvoPageDetailSoftware::onClickDelete);
        if (type == KvoDetailSoftwareItem::Video) {
            connect(row, &KvoDetailSoftwareItem::videoClicked, this, &KvoPageDetailSoftware::onClickVorn);
            connect(row, &KvoDetailSoftwareItem::parcourirClicked, this, &KvoPageDetailSoftware::onClickParcourir);
            connect(row, &KvoDetailSoftwareItem::mouseOver, this, &KvoPageDetailSoftware::onMouseOver);
        }
    }
    row->setPurchaseId(purchaseId);
    row->setVideoId(fileId);
    ui->layoutItems->addWidget(row);
    if (row->isHidden())
        row->show();
    return row;
}

// A reused row that comes under the mouse gets no enter event: the video
// row under the pointer takes the highlight once the new rows are laid out.
void KvoPageDetailSoftware::syncHover()
{
    if (!isVisible() || QApplication::mouseButtons() != Qt::NoButton)
        return;
    // The rows' places, not those of the list page before.
    ui->scrollAreaWidgetContents->layout()->activate();
    QWidget* under = QApplication::widgetAt(QCursor::pos());
    for (KvoDetailSoftwareItem* row : rows()) {
        if (row->type() == KvoDetailSoftwareItem::Video)
            row->setHighlighted(under && (under == row || row->isAncestorOf(under)));
    }
}

void KvoPageDetailSoftware::onChangePage(int first, int last)
{
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    releaseRows();
    if (!m_items.isEmpty()) {
        first = qBound(0, first, int(m_items.size()) - 1);
        last = qBound(first, last, int(m_items.size()) - 1);
        QMap<int, KvoPurchase> purchases = library()->purchases();
        KvoDetailSoftwareItem* purchaseRow = nullptr;
        KvoDetailSoftwareItem* chapterRow = nullptr;
        for (int i = first; i <= last; ++i) {
            const ItemPair& item = m_items.at(i);
            const auto pit = purchases.constFind(int(item.purchaseId));
            const KvoPurchase purchase = pit != purchases.cend() ? pit.value() : KvoPurchase();
            if (!purchaseRow || purchaseRow->purchaseId() != item.purchaseId)
                purchaseRow = addRow(KvoDetailSoftwareItem::Purchase, item.purchaseId, item.fileId,
                                     KvoDetailSoftwareItem::listedMean(purchase) >= 100);
            const KvoVideoFile video = purchase.files.value(int(item.fileId));
            if (!video.t_chapter.isEmpty()
                && (!chapterRow || chapterRow->purchaseId() != item.purchaseId
                    || chapterRow->group() != int(video.n_chapter))) {
                chapterRow = addRow(KvoDetailSoftwareItem::Chapter, item.purchaseId, item.fileId);
                chapterRow->setGroup(int(video.n_chapter));
            }
            addRow(KvoDetailSoftwareItem::Video, item.purchaseId, item.fileId, video.alreadySeen >= 100);
        }
        for (KvoDetailSoftwareItem* row : rows())
            row->refresh(purchases);
    }
    for (KvoDetailSoftwareItem* spare : std::as_const(m_spareRows))
        spare->hide();
    setUpdatesEnabled(updates);
    if (isVisible())
        QMetaObject::invokeMethod(this, &KvoPageDetailSoftware::syncHover, Qt::QueuedConnection);
}

// --- sorting ---------------------------------------------------------------------

void KvoPageDetailSoftware::setSortStyles(QPushButton* active)
{
    for (QPushButton* button : {ui->buttonSortDate, ui->buttonSortTitre, ui->buttonSortType,
                                ui->buttonSortProgression})
        button->setStyleSheet(QString::fromLatin1(SortStyle)
                                  .arg(QLatin1String(button == active ? "#22242e" : "#0c0c0d")));
}

void KvoPageDetailSoftware::onClickSort()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button)
        return;
    setSortStyles(button);

    const QString name = button->objectName();
    if (name == QLatin1String("buttonSortDate")) {
        ui->buttonSortProgression->setText(tr("Progression"));
        ui->buttonSortType->setText(tr("Type de vorn"));
        ui->buttonSortTitre->setText(tr("Par titre"));
        if (m_sortMode == 1) {
            m_sortMode = 0;
            button->setText(tr("Les - récents"));
        } else {
            m_sortMode = 1;
            button->setText(tr("Les + récents"));
        }
    } else if (name == QLatin1String("buttonSortType")) {
        ui->buttonSortProgression->setText(tr("Progression"));
        ui->buttonSortDate->setText(tr("Par date"));
        ui->buttonSortTitre->setText(tr("Par titre"));
        if (m_sortMode == 4) {
            m_sortMode = 5;
            button->setText(tr("À l'unité"));
        } else {
            m_sortMode = 4;
            button->setText(tr("Formations"));
        }
    } else if (name == QLatin1String("buttonSortTitre")) {
        ui->buttonSortProgression->setText(tr("Progression"));
        ui->buttonSortType->setText(tr("Type de vorn"));
        ui->buttonSortDate->setText(tr("Par date"));
        if (m_sortMode == 2) {
            m_sortMode = 3;
            button->setText(tr("Titres Z à A"));
        } else {
            m_sortMode = 2;
            button->setText(tr("Titres A à Z"));
        }
    } else if (name == QLatin1String("buttonSortProgression")) {
        ui->buttonSortDate->setText(tr("Par date"));
        ui->buttonSortType->setText(tr("Type de vorn"));
        ui->buttonSortTitre->setText(tr("Par titre"));
        if (m_sortMode == 7) {
            m_sortMode = 8;
            button->setText(tr("Terminés"));
        } else if (m_sortMode == 6) {
            m_sortMode = 7;
            button->setText(tr("Commencés"));
        } else {
            m_sortMode = 6;
            button->setText(tr("Jamais vus"));
        }
    }
    onShow();
}

// --- row actions -----------------------------------------------------------------

void KvoPageDetailSoftware::onClickVorn(KvoDetailSoftwareItem* row)
{
    if (!row)
        return;
    emit onChangePageRequest(KvoPageRequest::player(m_softwareId, this, row->videoId()));
}

void KvoPageDetailSoftware::onClickDelete(KvoDetailSoftwareItem* row)
{
    if (!row)
        return;
    // The dialog runs its own event loop, in which a synchronisation or a
    // change of the connection state can refresh this page and replace the
    // row: everything needed afterwards is copied now, and the row is not
    // touched again.
    const int type = row->type();
    const uint purchaseId = row->purchaseId();
    const uint fileId = row->videoId();
    QPointer<KvoPageDetailSoftware> self(this);
    setBusy(row, true);

    int result = KvoDialog::Cancel;
    {
        KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        dialog.setObjectName(QStringLiteral("deleteDialog"));
        dialog.setExitButtonType(2);
        dialog.setDimmedWidget(KvoMainWindow::instance());
        auto* content = new QWidget;
        Ui_UIDeleteVideoDialog form;
        form.setupUi(content);
        form.label_2->setText(tr("Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?"));
        connect(form.buttonTrash, &QPushButton::clicked, &dialog, &KvoDialog::closeWithYes);
        connect(form.buttonKeep, &QPushButton::clicked, &dialog, &KvoDialog::closeWithNo);
        connect(form.buttonCancel, &QPushButton::clicked, &dialog, &KvoDialog::closeWithCancel);
        dialog.addWidget(content);
        result = dialog.showDialog(false, true);
    }
    if (!self)
        return;
    setBusy(row, false); // compares the address only, the row may be gone
    if (result == KvoDialog::Cancel)
        return;

    const QMap<int, KvoPurchase> purchases = library()->purchases();
    const KvoPurchase purchase = purchases.value(int(purchaseId));
    QList<KvoVideoFile> files;
    if (type == KvoDetailSoftwareItem::Purchase) {
        files = purchase.files.values();
    } else {
        KvoVideoFile file = purchase.files.value(int(fileId));
        file.fileId = fileId;
        files.append(file);
    }

    m_refreshEnabled = false;
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    for (const KvoVideoFile& file : std::as_const(files)) {
        library()->setVideoHidden(purchaseId, file.fileId, true);
        if (result == KvoDialog::Yes && !file.KvoPath.isEmpty())
            QFile::remove(file.KvoPath);
    }
    // The course's folder goes with its last file; checked once every file
    // of the course is gone.
    if (result == KvoDialog::Yes) {
        const QString videoFolder = KvoEnvironment::videoPath();
        for (const KvoVideoFile& file : std::as_const(files))
            KvoCourseFolders::removeEmptyCourseFolder(file.KvoPath, purchase, videoFolder);
    }
    if (!self)
        return;
    m_refreshEnabled = true;
    setUpdatesEnabled(updates);
    onShow();
}

void KvoPageDetailSoftware::onClickParcourir(KvoDetailSoftwareItem* row)
{
    if (!row)
        return;
    // The file dialog is modal: copy the row's ids first (see onClickDelete).
    const uint purchaseId = row->purchaseId();
    const uint fileId = row->videoId();
    QPointer<KvoPageDetailSoftware> self(this);
    setBusy(row, true);

    const QString path = m_chooseFile(KvoDialogParent::styleNeutral(this), tr("Ouvrir une vidéo"),
                                      KvoEnvironment::nearestExistingFolder(KvoEnvironment::videoPath()),
                                      tr("Vidéo Qozmira") + QStringLiteral(" (*.qoz)"));
    if (!self)
        return;
    setBusy(row, false);
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path)) {
        showParcourirError();
        return;
    }
    const KvoQozFile stored(path);
    if (!stored.isValid() || stored.fileId() != fileId || stored.purchaseId() != purchaseId) {
        showParcourirError();
        return;
    }

    const QMap<int, KvoPurchase> purchases = library()->purchases();
    const auto pit = purchases.constFind(int(purchaseId));
    // The video may have left the library while the dialog was open.
    if (pit == purchases.cend() || !pit->files.contains(int(fileId))) {
        onShow();
        return;
    }
    KvoVideoFile video = pit->files.value(int(fileId));
    video.KvoPath = path;
    m_refreshEnabled = false;
    library()->setVideoPath(pit.value(), video);
    if (!self)
        return;
    m_refreshEnabled = true;
    onShow();
}

void KvoPageDetailSoftware::showParcourirError()
{
    KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setObjectName(QStringLiteral("parcourirErrorDialog"));
    dialog.setDimmedWidget(KvoMainWindow::instance());
    auto* content = new QWidget;
    Ui_UIErrorParcourirVideoDialog form;
    form.setupUi(content);
    dialog.addWidget(content);
    dialog.showDialog(false, true);
}

void KvoPageDetailSoftware::onMouseOver(KvoDetailSoftwareItem* row)
{
    for (KvoDetailSoftwareItem* other : rows()) {
        if (other != row && other->type() == KvoDetailSoftwareItem::Video)
            other->clearHighlight();
    }
}

// --- side column -------------------------------------------------------------------

void KvoPageDetailSoftware::updateAbo()
{
    ui->buttonAbo->setText(m_subscribed ? tr(" Désabonner") : tr(" S'abonner"));
}

void KvoPageDetailSoftware::onClickAbonnement()
{
    if (m_softwareId == 0)
        return;
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("soft_id"), QVariant::fromValue<uint>(m_softwareId));
    m_subscribed = !m_subscribed;
    fields.insert(QStringLiteral("sub"), m_subscribed ? 1 : 0);
    const bool subscribed = m_subscribed;
    QPointer<KvoPageDetailSoftware> self(this);
    library()->setSoftwareSubscribed(m_softwareId, subscribed);
    KvoAsynchronousSender::add(KvoApi::address(QStringLiteral("/0.1/playersoftEmailSub/")), fields);
    if (!self)
        return;
    m_subscribed = subscribed;
    updateAbo();
}

void KvoPageDetailSoftware::onClickVisiter()
{
    const QUrl url(m_softwareUrl);
    if (isWebAddress(url))
        QDesktopServices::openUrl(url);
}

void KvoPageDetailSoftware::onClickSupport()
{
    emit onChangePage(QStringLiteral("support"), true);
}

void KvoPageDetailSoftware::collectDownloadedVideos(QList<QVariant>& purchaseIds, QList<QVariant>& fileIds)
{
    const QMap<int, KvoPurchase> purchases = library()->purchases();
    for (const ItemPair& item : std::as_const(m_items)) {
        const auto pit = purchases.constFind(int(item.purchaseId));
        if (pit == purchases.cend())
            continue;
        const auto fit = pit->files.constFind(int(item.fileId));
        // The list may be older than the library: a video hidden since is
        // not handed to the player either.
        if (fit == pit->files.cend() || !KvoSoftwareDetailOrder::isListed(fit.value())
            || !QFile::exists(fit->KvoPath))
            continue;
        purchaseIds.append(QVariant::fromValue<uint>(item.purchaseId));
        fileIds.append(QVariant::fromValue<uint>(item.fileId));
    }
}
