#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The local web service started for a benchmark: vistrelle-devserver (or
// the program named by VISTRELLE_DEVSERVER) as a child process listening on
// 127.0.0.1 with a free port, stopped when the object goes.
class KvoBenchService
{
public:
    // args: the switches after "--port 0" (data folder, generated files,
    // "--quiet"). Waits up to waitMs for the service to print its address;
    // generating large files before it listens takes a while.
    KvoBenchService(const QStringList& args, int waitMs);
    ~KvoBenchService();

    KvoBenchService(const KvoBenchService&) = delete;
    KvoBenchService& operator=(const KvoBenchService&) = delete;

    QString program() const { return m_program; }
    // "http://127.0.0.1:PORT", or empty when the service did not start.
    QString address() const { return m_address; }
    void stop();

private:
    QProcess m_process;
    QString m_program;
    QString m_address;
};
