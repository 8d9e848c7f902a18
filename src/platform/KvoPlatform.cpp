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
