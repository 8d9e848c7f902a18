#include "KvoHomeWebPage.h"

#include "KvoHomeLink.h"

#include <QWebEngineCertificateError>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineSettings>

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
            [this](QWebEngineNewWindowRequest& request) { delegate(request.requestedUrl()); });
}

KvoHomeWebPage::~KvoHomeWebPage() = default;

bool KvoHomeWebPage::wasRefused(const QUrl& url, bool forget)
{
    if (!m_refused.contains(url))
        return false;
    if (forget)
        m_refused.remove(url);
    return true;
}

void KvoHomeWebPage::delegate(const QUrl& url)
{
    QMetaObject::invokeMethod(this, [this, url] { emit linkClicked(url); }, Qt::QueuedConnection);
}

bool KvoHomeWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool)
{
    if (type == NavigationTypeLinkClicked) {
        m_refused.insert(url);
        delegate(url);
        return false;
    }
    if (!KvoHomeLink::mayShow(url)) {
        m_refused.insert(url);
        return false;
    }
    return true;
}
