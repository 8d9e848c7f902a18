#include "KvoDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The schema, the per-thread connections and the transactions of the
// client's SQLite file.
class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void schemaHasEveryTable_data();
    void schemaHasEveryTable();
    void defaultsAndSinglePlayerConfigRow();
    void reopenKeepsDataAndVersion();
    void migratesOldVersion();
    void writesFromAnotherThread();
    void transactionRollsBack();
    void migratesVersion1();
    void setsAsideDamagedFile_data();
    void setsAsideDamagedFile();
    void doubleQuotedLiteralsOfTops();
    void queryOnClosedDatabase();

private:
    QString dbPath() const { return m_dir.filePath(QStringLiteral("data/database.sqlite")); }
    static QStringList columns(const QString& table);

    QTemporaryDir m_dir;
};

QStringList TestDatabase::columns(const QString& table)
{
    QStringList names;
    const QSqlRecord record = KvoDatabase::database().record(table);
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

void TestDatabase::init()
{
    QFile::remove(dbPath());
    QFile::remove(dbPath() + QStringLiteral("-wal"));
    QFile::remove(dbPath() + QStringLiteral("-shm"));
    QVERIFY(KvoDatabase::open(dbPath()));
}

void TestDatabase::cleanup()
{
    KvoDatabase::close();
}

void TestDatabase::schemaHasEveryTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("users") << "users"
        << QStringList{"id_qoz_user", "id_configuration", "login", "pseudo", "password", "email",
                       "credits", "last_update", "session", "last_sync"};
    QTest::newRow("configurations") << "configurations"
        << QStringList{"volume", "notifications_mask", "path_videos", "server_proxy", "port_proxy",
                       "username_proxy", "password_proxy", "need_authentification", "need_proxy",
                       "id_protocol_proxy", "already_imported"};
    QTest::newRow("player_config") << "player_config"
        << QStringList{"remember_me", "last_login", "last_password", "last_id_user", "last_flush",
                       "db_version"};
    QTest::newRow("purchases") << "purchases"
        << QStringList{"id_user", "id", "files", "title", "course_title", "softwares",
                       "software_ids", "author_ids", "price", "previous_price", "rating", "sales",
                       "thumbnail", "url", "end_ts", "preview_uri", "width", "height",
                       "purchase_date", "attachment_url", "description", "commented", "in_library"};
    QTest::newRow("videos") << "videos"
        << QStringList{"id_user", "fileid", "id_purchase", "title", "duration", "ord", "n_chapter",
                       "t_chapter", "expiry_ts", "thumbnail", "width", "height", "KvoPath",
                       "hidden", "alreadyseen", "in_library"};
    QTest::newRow("authors") << "authors"
        << QStringList{"id", "pseudo", "avatar", "bio", "avatar_url", "profile_url", "fan"};
    QTest::newRow("softwares") << "softwares" << QStringList{"id", "name", "thumbnail", "url"};
    QTest::newRow("user_software") << "user_software"
                                   << QStringList{"id_user", "id_software", "suscribed"};
    QTest::newRow("to_send") << "to_send" << QStringList{"id", "id_user", "url", "data"};
    QTest::newRow("signets") << "signets" << QStringList{"id_video", "value", "name"};
    QTest::newRow("faq") << "faq" << QStringList{"id", "question", "answer"};
    QTest::newRow("tops") << "tops" << QStringList{"name", "json"};
}

void TestDatabase::schemaHasEveryTable()
{
    QFETCH(QString, table);
    QFETCH(QStringList, expected);
    QCOMPARE(columns(table), expected);
}

void TestDatabase::defaultsAndSinglePlayerConfigRow()
{
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT count(*) FROM player_config"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(KvoDatabase::schemaVersion(), KvoDatabase::currentSchemaVersion());
    QCOMPARE(KvoDatabase::currentSchemaVersion(), 2);

    // The UPDATEs of the remembered login carry no WHERE: they must reach
    // the one row.
    QVERIFY(KvoDatabase::query(QStringLiteral(
        "UPDATE `player_config` SET `remember_me` = 1, `last_login` = 'bob'")).isActive());
    q = KvoDatabase::query(QStringLiteral("SELECT remember_me, last_login, last_flush FROM player_config"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toString(), QStringLiteral("bob"));
    QCOMPARE(q.value(2).toLongLong(), 0);

    QVERIFY(KvoDatabase::query(QStringLiteral("INSERT INTO configurations DEFAULT VALUES")).isActive());
    q = KvoDatabase::query(QStringLiteral(
        "SELECT notifications_mask, volume, already_imported, path_videos FROM configurations"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 774);
    QCOMPARE(q.value(1).toInt(), 100);
    QCOMPARE(q.value(2).toString(), QStringLiteral("false"));
    QVERIFY(q.value(3).isNull());

    // Rows written with only the key columns keep usable defaults.
    QSqlQuery ins(KvoDatabase::database());
    ins.prepare(QStringLiteral("INSERT INTO `videos` (`id_user`, `KvoPath`, `fileid`, `hidden`, "
                               "`alreadyseen`) VALUES (:id_user, :path, :fileid, :hidden, :already)"));
    ins.bindValue(QStringLiteral(":id_user"), QStringLiteral("u1"));
    ins.bindValue(QStringLiteral(":path"), QStringLiteral("/v/a.qoz"));
    ins.bindValue(QStringLiteral(":fileid"), 812);
    ins.bindValue(QStringLiteral(":hidden"), 0);
    ins.bindValue(QStringLiteral(":already"), 40);
    QVERIFY2(ins.exec(), qPrintable(ins.lastError().text()));
    // The pair (user, file id) is unique.
    QVERIFY(!ins.exec());
    q = KvoDatabase::query(QStringLiteral("SELECT id_purchase, duration, t_chapter, title FROM videos"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    QCOMPARE(q.value(1).toInt(), 0);
    QCOMPARE(q.value(2).toString(), QString(""));
    QVERIFY(q.value(3).isNull());
}

void TestDatabase::reopenKeepsDataAndVersion()
{
    QVERIFY(KvoDatabase::query(QStringLiteral("INSERT INTO faq (id, question, answer) VALUES (3, 'q', 'a')")).isActive());
    KvoDatabase::close();
    QVERIFY(!KvoDatabase::isOpen());
    QVERIFY(KvoDatabase::open(dbPath()));
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT id, question FROM faq"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 3);
    q = KvoDatabase::query(QStringLiteral("SELECT count(*), max(db_version) FROM player_config"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toInt(), KvoDatabase::currentSchemaVersion());
    q = KvoDatabase::query(QStringLiteral("PRAGMA journal_mode"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
}

void TestDatabase::migratesOldVersion()
{
    // A file with an incomplete schema, no version and two player_config
    // rows is completed and repaired, keeping what it held.
    KvoDatabase::close();
    const QString old = m_dir.filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(old);
        QVERIFY(raw.open());
        QSqlQuery q(raw);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE player_config (remember_me INTEGER DEFAULT 0, "
                                      "last_login TEXT DEFAULT '', last_password TEXT DEFAULT '', "
                                      "last_id_user TEXT DEFAULT '', last_flush INTEGER DEFAULT 0, "
                                      "db_version INTEGER DEFAULT 0)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO player_config (last_login) VALUES ('first')")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO player_config (last_login) VALUES ('second')")));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    QVERIFY(KvoDatabase::open(old));
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT last_login, db_version FROM player_config"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("first"));
    QCOMPARE(q.value(1).toInt(), KvoDatabase::currentSchemaVersion());
    QVERIFY(!q.next());
    QVERIFY(columns(QStringLiteral("tops")).contains(QStringLiteral("json")));
}

void TestDatabase::writesFromAnotherThread()
{
    QString threadError;
    bool usedOwnConnection = false;
    QThread* thread = QThread::create([&] {
        QSqlDatabase db = KvoDatabase::database();
        usedOwnConnection = db.isValid()
                            && db.connectionName() != QLatin1String(QSqlDatabase::defaultConnection);
        KvoTransaction transaction(db);
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO signets (id_video, value, name) VALUES (:v, :t, :n)"));
        for (int i = 0; i < 50; ++i) {
            q.bindValue(QStringLiteral(":v"), 7);
            q.bindValue(QStringLiteral(":t"), qint64(i) * 1000);
            q.bindValue(QStringLiteral(":n"), QStringLiteral("mark %1").arg(i));
            if (!q.exec())
                threadError = q.lastError().text();
        }
        if (!transaction.commit())
            threadError = QStringLiteral("commit failed");
    });
    thread->start();
    QVERIFY(thread->wait(30000));
    delete thread;
    QVERIFY2(threadError.isEmpty(), qPrintable(threadError));
    QVERIFY(usedOwnConnection);
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT count(*) FROM signets WHERE id_video = 7"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 50);
    // The ended thread's connection was dropped with it.
    for (const QString& name : QSqlDatabase::connectionNames())
        QVERIFY2(!name.startsWith(QLatin1String("kvo-")), qPrintable(name));
}

void TestDatabase::transactionRollsBack()
{
    {
        KvoTransaction transaction(KvoDatabase::database());
        QVERIFY(transaction.isActive());
        QVERIFY(KvoDatabase::query(QStringLiteral("INSERT INTO tops (name, json) VALUES ('top', '[]')")).isActive());
    } // no commit
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT count(*) FROM tops"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    {
        KvoTransaction transaction(KvoDatabase::database());
        KvoDatabase::query(QStringLiteral("INSERT INTO tops (name, json) VALUES ('top', '[]')"));
        QVERIFY(transaction.commit());
        QVERIFY(!transaction.isActive());
        QVERIFY(!transaction.commit());
    }
    q = KvoDatabase::query(QStringLiteral("SELECT count(*) FROM tops"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

void TestDatabase::migratesVersion1()
{
    // A file of the first schema: its library rows stay in the library, and
    // the last synchronisation is taken as no later than the change time.
    KvoDatabase::close();
    const QString old = m_dir.filePath(QStringLiteral("v1.sqlite"));
    QFile::remove(old);
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(old);
        QVERIFY(raw.open());
        QSqlQuery q(raw);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE player_config (db_version INTEGER DEFAULT 0)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO player_config (db_version) VALUES (1)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE users (id_qoz_user TEXT UNIQUE, last_update INTEGER DEFAULT 0)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO users VALUES ('u1', 1700000000)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE purchases (id_user TEXT, id INTEGER, UNIQUE(id_user, id))")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO purchases VALUES ('u1', 10)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE videos (id_user TEXT, fileid INTEGER, UNIQUE(id_user, fileid))")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO videos VALUES ('u1', 101)")));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    QVERIFY(KvoDatabase::open(old));
    QCOMPARE(KvoDatabase::schemaVersion(), 2);
    QVERIFY(KvoDatabase::setAsideFile().isEmpty());
    QSqlQuery q = KvoDatabase::query(QStringLiteral(
        "SELECT u.last_sync, p.in_library, v.in_library FROM users u, purchases p, videos v"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), 1700000000);
    QCOMPARE(q.value(1).toInt(), 1);
    QCOMPARE(q.value(2).toInt(), 1);
}

void TestDatabase::setsAsideDamagedFile_data()
{
    QTest::addColumn<bool>("database");
    QTest::newRow("not a database") << false;
    QTest::newRow("damaged pages") << true;
}

void TestDatabase::setsAsideDamagedFile()
{
    // A file that is not a database, or whose pages are damaged, is moved
    // aside with its log, and a fresh database takes its place: the client
    // starts, the next synchronisation rebuilds the library.
    QFETCH(bool, database);
    KvoDatabase::close();
    const QString path = m_dir.filePath(QStringLiteral("damaged/database.sqlite"));
    QDir(m_dir.filePath(QStringLiteral("damaged"))).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("damaged"))));
    QByteArray original;
    if (database) {
        QVERIFY(KvoDatabase::open(path));
        QSqlQuery q(KvoDatabase::database());
        QVERIFY(q.exec(QStringLiteral("INSERT INTO faq (id, question, answer) VALUES (1, 'q', 'a')")));
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO signets (id_video, value, name) VALUES (?, ?, ?)")));
        for (int i = 0; i < 2000; ++i) {
            q.addBindValue(i);
            q.addBindValue(i * 1000);
            q.addBindValue(QStringLiteral("marque %1").arg(i));
            QVERIFY(q.exec());
        }
        KvoDatabase::close(); // checkpoints the log into the file
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() > 16 * 4096);
        f.seek(f.size() / 2);
        f.write(QByteArray(3 * 4096, '\x5a'));
        f.close();
        QVERIFY(f.open(QIODevice::ReadOnly));
        original = f.readAll();
    } else {
        original = QByteArray("this is no database, only text that goes on and on. ").repeated(200);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
    }
    QVERIFY(KvoDatabase::open(path));
    const QString aside = KvoDatabase::setAsideFile();
    QVERIFY(!aside.isEmpty());
    QVERIFY2(QFileInfo(aside).fileName().startsWith(QStringLiteral("database.sqlite.damaged-")), qPrintable(aside));
    QCOMPARE(QFileInfo(aside).absolutePath(), QFileInfo(path).absolutePath());
    QFile moved(aside);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), original);
    // The fresh file works.
    QSqlQuery q = KvoDatabase::query(QStringLiteral("PRAGMA quick_check"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    QCOMPARE(KvoDatabase::schemaVersion(), KvoDatabase::currentSchemaVersion());
    QVERIFY(KvoDatabase::query(QStringLiteral("INSERT INTO users (id_qoz_user) VALUES ('u1')")).isActive());
    q = KvoDatabase::query(QStringLiteral("SELECT count(*) FROM faq"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);

    // Opened again: nothing more to set aside.
    KvoDatabase::close();
    QVERIFY(KvoDatabase::open(path));
    QVERIFY(KvoDatabase::setAsideFile().isEmpty());
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files).size(), 1);
}

void TestDatabase::doubleQuotedLiteralsOfTops()
{
    // The list pages build these texts with the list name between double
    // quotes; the SQLite in use must take them as string literals.
    QSqlQuery q = KvoDatabase::query(QStringLiteral("INSERT INTO tops (name, json) VALUES (\"top\", \"\")"));
    QVERIFY2(q.isActive(), qPrintable(q.lastError().text()));
    QSqlQuery upd(KvoDatabase::database());
    upd.prepare(QStringLiteral("UPDATE tops SET json = :json WHERE name = :name"));
    upd.bindValue(QStringLiteral(":json"), QStringLiteral("{\"a\":1}"));
    upd.bindValue(QStringLiteral(":name"), QStringLiteral("top"));
    QVERIFY(upd.exec());
    q = KvoDatabase::query(QStringLiteral("SELECT json FROM tops WHERE name = \"top\""));
    QVERIFY2(q.next(), qPrintable(q.lastError().text()));
    QCOMPARE(q.value(0).toString(), QStringLiteral("{\"a\":1}"));
    q = KvoDatabase::query(QStringLiteral("SELECT json FROM tops WHERE name = \"fave\""));
    QVERIFY(q.isActive());
    QVERIFY(!q.next());
}

void TestDatabase::queryOnClosedDatabase()
{
    KvoDatabase::close();
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT 1"));
    QVERIFY(!q.isActive());
    QVERIFY(!q.next());
    QVERIFY(!KvoDatabase::database().isValid());
    QCOMPARE(KvoDatabase::schemaVersion(), 0);
    QVERIFY(!KvoTransaction(KvoDatabase::database()).isActive());
    QVERIFY(!KvoDatabase::open(QString()));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
