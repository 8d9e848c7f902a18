#include "KvoPlatform.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

QString KvoPlatform::preferencesFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base);
}

QString KvoPlatform::dataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base);
}

QString KvoPlatform::cacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base);
}

bool KvoPlatform::openWithSystem(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

QString KvoPlatform::systemDescription()
{
    return QSysInfo::prettyProductName();
}

QString KvoPlatform::updatePackageType()
{
    return QStringLiteral("deb");
}
