#include "KvoDevTransfer.h"

#include <QTcpSocket>

namespace {
constexpr qint64 kChunk = 256 * 1024;
}

KvoDevTransfer::KvoDevTransfer(QTcpSocket* socket, const QString& path, qint64 count, End end)
    : QObject(socket)
    , m_socket(socket)
    , m_file(path)
    , m_left(count)
    , m_end(end)
{
}

void KvoDevTransfer::start(QTcpSocket* socket, const QByteArray& head, const QString& path,
                           qint64 count, End end, qint64 offset)
{
    auto* t = new KvoDevTransfer(socket, path, count, end);
    socket->write(head);
    if (!t->m_file.open(QIODevice::ReadOnly) || !t->m_file.seek(offset))
        t->m_left = 0;
    connect(socket, &QTcpSocket::bytesWritten, t, &KvoDevTransfer::pump);
    t->pump();
}

void KvoDevTransfer::pump()
{
    if (!m_socket)
        return;
    while (m_left > 0 && m_socket->bytesToWrite() < kChunk) {
        const QByteArray data = m_file.read(qMin(kChunk, m_left));
        if (data.isEmpty()) {
            m_left = 0;
            break;
        }
        m_left -= data.size();
        m_socket->write(data);
    }
    if (m_left > 0)
        return;
    disconnect(m_socket, nullptr, this, nullptr);
    if (m_end == End::Close)
        m_socket->disconnectFromHost(); // after the pending bytes
    deleteLater();
}
