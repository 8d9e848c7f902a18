#include "KvoBenchEnvironment.h"

#include <QDir>
#include <QFile>

void KvoBenchEnvironment::usePrivateHome(const QString& home)
{
    const QString runtime = home + QStringLiteral("/rt");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

double KvoBenchEnvironment::load1()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const double load = file.readAll().split(' ').value(0).toDouble(&ok);
    return ok ? load : -1;
}
