#include "KvoPurchase.h"

#include "KvoValueReader.h"

#include <QSqlRecord>
#include <QStringList>

using R = KvoValueReader;

void KvoPurchase::fromJson(const QVariantMap& map)
{
    id = R::toUInt(R::field(map, "id"));
    title = R::toText(R::field(map, "title"));
    courseTitle = title;
    softwares = R::toText(R::field(map, "softwares"));
    softwareIDs = R::toUIntList(R::field(map, "software_ids"));
    authorIDs = R::toUIntList(R::field(map, "author_ids"));
    previousPrice = R::toUInt(R::field(map, "previous_price"));
    const uint fullPrice = R::toUInt(R::field(map, "price"));
    const uint reduced = R::toUInt(R::field(map, "reduced_price"));
    price = reduced > 0 ? reduced : fullPrice;
    rating = R::toUInt(R::field(map, "rating"));
    sales = R::toUInt(R::field(map, "sales"));
    thumbnail = R::toText(R::field(map, "thumbnail"));
    url = R::toText(R::field(map, "url"));
    end_ts = R::toUInt(R::field(map, "end_ts"));
    preview_uri = R::toText(R::field(map, "preview_uri"));
    width = R::toInt(R::field(map, "width"));
    height = R::toInt(R::field(map, "height"));
    purchaseDate = R::toDateTime(R::field(map, "purchase_date"));
    attachmentURL = R::toText(R::field(map, "attachment_url"));
    description = R::toText(R::field(map, "description"));
    commented = false;

    files.clear();
    const QVariant list = R::field(map, "files");
    QVariantList items;
    if (list.metaType().id() == QMetaType::QVariantList)
        items = list.toList();
    else if (list.metaType().id() == QMetaType::QVariantMap) {
        // Some answers key the video maps by id.
        const QVariantMap byId = list.toMap();
        for (auto it = byId.cbegin(); it != byId.cend(); ++it)
            items.append(it.value());
    }
    for (const QVariant& item : std::as_const(items)) {
        if (item.metaType().id() != QMetaType::QVariantMap)
            continue;
        KvoVideoFile file = KvoVideoFile::createFromJson(item.toMap());
        if (file.fileId == 0)
            continue;
        file.purchaseId = id;
        files.insert(int(file.fileId), file);
    }
}

void KvoPurchase::fromSql(const QSqlRecord& record)
{
    id = R::toUInt(R::column(record, "id"));
    title = R::toText(R::column(record, "title"));
    courseTitle = R::toText(R::column(record, "course_title"));
    if (courseTitle.isNull())
        courseTitle = title;
    softwares = R::toText(R::column(record, "softwares"));
    softwareIDs = R::toUIntList(R::column(record, "software_ids"));
    authorIDs = R::toUIntList(R::column(record, "author_ids"));
    previousPrice = R::toUInt(R::column(record, "previous_price"));
    price = R::toUInt(R::column(record, "price"));
    rating = R::toUInt(R::column(record, "rating"));
    sales = R::toUInt(R::column(record, "sales"));
    thumbnail = R::toText(R::column(record, "thumbnail"));
    url = R::toText(R::column(record, "url"));
    end_ts = R::toUInt(R::column(record, "end_ts"));
    preview_uri = R::toText(R::column(record, "preview_uri"));
    width = R::toInt(R::column(record, "width"));
    height = R::toInt(R::column(record, "height"));
    purchaseDate = R::toDateTime(R::column(record, "purchase_date"));
    attachmentURL = R::toText(R::column(record, "attachment_url"));
    description = R::toText(R::column(record, "description"));
    commented = R::toBool(R::column(record, "commented"));
    files.clear();
}

uint KvoPurchase::priceAt(qint64 now) const
{
    return promotionEnded(now) && previousPrice != 0 ? previousPrice : price;
}

uint KvoPurchase::previousPriceAt(qint64 now) const
{
    if (promotionEnded(now) || previousPrice == price)
        return 0;
    return previousPrice;
}

KvoPurchase KvoPurchase::createFromJson(const QVariantMap& map)
{
    KvoPurchase purchase;
    purchase.fromJson(map);
    return purchase;
}

KvoPurchase KvoPurchase::createFromSql(const QSqlRecord& record)
{
    KvoPurchase purchase;
    purchase.fromSql(record);
    return purchase;
}

KvoPurchase KvoPurchase::withSingleVideo(const KvoPurchase& purchase, const KvoVideoFile& video)
{
    KvoPurchase single = purchase;
    if (single.courseTitle.isNull())
        single.courseTitle = purchase.title;
    single.title = video.title;
    single.files.clear();
    single.files.insert(int(video.fileId), video);
    return single;
}

bool KvoPurchase::noVideoOnDisk() const
{
    for (const KvoVideoFile& file : files) {
        if (!file.KvoPath.isEmpty())
            return false;
    }
    return true;
}

bool KvoPurchase::allVideosHidden() const
{
    for (const KvoVideoFile& file : files) {
        if (!file.hidden)
            return false;
    }
    return true;
}

QList<uint> KvoPurchase::fileIds() const
{
    QList<uint> ids;
    ids.reserve(files.size());
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        ids.append(uint(it.key()));
    return ids;
}

QString KvoPurchase::idListString(const QList<uint>& ids)
{
    QStringList parts;
    parts.reserve(ids.size());
    for (uint id : ids)
        parts.append(QString::number(id));
    return parts.join(QLatin1Char(';'));
}

void KvoPurchase::registerMetaType()
{
    qRegisterMetaType<KvoPurchase>("KvoVorn");
    qRegisterMetaType<KvoVideoFile>("KvoVideoFile");
}
