#pragma once

#include "KvoDevData.h"
#include "KvoDevReply.h"

#include <QAbstractHttpServer>
#include <QJsonArray>
#include <QMap>
#include <QString>


class KvoDevFaults;
class KvoDevMedia;
class QTcpSocket;

// The local web service: routes every request of the client (docs/web-api.md)
// to the demo data and the media files, and applies the fault switches.
// Answers are written to the connection by this class itself, so faults can
// send wrong lengths or stall, and a delayed answer to a client that left is
// simply dropped with its connection.
class KvoDevServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    KvoDevServer(KvoDevData* data, KvoDevMedia* media, KvoDevFaults* faults, QObject* parent = nullptr);

    // Listens on 127.0.0.1 (port 0: any free one); the port, or 0 on failure.
    quint16 start(quint16 port);
    QString baseUrl() const;
    void setQuiet(bool quiet) { m_quiet = quiet; }
    // Serves /files/bench.bin from this file ("" = not served).
    void setBenchFile(const QString& path) { m_benchFile = path; }
    // Serves /files/bench.deb from this package ("" = not served).
    void setBenchPackage(const QString& path) { m_benchPackage = path; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    using Fields = QMap<QString, QString>;
    struct Call {
        QString name;   // the path between "/0.1/" and the final "/"
        bool post = false;
        Fields query;
        Fields form;
    };
    using Handler = KvoDevReply (KvoDevServer::*)(const Call&, KvoDevData::Account* account);

    static Fields parseEncoded(const QByteArray& encoded);

    KvoDevReply route(const QHttpServerRequest& request, bool* control);
    KvoDevReply api(const QHttpServerRequest& request, const QString& path);
    KvoDevReply file(const QString& path, const QString& query = QString());
    // A course's preview clip, with the preview faults.
    KvoDevReply preview(const KvoDevData::Course& course, const QString& query);
    KvoDevReply download(const QString& path, const QByteArray& contentType);
    KvoDevReply page(const QString& path, const Fields& query);
    KvoDevReply control(const QString& path, const Fields& query);
    // The switch "promo_end", when on: the short promotion ends its number
    // of seconds from now.
    void applyPromotionEnd();
    void send(QTcpSocket* socket, const KvoDevReply& reply, bool headOnly, bool close,
              const QByteArray& range = QByteArray());
    void record(const QString& kind, const QString& userId, const Fields& fields);

    KvoDevReply login(const Call& call, KvoDevData::Account* account);
    KvoDevReply purchases(const Call& call, KvoDevData::Account* account);
    KvoDevReply fileUrl(const Call& call, KvoDevData::Account* account);
    KvoDevReply comment(const Call& call, KvoDevData::Account* account);
    KvoDevReply listVorn(const Call& call, KvoDevData::Account* account);
    KvoDevReply fave(const Call& call, KvoDevData::Account* account);
    KvoDevReply buy(const Call& call, KvoDevData::Account* account);
    KvoDevReply search(const Call& call, KvoDevData::Account* account);
    KvoDevReply emailSub(const Call& call, KvoDevData::Account* account);
    KvoDevReply version(const Call& call, KvoDevData::Account* account);
    KvoDevReply support(const Call& call, KvoDevData::Account* account);
    KvoDevReply faq(const Call& call, KvoDevData::Account* account);

    KvoDevData* m_data;
    KvoDevMedia* m_media;
    KvoDevFaults* m_faults;
    quint16 m_port = 0;
    bool m_quiet = false;
    QString m_benchFile;
    QString m_benchPackage;
    QMap<QString, QJsonArray> m_log;
};
