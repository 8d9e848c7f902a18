#pragma once

#include "KvoDownloader.h"

#include <QNetworkReply>
#include <QPointer>
#include <QPushButton>
#include <QString>

class QPixmap;

// A push button that shows a picture of the web service (a thumbnail) as
// its icon. The picture is kept in the image cache folder; a cached copy is
// shown at once, otherwise it is downloaded there first. A picture that
// cannot be read is replaced by the default image, and an unreadable cached
// copy is removed so that it is fetched afresh.
class KvoAsyncImage : public QPushButton
{
    Q_OBJECT

public:
    // Paints over each picture (a tag, a badge) after it was scaled to the
    // icon size and before it becomes the icon. Owned by the image.
    class DrawingPlugin
    {
    public:
        virtual void draw(QPixmap& pixmap) = 0;
        virtual ~DrawingPlugin();
    };

    explicit KvoAsyncImage(QWidget* parent = nullptr);
    ~KvoAsyncImage() override;

    // Takes ownership; a plug-in set before is deleted.
    void setDrawingPlugin(KvoAsyncImage::DrawingPlugin* plugin);
    DrawingPlugin* drawingPlugin() const { return m_drawingPlugin; }

    void setDefaultImage(const QString& path);
    QString defaultImage() const { return m_defaultImage; }

    // Shows the picture at that address, scaled to the icon size the button
    // has when the picture arrives (set the icon size first). An address
    // that cannot be fetched or gives no picture shows the default image.
    void setUrl(const QString& url);
    // Shows the picture stored in that file; the default image when it
    // cannot be read (a file of the cache folder is then removed).
    void setImage(const QString& path);

    // The cache file name of the current address; empty before setUrl.
    QString fileName() const { return m_fileName; }
    // Whether a download for this button is running.
    bool isDownloading() const;

    // The name under which an address is cached: its last path segment made
    // safe for the file system. An address without a last segment, with a
    // query, or whose segment could pass for a partial download is told
    // apart by a digest of the whole address. Empty for an empty address.
    static QString cacheFileName(const QString& url);
    // cache folder + "/" + the file name.
    static QString cacheFilePath(const QString& fileName);

    // The one download of a cache file, shared by everything that shows
    // it: two downloads into one file would mix their partial data. Returns
    // the running download of that path with one more user, or starts a new
    // one of the address. It never ends from inside this call, so the
    // caller connects to its end signals afterwards; it deletes itself
    // (deferred) when it ends. A user that stops waiting calls
    // releaseDownload (after disconnecting); the last one aborts it.
    static KvoDownloader* acquireDownload(const QString& url, const QString& path);
    static void releaseDownload(KvoDownloader* downloader);

private slots:
    void onSuccessDownload();
    void onErrorDownload(QNetworkReply::NetworkError code, const QString& message);

private:
    void leaveDownload();
    void showPicture(QPixmap picture);
    void showDefaultImage();

    QPointer<KvoDownloader> m_downloader;
    QString m_fileName;
    QString m_defaultImage;
    DrawingPlugin* m_drawingPlugin = nullptr;
};
