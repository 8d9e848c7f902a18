// The network layer against servers inside the test: a QHttpServer for
// ordinary answers, and the shared fake server for stalls, cut bodies and
// raw redirections (QHttpServer 6.4 cannot answer late safely).

#include "KvoFakeHttpServer.h"

#include "KvoApi.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoFileSizeLimit.h"
#include "KvoHTTPRequest.h"
#include "KvoJsonResult.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <memory>

namespace {

// The fake server answers every request with the same raw bytes, then closes
// the connection or leaves it open (a stalled server); with no bytes it
// answers nothing. Earlier connections are dropped.
void serve(KvoFakeHttpServer& server, const QByteArray& bytes = {}, bool close = true)
{
    server.reset();
    server.setReply(KvoFakeHttpServer::Reply::raw(bytes, close));
}

QByteArray httpAnswer(const QByteArray& statusLine, const QByteArray& body, qint64 announced = -2,
                      const QByteArray& extraHeaders = {})
{
    const qint64 length = announced == -2 ? body.size() : announced;
    QByteArray answer = "HTTP/1.1 " + statusLine + "\r\nConnection: close\r\n" + extraHeaders;
    if (length >= 0)
        answer += "Content-Length: " + QByteArray::number(length) + "\r\n";
    return answer + "\r\n" + body;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

struct RequestSpies
{
    explicit RequestSpies(KvoHTTPRequest* r)
        : ok(r, &KvoHTTPRequest::successRequest)
        , error(r, &KvoHTTPRequest::errorRequest)
    {
    }
    qsizetype total() const { return ok.count() + error.count(); }
    QSignalSpy ok;
    QSignalSpy error;
};

struct DownloadSpies
{
    explicit DownloadSpies(KvoDownloader* d)
        : ok(d, &KvoDownloader::successDownload)
        , error(d, &KvoDownloader::errorDownload)
        , progress(d, &KvoDownloader::progressDownload)
    {
    }
    qsizetype total() const { return ok.count() + error.count(); }
    QNetworkReply::NetworkError errorCode() const
    {
        return error.isEmpty() ? QNetworkReply::NoError : error.first().at(0).value<QNetworkReply::NetworkError>();
    }
    QSignalSpy ok;
    QSignalSpy error;
    QSignalSpy progress;
};

// Checks a path of keys in one call, whatever its length.
bool hasPath(const KvoJsonResult& r, const QList<QByteArray>& p)
{
    switch (p.size()) {
    case 1: return r.hasKeys(1, p[0].constData());
    case 2: return r.hasKeys(2, p[0].constData(), p[1].constData());
    case 3: return r.hasKeys(3, p[0].constData(), p[1].constData(), p[2].constData());
    default: return false;
    }
}

QVariant valueAtPath(const KvoJsonResult& r, const QList<QByteArray>& p)
{
    switch (p.size()) {
    case 1: return r.valueAt(1, p[0].constData());
    case 2: return r.valueAt(2, p[0].constData(), p[1].constData());
    case 3: return r.valueAt(3, p[0].constData(), p[1].constData(), p[2].constData());
    default: return {};
    }
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void apiAddress();

    void jsonParse_data();
    void jsonParse();
    void jsonPaths_data();
    void jsonPaths();

    void requestStatus_data();
    void requestStatus();
    void requestClosedPort();
    void requestQueryKeysSurvive();
    void requestBasicHeader();
    void requestPostBody();
    void requestTimeout();
    void requestRedirectNotFollowed();
    void requestAbort();
    void requestDeadline();
    void requestSendAgainWhileRunning();
    void requestAutoDelete();
    void requestBodyBound();

    void downloadSuccess();
    void downloadFailure_data();
    void downloadFailure();
    void downloadLongerThanAnnounced();
    void downloadStallTimesOut();
    void downloadTooSlow();
    void downloadBadDestination_data();
    void downloadBadDestination();
    void downloadWriteError();
    void downloadAbort();
    void downloadAbortFromProgressSlot();
    void downloadDeletedWhileRunning();
    void downloadWithoutDestination();

private:
    QString httpUrl(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_httpPort).arg(path);
    }
    QString target() const { return m_dir->filePath(QStringLiteral("video.qoz")); }

    QHttpServer m_http;
    quint16 m_httpPort = 0;
    KvoFakeHttpServer m_raw;
    QByteArray m_payload;
    int m_fileHits = 0;
    QByteArray m_lastAuthorization;
    QByteArray m_lastContentType;
    QByteArray m_lastBody;
    QUrlQuery m_lastQuery;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestNetwork::initTestCase()
{
    qRegisterMetaType<QNetworkReply::NetworkError>();
    // Several read blocks, not a multiple of 4096.
    m_payload.reserve(300001);
    for (int i = 0; i < 300001; ++i)
        m_payload.append(char((i * 7 + i / 251) & 0xff));

    m_http.route(QStringLiteral("/status/<arg>"), [](int code) {
        if (code == 304)
            return QHttpServerResponse(QHttpServerResponse::StatusCode::NotModified);
        return QHttpServerResponse(QByteArray("body-") + QByteArray::number(code),
                                   static_cast<QHttpServerResponse::StatusCode>(code));
    });
    m_http.route(QStringLiteral("/echo"), [this](const QHttpServerRequest& request) {
        m_lastAuthorization = request.value(QByteArrayLiteral("Authorization"));
        m_lastContentType = request.value(QByteArrayLiteral("Content-Type"));
        m_lastBody = request.body();
        m_lastQuery = request.query();
        return QHttpServerResponse(QByteArrayLiteral("{\"ok\":true}"));
    });
    m_http.route(QStringLiteral("/file"), [this](const QHttpServerRequest& request) {
        ++m_fileHits;
        m_lastAuthorization = request.value(QByteArrayLiteral("Authorization"));
        m_lastQuery = request.query();
        return QHttpServerResponse(QByteArrayLiteral("application/octet-stream"), m_payload);
    });
    m_httpPort = m_http.listen(QHostAddress::LocalHost, 0);
    QVERIFY(m_httpPort != 0);
    QVERIFY(m_raw.listen());
}

void TestNetwork::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    serve(m_raw);
    m_fileHits = 0;
    m_lastAuthorization.clear();
    m_lastBody.clear();
    KvoHTTPRequest::clearCredentials();
}

void TestNetwork::cleanup()
{
    KvoHTTPRequest::setTransferTimeout(30000);
    KvoDownloader::setTransferTimeout(60000);
    KvoHTTPRequest::clearCredentials();
    serve(m_raw);
    if (m_dir) {
        QFile::setPermissions(m_dir->filePath(QStringLiteral("ro")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_dir.reset();
    }
}

// ---------------------------------------------------------------- KvoApi

void TestNetwork::apiAddress()
{
    const QByteArray saved = qgetenv("VISTRELLE_API_URL");
    KvoApi::setEndpointForTesting(QString());

    qunsetenv("VISTRELLE_API_URL");
    QCOMPARE(KvoApi::endpoint(), QStringLiteral("https://api.qozmira.com"));
    QCOMPARE(KvoApi::siteUrl(), QStringLiteral("https://www.qozmira.com"));

    qputenv("VISTRELLE_API_URL", "http://127.0.0.1:1234//");
    QCOMPARE(KvoApi::endpoint(), QStringLiteral("http://127.0.0.1:1234"));
    QCOMPARE(KvoApi::siteUrl(), QStringLiteral("http://127.0.0.1:1234"));

    const QString address = KvoApi::address(QStringLiteral("/0.1/playerFaq/"),
                                            {{QStringLiteral("id_user"), QStringLiteral("12")}},
                                            {{QStringLiteral("q"), QStringLiteral("a+b & c=d é")}});
    QCOMPARE(address, QStringLiteral("http://127.0.0.1:1234/0.1/playerFaq/?apikey=4b9d27e0c5a18f36e2d07b5c9a41f8e3"
                                     "&output=json&id_user=12&locale=")
                          + KvoEnvironment::locale() + QStringLiteral("&q=a%2Bb%20%26%20c%3Dd%20%C3%A9"));

    KvoApi::setEndpointForTesting(QStringLiteral("http://10.0.0.1:9/"));
    QCOMPARE(KvoApi::endpoint(), QStringLiteral("http://10.0.0.1:9"));
    qunsetenv("VISTRELLE_API_URL");
    QCOMPARE(KvoApi::siteUrl(), QStringLiteral("http://10.0.0.1:9"));
    KvoApi::setEndpointForTesting(QString());
    QCOMPARE(KvoApi::endpoint(), QStringLiteral("https://api.qozmira.com"));

    if (!saved.isNull())
        qputenv("VISTRELLE_API_URL", saved);
}

// ---------------------------------------------------------- KvoJsonResult

void TestNetwork::jsonParse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("keys");

    QTest::newRow("object") << QByteArray(R"({"a":1,"b":{"c":[1,2]},"é":"ü"})") << true << 3;
    QTest::newRow("empty object") << QByteArray("{}") << true << 0;
    QTest::newRow("array") << QByteArray("[1,2]") << false << 0;
    QTest::newRow("scalar") << QByteArray("42") << false << 0;
    QTest::newRow("string") << QByteArray("\"text\"") << false << 0;
    QTest::newRow("truncated") << QByteArray(R"({"a":1,"b":{)") << false << 0;
    QTest::newRow("trailing junk") << QByteArray(R"({"a":1} x)") << false << 0;
    QTest::newRow("html") << QByteArray("<html>Bad gateway</html>") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
}

void TestNetwork::jsonParse()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(int, keys);

    // A failed parse must also forget what an earlier answer held.
    KvoJsonResult result;
    QVERIFY(result.parse(QStringLiteral("{\"old\":1}")));
    QCOMPARE(result.parse(QString::fromUtf8(text)), accepted);
    QCOMPARE(result.map().size(), keys);
    QCOMPARE(result.value(QStringLiteral("old")).isValid(), false);
    if (keys == 3)
        QCOMPARE(result.value(QStringLiteral("é")).toString(), QStringLiteral("ü"));
}

void TestNetwork::jsonPaths_data()
{
    QTest::addColumn<QList<QByteArray>>("path");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QVariant>("value");

    using P = QList<QByteArray>;
    QTest::newRow("top key") << P{"top"} << true << QVariant(1.0);
    QTest::newRow("missing top key") << P{"none"} << false << QVariant();
    QTest::newRow("nested map") << P{"a", "b"} << true << QVariant();
    QTest::newRow("three levels") << P{"a", "b", "c"} << true << QVariant(5.0);
    QTest::newRow("missing middle step") << P{"a", "x", "c"} << false << QVariant();
    QTest::newRow("missing last step") << P{"a", "b", "x"} << false << QVariant();
    QTest::newRow("through a number") << P{"top", "x"} << false << QVariant();
    QTest::newRow("through a string") << P{"a", "s", "x"} << false << QVariant();
    QTest::newRow("through a list") << P{"a", "list", "0"} << false << QVariant();
    QTest::newRow("through null") << P{"a", "n", "x"} << false << QVariant();
    QTest::newRow("list itself") << P{"a", "list"} << true << QVariant();
}

void TestNetwork::jsonPaths()
{
    QFETCH(QList<QByteArray>, path);
    QFETCH(bool, exists);
    QFETCH(QVariant, value);

    KvoJsonResult result;
    QVERIFY(result.parse(QByteArray(R"({"top":1,"a":{"b":{"c":5},"list":[1,2],"s":"text","n":null}})")));
    QCOMPARE(hasPath(result, path), exists);
    const QVariant found = valueAtPath(result, path);
    QCOMPARE(found.isValid(), exists);
    if (value.isValid())
        QCOMPARE(found.toDouble(), value.toDouble());
    QVERIFY(!result.hasKeys(0, "top"));
    QVERIFY(!KvoJsonResult().hasKeys(1, "top"));
}

// --------------------------------------------------------- KvoHTTPRequest

void TestNetwork::requestStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QNetworkReply::NetworkError>("error");

    QTest::newRow("200") << 200 << true << QNetworkReply::NoError;
    QTest::newRow("201 is not 200") << 201 << false << QNetworkReply::UnknownContentError;
    QTest::newRow("304 not modified") << 304 << false << QNetworkReply::UnknownContentError;
    QTest::newRow("404") << 404 << false << QNetworkReply::ContentNotFoundError;
    QTest::newRow("409 session expired") << 409 << false << QNetworkReply::ContentConflictError;
    QTest::newRow("500") << 500 << false << QNetworkReply::InternalServerError;
}

void TestNetwork::requestStatus()
{
    QFETCH(int, status);
    QFETCH(bool, success);
    QFETCH(QNetworkReply::NetworkError, error);

    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(httpUrl(QStringLiteral("/status/%1").arg(status)));
    QVERIFY(request.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QVERIFY(!request.isRunning());
    QCOMPARE(request.statusCode(), status);
    QCOMPARE(spies.ok.count(), success ? 1 : 0);
    if (success) {
        QCOMPARE(spies.ok.first().at(0).toString(), QStringLiteral("body-200"));
    } else {
        QCOMPARE(spies.error.first().at(0).value<QNetworkReply::NetworkError>(), error);
        QVERIFY(!spies.error.first().at(1).toString().isEmpty());
        // The service's own text of a refusal stays readable.
        if (status != 304)
            QCOMPARE(request.errorBody(), QByteArray("body-") + QByteArray::number(status));
    }
}

void TestNetwork::requestClosedPort()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    // The same object first gets an answer, then none: the status must not
    // linger from the earlier reply.
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(httpUrl(QStringLiteral("/status/200")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.ok.count(), 1, 5000);
    QCOMPARE(request.statusCode(), 200);

    request.get(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort));
    QTRY_COMPARE_WITH_TIMEOUT(spies.error.count(), 1, 5000);
    QCOMPARE(spies.error.first().at(0).value<QNetworkReply::NetworkError>(), QNetworkReply::ConnectionRefusedError);
    QCOMPARE(request.statusCode(), 0);
}

void TestNetwork::requestQueryKeysSurvive()
{
    KvoApi::setEndpointForTesting(httpUrl(QString()));
    const QString tricky = QStringLiteral("a+b & c=d é%20/?#");
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(KvoApi::address(QStringLiteral("/echo"), {{QStringLiteral("q"), tricky}}));
    QTRY_COMPARE_WITH_TIMEOUT(spies.ok.count(), 1, 5000);
    KvoApi::setEndpointForTesting(QString());
    QCOMPARE(m_lastQuery.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded), tricky);
    QCOMPARE(m_lastQuery.queryItemValue(QStringLiteral("output")), QStringLiteral("json"));
    QCOMPARE(m_lastQuery.queryItemValue(QStringLiteral("locale")), KvoEnvironment::locale());
}

void TestNetwork::requestBasicHeader()
{
    const QString login = QStringLiteral("élève@example.org");
    const QString password = QStringLiteral("pässwörd:€ 1");
    KvoHTTPRequest::setCredentials(login, password);
    QVERIFY(KvoHTTPRequest::hasCredentials());

    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(httpUrl(QStringLiteral("/echo")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.ok.count(), 1, 5000);
    QCOMPARE(m_lastAuthorization, QByteArray("Basic ") + (login + QLatin1Char(':') + password).toUtf8().toBase64());

    KvoHTTPRequest::clearCredentials();
    QVERIFY(!KvoHTTPRequest::hasCredentials());
    request.get(httpUrl(QStringLiteral("/echo")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.ok.count(), 2, 5000);
    QVERIFY(m_lastAuthorization.isEmpty());
}

void TestNetwork::requestPostBody()
{
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("message"), QStringLiteral("1+1 = 2 & more"));
    fields.insert(QStringLiteral("accepted"), true);
    fields.insert(QStringLiteral("refused"), false);
    fields.insert(QStringLiteral("name"), QStringLiteral("Hélène Ærø"));
    fields.insert(QStringLiteral("id"), 812);
    fields.insert(QStringLiteral("a key"), QStringLiteral("x=y"));

    const QByteArray expected = "a%20key=x%3Dy&accepted=true&id=812&message=1%2B1%20%3D%202%20%26%20more"
                                "&name=H%C3%A9l%C3%A8ne%20%C3%86r%C3%B8&refused=false";
    QCOMPARE(KvoHTTPRequest::formBody(fields), expected);

    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.post(httpUrl(QStringLiteral("/echo")), fields);
    QTRY_COMPARE_WITH_TIMEOUT(spies.ok.count(), 1, 5000);
    QCOMPARE(m_lastBody, expected);
    QCOMPARE(m_lastContentType, QByteArray("application/x-www-form-urlencoded"));
    // What a form parser on the other side reads back.
    const QUrlQuery parsed(QString::fromUtf8(m_lastBody));
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        const QString expectedText = it.value().metaType().id() == QMetaType::Bool
                                         ? (it.value().toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                         : it.value().toString();
        QCOMPARE(parsed.queryItemValue(it.key(), QUrl::FullyDecoded), expectedText);
    }
}

void TestNetwork::requestTimeout()
{
    serve(m_raw, {}, false); // accepts, reads, never answers
    KvoHTTPRequest::setTransferTimeout(300);
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(m_raw.url());
    QTRY_COMPARE_WITH_TIMEOUT(spies.error.count(), 1, 5000);
    QCOMPARE(spies.ok.count(), 0);
    QCOMPARE(spies.error.first().at(0).value<QNetworkReply::NetworkError>(), QNetworkReply::OperationCanceledError);
    QVERIFY(spies.error.first().at(1).toString().contains(QStringLiteral("timed out")));
    QCOMPARE(request.statusCode(), 0);
}

void TestNetwork::requestRedirectNotFollowed()
{
    serve(m_raw, httpAnswer("302 Found", {}, 0,
                           "Location: " + httpUrl(QStringLiteral("/file")).toUtf8() + "\r\n"));
    KvoHTTPRequest::setCredentials(QStringLiteral("user"), QStringLiteral("secret"));
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(m_raw.url());
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.error.count(), 1);
    QCOMPARE(request.statusCode(), 302);
    QCOMPARE(m_fileHits, 0);
}

void TestNetwork::requestAbort()
{
    KvoHTTPRequest idle;
    RequestSpies idleSpies(&idle);
    idle.abort(); // nothing runs: nothing happens

    serve(m_raw, {}, false);
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(m_raw.url());
    QTRY_COMPARE_WITH_TIMEOUT(m_raw.requestCount(), 1, 5000);
    // Aborting is silent: the caller has lost interest in the answer, and
    // a page about to be rebuilt must not show an error text for it.
    request.abort();
    QVERIFY(!request.isRunning());
    request.abort();
    QCOMPARE(spies.total(), 0);
    QCOMPARE(idleSpies.total(), 0);

    // The same object answers the next request normally, and nothing of
    // the aborted one comes after it.
    request.get(httpUrl(QStringLiteral("/status/200")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.ok.count(), 1);
    serve(m_raw);
    QCOMPARE(spies.total(), 1);
}

void TestNetwork::requestDeadline()
{
    // Bytes every 20 ms keep the inactivity time-out (30 s) quiet for ever;
    // the overall deadline ends the request all the same.
    KvoFakeHttpServer drip;
    drip.setReply(KvoFakeHttpServer::Reply::drip(20));
    QVERIFY(drip.listen());
    KvoHTTPRequest::setDeadline(400);
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    QElapsedTimer clock;
    clock.start();
    request.get(drip.url(QStringLiteral("/drip")));
    QVERIFY(QTest::qWaitFor([&] { return spies.total() > 0; }, 10000));
    KvoHTTPRequest::setDeadline(60000);
    QCOMPARE(drip.replies(), 1);
    QCOMPARE(spies.error.count(), 1);
    QCOMPARE(spies.error.first().at(0).value<QNetworkReply::NetworkError>(), QNetworkReply::TimeoutError);
    QVERIFY(spies.error.first().at(1).toString().contains(QStringLiteral("400 ms")));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!request.isRunning());
}

void TestNetwork::requestBodyBound()
{
    const QByteArray body(4096, 'x');
    KvoHTTPRequest request;
    request.setMaxBodySize(body.size());
    RequestSpies spies(&request);
    // At the bound: read.
    serve(m_raw, httpAnswer("200 OK", body));
    request.get(m_raw.url(QStringLiteral("/bound")));
    QTRY_COMPARE(spies.total(), 1);
    QCOMPARE(spies.ok.count(), 1);
    QCOMPARE(spies.ok.first().at(0).toString().size(), body.size());

    // Longer, announced or not: dropped as it arrives, even from a server
    // that then sends nothing more and keeps the connection open.
    const QList<QByteArray> answers = {httpAnswer("200 OK", body + "y"), httpAnswer("200 OK", body + "y", -1),
                                       httpAnswer("200 OK", "{}", 1 << 30)};
    for (const QByteArray& answer : answers) {
        spies.ok.clear();
        spies.error.clear();
        serve(m_raw, answer, false);
        request.get(m_raw.url(QStringLiteral("/unbound")));
        QTRY_VERIFY2(spies.total() == 1, answer.left(80).constData());
        QCOMPARE(spies.ok.count(), 0);
        QCOMPARE(spies.error.first().at(0).value<QNetworkReply::NetworkError>(), QNetworkReply::UnknownContentError);
        QVERIFY(request.errorBody().isEmpty());
        QVERIFY(!request.isRunning());
    }
}

void TestNetwork::requestSendAgainWhileRunning()
{
    serve(m_raw, {}, false);
    KvoHTTPRequest request;
    RequestSpies spies(&request);
    request.get(m_raw.url());
    QTRY_COMPARE_WITH_TIMEOUT(m_raw.requestCount(), 1, 5000);
    request.get(httpUrl(QStringLiteral("/status/200")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QVERIFY(!request.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.ok.count(), 1);
    QCOMPARE(spies.error.count(), 0);
}

void TestNetwork::requestAutoDelete()
{
    QPointer<KvoHTTPRequest> request = new KvoHTTPRequest;
    request->setAutoDelete(true);
    RequestSpies spies(request);
    request->get(httpUrl(QStringLiteral("/status/404")));
    QTRY_VERIFY_WITH_TIMEOUT(request.isNull(), 5000);
    QCOMPARE(spies.error.count(), 1);
}

// ---------------------------------------------------------- KvoDownloader

void TestNetwork::downloadSuccess()
{
    // A longer earlier file under the final name is replaced entirely.
    QVERIFY(writeFile(target(), QByteArray(400000, 'x')));
    KvoHTTPRequest::setCredentials(QStringLiteral("user"), QStringLiteral("secret"));

    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(target());
    downloader.download(httpUrl(QStringLiteral("/file")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.ok.count(), 1);
    QCOMPARE(readAll(target()), m_payload);
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
    QCOMPARE(downloader.bytesReceived(), qint64(m_payload.size()));
    QCOMPARE(downloader.statusCode(), 200);
    QVERIFY(!spies.progress.isEmpty());
    QCOMPARE(spies.progress.last().at(0).toLongLong(), qint64(m_payload.size()));
    QCOMPARE(spies.progress.last().at(1).toLongLong(), qint64(m_payload.size()));
    // Neither the service's credentials nor its keys go with a file.
    QVERIFY(m_lastAuthorization.isEmpty());
    QVERIFY(m_lastQuery.isEmpty());
    QVERIFY(!downloader.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.total(), 1);
}

void TestNetwork::downloadFailure_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<QNetworkReply::NetworkError>("error");

    const QByteArray location = "Location: http://127.0.0.1:" + QByteArray::number(m_httpPort) + "/file\r\n";
    QTest::newRow("404") << httpAnswer("404 Not Found", "no such file") << false << QNetworkReply::ContentNotFoundError;
    QTest::newRow("404 keeps the earlier file")
        << httpAnswer("404 Not Found", "no such file") << true << QNetworkReply::ContentNotFoundError;
    QTest::newRow("500") << httpAnswer("500 Internal Server Error", "oops") << true << QNetworkReply::InternalServerError;
    QTest::newRow("302 not followed")
        << httpAnswer("302 Found", {}, 0, location) << true << QNetworkReply::UnknownContentError;
    QTest::newRow("301 not followed")
        << httpAnswer("301 Moved Permanently", {}, 0, location) << false << QNetworkReply::UnknownContentError;
    QTest::newRow("body cut short")
        << httpAnswer("200 OK", QByteArray(5000, 'c'), 20000) << false << QNetworkReply::RemoteHostClosedError;
    QTest::newRow("body cut short, earlier file")
        << httpAnswer("200 OK", QByteArray(5000, 'c'), 20000) << true << QNetworkReply::RemoteHostClosedError;
}

void TestNetwork::downloadFailure()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, previous);
    QFETCH(QNetworkReply::NetworkError, error);

    const QByteArray earlier = "the complete earlier file";
    if (previous)
        QVERIFY(writeFile(target(), earlier));
    serve(m_raw, answer);

    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(target());
    downloader.download(m_raw.url(QStringLiteral("/video.qoz")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.error.count(), 1);
    QCOMPARE(spies.errorCode(), error);
    QVERIFY(!spies.error.first().at(1).toString().isEmpty());
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
    if (previous)
        QCOMPARE(readAll(target()), earlier);
    else
        QVERIFY(!QFile::exists(target()));
    QCOMPARE(m_fileHits, 0);
    QVERIFY(!downloader.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.total(), 1);
}

void TestNetwork::downloadLongerThanAnnounced()
{
    // The announced length ends the body: what follows is never part of the
    // file.
    serve(m_raw, httpAnswer("200 OK", QByteArray("0123456789ABCDEFGHIJ"), 10));
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(target());
    downloader.download(m_raw.url());
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
    QCOMPARE(spies.ok.count(), 1);
    QCOMPARE(readAll(target()), QByteArray("0123456789"));
}

void TestNetwork::downloadStallTimesOut()
{
    serve(m_raw, httpAnswer("200 OK", QByteArray(1000, 's'), 100000), false);
    KvoDownloader::setTransferTimeout(300);
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(target());
    downloader.download(m_raw.url());
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.errorCode(), QNetworkReply::OperationCanceledError);
    QVERIFY(spies.error.first().at(1).toString().contains(QStringLiteral("timed out")));
    QVERIFY(!QFile::exists(target()));
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
}

void TestNetwork::downloadTooSlow()
{
    // One byte every 20 ms is 50 B/s: under a floor of 1 KB/s over a
    // 300 ms window the transfer fails, although data keeps coming.
    KvoFakeHttpServer drip;
    drip.setReply(KvoFakeHttpServer::Reply::drip(20));
    QVERIFY(drip.listen());
    KvoDownloader::setLowSpeedLimit(1024, 300);
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(target());
    downloader.download(drip.url(QStringLiteral("/drip")));
    QVERIFY(QTest::qWaitFor([&] { return spies.total() > 0; }, 10000));
    KvoDownloader::setLowSpeedLimit(1024, 60000);
    QCOMPARE(spies.error.count(), 1);
    QCOMPARE(spies.errorCode(), QNetworkReply::TimeoutError);
    QVERIFY(downloader.bytesReceived() > 0);
    QVERIFY(!downloader.isRunning());
    QVERIFY(!QFile::exists(target()));
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
}

void TestNetwork::downloadBadDestination_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing folder") << QStringLiteral("missing");
    QTest::newRow("parent is a file") << QStringLiteral("file");
    QTest::newRow("destination is a folder") << QStringLiteral("folder");
    QTest::newRow("read-only folder") << QStringLiteral("readonly");
}

void TestNetwork::downloadBadDestination()
{
    QFETCH(QString, kind);
    QString destination;
    if (kind == QLatin1String("missing")) {
        destination = m_dir->filePath(QStringLiteral("no/such/folder/v.qoz"));
    } else if (kind == QLatin1String("file")) {
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("plain")), "x"));
        destination = m_dir->filePath(QStringLiteral("plain/v.qoz"));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("v.qoz")));
        destination = m_dir->filePath(QStringLiteral("v.qoz"));
    } else {
        const QString folder = m_dir->filePath(QStringLiteral("ro"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ro")));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (writeFile(folder + QStringLiteral("/probe"), "x")) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("read-only folders are writable for this user (root)");
        }
        destination = folder + QStringLiteral("/v.qoz");
    }

    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(destination);
    downloader.download(httpUrl(QStringLiteral("/file")));
    QCOMPARE(spies.total(), 0); // never from inside download()
    QVERIFY(downloader.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.errorCode(), QNetworkReply::UnknownNetworkError);
    QVERIFY(!spies.error.first().at(1).toString().isEmpty());
    QVERIFY(!downloader.isRunning());
    QVERIFY(!QFile::exists(destination + QStringLiteral(".part")));
    QCOMPARE(m_fileHits, 0);
    QVERIFY(!downloader.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.total(), 1);
}

void TestNetwork::downloadWriteError()
{
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    bool ended = false;
    {
        // Writes fail past 64 KiB, as on a full disk.
        KvoFileSizeLimit limit(64 * 1024);
        QVERIFY(writeFile(target(), "earlier"));
        downloader.setDestination(target());
        downloader.download(httpUrl(QStringLiteral("/file")));
        ended = QTest::qWaitFor([&] { return spies.total() == 1; }, 5000);
    }
    QVERIFY(ended);
    QCOMPARE(spies.errorCode(), QNetworkReply::UnknownNetworkError);
    QVERIFY(spies.error.first().at(1).toString().contains(QStringLiteral(".part")));
    QCOMPARE(readAll(target()), QByteArray("earlier"));
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
    QVERIFY(!downloader.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.total(), 1);
}

void TestNetwork::downloadAbort()
{
    serve(m_raw, httpAnswer("200 OK", QByteArray(8000, 'a'), 100000), false);
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(target());
    downloader.download(m_raw.url());
    QTRY_VERIFY_WITH_TIMEOUT(!spies.progress.isEmpty(), 5000);
    QVERIFY(QFile::exists(target() + QStringLiteral(".part")));
    downloader.abort();
    QVERIFY(!downloader.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.total(), 1);
    QCOMPARE(spies.errorCode(), QNetworkReply::OperationCanceledError);
    QVERIFY(!downloader.isRunning());
    QVERIFY(!QFile::exists(target()));
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
}

void TestNetwork::downloadAbortFromProgressSlot()
{
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    connect(&downloader, &KvoDownloader::progressDownload, &downloader, &KvoDownloader::abort);
    downloader.setDestination(target());
    downloader.download(httpUrl(QStringLiteral("/file")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QVERIFY(!downloader.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(spies.total(), 1);
    QCOMPARE(spies.errorCode(), QNetworkReply::OperationCanceledError);
    QCOMPARE(spies.progress.count(), 1);
    QVERIFY(!QFile::exists(target()));
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
}

void TestNetwork::downloadDeletedWhileRunning()
{
    serve(m_raw, httpAnswer("200 OK", QByteArray(8000, 'd'), 100000), false);
    auto* downloader = new KvoDownloader;
    int endSignals = 0;
    connect(downloader, &KvoDownloader::successDownload, this, [&endSignals] { ++endSignals; });
    connect(downloader, &KvoDownloader::errorDownload, this, [&endSignals] { ++endSignals; });
    bool progressed = false;
    connect(downloader, &KvoDownloader::progressDownload, this, [&progressed] { progressed = true; });
    downloader->setDestination(target());
    downloader->download(m_raw.url());
    QTRY_VERIFY_WITH_TIMEOUT(progressed, 5000);
    delete downloader;
    serve(m_raw); // the server goes away too
    QCoreApplication::processEvents();
    QCOMPARE(endSignals, 0);
    QVERIFY(!QFile::exists(target() + QStringLiteral(".part")));
}

void TestNetwork::downloadWithoutDestination()
{
    KvoDownloader downloader;
    DownloadSpies spies(&downloader);
    downloader.setDestination(QString());
    downloader.download(httpUrl(QStringLiteral("/file")));
    QTRY_COMPARE_WITH_TIMEOUT(spies.total(), 1, 5000);
    QCOMPARE(spies.ok.count(), 1);
    QCOMPARE(downloader.bytesReceived(), qint64(m_payload.size()));
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
