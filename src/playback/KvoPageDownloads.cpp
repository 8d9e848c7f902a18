#include "KvoPageDownloads.h"
#include "ui_KvoPageDownloads.h"
#include "ui_UIConnection.h"
#include "ui_UIErrorPlayVideoDialog.h"

#include "KvoDialog.h"
#include "KvoDownloadJob.h"
#include "KvoDownloadList.h"
#include "KvoDownloadQueue.h"
#include "KvoDownloadWidget.h"
#include "KvoFont.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoNotifier.h"
#include "KvoPaginationWidget.h"
#include "KvoPurchase.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoStoredFileCheck.h"
#include "KvoVornLink.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDateTime>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <vector>

KvoPageDownloads* KvoPageDownloads::s_page = nullptr;

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

    KvoDownloadQueue* queue = KvoDownloadQueue::instance();
    connect(queue, &KvoDownloadQueue::connectionNeeded, this, &KvoPageDownloads::showNoConnectionDialog);
    connect(queue, &KvoDownloadQueue::downloadFinished, this, &KvoPageDownloads::onDownloadFinished);
    m_list = new KvoDownloadList(this);
    connect(m_list, &KvoDownloadList::countChanged, this, &KvoPageDownloads::notifyCounter);
    connect(m_list, &KvoDownloadList::listChanged, this, &KvoPageDownloads::onListChanged);
    // Expanding or collapsing, or rows that follow the disk, change the rows
    // of the list page.
    connect(m_list, &KvoDownloadList::rowsChanged, this, &KvoPageDownloads::relayout);
    m_fileCheck = new KvoStoredFileCheck(this);
    connect(m_fileCheck, &KvoStoredFileCheck::checked, this, &KvoPageDownloads::onFilesChecked);

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
    delete m_fileCheck; // stops a look at the disk that still runs
    m_fileCheck = nullptr;
    for (KvoDownloadWidget* row : std::as_const(m_rows))
        row->setJob(nullptr);
    delete m_list; // stops and deletes the jobs
    m_list = nullptr;
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
    setFont(KvoFont::arial(11));
    const QFont text12 = KvoFont::arial(12);
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

// --- following the library -------------------------------------------------

int KvoPageDownloads::countAtLastRebuild() const
{
    return m_list->countAtLastRebuild();
}

void KvoPageDownloads::notifyCounter(int count)
{
    if (auto* window = qobject_cast<KvoMainWindow*>(m_parentPage))
        window->notifyBallonNumber(count);
}

void KvoPageDownloads::refreshList()
{
    // The list tells the counter when the number changes.
    m_list->catchUp();
}

void KvoPageDownloads::onShow()
{
    m_list->rebuild();
    // Files deleted outside the client are looked for when the page comes
    // on screen (the main window shows a page before it makes it current),
    // not again at each library update while it is there: "Actualiser"
    // looks again.
    if (!isVisible())
        m_fileCheck->start();
    onConnectionStateChanged(KvoPurchaseVideoManager::instance()->isConnected());
}

void KvoPageDownloads::onFilesChecked(const QHash<uint, QString>& gone)
{
    m_list->setGone(gone);
}

void KvoPageDownloads::onListChanged()
{
    ui->widgetNone->setVisible(m_list->isEmpty());
    m_pagination->setItemCount(m_list->size());
    m_pagination->refresh(m_pagination->currentPage());
    sort();
}

// --- the list ---------------------------------------------------------------

int KvoPageDownloads::stateOf() const
{
    return m_list->sortMode();
}

void KvoPageDownloads::sort()
{
    int mode = 3;
    if (ui->dateAsc->isChecked())
        mode = 0;
    else if (ui->dateDesc->isChecked())
        mode = 1;
    else if (ui->softwareAsc->isChecked())
        mode = 2;
    m_softwares = KvoPurchaseVideoManager::instance()->softwares();
    m_list->sort(mode, m_softwares);
    if (m_list->sortedIds().isEmpty()) {
        m_first = 0;
        m_last = -1;
        relayout();
    }
    m_pagination->setCurrentPage(m_pagination->currentPage());
}

KvoDownloadJob* KvoPageDownloads::entryFor(uint purchaseId)
{
    return m_list->job(purchaseId);
}

QList<int> KvoPageDownloads::sortedIds() const
{
    return m_list->sortedIds();
}

QList<KvoDownloadJob*> KvoPageDownloads::sortedEntries()
{
    QList<KvoDownloadJob*> list;
    const QList<int> ids = m_list->sortedIds();
    for (const int id : ids)
        if (KvoDownloadJob* job = m_list->job(uint(id)))
            list.append(job);
    return list;
}

KvoDownloadWidget* KvoPageDownloads::rowFor(uint purchaseId) const
{
    for (KvoDownloadWidget* row : m_rows)
        if (row->job() && !row->job()->parentJob() && row->job()->purchaseId() == purchaseId && !row->isHidden())
            return row;
    return nullptr;
}

QList<KvoDownloadWidget*> KvoPageDownloads::visibleRows() const
{
    QList<KvoDownloadWidget*> rows;
    for (KvoDownloadWidget* row : m_rows)
        if (row->job() && !row->isHidden())
            rows.append(row);
    return rows;
}

void KvoPageDownloads::changePage(int first, int last)
{
    m_first = first;
    m_last = last;
    relayout();
}

void KvoPageDownloads::relayout()
{
    // The jobs of the list page, each followed by its shown children.
    QList<KvoDownloadJob*> jobs;
    const QList<int>& sorted = m_list->sortedIds();
    for (int i = qMax(0, m_first); i <= m_last && i < sorted.size(); ++i) {
        KvoDownloadJob* job = m_list->job(uint(sorted.at(i)));
        if (!job)
            continue;
        jobs.append(job);
        if (job->isExpanded())
            for (KvoDownloadJob* child : job->orderedChildren())
                if (!child->isHidden())
                    jobs.append(child);
    }
    while (m_rows.size() < jobs.size()) {
        auto* row = new KvoDownloadWidget(this, ui->scrollAreaWidgetContents);
        row->hide();
        m_rows.append(row);
    }
    for (int i = 0; i < m_rows.size(); ++i) {
        KvoDownloadWidget* row = m_rows.at(i);
        const int index = ui->content->indexOf(row);
        if (i < jobs.size()) {
            row->setJob(jobs.at(i));
            if (index != i) {
                if (index >= 0)
                    ui->content->removeWidget(row);
                ui->content->insertWidget(i, row);
            }
            row->show();
        } else {
            row->setJob(nullptr);
            row->hide();
            if (index >= 0)
                ui->content->removeWidget(row);
        }
    }
}

void KvoPageDownloads::removeJob(KvoDownloadJob* job)
{
    if (!job || job->parentJob() || m_list->job(job->purchaseId()) != job)
        return;
    for (KvoDownloadWidget* row : std::as_const(m_rows))
        if (row->job() == job || (row->job() && row->job()->parentJob() == job))
            row->setJob(nullptr);
    m_list->remove(job);
}

void KvoPageDownloads::stopAll()
{
    m_list->stopAll();
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
    KvoPurchase course;
    const bool owned = KvoPurchaseVideoManager::instance()->purchase(purchaseId, &course);
    // A link may come before the page was ever shown: its list is built
    // first, or an owned purchase would look unknown.
    if (owned && !m_list->isListed(purchaseId) && KvoDownloadList::missesVideo(course, m_list->gone()))
        onShow();
    sort();
    const QList<int> sorted = m_list->sortedIds();
    for (int i = 0; i < sorted.size(); ++i) {
        if (uint(sorted.at(i)) != purchaseId)
            continue;
        KvoDownloadJob* entry = entryFor(purchaseId);
        if (!entry)
            break;
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

    if (owned && !course.noVideoOnDisk() && !course.files.isEmpty()) {
        const uint softwareId = course.softwareIDs.isEmpty() ? 0 : course.softwareIDs.first();
        const QString key = QStringLiteral("detail_software_") + QString::number(softwareId);
        emit onChangePage(key, false);
        QWidget* software = nullptr;
        if (KvoMainWindow* window = KvoMainWindow::instance())
            software = window->pages().value(key).first;
        emit onChangePageRequest(KvoPageRequest::player(softwareId, software, uint(course.files.firstKey())));
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
    form.label_2->setFont(KvoFont::arial(12));
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
    // Files deleted outside the client since the last look count too.
    m_fileCheck->start();
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
    m_list->setOnline(connected);
    onUpdateEnded();
}

void KvoPageDownloads::onSessionExpired()
{
    // Nothing more is fetched for a session the service refused; what was
    // on its way says so instead of waiting for ever.
    const QString message = tr("Erreur - session expirée");
    QList<KvoDownloadJob*> running;
    for (KvoDownloadJob* job : m_list->jobs()) {
        if (job->isBusy())
            running.append(job);
        for (KvoDownloadJob* child : job->children())
            if (child->isBusy())
                running.append(child);
    }
    KvoDownloadQueue::instance()->clear();
    for (KvoDownloadJob* entry : std::as_const(running))
        entry->setToError(message);
    stopAll();
}

void KvoPageDownloads::onDownloadAllClicked()
{
    if (!KvoPurchaseVideoManager::instance()->isConnected()) {
        showNoConnectionDialog();
        return;
    }
    const QList<int> ids = m_list->sortedIds();
    for (const int id : ids) {
        KvoDownloadJob* job = m_list->job(uint(id));
        if (job && !job->isFinished())
            job->enqueue();
    }
}

void KvoPageDownloads::onDownloadFinished(const QString& title, int softwareId, int videoId)
{
    KvoNotifier::instance()->notifyVideo(QCoreApplication::translate("KvoDownloadWidget", "Téléchargement terminé"),
                                         title, KvoNotifier::videoDownloadKind(), softwareId, videoId);
}

void KvoPageDownloads::showNoConnectionDialog()
{
    if (!isVisible() || (m_noConnectionDialog && m_noConnectionDialog->isVisible()))
        return;
    // Made anew at each showing, in the interface language of that moment.
    if (m_noConnectionDialog)
        m_noConnectionDialog->deleteLater();
    QWidget* main = KvoMainWindow::instance();
    m_noConnectionDialog = new KvoDialog(main ? main : this, Qt::Dialog | Qt::FramelessWindowHint);
    m_noConnectionDialog->setDimmedWidget(main ? main : window());
    auto* content = new QWidget(m_noConnectionDialog);
    Ui_UIConnection form;
    form.setupUi(content);
    m_noConnectionDialog->addWidget(content);
    m_noConnectionDialog->show();
}

void KvoPageDownloads::onClickSupport()
{
    emit onChangePage(QStringLiteral("support"), true);
}
