#include "KvoBenchProcesses.h"

#include <QDir>
#include <QFile>
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
