#include "KvoEnvironment.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoPlatform.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadLocker>
#include <QReadWriteLock>
#include <QSettings>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <QWriteLocker>

namespace {

const Language s_languages[] = {
    {QStringLiteral("francais.qm"), QStringLiteral("fr_FR"), QStringLiteral("Français"), 1,
     QStringLiteral("flag_fr.png"), QStringLiteral("/fr"), QStringLiteral("/fr/credits"),
     QStringLiteral("/fr/desktop/home"), QStringLiteral("/fr/social/facebook"),
     QStringLiteral("/fr/social/twitter")},
    {QStringLiteral("english.qm"), QStringLiteral("en_GB"), QStringLiteral("English"), 2,
     QStringLiteral("flag_gb.png"), QStringLiteral("/en"), QStringLiteral("/en/credits"),
     QStringLiteral("/en/desktop/home"), QStringLiteral("/en/social/facebook"),
     QStringLiteral("/en/social/twitter")},
    {}, // end of the table: empty translation-file name
};
constexpr int s_languageCount = int(sizeof(s_languages) / sizeof(s_languages[0])) - 1;

const QString s_keyLastInterfaceLang = QStringLiteral("lastInterfaceLang");
const QString s_keyHasToUpdate = QStringLiteral("hasToUpdate");
const QString s_keyUpdatePath = QStringLiteral("updatePath");

constexpr qint64 s_flushPeriodSecs = 7 * 24 * 3600;

// A file name component stays below the 255-byte limit of common Linux file
// systems, with room for the ".part" suffix of a running download.
constexpr int s_maxNameUnits = 200;
constexpr int s_maxNameBytes = 240;

// State read from other threads (the synchronisation and folder-search
// threads ask for the locale, the user and the video folder).
struct State
{
    QReadWriteLock lock;
    int interfaceIndex = 0;
    int contentIndex = 0;
    QString currentUser;
    QString currentUserId;
};

State& state()
{
    static State s;
    return s;
}

bool validIndex(int index)
{
    return index >= 0 && index < s_languageCount;
}

QString nativeWithoutTrailingSeparator(const QString& path)
{
    QString p = QDir::cleanPath(QDir::fromNativeSeparators(path));
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return QDir::toNativeSeparators(p);
}

const QString s_appFolder = QStringLiteral("/Qozmira/Vistrelle/");

QString dataPathFor(int index)
{
    return nativeWithoutTrailingSeparator(KvoPlatform::dataFolder() + s_appFolder
                                          + KvoEnvironment::language(index).locale);
}

QString cacheRootFor(int index)
{
    return nativeWithoutTrailingSeparator(KvoPlatform::cacheFolder() + s_appFolder
                                          + KvoEnvironment::language(index).locale);
}

QString legacyPathFor(int index)
{
    return KvoEnvironment::settingsFolder() + QDir::separator() + KvoEnvironment::language(index).locale;
}

// The folder made when missing, then closed to everyone but its owner.
void makeOwnerOnlyFolder(const QString& path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The replacement of each character a file name must not hold. Fixed, so the
// same title always gives the same name.
QChar replacementFor(QChar c)
{
    switch (c.unicode()) {
    case '/':
    case '\\':
    case ':':
    case '|':
        return QLatin1Char('-');
    case '*':
    case '?':
        return QLatin1Char('_');
    case '"':
        return QLatin1Char('\'');
    case '<':
        return QLatin1Char('(');
    case '>':
        return QLatin1Char(')');
    default:
        break;
    }
    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
        return QLatin1Char('_');
    return c;
}

void trimEnds(QString& s)
{
    s = s.trimmed();
    while (s.endsWith(QLatin1Char('.')) || s.endsWith(QLatin1Char(' ')))
        s.chop(1);
}

// Cuts `s` to at most `units` UTF-16 units without splitting a surrogate pair.
QString cutAt(const QString& s, int units)
{
    if (s.size() <= units)
        return s;
    if (units > 0 && s.at(units - 1).isHighSurrogate())
        --units;
    return s.left(units);
}

QString capLength(const QString& name)
{
    auto fits = [](const QString& s) {
        return s.size() <= s_maxNameUnits && s.toUtf8().size() <= s_maxNameBytes;
    };
    if (fits(name))
        return name;
    // Keep a short extension (".qoz") and shorten the part before it.
    QString ext;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.size() - dot <= 8)
        ext = name.mid(dot);
    QString stem = name.left(name.size() - ext.size());
    int units = qMin(stem.size(), s_maxNameUnits - int(ext.size()));
    QString cut = cutAt(stem, units);
    while (!cut.isEmpty() && !fits(cut + ext)) {
        units = cut.size() - 1;
        cut = cutAt(stem, units);
    }
    trimEnds(cut);
    return cut + ext;
}

} // namespace

void KvoEnvironment::init()
{
    QDir().mkpath(settingsFolder());
    moveLegacyData();
    for (int i = 0; i < s_languageCount; ++i) {
        makeOwnerOnlyFolder(dataPathFor(i));
        const QString cache = cacheRootFor(i);
        QDir().mkpath(cache + QDir::separator() + QStringLiteral("images"));
        QDir().mkpath(cache + QDir::separator() + QStringLiteral("temp"));
    }

    QSettings settings(settingsPath(), QSettings::IniFormat);
    // lastInterfaceLang stays absent until the user picks a language: its
    // absence means "follow the system".
    if (!settings.contains(s_keyHasToUpdate))
        settings.setValue(s_keyHasToUpdate, 0);
    if (!settings.contains(s_keyUpdatePath))
        settings.setValue(s_keyUpdatePath, QString());
    settings.sync();

    setInterfaceLanguageIndex(startupInterfaceLanguageIndex());
}

// --- languages

const Language* KvoEnvironment::languages()
{
    return s_languages;
}

int KvoEnvironment::languageCount()
{
    return s_languageCount;
}

const Language& KvoEnvironment::language(int index)
{
    return validIndex(index) ? s_languages[index] : s_languages[s_languageCount];
}

int KvoEnvironment::interfaceLanguageIndex()
{
    QReadLocker locker(&state().lock);
    return state().interfaceIndex;
}

void KvoEnvironment::setInterfaceLanguageIndex(int index)
{
    if (!validIndex(index))
        return;
    QWriteLocker locker(&state().lock);
    state().interfaceIndex = index;
}

int KvoEnvironment::contentLanguageIndex()
{
    QReadLocker locker(&state().lock);
    return state().contentIndex;
}

void KvoEnvironment::setContentLanguageIndex(int index)
{
    if (!validIndex(index))
        return;
    QWriteLocker locker(&state().lock);
    state().contentIndex = index;
}

int KvoEnvironment::startupInterfaceLanguageIndex()
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    const QVariant stored = settings.value(s_keyLastInterfaceLang);
    bool ok = false;
    const int index = stored.toInt(&ok);
    if (stored.isValid() && ok && validIndex(index))
        return index;
    return defaultInterfaceLanguageIndex(QLocale::system().language());
}

int KvoEnvironment::defaultInterfaceLanguageIndex(QLocale::Language systemLanguage)
{
    return systemLanguage == QLocale::English ? 1 : 0;
}

QString KvoEnvironment::locale()
{
    return language(contentLanguageIndex()).locale;
}

QString KvoEnvironment::interfaceLocale()
{
    return language(interfaceLanguageIndex()).locale;
}

QString KvoEnvironment::creditsUrl()
{
    return KvoApi::siteUrl() + language(contentLanguageIndex()).creditsPath;
}

QString KvoEnvironment::languageField8()
{
    return KvoApi::siteUrl() + language(contentLanguageIndex()).homePath;
}

QString KvoEnvironment::languageField10()
{
    return KvoApi::siteUrl() + language(contentLanguageIndex()).facebookPath;
}

QString KvoEnvironment::languageField11()
{
    return KvoApi::siteUrl() + language(contentLanguageIndex()).twitterPath;
}

// --- folders and files

QString KvoEnvironment::preferencesPath()
{
    return nativeWithoutTrailingSeparator(KvoPlatform::preferencesFolder());
}

QString KvoEnvironment::settingsFolder()
{
    return preferencesPath() + QDir::toNativeSeparators(QStringLiteral("/Qozmira/Vistrelle"));
}

QString KvoEnvironment::settingsPath()
{
    return settingsFolder() + QDir::separator() + QStringLiteral("Vistrelle.ini");
}

QString KvoEnvironment::dataPath()
{
    return dataPathFor(contentLanguageIndex());
}

QString KvoEnvironment::databasePath()
{
    return dataPath() + QDir::separator() + QStringLiteral("database.sqlite");
}

QString KvoEnvironment::cachePath()
{
    return cacheRootFor(contentLanguageIndex()) + QDir::separator() + QStringLiteral("images");
}

QString KvoEnvironment::tempPath()
{
    return cacheRootFor(contentLanguageIndex()) + QDir::separator() + QStringLiteral("temp");
}

void KvoEnvironment::moveLegacyData()
{
    const QString databaseName = QStringLiteral("database.sqlite");
    for (int i = 0; i < s_languageCount; ++i) {
        QDir legacy(legacyPathFor(i));
        if (!legacy.exists())
            continue;
        const QString target = dataPathFor(i);
        makeOwnerOnlyFolder(target);
        // Two databases: the one in the new place is the one in use; the old
        // one is left where it is rather than mixed with it.
        const bool targetHasDatabase = QFileInfo::exists(target + QDir::separator() + databaseName);
        bool complete = true;
        const QStringList files = legacy.entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : files) {
            const QString destination = target + QDir::separator() + name;
            // The database moves with its log and index, or not at all.
            if ((targetHasDatabase && name.startsWith(databaseName)) || QFileInfo::exists(destination)
                || !QFile::rename(legacy.filePath(name), destination)) {
                qWarning("KvoEnvironment: %s stays in %s", qPrintable(name), qPrintable(legacy.path()));
                complete = false;
            }
        }
        // Images and temporary files are made again as needed.
        QDir(legacy.filePath(QStringLiteral("cache"))).removeRecursively();
        QDir(legacy.filePath(QStringLiteral("temp"))).removeRecursively();
        if (complete)
            QDir().rmdir(legacy.path()); // only when nothing else is left in it
    }
}

QString KvoEnvironment::storageLocation()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    return nativeWithoutTrailingSeparator(documents);
}

QString KvoEnvironment::nearestExistingFolder(const QString& path)
{
    if (!path.isEmpty()) {
        QString current = QDir::cleanPath(QDir::home().absoluteFilePath(QDir::fromNativeSeparators(path)));
        for (;;) {
            if (QFileInfo(current).isDir())
                return QDir::toNativeSeparators(current);
            const QString parent = QFileInfo(current).path();
            if (parent == current)
                break;
            current = parent;
        }
    }
    return QDir::toNativeSeparators(QDir::homePath());
}

// --- the signed-in user

QString KvoEnvironment::currentUser()
{
    QReadLocker locker(&state().lock);
    return state().currentUser;
}

void KvoEnvironment::setCurrentUser(const QString& pseudonymOrLogin)
{
    const QString name =
        pseudonymOrLogin.isEmpty() ? QString() : sanitizeFileName(pseudonymOrLogin.toLower());
    QWriteLocker locker(&state().lock);
    state().currentUser = name;
}

QString KvoEnvironment::currentUserId()
{
    QReadLocker locker(&state().lock);
    return state().currentUserId;
}

void KvoEnvironment::setCurrentUserId(const QString& storedId)
{
    QWriteLocker locker(&state().lock);
    state().currentUserId = storedId;
}

void KvoEnvironment::currentUserSetup()
{
    QWriteLocker locker(&state().lock);
    state().currentUser.clear();
    state().currentUserId.clear();
    state().contentIndex = 0;
}

QString KvoEnvironment::videoPath()
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "SELECT c.path_videos FROM `configurations` AS c INNER JOIN `users` AS u "
        "ON u.id_configuration = c.rowid WHERE u.id_qoz_user = :id_user"));
    q.bindValue(QStringLiteral(":id_user"), currentUserId());
    if (q.exec() && q.next()) {
        const QString stored = q.value(0).toString();
        if (!stored.isEmpty())
            return nativeWithoutTrailingSeparator(stored);
    }
    return defaultVideoPath();
}

QString KvoEnvironment::defaultVideoPath()
{
    QString path = storageLocation() + QStringLiteral("/Vistrelle/")
                   + language(contentLanguageIndex()).name;
    const QString user = currentUser();
    if (!user.isEmpty())
        path += QLatin1Char('/') + user;
    return nativeWithoutTrailingSeparator(path);
}

void KvoEnvironment::setVideoPath(const QString& path)
{
    const QString native = nativeWithoutTrailingSeparator(path);
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "UPDATE `configurations` SET `path_videos` = :path WHERE rowid = "
        "(SELECT `id_configuration` FROM `users` WHERE `id_qoz_user` = :id_user)"));
    q.bindValue(QStringLiteral(":path"), native);
    q.bindValue(QStringLiteral(":id_user"), currentUserId());
    if (q.exec() && q.numRowsAffected() > 0 && !native.isEmpty())
        QDir().mkpath(native);
}

bool KvoEnvironment::useVideoFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QFileInfo made(folder);
    if (!made.isDir() || !made.isWritable())
        return false;
    setVideoPath(folder);
    return QDir::cleanPath(videoPath()) == QDir::cleanPath(folder);
}

void KvoEnvironment::flushCache(bool online)
{
    if (!online)
        return;
    QSqlQuery q(KvoDatabase::database());
    if (!q.exec(QStringLiteral("SELECT `last_flush` FROM `player_config`")) || !q.next())
        return;
    const qint64 last = q.value(0).toLongLong();
    q.finish();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // A time in the future (a clock set back) would block the flush until
    // then: treat it as due.
    if (now - last < s_flushPeriodSecs && last <= now)
        return;
    q.prepare(QStringLiteral("UPDATE `player_config` SET `last_flush` = :now"));
    q.bindValue(QStringLiteral(":now"), now);
    if (!q.exec())
        return;
    QDir cache(cachePath());
    const QStringList files =
        cache.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& file : files)
        cache.remove(file);
}

QString KvoEnvironment::sanitizeFileName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += c;
            out += name.at(++i);
        } else if (c.isSurrogate()) {
            out += QLatin1Char('_'); // a lone half cannot be encoded on disk
        } else {
            out += replacementFor(c);
        }
    }
    trimEnds(out);
    out = capLength(out);
    if (out.isEmpty() || out == QLatin1String(".") || out == QLatin1String(".."))
        return QStringLiteral("_");
    return out;
}

bool KvoEnvironment::launchPendingUpdate()
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    const QString path = QDir::fromNativeSeparators(settings.value(s_keyUpdatePath).toString());
    settings.setValue(s_keyHasToUpdate, 0);
    settings.setValue(s_keyUpdatePath, QString());
    settings.sync();
    if (path.isEmpty() || !QFileInfo(path).isFile() || !KvoPlatform::isUpdatePackage(path))
        return false;
    return KvoPlatform::openWithSystem(path);
}
