#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// The client's SQLite database, one file per content language. Qt ties a
// connection to the thread that made it, so every thread gets its own
// connection to the same file: the default connection on the thread that
// opened the database (the GUI thread), a named one elsewhere, made on first
// use. WAL journal and a busy time-out let the synchronisation thread write
// while the GUI reads.
class KvoDatabase
{
public:
    // The schema version this build creates and migrates to.
    static int currentSchemaVersion();

    // Opens (creating when needed) the database file, checks it, creates or
    // migrates the schema and makes sure player_config has its single row.
    // Closes a database opened before. A damaged file (no database at all, or
    // one whose pages fail SQLite's check) is moved aside under a dated name,
    // with its -wal and -shm files, and a fresh database takes its place; see
    // setAsideFile(). Returns false when no database could be opened.
    static bool open(const QString& filePath);
    // Where the last open() moved a damaged file; empty when the file opened
    // as it was. Whoever opened the database tells the user.
    static QString setAsideFile();
    // Connections opened from now on refuse to grow the file past this many
    // pages, as a full disk would (0: no limit).
    static void setPageLimitForTesting(int pages);
    // Opens KvoEnvironment::databasePath() of the current content language.
    static bool openForCurrentLanguage();
    // Closes every connection of every thread.
    static void close();
    static bool isOpen();
    static QString filePath();

    // The calling thread's connection (invalid when the database is closed).
    static QSqlDatabase database();

    // Runs one SQL text on the calling thread's connection and returns the
    // executed query, positioned before its first row; an empty query when
    // the database is not open. Errors are not reported.
    static QSqlQuery query(const QString& sql);

    // The version stored in player_config.
    static int schemaVersion();
};

// Rolls back unless commit() is called: one synchronisation, one transaction.
class KvoTransaction
{
public:
    explicit KvoTransaction(QSqlDatabase db);
    ~KvoTransaction();
    bool isActive() const { return m_active; }
    bool commit();

private:
    QSqlDatabase m_db;
    bool m_active = false;
};
