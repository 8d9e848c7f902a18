#include "KvoPlatform.h"

#include <QDir>
#include <QFile>
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

bool KvoPlatform::isUpdatePackage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The archive's signature, then the first member's 60-byte header: a
    // name of 16 bytes (space-padded, GNU ar may end it with "/") and the
    // header's closing "`\n".
    const QByteArray head = file.read(8 + 60);
    if (head.size() != 8 + 60 || !head.startsWith("!<arch>\n") || !head.endsWith("`\n"))
        return false;
    QByteArray name = head.mid(8, 16).trimmed();
    if (name.endsWith('/'))
        name.chop(1);
    return name == "debian-binary";
}
