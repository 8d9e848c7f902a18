#pragma once

#include <QFile>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>

// Fetches one address into one local file, without the web service's
// credentials or query keys. The data goes to "<destination>.part"; only a
// transfer that ended cleanly with HTTP 200 and, when the server announced a
// length, exactly that many bytes, is renamed to the destination. Any other
// end removes the partial file, so nothing half-written ever stands under the
// final name. Redirections are not followed (a 3xx is an error).
class KvoDownloader : public QObject
{
    Q_OBJECT

public:
    explicit KvoDownloader(QObject* parent = nullptr);
    ~KvoDownloader() override;

    // The file the next download writes; an empty path means the data is
    // not stored (only counted).
    void setDestination(const QString& path);
    QString destination() const { return m_destination; }

    // GET of the address (taken as an encoded URL). Ends with exactly one of
    // successDownload() or errorDownload(). A download already running is
    // dropped first, without an end signal of its own. A destination that
    // cannot be written (missing or read-only folder, full disk) ends with
    // errorDownload(UnknownNetworkError) and a text naming the file.
    void download(const QString& url);
    // Aborts the running download, which then ends with errorDownload
    // (OperationCanceledError).
    void abort();
    bool isRunning() const;

    qint64 bytesReceived() const { return m_received; }
    // HTTP status of the last reply; 0 when none arrived.
    int statusCode() const { return m_statusCode; }

    // Inactivity time-out of downloads, in ms (default 60000).
    static void setTransferTimeout(int ms);

signals:
    void successDownload();
    void errorDownload(QNetworkReply::NetworkError error, const QString& text);
    // Bytes received so far and the total the reply announced (-1: unknown).
    void progressDownload(qint64 received, qint64 total);

private:
    void onMetaData();
    void readMetaData(QNetworkReply* reply);
    void onReadyRead();
    void onFinished();
    qint64 drain(QNetworkReply* reply);
    void finishFile();
    void fail(QNetworkReply::NetworkError error, const QString& text);
    void failLater(const QString& text);
    void releaseReply();
    void discardPartial();

    QString m_destination;
    QFile m_file;
    QPointer<QNetworkReply> m_reply;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_statusCode = 0;
    bool m_writeFailed = false;
    bool m_aborting = false;
    bool m_pendingFailure = false;
    quint64 m_generation = 0;
    QString m_writeError;
};
