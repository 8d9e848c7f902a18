// The local web service against the contract of docs/web-api.md: sign-in,
// the library poll and its sessions, file addresses and the stored videos
// served, purchases, form fields, search, and the fault switches.

#include "KvoPlatform.h"
#include "KvoQozFile.h"
#include "KvoTestSupport.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kKeys = QStringLiteral("apikey=4b9d27e0c5a18f36e2d07b5c9a41f8e3&output=json");

struct Answer {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    qint64 contentLength = -1;
    QByteArray location;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// One request, bounded by its transfer time-out; credentials as a
// hand-made Basic header (UTF-8), as the client sends them.
Answer request(QNetworkAccessManager& manager, const QString& base, const QString& method,
               const QString& pathAndQuery, const QString& login = QString(),
               const QString& password = QString(), const QByteArray& body = QByteArray(),
               int timeoutMs = 10000)
{
    QNetworkRequest r(QUrl(base + pathAndQuery));
    r.setTransferTimeout(timeoutMs);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!login.isEmpty())
        r.setRawHeader("Authorization", "Basic " + (login + QLatin1Char(':') + password).toUtf8().toBase64());
    QNetworkReply* reply = nullptr;
    if (method == QLatin1String("POST")) {
        r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        reply = manager.post(r, body);
    } else {
        reply = manager.get(r);
    }
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Answer a;
    a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    a.error = reply->error();
    if (reply->isOpen())
        a.body = reply->readAll();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    a.contentLength = length.isValid() ? length.toLongLong() : -1;
    a.location = reply->rawHeader("Location");
    reply->deleteLater();
    return a;
}

} // namespace

class TestDevServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void signIn_data();
    void signIn();
    void pollFollowsSessionAndChanges();
    void fileUrlServesStoredVideo();
    void fileUrlRefusals_data();
    void fileUrlRefusals();
    void buyDeductsAndBumpsPoll();
    void buyRefusals_data();
    void buyRefusals();
    void formFieldsKeepPlusAndAmpersand();
    void search_data();
    void search();
    void listsAndFavourites();
    void methodsAndPaths_data();
    void methodsAndPaths();
    void faultsOnApi();
    void faultsOnFiles_data();
    void faultsOnFiles();
    void previewRangesAndFaults();
    void slowAnswerToLeftClient();
    void stateSurvivesRestart();
    void faultFromCommandLine();
    void promotionEndFromCommandLine();
    void helpListsEveryFault();
    void benchPackageIsDebian();

private:
    Answer call(const QString& method, const QString& pathAndQuery, const QString& login = QString(),
                const QString& password = QString(), const QByteArray& body = QByteArray(), int timeoutMs = 10000)
    {
        return request(m_manager, m_server->address(), method, pathAndQuery, login, password, body, timeoutMs);
    }
    static QString api(const QString& name, const QString& keys = QString())
    {
        return QStringLiteral("/0.1/%1/?%2%3&locale=fr_FR")
            .arg(name, kKeys, keys.isEmpty() ? QString() : QLatin1Char('&') + keys);
    }
    QString signInDemo()
    {
        return call(QStringLiteral("GET"), api(QStringLiteral("playerLogin")), QStringLiteral("demo"),
                    QStringLiteral("demo"))
            .json().value(QStringLiteral("session")).toString();
    }
    Answer poll(const QString& session, qint64 since)
    {
        return call(QStringLiteral("GET"),
                    api(QStringLiteral("playerUserPurchases"),
                        QStringLiteral("since=%1&session=%2").arg(since).arg(session)),
                    QStringLiteral("demo"), QStringLiteral("demo"));
    }

    std::unique_ptr<KvoTestServer> m_server;
    QNetworkAccessManager m_manager;
};

void TestDevServer::initTestCase()
{
    m_server = std::make_unique<KvoTestServer>(QStringList{QStringLiteral("--quiet")});
    QVERIFY2(m_server->isRunning(), "the devserver did not start");
}

void TestDevServer::init()
{
    // Every case starts from the demo data without faults.
    int status = 0;
    m_server->fetch(QStringLiteral("/_control/reset?data=1"), &status);
    QCOMPARE(status, 200);
}

void TestDevServer::signIn_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("userId");
    QTest::newRow("demo") << "demo" << "demo" << 200 << "1042";
    QTest::newRow("password with + and &") << "marie" << "Motdepasse+1&" << 200 << "1043";
    QTest::newRow("wrong password") << "demo" << "Demo" << 401 << "";
    QTest::newRow("password cut at +") << "marie" << "Motdepasse 1&" << 401 << "";
    QTest::newRow("unknown login") << "personne" << "demo" << 401 << "";
    QTest::newRow("no credentials") << "" << "" << 401 << "";
}

void TestDevServer::signIn()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QString, userId);
    const Answer a = call(QStringLiteral("GET"), api(QStringLiteral("playerLogin")), login, password);
    QCOMPARE(a.status, status);
    const QJsonObject o = a.json();
    if (status == 200) {
        QCOMPARE(o.value(QStringLiteral("status")).toString(), QStringLiteral("OK"));
        QCOMPARE(o.value(QStringLiteral("user_id")).toString(), userId);
        QCOMPARE(o.value(QStringLiteral("login")).toString(), login);
        QVERIFY(o.value(QStringLiteral("credits")).isString());
        QVERIFY(!o.value(QStringLiteral("session")).toString().isEmpty());
    } else {
        QCOMPARE(o.value(QStringLiteral("status")).toString(), QStringLiteral("ERROR"));
        QVERIFY(!o.value(QStringLiteral("error_mssg")).toString().isEmpty());
    }
}

void TestDevServer::pollFollowsSessionAndChanges()
{
    const QString session = signInDemo();
    QVERIFY(!session.isEmpty());
    const Answer full = poll(session, 0);
    QCOMPARE(full.status, 200);
    const QJsonObject o = full.json();
    const qint64 stamp = qint64(o.value(QStringLiteral("timestamp")).toDouble());
    QVERIFY(stamp > 0);
    QCOMPARE(o.value(QStringLiteral("credits")).toString(), QStringLiteral("12"));
    const QJsonArray vorns = o.value(QStringLiteral("vorns")).toArray();
    QCOMPARE(vorns.size(), 8);
    for (const QJsonValue& v : vorns) {
        const QJsonArray files = v.toObject().value(QStringLiteral("files")).toArray();
        QVERIFY(files.size() >= 3 && files.size() <= 6);
        QVERIFY(files.first().toObject().value(QStringLiteral("id")).toInt() > 0);
    }
    QVERIFY(!o.value(QStringLiteral("authors")).toArray().isEmpty());
    QVERIFY(!o.value(QStringLiteral("softwares")).toArray().isEmpty());

    QCOMPARE(poll(session, stamp).status, 304);
    QCOMPARE(poll(session, stamp - 1).status, 200);

    // A sign-in elsewhere ends the first session.
    const QString second = signInDemo();
    QVERIFY(second != session);
    const Answer expired = poll(session, 0);
    QCOMPARE(expired.status, 409);
    QCOMPARE(expired.json().value(QStringLiteral("status")).toString(), QStringLiteral("ERROR"));
    QCOMPARE(poll(second, 0).status, 200);
    QCOMPARE(poll(QString(), 0).status, 409);
}

void TestDevServer::fileUrlServesStoredVideo()
{
    const Answer a = call(QStringLiteral("GET"), api(QStringLiteral("playerFileUrl"), QStringLiteral("user=1042&file=1022")),
                          QStringLiteral("demo"), QStringLiteral("demo"));
    QCOMPARE(a.status, 200);
    const QString url = a.json().value(QStringLiteral("url")).toString();
    QCOMPARE(url, m_server->address() + QStringLiteral("/files/videos/102/1022.qoz"));

    // Files need no credentials.
    const Answer file = request(m_manager, QString(), QStringLiteral("GET"), url);
    QCOMPARE(file.status, 200);
    QVERIFY(file.body.size() > 1000);
    QCOMPARE(file.contentLength, qint64(file.body.size()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v.qoz"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file.body);
    f.close();
    const KvoQozFile qoz(path);
    QVERIFY(qoz.isValid());
    QCOMPARE(qoz.purchaseId(), 102u);
    QCOMPARE(qoz.fileId(), 1022u);
    // The media before the box is a real MP4 unless ffmpeg was missing.
    QCOMPARE(file.body.mid(4, 4), QByteArray("ftyp"));

    // A second request serves the same bytes (made once, then reused).
    QCOMPARE(request(m_manager, QString(), QStringLiteral("GET"), url).body, file.body);
}

void TestDevServer::fileUrlRefusals_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("status");
    QTest::newRow("course not bought") << "user=1042&file=1091" << 404;
    QTest::newRow("no such file") << "user=1042&file=9999" << 404;
    QTest::newRow("file not a number") << "user=1042&file=abc" << 404;
    QTest::newRow("another user's id") << "user=1043&file=1011" << 403;
}

void TestDevServer::fileUrlRefusals()
{
    QFETCH(QString, keys);
    QFETCH(int, status);
    const Answer a = call(QStringLiteral("GET"), api(QStringLiteral("playerFileUrl"), keys),
                          QStringLiteral("demo"), QStringLiteral("demo"));
    QCOMPARE(a.status, status);
    QVERIFY(!a.json().contains(QStringLiteral("url")));
}

void TestDevServer::buyDeductsAndBumpsPoll()
{
    const QString session = signInDemo();
    const qint64 stamp = qint64(poll(session, 0).json().value(QStringLiteral("timestamp")).toDouble());
    QCOMPARE(poll(session, stamp).status, 304);

    const QString demo = QStringLiteral("demo");
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerBuy")), demo, demo)
                 .json().value(QStringLiteral("user_credits")).toInt(), 12);
    const Answer bought = call(QStringLiteral("GET"), api(QStringLiteral("playerBuy"), QStringLiteral("vorn_id=113")), demo, demo);
    QCOMPARE(bought.status, 200);
    QVERIFY(!bought.json().contains(QStringLiteral("error")));
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerBuy")), demo, demo)
                 .json().value(QStringLiteral("user_credits")).toInt(), 7);

    const Answer after = poll(session, stamp);
    QCOMPARE(after.status, 200);
    const QJsonObject o = after.json();
    QVERIFY(qint64(o.value(QStringLiteral("timestamp")).toDouble()) > stamp);
    QCOMPARE(o.value(QStringLiteral("credits")).toString(), QStringLiteral("7"));
    bool found = false;
    for (const QJsonValue& v : o.value(QStringLiteral("vorns")).toArray())
        found = found || v.toObject().value(QStringLiteral("id")).toInt() == 113;
    QVERIFY(found);
    // The bought course's files can now be fetched.
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerFileUrl"), QStringLiteral("user=1042&file=1131")), demo, demo).status, 200);
}

void TestDevServer::buyRefusals_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("course");
    QTest::addColumn<QString>("message");
    QTest::newRow("already owned") << "demo" << "demo" << "101" << "Vous possédez déjà cette formation.";
    QTest::newRow("not enough credits") << "marie" << "Motdepasse+1&" << "118" << "Crédits insuffisants.";
    QTest::newRow("unknown course") << "demo" << "demo" << "999" << "Cette formation n'existe pas.";
}

void TestDevServer::buyRefusals()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, course);
    QFETCH(QString, message);
    const Answer credits = call(QStringLiteral("GET"), api(QStringLiteral("playerBuy")), login, password);
    const Answer a = call(QStringLiteral("GET"), api(QStringLiteral("playerBuy"), QStringLiteral("vorn_id=") + course),
                          login, password);
    QCOMPARE(a.status, 200);
    QVERIFY(a.json().contains(QStringLiteral("error")));
    QCOMPARE(a.json().value(QStringLiteral("error_mssg")).toString(), message);
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerBuy")), login, password).body, credits.body);
}

void TestDevServer::formFieldsKeepPlusAndAmpersand()
{
    const QString text = QStringLiteral("Très clair : 1+1 = 2 & « merci » 100%");
    const QByteArray body = "comment=" + QUrl::toPercentEncoding(text) + "&mark=5&vorn_id=101";
    QCOMPARE(call(QStringLiteral("POST"), api(QStringLiteral("playerComment")), QStringLiteral("demo"),
                  QStringLiteral("demo"), body).status, 200);
    const QByteArray sub = "soft_id=3&sub=1";
    QCOMPARE(call(QStringLiteral("POST"), api(QStringLiteral("playersoftEmailSub")), QStringLiteral("demo"),
                  QStringLiteral("demo"), sub).status, 200);

    const QJsonObject log = QJsonDocument::fromJson(m_server->fetch(QStringLiteral("/_control/log"))).object();
    const QJsonArray comments = log.value(QStringLiteral("comments")).toArray();
    QCOMPARE(comments.size(), 1);
    QCOMPARE(comments.first().toObject().value(QStringLiteral("comment")).toString(), text);
    QCOMPARE(comments.first().toObject().value(QStringLiteral("mark")).toString(), QStringLiteral("5"));
    QCOMPARE(log.value(QStringLiteral("subscriptions")).toArray().size(), 1);

    // The subscription shows in the library as the software's flag.
    const QString session = signInDemo();
    bool subscribed = false;
    for (const QJsonValue& v : poll(session, 0).json().value(QStringLiteral("softwares")).toArray())
        if (v.toObject().value(QStringLiteral("id")).toInt() == 3)
            subscribed = v.toObject().value(QStringLiteral("suscribed")).toBool();
    QVERIFY(subscribed);
}

void TestDevServer::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("results");
    QTest::newRow("title, any case") << "PHOTOMATON" << 0 << 5 << 5;
    QTest::newRow("software name") << "mise en page" << 0 << 6 << 6;
    QTest::newRow("accents") << "débutants" << 0 << 1 << 1;
    QTest::newRow("quote and slash") << "avant/après, le \"pas" << 0 << 1 << 1;
    QTest::newRow("nothing") << "zzz" << 0 << 0 << 0;
    QTest::newRow("all, first page") << "" << 0 << 18 << 10;
    QTest::newRow("all, last page") << "" << 10 << 18 << 8;
}

void TestDevServer::search()
{
    QFETCH(QString, query);
    QFETCH(int, start);
    QFETCH(int, total);
    QFETCH(int, results);
    const QByteArray body = "limit=10&query=" + QUrl::toPercentEncoding(query) + "&start=" + QByteArray::number(start);
    const Answer a = call(QStringLiteral("POST"), api(QStringLiteral("playerSearch")), QStringLiteral("demo"),
                          QStringLiteral("demo"), body);
    QCOMPARE(a.status, 200);
    const QJsonObject vorn = a.json().value(QStringLiteral("vorn")).toObject();
    QCOMPARE(vorn.value(QStringLiteral("total")).toInt(), total);
    QCOMPARE(vorn.value(QStringLiteral("results")).toArray().size(), results);
}

void TestDevServer::listsAndFavourites()
{
    const QString demo = QStringLiteral("demo");
    auto ids = [&](const QString& list) {
        QList<int> out;
        for (const QJsonValue& v : call(QStringLiteral("GET"), api(QStringLiteral("playerListVorn"), QStringLiteral("list=") + list), demo, demo)
                                       .json().value(QStringLiteral("vorns")).toArray())
            out.append(v.toObject().value(QStringLiteral("id")).toInt());
        return out;
    };
    QCOMPARE(ids(QStringLiteral("fave")), (QList<int>{111, 113, 115}));
    QVERIFY(!ids(QStringLiteral("top")).isEmpty());
    QVERIFY(!ids(QStringLiteral("new")).isEmpty());

    const QJsonArray promos = call(QStringLiteral("GET"), api(QStringLiteral("playerListVorn"), QStringLiteral("list=promo")), demo, demo)
                                  .json().value(QStringLiteral("vorns")).toArray();
    QVERIFY(!promos.isEmpty());
    for (const QJsonValue& v : promos) {
        const QJsonObject c = v.toObject();
        QVERIFY(c.value(QStringLiteral("reduced_price")).toInt() > 0);
        QVERIFY(c.value(QStringLiteral("previous_price")).toInt() > c.value(QStringLiteral("reduced_price")).toInt());
        QVERIFY(qint64(c.value(QStringLiteral("end_ts")).toDouble()) > QDateTime::currentSecsSinceEpoch());
    }

    QCOMPARE(call(QStringLiteral("POST"), api(QStringLiteral("playerFave")), demo, demo, "delete=true&vorn_id=113").status, 200);
    QCOMPARE(ids(QStringLiteral("fave")), (QList<int>{111, 115}));
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerListVorn"), QStringLiteral("list=autre")), demo, demo).status, 400);
}

void TestDevServer::methodsAndPaths_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("credentials");
    QTest::addColumn<int>("status");
    const QString v = QStringLiteral("version=2.0.9.1&filetype=deb");
    QTest::newRow("version is public") << "GET" << api(QStringLiteral("playerVersion"), v) << false << 200;
    QTest::newRow("faq is public") << "GET" << api(QStringLiteral("playerFaq")) << false << 200;
    QTest::newRow("lists need credentials") << "GET" << api(QStringLiteral("playerListVorn"), QStringLiteral("list=top")) << false << 401;
    QTest::newRow("wrong api key") << "GET" << QStringLiteral("/0.1/playerFaq/?apikey=0&output=json&locale=fr_FR") << true << 403;
    QTest::newRow("output not json") << "GET" << QStringLiteral("/0.1/playerFaq/?apikey=4b9d27e0c5a18f36e2d07b5c9a41f8e3&output=xml&locale=fr_FR") << true << 400;
    QTest::newRow("no trailing slash") << "GET" << QStringLiteral("/0.1/playerFaq?") + kKeys << true << 404;
    QTest::newRow("dot is no wildcard") << "GET" << QStringLiteral("/0x1/playerFaq/?") + kKeys << true << 404;
    QTest::newRow("GET on a POST path") << "GET" << api(QStringLiteral("playerSearch")) << true << 405;
    QTest::newRow("POST on a GET path") << "POST" << api(QStringLiteral("playerBuy")) << true << 405;
}

void TestDevServer::methodsAndPaths()
{
    QFETCH(QString, method);
    QFETCH(QString, path);
    QFETCH(bool, credentials);
    QFETCH(int, status);
    const Answer a = credentials ? call(method, path, QStringLiteral("demo"), QStringLiteral("demo")) : call(method, path);
    QCOMPARE(a.status, status);
}

void TestDevServer::faultsOnApi()
{
    const QString faq = api(QStringLiteral("playerFaq"));
    QVERIFY(m_server->setFault(QStringLiteral("status"), QStringLiteral("500")));
    QCOMPARE(call(QStringLiteral("GET"), faq).status, 500);
    QVERIFY(m_server->setFault(QStringLiteral("status"), QStringLiteral("0")));
    QCOMPARE(call(QStringLiteral("GET"), faq).status, 200);

    QVERIFY(m_server->setFault(QStringLiteral("nojson")));
    Answer a = call(QStringLiteral("GET"), faq);
    QCOMPARE(a.status, 200);
    QVERIFY(QJsonDocument::fromJson(a.body).isNull());
    QVERIFY(m_server->clearFaults());

    QVERIFY(m_server->setFault(QStringLiteral("truncate")));
    a = call(QStringLiteral("GET"), faq);
    QCOMPARE(a.status, 200);
    QVERIFY(!a.body.isEmpty());
    QVERIFY(QJsonDocument::fromJson(a.body).isNull());
    QVERIFY(m_server->clearFaults());

    const QString session = signInDemo();
    QVERIFY(m_server->setFault(QStringLiteral("poll409")));
    QCOMPARE(poll(session, 0).status, 409);
    QVERIFY(m_server->clearFaults());
    QVERIFY(m_server->setFault(QStringLiteral("poll304")));
    QCOMPARE(poll(session, 0).status, 304);
    QVERIFY(m_server->clearFaults());

    QVERIFY(m_server->setFault(QStringLiteral("fileurl_nourl")));
    a = call(QStringLiteral("GET"), api(QStringLiteral("playerFileUrl"), QStringLiteral("user=1042&file=1011")),
             QStringLiteral("demo"), QStringLiteral("demo"));
    QCOMPARE(a.status, 200);
    QVERIFY(a.json().isEmpty());

    QVERIFY(!m_server->setFault(QStringLiteral("no_such_fault")));
    QVERIFY(!m_server->setFault(QStringLiteral("status"), QStringLiteral("abc")));
}

void TestDevServer::faultsOnFiles_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("failed");    // the client sees a network error
    QTest::addColumn<int>("bodyPart");   // body size against the file: 2 whole, 1 less, 0 none
    QTest::newRow("file404") << "file404" << 404 << true << 0;
    QTest::newRow("file_short") << "file_short" << 200 << true << 1;
    QTest::newRow("file_long") << "file_long" << 200 << false << 1;
    QTest::newRow("file_stall") << "file_stall" << 200 << true << 1;
    QTest::newRow("redirect") << "redirect" << 302 << false << 0;
}

void TestDevServer::faultsOnFiles()
{
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(bool, failed);
    QFETCH(int, bodyPart);
    // The smallest clip (1012 % 4 == 0): a cut is seen before the whole
    // body has left the server.
    const QString path = QStringLiteral("/files/videos/101/1012.qoz");
    const qint64 size = call(QStringLiteral("GET"), path).body.size();
    QVERIFY(size > 1000);
    QVERIFY(m_server->setFault(fault));
    const Answer a = call(QStringLiteral("GET"), path, QString(), QString(), QByteArray(), 1500);
    QCOMPARE(a.status, status);
    QCOMPARE(a.error != QNetworkReply::NoError, failed);
    if (bodyPart == 1)
        QVERIFY(a.body.size() < size);
    if (fault == QLatin1String("file_long"))
        QCOMPARE(a.contentLength, qint64(a.body.size()));
    if (fault == QLatin1String("redirect"))
        QCOMPARE(a.location, (m_server->address() + QStringLiteral("/files/redirected.bin")).toUtf8());
    QVERIFY(m_server->clearFaults());
    QCOMPARE(call(QStringLiteral("GET"), path).body.size(), size);
}

void TestDevServer::previewRangesAndFaults()
{
    const QString path = QStringLiteral("/files/previews/101.mp4");
    const QByteArray whole = call(QStringLiteral("GET"), path).body;
    QVERIFY(whole.size() > 10000);
    // A byte range, as players stream.
    auto ranged = [this, &path](const QByteArray& range, QByteArray* contentRange) {
        QNetworkRequest r(QUrl(m_server->address() + path));
        r.setRawHeader("Range", range);
        QNetworkReply* reply = m_manager.get(r);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        *contentRange = reply->rawHeader("Content-Range");
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return qMakePair(status, body);
    };
    QByteArray contentRange;
    auto answer = ranged("bytes=100-199", &contentRange);
    QCOMPARE(answer.first, 206);
    QCOMPARE(answer.second, whole.mid(100, 100));
    QCOMPARE(contentRange, "bytes 100-199/" + QByteArray::number(whole.size()));
    answer = ranged("bytes=" + QByteArray::number(whole.size() - 10) + "-", &contentRange);
    QCOMPARE(answer.first, 206);
    QCOMPARE(answer.second, whole.right(10));
    answer = ranged("bytes=" + QByteArray::number(whole.size()) + "-", &contentRange);
    QCOMPARE(answer.first, 416);
    QCOMPARE(contentRange, "bytes */" + QByteArray::number(whole.size()));

    // The preview faults.
    QVERIFY(m_server->setFault(QStringLiteral("preview404")));
    QCOMPARE(call(QStringLiteral("GET"), path).status, 404);
    QVERIFY(m_server->clearFaults());
    QVERIFY(m_server->setFault(QStringLiteral("preview_garbage")));
    Answer a = call(QStringLiteral("GET"), path);
    QCOMPARE(a.status, 200);
    QVERIFY(!a.body.startsWith(whole.left(12)));
    QVERIFY(m_server->clearFaults());
    QVERIFY(m_server->setFault(QStringLiteral("preview_redirect")));
    a = call(QStringLiteral("GET"), path);
    QCOMPARE(a.status, 302);
    QCOMPARE(a.location, (m_server->address() + path + QStringLiteral("?moved=1")).toUtf8());
    QCOMPARE(call(QStringLiteral("GET"), path + QStringLiteral("?moved=1")).body, whole);
    QVERIFY(m_server->clearFaults());
    QVERIFY(m_server->setFault(QStringLiteral("preview_short")));
    a = call(QStringLiteral("GET"), path, QString(), QString(), QByteArray(), 1500);
    // Half the bytes, then the connection closes (whether the client's
    // network layer calls that an error varies).
    QCOMPARE(a.body, whole.left(whole.size() / 2));
    QVERIFY(m_server->clearFaults());
    QVERIFY(m_server->setFault(QStringLiteral("preview_stall")));
    a = call(QStringLiteral("GET"), path, QString(), QString(), QByteArray(), 1000);
    QCOMPARE(a.error, QNetworkReply::OperationCanceledError);
    QVERIFY(m_server->clearFaults());
    // The file faults leave previews alone.
    QVERIFY(m_server->setFault(QStringLiteral("file404")));
    QCOMPARE(call(QStringLiteral("GET"), path).body, whole);
    QVERIFY(m_server->clearFaults());
}

void TestDevServer::slowAnswerToLeftClient()
{
    // A client that gives up before a delayed answer must not take the
    // service down; the next requests are answered.
    QVERIFY(m_server->setFault(QStringLiteral("slow"), QStringLiteral("400")));
    const Answer gaveUp = call(QStringLiteral("GET"), api(QStringLiteral("playerFaq")), QString(), QString(), QByteArray(), 100);
    QCOMPARE(gaveUp.error, QNetworkReply::OperationCanceledError);
    // Asked after the first, answered as late: the first one's late answer
    // (to nobody) has been given by now.
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerFaq"))).status, 200);
    QVERIFY(m_server->clearFaults());
    QCOMPARE(call(QStringLiteral("GET"), api(QStringLiteral("playerFaq"))).status, 200);
}

void TestDevServer::stateSurvivesRestart()
{
    QTemporaryDir data;
    const QString demo = QStringLiteral("demo");
    QString session;
    {
        KvoTestServer first({QStringLiteral("--quiet"), QStringLiteral("--data"), data.path()});
        QVERIFY(first.isRunning());
        session = request(m_manager, first.address(), QStringLiteral("GET"), api(QStringLiteral("playerLogin")), demo, demo)
                      .json().value(QStringLiteral("session")).toString();
        QVERIFY(!request(m_manager, first.address(), QStringLiteral("GET"),
                         api(QStringLiteral("playerBuy"), QStringLiteral("vorn_id=115")), demo, demo)
                     .json().contains(QStringLiteral("error")));
    }
    KvoTestServer second({QStringLiteral("--quiet"), QStringLiteral("--data"), data.path()});
    QVERIFY(second.isRunning());
    QCOMPARE(request(m_manager, second.address(), QStringLiteral("GET"), api(QStringLiteral("playerBuy")), demo, demo)
                 .json().value(QStringLiteral("user_credits")).toInt(), 10);
    const Answer a = request(m_manager, second.address(), QStringLiteral("GET"),
                             api(QStringLiteral("playerUserPurchases"), QStringLiteral("since=0&session=") + session), demo, demo);
    QCOMPARE(a.status, 200);
    QCOMPARE(a.json().value(QStringLiteral("vorns")).toArray().size(), 9);
    // The cached clips were reused, so the stored video is still valid.
    QVERIFY(QFile::exists(data.filePath(QStringLiteral("clips/clip0-320x180-3s.mp4"))));
}

void TestDevServer::faultFromCommandLine()
{
    KvoTestServer faulty({QStringLiteral("--quiet"), QStringLiteral("--fault"), QStringLiteral("status=503"),
                          QStringLiteral("--fault"), QStringLiteral("file404")});
    QVERIFY(faulty.isRunning());
    QCOMPARE(request(m_manager, faulty.address(), QStringLiteral("GET"), api(QStringLiteral("playerFaq"))).status, 503);
    QCOMPARE(request(m_manager, faulty.address(), QStringLiteral("GET"), QStringLiteral("/files/videos/101/1011.qoz")).status, 404);
    // Pictures are no downloads: the file faults leave them alone.
    QCOMPARE(request(m_manager, faulty.address(), QStringLiteral("GET"), QStringLiteral("/files/thumbs/vorn_101.png")).status, 200);
}

void TestDevServer::promotionEndFromCommandLine()
{
    // The short promotion runs 90 s from the start; with the switch given
    // on the command line, the seconds it names.
    const auto endOf114 = [this](const KvoTestServer& server) -> qint64 {
        const QString demo = QStringLiteral("demo");
        for (const QJsonValue& v : request(m_manager, server.address(), QStringLiteral("GET"),
                                           api(QStringLiteral("playerListVorn"), QStringLiteral("list=promo")), demo, demo)
                                       .json().value(QStringLiteral("vorns")).toArray())
            if (v.toObject().value(QStringLiteral("id")).toInt() == 114)
                return qint64(v.toObject().value(QStringLiteral("end_ts")).toDouble());
        return 0; // not on promotion
    };
    const qint64 start = QDateTime::currentSecsSinceEpoch();
    KvoTestServer plain({QStringLiteral("--quiet")});
    KvoTestServer switched({QStringLiteral("--quiet"), QStringLiteral("--fault"), QStringLiteral("promo_end=20")});
    QVERIFY(plain.isRunning() && switched.isRunning());
    const qint64 plainEnd = endOf114(plain), switchedEnd = endOf114(switched);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QVERIFY2(plainEnd >= start + 90 && plainEnd <= now + 90, qPrintable(QString::number(plainEnd - start)));
    QVERIFY2(switchedEnd >= start + 20 && switchedEnd <= now + 20, qPrintable(QString::number(switchedEnd - start)));
}

void TestDevServer::helpListsEveryFault()
{
    // Each switch of the API notes' table, on a line of its own that says
    // what it does.
    QFile notes(QStringLiteral(KVO_API_NOTES));
    QVERIFY(notes.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(notes.readAll());
    const qsizetype section = text.indexOf(QStringLiteral("### Fault switches"));
    QVERIFY(section >= 0);
    const QString table = text.mid(section, text.indexOf(QStringLiteral("\n#"), section + 1) - section);
    static const QRegularExpression row(QStringLiteral("^\\| `([a-z0-9_]+)(=[A-Z]+)?` \\|"),
                                        QRegularExpression::MultilineOption);
    QStringList documented;
    for (const QRegularExpressionMatch& m : row.globalMatch(table))
        documented.append(m.captured(1) + m.captured(2));
    QVERIFY(documented.size() > 20);

    QProcess help;
    help.start(KvoTestServer::program(), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(30000));
    QCOMPARE(help.exitCode(), 0);
    const QString out = QString::fromUtf8(help.readAllStandardOutput());
    for (const QString& fault : documented) {
        const QRegularExpression line(
            QStringLiteral("^ +") + QRegularExpression::escape(fault) + QStringLiteral(" {2,}\\S.*\\S"),
            QRegularExpression::MultilineOption);
        QVERIFY2(line.match(out).hasMatch(), qPrintable(fault));
    }
}

void TestDevServer::benchPackageIsDebian()
{
    // The update benchmark's download: large, and a package the client
    // accepts as an update.
    KvoTestServer bench({QStringLiteral("--quiet"), QStringLiteral("--bench-package-mb"), QStringLiteral("1")});
    QVERIFY(bench.isRunning());
    const Answer a = request(m_manager, bench.address(), QStringLiteral("GET"), QStringLiteral("/files/bench.deb"));
    QCOMPARE(a.status, 200);
    QVERIFY(a.body.size() > 1024 * 1024);
    QCOMPARE(a.contentLength, qint64(a.body.size()));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("update.deb")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(a.body), qint64(a.body.size()));
    file.close();
    QVERIFY(KvoPlatform::isUpdatePackage(file.fileName()));
    // dpkg reads all of it.
    const QString dpkg = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
    if (dpkg.isEmpty())
        return;
    QProcess contents;
    contents.start(dpkg, {QStringLiteral("--contents"), file.fileName()});
    QVERIFY(contents.waitForFinished(30000));
    QCOMPARE(contents.exitCode(), 0);
    QVERIFY(contents.readAllStandardOutput().contains("1048576 2026-11-02 09:00 ./usr/share/vistrelle/payload.bin"));
}

QTEST_GUILESS_MAIN(TestDevServer)
#include "tst_devserver.moc"
