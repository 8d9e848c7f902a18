#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// A private home for one test program: HOME, XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR point into a temporary
// folder for the object's life, so
// the environment's folders, the settings file and the database of a test
// never touch the real ones.
class KvoTestHome
{
public:
    KvoTestHome();
    ~KvoTestHome();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome, m_oldConfig, m_oldData, m_oldCache, m_oldRuntime;
};

// The local web service started as a child process on 127.0.0.1 with a free
// port. The client's endpoint (KvoApi) points at it while it runs.
class KvoTestServer
{
public:
    // extraArgs: more command-line switches (faults, data folder …).
    explicit KvoTestServer(const QStringList& extraArgs = {});
    ~KvoTestServer();

    // The service's program: $VISTRELLE_DEVSERVER, else beside the test.
    static QString program();

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; } // "http://127.0.0.1:PORT"
    QString dataPath() const { return m_data.path(); }

    // Switches a fault of the service on or off at run time (see
    // docs/web-api.md, "Fault switches"). Blocks until the service answered.
    bool setFault(const QString& name, const QString& value = QStringLiteral("1"));
    bool clearFaults();
    // How many requests of a path the service has received so far. A
    // service started without "--quiet" reports each one as it arrives,
    // before any delay of its answer; a quiet one reports none.
    int requestsSeen(const QString& path);
    // A plain GET of a path of the service, blocking; the body, or a null
    // array on failure.
    QByteArray fetch(const QString& pathAndQuery, int* status = nullptr);

private:
    QTemporaryDir m_data;
    std::unique_ptr<QProcess> m_process;
    QString m_address;
    QByteArray m_report; // what the service wrote on its error output
};
