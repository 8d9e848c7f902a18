#pragma once

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QVariant>

class KvoHTTPRequest;

// The persistent queue of requests that must not be lost (a comment, a
// support message, a subscription): stored in the table to_send of the
// signed-in user and sent one at a time, in order, as form-encoded POSTs. An
// entry leaves the table only when the service answered HTTP 200. Sending
// happens at start, after each new entry, after each answer and when the
// connection comes back; after a failure the queue waits for the next of
// those moments instead of trying again at once.
class KvoAsynchronousSender : public QObject
{
    Q_OBJECT

public:
    static KvoAsynchronousSender* instance();
    static void destroy();

    // Stores the request for the signed-in user (the fields as JSON, keys in
    // ascending order) and sends it when nothing else is being sent. False
    // when the database could not store it: the request is then lost unless
    // the caller keeps it.
    static bool add(const QString& url, const QMap<QString, QVariant>& fields);
    // Sends the next entry when the queue is not empty and idle.
    static void flush();
    // The service refused the session: nothing more goes out under its
    // credentials. Every entry stays stored; the queue of the next session
    // (made after destroy()) sends them. A request already on its way may
    // still end as usual; when destroy() comes first, it is aborted and its
    // entry kept, so the next session sends it again: the service may get it
    // twice, but nothing is lost.
    static void hold();

    // Entries waiting for the signed-in user (for tests and diagnostics).
    int pendingCount();
    bool isSending() const;
    bool isHeld() const;

signals:
    // An entry was answered 200 and left the queue.
    void entrySent(const QString& url);
    // An entry failed and stays queued.
    void entryFailed(const QString& url);

private:
    explicit KvoAsynchronousSender(QObject* parent = nullptr);
    ~KvoAsynchronousSender() override;

    struct Entry
    {
        qint64 rowId = 0;
        QString url;
        QMap<QString, QVariant> fields;
    };

    void reload();
    void sendNext();
    void onSuccess();
    void onError();

    mutable QMutex m_mutex;
    QList<Entry> m_queue;
    KvoHTTPRequest* m_request = nullptr;
    bool m_sending = false;
    bool m_held = false;
    qint64 m_sendingRowId = 0;
};
