#include "KvoDurationText.h"
#include "KvoQozFile.h"
#include "KvoStringCodec.h"

#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

// The string codec and the identification box of stored videos: both are
// stored on disk, so their forms must never drift.
class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void rejectsForeignText();
    void qozTrailer();
    void qozFileOnDisk();
    void durationClock();
};

// The one clock text of the client (video lengths, player positions).
void TestCodec::durationClock()
{
    QCOMPARE(KvoDurationText::clock(0), QStringLiteral("0:00"));
    QCOMPARE(KvoDurationText::clock(61), QStringLiteral("1:01"));
    QCOMPARE(KvoDurationText::clock(3599), QStringLiteral("59:59"));
    QCOMPARE(KvoDurationText::clock(3600), QStringLiteral("1:00:00"));
    QCOMPARE(KvoDurationText::clock(3725), QStringLiteral("1:02:05"));
    // Beyond 32 bits: hours keep counting, no wrap.
    QCOMPARE(KvoDurationText::clock(Q_UINT64_C(5000000000)), QStringLiteral("1388888:53:20"));
}

void TestCodec::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expectedLength");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("digits") << QStringLiteral("1042") << 8;
    QTest::newRow("ascii with symbols") << QStringLiteral("p@ss+word&=/\\\"") << 28;
    QTest::newRow("accents") << QStringLiteral("élève à Noël") << 24;
    QTest::newRow("cjk beyond short range") << QStringLiteral("密码") << 8;
    QTest::newRow("surrogate pair") << QString::fromUtf8("\xF0\x9F\x98\x80") << 8;
    QTest::newRow("nul and control") << QString(QChar(0)) + QChar(7) << 4;
}

void TestCodec::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, expectedLength);
    const QString stored = KvoStringCodec::encode(text);
    QCOMPARE(stored.size(), expectedLength);
    for (const QChar c : stored)
        QVERIFY2(c.isLetterOrNumber() && c.unicode() < 128, qPrintable(stored));
    QCOMPARE(KvoStringCodec::decode(stored), text);
    QCOMPARE(KvoStringCodec::encode(text), stored); // deterministic
    if (!text.isEmpty())
        QVERIFY(stored != text);
}

void TestCodec::rejectsForeignText()
{
    QCOMPARE(KvoStringCodec::decode(QStringLiteral("abc")), QString()); // odd length
    QCOMPARE(KvoStringCodec::decode(QStringLiteral("a-")), QString());
    QCOMPARE(KvoStringCodec::decode(QStringLiteral("é1")), QString());
    // Distinct texts never share a stored form, also when used from threads.
    auto f1 = QtConcurrent::run([] { return KvoStringCodec::encode(QStringLiteral("user-1")); });
    auto f2 = QtConcurrent::run([] { return KvoStringCodec::encode(QStringLiteral("user-2")); });
    QVERIFY(f1.result() != f2.result());
}

void TestCodec::qozTrailer()
{
    QCOMPARE(KvoQozFile::crc32(QByteArray("123456789")), 0xCBF43926u);
    const QByteArray box = KvoQozFile::trailer(812, 4242);
    QCOMPARE(box.size(), 32);
    QCOMPARE(box.mid(4, 8), QByteArray("freeQOZ1"));
    quint32 p = 0, f = 0;
    QVERIFY(KvoQozFile::parseTrailer(box, &p, &f));
    QCOMPARE(p, 812u);
    QCOMPARE(f, 4242u);
    QByteArray damaged = box;
    damaged[19] = char(damaged[19] ^ 1);
    QVERIFY(!KvoQozFile::parseTrailer(damaged, &p, &f));
    QVERIFY(!KvoQozFile::parseTrailer(box.left(31), &p, &f));
}

void TestCodec::qozFileOnDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.qoz"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
    }
    QVERIFY(!KvoQozFile(path).isValid());
    QVERIFY(KvoQozFile::appendTrailer(path, 7, 9));
    const KvoQozFile qoz(path);
    QVERIFY(qoz.isValid());
    QCOMPARE(qoz.purchaseId(), 7u);
    QCOMPARE(qoz.fileId(), 9u);
    QVERIFY(!KvoQozFile(dir.path()).isValid());                     // a folder
    QVERIFY(!KvoQozFile(dir.filePath(QStringLiteral("none"))).isValid()); // missing
}

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
