#include "KvoDownloader.h"

#include "KvoHTTPRequest.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <atomic>

namespace {

std::atomic<int> s_transferTimeout{60000};
constexpr qint64 kReadSize = 4096;

QString partPath(const QString& destination)
{
    return destination + QStringLiteral(".part");
}

} // namespace

KvoDownloader::KvoDownloader(QObject* parent)
    : QObject(parent)
{
}

KvoDownloader::~KvoDownloader()
{
    // No signal leaves a downloader that is going away.
    releaseReply();
    discardPartial();
}

void KvoDownloader::setTransferTimeout(int ms)
{
    s_transferTimeout.store(ms);
}

void KvoDownloader::setDestination(const QString& path)
{
    m_destination = path;
}

bool KvoDownloader::isRunning() const
{
    return !m_reply.isNull() || m_pendingFailure;
}

void KvoDownloader::download(const QString& url)
{
    // A download still running is dropped without an end signal of its own.
    releaseReply();
    discardPartial();
    ++m_generation;
    m_pendingFailure = false;
    m_received = 0;
    m_total = -1;
    m_statusCode = 0;
    m_writeFailed = false;
    m_writeError.clear();
    m_aborting = false;

    if (!m_destination.isEmpty()) {
        const QFileInfo target(m_destination);
        const QFileInfo folder(target.absolutePath());
        QString problem;
        if (!folder.exists())
            problem = QStringLiteral("The folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath()));
        else if (!folder.isDir())
            problem = QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath()));
        else if (target.isDir())
            problem = QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(target.filePath()));
        if (problem.isEmpty()) {
            m_file.setFileName(partPath(m_destination));
            if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                problem = QStringLiteral("Cannot write %1: %2")
                              .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
        }
        if (!problem.isEmpty()) {
            failLater(problem);
            return;
        }
    }

    QNetworkRequest request(QUrl::fromEncoded(url.toUtf8()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // No credentials of the web service: neither cookies nor a cached login.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    // The bytes as served: an automatically decompressed body could never
    // be checked against the announced length.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("identity"));
    request.setTransferTimeout(s_transferTimeout.load());

    QNetworkReply* reply = KvoHTTPRequest::networkManager()->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, &KvoDownloader::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &KvoDownloader::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &KvoDownloader::onFinished);
}

void KvoDownloader::abort()
{
    if (m_reply) {
        // finished comes synchronously from abort() and ends the download.
        m_aborting = true;
        m_reply->abort();
    }
}

void KvoDownloader::onMetaData()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != m_reply)
        return;
    readMetaData(reply);
}

void KvoDownloader::readMetaData(QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_statusCode = status.isValid() ? status.toInt() : 0;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    m_total = length.isValid() ? length.toLongLong() : -1;
}

void KvoDownloader::onReadyRead()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != m_reply)
        return;
    if (drain(reply) <= 0 || m_statusCode != 200)
        return;
    // The slot may abort, restart or even delete this downloader.
    emit progressDownload(m_received, m_total);
}

qint64 KvoDownloader::drain(QNetworkReply* reply)
{
    // The body of an error answer (404 page, redirection notice) is read
    // and thrown away: it must never end up in the file.
    if (m_statusCode == 0)
        readMetaData(reply);
    const bool store = m_file.isOpen() && !m_writeFailed && m_statusCode == 200;
    char buffer[kReadSize];
    qint64 drained = 0;
    for (;;) {
        const qint64 n = reply->read(buffer, kReadSize);
        if (n <= 0)
            break;
        drained += n;
        if (m_statusCode == 200)
            m_received += n;
        if (store && !m_writeFailed && m_file.write(buffer, n) != n)
            m_writeFailed = true;
    }
    // Flushed at every drain so that a full disk shows up now, not at the
    // end of a long transfer.
    if (store && !m_writeFailed && drained > 0 && !m_file.flush())
        m_writeFailed = true;
    if (m_writeFailed && m_writeError.isEmpty()) {
        m_writeError = QStringLiteral("Cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
        // Ends the transfer; onFinished reports the write error.
        m_aborting = true;
        reply->abort();
        return 0;
    }
    return drained;
}

void KvoDownloader::onFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != m_reply)
        return;
    if (reply->error() == QNetworkReply::NoError)
        drain(reply);
    if (m_reply != reply)
        return; // drain() failed and its abort already ended this download
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_statusCode = status.isValid() ? status.toInt() : 0;
    const QNetworkReply::NetworkError error = reply->error();

    if (m_writeFailed) {
        fail(QNetworkReply::UnknownNetworkError, m_writeError);
    } else if (error == QNetworkReply::OperationCanceledError) {
        fail(error, m_aborting ? QStringLiteral("Download aborted")
                               : QStringLiteral("No data for %1 ms: download timed out").arg(s_transferTimeout.load()));
    } else if (error != QNetworkReply::NoError) {
        QString text = reply->errorString();
        if (m_statusCode)
            text += QStringLiteral(" (HTTP status %1)").arg(m_statusCode);
        fail(error, text);
    } else if (m_statusCode != 200) {
        QString text = QStringLiteral("Unexpected HTTP status %1").arg(m_statusCode);
        const QString location = reply->header(QNetworkRequest::LocationHeader).toUrl().toString();
        if (!location.isEmpty())
            text += QStringLiteral(" (redirection to %1 not followed)").arg(location);
        fail(QNetworkReply::UnknownContentError, text);
    } else if (m_total >= 0 && m_received != m_total) {
        fail(QNetworkReply::ProtocolFailure,
             QStringLiteral("Received %1 bytes where %2 were announced").arg(m_received).arg(m_total));
    } else {
        finishFile();
    }
}

void KvoDownloader::finishFile()
{
    if (m_file.isOpen()) {
        const bool flushed = m_file.flush();
        const QString flushError = m_file.errorString();
        m_file.close();
        if (!flushed || m_file.error() != QFileDevice::NoError) {
            fail(QNetworkReply::UnknownNetworkError,
                 QStringLiteral("Cannot write %1: %2")
                     .arg(QDir::toNativeSeparators(m_file.fileName()), flushed ? m_file.errorString() : flushError));
            return;
        }
        // The earlier file under the final name goes only now that its
        // replacement is complete.
        if (QFile::exists(m_destination) && !QFile::remove(m_destination)) {
            fail(QNetworkReply::UnknownNetworkError,
                 QStringLiteral("Cannot replace %1").arg(QDir::toNativeSeparators(m_destination)));
            return;
        }
        if (!QFile::rename(partPath(m_destination), m_destination)) {
            fail(QNetworkReply::UnknownNetworkError,
                 QStringLiteral("Cannot rename %1 to %2")
                     .arg(QDir::toNativeSeparators(partPath(m_destination)), QDir::toNativeSeparators(m_destination)));
            return;
        }
        m_file.setFileName(QString());
    }
    emit successDownload();
}

void KvoDownloader::fail(QNetworkReply::NetworkError error, const QString& text)
{
    discardPartial();
    emit errorDownload(error, text);
}

void KvoDownloader::failLater(const QString& text)
{
    // Reported from the event loop, as a network failure would be, so that
    // callers never see the end signal from inside download().
    m_pendingFailure = true;
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, text] {
        if (generation != m_generation || !m_pendingFailure)
            return;
        m_pendingFailure = false;
        fail(QNetworkReply::UnknownNetworkError, text);
    });
}

void KvoDownloader::releaseReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

void KvoDownloader::discardPartial()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_file.fileName().isEmpty()) {
        QFile::remove(m_file.fileName());
        m_file.setFileName(QString());
    }
}
