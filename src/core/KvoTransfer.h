#pragma once

#include <QFile>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QThread;

// One file transfer on the transfer thread: the GET, the writes into
// "<destination>.part", the checks and the rename. It lives on one worker
// thread shared by every transfer, with that thread's own network access
// manager, so neither the network nor the disk ever holds up the GUI.
// KvoDownloader drives it from the GUI thread; its reports carry the
// generation they belong to so that a late one of a dropped run is ignored.
class KvoTransfer : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int inactivityMs = 60000;
        // Slower than this many bytes per second over a whole window fails.
        int lowSpeedBytesPerSecond = 1024;
        int lowSpeedWindowMs = 60000;
    };

    explicit KvoTransfer(quint64 generation);
    ~KvoTransfer() override;

    // The worker thread (started on first use, stopped when the
    // application object goes).
    static QThread* workerThread();

    // On the worker thread.
    void start(const QString& url, const QString& destination, const Limits& limits);
    // Ends the transfer without a report and removes the partial file.
    void cancel();
    // After a successful end: gives the checked file its final name. Returns
    // what went wrong, or an empty text.
    QString commit();

signals:
    void progressed(quint64 generation, qint64 received, qint64 total, int status);
    void ended(quint64 generation, bool ok, int error, const QString& text, qint64 received, int status);

private:
    void readMetaData(QNetworkReply* reply);
    void onReadyRead();
    void onFinished();
    void onSpeedCheck();
    qint64 drain(QNetworkReply* reply);
    void report(bool force);
    void finishFile();
    void fail(QNetworkReply::NetworkError error, const QString& text);
    void discardPartial();

    const quint64 m_generation;
    QString m_destination;
    QFile m_file;
    QPointer<QNetworkReply> m_reply;
    Limits m_limits;
    QTimer m_speedTimer;
    qint64 m_windowStart = 0;
    qint64 m_lastReport = -1;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_statusCode = 0;
    bool m_writeFailed = false;
    bool m_tooSlow = false;
    bool m_ended = false;
    QString m_writeError;
};
