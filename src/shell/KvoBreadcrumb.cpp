#include "KvoBreadcrumb.h"

#include "IKvoPage.h"

QVector<KvoBreadcrumb::Level> KvoBreadcrumb::trail(const IKvoPage* page, const ParentOf& parentOf)
{
    QVector<Level> levels;
    while (page && levels.size() < MaxLevels) {
        levels.prepend(Level{page->name(), page->title()});
        page = parentOf ? parentOf(page) : nullptr;
    }
    return levels;
}
