#include "KvoListWidgetItem.h"
#include "KvoFont.h"

#include "KvoAsyncImage.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoPurchase.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QListWidget>
#include <QPainter>
#include <QRect>

namespace {

const QColor s_frameColor(52, 52, 52, 255);

// Only files of our own image cache are ever removed.
bool isCachedFile(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo cache(KvoEnvironment::cachePath());
    return file.isFile() && file.absoluteDir().canonicalPath() == cache.canonicalFilePath();
}

QPixmap defaultPicture()
{
    return QPixmap(QString::fromLatin1(KvoListWidgetItem::DefaultPicture));
}

} // namespace

const char* const KvoListWidgetItem::DefaultPicture = ":/KvoMainWindow/Resources/defaut.jpg";
KvoListWidgetItem* KvoListWidgetItem::s_hoveredItem = nullptr;
QHash<uint, int> KvoListWidgetItem::s_counts;

KvoListWidgetItem::KvoListWidgetItem(const QString& name, uint id, QListWidget* list)
    : QObject()
    , QListWidgetItem(list)
    , m_name(name)
    , m_id(id)
{
    setText(QString());
}

KvoListWidgetItem::~KvoListWidgetItem()
{
    leaveDownload();
    if (s_hoveredItem == this)
        s_hoveredItem = nullptr;
}

void KvoListWidgetItem::setPurchases(const QMap<int, KvoPurchase>& purchases)
{
    s_counts = countDownloadedVideos(purchases);
}

int KvoListWidgetItem::downloadedVideos(uint softwareId)
{
    return s_counts.value(softwareId, 0);
}

QHash<uint, int> KvoListWidgetItem::countDownloadedVideos(const QMap<int, KvoPurchase>& purchases)
{
    // Counted once per library instead of once per tile, and read without
    // being used up, so that a tile counted twice on one library still
    // gets its real count.
    QHash<uint, int> counts;
    QList<uint> seen;
    for (const KvoPurchase& purchase : purchases) {
        int onDisk = 0;
        for (const KvoVideoFile& file : purchase.files) {
            if (!file.hidden && !file.KvoPath.isEmpty())
                ++onDisk;
        }
        seen.clear();
        for (uint softwareId : purchase.softwareIDs) {
            if (seen.contains(softwareId))
                continue; // a course lists a software at most once
            seen.append(softwareId);
            counts[softwareId] += onDisk;
        }
    }
    return counts;
}

int KvoListWidgetItem::countDownloadedVideos() const
{
    return downloadedVideos(m_id);
}

QString KvoListWidgetItem::countText(int count)
{
    if (count == 0 || count == 1)
        return QString::number(count) + QLatin1Char(' ') + tr("vidéo");
    return QString::number(count) + QLatin1Char(' ') + tr("vidéos");
}

int KvoListWidgetItem::namePixelSize(const QString& name)
{
    return name.size() > 15 ? 10 : 12;
}

QString KvoListWidgetItem::cacheFile() const
{
    return KvoAsyncImage::cacheFilePath(m_thumbnailFileName);
}

void KvoListWidgetItem::loadThumbnail(const QString& url)
{
    m_thumbnailUrl = url;
    setIcon(QIcon(defaultPicture()));
    const QString previousFile = m_thumbnailFileName;
    m_thumbnailFileName = KvoAsyncImage::cacheFileName(url);

    if (m_downloader) {
        // Already waiting for this very file: its end paints the tile.
        if (m_thumbnailFileName == previousFile && !m_thumbnailFileName.isEmpty())
            return;
        leaveDownload();
    }
    if (m_thumbnailFileName.isEmpty()) {
        buildIcons(QString()); // nothing to fetch: the default picture, named
        return;
    }
    const QString path = cacheFile();
    if (QFileInfo(path).isFile()) {
        if (!QPixmap(path).isNull()) {
            buildIcons(path);
            return;
        }
        // An error page or a damaged copy: fetched again.
        QFile::remove(path);
    }
    // The one download of that file, shared with the other tiles and with
    // the pictures of the pages: two downloads into one file undo each
    // other's rename, and the cache is left without the picture.
    QDir().mkpath(KvoEnvironment::cachePath());
    m_downloader = KvoAsyncImage::acquireDownload(url.trimmed(), path);
    connect(m_downloader, &KvoDownloader::successDownload, this, &KvoListWidgetItem::onSuccessDownload);
    connect(m_downloader, &KvoDownloader::errorDownload, this, &KvoListWidgetItem::onErrorDownload);
}

void KvoListWidgetItem::onSuccessDownload()
{
    if (sender() != m_downloader)
        return;
    leaveDownload();
    buildIcons(cacheFile());
}

void KvoListWidgetItem::onErrorDownload(QNetworkReply::NetworkError, const QString&)
{
    if (sender() != m_downloader)
        return;
    leaveDownload();
    // The downloader left nothing under the cache name. The tile keeps the
    // default picture but still shows its name, and hides itself when the
    // software has no video; the next change of the count tries again.
    buildIcons(QString());
}

void KvoListWidgetItem::leaveDownload()
{
    KvoDownloader* downloader = m_downloader;
    m_downloader = nullptr;
    if (!downloader)
        return;
    disconnect(downloader, nullptr, this, nullptr);
    // After its end this does nothing; before, the last one to leave
    // stops it.
    KvoAsyncImage::releaseDownload(downloader);
}

void KvoListWidgetItem::buildIcons(const QString& file)
{
    QPixmap picture;
    if (!file.isEmpty() && !picture.load(file) && isCachedFile(file))
        QFile::remove(file); // not a picture: never kept in the cache
    if (picture.isNull())
        picture = defaultPicture();
    renderIcon(m_normalPixmap, picture, s_frameColor, false);
    renderIcon(m_hoverPixmap, picture, s_frameColor, true);
    setIcon(QIcon(m_normalPixmap));
}

void KvoListWidgetItem::renderIcon(QPixmap& target, const QPixmap& picture, const QColor& frame, bool withCount)
{
    target = QPixmap(TileWidth, TileHeight);
    target.fill(Qt::transparent);

    QPainter painter(&target);
    painter.drawPixmap(1, 1, picture.scaled(100, 100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));

    painter.setPen(frame);
    painter.drawRect(QRect(QPoint(0, 0), QPoint(100, 100))); // lines at 0 and 101

    // Soften the corners of the frame.
    const QPoint corners[] = {QPoint(0, 0), QPoint(101, 0), QPoint(0, 101), QPoint(101, 101)};
    for (const QPoint& corner : corners) {
        painter.setPen(Qt::black);
        painter.drawPoint(corner);
        painter.setOpacity(0.5);
        painter.setPen(frame);
        painter.drawPoint(corner);
        painter.setOpacity(1.0);
    }

    const QFont nameFont = KvoFont::arial(namePixelSize(m_name), QFont::Bold);
    painter.setFont(nameFont);
    painter.setPen(Qt::white);
    const QRect band(0, 103, TileWidth, TileHeight - 102);
    const QString shownName = QFontMetrics(nameFont).elidedText(m_name, Qt::ElideRight, band.width());
    painter.drawText(band, Qt::AlignCenter, shownName);

    if (!withCount)
        return;

    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QRect thumbnail(1, 1, 100, 100);
    painter.fillRect(thumbnail, QColor(0, 0, 0, 220));
    painter.setFont(KvoFont::arial(12, QFont::Normal));
    painter.setPen(QColor(254, 254, 254, 255));
    if (m_videoCount == -1)
        m_videoCount = countDownloadedVideos();
    painter.drawText(thumbnail, Qt::AlignCenter, countText(m_videoCount));
    if (listWidget())
        setHidden(m_videoCount == 0);
}

void KvoListWidgetItem::refresh()
{
    const int count = countDownloadedVideos();
    if (count == m_videoCount)
        return;
    m_videoCount = count;
    loadThumbnail(m_thumbnailUrl);
}

void KvoListWidgetItem::setHover()
{
    if (s_hoveredItem && s_hoveredItem != this)
        s_hoveredItem->showNormalIcon();
    setIcon(QIcon(m_hoverPixmap.isNull() ? defaultPicture() : m_hoverPixmap));
    s_hoveredItem = this;
}

void KvoListWidgetItem::clearHover()
{
    if (s_hoveredItem)
        s_hoveredItem->showNormalIcon();
}

void KvoListWidgetItem::showNormalIcon()
{
    setIcon(QIcon(m_normalPixmap.isNull() ? defaultPicture() : m_normalPixmap));
}
