#include "KvoPageRegistry.h"

QList<KvoPageRegistry::Page>& KvoPageRegistry::table()
{
    static QList<Page> pages;
    return pages;
}

void KvoPageRegistry::add(const Page& page)
{
    remove(page.key);
    if (!page.key.isEmpty() && page.creator)
        table().append(page);
}

void KvoPageRegistry::add(const QString& key, const Creator& creator)
{
    Page page;
    page.key = key;
    page.creator = creator;
    add(page);
}

void KvoPageRegistry::addPattern(const QString& keyPart, const Creator& creator)
{
    Page page;
    page.key = keyPart;
    page.isPattern = true;
    page.creator = creator;
    add(page);
}

void KvoPageRegistry::remove(const QString& keyOrPart)
{
    table().removeIf([&keyOrPart](const Page& page) { return page.key == keyOrPart; });
}

void KvoPageRegistry::clear()
{
    table().clear();
}

const KvoPageRegistry::Page* KvoPageRegistry::lookup(const QString& key)
{
    if (key.isEmpty())
        return nullptr;
    for (const Page& page : std::as_const(table())) {
        if (!page.isPattern && page.key == key)
            return &page;
    }
    for (const Page& page : std::as_const(table())) {
        if (page.isPattern && key.contains(page.key))
            return &page;
    }
    return nullptr;
}

KvoPageRegistry::Creator KvoPageRegistry::find(const QString& key)
{
    const Page* page = lookup(key);
    return page ? page->creator : Creator();
}

QString KvoPageRegistry::menuButtonFor(const QString& key)
{
    const Page* page = lookup(key);
    return page ? page->menuButton : QString();
}

QString KvoPageRegistry::keyForMenuButton(const QString& objectName)
{
    if (objectName.isEmpty())
        return QString();
    for (const Page& page : std::as_const(table())) {
        if (!page.isPattern && page.menu == Menu::Opens && page.menuButton == objectName)
            return page.key;
    }
    return QString();
}

QStringList KvoPageRegistry::keysBuiltAtStart()
{
    QStringList keys;
    for (const Page& page : std::as_const(table())) {
        if (!page.isPattern && page.buildAtStart)
            keys << page.key;
    }
    return keys;
}
