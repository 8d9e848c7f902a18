#include "KvoPageHome.h"
#include "ui_KvoPageHome.h"
#include "ui_UIConnection.h"

#include "KvoEnvironment.h"
#include "KvoHomeLink.h"
#include "KvoHomeWebPage.h"
#include "KvoLoadingFrame.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoScrollBarStyle.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>
#include <QWheelEvent>

#include <cmath>
#include <utility>

namespace {

int& deadlineMs()
{
    static int ms = 30000;
    return ms;
}

bool online()
{
    return KvoPurchaseVideoManager::instance()->isConnected();
}

} // namespace

KvoPageHome::KvoPageHome(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoPageHome>())
    , m_parentPage(parent)
{
    ui->setupUi(this);
    ui->scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; border: 0; }\n")
                                  + KvoScrollBarStyle::darkVertical());
    ui->scrollAreaWidgetContents->setStyleSheet(QStringLiteral("background-color: transparent;"));
    m_loadingFrame = new KvoLoadingFrame(this);
    m_loadingFrame->setOwner(this);

    m_notice = new QWidget(this);
    m_notice->setObjectName(QStringLiteral("noConnectionNotice"));
    m_notice->hide();
    Ui_UIConnection form;
    form.setupUi(m_notice);
    m_notice->adjustSize();
    moveErrorConnectionWidget();

    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &KvoPageHome::onDeadline);

    if (online())
        load(true);
    else
        m_notice->show();
    m_widthThreshold = width() - 20;
}

KvoPageHome::~KvoPageHome()
{
    m_deadline.stop();
    // The view and its page go while the page can still take their last
    // signals, or rather before they could send any.
    if (m_page)
        m_page->disconnect(this);
    delete m_view;
}

QString KvoPageHome::title() const
{
    return tr("Accueil");
}

QString KvoPageHome::name() const
{
    return QStringLiteral("accueil");
}

QWidget* KvoPageHome::parentPage() const
{
    return m_parentPage;
}

QString KvoPageHome::address(bool wide)
{
    return KvoEnvironment::languageField8() + (wide ? QStringLiteral("?lang=") : QStringLiteral("?tpl=inline&lang="))
           + KvoEnvironment::interfaceLocale();
}

void KvoPageHome::setLoadDeadline(int ms)
{
    deadlineMs() = ms;
}

int KvoPageHome::loadDeadline()
{
    return deadlineMs();
}

void KvoPageHome::onShow()
{
    if (online() && !m_loaded && !m_loading)
        load(true);
}

// --- loading ---------------------------------------------------------------------

void KvoPageHome::createView()
{
    m_view = new QWebEngineView(ui->scrollAreaWidgetContents);
    m_view->setObjectName(QStringLiteral("webView"));
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_page = new KvoHomeWebPage(m_view);
    m_page->setBackgroundColor(Qt::transparent);
    m_view->setPage(m_page);
    // At the top of the scroll area's contents: a view lower than the
    // visible area would otherwise sit in its middle.
    ui->verticalLayout_2->addWidget(m_view, 0, Qt::AlignTop);
    // Until a page is loaded the view is as high as the visible area, which
    // the page learns only once it is laid out: its first load starts when
    // it is made.
    ui->scrollArea->viewport()->installEventFilter(this);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &KvoPageHome::onLoadingChanged);
    connect(m_page, &QWebEnginePage::contentsSizeChanged, this, &KvoPageHome::onContentsSizeChanged);
    connect(m_page, &KvoHomeWebPage::linkClicked, this, &KvoPageHome::onLinkClicked);
    watchWheel(m_view);
}

void KvoPageHome::load(bool wide)
{
    if (!online())
        return;
    // One load at a time: a variant asked for meanwhile waits for its end.
    if (m_loading) {
        m_pending = true;
        m_pendingWide = wide;
        return;
    }
    if (!m_view)
        createView();
    m_loading = true;
    m_loadingWide = wide;
    ++m_loadCount;
    onLoadStarted();
    // The height the contents report is never less than the view's: start
    // from the visible height so that a shorter page reports its own.
    m_view->setFixedHeight(qMax(1, ui->scrollArea->viewport()->height()));
    m_deadline.start(deadlineMs());
    // The navigations still open end before this one and are not its own.
    m_staleNavigations = m_openNavigations;
    m_page->load(QUrl(address(wide)));
}

void KvoPageHome::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    // A navigation the page refused (a link handed out) reports a start and
    // a stop of its own: no load of the home page.
    bool cutShort = false;
    if (m_page->wasRefused(info.url(), info.status() == QWebEngineLoadingInfo::LoadStartedStatus, &cutShort))
        return;
    // Every navigation that reported its start reports its end, even one
    // stopped at its deadline, and that end may come after the next load
    // began: it belongs to the earlier navigation and must not end the new
    // load.
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        ++m_openNavigations;
        return;
    }
    if (m_openNavigations > 0)
        --m_openNavigations;
    if (m_staleNavigations > 0) {
        --m_staleNavigations;
        return;
    }
    if (!m_loading)
        return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        // An error status with a page of its own is no home page either.
        endLoad(!(info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400)
                && !info.isErrorPage());
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // Stopped by the page's own refused navigation: what it shows stays.
        endLoad(cutShort);
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        endLoad(false);
        break;
    }
}

void KvoPageHome::onDeadline()
{
    if (!m_loading)
        return;
    m_pending = false;
    m_page->triggerAction(QWebEnginePage::Stop);
    endLoad(false);
}

void KvoPageHome::endLoad(bool ok)
{
    m_deadline.stop();
    m_loading = false;
    onLoadFinished(ok);
    if (m_pending) {
        m_pending = false;
        if (m_pendingWide != m_loadingWide)
            load(m_pendingWide);
    }
}

void KvoPageHome::onLoadStarted()
{
    m_loadingFrame->start();
    m_notice->hide();
}

void KvoPageHome::onLoadFinished(bool ok)
{
    m_loadingFrame->stop();
    m_loaded = ok;
    m_notice->setVisible(!ok);
    if (ok)
        m_notice->lower();
    else
        m_notice->raise();
    if (m_view)
        m_view->setVisible(ok);
    fitView();
}

void KvoPageHome::onContentsSizeChanged(const QSizeF&)
{
    if (m_loaded)
        fitView();
}

void KvoPageHome::fitView()
{
    if (!m_view || !m_loaded)
        return;
    // The whole page lies in the scroll area, which scrolls it. The size
    // the engine reports is never less than the view's own, so a page that
    // got shorter (another variant, a wider view) is measured in the page.
    // A page not parsed yet (a new variant whose first bytes have not come)
    // has no document element: no measure, the height stays.
    QPointer<KvoPageHome> self(this);
    m_page->runJavaScript(QStringLiteral("document.documentElement"
                                         " ? Math.ceil(document.documentElement.getBoundingClientRect().height)"
                                         " : null"),
                          [self](const QVariant& result) {
                              if (!self || !self->m_view || !self->m_loaded)
                                  return;
                              bool ok = false;
                              const double height = result.toDouble(&ok) * self->m_page->zoomFactor();
                              if (ok && height > 0)
                                  self->m_view->setFixedHeight(int(std::ceil(height)));
                          });
}

// --- size and links ------------------------------------------------------------

void KvoPageHome::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    moveErrorConnectionWidget();
    if (m_loaded)
        fitView();
    const int w = width();
    if (w < m_widthThreshold && m_wide) {
        load(false);
        m_wide = false;
    } else if (w >= m_widthThreshold && !m_wide) {
        load(true);
        m_wide = true;
    }
}

void KvoPageHome::moveErrorConnectionWidget()
{
    m_notice->move((width() - m_notice->width()) / 2, (height() - m_notice->height()) / 2);
}

void KvoPageHome::onLinkClicked(const QUrl& url)
{
    const KvoHomeLink::Target target = KvoHomeLink::classify(url);
    switch (target) {
    case KvoHomeLink::Promo:
    case KvoHomeLink::News:
        emit onChangePage(KvoHomeLink::pageKey(target), true);
        break;
    case KvoHomeLink::Browser:
        QDesktopServices::openUrl(url);
        break;
    case KvoHomeLink::Refused:
        break;
    }
}

void KvoPageHome::watchWheel(QObject* object)
{
    object->installEventFilter(this);
    for (QObject* child : object->children())
        if (child->isWidgetType())
            child->installEventFilter(this);
}

namespace {

// The buttons whose click follows a link of the page.
bool followsLinks(Qt::MouseButton button)
{
    return button == Qt::LeftButton || button == Qt::MiddleButton;
}

} // namespace

bool KvoPageHome::eventFilter(QObject* watched, QEvent* event)
{
    if (m_view && watched == ui->scrollArea->viewport()) {
        if (event->type() == QEvent::Resize && (m_loading || !m_loaded))
            m_view->setFixedHeight(qMax(1, ui->scrollArea->viewport()->height()));
    } else if (m_view && (watched == m_view || watched->parent() == m_view)) {
        if (event->type() == QEvent::ChildAdded) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType())
                child->installEventFilter(this);
        } else if (event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseButtonPress) {
            // A double click is one act: its second click follows no link
            // of its own, so a link opens once. A press begins a click of
            // its own (its release may have gone elsewhere).
            m_secondClick = event->type() == QEvent::MouseButtonDblClick
                            && followsLinks(static_cast<QMouseEvent*>(event)->button());
        } else if (event->type() == QEvent::MouseButtonRelease && m_page) {
            // The source of the user's clicks and keys: what the page's
            // scripts do never passes through here.
            const bool second = std::exchange(m_secondClick, false);
            if (followsLinks(static_cast<QMouseEvent*>(event)->button()) && !second)
                m_page->userActed();
        } else if (event->type() == QEvent::KeyPress && m_page) {
            // Return follows the focused link; a held key is one act.
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat())
                m_page->userActed();
        } else if (event->type() == QEvent::Wheel) {
            // The page's own scroll bars are off: the scroll area scrolls.
            QCoreApplication::sendEvent(ui->scrollArea->verticalScrollBar(), event);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
