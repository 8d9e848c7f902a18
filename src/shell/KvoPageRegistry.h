#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class KvoMainWindow;
class QWidget;

// The page factory of the main window as a table of creator functions, so
// that page classes join the window as they are written and tests can plug
// in pages of their own. A creator builds the page with the window as its
// parent and does the page's own extra steps (its parent page in the
// breadcrumb, its id from the key); the window adds the result to its page
// stack. Use on the GUI thread.
class KvoPageRegistry
{
public:
    using Creator = std::function<QWidget*(KvoMainWindow* window, const QString& key)>;

    // Registers the creator of one exact page key (replacing an earlier one).
    static void add(const QString& key, const Creator& creator);
    // Registers the creator of every key that contains the text
    // ("detail_software_" for the pages of single softwares). Exact keys
    // are looked up first, then these in the order of registration.
    static void addPattern(const QString& keyPart, const Creator& creator);
    // Removes the exact key or the pattern registered with that text.
    static void remove(const QString& keyOrPart);
    static void clear();

    // The creator for a key; an empty function for a key nobody registered.
    static Creator find(const QString& key);

private:
    static QList<QPair<QString, Creator>>& exact();
    static QList<QPair<QString, Creator>>& patterns();
};
