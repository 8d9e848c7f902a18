#include "KvoLibraryAnswer.h"

#include "KvoJsonResult.h"
#include "KvoValueReader.h"

#include <QSet>

namespace {

bool isList(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QVariantList;
}

bool isObject(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QVariantMap;
}

// The objects of a list, each with a positive id not seen before in it;
// false (and *error) otherwise.
bool objectsWithIds(const QVariant& value, const char* what, QList<QVariantMap>* out, QString* error)
{
    if (!isList(value)) {
        *error = QStringLiteral("\"%1\" is not a list").arg(QLatin1String(what));
        return false;
    }
    QSet<uint> seen;
    const QVariantList items = value.toList();
    for (const QVariant& item : items) {
        if (!isObject(item)) {
            *error = QStringLiteral("an entry of \"%1\" is not an object").arg(QLatin1String(what));
            return false;
        }
        const QVariantMap map = item.toMap();
        const uint id = KvoValueReader::toUInt(KvoValueReader::field(map, "id"));
        if (id == 0) {
            *error = QStringLiteral("an entry of \"%1\" has no id").arg(QLatin1String(what));
            return false;
        }
        if (seen.contains(id)) {
            *error = QStringLiteral("id %1 twice in \"%2\"").arg(id).arg(QLatin1String(what));
            return false;
        }
        seen.insert(id);
        out->append(map);
    }
    return true;
}

} // namespace

bool KvoLibraryAnswer::parse(const QString& body)
{
    library = KvoLibrary();
    timestamp = 0;
    credits = QString();
    error.clear();

    KvoJsonResult json;
    if (!json.parse(body)) {
        error = QStringLiteral("not a JSON object");
        return false;
    }
    const QVariant status = json.value(QStringLiteral("status"));
    if (status.isValid() && status.toString() != QLatin1String("OK")) {
        error = QStringLiteral("status is not OK");
        return false;
    }

    QList<QVariantMap> courses, softwares, authors;
    if (!objectsWithIds(json.value(QStringLiteral("vorns")), "vorns", &courses, &error)
        || !objectsWithIds(json.value(QStringLiteral("softwares")), "softwares", &softwares, &error)
        || !objectsWithIds(json.value(QStringLiteral("authors")), "authors", &authors, &error))
        return false;

    QSet<uint> fileIds;
    for (const QVariantMap& map : std::as_const(courses)) {
        QVariant files = KvoValueReader::field(map, "files");
        // Some answers key the video maps by id.
        if (isObject(files))
            files = QVariant(files.toMap().values());
        QList<QVariantMap> videos;
        if (!objectsWithIds(files, "files", &videos, &error))
            return false;
        for (const QVariantMap& video : std::as_const(videos)) {
            const uint id = KvoValueReader::toUInt(KvoValueReader::field(video, "id"));
            if (fileIds.contains(id)) {
                error = QStringLiteral("file %1 twice in the answer").arg(id);
                return false;
            }
            fileIds.insert(id);
        }
        const KvoPurchase purchase = KvoPurchase::createFromJson(map);
        library.purchases.insert(int(purchase.id), purchase);
    }
    for (const QVariantMap& map : std::as_const(softwares)) {
        const KvoSoftware software = KvoSoftware::createFromJson(map);
        library.softwares.insert(int(software.id), software);
    }
    for (const QVariantMap& map : std::as_const(authors)) {
        const KvoAuthor author = KvoAuthor::createFromJson(map);
        library.authors.insert(int(author.id), author);
    }
    timestamp = KvoValueReader::toUInt(json.value(QStringLiteral("timestamp")));
    credits = KvoValueReader::toText(json.value(QStringLiteral("credits")));
    return true;
}
