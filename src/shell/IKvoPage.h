#pragma once

#include <QString>

struct KvoPageRequest;
class KvoVornLink;
class QWidget;

// What the main window needs of every page it holds. A page derives from
// QWidget (first) and from this interface (second), is constructed with
// (QWidget* parent, Qt::WindowFlags flags) and declares the signal
// onChangePage(const QString& key, bool addToHistory), through which it asks
// the main window to switch pages; a page that opens another page with
// parameters (the player with a video) declares
// onChangePageRequest(const KvoPageRequest& request) as well. The main
// window reaches this interface with a dynamic_cast from the page widget,
// and never needs a page's own class: what it asks of pages in general goes
// through the hooks below, which do nothing by default.
class IKvoPage
{
public:
    virtual ~IKvoPage() = default;

    // The translated title shown in the breadcrumb, as a button's text: "&&"
    // stands for one "&" (see KvoButtonText for a title from the service).
    virtual QString title() const = 0;
    // The key under which the page is registered in the main window.
    virtual QString name() const = 0;
    // The page above this one in the breadcrumb; by default the parent
    // widget given to the constructor, which is the main window itself.
    virtual QWidget* parentPage() const = 0;
    // Refresh hook: run on the current page when it becomes current, when
    // the connection state changes, when the window is shown, maximised or
    // restored, and after each update of the library.
    virtual void onShow() = 0;

    // The switch that makes this page current, handed over just before
    // onShow(); only valid during the call.
    virtual void onRequest(const KvoPageRequest& request) { (void)request; }
    // Run on every page built so far after each update of the library,
    // after the current page's refresh.
    virtual void onLibraryUpdated() {}
    // A "vorn:" link handed to the client; true when the page acted on it.
    // Every page built so far is asked, in the order they were built.
    virtual bool openLink(const KvoVornLink& link)
    {
        (void)link;
        return false;
    }
    // The service refused the session: stop at once what would go on
    // fetching for it (transfers). Run on every page built so far before
    // the notice that waits on the user shows; onSessionClosing() follows
    // once it is closed.
    virtual void onSessionRefused() {}
    // The session closes: stop what must not outlive it (transfers).
    virtual void onSessionClosing() {}
};
