#pragma once

#include "KvoPurchase.h"

#include <QList>
#include <QMap>
#include <QString>

// The rules of the search page that need no widget: which courses of the
// library match a query, and how the pages of ten rows map onto the library
// matches followed by the service's results.
//
// Pages run over one list: the L library matches first, then the service's
// results. The item count is L plus the service's total, so every result is
// reachable and a page never repeats a row of the page before it.
class KvoSearchPaging
{
public:
    static constexpr int PageSize = 10;

    // What one page of the list shows.
    struct Slice
    {
        int localFirst = 0;   // index of the first library match shown
        int localCount = 0;   // how many library matches the page shows
        int serverStart = 0;  // offset of the first service result shown
        int serverCount = 0;  // how many service results the page shows
    };

    // The library matches of a query, in library order: the courses with at
    // least one video on disk that is not hidden, whose title contains
    // every word of the query (words split at blanks; compared in their
    // Latin-1 form, case-insensitively).
    static QList<KvoPurchase> localSearch(const QMap<int, KvoPurchase>& library, const QString& query);

    // Whether a course is in the user's library view: a video with a local
    // path that is not hidden.
    static bool inLibraryView(const KvoPurchase& course);

    // The item count of the pagination: the library matches plus the
    // service's total, kept within what an int page index can hold.
    static int itemCount(int localCount, qint64 serverTotal);

    // The page whose items run from first to last (both included, as the
    // pagination gives them), with localCount library matches in front.
    static Slice slice(int first, int last, int localCount);

    // A query fit to show inside a sentence: at most maxLength characters,
    // cut with an ellipsis.
    static QString shortQuery(const QString& query, int maxLength = 60);
};
