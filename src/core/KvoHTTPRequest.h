#pragma once

#include <QMap>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>

class QNetworkAccessManager;
class QNetworkRequest;

// One request to the web service: a GET or a form-encoded POST through the
// application's one network access manager, with the HTTP Basic credentials
// of the signed-in user while they are set. The answer arrives as one of the
// two signals on the GUI thread; one object may send again after an answer.
//
// Certificates are verified, and every request has two time-outs so that no
// caller waits for ever: one for a connection where nothing moves, and an
// overall deadline for the whole answer (a body that drips a byte at a time
// keeps the first from firing, never the second).
class KvoHTTPRequest : public QObject
{
    Q_OBJECT

public:
    explicit KvoHTTPRequest(QObject* parent = nullptr);
    ~KvoHTTPRequest() override;

    void get(const QString& url);
    // Content-Type application/x-www-form-urlencoded; the fields in ascending
    // key order, each value as its text (true as "true"), every key and
    // value percent-encoded on its own so that "+" and "&" survive.
    void post(const QString& url, const QMap<QString, QVariant>& fields);
    // Drops the running reply without any signal: the caller that aborts
    // has lost interest in the answer. Nothing when none runs.
    // Sending again while a reply runs drops that reply without any signal
    // for it: only the answer to the latest get()/post() is signalled.
    void abort();

    // The largest answer body taken, in bytes, for the requests sent
    // afterwards; 0 (the default) takes any. A longer answer, announced or
    // received, is dropped as it arrives and ends in errorRequest with
    // UnknownContentError: an answer without bound never fills the memory.
    void setMaxBodySize(qint64 bytes);
    qint64 maxBodySize() const { return m_maxBodySize; }

    // When true, the request deletes itself (deleteLater) once its answer has
    // been signalled.
    void setAutoDelete(bool autoDelete);
    // HTTP status of the last finished reply; 0 when no HTTP answer arrived.
    int statusCode() const;
    // The body of the last answer that ended in errorRequest with an HTTP
    // status (a service's error text); empty otherwise.
    QByteArray errorBody() const;
    bool isRunning() const;

    // The form body post() sends for these fields.
    static QByteArray formBody(const QMap<QString, QVariant>& fields);

    static void setCredentials(const QString& login, const QString& password);
    static void clearCredentials();
    static bool hasCredentials();

    // The application's one network access manager (GUI thread).
    static QNetworkAccessManager* networkManager();

    // Transfer time-out of every request, in ms (default 30000). A request
    // without any byte moving for that long fails with
    // OperationCanceledError.
    static void setTransferTimeout(int ms);
    static int transferTimeout();
    // Overall deadline of every request, in ms (default 60000): an answer
    // not complete by then fails with TimeoutError, however steadily its
    // bytes arrive. Applies to requests sent afterwards.
    static void setDeadline(int ms);
    static int deadline();

signals:
    // HTTP status 200: the body as text.
    void successRequest(const QString& body);
    // Any other status or a network failure, with the error and its text.
    void errorRequest(QNetworkReply::NetworkError error, const QString& text);

private:
    static QNetworkRequest makeRequest(const QString& url);
    void send(QNetworkReply* reply);
    void dropReply();
    void onFinished();
    void onDeadline();
    void checkBodySize();

    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    int m_statusCode = 0;
    QByteArray m_errorBody;
    bool m_autoDelete = false;
    bool m_timedOut = false;
    qint64 m_maxBodySize = 0;
    bool m_tooLarge = false;
};
