#include "KvoTransfer.h"

#include "KvoReply.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

namespace {

// A body is read and written in steps of this size. The one transfer
// thread serves every download: in steps of 4 KiB its calls, not the
// copying, set the pace, and three videos over a fast link came in at
// about two thirds of the speed of three separate fetches.
constexpr qint64 kReadSize = 64 * 1024;
// At most this much of a body waits in memory; the rest stays in the
// socket until the file caught up.
constexpr qint64 kReplyBuffer = 1024 * 1024;
// Progress reaches the GUI at most this often (and always at the end).
constexpr qint64 kReportInterval = 50; // ms

QMutex s_threadMutex;
QThread* s_thread = nullptr;
QNetworkAccessManager* s_manager = nullptr; // lives on s_thread

QString partPath(const QString& destination)
{
    return destination + QStringLiteral(".part");
}

qint64 nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

void stopThread()
{
    QThread* thread = nullptr;
    {
        QMutexLocker lock(&s_threadMutex);
        thread = s_thread;
        s_thread = nullptr;
    }
    if (!thread)
        return;
    thread->quit();
    thread->wait();
    delete thread;
}

QNetworkAccessManager* managerOfThread()
{
    // Made on the worker thread on first use; deleted there when the thread
    // ends (finished() is emitted by the thread itself).
    if (!s_manager) {
        s_manager = new QNetworkAccessManager;
        QObject::connect(QThread::currentThread(), &QThread::finished, s_manager, [] {
            delete s_manager;
            s_manager = nullptr;
        }, Qt::DirectConnection);
    }
    return s_manager;
}

} // namespace

KvoTransfer::KvoTransfer(quint64 generation)
    : m_generation(generation)
    , m_speedTimer(this) // moves to the worker thread with the transfer
{
    m_speedTimer.setSingleShot(false);
    connect(&m_speedTimer, &QTimer::timeout, this, &KvoTransfer::onSpeedCheck);
}

KvoTransfer::~KvoTransfer()
{
    cancel();
}

QThread* KvoTransfer::workerThread()
{
    QMutexLocker lock(&s_threadMutex);
    if (!s_thread) {
        s_thread = new QThread;
        s_thread->setObjectName(QStringLiteral("transfers"));
        s_thread->start();
        qAddPostRoutine(stopThread);
    }
    return s_thread;
}

void KvoTransfer::start(const QString& url, const QString& destination, const Limits& limits)
{
    m_destination = destination;
    m_limits = limits;

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
            fail(QNetworkReply::UnknownNetworkError, problem);
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
    request.setTransferTimeout(m_limits.inactivityMs);

    QNetworkReply* reply = managerOfThread()->get(request);
    reply->setReadBufferSize(kReplyBuffer);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { readMetaData(reply); });
    connect(reply, &QNetworkReply::readyRead, this, &KvoTransfer::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &KvoTransfer::onFinished);
    if (m_limits.lowSpeedBytesPerSecond > 0 && m_limits.lowSpeedWindowMs > 0) {
        m_windowStart = 0;
        m_speedTimer.start(m_limits.lowSpeedWindowMs);
    }
}

void KvoTransfer::cancel()
{
    m_ended = true;
    m_speedTimer.stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    KvoReply::release(reply, this);
    discardPartial();
}

void KvoTransfer::readMetaData(QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_statusCode = status.isValid() ? status.toInt() : 0;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    m_total = length.isValid() ? length.toLongLong() : -1;
}

void KvoTransfer::onSpeedCheck()
{
    // Bytes that trickle in keep the inactivity time-out quiet; a whole
    // window below the floor ends the transfer all the same.
    const qint64 floor = qint64(m_limits.lowSpeedBytesPerSecond) * m_limits.lowSpeedWindowMs / 1000;
    if (m_reply && m_received - m_windowStart < floor) {
        m_tooSlow = true;
        m_reply->abort();
        return;
    }
    m_windowStart = m_received;
}

void KvoTransfer::onReadyRead()
{
    if (!m_reply || sender() != m_reply)
        return;
    if (drain(m_reply) <= 0 || m_statusCode != 200)
        return;
    report(false);
}

void KvoTransfer::report(bool force)
{
    const qint64 now = nowMs();
    if (!force && m_lastReport >= 0 && now - m_lastReport < kReportInterval)
        return;
    m_lastReport = now;
    emit progressed(m_generation, m_received, m_total, m_statusCode);
}

qint64 KvoTransfer::drain(QNetworkReply* reply)
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
        // Stops the transfer at once; onFinished reports the write error.
        reply->abort();
        return 0;
    }
    return drained;
}

void KvoTransfer::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || sender() != reply)
        return;
    if (reply->error() == QNetworkReply::NoError)
        drain(reply);
    m_reply = nullptr;
    m_speedTimer.stop();
    KvoReply::release(reply, this);

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_statusCode = status.isValid() ? status.toInt() : 0;
    const QNetworkReply::NetworkError error = reply->error();

    if (m_writeFailed) {
        fail(QNetworkReply::UnknownNetworkError, m_writeError);
    } else if (m_tooSlow) {
        fail(QNetworkReply::TimeoutError, QStringLiteral("Slower than %1 bytes per second for %2 ms: download timed out")
                                              .arg(m_limits.lowSpeedBytesPerSecond)
                                              .arg(m_limits.lowSpeedWindowMs));
    } else if (error == QNetworkReply::OperationCanceledError) {
        fail(error, QStringLiteral("No data for %1 ms: download timed out").arg(m_limits.inactivityMs));
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

void KvoTransfer::finishFile()
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
    }
    // Complete and checked; it takes the final name when its owner commits,
    // so an abort that crosses this report still leaves nothing behind.
    m_ended = true;
    if (m_statusCode == 200)
        report(true);
    emit ended(m_generation, true, QNetworkReply::NoError, QString(), m_received, m_statusCode);
}

QString KvoTransfer::commit()
{
    if (m_file.fileName().isEmpty())
        return QString();
    // The earlier file under the final name goes only now that its
    // replacement is complete.
    if (QFile::exists(m_destination) && !QFile::remove(m_destination)) {
        discardPartial();
        return QStringLiteral("Cannot replace %1").arg(QDir::toNativeSeparators(m_destination));
    }
    if (!QFile::rename(partPath(m_destination), m_destination)) {
        discardPartial();
        return QStringLiteral("Cannot rename %1 to %2")
            .arg(QDir::toNativeSeparators(partPath(m_destination)), QDir::toNativeSeparators(m_destination));
    }
    m_file.setFileName(QString());
    return QString();
}

void KvoTransfer::fail(QNetworkReply::NetworkError error, const QString& text)
{
    discardPartial();
    m_ended = true;
    emit ended(m_generation, false, int(error), text, m_received, m_statusCode);
}

void KvoTransfer::discardPartial()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_file.fileName().isEmpty()) {
        QFile::remove(m_file.fileName());
        m_file.setFileName(QString());
    }
}
