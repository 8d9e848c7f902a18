#include "KvoStorageNames.h"

#include "KvoPurchase.h"

namespace {

// A file name may hold 255 bytes; the downloader appends ".part".
constexpr int MaxNameBytes = 255 - 5;

} // namespace

QString KvoStorageNames::cleanTitle(const QString& title)
{
    static const QString removed = QStringLiteral("|<>!?:/\\*'\"");
    QString cleaned;
    cleaned.reserve(title.size());
    for (const QChar c : title) {
        if (removed.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f)
            continue;
        cleaned.append(c);
    }
    return cleaned;
}

QString KvoStorageNames::nameComponent(uint id, const QString& cleanedTitle, const QString& suffix)
{
    const QString head = QString::number(id) + QStringLiteral(" - ");
    QString title = cleanedTitle;
    while (!title.isEmpty() && (head + title + suffix).toUtf8().size() > MaxNameBytes) {
        title.chop(1);
        // Never leave half of a surrogate pair behind.
        if (!title.isEmpty() && title.back().isHighSurrogate())
            title.chop(1);
    }
    return head + title + suffix;
}

QString KvoStorageNames::courseFolderName(const KvoPurchase& purchase)
{
    return courseFolderName(purchase.id, purchase.courseTitle.isNull() ? purchase.title : purchase.courseTitle);
}

QString KvoStorageNames::courseFolderName(uint purchaseId, const QString& courseTitle)
{
    return nameComponent(purchaseId, cleanTitle(courseTitle));
}

QString KvoStorageNames::videoFileName(uint fileId, const QString& videoTitle)
{
    return nameComponent(fileId, cleanTitle(videoTitle), QStringLiteral(".qoz"));
}
