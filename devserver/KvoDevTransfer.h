#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>

class QTcpSocket;

// Streams a head and part (or all) of a file to a connection in chunks, so a
// large file never sits whole in memory. Lives as a child of the socket and
// ends with it. After the last byte the connection stays open (keep-alive,
// or a stalled transfer) or is closed.
class KvoDevTransfer : public QObject
{
    Q_OBJECT

public:
    enum class End { KeepOpen, Close };

    // Sends head, then `count` bytes of the file at path from `offset` on.
    static void start(QTcpSocket* socket, const QByteArray& head, const QString& path,
                      qint64 count, End end, qint64 offset = 0);

private:
    KvoDevTransfer(QTcpSocket* socket, const QString& path, qint64 count, End end);
    void pump();

    QPointer<QTcpSocket> m_socket;
    QFile m_file;
    qint64 m_left = 0;
    End m_end;
};
