#pragma once

#include <QHash>
#include <QListWidgetItem>
#include <QMap>
#include <QNetworkReply>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>

class KvoDownloader;
class KvoPurchase;
class QColor;

// One tile of the softwares grid: a software's thumbnail, framed, with the
// software's name under it, painted into the item's icon. Under the mouse
// the tile shows the same picture darkened with the number of the user's
// downloaded videos of that software. A tile whose software has no such
// video hides itself. The item's own text stays empty.
//
// The thumbnail is kept in the image cache folder and downloaded only when
// no readable copy is there. Until a picture is painted the tile shows the
// default picture; a thumbnail that cannot be fetched or read leaves the
// default picture inside the frame, still named and counted.
class KvoListWidgetItem : public QObject, public QListWidgetItem
{
    Q_OBJECT

public:
    static constexpr int TileWidth = 102;
    static constexpr int TileHeight = 127;
    static const char* const DefaultPicture;

    // Appends the new item to the list (when one is given).
    KvoListWidgetItem(const QString& name, uint id, QListWidget* list);
    ~KvoListWidgetItem() override;

    uint id() const { return m_id; }
    QString name() const { return m_name; }
    // -1 until the item counted its videos.
    int videoCount() const { return m_videoCount; }
    QString thumbnailFileName() const { return m_thumbnailFileName; }
    QPixmap normalPixmap() const { return m_normalPixmap; }
    QPixmap hoverPixmap() const { return m_hoverPixmap; }
    // Whether this item waits for its thumbnail.
    bool isDownloading() const { return !m_downloader.isNull(); }

    // The library from which every item counts its videos; call it before
    // refreshing or creating items. Only the counts are kept.
    static void setPurchases(const QMap<int, KvoPurchase>& purchases);
    // The number of downloaded, visible videos of the software in the
    // library last given to setPurchases(). A course listed under several
    // softwares counts once for each of them.
    static int downloadedVideos(uint softwareId);
    // The same count over a library copy, without any state.
    static QHash<uint, int> countDownloadedVideos(const QMap<int, KvoPurchase>& purchases);

    // Shows the default picture, then the thumbnail from the cache or once
    // it was downloaded there.
    void loadThumbnail(const QString& url);
    // Counts again; repaints only when the count changed.
    void refresh();
    // Gives this item the hover picture (and the last hovered item its
    // normal picture back).
    void setHover();
    // Gives the hovered item its normal picture back.
    static void clearHover();
    static KvoListWidgetItem* hoveredItem() { return s_hoveredItem; }

    // The count line of the hover picture: "0 vidéo", "1 vidéo", "5 vidéos".
    static QString countText(int count);
    // The pixel size of the name line: smaller for names of 16 characters
    // or more.
    static int namePixelSize(const QString& name);

private slots:
    void onSuccessDownload();
    void onErrorDownload(QNetworkReply::NetworkError error, const QString& text);

private:
    int countDownloadedVideos() const;
    void buildIcons(const QString& file);
    void renderIcon(QPixmap& target, const QPixmap& picture, const QColor& frame, bool withCount);
    void showNormalIcon();
    void leaveDownload();
    QString cacheFile() const;

    QPointer<KvoDownloader> m_downloader;
    QString m_thumbnailFileName;
    QPixmap m_normalPixmap;
    QPixmap m_hoverPixmap;
    QString m_name;
    uint m_id = 0;
    int m_videoCount = -1;
    QString m_thumbnailUrl;

    static KvoListWidgetItem* s_hoveredItem;
    static QHash<uint, int> s_counts;
};
