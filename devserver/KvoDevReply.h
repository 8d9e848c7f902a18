#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// One answer of the local service, worked out before it is written to the
// connection (possibly later, when the "slow" fault is on). Either a body in
// memory or a file streamed from disk.
struct KvoDevReply
{
    // How a file is put on the wire; anything but Normal is a fault.
    enum class FileMode {
        Normal, // Content-Length = size, the whole file
        Short,  // Content-Length = size, half of the bytes, then the connection closes
        Long,   // Content-Length = half the size, every byte, then the connection closes
        Stall,  // Content-Length = size, a part, then nothing more (connection left open)
        NoLength // no Content-Length, every byte, then the connection closes
    };

    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QString filePath; // when set, the body is this file
    FileMode fileMode = FileMode::Normal;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool noBody = false; // 304: status line and headers only

    static KvoDevReply bytes(int status, const QByteArray& contentType, const QByteArray& body)
    {
        KvoDevReply r;
        r.status = status;
        r.contentType = contentType;
        r.body = body;
        return r;
    }

    static KvoDevReply json(const QJsonObject& object, int status = 200)
    {
        return bytes(status, QByteArrayLiteral("application/json"),
                     QJsonDocument(object).toJson(QJsonDocument::Compact));
    }

    // {"status":"ERROR","error_mssg":message} with the given status.
    static KvoDevReply error(int status, const QString& message)
    {
        QJsonObject o;
        o.insert(QStringLiteral("status"), QStringLiteral("ERROR"));
        o.insert(QStringLiteral("error_mssg"), message);
        return json(o, status);
    }

    static KvoDevReply notModified()
    {
        KvoDevReply r;
        r.status = 304;
        r.noBody = true;
        return r;
    }

    static KvoDevReply file(const QString& path, const QByteArray& contentType)
    {
        KvoDevReply r;
        r.contentType = contentType;
        r.filePath = path;
        return r;
    }

    static KvoDevReply html(const QString& text, int status = 200)
    {
        return bytes(status, QByteArrayLiteral("text/html; charset=utf-8"), text.toUtf8());
    }
};
