#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

// The single-instance guard of one key, without any application object, so
// several guards can live in one process (tests) and the channel can be used
// from any thread.
//
// The first guard of a key and a user takes a lock file in the user's runtime
// folder and listens on a local socket beside it; every later guard with the
// same key sees it running and can hand it text messages.
//
// A crashed owner never blocks the next start: QLockFile recognises a lock
// whose process is gone, and the new owner removes the socket file left
// behind before it listens. The name carries the user id, so two users of one
// machine never share a channel even when their runtime folder is shared.
//
// Wire format: a 4-byte big-endian length, then that many bytes of UTF-8
// text; the owner answers one acknowledge byte once the whole message was
// read and handed on, so sendMessage() reports actual delivery.
class KvoInstanceGuard : public QObject
{
    Q_OBJECT
public:
    // Largest message the owner accepts; longer ones close the connection.
    static constexpr int MaxMessageBytes = 16 * 1024 * 1024;

    explicit KvoInstanceGuard(const QString& key, QObject* parent = nullptr);
    ~KvoInstanceGuard() override;

    QString key() const { return m_key; }
    // Another guard (of this or another process) owns the key.
    bool isRunning() const { return m_running; }
    // This guard owns the key and listens for messages.
    bool isListening() const;

    // Sends one text to the owner of the key and waits until the owner
    // acknowledged it or timeoutMs passed. Only talks to the socket path, so
    // it is safe to call from any thread; it blocks that thread.
    bool sendMessage(const QString& message, int timeoutMs = 3000) const;

    // Where the channel of a key lives for the current user.
    static QString socketPathForKey(const QString& key);
    static QString lockPathForKey(const QString& key);

signals:
    // A message from another start, in the order of arrival.
    void messageReceived(const QString& message);

private:
    void onNewConnection();
    void readFrom(QLocalSocket* socket);
    bool serverAnswers(int timeoutMs) const;

    QString m_key;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_running = false;
};
