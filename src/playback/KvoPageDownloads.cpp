#include "KvoPageDownloads.h"
#include "ui_KvoPageDownloads.h"
#include "ui_UIConnection.h"
#include "ui_UIErrorPlayVideoDialog.h"

#include "KvoDialog.h"
#include "KvoDownloadWidget.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchase.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoVornLink.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QLayoutItem>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

KvoPageDownloads* KvoPageDownloads::s_page = nullptr;

bool KvoPageDownloads::DWidget::operator<(const DWidget& other) const
{
    return KvoDownloadWidget::lessThan(entry, other.entry);
}

KvoPageDownloads::KvoPageDownloads(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , m_parentPage(parent)
    , ui(new Ui::KvoPageDownloads)
{
    s_page = this;
    ui->setupUi(this);
    applyFonts();

    // The four sort buttons are one exclusive choice.
    auto* group = new QButtonGroup(this);
    for (QRadioButton* button : {ui->dateAsc, ui->dateDesc, ui->softwareAsc, ui->softwareDesc})
        group->addButton(button);

    m_pagination = new KvoPaginationWidget(nullptr);
    ui->pages->addWidget(m_pagination);
    m_pagination->setMinimumHeight(60);
    m_pagination->setMaximumHeight(60);
    m_pagination->setItemsPerPage(ItemsPerPage);
    connect(m_pagination, &KvoPaginationWidget::changePage, this, &KvoPageDownloads::changePage);

    onShow();

    m_timer.setInterval(LastUpdateInterval);
    connect(&m_timer, &QTimer::timeout, this, &KvoPageDownloads::refreshLastUpdate);
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    connect(manager, &KvoPurchaseVideoManager::updateStarted, this, &KvoPageDownloads::onUpdateStarted);
    connect(manager, &KvoPurchaseVideoManager::updateEnded, this, &KvoPageDownloads::onUpdateEnded);
    connect(ui->refresh, &QPushButton::clicked, this, &KvoPageDownloads::onClickRefresh);
    connect(ui->linkRefresh, &QPushButton::clicked, this, &KvoPageDownloads::onClickRefresh);
    connect(manager, &KvoPurchaseVideoManager::changeConnectionState, this,
            &KvoPageDownloads::onConnectionStateChanged);
    connect(manager, &KvoPurchaseVideoManager::sessionExpired, this, &KvoPageDownloads::onSessionExpired);
    connect(ui->buttonSupport, &QPushButton::clicked, this, &KvoPageDownloads::onClickSupport);
    connect(ui->download, &QPushButton::clicked, this, &KvoPageDownloads::onDownloadAllClicked);
    for (QRadioButton* button : {ui->dateAsc, ui->dateDesc, ui->softwareAsc, ui->softwareDesc})
        connect(button, &QRadioButton::released, this, &KvoPageDownloads::sort);
    m_timer.start();
}

KvoPageDownloads::~KvoPageDownloads()
{
    KvoDownloadWidget::clearQueue();
    for (const DWidget& d : std::as_const(m_entries))
        d.entry->disconnect();
    // Entries of other list pages are detached from the page: delete every
    // entry here (each takes its child rows with it).
    const QMap<int, DWidget> entries = m_entries;
    m_entries.clear();
    m_sorted.clear();
    for (const DWidget& d : entries)
        delete d.entry;
    KvoDownloadWidget::clearQueue();
    delete m_pagination;
    delete ui;
    if (s_page == this)
        s_page = nullptr;
}

KvoPageDownloads* KvoPageDownloads::instance()
{
    return s_page;
}

void KvoPageDownloads::applyFonts()
{
    // Drawn where a point is a pixel.
    QFont pageFont(QStringLiteral("Arial"));
    pageFont.setPixelSize(11);
    setFont(pageFont);
    QFont text12(QStringLiteral("Arial"));
    text12.setPixelSize(12);
    for (QLabel* label : findChildren<QLabel*>())
        label->setFont(text12);
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setFont(text12);
}

QString KvoPageDownloads::title() const
{
    return tr("A télécharger");
}

QString KvoPageDownloads::name() const
{
    return QStringLiteral("downloads");
}

QWidget* KvoPageDownloads::parentPage() const
{
    return m_parentPage;
}

// --- counting ---------------------------------------------------------------

QSet<int> KvoPageDownloads::purchasesMissingVideos(const QMap<int, KvoPurchase>& purchases)
{
    QSet<int> ids;
    for (auto it = purchases.cbegin(); it != purchases.cend(); ++it) {
        for (const KvoVideoFile& video : it->files) {
            if (video.KvoPath.isEmpty()) {
                ids.insert(it.key());
                break;
            }
        }
    }
    return ids;
}

void KvoPageDownloads::notifyCounter(int count)
{
    if (auto* window = qobject_cast<KvoMainWindow*>(m_parentPage))
        window->notifyBallonNumber(count);
}

void KvoPageDownloads::refreshList()
{
    // The counter always shows the true number; the list follows at the
    // next onShow(), which compares with the set of the last rebuild.
    const QSet<int> missing = purchasesMissingVideos(KvoPurchaseVideoManager::instance()->purchases());
    notifyCounter(int(missing.size()));
}

void KvoPageDownloads::onShow()
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    const QMap<int, KvoPurchase> purchases = manager->purchases();
    m_connected = manager->isConnected();

    const QSet<int> missing = purchasesMissingVideos(purchases);
    notifyCounter(int(missing.size()));
    if (!m_built || missing != m_missing) {
        m_built = true;
        m_missing = missing;
        for (auto it = purchases.cbegin(); it != purchases.cend(); ++it) {
            const bool missesVideo = missing.contains(it.key());
            if (m_entries.contains(it.key())) {
                KvoDownloadWidget* entry = m_entries.value(it.key()).entry;
                if (!missesVideo && !entry->isFinished() && !entry->isBusy()
                    && !purchasesMissingVideos({{it.key(), entry->purchase()}}).isEmpty())
                    entry->finish();
            } else if (missesVideo) {
                auto* entry = new KvoDownloadWidget(this, nullptr, it.value(), nullptr);
                entry->setFlag(m_connected);
                entry->hide();
                m_entries.insert(it.key(), DWidget{entry});
            }
        }
        ui->widgetNone->setVisible(m_entries.isEmpty());
        m_pagination->setItemCount(int(m_entries.size()));
        m_pagination->refresh(m_pagination->currentPage());
        sort();
    }
    onConnectionStateChanged(m_connected);
}

// --- the list ---------------------------------------------------------------

void KvoPageDownloads::sort()
{
    if (ui->dateAsc->isChecked())
        m_sortMode = 0;
    else if (ui->dateDesc->isChecked())
        m_sortMode = 1;
    else if (ui->softwareAsc->isChecked())
        m_sortMode = 2;
    else
        m_sortMode = 3;
    m_softwares = KvoPurchaseVideoManager::instance()->softwares();
    m_sorted = m_entries.values();
    std::sort(m_sorted.begin(), m_sorted.end());
    if (m_sorted.isEmpty())
        clearLayout(ui->content);
    m_pagination->setCurrentPage(m_pagination->currentPage());
}

QList<KvoDownloadWidget*> KvoPageDownloads::sortedEntries() const
{
    QList<KvoDownloadWidget*> list;
    for (const DWidget& d : m_sorted)
        list.append(d.entry);
    return list;
}

KvoDownloadWidget* KvoPageDownloads::entryFor(uint purchaseId) const
{
    return m_entries.value(int(purchaseId)).entry;
}

void KvoPageDownloads::changePage(int first, int last)
{
    clearLayout(ui->content);
    for (int i = qMax(0, first); i <= last && i < m_sorted.size(); ++i) {
        KvoDownloadWidget* entry = m_sorted.at(i).entry;
        ui->content->addWidget(entry->widget());
        entry->layoutChildren();
        entry->show();
    }
}

void KvoPageDownloads::clearLayout(QLayout* layout)
{
    while (layout->count() > 0) {
        QLayoutItem* item = layout->takeAt(0);
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
        }
        delete item;
    }
}

void KvoPageDownloads::insertWidget(QWidget* anchor, QWidget* widget, int offset)
{
    const int index = ui->content->indexOf(anchor);
    if (index < 0 || !widget)
        return;
    // Moved, not doubled, when it is in the list already.
    if (ui->content->indexOf(widget) >= 0)
        ui->content->removeWidget(widget);
    ui->content->insertWidget(qMin(ui->content->indexOf(anchor) + offset, ui->content->count()), widget);
}

void KvoPageDownloads::removeWidget(KvoDownloadWidget* entry)
{
    if (!entry || !m_entries.contains(int(entry->purchaseId())) || entryFor(entry->purchaseId()) != entry)
        return;
    entry->hide();
    m_entries.remove(int(entry->purchaseId()));
    ui->content->removeWidget(entry);
    for (KvoDownloadWidget* child : entry->children())
        ui->content->removeWidget(child);
    entry->deleteLater();
    m_sorted = m_entries.values();
    sort();
    m_pagination->setItemCount(int(m_entries.size()));
    m_pagination->refresh(m_pagination->currentPage());
    ui->widgetNone->setVisible(m_entries.isEmpty());
}

void KvoPageDownloads::stopAll()
{
    // The waiting entries go first, so stopping one entry never starts
    // another.
    KvoDownloadWidget::clearQueue();
    for (const DWidget& d : std::as_const(m_entries))
        d.entry->disconnect();
}

// --- links ------------------------------------------------------------------

bool KvoPageDownloads::openLink(const KvoVornLink& link)
{
    if (!link.hasDownload())
        return false;
    playVideo(link.downloadPurchaseId());
    return true;
}

void KvoPageDownloads::playVideo(uint purchaseId)
{
    sort();
    const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
    for (int i = 0; i < m_sorted.size(); ++i) {
        KvoDownloadWidget* entry = m_sorted.at(i).entry;
        if (entry->purchaseId() != purchaseId)
            continue;
        // A finished entry has its videos on disk: it plays below.
        if (entry->isFinished())
            break;
        // The page shows first, so that the entry's own check can show the
        // no-connection dialog on it.
        emit onChangePage(QStringLiteral("downloads"), true);
        if (m_pagination->itemsPerPage() > 0)
            m_pagination->setCurrentPage(i / m_pagination->itemsPerPage());
        entry->enqueue();
        return;
    }

    const auto it = purchases.find(int(purchaseId));
    if (it != purchases.end() && !it->noVideoOnDisk() && !it->files.isEmpty()) {
        const uint softwareId = it->softwareIDs.isEmpty() ? 0 : it->softwareIDs.first();
        const QString key = QStringLiteral("detail_software_") + QString::number(softwareId);
        emit onChangePage(key, false);
        QWidget* software = nullptr;
        if (KvoMainWindow* window = KvoMainWindow::instance())
            software = window->pages().value(key).first;
        emit onChangePageRequest(KvoPageRequest::player(softwareId, software, uint(it->files.firstKey())));
        return;
    }

    auto* dialog = new KvoDialog(KvoMainWindow::instance(), Qt::Dialog | Qt::FramelessWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* content = new QWidget(dialog);
    Ui_UIErrorPlayVideoDialog form;
    form.setupUi(content);
    form.label_3->setText(tr("Erreur de téléchargement"));
    form.label_2->setText(tr("La vidéo, que vous tentez de télécharger, ne se trouve actuellement pas dans votre "
                             "liste de téléchargement."));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    form.label_2->setFont(font);
    dialog->addWidget(content);
    dialog->show();
}

void KvoPageDownloads::clickRefresh()
{
    if (!s_page)
        return;
    // Newest first, then a synchronisation: the purchase just made shows
    // at the top once it arrived.
    s_page->ui->dateDesc->click();
    s_page->onClickRefresh();
}

// --- last update ------------------------------------------------------------

QString KvoPageDownloads::lastUpdateText(qint64 stamp, qint64 now)
{
    if (stamp == 0)
        return tr("jamais");
    const qint64 d = now - stamp;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(stamp);
    if (d >= 172800)
        return local.toString(QStringLiteral("dd/MM/yy"));
    if (d >= 86400)
        return tr("hier à %1").arg(local.toString(QStringLiteral("H:mm")));
    if (d >= 7200)
        return tr("il y a %1 heures").arg(d / 3600);
    if (d >= 3600)
        return tr("il y a 1 heure");
    if (d >= 120)
        return tr("il y a %1 minutes").arg(d / 60);
    if (d >= 60)
        return tr("il y a 1 minute");
    if (d >= 30)
        return tr("il y a 30 secondes");
    if (d >= 16)
        return tr("il y a 15 secondes");
    return tr("à l'instant");
}

void KvoPageDownloads::refreshLastUpdate()
{
    if (ui->refresh->signalsBlocked())
        return;
    ui->refreshLabel->setText(lastUpdateText(KvoPurchaseVideoManager::instance()->lastLocalUpdate(),
                                             QDateTime::currentSecsSinceEpoch()));
}

// --- refresh, connection, support -------------------------------------------

void KvoPageDownloads::onClickRefresh()
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    if (!manager->isConnected()) {
        showNoConnectionDialog();
        return;
    }
    if (!m_loadingFrame) {
        m_loadingFrame = new KvoLoadingFrame(KvoMainWindow::instance() ? static_cast<QWidget*>(KvoMainWindow::instance())
                                                                        : this);
        m_loadingFrame->setOwner(this);
    }
    m_loadingFrame->start();
    manager->update();
}

void KvoPageDownloads::setRefreshEnabled(bool enabled)
{
    ui->refresh->setStyleSheet(
        enabled ? QStringLiteral("border: 1px solid #242429;background-color: #0f0f14;color: #cdcdcd;padding-left: "
                                 "15px;padding-right: 15px;padding-top: 5px;padding-bottom: 5px;")
                : QStringLiteral("border: 1px solid #242429;background-color: #0f0f14;color:#40424a;padding-left: "
                                 "15px;padding-right: 15px;padding-top: 5px;padding-bottom: 5px;"));
    ui->refresh->blockSignals(!enabled);
    ui->refresh->setCursor(enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void KvoPageDownloads::onUpdateStarted()
{
    setRefreshEnabled(false);
    ui->refreshLabel->setText(tr("en cours"));
}

void KvoPageDownloads::onUpdateEnded()
{
    if (m_loadingFrame)
        m_loadingFrame->stop();
    setRefreshEnabled(true);
}

void KvoPageDownloads::onConnectionStateChanged(bool connected)
{
    m_connected = connected;
    for (const DWidget& d : std::as_const(m_entries))
        d.entry->setFlag(connected);
    onUpdateEnded();
}

void KvoPageDownloads::onSessionExpired()
{
    // Nothing more is fetched for a session the service refused; what was
    // on its way says so instead of waiting for ever.
    const QString message = tr("Erreur - session expirée");
    QList<KvoDownloadWidget*> running;
    for (const DWidget& d : std::as_const(m_entries)) {
        if (d.entry->isBusy())
            running.append(d.entry);
        for (KvoDownloadWidget* child : d.entry->children())
            if (child->isBusy())
                running.append(child);
    }
    KvoDownloadWidget::clearQueue();
    for (KvoDownloadWidget* entry : std::as_const(running))
        entry->setToError(message);
    stopAll();
}

void KvoPageDownloads::onDownloadAllClicked()
{
    if (!KvoPurchaseVideoManager::instance()->isConnected()) {
        showNoConnectionDialog();
        return;
    }
    const QList<DWidget> entries = m_sorted;
    for (const DWidget& d : entries)
        if (!d.entry->isFinished())
            d.entry->enqueue();
}

void KvoPageDownloads::showNoConnectionDialog()
{
    if (!isVisible())
        return;
    if (!m_noConnectionDialog) {
        QWidget* main = KvoMainWindow::instance();
        m_noConnectionDialog = new KvoDialog(main ? main : this, Qt::Dialog | Qt::FramelessWindowHint);
        m_noConnectionDialog->setDimmedWidget(main ? main : window());
        auto* content = new QWidget(m_noConnectionDialog);
        Ui_UIConnection form;
        form.setupUi(content);
        m_noConnectionDialog->addWidget(content);
    }
    m_noConnectionDialog->show();
}

void KvoPageDownloads::onClickSupport()
{
    emit onChangePage(QStringLiteral("support"), true);
}
