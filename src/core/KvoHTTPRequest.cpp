#include "KvoHTTPRequest.h"

#include "KvoReply.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

#include <atomic>

namespace {

struct Credentials
{
    QMutex mutex;
    QString login;
    QString password;
};

Credentials& credentials()
{
    static Credentials c;
    return c;
}

std::atomic<int> s_transferTimeout{30000};
std::atomic<int> s_deadline{60000};

QByteArray basicAuthorization()
{
    Credentials& c = credentials();
    QMutexLocker lock(&c.mutex);
    if (c.login.isEmpty())
        return {};
    // Built by hand from UTF-8: Qt's authenticator would send Latin-1 and
    // lose every character outside it.
    return QByteArrayLiteral("Basic ") + (c.login + QLatin1Char(':') + c.password).toUtf8().toBase64();
}

QString reasonPhrase(QNetworkReply* reply)
{
    return QString::fromUtf8(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
}

} // namespace

KvoHTTPRequest::KvoHTTPRequest(QObject* parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &KvoHTTPRequest::onDeadline);
}

KvoHTTPRequest::~KvoHTTPRequest()
{
    dropReply();
}

QNetworkAccessManager* KvoHTTPRequest::networkManager()
{
    // Owned by the application object, so it goes with the event loop's
    // objects and never runs its destructor during static destruction. A
    // process without an application object (a plain tool) keeps one for
    // good.
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() != app->thread())
            qWarning("KvoHTTPRequest::networkManager: called outside the GUI thread");
        manager = new QNetworkAccessManager(app && QThread::currentThread() == app->thread() ? app : nullptr);
    }
    return manager;
}

QNetworkRequest KvoHTTPRequest::makeRequest(const QString& url)
{
    QNetworkRequest request{QUrl(url)};
    // A redirection would carry the credentials to whatever address the
    // answer names; the service never redirects, so a 3xx is an error.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(s_transferTimeout.load());
    const QByteArray authorization = basicAuthorization();
    if (!authorization.isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), authorization);
    return request;
}

void KvoHTTPRequest::get(const QString& url)
{
    send(networkManager()->get(makeRequest(url)));
}

void KvoHTTPRequest::post(const QString& url, const QMap<QString, QVariant>& fields)
{
    QNetworkRequest request = makeRequest(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    send(networkManager()->post(request, formBody(fields)));
}

QByteArray KvoHTTPRequest::formBody(const QMap<QString, QVariant>& fields)
{
    QByteArray body;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        const QVariant& value = it.value();
        QString text;
        if (value.metaType().id() == QMetaType::Bool)
            text = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        else
            text = value.toString();
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(it.key());
        body += '=';
        body += QUrl::toPercentEncoding(text);
    }
    return body;
}

void KvoHTTPRequest::send(QNetworkReply* reply)
{
    // A request still running is replaced without a signal of its own: the
    // caller asked for a new answer and waits for that one only.
    dropReply();
    m_reply = reply;
    m_timedOut = false;
    m_tooLarge = false;
    connect(reply, &QNetworkReply::finished, this, &KvoHTTPRequest::onFinished);
    if (m_maxBodySize > 0) {
        // Checked as the bytes come in (the progress signal is throttled).
        connect(reply, &QNetworkReply::metaDataChanged, this, &KvoHTTPRequest::checkBodySize);
        connect(reply, &QNetworkReply::readyRead, this, &KvoHTTPRequest::checkBodySize);
    }
    m_deadline.start(s_deadline.load());
}

void KvoHTTPRequest::dropReply()
{
    m_deadline.stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    KvoReply::release(reply, this);
}

void KvoHTTPRequest::abort()
{
    dropReply();
}

void KvoHTTPRequest::onDeadline()
{
    if (!m_reply)
        return;
    // finished() comes from abort() and reports the time-out.
    m_timedOut = true;
    m_reply->abort();
}

void KvoHTTPRequest::checkBodySize()
{
    if (!m_reply || m_reply.data() != sender())
        return;
    const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced <= m_maxBodySize && m_reply->bytesAvailable() <= m_maxBodySize)
        return;
    // finished() comes from abort() and reports the answer as unreadable.
    m_tooLarge = true;
    m_reply->abort();
}

void KvoHTTPRequest::setMaxBodySize(qint64 bytes)
{
    m_maxBodySize = qMax<qint64>(0, bytes);
}

bool KvoHTTPRequest::isRunning() const
{
    return !m_reply.isNull();
}

void KvoHTTPRequest::setAutoDelete(bool autoDelete)
{
    m_autoDelete = autoDelete;
}

int KvoHTTPRequest::statusCode() const
{
    return m_statusCode;
}

QByteArray KvoHTTPRequest::errorBody() const
{
    return m_errorBody;
}

void KvoHTTPRequest::setCredentials(const QString& login, const QString& password)
{
    Credentials& c = credentials();
    QMutexLocker lock(&c.mutex);
    c.login = login;
    c.password = password;
}

void KvoHTTPRequest::clearCredentials()
{
    setCredentials(QString(), QString());
}

bool KvoHTTPRequest::hasCredentials()
{
    Credentials& c = credentials();
    QMutexLocker lock(&c.mutex);
    return !c.login.isEmpty();
}

void KvoHTTPRequest::setTransferTimeout(int ms)
{
    s_transferTimeout.store(ms);
}

int KvoHTTPRequest::transferTimeout()
{
    return s_transferTimeout.load();
}

void KvoHTTPRequest::setDeadline(int ms)
{
    s_deadline.store(ms);
}

int KvoHTTPRequest::deadline()
{
    return s_deadline.load();
}

void KvoHTTPRequest::onFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != m_reply)
        return; // a replaced reply; dropReply() already released it
    m_reply = nullptr;
    m_deadline.stop();
    KvoReply::release(reply, this);

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_statusCode = status.isValid() ? status.toInt() : 0;
    m_errorBody.clear();

    QPointer<KvoHTTPRequest> self(this);
    QNetworkReply::NetworkError error = reply->error();
    // Bytes that came with the end of the answer are checked here.
    if (m_maxBodySize > 0 && reply->bytesAvailable() > m_maxBodySize)
        m_tooLarge = true;
    if (!m_tooLarge && error == QNetworkReply::NoError && m_statusCode == 200) {
        emit successRequest(QString::fromUtf8(reply->readAll()));
    } else {
        if (m_statusCode != 0 && !m_tooLarge)
            m_errorBody = reply->readAll();
        QString text;
        if (m_tooLarge) {
            error = QNetworkReply::UnknownContentError;
            text = QStringLiteral("Answer longer than %1 bytes: not read").arg(m_maxBodySize);
        } else if (m_timedOut) {
            error = QNetworkReply::TimeoutError;
            text = QStringLiteral("No complete answer within %1 ms: request timed out").arg(m_deadline.interval());
        } else if (error == QNetworkReply::OperationCanceledError) {
            text = QStringLiteral("No data for %1 ms: transfer timed out").arg(s_transferTimeout.load());
        } else if (error != QNetworkReply::NoError) {
            text = reply->errorString();
            if (m_statusCode)
                text += QStringLiteral(" (HTTP status %1)").arg(m_statusCode);
        } else {
            // An HTTP answer Qt does not count as a failure: a redirection
            // (not followed), 304, or any other 1xx/2xx but 200.
            error = QNetworkReply::UnknownContentError;
            text = QStringLiteral("Unexpected HTTP status %1 %2").arg(m_statusCode).arg(reasonPhrase(reply)).trimmed();
            const QString location = reply->header(QNetworkRequest::LocationHeader).toUrl().toString();
            if (!location.isEmpty())
                text += QStringLiteral(" (redirection to %1 not followed)").arg(location);
        }
        emit errorRequest(error, text);
    }
    if (self && m_autoDelete)
        deleteLater();
}
