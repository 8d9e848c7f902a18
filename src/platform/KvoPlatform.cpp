#include "KvoPlatform.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

#include <optional>

namespace {

// The variables the client set for itself, with the values it was given.
struct OwnVariables
{
    QMutex mutex;
    QHash<QByteArray, std::optional<QByteArray>> given;
};

OwnVariables& ownVariables()
{
    static OwnVariables variables;
    return variables;
}

} // namespace

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
    return startDetached(QStringLiteral("xdg-open"), {path});
}

void KvoPlatform::setForOwnUse(const char* name, const QByteArray& value)
{
    OwnVariables& own = ownVariables();
    QMutexLocker lock(&own.mutex);
    if (!own.given.contains(name))
        own.given.insert(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                               : std::nullopt);
    qputenv(name, value);
}

QProcessEnvironment KvoPlatform::startedProgramEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    OwnVariables& own = ownVariables();
    QMutexLocker lock(&own.mutex);
    for (auto it = own.given.cbegin(); it != own.given.cend(); ++it) {
        const QString name = QString::fromLocal8Bit(it.key());
        if (it.value())
            environment.insert(name, QString::fromLocal8Bit(*it.value()));
        else
            environment.remove(name);
    }
    return environment;
}

bool KvoPlatform::startDetached(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(startedProgramEnvironment());
    return process.startDetached();
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
