#include "KvoPageDownloads.h"
#include "ui_KvoPageDownloads.h"
#include "ui_UIConnection.h"
#include "ui_UIErrorPlayVideoDialog.h"

#include "KvoDialog.h"
#include "KvoDownloadJob.h"
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

namespace {

// The order of purchase dates as a number. Read from the date and time as
// the record holds them: a conversion to UTC asks the system's time zone
// rules each time, which costs seconds over a large library.
qint64 dateKey(const QDateTime& date)
{
    if (!date.isValid())
        return 0;
    return date.date().toJulianDay() * 86400000 + date.time().msecsSinceStartOfDay();
}

} // namespace

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
    connect(queue, &KvoDownloadQueue::jobEnded, this, &KvoPageDownloads::onJobEnded);
    connect(queue, &KvoDownloadQueue::downloadFinished, this, &KvoPageDownloads::onDownloadFinished);
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
    KvoDownloadQueue::instance()->clear();
    for (KvoDownloadWidget* row : std::as_const(m_rows))
        row->setJob(nullptr);
    for (const DWidget& d : std::as_const(m_entries))
        if (d.job)
            d.job->stop();
    // Each job takes its children with it.
    const QHash<int, DWidget> entries = m_entries;
    m_entries.clear();
    m_sorted.clear();
    for (const DWidget& d : entries)
        delete d.job;
    KvoDownloadQueue::instance()->clear();
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

// --- counting ---------------------------------------------------------------

bool KvoPageDownloads::missesVideo(const KvoPurchase& purchase, const QHash<uint, QString>& gone)
{
    // No look at the disk here: this runs for every purchase of the library
    // on the GUI thread.
    for (const KvoVideoFile& video : purchase.files) {
        if (video.KvoPath.isEmpty())
            return true;
        if (!gone.isEmpty()) {
            const auto it = gone.constFind(video.fileId);
            if (it != gone.cend() && it.value() == video.KvoPath)
                return true;
        }
    }
    return false;
}

QSet<int> KvoPageDownloads::purchasesMissingVideos(const QMap<int, KvoPurchase>& purchases,
                                                   const QHash<uint, QString>& gone)
{
    QSet<int> ids;
    for (auto it = purchases.cbegin(); it != purchases.cend(); ++it)
        if (missesVideo(it.value(), gone))
            ids.insert(it.key());
    return ids;
}

QSet<int> KvoPageDownloads::missingNow(const QMap<int, KvoPurchase>& purchases)
{
    // Whether a purchase misses a video follows from its record and the
    // files found gone alone. A change to the library detaches its map from
    // the copy kept here, and one to the gone files detaches theirs: while
    // both are still shared, the last walk's answer holds, and showing the
    // page again needs no walk through a large library.
    if (m_walked && purchases.isSharedWith(m_walkedLibrary) && m_gone.isSharedWith(m_walkedGone))
        return m_walkedMissing;
    const QSet<int> missing = purchasesMissingVideos(purchases, m_gone);
    remember(purchases, missing);
    return missing;
}

void KvoPageDownloads::remember(const QMap<int, KvoPurchase>& purchases, const QSet<int>& missing)
{
    m_walked = true;
    m_walkedLibrary = purchases;
    m_walkedGone = m_gone;
    m_walkedMissing = missing;
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
    m_counted = missingNow(KvoPurchaseVideoManager::instance()->purchases());
    notifyCounter(int(m_counted.size()));
}

void KvoPageDownloads::onJobEnded(uint purchaseId)
{
    // Queued: the job that ended (or its parent) still has its own end to
    // go through.
    if (m_rearmLater.contains(int(purchaseId)))
        QMetaObject::invokeMethod(this, [this, purchaseId] { rearmWhenIdle(purchaseId); }, Qt::QueuedConnection);
    const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
    const auto it = purchases.constFind(int(purchaseId));
    if (it != purchases.cend())
        forgetFilesBack(it.value());
    if (it != purchases.cend() && missesVideo(it.value(), m_gone))
        m_counted.insert(int(purchaseId));
    else
        m_counted.remove(int(purchaseId));
    notifyCounter(int(m_counted.size()));
}

void KvoPageDownloads::onShow()
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    const QMap<int, KvoPurchase> purchases = manager->purchases();
    m_connected = manager->isConnected();
    applyLibrary(purchases);
    m_fileCheck->start(purchases);
    onConnectionStateChanged(m_connected);
}

void KvoPageDownloads::forgetFilesBack(const KvoPurchase& purchase)
{
    // A download may write a video again under the path it had when it was
    // found gone; a look at one course's files is cheap.
    for (const KvoVideoFile& video : purchase.files) {
        const auto it = m_gone.find(video.fileId);
        if (it != m_gone.end() && (it.value() != video.KvoPath || video.isOnDisk()))
            m_gone.erase(it);
    }
}

void KvoPageDownloads::onFilesChecked(const QHash<uint, QString>& gone)
{
    if (gone == m_gone)
        return;
    const QHash<uint, QString> before = std::exchange(m_gone, gone);
    const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
    // A listed course that lost a file since: its child rows were made for
    // the videos missing then and are made again, for those missing now.
    for (const DWidget& d : std::as_const(m_entries)) {
        if (!d.job)
            continue;
        const auto found = purchases.constFind(d.purchaseId);
        if (found == purchases.cend())
            continue;
        // The look may have begun before a download of this course ended.
        forgetFilesBack(found.value());
        const bool lost = std::any_of(found->files.cbegin(), found->files.cend(), [&](const KvoVideoFile& video) {
            return m_gone.contains(video.fileId) && !before.contains(video.fileId);
        });
        if (lost)
            rearmEntry(d.job, found.value());
    }
    applyLibrary(purchases);
}

void KvoPageDownloads::rearmEntry(KvoDownloadJob* job, const KvoPurchase& purchase)
{
    const bool expanded = job->isExpanded();
    if (!job->rearm(purchase)) {
        // A transfer of the course runs or a failure is on show: both stay
        // until they end or the user acts, then the rows follow the disk.
        m_rearmLater.insert(int(job->purchaseId()));
        return;
    }
    m_rearmLater.remove(int(job->purchaseId()));
    if (expanded)
        job->toggleExpanded();
}

void KvoPageDownloads::rearmWhenIdle(uint purchaseId)
{
    // Another transfer of the course or a failure on show puts it off again
    // (rearmEntry notes it), until the next end of a run.
    m_rearmLater.remove(int(purchaseId));
    const auto it = m_entries.constFind(int(purchaseId));
    if (it == m_entries.cend() || !it->job || it->job->isStopped())
        return;
    const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
    const auto found = purchases.constFind(int(purchaseId));
    if (found != purchases.cend() && missesVideo(found.value(), m_gone))
        rearmEntry(it->job, found.value());
}

void KvoPageDownloads::applyLibrary(const QMap<int, KvoPurchase>& purchases)
{
    if (!m_built) {
        // The first list, in one walk through the library: every purchase
        // that misses a video becomes an entry.
        m_built = true;
        m_entries.reserve(purchases.size());
        m_missing.reserve(purchases.size());
        for (auto it = purchases.cbegin(); it != purchases.cend(); ++it) {
            if (!missesVideo(it.value(), m_gone))
                continue;
            m_missing.insert(it.key());
            DWidget entry;
            entry.purchaseId = it.key();
            entry.date = dateKey(it->purchaseDate);
            entry.softwareId = it->softwareIDs.isEmpty() ? 0 : it->softwareIDs.first();
            m_entries.insert(it.key(), entry);
        }
        m_counted = m_missing;
        remember(purchases, m_missing);
        notifyCounter(int(m_missing.size()));
        ui->widgetNone->setVisible(m_entries.isEmpty());
        m_pagination->setItemCount(int(m_entries.size()));
        m_pagination->refresh(m_pagination->currentPage());
        sort();
        return;
    }

    const QSet<int> missing = missingNow(purchases);
    m_counted = missing;
    notifyCounter(int(missing.size()));
    if (missing != m_missing) {
        m_built = true;
        m_missing = missing;
        // One walk through the library. An entry listed already: a purchase
        // whose last video arrived shows its finished look; a finished one
        // that misses a video again (a video was added to the course) is
        // armed again. A purchase that misses a video and is not listed yet
        // joins the list.
        m_entries.reserve(missing.size());
        qsizetype listedSeen = 0;
        for (auto found = purchases.cbegin(); found != purchases.cend(); ++found) {
            const bool misses = missing.contains(found.key());
            auto it = m_entries.find(found.key());
            if (it == m_entries.end()) {
                if (!misses)
                    continue;
                it = m_entries.insert(found.key(), DWidget());
                it->purchaseId = found.key();
            }
            ++listedSeen;
            it->date = dateKey(found->purchaseDate);
            it->softwareId = found->softwareIDs.isEmpty() ? 0 : found->softwareIDs.first();
            KvoDownloadJob* job = it->job;
            if (!misses && !job)
                job = makeJob(*it, found.value());
            if (job && !misses && !job->isFinished() && !job->isBusy() && missesVideo(job->purchase(), m_gone))
                job->finish();
            else if (job && misses && job->isFinished())
                rearmEntry(job, found.value());
        }
        // Entries whose purchase left the library stay while they have a job
        // to show; the others go.
        if (listedSeen < m_entries.size()) {
            for (auto it = m_entries.begin(); it != m_entries.end();) {
                if (!it->job && !purchases.contains(it.key()))
                    it = m_entries.erase(it);
                else
                    ++it;
            }
        }
        ui->widgetNone->setVisible(m_entries.isEmpty());
        m_pagination->setItemCount(int(m_entries.size()));
        m_pagination->refresh(m_pagination->currentPage());
        sort();
    }
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

    // Each entry becomes a pair of numbers (the key, then the id, which
    // orders entries with equal keys): a library of any size sorts at once.
    // Software names are ranked once per software, not once per comparison.
    const int mode = m_sortMode;
    QHash<uint, qint64> rankOf;
    if (mode == 2 || mode == 3) {
        QSet<uint> ids;
        for (const DWidget& d : std::as_const(m_entries))
            ids.insert(d.softwareId);
        std::vector<std::pair<QByteArray, uint>> names;
        for (const uint id : std::as_const(ids))
            names.emplace_back(m_softwares.value(int(id)).name.toLower().toLatin1(), id);
        std::sort(names.begin(), names.end());
        qint64 rank = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0 && names[i].first != names[i - 1].first)
                ++rank;
            rankOf.insert(names[i].second, rank);
        }
    }
    std::vector<std::pair<qint64, int>> keyed;
    keyed.reserve(size_t(m_entries.size()));
    for (const DWidget& d : std::as_const(m_entries)) {
        qint64 key = 0;
        switch (mode) {
        case 0: key = d.date; break;
        case 1: key = -d.date; break;
        case 2: key = rankOf.value(d.softwareId); break;
        default: key = -rankOf.value(d.softwareId); break;
        }
        keyed.emplace_back(key, d.purchaseId);
    }
    std::sort(keyed.begin(), keyed.end());
    m_sorted.clear();
    m_sorted.reserve(qsizetype(keyed.size()));
    for (const auto& k : keyed)
        m_sorted.append(k.second);
    if (m_sorted.isEmpty()) {
        m_first = 0;
        m_last = -1;
        relayout();
    }
    m_pagination->setCurrentPage(m_pagination->currentPage());
}

KvoDownloadJob* KvoPageDownloads::makeJob(DWidget& entry, const KvoPurchase& purchase)
{
    auto* job = new KvoDownloadJob(purchase);
    job->setFlag(m_connected);
    // Expanding or collapsing changes the rows of the list page.
    connect(job, &KvoDownloadJob::childrenChanged, this, &KvoPageDownloads::relayout);
    entry.job = job;
    return job;
}

KvoDownloadJob* KvoPageDownloads::entryFor(uint purchaseId)
{
    auto it = m_entries.find(int(purchaseId));
    if (it == m_entries.end())
        return nullptr;
    if (!it->job) {
        const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
        const auto found = purchases.constFind(int(purchaseId));
        if (found == purchases.cend())
            return nullptr;
        makeJob(*it, found.value());
    }
    return it->job;
}

QList<KvoDownloadJob*> KvoPageDownloads::sortedEntries()
{
    QList<KvoDownloadJob*> list;
    for (const int id : std::as_const(m_sorted))
        if (KvoDownloadJob* job = entryFor(uint(id)))
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
    for (int i = qMax(0, m_first); i <= m_last && i < m_sorted.size(); ++i) {
        KvoDownloadJob* job = entryFor(uint(m_sorted.at(i)));
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
    if (!job || job->parentJob() || entryFor(job->purchaseId()) != job)
        return;
    const int id = int(job->purchaseId());
    m_entries.remove(id);
    m_sorted.removeOne(id);
    for (KvoDownloadWidget* row : std::as_const(m_rows))
        if (row->job() == job || (row->job() && row->job()->parentJob() == job))
            row->setJob(nullptr);
    job->stop();
    // Called from a click on its row: the job goes from the event loop.
    job->deleteLater();
    sort();
    m_pagination->setItemCount(int(m_entries.size()));
    m_pagination->refresh(m_pagination->currentPage());
    ui->widgetNone->setVisible(m_entries.isEmpty());
}

void KvoPageDownloads::stopAll()
{
    // The waiting entries go first, so stopping one entry never starts
    // another.
    KvoDownloadQueue::instance()->clear();
    for (const DWidget& d : std::as_const(m_entries))
        if (d.job)
            d.job->stop();
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
    const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
    // A link may come before the page was ever shown: its list is built
    // first, or an owned purchase would look unknown.
    if (purchases.contains(int(purchaseId)) && !m_entries.contains(int(purchaseId))
        && missesVideo(purchases.value(int(purchaseId)), m_gone))
        onShow();
    sort();
    for (int i = 0; i < m_sorted.size(); ++i) {
        if (uint(m_sorted.at(i)) != purchaseId)
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
    m_fileCheck->start(manager->purchases());
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
        if (d.job)
            d.job->setFlag(connected);
    onUpdateEnded();
}

void KvoPageDownloads::onSessionExpired()
{
    // Nothing more is fetched for a session the service refused; what was
    // on its way says so instead of waiting for ever.
    const QString message = tr("Erreur - session expirée");
    QList<KvoDownloadJob*> running;
    for (const DWidget& d : std::as_const(m_entries)) {
        if (!d.job)
            continue;
        if (d.job->isBusy())
            running.append(d.job);
        for (KvoDownloadJob* child : d.job->children())
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
    const QList<int> ids = m_sorted;
    for (const int id : ids) {
        KvoDownloadJob* job = entryFor(uint(id));
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
