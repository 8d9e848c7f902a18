#pragma once

#include <QString>
#include <QVector>

#include <functional>

class IKvoPage;

// The breadcrumb of a page: the page and the pages above it (through
// IKvoPage::parentPage()), outermost first, at most three levels.
class KvoBreadcrumb
{
public:
    struct Level
    {
        QString key;
        QString title;
        bool operator==(const Level& other) const { return key == other.key && title == other.title; }
    };
    static constexpr int MaxLevels = 3;
    // The page above a page; null at the top (the main window itself, or a
    // widget that is no page).
    using ParentOf = std::function<const IKvoPage*(const IKvoPage*)>;

    static QVector<Level> trail(const IKvoPage* page, const ParentOf& parentOf);
};
