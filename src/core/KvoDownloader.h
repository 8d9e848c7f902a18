#pragma once

#include <QNetworkReply>
#include <QObject>

class KvoTransfer;

// Fetches one address into one local file, without the web service's
// credentials or query keys. The data goes to "<destination>.part"; only a
// transfer that ended cleanly with HTTP 200 and, when the server announced a
// length, exactly that many bytes, is renamed to the destination. Any other
// end removes the partial file, so nothing half-written ever stands under the
// final name. Redirections are not followed (a 3xx is an error).
//
// The object lives on the GUI thread; the transfer itself, the writes and
// the checks run on the transfer thread (KvoTransfer), so a slow disk or a
// busy machine never stalls the window. Every signal arrives on the GUI
// thread. A transfer slower than 1 KB/s over a minute fails, as does one
// where nothing moves for a minute.
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
    // successDownload() or errorDownload(), never from inside download(). A
    // download already running is dropped first, without an end signal of
    // its own. A destination that cannot be written (missing or read-only
    // folder, full disk) ends with errorDownload(UnknownNetworkError) and a
    // text naming the file.
    void download(const QString& url);
    // Aborts the running download, which ends at once with errorDownload
    // (OperationCanceledError); its partial file is gone when this returns.
    void abort();
    bool isRunning() const { return m_running; }

    qint64 bytesReceived() const { return m_received; }
    // HTTP status of the last reply; 0 when none arrived.
    int statusCode() const { return m_statusCode; }

    // Inactivity time-out of downloads, in ms (default 60000).
    static void setTransferTimeout(int ms);
    // A download that moves fewer than bytesPerSecond over a whole window
    // of windowMs fails with TimeoutError (default 1024 B/s over 60000 ms).
    static void setLowSpeedLimit(int bytesPerSecond, int windowMs);

signals:
    void successDownload();
    void errorDownload(QNetworkReply::NetworkError error, const QString& text);
    // Bytes received so far and the total the reply announced (-1: unknown).
    void progressDownload(qint64 received, qint64 total);

private:
    void onProgressed(quint64 generation, qint64 received, qint64 total, int status);
    void onEnded(quint64 generation, bool ok, int error, const QString& text, qint64 received, int status);
    void releaseTransfer();

    QString m_destination;
    KvoTransfer* m_transfer = nullptr;
    quint64 m_generation = 0;
    qint64 m_received = 0;
    int m_statusCode = 0;
    bool m_running = false;
};
