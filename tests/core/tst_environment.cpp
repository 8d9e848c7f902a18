#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoPlatform.h"
#include "KvoTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

// Folders, settings, the language table, the user's names and folders.
class TestEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void foldersUnderPreferences();
    void languageTable();
    void startupLanguage();
    void sanitize_data();
    void sanitize();
    void sanitizeLengthCap();
    void sanitizeFromThreads();
    void currentUser();
    void videoPathDefaultAndStored();
    void setVideoPathWithoutConfigurationRow();
    void flushCache();
    void launchPendingUpdate();
    void startedProgramGetsStandardDescriptorsOnly();
    void nearestExistingFolder();
    void legacyDataMovesOnce();
    void databaseOwnerOnly();

private:
    void addUserWithConfiguration(const QString& userId, const QVariant& pathVideos);
    static QString native(const QString& path) { return QDir::toNativeSeparators(path); }

    std::unique_ptr<KvoTestHome> m_home;
    // The owner, group and others bits (not the "current user" ones).
    static constexpr QFile::Permissions AllModes = QFile::Permissions(0x7077);
};

void TestEnvironment::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    QVERIFY(KvoDatabase::openForCurrentLanguage());
}

void TestEnvironment::cleanupTestCase()
{
    KvoDatabase::close();
    m_home.reset();
}

void TestEnvironment::init()
{
    KvoEnvironment::currentUserSetup();
    KvoDatabase::query(QStringLiteral("DELETE FROM users"));
    KvoDatabase::query(QStringLiteral("DELETE FROM configurations"));
}

void TestEnvironment::addUserWithConfiguration(const QString& userId, const QVariant& pathVideos)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO configurations (path_videos) VALUES (:p)"));
    q.bindValue(QStringLiteral(":p"), pathVideos);
    QVERIFY(q.exec());
    const qint64 configuration = q.lastInsertId().toLongLong();
    q.prepare(QStringLiteral("INSERT INTO users (id_qoz_user, id_configuration) VALUES (:u, :c)"));
    q.bindValue(QStringLiteral(":u"), userId);
    q.bindValue(QStringLiteral(":c"), configuration);
    QVERIFY(q.exec());
}

// Data kept beside the settings by earlier versions moves to the data folder
// once; a database already in the new place is never overwritten.
void TestEnvironment::legacyDataMovesOnce()
{
    const QString settings = KvoEnvironment::settingsFolder();
    const auto write = [](const QString& path, const QByteArray& content) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    };
    // English: nothing in the new place yet.
    const QString oldEnglish = settings + QStringLiteral("/en_GB");
    const QString newEnglish = native(m_home->path() + QStringLiteral("/home/.local/share/Qozmira/Vistrelle/en_GB"));
    QFile::remove(newEnglish + QStringLiteral("/database.sqlite"));
    write(oldEnglish + QStringLiteral("/database.sqlite"), "old english");
    write(oldEnglish + QStringLiteral("/database.sqlite-wal"), "its log");
    write(oldEnglish + QStringLiteral("/cache/software_1.png"), "image");
    write(oldEnglish + QStringLiteral("/temp/part"), "temp");
    // French: the database in use is in the new place already.
    const QString oldFrench = settings + QStringLiteral("/fr_FR");
    const QString newFrench = native(m_home->path() + QStringLiteral("/home/.local/share/Qozmira/Vistrelle/fr_FR"));
    QVERIFY(QFileInfo::exists(newFrench + QStringLiteral("/database.sqlite")));
    const QByteArray inUse = read(newFrench + QStringLiteral("/database.sqlite"));
    write(oldFrench + QStringLiteral("/database.sqlite"), "old french");
    write(oldFrench + QStringLiteral("/database.sqlite-wal"), "old french log");

    KvoEnvironment::init();
    QCOMPARE(read(newEnglish + QStringLiteral("/database.sqlite")), QByteArray("old english"));
    QCOMPARE(read(newEnglish + QStringLiteral("/database.sqlite-wal")), QByteArray("its log"));
    QVERIFY(!QFileInfo::exists(oldEnglish));
    QCOMPARE(read(newFrench + QStringLiteral("/database.sqlite")), inUse);
    QVERIFY(read(newFrench + QStringLiteral("/database.sqlite-wal")) != QByteArray("old french log"));
    QCOMPARE(read(oldFrench + QStringLiteral("/database.sqlite")), QByteArray("old french"));

    // Once: a second start changes nothing.
    KvoEnvironment::init();
    QCOMPARE(read(newEnglish + QStringLiteral("/database.sqlite")), QByteArray("old english"));
    QCOMPARE(read(oldFrench + QStringLiteral("/database.sqlite")), QByteArray("old french"));
    QDir(oldFrench).removeRecursively();
    QFile::remove(newEnglish + QStringLiteral("/database.sqlite"));
    QFile::remove(newEnglish + QStringLiteral("/database.sqlite-wal"));
}

// The database holds the encoded password: nobody but its owner reads it,
// from its creation on, and an older file is closed on its next opening.
void TestEnvironment::databaseOwnerOnly()
{
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    KvoDatabase::query(QStringLiteral("DELETE FROM users")); // something in the log
    QCOMPARE(QFileInfo(KvoEnvironment::databasePath()).permissions() & AllModes, ownerOnly);
    if (QFileInfo::exists(KvoEnvironment::databasePath() + QStringLiteral("-wal")))
        QCOMPARE(QFileInfo(KvoEnvironment::databasePath() + QStringLiteral("-wal")).permissions() & AllModes,
                 ownerOnly);

    const QString older = m_home->path() + QStringLiteral("/older.sqlite");
    {
        QFile file(older);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::setPermissions(older, ownerOnly | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(KvoDatabase::open(older));
    QCOMPARE(QFileInfo(older).permissions() & AllModes, ownerOnly);
    QVERIFY(KvoDatabase::openForCurrentLanguage());
}

// A file dialog starts in the video folder, or as near to it as exists.
void TestEnvironment::nearestExistingFolder()
{
    const QString home = native(m_home->path() + QStringLiteral("/home"));
    const QString documents = native(home + QStringLiteral("/Documents"));
    QCOMPARE(KvoEnvironment::nearestExistingFolder(documents), documents);
    QCOMPARE(KvoEnvironment::nearestExistingFolder(documents + QStringLiteral("/Vistrelle/fr_FR/alice")), documents);
    QCOMPARE(KvoEnvironment::nearestExistingFolder(documents + QStringLiteral("/")), documents);
    // A file names its folder.
    QFile file(documents + QStringLiteral("/a.qoz"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(KvoEnvironment::nearestExistingFolder(file.fileName()), documents);
    QCOMPARE(KvoEnvironment::nearestExistingFolder(QString()), home);
    QCOMPARE(KvoEnvironment::nearestExistingFolder(QStringLiteral("/no/such/place")), native(QStringLiteral("/")));
}

void TestEnvironment::foldersUnderPreferences()
{
    const QString prefs = native(m_home->path() + QStringLiteral("/home/.config"));
    QCOMPARE(KvoEnvironment::preferencesPath(), prefs);
    QCOMPARE(KvoEnvironment::settingsFolder(), native(prefs + QStringLiteral("/Qozmira/Vistrelle")));
    QCOMPARE(KvoEnvironment::settingsPath(),
             native(prefs + QStringLiteral("/Qozmira/Vistrelle/Vistrelle.ini")));
    QCOMPARE(KvoEnvironment::storageLocation(), native(m_home->path() + QStringLiteral("/home/Documents")));

    // The database in the data folder, images and temporary files in the
    // cache folder, one of each per content language.
    for (int i = 0; i < KvoEnvironment::languageCount(); ++i) {
        KvoEnvironment::setContentLanguageIndex(i);
        const QString locale = KvoEnvironment::language(i).locale;
        const QString data = native(m_home->path() + QStringLiteral("/home/.local/share/Qozmira/Vistrelle/") + locale);
        const QString cache = native(m_home->path() + QStringLiteral("/home/.cache/Qozmira/Vistrelle/") + locale);
        QCOMPARE(KvoEnvironment::dataPath(), data);
        QCOMPARE(KvoEnvironment::cachePath(), cache + QDir::separator() + QStringLiteral("images"));
        QCOMPARE(KvoEnvironment::tempPath(), cache + QDir::separator() + QStringLiteral("temp"));
        QCOMPARE(KvoEnvironment::databasePath(), data + QDir::separator() + QStringLiteral("database.sqlite"));
        QVERIFY(QFileInfo(KvoEnvironment::cachePath()).isDir());
        QVERIFY(QFileInfo(KvoEnvironment::tempPath()).isDir());
        // Owner only: the database holds the encoded password.
        QCOMPARE(QFileInfo(data).permissions() & AllModes, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!QFileInfo::exists(native(prefs + QStringLiteral("/Qozmira/Vistrelle/") + locale)));
    }
    KvoEnvironment::setContentLanguageIndex(0);

    QSettings settings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("hasToUpdate")).toInt(), 0);
    QVERIFY(settings.contains(QStringLiteral("updatePath")));
    QVERIFY(!settings.contains(QStringLiteral("lastInterfaceLang")));

    // init() again keeps what was written in between.
    settings.setValue(QStringLiteral("hasToUpdate"), 1);
    settings.sync();
    KvoEnvironment::init();
    settings.sync();
    QCOMPARE(settings.value(QStringLiteral("hasToUpdate")).toInt(), 1);
    settings.setValue(QStringLiteral("hasToUpdate"), 0);
}

void TestEnvironment::languageTable()
{
    QCOMPARE(KvoEnvironment::languageCount(), 2);
    const Language* rows = KvoEnvironment::languages();
    QCOMPARE(rows[0].file, QStringLiteral("francais.qm"));
    QCOMPARE(rows[0].locale, QStringLiteral("fr_FR"));
    QCOMPARE(rows[0].name, QStringLiteral("Français"));
    QCOMPARE(rows[0].flag, QStringLiteral("flag_fr.png"));
    QCOMPARE(rows[1].file, QStringLiteral("english.qm"));
    QCOMPARE(rows[1].locale, QStringLiteral("en_GB"));
    QCOMPARE(rows[1].flag, QStringLiteral("flag_gb.png"));
    QVERIFY(rows[2].file.isEmpty()); // the end row callers loop to
    QVERIFY(KvoEnvironment::language(5).file.isEmpty());
    QVERIFY(KvoEnvironment::language(-1).file.isEmpty());

    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:9"));
    KvoEnvironment::setContentLanguageIndex(1);
    KvoEnvironment::setInterfaceLanguageIndex(0);
    QCOMPARE(KvoEnvironment::locale(), QStringLiteral("en_GB"));
    QCOMPARE(KvoEnvironment::interfaceLocale(), QStringLiteral("fr_FR"));
    QCOMPARE(KvoEnvironment::creditsUrl(), QStringLiteral("http://127.0.0.1:9/en/credits"));
    QCOMPARE(KvoEnvironment::languageField8(), QStringLiteral("http://127.0.0.1:9/en/desktop/home"));
    QVERIFY(KvoEnvironment::languageField10().startsWith(QStringLiteral("http://127.0.0.1:9/en/")));
    QVERIFY(KvoEnvironment::languageField11().startsWith(QStringLiteral("http://127.0.0.1:9/en/")));
    QVERIFY(KvoEnvironment::languageField10() != KvoEnvironment::languageField11());
    KvoEnvironment::setContentLanguageIndex(7); // ignored
    QCOMPARE(KvoEnvironment::contentLanguageIndex(), 1);
    KvoEnvironment::currentUserSetup();
    QCOMPARE(KvoEnvironment::contentLanguageIndex(), 0);
    KvoApi::setEndpointForTesting(QString());
}

void TestEnvironment::startupLanguage()
{
    QCOMPARE(KvoEnvironment::defaultInterfaceLanguageIndex(QLocale::English), 1);
    QCOMPARE(KvoEnvironment::defaultInterfaceLanguageIndex(QLocale::French), 0);
    QCOMPARE(KvoEnvironment::defaultInterfaceLanguageIndex(QLocale::German), 0);

    const int systemDefault = KvoEnvironment::defaultInterfaceLanguageIndex(QLocale::system().language());
    QSettings settings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    settings.remove(QStringLiteral("lastInterfaceLang"));
    settings.sync();
    QCOMPARE(KvoEnvironment::startupInterfaceLanguageIndex(), systemDefault);

    const QList<QPair<QVariant, int>> cases = {
        {0, 0}, {1, 1}, {2, systemDefault}, {-1, systemDefault}, {QStringLiteral("x"), systemDefault}};
    for (const auto& c : cases) {
        settings.setValue(QStringLiteral("lastInterfaceLang"), c.first);
        settings.sync();
        QCOMPARE(KvoEnvironment::startupInterfaceLanguageIndex(), c.second);
    }
    settings.setValue(QStringLiteral("lastInterfaceLang"), 1 - systemDefault);
    settings.sync();
    KvoEnvironment::init();
    QCOMPARE(KvoEnvironment::interfaceLanguageIndex(), 1 - systemDefault);
    settings.remove(QStringLiteral("lastInterfaceLang"));
}

void TestEnvironment::sanitize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "812 - Introduction.qoz" << "812 - Introduction.qoz";
    QTest::newRow("slash") << "A/B" << "A-B";
    QTest::newRow("backslash") << "A\\B" << "A-B";
    QTest::newRow("colon") << "Photo: les bases" << "Photo- les bases";
    QTest::newRow("asterisk") << "5*" << "5_";
    QTest::newRow("question") << "Why?" << "Why_";
    QTest::newRow("double quote") << "\"Lumière\"" << "'Lumière'";
    QTest::newRow("angles and pipe") << "<a|b>" << "(a-b)";
    QTest::newRow("only a slash") << "/" << "-";
    QTest::newRow("dot") << "." << "_";
    QTest::newRow("dot dot") << ".." << "_";
    QTest::newRow("dots and blanks") << " . .. " << "_";
    QTest::newRow("empty") << "" << "_";
    QTest::newRow("blank") << "   " << "_";
    QTest::newRow("trailing dots") << "Fin..." << "Fin";
    QTest::newRow("leading dot kept") << ".qoz" << ".qoz";
    QTest::newRow("placeholder") << "%1 %2" << "%1 %2";
    QTest::newRow("control chars") << QString("a\tb\nc") + QChar(0) + QChar(0x7F) << "a_b_c__";
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "x" << "_x";
    QTest::newRow("emoji kept") << QString::fromUtf8("\xF0\x9F\x8E\xAC film") << QString::fromUtf8("\xF0\x9F\x8E\xAC film");
}

void TestEnvironment::sanitize()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString out = KvoEnvironment::sanitizeFileName(name);
    QCOMPARE(out, expected);
    QCOMPARE(KvoEnvironment::sanitizeFileName(name), out);
    // Sanitizing is stable: a sanitized name goes through unchanged.
    QCOMPARE(KvoEnvironment::sanitizeFileName(out), out);
}

void TestEnvironment::sanitizeLengthCap()
{
    const QString longName = QString(300, QLatin1Char('a'));
    QCOMPARE(KvoEnvironment::sanitizeFileName(longName), QString(200, QLatin1Char('a')));

    // The extension survives the cut.
    const QString longTitle = QStringLiteral("812 - ") + QString(300, QLatin1Char('t')) + QStringLiteral(".qoz");
    const QString cut = KvoEnvironment::sanitizeFileName(longTitle);
    QVERIFY(cut.size() <= 200);
    QVERIFY(cut.startsWith(QStringLiteral("812 - ttt")));
    QVERIFY(cut.endsWith(QStringLiteral("t.qoz")));

    // A surrogate pair straddling the limit is not split, and the file name
    // stays within the file system's byte limit.
    const QString pair = QString::fromUtf8("\xF0\x9F\x8E\xAC");
    QString emoji = QString(199, QLatin1Char('b')) + pair + QStringLiteral("tail");
    QString out = KvoEnvironment::sanitizeFileName(emoji);
    QCOMPARE(out, QString(199, QLatin1Char('b')));
    emoji = QString(150, QChar(0x00E9)) + pair.repeated(20);
    out = KvoEnvironment::sanitizeFileName(emoji);
    QVERIFY(out.toUtf8().size() <= 240);
    QVERIFY(!out.back().isHighSurrogate());
    QVERIFY(QString::fromUtf8(out.toUtf8()) == out);

    // Really usable as a file name.
    QTemporaryDir dir;
    QFile f(dir.filePath(KvoEnvironment::sanitizeFileName(QString(400, QChar(0x5BC6)) + QStringLiteral(".qoz"))));
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(f.errorString()));
}

void TestEnvironment::sanitizeFromThreads()
{
    QStringList names;
    for (int i = 0; i < 2000; ++i)
        names << QStringLiteral("%1 - Cours: \"n°%1\" / partie*%2?").arg(i).arg(i % 7);
    const QStringList parallel = QtConcurrent::blockingMapped(names, [](const QString& n) {
        return KvoEnvironment::sanitizeFileName(n);
    });
    QCOMPARE(parallel.size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(parallel.at(i), KvoEnvironment::sanitizeFileName(names.at(i)));
        for (const QChar bad : {QChar('/'), QChar('\\'), QChar(':'), QChar('*'), QChar('"'), QChar('?')})
            QVERIFY(!parallel.at(i).contains(bad));
    }
}

void TestEnvironment::currentUser()
{
    KvoEnvironment::setCurrentUser(QStringLiteral("Jean/Pierre"));
    KvoEnvironment::setCurrentUserId(QStringLiteral("AbC123"));
    QCOMPARE(KvoEnvironment::currentUser(), QStringLiteral("jean-pierre"));
    QCOMPARE(KvoEnvironment::currentUserId(), QStringLiteral("AbC123")); // stored form untouched
    KvoEnvironment::setContentLanguageIndex(1);
    KvoEnvironment::currentUserSetup();
    QCOMPARE(KvoEnvironment::currentUser(), QString());
    QCOMPARE(KvoEnvironment::currentUserId(), QString());
    QCOMPARE(KvoEnvironment::contentLanguageIndex(), 0);
}

void TestEnvironment::videoPathDefaultAndStored()
{
    KvoEnvironment::setCurrentUser(QStringLiteral("Marie"));
    KvoEnvironment::setCurrentUserId(QStringLiteral("u1"));
    const QString documents = m_home->path() + QStringLiteral("/home/Documents");
    const QString expectedDefault = native(documents + QStringLiteral("/Vistrelle/Français/marie"));
    QCOMPARE(KvoEnvironment::defaultVideoPath(), expectedDefault);
    QCOMPARE(KvoEnvironment::videoPath(), expectedDefault); // no users row

    addUserWithConfiguration(QStringLiteral("u1"), QVariant()); // NULL path
    QCOMPARE(KvoEnvironment::videoPath(), expectedDefault);

    const QString chosen = m_home->path() + QStringLiteral("/films/a b'c");
    KvoEnvironment::setVideoPath(chosen + QStringLiteral("/"));
    QVERIFY(QFileInfo(chosen).isDir());
    QCOMPARE(KvoEnvironment::videoPath(), native(chosen));

    // Another user's stored folder does not leak.
    KvoEnvironment::setCurrentUserId(QStringLiteral("u2"));
    QCOMPARE(KvoEnvironment::videoPath(), expectedDefault);

    KvoEnvironment::setContentLanguageIndex(1);
    QCOMPARE(KvoEnvironment::defaultVideoPath(), native(documents + QStringLiteral("/Vistrelle/English/marie")));

    // Read from another thread through that thread's connection.
    KvoEnvironment::setCurrentUserId(QStringLiteral("u1"));
    const QString fromThread = QtConcurrent::run([] { return KvoEnvironment::videoPath(); }).result();
    QCOMPARE(fromThread, native(chosen));
}

void TestEnvironment::setVideoPathWithoutConfigurationRow()
{
    KvoEnvironment::setCurrentUserId(QStringLiteral("nobody"));
    const QString folder = m_home->path() + QStringLiteral("/never");
    KvoEnvironment::setVideoPath(folder);
    QVERIFY(!QFileInfo::exists(folder));
    QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT count(*) FROM configurations"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void TestEnvironment::flushCache()
{
    const QString cache = KvoEnvironment::cachePath();
    auto put = [&](const QString& name) {
        QFile f(cache + QDir::separator() + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    auto setLastFlush = [](qint64 secs) {
        QSqlQuery q(KvoDatabase::database());
        q.prepare(QStringLiteral("UPDATE player_config SET last_flush = :t"));
        q.bindValue(QStringLiteral(":t"), secs);
        QVERIFY(q.exec());
    };
    auto lastFlush = [] {
        QSqlQuery q = KvoDatabase::query(QStringLiteral("SELECT last_flush FROM player_config"));
        return q.next() ? q.value(0).toLongLong() : -1;
    };
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 day = 24 * 3600;

    put(QStringLiteral("thumb.png"));
    setLastFlush(0);
    KvoEnvironment::flushCache(false); // offline: nothing
    QVERIFY(QFile::exists(cache + QDir::separator() + QStringLiteral("thumb.png")));
    QCOMPARE(lastFlush(), 0);

    setLastFlush(now - 6 * day); // six days ago: not yet
    KvoEnvironment::flushCache(true);
    QVERIFY(QFile::exists(cache + QDir::separator() + QStringLiteral("thumb.png")));
    QCOMPARE(lastFlush(), now - 6 * day);

    put(QStringLiteral(".hidden"));
    setLastFlush(now - 7 * day - 1);
    KvoEnvironment::flushCache(true);
    QVERIFY(QDir(cache).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(lastFlush() >= now);
    QVERIFY(QFileInfo(cache).isDir()); // the folder itself stays

    put(QStringLiteral("again.png"));
    KvoEnvironment::flushCache(true); // just flushed
    QVERIFY(QFile::exists(cache + QDir::separator() + QStringLiteral("again.png")));

    setLastFlush(now + 30 * day); // a clock set back does not block the flush
    KvoEnvironment::flushCache(true);
    QVERIFY(!QFile::exists(cache + QDir::separator() + QStringLiteral("again.png")));
}

void TestEnvironment::launchPendingUpdate()
{
    QSettings settings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    // A missing package: the keys are reset and nothing is started.
    settings.setValue(QStringLiteral("hasToUpdate"), 1);
    settings.setValue(QStringLiteral("updatePath"),
                      native(m_home->path() + QStringLiteral("/gone/update \"1\".deb")));
    settings.sync();
    QVERIFY(!KvoEnvironment::launchPendingUpdate());
    settings.sync();
    QCOMPARE(settings.value(QStringLiteral("hasToUpdate")).toInt(), 0);
    QCOMPARE(settings.value(QStringLiteral("updatePath")).toString(), QString());

    // Nothing recorded: nothing to do.
    QVERIFY(!KvoEnvironment::launchPendingUpdate());

    // Only a Debian package reaches the opener (a stand-in on the PATH
    // that leaves a mark): a script recorded in its place is not run.
    const QString bin = m_home->path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    const QString mark = m_home->path() + QStringLiteral("/opened");
    QFile opener(bin + QStringLiteral("/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\necho \"$1\" >> '" + QFile::encodeName(mark) + "'\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);
    const auto launch = [&](const QString& name, const QByteArray& bytes) {
        QFile package(m_home->path() + QLatin1Char('/') + name);
        if (!package.open(QIODevice::WriteOnly) || package.write(bytes) != bytes.size())
            return false;
        package.close();
        QSettings s(KvoEnvironment::settingsPath(), QSettings::IniFormat);
        s.setValue(QStringLiteral("hasToUpdate"), 1);
        s.setValue(QStringLiteral("updatePath"), native(package.fileName()));
        s.sync();
        return KvoEnvironment::launchPendingUpdate();
    };
    const bool script = launch(QStringLiteral("update.sh"), "#!/bin/sh\ntouch /tmp/x\n");
    const bool other = launch(QStringLiteral("update.deb"), "!<arch>\nlibx.o/         0           0     0     644     2         `\nzz");
    const bool deb = launch(QStringLiteral("update.deb"),
                            "!<arch>\ndebian-binary   0           0     0     100644  4         `\n2.0\n");
    qputenv("PATH", path);
    QVERIFY(!script);
    QVERIFY(!other);
    QVERIFY(deb);
    const auto marks = [&mark] {
        QFile file(mark);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_COMPARE(marks(), QFile::encodeName(native(m_home->path() + QStringLiteral("/update.deb"))) + '\n');
    settings.sync();
    QCOMPARE(settings.value(QStringLiteral("updatePath")).toString(), QString());
}

void TestEnvironment::startedProgramGetsStandardDescriptorsOnly()
{
    // Libraries open files and sockets without close-on-exec; a started
    // program (the opener of the update package, the browser it starts)
    // must not inherit them.
    const int fd = ::open("/dev/null", O_RDONLY);
    QVERIFY(fd >= 0);
    const int inherited = ::dup2(fd, 57);
    ::close(fd);
    QCOMPARE(inherited, 57);
    QVERIFY(!(::fcntl(inherited, F_GETFD) & FD_CLOEXEC));

    const QString out = m_home->path() + QStringLiteral("/descriptors");
    const QString script = m_home->path() + QStringLiteral("/probe");
    QFile probe(script);
    QVERIFY(probe.open(QIODevice::WriteOnly));
    probe.write("#!/bin/sh\nif [ -e /proc/$$/fd/57 ]; then echo open; else echo closed; fi > '"
                + QFile::encodeName(out) + ".part'\nmv '" + QFile::encodeName(out) + ".part' '"
                + QFile::encodeName(out) + "'\n");
    probe.close();
    QVERIFY(probe.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const bool started = KvoPlatform::startDetached(script, {});
    ::close(inherited);
    QVERIFY(started);
    QTRY_VERIFY(QFile::exists(out));
    QFile result(out);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), QByteArray("closed\n"));
    // What the function did before stays: a missing program is refused.
    QVERIFY(!KvoPlatform::startDetached(m_home->path() + QStringLiteral("/none"), {}));
}

QTEST_GUILESS_MAIN(TestEnvironment)
#include "tst_environment.moc"
