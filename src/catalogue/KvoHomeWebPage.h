#pragma once

#include <QSet>
#include <QUrl>
#include <QWebEnginePage>

// The web page of the home page's view. It shows only web addresses: every
// link the user follows (also one that asks for a new window) is handed
// out through linkClicked() instead of being shown, other schemes are
// refused, and a certificate error ends the load rather than being let
// through.
class KvoHomeWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit KvoHomeWebPage(QObject* parent = nullptr);
    ~KvoHomeWebPage() override;

    // Whether the address is that of a navigation this page refused (its
    // load reports are no load of the home page). Forgets it when told so.
    bool wasRefused(const QUrl& url, bool forget);

signals:
    // Queued: the receiver may switch pages or open a browser safely.
    void linkClicked(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    void delegate(const QUrl& url);

    QSet<QUrl> m_refused;
};
