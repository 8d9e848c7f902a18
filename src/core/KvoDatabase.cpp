#include "KvoDatabase.h"

#include "KvoEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlError>
#include <QStringList>
#include <QThread>
#include <QThreadStorage>
#include <QVariant>

#include <functional>
#include <vector>

namespace {

const QString s_driver = QStringLiteral("QSQLITE");
const QString s_threadPrefix = QStringLiteral("kvo-");
const QString s_connectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");

struct Shared
{
    QMutex mutex;
    bool open = false;
    QString filePath;
    QThread* owner = nullptr; // the thread holding the default connection
    quint64 generation = 0;   // bumped on every open and close
    QString setAside;         // where the last open() put a damaged file
    int pageLimit = 0;        // test seam: max_page_count of new connections
};

Shared& shared()
{
    // Never destroyed: a thread's connection record may be dropped after
    // the statics at process exit.
    static Shared* s = new Shared;
    return *s;
}

// The named connection this thread made, and for which opening of the file.
// Dropped when the thread ends (QThreadStorage runs this before the thread's
// wait() returns, unlike a C++ thread_local).
struct ThreadConnection
{
    QString name;
    quint64 generation = 0;

    ~ThreadConnection()
    {
        if (name.isEmpty())
            return;
        QMutexLocker locker(&shared().mutex);
        if (generation == shared().generation && QSqlDatabase::contains(name))
            QSqlDatabase::removeDatabase(name);
    }
};

QThreadStorage<ThreadConnection>& threadConnection()
{
    static QThreadStorage<ThreadConnection> storage;
    return storage;
}

// The database holds the encoded password: nobody but its owner may read
// it, from its creation on (SQLite gives its log and index the same mode).
// An empty file is an empty database to SQLite.
void restrictToOwner(const QString& path)
{
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return;
    file.close();
    // An older file loses what others could do with it; its owner's rights
    // stay as they are.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                      | QFile::WriteOther | QFile::ExeOther;
    const QFile::Permissions current = QFile::permissions(path);
    if (current & others)
        QFile::setPermissions(path, current & ~others);
}

bool exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        qWarning("KvoDatabase: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

bool configureConnection(QSqlDatabase& db, int pageLimit)
{
    // journal_mode is a property of the file; the others hold per connection.
    if (!exec(db, QStringLiteral("PRAGMA foreign_keys = OFF"))
        || !exec(db, QStringLiteral("PRAGMA synchronous = NORMAL")))
        return false;
    if (pageLimit > 0)
        return exec(db, QStringLiteral("PRAGMA max_page_count = %1").arg(pageLimit));
    return true;
}

bool openConnection(QSqlDatabase& db, const QString& path, int pageLimit)
{
    db.setDatabaseName(path);
    db.setConnectOptions(s_connectOptions);
    restrictToOwner(path);
    if (!db.open())
        return false;
    return configureConnection(db, pageLimit);
}

// --- schema

using Migration = std::function<bool(QSqlDatabase&)>;

bool execAll(QSqlDatabase& db, const QStringList& statements)
{
    for (const QString& sql : statements) {
        if (!exec(db, sql))
            return false;
    }
    return true;
}

// Version 0 → 1: the first schema. "IF NOT EXISTS" so that a file holding
// some of the tables already is completed rather than refused.
bool migrateTo1(QSqlDatabase& db)
{
    return execAll(db, {
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `player_config` ("
            "`remember_me` INTEGER DEFAULT 0, `last_login` TEXT DEFAULT '', "
            "`last_password` TEXT DEFAULT '', `last_id_user` TEXT DEFAULT '', "
            "`last_flush` INTEGER DEFAULT 0, `db_version` INTEGER DEFAULT 0)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `configurations` ("
            "`volume` INTEGER DEFAULT 100, `notifications_mask` INTEGER DEFAULT 774, "
            "`path_videos` TEXT DEFAULT NULL, `server_proxy` TEXT DEFAULT '', "
            "`port_proxy` INTEGER DEFAULT 3128, `username_proxy` TEXT DEFAULT '', "
            "`password_proxy` TEXT DEFAULT '', `need_authentification` INTEGER DEFAULT 0, "
            "`need_proxy` INTEGER DEFAULT 0, `id_protocol_proxy` INTEGER DEFAULT 0, "
            "`already_imported` TEXT DEFAULT 'false')"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `users` ("
            "`id_qoz_user` TEXT UNIQUE, `id_configuration` INTEGER, `login` TEXT, "
            "`pseudo` TEXT, `password` TEXT, `email` TEXT DEFAULT '', "
            "`credits` TEXT DEFAULT '0', `last_update` INTEGER DEFAULT 0, "
            "`session` TEXT DEFAULT '')"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `purchases` ("
            "`id_user` TEXT, `id` INTEGER, `files` TEXT DEFAULT '', "
            "`title` TEXT DEFAULT NULL, `course_title` TEXT DEFAULT NULL, "
            "`softwares` TEXT DEFAULT '', `software_ids` TEXT DEFAULT '', "
            "`author_ids` TEXT DEFAULT '', `price` INTEGER DEFAULT 0, "
            "`previous_price` INTEGER DEFAULT 0, `rating` INTEGER DEFAULT 0, "
            "`sales` INTEGER DEFAULT 0, `thumbnail` TEXT DEFAULT '', `url` TEXT DEFAULT '', "
            "`end_ts` INTEGER DEFAULT 0, `preview_uri` TEXT DEFAULT '', "
            "`width` INTEGER DEFAULT 0, `height` INTEGER DEFAULT 0, "
            "`purchase_date` INTEGER DEFAULT 0, `attachment_url` TEXT DEFAULT '', "
            "`description` TEXT DEFAULT '', `commented` INTEGER DEFAULT 0, "
            "UNIQUE(`id_user`, `id`))"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `videos` ("
            "`id_user` TEXT, `fileid` INTEGER, `id_purchase` INTEGER DEFAULT 0, "
            "`title` TEXT DEFAULT NULL, `duration` INTEGER DEFAULT 0, `ord` INTEGER DEFAULT 0, "
            "`n_chapter` INTEGER DEFAULT 0, `t_chapter` TEXT DEFAULT '', "
            "`expiry_ts` INTEGER DEFAULT 0, `thumbnail` TEXT DEFAULT '', "
            "`width` INTEGER DEFAULT 0, `height` INTEGER DEFAULT 0, `KvoPath` TEXT DEFAULT '', "
            "`hidden` INTEGER DEFAULT 0, `alreadyseen` INTEGER DEFAULT 0, "
            "UNIQUE(`id_user`, `fileid`))"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `authors` ("
            "`id` INTEGER PRIMARY KEY, `pseudo` TEXT DEFAULT '', `avatar` TEXT DEFAULT '', "
            "`bio` TEXT DEFAULT '', `avatar_url` TEXT DEFAULT '', `profile_url` TEXT DEFAULT '', "
            "`fan` INTEGER DEFAULT 0)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `softwares` ("
            "`id` INTEGER PRIMARY KEY, `name` TEXT DEFAULT '', `thumbnail` TEXT DEFAULT '', "
            "`url` TEXT DEFAULT '')"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `user_software` ("
            "`id_user` TEXT, `id_software` INTEGER, `suscribed` INTEGER DEFAULT 0, "
            "UNIQUE(`id_user`, `id_software`))"),
        // AUTOINCREMENT: an id is never reused, so deleting the entry that was
        // sent can never hit a newer one.
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `to_send` ("
            "`id` INTEGER PRIMARY KEY AUTOINCREMENT, `id_user` TEXT, `url` TEXT, `data` TEXT)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `signets` ("
            "`id_video` int(11) DEFAULT NULL, `value` int(11) DEFAULT NULL, "
            "`name` varchar(255) DEFAULT NULL)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS `faq` ("
            "`id` int(11) DEFAULT 0, `question` text DEFAULT NULL, `answer` text DEFAULT NULL)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS `tops` (`name` varchar(255), `json` TEXT)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS `to_send_user` ON `to_send` (`id_user`, `id`)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS `signets_video` ON `signets` (`id_video`)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS `videos_purchase` ON `videos` (`id_user`, `id_purchase`)"),
    });
}

bool hasColumn(QSqlDatabase& db, const QString& table, const QString& column)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(`%1`)").arg(table)))
        return false;
    while (q.next()) {
        if (q.value(1).toString().compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool addColumn(QSqlDatabase& db, const QString& table, const QString& column, const QString& definition)
{
    if (hasColumn(db, table, column))
        return true;
    return exec(db, QStringLiteral("ALTER TABLE `%1` ADD COLUMN `%2` %3").arg(table, column, definition));
}

// Version 1 → 2: rows of courses and videos the service stops listing stay,
// marked out of the library, as long as they hold the user's own state (the
// downloaded file, the hidden flag, the watched percentage, the rating), so
// that it comes back with them. The time of the last successful
// synchronisation is kept apart from the service's change time (last_update,
// sent back as "since"); until the next synchronisation the change time is
// the best known approximation of it.
bool migrateTo2(QSqlDatabase& db)
{
    return addColumn(db, QStringLiteral("purchases"), QStringLiteral("in_library"), QStringLiteral("INTEGER DEFAULT 1"))
           && addColumn(db, QStringLiteral("videos"), QStringLiteral("in_library"), QStringLiteral("INTEGER DEFAULT 1"))
           && addColumn(db, QStringLiteral("users"), QStringLiteral("last_sync"), QStringLiteral("INTEGER DEFAULT 0"))
           && exec(db, QStringLiteral("UPDATE `users` SET `last_sync` = `last_update` WHERE `last_sync` = 0"));
}

// migrations()[n] brings a database of version n to version n + 1. A later
// change of the schema appends one step here; never edit a released step.
const std::vector<Migration>& migrations()
{
    static const std::vector<Migration> steps = {
        migrateTo1,
        migrateTo2,
    };
    return steps;
}

bool hasTable(QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = :name"));
    q.bindValue(QStringLiteral(":name"), table);
    return q.exec() && q.next();
}

// -1 when the file cannot be read as a database.
int storedVersion(QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return -1;
    if (!hasTable(db, QStringLiteral("player_config")))
        return 0;
    if (!q.exec(QStringLiteral("SELECT `db_version` FROM `player_config` ORDER BY rowid LIMIT 1")))
        return -1;
    // A table that lost its row: player_config only exists from version 1
    // on. A stored 0 is a file made before the versioned schema: every step
    // runs, and the first one only adds what is missing.
    return q.next() ? qMax(0, q.value(0).toInt()) : 1;
}

bool upgradeSchema(QSqlDatabase& db)
{
    const int version = storedVersion(db);
    if (version < 0)
        return false;
    const int target = KvoDatabase::currentSchemaVersion();

    KvoTransaction transaction(db);
    if (!transaction.isActive())
        return false;
    for (int v = version; v < target; ++v) {
        if (!migrations()[size_t(v)](db))
            return false; // rolled back: the file stays as it was
    }
    // player_config holds exactly one row.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM `player_config`")) || !q.next())
        return false;
    const int rows = q.value(0).toInt();
    q.finish();
    if (rows == 0) {
        if (!exec(db, QStringLiteral("INSERT INTO `player_config` DEFAULT VALUES")))
            return false;
    } else if (rows > 1) {
        if (!exec(db, QStringLiteral("DELETE FROM `player_config` WHERE rowid <> "
                                     "(SELECT min(rowid) FROM `player_config`)")))
            return false;
    }
    // A file written by a newer build keeps its version.
    if (version < target) {
        q.prepare(QStringLiteral("UPDATE `player_config` SET `db_version` = :version"));
        q.bindValue(QStringLiteral(":version"), target);
        if (!q.exec())
            return false;
    }
    return transaction.commit();
}

enum class FileState { Sound, Damaged, Unusable };

// SQLite's primary result codes for a file whose content is broken
// (SQLITE_CORRUPT) or that is no database at all (SQLITE_NOTADB).
bool isDamage(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 11 || code == 26);
}

// Reads every page once. A file that cannot be read for another reason
// (locked, unreadable) is not called damaged: it must not be moved away.
FileState checkFile(QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
        return isDamage(q.lastError()) ? FileState::Damaged : FileState::Unusable;
    if (q.value(0).toString() == QLatin1String("ok"))
        return FileState::Sound;
    qWarning("KvoDatabase: integrity check: %s", qPrintable(q.value(0).toString()));
    return FileState::Damaged;
}

// Opens the default connection on path, checks the file and brings its
// schema up to date; on anything but Sound the connection is gone again.
FileState openDefault(const QString& path, int pageLimit)
{
    FileState state = FileState::Unusable;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(s_driver);
        const bool connected = openConnection(db, path, pageLimit);
        if (db.isOpen())
            state = checkFile(db);
        if (state == FileState::Sound
            && !(connected && exec(db, QStringLiteral("PRAGMA journal_mode = WAL")) && upgradeSchema(db)))
            state = FileState::Unusable;
        if (state != FileState::Sound)
            db.close();
    }
    if (state != FileState::Sound)
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    return state;
}

// Renames the file, with its write-ahead log and shared-memory index, to a
// dated name beside it; returns the new name, empty when it could not move.
QString moveAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = QStringLiteral("%1.damaged-%2").arg(path, stamp);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QStringLiteral("%1.damaged-%2-%3").arg(path, stamp).arg(n);
    if (!QFile::rename(path, target))
        return QString();
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString from = path + QLatin1String(suffix);
        if (!QFileInfo::exists(from))
            continue;
        // A log left beside the fresh file would be replayed into it.
        if (!QFile::rename(from, target + QLatin1String(suffix)) && !QFile::remove(from)) {
            QFile::rename(target, path);
            return QString();
        }
    }
    return target;
}

} // namespace

int KvoDatabase::currentSchemaVersion()
{
    return int(migrations().size());
}

bool KvoDatabase::open(const QString& filePath)
{
    close();
    if (filePath.isEmpty())
        return false;
    const QString path = QFileInfo(filePath).absoluteFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());

    int pageLimit = 0;
    {
        QMutexLocker locker(&shared().mutex);
        pageLimit = shared().pageLimit;
        shared().setAside.clear();
    }
    QString setAside;
    FileState state = openDefault(path, pageLimit);
    if (state == FileState::Damaged) {
        // Nothing can be read from it reliably; keep it for whoever wants to
        // try, and give the client a fresh file to rebuild the library in.
        setAside = moveAside(path);
        if (setAside.isEmpty())
            return false;
        qWarning("KvoDatabase: %s is damaged; moved aside to %s", qPrintable(path), qPrintable(setAside));
        state = openDefault(path, pageLimit);
    }
    if (state != FileState::Sound)
        return false;

    QMutexLocker locker(&shared().mutex);
    shared().open = true;
    shared().filePath = path;
    shared().owner = QThread::currentThread();
    shared().setAside = setAside;
    ++shared().generation;
    return true;
}

QString KvoDatabase::setAsideFile()
{
    QMutexLocker locker(&shared().mutex);
    return shared().setAside;
}

void KvoDatabase::setPageLimitForTesting(int pages)
{
    QMutexLocker locker(&shared().mutex);
    shared().pageLimit = qMax(0, pages);
}

bool KvoDatabase::openForCurrentLanguage()
{
    return open(KvoEnvironment::databasePath());
}

void KvoDatabase::close()
{
    QMutexLocker locker(&shared().mutex);
    shared().open = false;
    shared().filePath.clear();
    shared().owner = nullptr;
    ++shared().generation;
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString& name : names) {
        if (name == QLatin1String(QSqlDatabase::defaultConnection) || name.startsWith(s_threadPrefix))
            QSqlDatabase::removeDatabase(name); // closes it
    }
}

bool KvoDatabase::isOpen()
{
    QMutexLocker locker(&shared().mutex);
    return shared().open;
}

QString KvoDatabase::filePath()
{
    QMutexLocker locker(&shared().mutex);
    return shared().filePath;
}

QSqlDatabase KvoDatabase::database()
{
    QMutexLocker locker(&shared().mutex);
    if (!shared().open)
        return QSqlDatabase();
    if (QThread::currentThread() == shared().owner)
        return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);

    ThreadConnection& mine = threadConnection().localData();
    const QString name = s_threadPrefix
                         + QString::number(quintptr(QThread::currentThreadId()));
    if (mine.name == name && mine.generation == shared().generation && QSqlDatabase::contains(name))
        return QSqlDatabase::database(name, false);

    // First use on this thread, or the file was reopened since: (re)make the
    // connection. A connection of that name left by an ended thread whose id
    // the system reused goes too.
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(s_driver, name);
    if (!openConnection(db, shared().filePath, shared().pageLimit)) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        mine.name.clear();
        return QSqlDatabase();
    }
    mine.name = name;
    mine.generation = shared().generation;
    return db;
}

QSqlQuery KvoDatabase::query(const QString& sql)
{
    QSqlDatabase db = database();
    if (!db.isValid() || !db.isOpen())
        return QSqlQuery(QSqlDatabase());
    QSqlQuery q(db);
    q.exec(sql);
    return q;
}

int KvoDatabase::schemaVersion()
{
    QSqlQuery q = query(QStringLiteral("SELECT `db_version` FROM `player_config` ORDER BY rowid LIMIT 1"));
    return q.next() ? q.value(0).toInt() : 0;
}

// --- KvoTransaction

KvoTransaction::KvoTransaction(QSqlDatabase db)
    : m_db(db)
{
    if (!m_db.isValid() || !m_db.isOpen())
        return;
    // IMMEDIATE takes the write lock at once (waiting for the busy time-out),
    // so a transaction never fails half-way because another thread's
    // connection wrote since it started reading.
    QSqlQuery q(m_db);
    m_active = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

KvoTransaction::~KvoTransaction()
{
    if (m_active) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

bool KvoTransaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    QSqlQuery q(m_db);
    if (q.exec(QStringLiteral("COMMIT")))
        return true;
    QSqlQuery rollback(m_db);
    rollback.exec(QStringLiteral("ROLLBACK"));
    return false;
}
