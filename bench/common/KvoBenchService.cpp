#include "KvoBenchService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

KvoBenchService::KvoBenchService(const QStringList& args, int waitMs)
    : m_program(qEnvironmentVariable("VISTRELLE_DEVSERVER"))
{
    if (m_program.isEmpty())
        m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle-devserver");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_program, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
    if (!m_process.waitForStarted(10000))
        return;

    // The service names its address on a line of its output once it listens.
    static const QRegularExpression addressPattern(QStringLiteral("http://127\\.0\\.0\\.1:\\d+"));
    QElapsedTimer waiting;
    waiting.start();
    while (m_address.isEmpty() && waiting.elapsed() < waitMs && m_process.state() == QProcess::Running) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(1000))
            continue;
        if (!m_process.canReadLine())
            continue;
        const QRegularExpressionMatch match = addressPattern.match(QString::fromUtf8(m_process.readLine()));
        if (match.hasMatch())
            m_address = match.captured(0);
    }
    if (m_address.isEmpty())
        stop();
}

KvoBenchService::~KvoBenchService()
{
    stop();
}

void KvoBenchService::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
