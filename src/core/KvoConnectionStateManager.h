#pragma once

#include <QMutex>
#include <QObject>
#include <QRunnable>

// The connection probe: a task of the global thread pool that tries a TCP
// connection to the web service's host every 5 s with a 1000 ms time-out and
// emits changeConnectionState(bool) when the result changes. The signal comes
// from the pool thread and reaches GUI receivers queued. stop() makes the loop
// return after its current cycle; the pool then deletes the probe.
class KvoConnectionStateManager : public QObject, public QRunnable
{
    Q_OBJECT

public:
    explicit KvoConnectionStateManager(bool connected);
    ~KvoConnectionStateManager() override;

    void run() override;
    void stop();
    bool isStopped() const;

    // Probe timing, for tests (defaults 5000 and 1000 ms).
    static void setTimingForTesting(int intervalMs, int timeoutMs);

signals:
    void changeConnectionState(bool connected);

private:
    bool probe() const;

    mutable QMutex m_mutex;
    bool m_stop = false;
    bool m_connected;
};
