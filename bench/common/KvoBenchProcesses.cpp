#include "KvoBenchProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <unistd.h>

namespace {

// The fields of /proc/PID/stat after the command name, which may itself
// hold spaces and parentheses: fields.at(1) is the parent, 11 and 12 the
// user and system times in clock ticks.
QList<QByteArray> statFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

} // namespace

QList<qint64> KvoBenchProcesses::descendants(qint64 root)
{
    QMap<qint64, qint64> parents;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() > 1)
            parents.insert(pid, fields.at(1).toLongLong());
    }
    QList<qint64> found{root};
    for (int i = 0; i < found.size(); ++i)
        for (auto it = parents.cbegin(); it != parents.cend(); ++it)
            if (it.value() == found.at(i))
                found.append(it.key());
    found.removeFirst();
    return found;
}

double KvoBenchProcesses::cpuSeconds(qint64 pid)
{
    const QList<QByteArray> fields = statFields(pid);
    if (fields.size() < 13)
        return 0.0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

qint64 KvoBenchProcesses::displayServer()
{
    // ":99", ":99.0" or "host:99": the server of a local display takes
    // ":99" as an argument.
    const QString display = qEnvironmentVariable("DISPLAY");
    const int colon = display.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return 0;
    const QByteArray wanted = ':' + display.mid(colon + 1).section(QLatin1Char('.'), 0, 0).toLatin1();
    const QList<QByteArray> servers{"Xvfb", "Xorg", "X", "Xwayland", "Xephyr", "Xvnc"};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = file.readAll().split('\0');
        const QString program = QFileInfo(QString::fromLocal8Bit(arguments.value(0))).fileName();
        if (servers.contains(program.toLatin1()) && arguments.contains(wanted))
            return pid;
    }
    return 0;
}
