#pragma once

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

// A named pipe that counts who opens it for reading, without ever letting
// that open hang. A reader that opens a FIFO blocks until a writer comes:
// a helper thread keeps trying a non-blocking open for writing, which only
// succeeds while a reader is there, counts it and closes at once, so the
// reader gets an empty file and goes on. Text that makes a widget load
// "<img src=PATH>" from disk thus shows up as opens() > 0 instead of a
// hang.
class KvoFifoTrap
{
public:
    KvoFifoTrap();
    ~KvoFifoTrap();
    KvoFifoTrap(const KvoFifoTrap&) = delete;
    KvoFifoTrap& operator=(const KvoFifoTrap&) = delete;

    bool isReady() const { return m_ready; }
    QString path() const { return m_path; }
    // An HTML image naming the pipe; short, so that a narrow label that
    // elides its text still shows it whole.
    QString image() const;
    int opens() const { return m_opens.load(); }

private:
    void watch();

    QTemporaryDir m_dir;
    QString m_path;
    bool m_ready = false;
    std::atomic<int> m_opens{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
