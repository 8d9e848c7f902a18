#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include <functional>

// A bare HTTP/1.1 server on 127.0.0.1 whose answer to each request is
// computed by the test: the search pages of a made-up catalogue, a cut or
// unreadable answer, an answer that never comes. (A bare QTcpServer, since
// QHttpServer 6.4 crashes when a late answer meets a client that left.)
class KvoScriptedServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QString path;
        QUrlQuery query;
        QUrlQuery form; // a POST body
        QByteArray body;
    };
    struct Reply
    {
        int status = 200;
        QByteArray body;
        bool hold = false; // never answered
        bool cut = false;  // announces the whole body, sends half, closes
        bool trickle = false; // announces 4096 bytes, sends one every 50 ms
        QByteArray contentType = "application/json";
        QByteArray headers; // more header lines, each ending in "\r\n"
        int delay = 0;      // ms before the answer is sent
    };
    using Responder = std::function<Reply(const Request&)>;

    explicit KvoScriptedServer(QObject* parent = nullptr);

    bool listen();
    QString address() const; // "http://127.0.0.1:PORT"
    void setResponder(const Responder& responder) { m_responder = responder; }

    const QList<Request>& requests() const { return m_requests; }
    // The requests made to one path ("/0.1/playerSearch/").
    QList<Request> requestsTo(const QString& path) const;
    void clearRequests() { m_requests.clear(); }

signals:
    void requestReceived();

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);

    QTcpServer m_server;
    Responder m_responder;
    QList<Request> m_requests;
    QList<QPointer<QTcpSocket>> m_held;
};
