#include "KvoAsyncImage.h"

#include "KvoDownloader.h"
#include "KvoEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QUrl>

namespace {

// One download per cache file, whoever wants it: two downloads into one
// file would overwrite each other's partial data, and the first to end could
// read (and remove) what the other is still writing. The downloader removes
// itself from here and goes away when it ends; those waiting for it count as
// its users, and the last one to leave before the end aborts it.
struct SharedDownload
{
    QPointer<KvoDownloader> downloader;
    int users = 0;
};

QHash<QString, SharedDownload>& runningDownloads()
{
    static QHash<QString, SharedDownload> downloads;
    return downloads;
}

bool isInCacheFolder(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo cache(KvoEnvironment::cachePath());
    return file.isFile() && file.absoluteDir().canonicalPath() == cache.canonicalFilePath();
}

} // namespace

KvoAsyncImage::DrawingPlugin::~DrawingPlugin() = default;

KvoAsyncImage::KvoAsyncImage(QWidget* parent)
    : QPushButton(parent)
    , m_defaultImage(QStringLiteral(":/KvoMainWindow/Resources/defaut.jpg"))
{
    setStyleSheet(QStringLiteral("border:0;"));
}

KvoAsyncImage::~KvoAsyncImage()
{
    leaveDownload();
    delete m_drawingPlugin;
}

void KvoAsyncImage::setDrawingPlugin(KvoAsyncImage::DrawingPlugin* plugin)
{
    if (plugin == m_drawingPlugin)
        return;
    delete m_drawingPlugin;
    m_drawingPlugin = plugin;
}

void KvoAsyncImage::setDefaultImage(const QString& path)
{
    m_defaultImage = path;
}

bool KvoAsyncImage::isDownloading() const
{
    return !m_downloader.isNull();
}

QString KvoAsyncImage::cacheFileName(const QString& url)
{
    QString address = url.trimmed();
    const int hash = address.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        address.truncate(hash); // never sent to the server
    if (address.isEmpty())
        return QString();

    QString path = address;
    QString query;
    const int question = address.indexOf(QLatin1Char('?'));
    if (question >= 0) {
        path = address.left(question);
        query = address.mid(question + 1);
    }
    // "http://host" has no path at all: its host is no file name.
    const int schemeEnd = path.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0 && path.indexOf(QLatin1Char('/'), schemeEnd + 3) < 0)
        path += QLatin1Char('/');
    const QString segment = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toUtf8());

    const QString name = segment.isEmpty() ? QString() : KvoEnvironment::sanitizeFileName(segment);
    const bool plain = !segment.isEmpty() && query.isEmpty() && name == segment
                       && !name.endsWith(QLatin1String(".part"), Qt::CaseInsensitive);
    if (plain)
        return name;
    // Told apart by the whole address, so that "a.php?id=1" and "a.php?id=2"
    // or two bare hosts do not share one file, and a name can never be
    // taken for another image's partial download.
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    const QString stem = name.isEmpty() ? QStringLiteral("image") : name.left(100);
    return KvoEnvironment::sanitizeFileName(stem + QLatin1Char('-') + digest);
}

QString KvoAsyncImage::cacheFilePath(const QString& fileName)
{
    return QStringLiteral("%0%1").arg(KvoEnvironment::cachePath() + QLatin1Char('/'), fileName);
}

KvoDownloader* KvoAsyncImage::acquireDownload(const QString& url, const QString& path)
{
    QHash<QString, SharedDownload>& downloads = runningDownloads();
    auto it = downloads.find(path);
    if (it != downloads.end() && it->downloader) {
        ++it->users;
        return it->downloader;
    }
    auto* downloader = new KvoDownloader;
    downloader->setDestination(path);
    // Connected before any user, so the entry is gone by the time the users
    // hear of the end (one of them may ask for the file again).
    auto forget = [path, downloader] {
        QHash<QString, SharedDownload>& all = runningDownloads();
        auto entry = all.find(path);
        if (entry != all.end() && entry->downloader == downloader)
            all.erase(entry);
        downloader->deleteLater();
    };
    connect(downloader, &KvoDownloader::successDownload, downloader, forget);
    connect(downloader, &KvoDownloader::errorDownload, downloader, forget);
    downloads.insert(path, SharedDownload{downloader, 1});
    downloader->download(url);
    return downloader;
}

void KvoAsyncImage::releaseDownload(KvoDownloader* downloader)
{
    if (!downloader)
        return;
    QHash<QString, SharedDownload>& downloads = runningDownloads();
    auto it = downloads.find(downloader->destination());
    if (it == downloads.end() || it->downloader != downloader)
        return;
    if (--it->users <= 0)
        downloader->abort(); // ends it at once: its entry goes, its partial file too
}

void KvoAsyncImage::setUrl(const QString& url)
{
    // Only the last address counts: an earlier download is left (and
    // aborted when no other image waits for it).
    leaveDownload();

    m_fileName = cacheFileName(url);
    if (m_fileName.isEmpty()) {
        setText(QString());
        showDefaultImage();
        return;
    }
    const QString path = cacheFilePath(m_fileName);
    if (QFileInfo(path).isFile()) {
        QPixmap picture;
        if (picture.load(path)) {
            setText(QString());
            showPicture(picture);
            return;
        }
        // Not a picture (an error page, a cut file): fetched again below.
        QFile::remove(path);
    }

    QDir().mkpath(KvoEnvironment::cachePath());
    KvoDownloader* downloader = acquireDownload(url.trimmed(), path);
    m_downloader = downloader;
    connect(downloader, &KvoDownloader::successDownload, this, &KvoAsyncImage::onSuccessDownload);
    connect(downloader, &KvoDownloader::errorDownload, this, &KvoAsyncImage::onErrorDownload);
}

void KvoAsyncImage::setImage(const QString& path)
{
    setText(QString());
    QPixmap picture(path);
    if (picture.isNull()) {
        // Only a file of our own cache is removed: any other path is the
        // caller's file, which is not ours to delete.
        if (isInCacheFolder(path))
            QFile::remove(path);
        picture.load(m_defaultImage);
    }
    showPicture(picture);
}

void KvoAsyncImage::onSuccessDownload()
{
    auto* downloader = qobject_cast<KvoDownloader*>(sender());
    if (!downloader || downloader != m_downloader)
        return;
    // The shared entry has released the downloader already.
    disconnect(downloader, nullptr, this, nullptr);
    m_downloader = nullptr;
    setImage(downloader->destination());
}

void KvoAsyncImage::onErrorDownload(QNetworkReply::NetworkError, const QString&)
{
    auto* downloader = qobject_cast<KvoDownloader*>(sender());
    if (!downloader || downloader != m_downloader)
        return;
    disconnect(downloader, nullptr, this, nullptr);
    m_downloader = nullptr;
    // The downloader left nothing under the final name.
    setText(QString());
    showDefaultImage();
}

void KvoAsyncImage::leaveDownload()
{
    KvoDownloader* downloader = m_downloader;
    m_downloader = nullptr;
    if (!downloader)
        return;
    disconnect(downloader, nullptr, this, nullptr);
    releaseDownload(downloader);
}

void KvoAsyncImage::showDefaultImage()
{
    showPicture(QPixmap(m_defaultImage));
}

void KvoAsyncImage::showPicture(QPixmap picture)
{
    if (picture.isNull()) {
        setIcon(QIcon());
        return;
    }
    const QSize size = iconSize();
    if (!size.isEmpty())
        picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (m_drawingPlugin)
        m_drawingPlugin->draw(picture);
    setIcon(QIcon(picture));
    setIconSize(size);
}
