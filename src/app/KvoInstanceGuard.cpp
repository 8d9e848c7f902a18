#include "KvoInstanceGuard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <limits>

#include <unistd.h>

namespace {

constexpr char AckByte = 0x06;
// A client that connects and never completes its message is dropped.
constexpr int IncompleteMessageTimeoutMs = 10000;
// sockaddr_un holds 108 bytes on Linux; keep a margin.
constexpr int MaxSocketPathBytes = 100;

QString channelName(const QString& key)
{
    QString name = key;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    return name + QLatin1Char('-') + QString::number(::getuid());
}

// The user's runtime folder (private to the user), else the temporary
// folder; a runtime folder too deep for a socket address also falls back.
QString channelFolder(const QString& name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty() || !QDir(dir).exists()
        || QFile::encodeName(dir + QLatin1Char('/') + name).size() > MaxSocketPathBytes)
        dir = QDir::tempPath();
    return dir;
}

int remaining(const QDeadlineTimer& deadline)
{
    return int(qMin<qint64>(deadline.remainingTime(), std::numeric_limits<int>::max()));
}

} // namespace

QString KvoInstanceGuard::socketPathForKey(const QString& key)
{
    const QString name = channelName(key);
    return channelFolder(name) + QLatin1Char('/') + name;
}

QString KvoInstanceGuard::lockPathForKey(const QString& key)
{
    return socketPathForKey(key) + QStringLiteral(".lock");
}

KvoInstanceGuard::KvoInstanceGuard(const QString& key, QObject* parent)
    : QObject(parent)
    , m_key(key)
    , m_socketPath(socketPathForKey(key))
    , m_lock(std::make_unique<QLockFile>(lockPathForKey(key)))
{
    // The owner's lock never grows stale by age: it is stale only when the
    // process that wrote it is gone, which QLockFile checks by its pid.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            // A living process holds the key.
            m_running = true;
            return;
        }
        // The lock cannot be made at all (folder not writable): the socket
        // alone decides.
        qWarning("KvoInstanceGuard: cannot create the lock file %s",
                 qPrintable(lockPathForKey(key)));
        if (serverAnswers(500)) {
            m_running = true;
            return;
        }
    }

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &KvoInstanceGuard::onNewConnection);
    if (m_server->listen(m_socketPath))
        return;
    // A socket file is left over. Someone still answering there owns the
    // channel (a guard that could not lock); otherwise it belonged to a
    // crashed owner and is removed.
    if (serverAnswers(300)) {
        delete m_server;
        m_server = nullptr;
        m_lock->unlock();
        m_running = true;
        return;
    }
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        qWarning("KvoInstanceGuard: cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
}

KvoInstanceGuard::~KvoInstanceGuard()
{
    if (m_server)
        m_server->close(); // removes the socket file
    m_lock->unlock();
}

bool KvoInstanceGuard::isListening() const
{
    return m_server && m_server->isListening();
}

bool KvoInstanceGuard::serverAnswers(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    const bool answers = socket.waitForConnected(timeoutMs);
    socket.abort();
    return answers;
}

bool KvoInstanceGuard::sendMessage(const QString& message, int timeoutMs) const
{
    // The owner would wait for itself.
    if (!m_running)
        return false;
    const QByteArray text = message.toUtf8();
    if (text.size() > MaxMessageBytes)
        return false;

    const QDeadlineTimer deadline(qMax(timeoutMs, 1));
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(remaining(deadline)))
        return false;

    uchar length[4];
    qToBigEndian<quint32>(quint32(text.size()), length);
    socket.write(reinterpret_cast<const char*>(length), 4);
    socket.write(text);
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(remaining(deadline)))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(remaining(deadline)))
            return false;
    }
    char ack = 0;
    return socket.getChar(&ack) && ack == AckByte;
}

void KvoInstanceGuard::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(IncompleteMessageTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        readFrom(socket);
    }
}

void KvoInstanceGuard::readFrom(QLocalSocket* socket)
{
    // One message per connection; the socket buffers it until it is whole.
    if (socket->property("kvoDone").toBool() || socket->bytesAvailable() < 4)
        return;
    uchar header[4];
    if (socket->peek(reinterpret_cast<char*>(header), 4) != 4)
        return;
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length > quint32(MaxMessageBytes)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (socket->bytesAvailable() < qint64(4 + length))
        return;
    socket->skip(4);
    const QString message = QString::fromUtf8(socket->read(length));
    socket->setProperty("kvoDone", true);
    // Acknowledge before handing the text on: a receiver may run a modal
    // dialog, and the sender must not take that for a failed delivery.
    socket->putChar(AckByte);
    socket->flush();
    socket->disconnectFromServer();
    emit messageReceived(message);
}
