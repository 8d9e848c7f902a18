#include "KvoCannedServer.h"

#include <QHostAddress>
#include <QUrl>

KvoCannedServer::KvoCannedServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &KvoCannedServer::onConnection);
}

bool KvoCannedServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString KvoCannedServer::address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void KvoCannedServer::setAnswer(int status, const QByteArray& body, Mode mode)
{
    m_status = status;
    m_body = body;
    m_mode = mode;
}

void KvoCannedServer::release()
{
    const auto held = m_held;
    m_held.clear();
    for (const QPointer<QTcpSocket>& socket : held) {
        if (socket)
            respond(socket);
    }
}

QString KvoCannedServer::lastPath() const
{
    if (m_targets.isEmpty())
        return QString();
    return QUrl(QString::fromLatin1(m_targets.last())).path();
}

QUrlQuery KvoCannedServer::lastQuery() const
{
    if (m_targets.isEmpty())
        return QUrlQuery();
    return QUrlQuery(QUrl(QString::fromLatin1(m_targets.last())).query());
}

void KvoCannedServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void KvoCannedServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray buffer = socket->property("kvoBuffer").toByteArray() + socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("kvoBuffer", buffer);
        return;
    }
    socket->setProperty("kvoBuffer", QByteArray());
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    m_targets.append(requestLine.value(1));
    emit requestReceived();
    if (m_mode == Hold) {
        m_held.append(socket);
        return;
    }
    respond(socket);
}

void KvoCannedServer::respond(QTcpSocket* socket)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + " Canned\r\nConnection: close\r\n";
    if (m_status == 304) {
        socket->write(head + "\r\n");
    } else {
        head += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(m_body.size()) + "\r\n\r\n";
        socket->write(head);
        socket->write(m_mode == Truncated ? m_body.left(m_body.size() / 2) : m_body);
    }
    socket->disconnectFromHost();
}
