#include "KvoVideoTransfer.h"

#include "KvoApi.h"
#include "KvoCourseFolders.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoStorageNames.h"
#include "KvoStringCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

KvoVideoTransfer::KvoVideoTransfer(const KvoPurchase& course, int fileId, QObject* parent)
    : QObject(parent)
    , m_course(course)
    , m_fileId(fileId)
{
}

KvoVideoTransfer::~KvoVideoTransfer()
{
    abort();
}

bool KvoVideoTransfer::concernsThisVideoOnly(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::ConnectionRefusedError || error == QNetworkReply::HostNotFoundError
           || error == QNetworkReply::ContentAccessDenied
           || error == QNetworkReply::ContentOperationNotPermittedError;
}

bool KvoVideoTransfer::start(QString* message, QString* detail)
{
    // The names clean the titles they are made of.
    const QString videoFolder = QDir::fromNativeSeparators(KvoEnvironment::videoPath());
    const QString folder = videoFolder + QLatin1Char('/') + KvoStorageNames::courseFolderName(m_course);
    m_filePath = folder + QLatin1Char('/')
                 + KvoStorageNames::videoFileName(uint(m_fileId), m_course.files.value(m_fileId).title);

    // The video folder itself is made too when it is missing.
    const KvoCourseFolders::Hold hold = KvoCourseFolders::makeAndHold(folder);
    if (!hold.isHeld()) {
        *message = QCoreApplication::translate("KvoDownloadWidget", "Erreur - dossier des vidéos inaccessible");
        *detail = QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    m_courseFolder = hold;
    m_videoFolder = videoFolder;

    m_downloader = new KvoDownloader(nullptr);
    m_request = new KvoHTTPRequest(nullptr);
    connect(m_downloader, &KvoDownloader::successDownload, this, &KvoVideoTransfer::onDownloaded);
    connect(m_downloader, &KvoDownloader::errorDownload, this, &KvoVideoTransfer::onDownloadFailed);
    connect(m_downloader, &KvoDownloader::progressDownload, this, &KvoVideoTransfer::onProgress);
    connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoVideoTransfer::onAddress);
    connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoVideoTransfer::onRequestFailed);
    m_downloader->setDestination(m_filePath);
    const QString user = KvoStringCodec::decode(KvoPurchaseVideoManager::instance()->userId());
    m_request->get(KvoApi::address(QStringLiteral("/0.1/playerFileUrl/"),
                                   {{QStringLiteral("user"), user},
                                    {QStringLiteral("file"), QString::number(m_fileId)}}));
    return true;
}

void KvoVideoTransfer::onAddress(const QString& body)
{
    if (m_request) {
        m_request->deleteLater();
        m_request = nullptr;
    }
    KvoJsonResult json;
    json.parse(body);
    const QString url = json.value(QStringLiteral("url")).toString();
    if (url.isEmpty() || !m_downloader) {
        fail(QCoreApplication::translate("KvoDownloadWidget", "Erreur - adresse de la vidéo absente"),
             QStringLiteral("The service gave no address for the video %1").arg(m_fileId));
        return;
    }
    m_bytesTotal = -1;
    m_downloader->download(url);
    emit downloadStarted();
}

void KvoVideoTransfer::onRequestFailed(QNetworkReply::NetworkError error, const QString& message)
{
    Q_UNUSED(error);
    fail(QCoreApplication::translate("KvoDownloadWidget", "Erreur - connexion impossible"), message);
}

void KvoVideoTransfer::onProgress(qint64 received, qint64 total)
{
    if (!m_downloader)
        return;
    m_bytesTotal = total;
    emit progress(received, total);
}

void KvoVideoTransfer::onDownloaded()
{
    if (!m_downloader)
        return;
    const qint64 received = m_downloader->bytesReceived();
    release();

    // The file must be whole and be the very video asked for: the size the
    // transfer announced (or, without one, what arrived) and the video's
    // identification box.
    const QFileInfo info(m_filePath);
    const qint64 expected = m_bytesTotal >= 0 ? m_bytesTotal : received;
    const KvoQozFile stored(m_filePath);
    if (!info.isFile() || info.size() != expected || !stored.isValid() || stored.purchaseId() != m_course.id
        || stored.fileId() != quint32(m_fileId)) {
        QFile::remove(m_filePath);
        fail(QCoreApplication::translate("KvoDownloadWidget", "Erreur - fichier corrompu"),
             !info.isFile() ? QStringLiteral("The file did not arrive")
             : info.size() != expected
                 ? QStringLiteral("%1 bytes arrived where %2 were announced").arg(info.size()).arg(expected)
                 : QStringLiteral("The file is not the video %1 of the purchase %2").arg(m_fileId).arg(m_course.id));
        return;
    }

    // A purchase (or video) that left the library meanwhile is not
    // recorded, and its file does not stay behind unrecorded.
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    KvoPurchase current;
    if (!manager->purchase(m_course.id, &current) || !current.files.contains(m_fileId)) {
        QFile::remove(m_filePath);
        fail(QCoreApplication::translate("KvoDownloadWidget", "Erreur - formation absente de la bibliothèque"),
             QStringLiteral("The purchase %1 left the library during its download").arg(m_course.id));
        return;
    }
    leaveCourseFolder();

    KvoVideoFile record = current.files.value(m_fileId);
    record.KvoPath = m_filePath;
    manager->setVideoHidden(m_course.id, uint(m_fileId), false);
    manager->setVideoPath(current, record);
    emit succeeded(m_filePath);
}

void KvoVideoTransfer::onDownloadFailed(QNetworkReply::NetworkError error, const QString& message)
{
    if (!m_downloader)
        return;
    const int status = m_downloader->statusCode();
    release();

    QString text;
    if (status != 0 && status != 200)
        text = QCoreApplication::translate("KvoDownloadWidget", "Erreur - fichier indisponible");
    else if (error == QNetworkReply::UnknownNetworkError)
        text = QCoreApplication::translate("KvoDownloadWidget", "Erreur - écriture du fichier impossible");
    else
        text = QCoreApplication::translate("KvoDownloadWidget", "Erreur - connexion coupée");
    fail(text, message, concernsThisVideoOnly(error));
}

void KvoVideoTransfer::fail(const QString& message, const QString& detail, bool thisVideoOnly)
{
    release();
    leaveCourseFolder();
    emit failed(message, detail, thisVideoOnly);
}

void KvoVideoTransfer::release()
{
    // Signals first: that of an aborted transfer must not come back here.
    if (m_downloader) {
        QObject::disconnect(m_downloader, nullptr, this, nullptr);
        m_downloader->abort();
        m_downloader->deleteLater();
        m_downloader = nullptr;
    }
    if (m_request) {
        QObject::disconnect(m_request, nullptr, this, nullptr);
        m_request->abort();
        m_request->deleteLater();
        m_request = nullptr;
    }
}

void KvoVideoTransfer::abort()
{
    release();
    leaveCourseFolder();
}

void KvoVideoTransfer::leaveCourseFolder()
{
    // After the transfer, and after a file refused by the checks was
    // removed: a course folder that stayed empty goes.
    if (!m_courseFolder.isHeld())
        return;
    KvoCourseFolders::release(std::exchange(m_courseFolder, {}), m_videoFolder);
}
