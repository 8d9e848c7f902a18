#pragma once

#include <QString>

class QWidget;

// What the main window needs of every page it holds. A page derives from
// QWidget (first) and from this interface (second), is constructed with
// (QWidget* parent, Qt::WindowFlags flags) and declares the signal
// onChangePage(const QString& key, bool addToHistory), through which it asks
// the main window to switch pages. The main window reaches this interface
// with a dynamic_cast from the page widget.
class IKvoPage
{
public:
    virtual ~IKvoPage() = default;

    // The translated title shown in the breadcrumb.
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
};
