#include "KvoPageSearch.h"
#include "ui_KvoPageSearch.h"
#include "ui_UIConnection.h"

#include "KvoApi.h"
#include "KvoDialog.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoOpacityAnimation.h"
#include "KvoPageDownloads.h"
#include "KvoPaginationWidget.h"
#include "KvoPromotionTimer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoPurchaser.h"
#include "KvoSearchItem.h"
#include "KvoSidewaysWheel.h"
#include "KvoValueReader.h"

#include <QDateTime>
#include <QGraphicsOpacityEffect>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <limits>

using Paging = KvoSearchPaging;

KvoPageSearch::PreviewHook& KvoPageSearch::previewHook()
{
    static PreviewHook hook;
    return hook;
}

void KvoPageSearch::setPreviewHook(const PreviewHook& hook)
{
    previewHook() = hook;
}

KvoPageSearch::KvoPageSearch(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoPageSearch>())
    , m_parentPage(parent)
{
    ui->setupUi(this);
    KvoSidewaysWheel::install(ui->scrollArea);
    // Repeats the query as typed (or pasted): as text.
    ui->no_result->setTextFormat(Qt::PlainText);
    m_pagination = new KvoPaginationWidget(this);
    m_pagination->setItemsPerPage(Paging::PageSize);
    ui->pagesLayout->addWidget(m_pagination);
    connect(m_pagination, &KvoPaginationWidget::changePage, this, &KvoPageSearch::changePage);
    m_animation = new KvoOpacityAnimation(this);
    m_animation->setWidget(ui->animatedWidget);
    m_animation->setDuration(10);
    m_animation->setRange(1.0, 0.0);
    connect(m_animation, &KvoAbstractAnimation::finished, this, &KvoPageSearch::onDisplayFinished);
    ui->animatedWidget->hide();
    ui->no_result->hide();
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &KvoPageSearch::onDeadline);
    m_promotionEnds = new KvoPromotionTimer(this);
    m_promotionEnds->followPage(this);
    connect(m_promotionEnds, &KvoPromotionTimer::ended, this, &KvoPageSearch::showCurrentPrices);
}

KvoPageSearch::~KvoPageSearch()
{
    dropRequest();
    // The overlay belongs to the main window, which may outlive the page.
    if (m_loadingFrame)
        m_loadingFrame->deleteLater();
    delete m_purchaser;
}

QString KvoPageSearch::title() const
{
    return tr("Recherche");
}

QString KvoPageSearch::name() const
{
    return QStringLiteral("search");
}

QWidget* KvoPageSearch::parentPage() const
{
    return m_parentPage;
}

void KvoPageSearch::onShow()
{
    // Coming back to the page shows the last search as it was, with the
    // prices of this moment: a promotion may have ended since.
    showCurrentPrices();
}

void KvoPageSearch::showCurrentPrices()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    m_promotionEnds->clear();
    for (KvoSearchItem* row : serverRows()) {
        row->showPrices(now);
        if (!row->isOwned())
            m_promotionEnds->watch(row->course());
    }
}

void KvoPageSearch::onLibraryUpdated()
{
    // The rows stay as they are; a course that reached the library since
    // (a purchase) shows as owned.
    const QMap<int, KvoPurchase> library = KvoPurchaseVideoManager::instance()->purchases();
    for (const PageRows& rows : std::as_const(m_rows))
        for (const QPointer<KvoSearchItem>& row : rows.server)
            if (row && library.contains(int(row->course().id)))
                row->showOwned();
}

bool KvoPageSearch::isSearching() const
{
    return !m_request.isNull();
}

QList<KvoSearchItem*> KvoPageSearch::rowsOf(QLayout* layout)
{
    QList<KvoSearchItem*> rows;
    for (int i = 0; i < layout->count(); ++i)
        if (auto* row = qobject_cast<KvoSearchItem*>(layout->itemAt(i)->widget()))
            rows.append(row);
    return rows;
}

QList<KvoSearchItem*> KvoPageSearch::localRows() const
{
    return rowsOf(ui->localResults);
}

QList<KvoSearchItem*> KvoPageSearch::serverRows() const
{
    return rowsOf(ui->serverResults);
}

// --- the search --------------------------------------------------------------

void KvoPageSearch::newSearch(const QString& text)
{
    const QString query = text.trimmed();
    if (query.isEmpty())
        return;
    // The same text again does nothing, unless its last request failed.
    if (m_record && m_record->query == query && !m_record->failed)
        return;
    ui->no_result->hide();
    if (KvoMainWindow* window = KvoMainWindow::instance())
        window->setSearchEnabled(false);
    if (!m_loadingFrame) {
        QWidget* host = KvoMainWindow::instance() ? static_cast<QWidget*>(KvoMainWindow::instance()) : this;
        m_loadingFrame = new KvoLoadingFrame(host);
        m_loadingFrame->setOwner(this);
    }
    m_cache.clear();
    dropRows();
    m_shownPage = -1;
    m_pagination->setItemCount(0);
    m_pagination->refresh(0);

    m_record = std::make_unique<Request>();
    m_record->query = query;
    m_record->libraryResults = Paging::localSearch(KvoPurchaseVideoManager::instance()->purchases(), query);
    m_record->count = int(m_record->libraryResults.size());
    m_slice = Paging::slice(0, Paging::PageSize - 1, m_record->count);
    search(0, m_pagination->itemsPerPage());
}

void KvoPageSearch::dropRequest()
{
    if (!m_request)
        return;
    // A late answer of an older page or search never reaches the page.
    m_request->blockSignals(true);
    m_request->abort();
    m_request->deleteLater();
    m_request = nullptr;
}

void KvoPageSearch::search(int start, int limit)
{
    m_animation->stop();
    m_animation->setRange(1.0, 0.0);
    m_animation->start();
    ui->animatedWidget->setEnabled(false);
    m_pagination->disable();
    m_start = start;
    dropRequest();
    if (m_loadingFrame)
        m_loadingFrame->start();

    m_request = new KvoHTTPRequest(this);
    connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoPageSearch::onSuccessRequest);
    connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoPageSearch::onErrorRequest);
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("limit"), limit);
    fields.insert(QStringLiteral("query"), m_record ? m_record->query : QString());
    fields.insert(QStringLiteral("start"), start);
    m_request->post(KvoApi::address(QStringLiteral("/0.1/playerSearch/")), fields);
    m_deadline->start(KvoPurchaser::requestDeadline());
}

void KvoPageSearch::onDeadline()
{
    if (!m_request)
        return;
    dropRequest();
    onErrorRequest(QNetworkReply::TimeoutError, QString());
}

void KvoPageSearch::onSuccessRequest(const QString& answer)
{
    m_deadline->stop();
    if (m_request)
        m_request->deleteLater();
    m_request = nullptr;
    if (!m_record)
        return;
    m_record->failed = false;
    KvoJsonResult json;
    json.parse(answer);
    QList<KvoPurchase> results;
    if (json.hasKeys(2, "vorn", "results") && json.hasKeys(2, "vorn", "total")) {
        const QVariant list = json.valueAt(2, "vorn", "results");
        if (list.metaType().id() == QMetaType::QVariantList) {
            for (const QVariant& item : list.toList())
                if (item.metaType().id() == QMetaType::QVariantMap)
                    results.append(KvoPurchase::createFromJson(item.toMap()));
        }
        m_record->lastServerResults = results;
        // A total that is no whole number, or fewer than the results in
        // hand, would page over fewer items than were received (none at
        // all: no page would ever show and the wait would never end). The
        // results received are counted then.
        const qint64 received = qint64(qMax(0, m_start)) + results.size();
        const qint64 total = KvoValueReader::toUInt(json.valueAt(2, "vorn", "total"), 0);
        m_record->count = int(qMin<qint64>(qMax(total, received), std::numeric_limits<int>::max()));
        m_record->answered = true;
    }
    if (m_record->libraryResults.isEmpty() && results.isEmpty() && !m_record->paged) {
        showNoResult();
        return;
    }
    m_cache.insert(uint(m_start), results);
    if (!m_record->paged) {
        m_record->paged = true;
        const int local = int(m_record->libraryResults.size());
        m_pagination->setItemCount(Paging::itemCount(local, m_record->answered ? m_record->count : 0));
        m_pagination->refresh(0);
        return;
    }
    display(false);
}

void KvoPageSearch::onErrorRequest(QNetworkReply::NetworkError, const QString&)
{
    m_deadline->stop();
    if (m_request)
        m_request->deleteLater();
    m_request = nullptr;
    if (m_record)
        m_record->failed = true;
    endWaiting();
    ui->animatedWidget->hide();
    ui->no_result->setText(tr("Une erreur est survenue. Veuillez réessayer ultérieurement."));
    ui->no_result->show();
}

void KvoPageSearch::showNoResult()
{
    endWaiting();
    ui->animatedWidget->hide();
    const QString query = m_record ? Paging::shortQuery(m_record->query) : QString();
    ui->no_result->setText(tr("Woups ! aucun résultat ne correspond à la recherche « %0 »").arg(query));
    ui->no_result->show();
}

void KvoPageSearch::endWaiting()
{
    if (KvoMainWindow* window = KvoMainWindow::instance())
        window->setSearchEnabled(true);
    if (m_loadingFrame)
        m_loadingFrame->stop();
    m_animation->stop();
    ui->animatedWidget->setEnabled(true);
    m_pagination->enable();
}

void KvoPageSearch::changePage(int first, int last)
{
    if (!m_record)
        return;
    const int local = int(m_record->libraryResults.size());
    m_slice = Paging::slice(first, last, local);
    // A page is taken from the cache when its entry holds every service
    // result the page shows.
    if (m_slice.serverCount > 0
        && m_cache.value(uint(m_slice.serverStart)).size() < m_slice.serverCount) {
        search(m_slice.serverStart, m_pagination->itemsPerPage());
        return;
    }
    m_start = m_slice.serverStart;
    display();
}

void KvoPageSearch::display(bool reuseRows)
{
    endWaiting();
    const double opacity = m_animation->effect() ? m_animation->effect()->opacity() : 0.0;
    if (opacity >= 1.0 - 1e-9) {
        // Already fully shown (a page fetched before, after a fade in that
        // ended a rounding error short of 1): nothing to fade, and a fade
        // with equal ends would tick until stopped.
        m_animation->stop();
    } else {
        m_animation->setRange(opacity, 1.0);
        m_animation->start();
    }

    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    takeRows(ui->localResults);
    takeRows(ui->serverResults);
    ui->animatedWidget->show();

    const int page = m_pagination->currentPage();
    auto kept = m_rows.find(page);
    if (kept != m_rows.end() && !reuseRows) {
        dropRows(*kept);
        m_rows.erase(kept);
        kept = m_rows.end();
    }
    if (kept == m_rows.end()) {
        if (m_rows.size() >= KeptPages)
            dropRows();
        kept = m_rows.insert(page, makeRows());
    }
    // Another page of results starts at its top; the same page shown anew
    // (after a purchase) stays where the user was.
    if (page != m_shownPage) {
        m_shownPage = page;
        ui->scrollArea->verticalScrollBar()->setValue(0);
    }
    int local = 0, server = 0;
    for (const QPointer<KvoSearchItem>& row : std::as_const(kept->local)) {
        if (row) {
            ui->localResults->addWidget(row);
            row->show();
            ++local;
        }
    }
    for (const QPointer<KvoSearchItem>& row : std::as_const(kept->server)) {
        if (row) {
            ui->serverResults->addWidget(row);
            row->show();
            ++server;
        }
    }
    // Rows made at an earlier visit of their page show the prices of now.
    showCurrentPrices();
    ui->localLabel->setVisible(local > 0);
    ui->serverLabel->setVisible(server > 0);
    ui->serverResults->update();
    setUpdatesEnabled(updates);
    ui->scrollArea->update();
}

KvoPageSearch::PageRows KvoPageSearch::makeRows()
{
    PageRows rows;
    if (!m_record)
        return rows;
    const QList<KvoPurchase>& library = m_record->libraryResults;
    for (int i = m_slice.localFirst; i < m_slice.localFirst + m_slice.localCount && i < library.size(); ++i) {
        auto* row = new KvoSearchItem(this, this, library.at(i));
        row->connectGoToVideo();
        rows.local.append(row);
    }
    const QList<KvoPurchase> results = m_cache.value(uint(m_start));
    const int shown = qMin(int(results.size()), m_slice.serverCount);
    if (shown > 0) {
        const QMap<int, KvoPurchase> owned = KvoPurchaseVideoManager::instance()->purchases();
        for (int i = 0; i < shown; ++i) {
            const KvoPurchase& course = results.at(i);
            // A result the service sent without a title is left out.
            if (course.title.isNull())
                continue;
            auto* row = new KvoSearchItem(this, this, course);
            row->connectGoToUrl();
            if (owned.contains(int(course.id)))
                row->showOwned();
            rows.server.append(row);
        }
    }
    return rows;
}

void KvoPageSearch::onDisplayFinished()
{
    ui->scrollArea->setEnabled(true);
}

void KvoPageSearch::takeRows(QLayout* layout)
{
    // Out of the layout, kept for a later visit of their page.
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget())
            widget->hide();
        delete item;
    }
}

void KvoPageSearch::dropRows(PageRows& rows)
{
    // A row may still be answering a click of its own further up the stack
    // (a purchase dialog): it is hidden now and deleted by the event loop.
    for (QList<QPointer<KvoSearchItem>>* list : {&rows.local, &rows.server}) {
        for (const QPointer<KvoSearchItem>& row : std::as_const(*list)) {
            if (row) {
                row->hide();
                row->deleteLater();
            }
        }
        list->clear();
    }
}

void KvoPageSearch::dropRows()
{
    m_promotionEnds->clear();
    takeRows(ui->localResults);
    takeRows(ui->serverResults);
    for (PageRows& rows : m_rows)
        dropRows(rows);
    m_rows.clear();
}

// --- what the rows call ------------------------------------------------------

void KvoPageSearch::goToPage(const QString& page, bool history)
{
    emit onChangePage(page, history);
}

void KvoPageSearch::goToRequest(const KvoPageRequest& request)
{
    emit onChangePageRequest(request);
}

void KvoPageSearch::showNoConnection()
{
    if (m_noConnection && m_noConnection->isVisible())
        return;
    // Made anew at each showing, in the interface language of that moment.
    if (m_noConnection)
        m_noConnection->deleteLater();
    m_noConnection = new KvoDialog(this, Qt::Dialog | Qt::FramelessWindowHint);
    m_noConnection->setObjectName(QStringLiteral("noConnectionDialog"));
    m_noConnection->setDimmedWidget(KvoMainWindow::instance());
    auto* content = new QWidget;
    Ui_UIConnection form;
    form.setupUi(content);
    m_noConnection->addWidget(content);
    m_noConnection->showDialog(false, true);
}

void KvoPageSearch::buy(const KvoPurchase& course)
{
    // One purchase at a time: a second one (a forwarded click, a nested
    // loop) while a dialog is open would buy twice.
    if (m_buying)
        return;
    delete m_purchaser;
    QWidget* host = KvoMainWindow::instance() ? static_cast<QWidget*>(KvoMainWindow::instance()) : this;
    m_purchaser = new KvoPurchaser(host);
    connect(m_purchaser, &KvoPurchaser::purchased, this, &KvoPageSearch::onPurchased);
    connect(m_purchaser, &KvoPurchaser::gotoPageDownloads, this, &KvoPageSearch::onGotoPageDownload);
    QPointer<KvoPageSearch> self(this);
    m_buying = true;
    m_purchaser->buy(course);
    if (self)
        m_buying = false;
}

void KvoPageSearch::playPreview(const QString& address, int width, int height)
{
    if (const PreviewHook& hook = previewHook())
        hook(address, width, height);
}

void KvoPageSearch::onPurchased(const KvoVorn&)
{
    // The page is asked again for what the purchase may have changed of
    // it. The bought course shows as owned once the synchronisation that
    // the purchase started brings it into the library: built from the new
    // answer when it is there by then, or switched by onLibraryUpdated().
    m_cache.clear();
    dropRows();
    m_pagination->setCurrentPage(m_pagination->currentPage());
}

void KvoPageSearch::onGotoPageDownload()
{
    KvoPageDownloads::clickRefresh();
    emit onChangePage(QStringLiteral("downloads"), true);
}
