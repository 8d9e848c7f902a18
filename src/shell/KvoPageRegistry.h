#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class KvoMainWindow;
class QWidget;

// Everything the main window knows of a page, in one registration: its key
// (or the text its keys contain), the menu entry that stands for it, and the
// function that builds it. The window builds a page on first use, adds it
// to its page stack, highlights its menu entry while it is current and opens
// it from that entry. Page classes join the window through this table as
// they are written (see KvoPageSetup), and tests plug in pages of their own.
// Use on the GUI thread.
class KvoPageRegistry
{
public:
    // Builds the page with the window as its parent and does the page's own
    // extra steps (its parent page in the breadcrumb, its id from the key).
    using Creator = std::function<QWidget*(KvoMainWindow* window, const QString& key)>;

    enum class Menu {
        Opens,     // a click on the menu entry opens the page
        Highlights // the entry is only highlighted while the page is current
    };

    struct Page
    {
        // The exact key, or with isPattern the text every key of the page
        // contains ("detail_software_" for the pages of single softwares).
        QString key;
        bool isPattern = false;
        // Object name of the menu entry in KvoMainWindow.ui; empty for none.
        QString menuButton;
        Menu menu = Menu::Opens;
        // Built with the window, before any switch (pages that links and
        // the downloads counter need at once).
        bool buildAtStart = false;
        Creator creator;
    };

    // Registers a page (replacing an earlier one of the same key).
    static void add(const Page& page);
    // Shorthands without a menu entry.
    static void add(const QString& key, const Creator& creator);
    static void addPattern(const QString& keyPart, const Creator& creator);
    // Removes the exact key or the pattern registered with that text.
    static void remove(const QString& keyOrPart);
    static void clear();

    // The registration of a key: exact keys first, then patterns in the
    // order of registration; null for a key nobody registered.
    static const Page* lookup(const QString& key);
    // The creator for a key; an empty function for a key nobody registered.
    static Creator find(const QString& key);
    // The menu entry highlighted while the page of the key is current.
    static QString menuButtonFor(const QString& key);
    // The key a click on a menu entry opens; empty when it opens no page.
    static QString keyForMenuButton(const QString& objectName);
    // The keys to build with the window, in the order of registration.
    static QStringList keysBuiltAtStart();

private:
    static QList<Page>& table();
};
