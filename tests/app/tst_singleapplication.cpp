#include "KvoEnvironment.h"
#include "KvoInstanceGuard.h"
#include "KvoSingleApplication.h"
#include "KvoTestSupport.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileOpenEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace {

const QString AppKey = QStringLiteral("~Qozmira~Vistrelle~");

// Sends from a thread of its own: the receiving guard lives on this thread
// and needs its event loop while the sender blocks.
class AsyncSend
{
public:
    AsyncSend(const KvoInstanceGuard& guard, const QString& text, int timeoutMs = 5000)
    {
        m_thread.reset(QThread::create([this, &guard, text, timeoutMs] {
            m_result = guard.sendMessage(text, timeoutMs);
        }));
        m_thread->start();
    }
    ~AsyncSend() { m_thread->wait(); }
    bool finished() const { return m_thread->isFinished(); }
    bool result() const { return m_result; }

private:
    std::unique_ptr<QThread> m_thread;
    bool m_result = false;
};

// Another process owning a key: this test program started with --hold.
class Holder
{
public:
    explicit Holder(const QString& key)
    {
        m_process.setProgram(QCoreApplication::applicationFilePath());
        m_process.setArguments({QStringLiteral("--hold"), key});
        m_process.start();
        if (m_process.waitForStarted(5000)) {
            while (!m_output.contains("ready\n") && m_process.waitForReadyRead(5000))
                m_output += m_process.readAllStandardOutput();
        }
    }
    ~Holder()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isReady() const { return m_output.contains("ready\n"); }
    QByteArray output()
    {
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }
    void crash()
    {
        m_process.kill(); // SIGKILL: no destructor, lock and socket stay
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

QString vistrelleBinary()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vistrelle");
}

} // namespace

class TstSingleApplication : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void deliversToRunningInstance_data();
    void deliversToRunningInstance();
    void refusesOversizedMessage();
    void keepsItemsUntilReceiverReady();
    void crashedOwnerDoesNotBlock_data();
    void crashedOwnerDoesNotBlock();
    void livingOwnerKeepsKeyHowEverOld();
    void normalizeArgument_data();
    void normalizeArgument();
    void secondStartForwardsItsArgument_data();
    void secondStartForwardsItsArgument();
    void secondStartWithoutArgumentTellsAndExits_data();
    void secondStartWithoutArgumentTellsAndExits();
    void translationsLoad();
    void translationsFoundWhenInstalled();

private:
    KvoSingleApplication* app() { return KvoSingleApplication::instance(); }
    QTemporaryDir m_cwd;
};

void TstSingleApplication::init()
{
    app()->setReceiverReady(true);
}

void TstSingleApplication::cleanup()
{
    app()->setReceiverReady(true); // drops nothing: empties what was kept
}

void TstSingleApplication::deliversToRunningInstance_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isUrl");
    QTest::newRow("plain") << QStringLiteral("bonjour") << false;
    QTest::newRow("accents and more") << QStringLiteral("Vidéo « été » à Noël — ✓ 日本 🎬") << false;
    QTest::newRow("file path") << QStringLiteral("/home/zoé/Vidéos/cours 1/leçon:2.qoz") << false;
    QTest::newRow("link") << QStringLiteral("vorn:download:12") << true;
    QTest::newRow("link with accents") << QStringLiteral("vorn:search:été") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("newlines") << QStringLiteral("a\nb\r\n\nc\n") << false;
    QTest::newRow("very long") << QString(3 * 1024 * 1024, QChar(0x00e9)) << false; // 6 MB of UTF-8
}

void TstSingleApplication::deliversToRunningInstance()
{
    QFETCH(QString, text);
    QFETCH(bool, isUrl);

    QVERIFY(!app()->isRunning());
    KvoInstanceGuard second(AppKey);
    QVERIFY(second.isRunning());
    QVERIFY(!second.isListening());

    QSignalSpy messages(app(), &KvoSingleApplication::messageAvailable);
    QSignalSpy urls(app(), &KvoSingleApplication::urlAvailable);
    AsyncSend send(second, text, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(send.finished(), 25000);
    QVERIFY(send.result());

    if (isUrl) {
        QCOMPARE(messages.count(), 0);
        QCOMPARE(urls.count(), 1);
        const QUrl url = urls.at(0).at(0).toUrl();
        QCOMPARE(url.scheme(), QStringLiteral("vorn"));
        QCOMPARE(url.toString(), text);
    } else {
        QCOMPARE(urls.count(), 0);
        QCOMPARE(messages.count(), 1);
        const QString got = messages.at(0).at(0).toString();
        QCOMPARE(got.size(), text.size());
        QVERIFY(got == text);
    }
}

void TstSingleApplication::refusesOversizedMessage()
{
    KvoInstanceGuard second(AppKey);
    QVERIFY(second.isRunning());
    QSignalSpy messages(app(), &KvoSingleApplication::messageAvailable);
    // Refused before anything is sent, so no thread is needed.
    QVERIFY(!second.sendMessage(QString(KvoInstanceGuard::MaxMessageBytes + 1, QLatin1Char('x')), 2000));
    // The owner itself has nobody to send to.
    QVERIFY(!app()->sendMessage(QStringLiteral("moi"), 500));
    QCoreApplication::processEvents();
    QCOMPARE(messages.count(), 0);
}

void TstSingleApplication::keepsItemsUntilReceiverReady()
{
    QStringList log;
    QObject receiver;
    connect(app(), &KvoSingleApplication::messageAvailable, &receiver,
            [&log](const QString& m) { log << QStringLiteral("message:") + m; });
    connect(app(), &KvoSingleApplication::urlAvailable, &receiver,
            [&log](const QUrl& u) { log << QStringLiteral("url:") + u.toString(); });
    connect(app(), &KvoSingleApplication::fileOpenRequested, &receiver,
            [&log](const QString& p) { log << QStringLiteral("file:") + p; });
    connect(app(), &KvoSingleApplication::urlOpenRequested, &receiver,
            [&log](const QUrl& u) { log << QStringLiteral("open:") + u.toString(); });
    connect(app(), &KvoSingleApplication::closeRequested, &receiver,
            [&log] { log << QStringLiteral("close"); });

    app()->setReceiverReady(false);
    KvoInstanceGuard second(AppKey);
    {
        AsyncSend send(second, QStringLiteral("/tmp/premier.qoz"));
        QTRY_VERIFY_WITH_TIMEOUT(send.finished(), 10000);
        QVERIFY(send.result());
    }
    QFileOpenEvent openFile(QStringLiteral("/tmp/ouvert.qoz"));
    QCoreApplication::sendEvent(app(), &openFile);
    QCloseEvent close1;
    QCoreApplication::sendEvent(app(), &close1);
    {
        AsyncSend send(second, QStringLiteral("vorn:download:7"));
        QTRY_VERIFY_WITH_TIMEOUT(send.finished(), 10000);
        QVERIFY(send.result());
    }
    QFileOpenEvent openUrl(QUrl(QStringLiteral("vorn:download:8")));
    QCoreApplication::sendEvent(app(), &openUrl);
    QCloseEvent close2;
    QCoreApplication::sendEvent(app(), &close2);

    QVERIFY(log.isEmpty());
    // Close requests during the sign-in are not kept for the next window.
    QCOMPARE(app()->pendingCount(), 4);

    app()->setReceiverReady(true);
    const QStringList expected{QStringLiteral("message:/tmp/premier.qoz"),
                               QStringLiteral("file:/tmp/ouvert.qoz"),
                               QStringLiteral("url:vorn:download:7"),
                               QStringLiteral("open:vorn:download:8")};
    QCOMPARE(log, expected);
    QCOMPARE(app()->pendingCount(), 0);

    // Ready: straight through, nothing kept.
    log.clear();
    {
        AsyncSend send(second, QStringLiteral("ensuite"));
        QTRY_VERIFY_WITH_TIMEOUT(send.finished(), 10000);
        QVERIFY(send.result());
    }
    QCOMPARE(log, QStringList{QStringLiteral("message:ensuite")});
    QCOMPARE(app()->pendingCount(), 0);
    // A ready window gets the close request at once.
    QCloseEvent close3;
    QCoreApplication::sendEvent(app(), &close3);
    QCOMPARE(log.last(), QStringLiteral("close"));

    // Between two sessions a close request is dropped, not replayed.
    log.clear();
    app()->setReceiverReady(false);
    QCloseEvent close4;
    QCoreApplication::sendEvent(app(), &close4);
    app()->setReceiverReady(true);
    QVERIFY(log.isEmpty());
}

void TstSingleApplication::crashedOwnerDoesNotBlock_data()
{
    QTest::addColumn<QString>("leftover");
    QTest::newRow("killed owner") << QStringLiteral("killed");
    QTest::newRow("lock of a dead process") << QStringLiteral("deadLock");
    QTest::newRow("socket file only") << QStringLiteral("socketFile");
    QTest::newRow("dead lock and socket file") << QStringLiteral("both");
}

void TstSingleApplication::crashedOwnerDoesNotBlock()
{
    QFETCH(QString, leftover);
    const QString key = QStringLiteral("tst-crash-") + leftover;
    const QString lockPath = KvoInstanceGuard::lockPathForKey(key);
    const QString socketPath = KvoInstanceGuard::socketPathForKey(key);

    if (leftover == QLatin1String("killed")) {
        Holder holder(key);
        QVERIFY(holder.isReady());
        {
            KvoInstanceGuard probe(key);
            QVERIFY(probe.isRunning());
        }
        holder.crash();
    }
    if (leftover == QLatin1String("deadLock") || leftover == QLatin1String("both")) {
        QProcess gone;
        gone.start(QStringLiteral("true"), QStringList());
        QVERIFY(gone.waitForStarted(5000));
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished(5000));
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(QByteArray::number(pid) + "\nvistrelle\n" + QSysInfo::machineHostName().toUtf8() + '\n');
        lock.close();
    }
    if (leftover == QLatin1String("socketFile") || leftover == QLatin1String("both")) {
        QFile socketFile(socketPath);
        QVERIFY(socketFile.open(QIODevice::WriteOnly));
        socketFile.close();
    }
    QVERIFY(QFile::exists(lockPath) || QFile::exists(socketPath));

    KvoInstanceGuard owner(key);
    QVERIFY(!owner.isRunning());
    QVERIFY(owner.isListening());

    KvoInstanceGuard second(key);
    QVERIFY(second.isRunning());
    QSignalSpy received(&owner, &KvoInstanceGuard::messageReceived);
    AsyncSend send(second, QStringLiteral("après la panne"));
    QTRY_VERIFY_WITH_TIMEOUT(send.finished(), 10000);
    QVERIFY(send.result());
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("après la panne"));
}

void TstSingleApplication::livingOwnerKeepsKeyHowEverOld()
{
    const QString key = QStringLiteral("tst-living");
    Holder holder(key);
    QVERIFY(holder.isReady());
    // An instance that has run for a day still owns its key.
    QFile lock(KvoInstanceGuard::lockPathForKey(key));
    QVERIFY(lock.open(QIODevice::ReadWrite));
    QVERIFY(lock.setFileTime(QDateTime::currentDateTimeUtc().addDays(-1), QFileDevice::FileModificationTime));
    lock.close();

    KvoInstanceGuard second(key);
    QVERIFY(second.isRunning());
    QVERIFY(!second.isListening());
    QVERIFY(second.sendMessage(QStringLiteral("coucou ça va"), 5000)); // another process: no thread
    QTRY_VERIFY_WITH_TIMEOUT(holder.output().contains("got:coucou ça va\n"), 5000);
}

void TstSingleApplication::normalizeArgument_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    const QString cwd = QDir(m_cwd.path()).canonicalPath();
    QFile existing(cwd + QStringLiteral("/tst-normalize-existing.qoz"));
    existing.open(QIODevice::WriteOnly);
    existing.close();

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("link") << QStringLiteral("vorn:download:12") << QStringLiteral("vorn:download:12");
    QTest::newRow("file url") << QStringLiteral("file:///tmp/cours%201/le%C3%A7on.qoz")
                              << QStringLiteral("/tmp/cours 1/leçon.qoz");
    QTest::newRow("absolute path") << QStringLiteral("/tmp/a.qoz") << QStringLiteral("/tmp/a.qoz");
    QTest::newRow("relative existing file") << QStringLiteral("tst-normalize-existing.qoz")
                                            << cwd + QStringLiteral("/tst-normalize-existing.qoz");
    QTest::newRow("relative missing file") << QStringLiteral("absent.qoz") << QStringLiteral("absent.qoz");
    QTest::newRow("message") << QStringLiteral("bonjour le monde") << QStringLiteral("bonjour le monde");
}

void TstSingleApplication::normalizeArgument()
{
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_cwd.path()));
    const QString got = KvoSingleApplication::normalizeArgument(argument);
    QDir::setCurrent(before);
    QCOMPARE(got, expected);
}

void TstSingleApplication::secondStartForwardsItsArgument_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("isUrl");
    QTest::addColumn<QString>("expected");
    QTest::newRow("link") << QStringLiteral("vorn:download:12") << true << QStringLiteral("vorn:download:12");
    QTest::newRow("relative file") << QStringLiteral("leçon été.qoz") << false << QString();
    QTest::newRow("file url") << QStringLiteral("file:///tmp/vid%C3%A9o.qoz") << false
                              << QStringLiteral("/tmp/vidéo.qoz");
}

void TstSingleApplication::secondStartForwardsItsArgument()
{
    QFETCH(QString, argument);
    QFETCH(bool, isUrl);
    QFETCH(QString, expected);
    QVERIFY(QFile::exists(vistrelleBinary()));

    QTemporaryDir cwd;
    if (expected.isEmpty()) {
        QFile file(cwd.filePath(argument));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        expected = cwd.filePath(argument);
    }
    QSignalSpy messages(app(), &KvoSingleApplication::messageAvailable);
    QSignalSpy urls(app(), &KvoSingleApplication::urlAvailable);

    QProcess second;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(cwd.path());
    second.start(vistrelleBinary(), {argument});
    QVERIFY(second.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // It ends quietly: nothing of Qt's about handlers left registered.
    const QByteArray err = second.readAllStandardError();
    QVERIFY2(!err.contains("URL handler"), err.constData());

    if (isUrl) {
        QCOMPARE(urls.count(), 1);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(urls.at(0).at(0).toUrl().toString(), expected);
    } else {
        QCOMPARE(urls.count(), 0);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), expected);
    }
}

void TstSingleApplication::secondStartWithoutArgumentTellsAndExits_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QStringList();
    QTest::newRow("two") << QStringList{QStringLiteral("vorn:download:1"), QStringLiteral("autre")};
}

void TstSingleApplication::secondStartWithoutArgumentTellsAndExits()
{
    QFETCH(QStringList, arguments);
    QSignalSpy messages(app(), &KvoSingleApplication::messageAvailable);
    QSignalSpy urls(app(), &KvoSingleApplication::urlAvailable);

    QProcess second;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The message follows the interface language: French by default here.
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("fr_FR.UTF-8"));
    env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("fr"));
    second.setProcessEnvironment(env);
    second.start(vistrelleBinary(), arguments);
    QVERIFY(second.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitCode(), 0);
    const QString err = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("Une instance du Vistrelle est déjà lancée !")), qPrintable(err));
    QCoreApplication::processEvents();
    QCOMPARE(messages.count() + urls.count(), 0);
}

void TstSingleApplication::translationsLoad()
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/langues");
    QTranslator english;
    QVERIFY(english.load(dir + QStringLiteral("/english.qm")));
    QCOMPARE(english.translate("KvoMessageBox", "Une instance du Vistrelle est déjà lancée !"),
             QStringLiteral("An instance of Vistrelle is already running!"));
    // Texts of the forms and of the pages are collected too, and phrases
    // keep their numbers in place.
    QCOMPARE(english.translate("KvoLoginDialog", "Se connecter"), QStringLiteral("Sign in"));
    QCOMPARE(english.translate("KvoPageDownloads", "Tout télécharger"), QStringLiteral("Download all"));
    QCOMPARE(english.translate("KvoPageDownloads", "il y a %1 minutes"), QStringLiteral("%1 minutes ago"));
    QVERIFY(QFile::exists(dir + QStringLiteral("/francais.qm")));

    int englishRow = -1, frenchRow = -1;
    for (int i = 0; i < KvoEnvironment::languageCount(); ++i) {
        if (KvoEnvironment::language(i).file == QLatin1String("english.qm"))
            englishRow = i;
        if (KvoEnvironment::language(i).file == QLatin1String("francais.qm"))
            frenchRow = i;
    }
    QVERIFY(englishRow >= 0 && frenchRow >= 0);

    QVERIFY(KvoSingleApplication::installTranslation(englishRow));
    QCOMPARE(KvoEnvironment::interfaceLanguageIndex(), englishRow);
    QCOMPARE(QCoreApplication::translate("KvoMessageBox", "Une instance du Vistrelle est déjà lancée !"),
             QStringLiteral("An instance of Vistrelle is already running!"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));

    KvoSingleApplication::installTranslation(frenchRow);
    QCOMPARE(KvoEnvironment::interfaceLanguageIndex(), frenchRow);
    QCOMPARE(QCoreApplication::translate("KvoMessageBox", "Une instance du Vistrelle est déjà lancée !"),
             QStringLiteral("Une instance du Vistrelle est déjà lancée !"));
    // Qt's own dialogs and buttons speak the interface language too.
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Voir dans :"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
    // And back to English when the language changes again.
    QVERIFY(KvoSingleApplication::installTranslation(englishRow));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
    KvoSingleApplication::installTranslation(frenchRow);
}

// Beside the executable in the build tree, under share/ once installed.
void TstSingleApplication::translationsFoundWhenInstalled()
{
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QString bin = prefix.path() + QStringLiteral("/bin");
    const QString shared = prefix.path() + QStringLiteral("/share/vistrelle/langues/english.qm");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(KvoSingleApplication::translationFile(bin, QStringLiteral("english.qm")).isEmpty());
    QVERIFY(QDir().mkpath(QFileInfo(shared).path()));
    QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/langues/english.qm"), shared));
    QCOMPARE(KvoSingleApplication::translationFile(bin, QStringLiteral("english.qm")), shared);
    QCOMPARE(KvoSingleApplication::translationFile(bin + QLatin1Char('/'), QStringLiteral("english.qm")), shared);
    QVERIFY(KvoSingleApplication::translationFile(bin, QStringLiteral("francais.qm")).isEmpty());
    // The build tree's copy beside the executable comes first.
    const QString beside = bin + QStringLiteral("/langues/english.qm");
    QVERIFY(QDir().mkpath(QFileInfo(beside).path()));
    QVERIFY(QFile::copy(shared, beside));
    QCOMPARE(KvoSingleApplication::translationFile(bin, QStringLiteral("english.qm")), beside);
    QTranslator english;
    QVERIFY(english.load(KvoSingleApplication::translationFile(bin, QStringLiteral("english.qm"))));
}

int main(int argc, char** argv)
{
    // Helper mode: own a key in a process of its own until killed, and print
    // what arrives.
    if (argc >= 3 && qstrcmp(argv[1], "--hold") == 0) {
        QCoreApplication app(argc, argv);
        KvoInstanceGuard guard(QString::fromLocal8Bit(argv[2]));
        if (guard.isRunning())
            return 2;
        QObject::connect(&guard, &KvoInstanceGuard::messageReceived, [](const QString& m) {
            std::fputs(("got:" + m.toUtf8() + '\n').constData(), stdout);
            std::fflush(stdout);
        });
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        return app.exec();
    }

    // A private runtime folder before the application takes the real key.
    KvoTestHome home;
    KvoSingleApplication app(argc, argv, AppKey);
    if (app.isRunning())
        return 3;
    TstSingleApplication tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_singleapplication.moc"
