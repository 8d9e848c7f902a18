#include "KvoTestSupport.h"

#include "KvoApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <QUrlQuery>

KvoTestHome::KvoTestHome()
{
    m_oldHome = qgetenv("HOME");
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    m_oldData = qgetenv("XDG_DATA_HOME");
    m_oldCache = qgetenv("XDG_CACHE_HOME");
    m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    QDir(m_dir.path()).mkpath(QStringLiteral("home/.config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("home/Documents"));
    QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(m_dir.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/home/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/home/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/home/.cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path() + QStringLiteral("/runtime")));
}

KvoTestHome::~KvoTestHome()
{
    qputenv("HOME", m_oldHome);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_CACHE_HOME", m_oldCache);
    qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
}

QString KvoTestServer::program()
{
    const QString program = qEnvironmentVariable("VISTRELLE_DEVSERVER");
    return program.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle-devserver") : program;
}

KvoTestServer::KvoTestServer(const QStringList& extraArgs)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setReadChannel(QProcess::StandardOutput);
    QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), m_data.path()};
    args += extraArgs;
    m_process->start(program(), args);
    if (!m_process->waitForStarted(10000))
        return;
    // The service prints its address on its first line of output once it
    // listens (videos are made before that, which may take a few seconds).
    static const QRegularExpression re(QStringLiteral("(http://127\\.0\\.0\\.1:\\d+)"));
    QByteArray out;
    for (int i = 0; i < 600 && m_address.isEmpty(); ++i) {
        if (!m_process->waitForReadyRead(100) && m_process->state() != QProcess::Running)
            break;
        out += m_process->readAllStandardOutput();
        const auto m = re.match(QString::fromUtf8(out));
        if (m.hasMatch())
            m_address = m.captured(1);
    }
    if (!m_address.isEmpty())
        KvoApi::setEndpointForTesting(m_address);
}

KvoTestServer::~KvoTestServer()
{
    KvoApi::setEndpointForTesting(QString());
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

QByteArray KvoTestServer::fetch(const QString& pathAndQuery, int* status)
{
    if (status)
        *status = 0;
    if (m_address.isEmpty())
        return QByteArray();
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(m_address + pathAndQuery));
    request.setTransferTimeout(10000);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

bool KvoTestServer::setFault(const QString& name, const QString& value)
{
    int status = 0;
    fetch(QStringLiteral("/_control/fault?name=%1&value=%2")
              .arg(QString::fromUtf8(QUrl::toPercentEncoding(name)),
                   QString::fromUtf8(QUrl::toPercentEncoding(value))),
          &status);
    return status == 200;
}

int KvoTestServer::requestsSeen(const QString& path)
{
    if (!m_process)
        return 0;
    m_report += m_process->readAllStandardError();
    // One line a request: "GET /path/ -> 200".
    return int(m_report.count(QByteArray(" ") + path.toUtf8() + " -> "));
}

bool KvoTestServer::clearFaults()
{
    int status = 0;
    fetch(QStringLiteral("/_control/reset"), &status);
    return status == 200;
}
