#include "KvoTestBus.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>


namespace {
const char* FolderVariable = "KVO_TEST_BUS_FOLDER";
const char* MissingVariable = "KVO_TEST_BUS_MISSING";

// Tests run with KVO_TEST_BUS=off show how the program behaves without a bus.
QString whyNotPossible()
{
    if (qEnvironmentVariable("KVO_TEST_BUS") == QLatin1String("off"))
        return QStringLiteral("KVO_TEST_BUS=off");
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return QStringLiteral("dbus-run-session or dbus-daemon is not installed");
    return QString();
}
} // namespace

int KvoTestBus::runOnPrivateBus(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(FolderVariable))
        return -1; // the run on the private bus
    const QString reason = whyNotPossible();
    if (!reason.isEmpty()) {
        // Never the bus of the machine or of an outer dbus-run-session.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv(MissingVariable, reason.toUtf8());
        return -1;
    }
    QTemporaryDir folder;
    QFile templ(QStringLiteral(KVO_TEST_BUS_CONF));
    if (!folder.isValid() || !QDir(folder.path()).mkpath(QStringLiteral("services"))
        || !templ.open(QIODevice::ReadOnly)) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv(MissingVariable, "the private bus configuration could not be written");
        return -1;
    }
    const QString confPath = folder.filePath(QStringLiteral("session.conf"));
    QFile conf(confPath);
    if (!conf.open(QIODevice::WriteOnly)
        || conf.write(templ.readAll().replace("@FOLDER@", QFile::encodeName(folder.path()))) < 0)
        return -1;
    conf.close();

    std::vector<QByteArray> args{"dbus-run-session", "--config-file=" + QFile::encodeName(confPath), "--",
                                 QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")))};
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    std::vector<char*> raw;
    for (QByteArray& arg : args)
        raw.push_back(arg.data());
    raw.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        setenv(FolderVariable, QFile::encodeName(folder.path()).constData(), 1);
        execvp(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool KvoTestBus::available()
{
    return qEnvironmentVariableIsSet(FolderVariable);
}

QString KvoTestBus::skipReason()
{
    return QStringLiteral("D-Bus case skipped: no private session bus (%1)")
        .arg(qEnvironmentVariable(MissingVariable, QStringLiteral("not started through KvoTestBus")));
}

QString KvoTestBus::serviceFolder()
{
    return qEnvironmentVariable(FolderVariable) + QStringLiteral("/services");
}

bool KvoTestBus::reloadConfiguration()
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig")));
    return reply.type() == QDBusMessage::ReplyMessage;
}
