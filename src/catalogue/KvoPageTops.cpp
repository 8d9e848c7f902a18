#include "KvoPageTops.h"
#include "ui_KvoPageTopMonth.h"
#include "ui_UIConnection.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoFont.h"
#include "KvoHTTPRequest.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoPageSearch.h"
#include "KvoPromotionTimer.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoPurchaser.h"
#include "KvoScrollBarStyle.h"
#include "KvoSidewaysWheel.h"
#include "KvoTopItem.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLayout>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <memory>

namespace {

const char ListPath[] = "/0.1/playerListVorn/";

QWidget* hostWindow(QWidget* fallback)
{
    if (KvoMainWindow* window = KvoMainWindow::instance())
        return window;
    return fallback;
}

} // namespace

KvoPageTops::KvoPageTops(const QString& listName, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , m_listName(listName)
{
    m_noConnection = new QWidget(this);
    Ui_UIConnection form;
    form.setupUi(m_noConnection);
    m_noConnection->hide();
    m_promotionEnds = new KvoPromotionTimer(this);
    m_promotionEnds->followPage(this);
    connect(m_promotionEnds, &KvoPromotionTimer::ended, this, &KvoPageTops::updateRows);
    loadCache();
}

KvoPageTops::~KvoPageTops()
{
    dropRequest();
    // These belong to the main window, which outlives the page as a rule.
    if (m_loadingFrame)
        m_loadingFrame->deleteLater();
    if (m_purchaser && !m_buying)
        m_purchaser->deleteLater();
}

// --- the cache of the list --------------------------------------------------

void KvoPageTops::loadCache()
{
    QSqlQuery query(KvoDatabase::database());
    // A list kept before answers were bounded may be of any size: such a
    // one is not read.
    query.prepare(QStringLiteral("SELECT CASE WHEN length(json) <= :max THEN json ELSE '' END FROM tops "
                                 "WHERE name = :name"));
    query.bindValue(QStringLiteral(":max"), MaxAnswerBytes);
    query.bindValue(QStringLiteral(":name"), m_listName);
    if (query.exec() && query.next()) {
        parseList(query.value(0).toString(), &m_purchases);
        return;
    }
    query.prepare(QStringLiteral("INSERT INTO tops (name, json) VALUES (:name, '')"));
    query.bindValue(QStringLiteral(":name"), m_listName);
    query.exec();
}

void KvoPageTops::storeCache(const QString& json)
{
    QSqlQuery query(KvoDatabase::database());
    query.prepare(QStringLiteral("UPDATE tops SET json = :json WHERE name = :name"));
    // The favourites are the user's own: never kept for offline use.
    query.bindValue(QStringLiteral(":json"), m_listName == QLatin1String("fave") ? QString(QLatin1String("")) : json);
    query.bindValue(QStringLiteral(":name"), m_listName);
    query.exec();
}

bool KvoPageTops::parseList(const QString& text, QList<KvoPurchase>* courses)
{
    courses->clear();
    // Only the courses kept become variant maps: a list of thousands costs
    // its parse alone.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonValue vorns = document.object().value(QStringLiteral("vorns"));
    if (!vorns.isArray())
        return false;
    const QJsonArray list = vorns.toArray();
    for (const QJsonValue element : list) {
        if (!element.isObject())
            continue;
        if (courses->size() == MaxRows) {
            qWarning("KvoPageTops: a list of %lld elements; the first %d courses kept", qlonglong(list.size()),
                     MaxRows);
            break;
        }
        courses->append(KvoPurchase::createFromJson(element.toObject().toVariantMap()));
    }
    return true;
}

// --- the request -------------------------------------------------------------

bool KvoPageTops::isFetching() const
{
    return m_reading || (m_request && m_request->isRunning());
}

void KvoPageTops::dropRequest()
{
    // An answer still being read is dropped with its request.
    ++m_readGeneration;
    m_reading = false;
    if (!m_request)
        return;
    // Aborted and cut off: a late answer of an older request never reaches
    // the page.
    m_request->disconnect(this);
    m_request->abort();
    m_request->deleteLater();
    m_request = nullptr;
}

void KvoPageTops::sendRequest()
{
    dropRequest();
    m_removedWhileFetching.clear();
    m_request = new KvoHTTPRequest(this);
    m_request->setMaxBodySize(MaxAnswerBytes);
    connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoPageTops::onUpdateSucceeded);
    connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoPageTops::onUpdateFailed);
    m_request->get(KvoApi::address(QLatin1String(ListPath), {{QStringLiteral("list"), m_listName}}));
}

void KvoPageTops::refresh()
{
    // A list is fetched once per run, yet the user may buy one of its
    // courses elsewhere (the search, another list) meanwhile, and its
    // promotions may end.
    updateRows();
    if (m_fetched)
        return;
    if (KvoPurchaseVideoManager::instance()->isConnected()) {
        // The cached list is never shown online.
        if (!keepsListWhileFetching())
            m_purchases.clear();
        showLoading();
        sendRequest();
        return;
    }
    if (m_purchases.isEmpty()) {
        showEmptyList();
    } else if (!m_rowsBuilt) {
        m_rowsBuilt = true;
        hideEmptyList();
        populate();
    }
}

void KvoPageTops::onUpdateSucceeded(const QString& answer)
{
    if (m_request) {
        m_request->deleteLater();
        m_request = nullptr;
    }
    // A list of megabytes takes a while to read: on a worker thread, so
    // that the window goes on painting. A fetch sent meanwhile makes this
    // answer stale.
    const quint64 generation = ++m_readGeneration;
    m_reading = true;
    auto courses = std::make_shared<QList<KvoPurchase>>();
    auto readable = std::make_shared<bool>(false);
    QThread* reader = QThread::create([answer, courses, readable] { *readable = parseList(answer, courses.get()); });
    connect(reader, &QThread::finished, this, [this, answer, courses, readable, generation] {
        if (generation != m_readGeneration)
            return;
        m_reading = false;
        onListRead(answer, *readable, *courses);
    });
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}

void KvoPageTops::onListRead(const QString& answer, bool readable, QList<KvoPurchase> courses)
{
    if (!readable) {
        // An unreadable answer keeps the list of the last readable one, in
        // the cache and on screen.
        onUpdateFailed(QNetworkReply::UnknownContentError, QString());
        return;
    }
    storeCache(answer);
    hideLoading();
    m_lastFetchFailed = false;
    for (int i = courses.size() - 1; i >= 0; --i)
        if (m_removedWhileFetching.contains(courses.at(i).id))
            courses.removeAt(i);
    m_removedWhileFetching.clear();
    m_purchases = courses;
    if (!m_purchases.isEmpty()) {
        m_fetched = true;
        m_rowsBuilt = true;
        hideEmptyList();
        populate();
    } else {
        showEmptyList();
    }
}

void KvoPageTops::onUpdateFailed(QNetworkReply::NetworkError, const QString&)
{
    if (m_request) {
        m_request->deleteLater();
        m_request = nullptr;
    }
    m_removedWhileFetching.clear();
    m_lastFetchFailed = true;
    hideLoading();
    showHeldList();
}

void KvoPageTops::showHeldList()
{
    if (m_purchases.isEmpty()) {
        showEmptyList();
    } else if (!(m_rowsBuilt && !m_fetched)) {
        m_rowsBuilt = true;
        hideEmptyList();
        populate();
    }
}

// --- overlay -------------------------------------------------------------------

void KvoPageTops::showLoading()
{
    if (!m_loadingFrame) {
        m_loadingFrame = new KvoLoadingFrame(hostWindow(this));
        m_loadingFrame->setOwner(this);
    }
    m_loadingFrame->start();
}

void KvoPageTops::hideLoading()
{
    if (m_loadingFrame)
        m_loadingFrame->stop();
}

// --- what the rows call ------------------------------------------------------

void KvoPageTops::playPreview(const KvoPurchase& purchase)
{
    const KvoPurchase course = purchase;
    KvoPageSearch::playPreview(course.preview_uri, course.width, course.height);
}

void KvoPageTops::buy(const KvoPurchase& purchase)
{
    // One purchase at a time: a second one while a dialog is open would
    // delete the running dialog under its own loop.
    if (m_buying)
        return;
    const KvoPurchase course = purchase;
    delete m_purchaser;
    m_purchaser = new KvoPurchaser(hostWindow(this));
    connect(m_purchaser, &KvoPurchaser::purchased, this, &KvoPageTops::slotPurchased);
    connect(m_purchaser, &KvoPurchaser::gotoPageDownloads, this, &KvoPageTops::slotGotoPageDownload);
    QPointer<KvoPageTops> self(this);
    m_buying = true;
    m_purchaser->buy(course);
    if (self)
        m_buying = false;
}

void KvoPageTops::removePurchase(const KvoPurchase& purchase)
{
    const uint id = purchase.id;
    for (int i = m_purchases.size() - 1; i >= 0; --i)
        if (m_purchases.at(i).id == id)
            m_purchases.removeAt(i);
    if (isFetching())
        m_removedWhileFetching.insert(id);
    // The list on screen is the user's own now: emptied by the user, it is
    // an empty list, whatever the last fetch did.
    m_lastFetchFailed = false;
}

void KvoPageTops::updatePurchase(const KvoPurchase& purchase)
{
    m_bought.insert(purchase.id, purchase);
    populate();
}

void KvoPageTops::gotoDownloadsPage()
{
}

void KvoPageTops::slotPurchased(const KvoVorn& purchase)
{
    updatePurchase(purchase);
}

void KvoPageTops::slotGotoPageDownload()
{
    gotoDownloadsPage();
}

// --- rows ------------------------------------------------------------------------

void KvoPageTops::clearLayout(QLayout* layout)
{
    if (!layout)
        return;
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        } else if (QLayout* inner = item->layout()) {
            clearLayout(inner);
        }
        delete item;
    }
}

QList<KvoTopItem*> KvoPageTops::rowsOf(QLayout* layout)
{
    QList<KvoTopItem*> rows;
    for (int i = 0; layout && i < layout->count(); ++i)
        if (auto* row = qobject_cast<KvoTopItem*>(layout->itemAt(i)->widget()))
            rows.append(row);
    return rows;
}

namespace {

// A screen holds nine rows; the first batch fills it. The later ones last
// a few milliseconds each: a row costs more as the list grows, so a fixed
// count of rows would hold the window longer and longer.
const int FirstRows = 12;
const qint64 BatchNanoseconds = 8'000'000;

} // namespace

void KvoPageTops::clearRows(QLayout* layout)
{
    ++m_buildGeneration;
    m_pendingRows = 0;
    m_promotionEnds->clear();
    clearLayout(layout);
}

void KvoPageTops::buildRows(QLayout* layout, const QList<KvoPurchase>& courses, const Variant& variant)
{
    const quint64 generation = ++m_buildGeneration;
    m_pendingRows = int(courses.size());
    buildBatch(layout, courses, 0, variant, generation);
}

void KvoPageTops::buildBatch(QLayout* layout, const QList<KvoPurchase>& courses, int from, const Variant& variant,
                             quint64 generation)
{
    const int count = int(courses.size());
    const int firstEnd = qMin(count, FirstRows);
    // Read at each batch: the library may have grown since the first.
    const QList<int> library = KvoPurchaseVideoManager::instance()->purchaseIds();
    QElapsedTimer clock;
    clock.start();
    int end = from;
    while (end < count && (end < firstEnd || end == from || clock.nsecsElapsed() < BatchNanoseconds)) {
        auto* row = new KvoTopItem(courses.at(end), this, this);
        layout->addWidget(row);
        variant(row, end);
        if (isOwned(row->course().id, library))
            row->showOwned();
        else
            m_promotionEnds->watch(row->course());
        ++end;
    }
    m_pendingRows = int(courses.size()) - end;
    if (m_pendingRows <= 0)
        return;
    QPointer<KvoPageTops> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, layout, courses, end, variant, generation] {
            // A rebuild or a cleared list since: these rows are not wanted.
            if (self && self->m_buildGeneration == generation)
                self->buildBatch(layout, courses, end, variant, generation);
        },
        Qt::QueuedConnection);
}

bool KvoPageTops::isOwned(uint courseId, const QList<int>& library) const
{
    return m_bought.contains(courseId) || std::binary_search(library.cbegin(), library.cend(), int(courseId));
}

void KvoPageTops::updateRows()
{
    m_promotionEnds->clear();
    const QList<KvoTopItem*> rows = rowsOf(m_rowsLayout);
    if (rows.isEmpty())
        return;
    const QList<int> library = KvoPurchaseVideoManager::instance()->purchaseIds();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (KvoTopItem* row : rows) {
        if (!row->isOwned() && isOwned(row->course().id, library))
            row->showOwned();
        else
            row->showPrices(now);
        if (!row->isOwned())
            m_promotionEnds->watch(row->course());
    }
}

// --- the shared form -------------------------------------------------------------

void KvoPageTops::setupListForm(Ui_KvoPageTopMonth* form)
{
    form->setupUi(this);
    m_rowsLayout = form->results;
    KvoSidewaysWheel::install(form->scrollArea);
    form->scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; border: 0; }\n")
                                    + KvoScrollBarStyle::darkVertical());
    form->no_video->setFont(KvoFont::arial(12));
    form->noConnection->insertWidget(1, m_noConnection);
    form->topSpacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_noConnection->hide();
    form->no_video->hide();
}

void KvoPageTops::showPanel(Ui_KvoPageTopMonth* form, bool shown)
{
    if (shown)
        form->topSpacer->changeSize(20, 40, QSizePolicy::Expanding, QSizePolicy::Expanding);
    else
        form->topSpacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_noConnection->setVisible(shown);
    form->verticalLayout_2->invalidate();
}
