#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <QUrlQuery>

#include <functional>

class QTcpSocket;

// A bare HTTP/1.1 server on 127.0.0.1, port 0, for what a real service
// cannot be made to do on demand: malformed or cut bodies, answers that come
// late or never, raw bytes. (A bare QTcpServer, since QHttpServer 6.4
// crashes when a late answer meets a client that left.)
//
// Every request is recorded (with its body, read by Content-Length) and
// answered with the reply set, or the handler's reply for it; while holding,
// requests wait until the test releases them.
class KvoFakeHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query as sent
        QByteArray head;   // request line and headers
        QByteArray body;
        int answeredBefore = 0; // replies sent when it arrived
        QString path() const;
        QUrlQuery query() const;
        QUrlQuery form() const; // a form body ("+" read as a blank)
    };

    // What goes back: the bytes, then the connection closes or stays open.
    struct Reply
    {
        QByteArray bytes; // empty: nothing is written
        bool close = true;
        int dripMs = 0; // > 0: left open, one more byte every dripMs ms

        // A whole answer: status line, Content-Type, Content-Length, body
        // (a 304 has no body headers).
        static Reply of(int status, const QByteArray& body, const QByteArray& contentType = "application/json",
                        const QByteArray& extraHeaders = {});
        // Half the body, then the connection closes (or stays open); the
        // full length is announced, or no length at all.
        static Reply half(int status, const QByteArray& body, const QByteArray& contentType, bool announceLength,
                          bool close = true);
        static Reply raw(const QByteArray& bytes, bool close = true);
        // A head announcing a large body, then one byte of it every few
        // milliseconds: never idle long enough for an inactivity time-out.
        static Reply drip(int intervalMs, qint64 announced = 1000000);
        // No answer at all, the connection left open.
        static Reply never() { return raw(QByteArray(), false); }
    };
    using Handler = std::function<Reply(const Request&)>;

    // The modes of the canned library answer.
    enum Mode {
        Answer,    // status + body, then close
        Truncated, // the full length announced, half the body, then close
        Hold       // the request waits for release()
    };

    explicit KvoFakeHttpServer(QObject* parent = nullptr);
    ~KvoFakeHttpServer() override;

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QString address() const; // "http://127.0.0.1:PORT"
    QString url(const QString& pathAndQuery = QStringLiteral("/")) const;

    void setReply(const Reply& reply);
    void setHandler(const Handler& handler);
    void setHolding(bool holding);
    // setReply(Reply::of(...)) or its half, with holding for Hold.
    void setAnswer(int status, const QByteArray& body, Mode mode = Answer);

    // Answers the held requests with the reply (or handler) now set.
    void release();
    // Answers the oldest held request with this reply.
    void releaseOldest(const Reply& reply);

    int requestCount() const { return int(m_requests.size()); }
    const Request& request(int i) const { return m_requests.at(i); }
    const QList<Request>& requests() const { return m_requests; }
    QList<Request> requestsTo(const QString& path) const;
    void clearRequests() { m_requests.clear(); }
    int requestCount(const QString& path) const;
    int heldCount() const { return int(m_held.size()); }
    QString lastPath() const;
    QUrlQuery lastQuery() const;
    int connections() const { return m_connections; }
    int disconnections() const { return m_disconnections; }
    int replies() const { return m_replies; }

    // Drops every open connection and forgets the requests and counters.
    void reset();
    void close() { m_server.close(); }

signals:
    void requestReceived();

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const Reply& reply);
    Reply replyFor(const Request& request) const;

    QTcpServer m_server;
    Reply m_reply = Reply::of(200, QByteArray());
    Handler m_handler;
    bool m_holding = false;
    QList<Request> m_requests;
    QList<QPair<QPointer<QTcpSocket>, int>> m_held; // socket, request index
    QList<QPointer<QTcpSocket>> m_sockets;
    QList<QPointer<QTcpSocket>> m_dripping;
    QTimer m_dripTimer;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_connections = 0;
    int m_disconnections = 0;
    int m_replies = 0;
};
