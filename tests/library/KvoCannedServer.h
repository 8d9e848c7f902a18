#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

// A bare HTTP/1.1 server on 127.0.0.1 that answers every request with one
// canned answer, for the cases a real service cannot be made to produce on
// demand: malformed bodies, cut answers, answers that never come. (A bare
// QTcpServer, since QHttpServer 6.4 crashes when a late answer meets a
// client that left.)
class KvoCannedServer : public QObject
{
    Q_OBJECT

public:
    enum Mode {
        Answer,    // status + body, Content-Length, then close
        Truncated, // announces the full length, sends half the body, closes
        Hold       // keeps the request unanswered until release()
    };

    explicit KvoCannedServer(QObject* parent = nullptr);

    bool listen();
    QString address() const; // "http://127.0.0.1:PORT"

    void setAnswer(int status, const QByteArray& body, Mode mode = Answer);
    // Answers the held requests with the current answer.
    void release();

    int requestCount() const { return m_targets.size(); }
    QString lastPath() const;
    QUrlQuery lastQuery() const;

signals:
    void requestReceived();

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket);

    QTcpServer m_server;
    int m_status = 200;
    QByteArray m_body;
    Mode m_mode = Answer;
    QList<QByteArray> m_targets;
    QList<QPointer<QTcpSocket>> m_held;
};
