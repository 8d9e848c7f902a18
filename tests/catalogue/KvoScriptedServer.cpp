#include "KvoScriptedServer.h"

#include <QHostAddress>
#include <QTimer>
#include <QUrl>

KvoScriptedServer::KvoScriptedServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &KvoScriptedServer::onConnection);
}

bool KvoScriptedServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString KvoScriptedServer::address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

QList<KvoScriptedServer::Request> KvoScriptedServer::requestsTo(const QString& path) const
{
    QList<Request> found;
    for (const Request& r : m_requests)
        if (r.path == path)
            found.append(r);
    return found;
}

void KvoScriptedServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void KvoScriptedServer::onReadyRead(QTcpSocket* socket)
{
    const QByteArray buffer = socket->property("kvoBuffer").toByteArray() + socket->readAll();
    socket->setProperty("kvoBuffer", buffer);
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    qsizetype length = 0;
    for (const QByteArray& line : buffer.left(end).split('\n'))
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    if (buffer.size() < end + 4 + length)
        return;
    socket->setProperty("kvoBuffer", QByteArray());

    Request request;
    const QUrl target(QString::fromLatin1(buffer.left(buffer.indexOf("\r\n")).split(' ').value(1)));
    request.path = target.path();
    request.query = QUrlQuery(target.query());
    request.body = buffer.mid(end + 4, length);
    // Form bodies encode a blank as "+".
    QByteArray form = request.body;
    form.replace('+', ' ');
    request.form = QUrlQuery(QString::fromLatin1(form));
    m_requests.append(request);
    emit requestReceived();

    const Reply reply = m_responder ? m_responder(request) : Reply();
    if (reply.hold) {
        m_held.append(socket);
        return;
    }
    if (reply.trickle) {
        socket->write("HTTP/1.1 200 Scripted\r\nConnection: close\r\nContent-Type: application/json\r\n"
                      "Content-Length: 4096\r\n\r\n");
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        timer->start(50);
        return;
    }
    const auto answer = [socket, reply] {
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\nConnection: close\r\n"
                      "Content-Type: " + reply.contentType + "\r\n" + reply.headers
                      + "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n");
        socket->write(reply.cut ? reply.body.left(reply.body.size() / 2) : reply.body);
        socket->disconnectFromHost();
    };
    if (reply.delay > 0)
        QTimer::singleShot(reply.delay, socket, answer);
    else
        answer();
}
