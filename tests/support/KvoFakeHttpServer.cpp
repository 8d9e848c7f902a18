#include "KvoFakeHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUrl>

QString KvoFakeHttpServer::Request::path() const
{
    return QUrl(QString::fromLatin1(target)).path();
}

QUrlQuery KvoFakeHttpServer::Request::query() const
{
    return QUrlQuery(QUrl(QString::fromLatin1(target)).query());
}

QUrlQuery KvoFakeHttpServer::Request::form() const
{
    QByteArray text = body;
    text.replace('+', ' ');
    return QUrlQuery(QString::fromUtf8(text));
}

namespace {
QByteArray head(int status, const QByteArray& contentType, const QByteArray& extraHeaders)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Canned\r\nConnection: close\r\n" + extraHeaders;
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    return head;
}
} // namespace

KvoFakeHttpServer::Reply KvoFakeHttpServer::Reply::of(int status, const QByteArray& body,
                                                      const QByteArray& contentType, const QByteArray& extraHeaders)
{
    if (status == 304)
        return {head(status, QByteArray(), extraHeaders) + "\r\n", true};
    return {head(status, contentType, extraHeaders) + "Content-Length: " + QByteArray::number(body.size())
                + "\r\n\r\n" + body,
            true};
}

KvoFakeHttpServer::Reply KvoFakeHttpServer::Reply::half(int status, const QByteArray& body,
                                                        const QByteArray& contentType, bool announceLength,
                                                        bool close)
{
    QByteArray bytes = head(status, contentType, QByteArray());
    if (announceLength)
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return {bytes + "\r\n" + body.left(body.size() / 2), close};
}

KvoFakeHttpServer::Reply KvoFakeHttpServer::Reply::raw(const QByteArray& bytes, bool close)
{
    return {bytes, close};
}

KvoFakeHttpServer::Reply KvoFakeHttpServer::Reply::drip(int intervalMs, qint64 announced)
{
    return {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(announced)
                + "\r\n\r\n",
            false, intervalMs};
}

KvoFakeHttpServer::KvoFakeHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &KvoFakeHttpServer::onConnection);
    connect(&m_dripTimer, &QTimer::timeout, this, [this] {
        for (const QPointer<QTcpSocket>& socket : std::as_const(m_dripping))
            if (socket && socket->state() == QTcpSocket::ConnectedState)
                socket->write("x", 1);
    });
}

KvoFakeHttpServer::~KvoFakeHttpServer()
{
    reset();
}

bool KvoFakeHttpServer::listen()
{
    return m_server.isListening() || m_server.listen(QHostAddress::LocalHost, 0);
}

QString KvoFakeHttpServer::address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

QString KvoFakeHttpServer::url(const QString& pathAndQuery) const
{
    return address() + pathAndQuery;
}

void KvoFakeHttpServer::setReply(const Reply& reply)
{
    m_reply = reply;
    m_handler = nullptr;
}

void KvoFakeHttpServer::setHandler(const Handler& handler)
{
    m_handler = handler;
}

void KvoFakeHttpServer::setHolding(bool holding)
{
    m_holding = holding;
}

void KvoFakeHttpServer::setAnswer(int status, const QByteArray& body, Mode mode)
{
    setReply(mode == Truncated ? Reply::half(status, body, "application/json", true) : Reply::of(status, body));
    setHolding(mode == Hold);
}

void KvoFakeHttpServer::release()
{
    const auto held = m_held;
    m_held.clear();
    for (const auto& entry : held) {
        if (entry.first)
            respond(entry.first, replyFor(m_requests.at(entry.second)));
    }
}

void KvoFakeHttpServer::releaseOldest(const Reply& reply)
{
    while (!m_held.isEmpty()) {
        const auto entry = m_held.takeFirst();
        if (entry.first) {
            respond(entry.first, reply);
            return;
        }
    }
}

QList<KvoFakeHttpServer::Request> KvoFakeHttpServer::requestsTo(const QString& path) const
{
    QList<Request> found;
    for (const Request& r : m_requests)
        if (r.path() == path)
            found.append(r);
    return found;
}

int KvoFakeHttpServer::requestCount(const QString& path) const
{
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&path](const Request& r) { return r.path() == path; }));
}

QString KvoFakeHttpServer::lastPath() const
{
    return m_requests.isEmpty() ? QString() : m_requests.last().path();
}

QUrlQuery KvoFakeHttpServer::lastQuery() const
{
    return m_requests.isEmpty() ? QUrlQuery() : m_requests.last().query();
}

void KvoFakeHttpServer::reset()
{
    const auto sockets = m_sockets;
    m_sockets.clear();
    for (const QPointer<QTcpSocket>& socket : sockets) {
        if (socket) {
            socket->disconnect(this);
            socket->abort();
            socket->deleteLater();
        }
    }
    m_buffers.clear();
    m_held.clear();
    m_dripping.clear();
    m_dripTimer.stop();
    m_requests.clear();
    m_connections = m_disconnections = m_replies = 0;
}

void KvoFakeHttpServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_connections;
        m_sockets.append(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            ++m_disconnections;
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void KvoFakeHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int end = int(buffer.indexOf("\r\n\r\n"));
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < end + 4 + length)
            return;
        Request request;
        const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
        request.method = words.value(0);
        request.target = words.value(1);
        request.head = head;
        request.body = buffer.mid(end + 4, length);
        request.answeredBefore = m_replies;
        buffer.remove(0, end + 4 + length);
        m_requests.append(request);
        emit requestReceived();
        if (m_holding)
            m_held.append({socket, int(m_requests.size()) - 1});
        else
            respond(socket, replyFor(request));
        // One request per connection: every reply closes or stalls it.
        return;
    }
}

KvoFakeHttpServer::Reply KvoFakeHttpServer::replyFor(const Request& request) const
{
    return m_handler ? m_handler(request) : m_reply;
}

void KvoFakeHttpServer::respond(QTcpSocket* socket, const Reply& reply)
{
    ++m_replies;
    if (!reply.bytes.isEmpty())
        socket->write(reply.bytes);
    if (reply.dripMs > 0) {
        m_dripping.append(socket);
        m_dripTimer.start(reply.dripMs);
    } else if (reply.close) {
        socket->disconnectFromHost();
    }
}
