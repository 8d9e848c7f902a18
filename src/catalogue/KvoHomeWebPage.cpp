#include "KvoHomeWebPage.h"

#include "KvoHomeLink.h"

#include <QWebEngineCertificateError>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineSettings>

namespace {

// How long after the user's act its link may be asked for.
const int UserActMs = 2000;

} // namespace

KvoHomeWebPage::KvoHomeWebPage(QObject* parent)
    : QWebEnginePage(parent)
{
    // The surrounding scroll area scrolls; other programs' schemes are
    // never handed to the desktop.
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    connect(this, &QWebEnginePage::certificateError, this,
            [](QWebEngineCertificateError error) { error.rejectCertificate(); });
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                // Never opened here: the link goes to the desktop or nowhere.
                // The engine grants one such window per act of the user (a
                // key that activates a button, say, besides those seen here).
                if (takeUserAct(request.isUserInitiated()))
                    delegate(request.requestedUrl());
            });
}

KvoHomeWebPage::~KvoHomeWebPage() = default;

bool KvoHomeWebPage::wasRefused(const QUrl& url, bool started, bool* cutShort)
{
    *cutShort = false;
    if (!m_refused.contains(url))
        return false;
    if (started) {
        m_refusedStarted.insert(url);
        return true;
    }
    m_refused.remove(url);
    if (m_refusedStarted.remove(url))
        return true;
    *cutShort = true;
    return false;
}

void KvoHomeWebPage::userActed()
{
    m_userAct.start();
}

bool KvoHomeWebPage::takeUserAct(bool userInitiated)
{
    const bool pending = userInitiated || (m_userAct.isValid() && !m_userAct.hasExpired(UserActMs));
    m_userAct.invalidate();
    if (!pending)
        ++m_refusedHandOffs;
    return pending;
}

void KvoHomeWebPage::delegate(const QUrl& url)
{
    QMetaObject::invokeMethod(this, [this, url] { emit linkClicked(url); }, Qt::QueuedConnection);
}

bool KvoHomeWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool)
{
    if (type == NavigationTypeLinkClicked) {
        m_refused.insert(url);
        if (takeUserAct())
            delegate(url);
        return false;
    }
    if (!KvoHomeLink::mayShow(url)) {
        m_refused.insert(url);
        return false;
    }
    return true;
}

void KvoHomeWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                              const QString& source)
{
    if (level == ErrorMessageLevel)
        emit scriptError(message);
    QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
}
