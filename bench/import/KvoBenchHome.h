#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

// A private home for a benchmark (HOME and XDG_CONFIG_HOME in a temporary
// folder under the working folder, on the disk being measured) with a
// client database and one signed-in user whose configuration row exists.
class KvoBenchHome
{
public:
    explicit KvoBenchHome(const QString& parent);
    ~KvoBenchHome();
    bool isValid() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    static QString plainUser() { return QStringLiteral("1234"); }
    static QString storedUser();

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// Measures how late a 5 ms timer of the GUI thread fires while it runs.
class KvoLatenessProbe : public QObject
{
public:
    KvoLatenessProbe();
    void start();
    void stop() { m_timer.stop(); }
    double worstMs() const { return m_worst / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

// Runs a shell command; its wall time in ms, or -1 when it failed.
double timeCommand(const QString& command);
