#pragma once

#include <QElapsedTimer>
#include <QSet>
#include <QUrl>
#include <QWebEnginePage>

// The web page of the home page's view. It shows only web addresses: a
// link the user follows (also one that asks for a new window) is handed
// out through linkClicked() instead of being shown, other schemes are
// refused, and a certificate error ends the load rather than being let
// through.
//
// Only the user's act hands a link out, and one act one link at most: a
// click, or Return on a focused link, that the view received just before,
// or a new window the engine itself says the user asked for. The page's
// scripts may click links and open windows as they like (a script's click
// reports itself as a followed link too, and no navigation says who asked
// for it); none of it reaches the desktop on its own.
class KvoHomeWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit KvoHomeWebPage(QObject* parent = nullptr);
    ~KvoHomeWebPage() override;

    // Whether a load report at that address (a start, or an end) is one of
    // a navigation this page refused: those report a start and an end of
    // their own, no load of the home page. A refused navigation asked for
    // while the page still loads (a script's click at its load) reports no
    // start, and the end of the load it cut short comes under its address:
    // then false, and *cutShort is set.
    bool wasRefused(const QUrl& url, bool started, bool* cutShort);

    // The user clicked in the view or pressed Return there: the next link
    // or new window asked for within a short while is handed out.
    void userActed();
    // Links and windows refused for want of a user's act.
    int refusedHandOffs() const { return m_refusedHandOffs; }

signals:
    // Queued: the receiver may switch pages or open a browser safely.
    void linkClicked(const QUrl& url);
    // A script in the page reported an error, or failed with one.
    void scriptError(const QString& message);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;

private:
    void delegate(const QUrl& url);
    // Whether a user's act is pending, or the engine vouches for one; a
    // pending act is then used up.
    bool takeUserAct(bool userInitiated = false);

    QSet<QUrl> m_refused;
    QSet<QUrl> m_refusedStarted;
    QElapsedTimer m_userAct;
    int m_refusedHandOffs = 0;
};
