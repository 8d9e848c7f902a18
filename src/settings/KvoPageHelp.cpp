#include "KvoPageHelp.h"

#include "KvoApi.h"
#include "KvoFaqCache.h"
#include "KvoFaqWidget.h"
#include "KvoHTTPRequest.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoPurchaseVideoManager.h"
#include "ui_KvoPageHelp.h"

#include <QPointer>

namespace {

// The FAQ's answer is read whole only up to this size: a few hundred
// entries take far less.
const qint64 MaxAnswerBytes = 2 * 1024 * 1024;
// Entries built per turn of the event loop, so that a long FAQ never keeps
// the window from painting.
const int BatchEntries = 10;

} // namespace

KvoPageHelp::KvoPageHelp(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoPageHelp>())
{
    ui->setupUi(this);
    m_parentPage = parent;
    QWidget* window = KvoMainWindow::instance();
    m_loadingFrame = new KvoLoadingFrame(window ? window : this);
    m_loadingFrame->setOwner(this);
    ui->widgetPlaque->hide();

    m_request = new KvoHTTPRequest(this);
    m_request->setMaxBodySize(MaxAnswerBytes);
    connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoPageHelp::onSuccessRequest);
    connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoPageHelp::onErrorRequest);

    updateQuestions();
    if (KvoPurchaseVideoManager::instance()->isConnected())
        sendRequest();
    connect(ui->buttonSupport, &QPushButton::clicked, this, &KvoPageHelp::onClickSupport);
}

KvoPageHelp::~KvoPageHelp()
{
    if (m_loadingFrame && m_loadingFrame->parent() != this)
        delete m_loadingFrame;
}

QString KvoPageHelp::title() const
{
    return tr("Aide && Contact");
}

QString KvoPageHelp::name() const
{
    return QStringLiteral("help");
}

QWidget* KvoPageHelp::parentPage() const
{
    return m_parentPage;
}

void KvoPageHelp::onShow()
{
    // One request at a time, and none once an answer was accepted.
    if (KvoPurchaseVideoManager::instance()->isConnected() && !m_loaded && !m_waiting)
        sendRequest();
}

int KvoPageHelp::questionCount() const
{
    return ui->layoutQuestions->count();
}

void KvoPageHelp::sendRequest()
{
    m_waiting = true;
    m_request->get(KvoApi::address(QStringLiteral("/0.1/playerFaq/")));
    m_loadingFrame->start();
}

void KvoPageHelp::endWaiting()
{
    m_waiting = false;
    m_loadingFrame->stop();
}

void KvoPageHelp::onSuccessRequest(const QString& body)
{
    QList<KvoFaqCache::Entry> entries;
    // A refused answer, or one the cache could not take whole, changes
    // nothing: the next show hook asks again.
    if (!KvoFaqCache::parseAnswer(body, &entries) || !KvoFaqCache::replace(entries)) {
        endWaiting();
        return;
    }
    m_loaded = true;
    updateQuestions();
    endWaiting();
}

void KvoPageHelp::onErrorRequest(QNetworkReply::NetworkError error, const QString& text)
{
    Q_UNUSED(error);
    Q_UNUSED(text);
    endWaiting();
}

void KvoPageHelp::updateQuestions()
{
    while (QLayoutItem* item = ui->layoutQuestions->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QList<KvoFaqCache::Entry> entries = KvoFaqCache::entries();
    ui->widgetPlaque->setVisible(!entries.isEmpty());
    addQuestions(entries, 0, ++m_buildGeneration);
}

void KvoPageHelp::addQuestions(const QList<KvoFaqCache::Entry>& entries, int from, quint64 generation)
{
    const int end = qMin(int(entries.size()), from + BatchEntries);
    for (int i = from; i < end; ++i) {
        auto* widget = new KvoFaqWidget(nullptr, Qt::WindowFlags());
        widget->setQuestion(entries.at(i).question);
        widget->setAnswer(entries.at(i).answer);
        ui->layoutQuestions->addWidget(widget);
    }
    if (end == entries.size())
        return;
    QPointer<KvoPageHelp> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, entries, end, generation] {
            // Rebuilt since: these entries are not wanted.
            if (self && self->m_buildGeneration == generation)
                self->addQuestions(entries, end, generation);
        },
        Qt::QueuedConnection);
}

void KvoPageHelp::onClickSupport()
{
    emit onChangePage(QStringLiteral("support"), true);
}
