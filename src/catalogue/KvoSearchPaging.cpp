#include "KvoSearchPaging.h"

#include <QStringList>

#include <limits>

namespace {

// The text as its Latin-1 form read back, cut at the first NUL: characters
// outside Latin-1 become '?', so both sides of a comparison agree.
QString latin1Form(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return QString::fromLatin1(bytes.constData());
}

} // namespace

bool KvoSearchPaging::inLibraryView(const KvoPurchase& course)
{
    for (const KvoVideoFile& file : course.files)
        if (!file.KvoPath.isEmpty() && !file.hidden)
            return true;
    return false;
}

QList<KvoPurchase> KvoSearchPaging::localSearch(const QMap<int, KvoPurchase>& library, const QString& query)
{
    QList<KvoPurchase> matches;
    QStringList words;
    for (const QString& word : query.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.append(latin1Form(word));
    // A query of blanks alone names no course.
    if (words.isEmpty())
        return matches;
    for (const KvoPurchase& course : library) {
        if (!inLibraryView(course))
            continue;
        const QString title = latin1Form(course.title);
        bool all = true;
        for (const QString& word : std::as_const(words)) {
            if (!title.contains(word, Qt::CaseInsensitive)) {
                all = false;
                break;
            }
        }
        if (all)
            matches.append(course);
    }
    return matches;
}

int KvoSearchPaging::itemCount(int localCount, qint64 serverTotal)
{
    const qint64 limit = std::numeric_limits<int>::max() - PageSize;
    const qint64 count = qint64(qMax(0, localCount)) + qMax<qint64>(0, serverTotal);
    return int(qMin(count, limit));
}

KvoSearchPaging::Slice KvoSearchPaging::slice(int first, int last, int localCount)
{
    Slice s;
    first = qMax(0, first);
    const int end = qMax(first, last + 1); // one past the last item
    localCount = qMax(0, localCount);
    if (first < localCount) {
        s.localFirst = first;
        s.localCount = qMin(end, localCount) - first;
    } else {
        s.localFirst = localCount;
    }
    s.serverStart = qMax(0, first - localCount);
    s.serverCount = qMax(0, end - qMax(first, localCount));
    return s;
}

QString KvoSearchPaging::shortQuery(const QString& query, int maxLength)
{
    if (query.size() <= maxLength)
        return query;
    return query.left(qMax(0, maxLength - 1)) + QChar(0x2026);
}
