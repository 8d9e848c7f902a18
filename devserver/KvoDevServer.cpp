#include "KvoDevServer.h"

#include "KvoDevFaults.h"
#include "KvoDevMedia.h"
#include "KvoDevPages.h"
#include "KvoDevTransfer.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

const QString kApiKey = QStringLiteral("4b9d27e0c5a18f36e2d07b5c9a41f8e3");

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool toInt(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

QJsonObject statusOk()
{
    QJsonObject o;
    o.insert(QStringLiteral("status"), QStringLiteral("OK"));
    return o;
}

} // namespace

KvoDevServer::KvoDevServer(KvoDevData* data, KvoDevMedia* media, KvoDevFaults* faults, QObject* parent)
    : QAbstractHttpServer(parent)
    , m_data(data)
    , m_media(media)
    , m_faults(faults)
{
    applyPromotionEnd();
}

void KvoDevServer::applyPromotionEnd()
{
    if (m_faults->isOn(QStringLiteral("promo_end")))
        m_data->setPromotionEnd(KvoDevData::ShortPromotionId,
                                QDateTime::currentSecsSinceEpoch() + m_faults->number(QStringLiteral("promo_end")));
}

quint16 KvoDevServer::start(quint16 port)
{
    m_port = listen(QHostAddress::LocalHost, port);
    if (m_port)
        m_data->setBaseUrl(baseUrl());
    return m_port;
}

QString KvoDevServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

KvoDevServer::Fields KvoDevServer::parseEncoded(const QByteArray& encoded)
{
    // Split by hand: values are percent-encoded one by one, and a '+' is a
    // plus sign, not a space.
    Fields fields;
    for (const QByteArray& pair : encoded.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        fields.insert(QUrl::fromPercentEncoding(key), QUrl::fromPercentEncoding(value));
    }
    return fields;
}

bool KvoDevServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    bool control = false;
    const KvoDevReply reply = route(request, &control);
    const bool headOnly = request.method() == QHttpServerRequest::Method::Head;
    const bool close = request.value("Connection").toLower() == "close";
    const QByteArray range = request.value("Range");
    if (!m_quiet) {
        std::fprintf(stderr, "%s %s -> %d\n", request.method() == QHttpServerRequest::Method::Post ? "POST" : "GET",
                     qPrintable(request.url().path()), reply.status);
        std::fflush(stderr);
    }
    const int delay = control ? 0 : m_faults->number(QStringLiteral("slow"));
    if (delay > 0) {
        // The socket is the timer's context: a client that left takes the
        // pending answer with it.
        QTimer::singleShot(delay, socket, [this, socket, reply, headOnly, close, range] {
            send(socket, reply, headOnly, close, range);
        });
    } else {
        send(socket, reply, headOnly, close, range);
    }
    return true;
}

void KvoDevServer::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    send(socket, KvoDevReply::error(404, QStringLiteral("Chemin inconnu.")), false, false);
}

void KvoDevServer::send(QTcpSocket* socket, const KvoDevReply& reply, bool headOnly, bool close,
                        const QByteArray& range)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    // A file answers a single byte range "bytes=FIRST-[LAST]" (players seek
    // in a stream that way); any other form of range gets the whole file.
    const qint64 fileSize = reply.filePath.isEmpty() ? 0 : QFileInfo(reply.filePath).size();
    qint64 offset = 0;
    qint64 slice = fileSize;
    int status = reply.status;
    static const QRegularExpression rangeRe(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
    const QRegularExpressionMatch rangeMatch = rangeRe.match(QString::fromLatin1(range.trimmed()));
    if (!reply.filePath.isEmpty() && status == 200 && rangeMatch.hasMatch()) {
        const qint64 first = rangeMatch.captured(1).toLongLong();
        const qint64 last = rangeMatch.captured(2).isEmpty() ? fileSize - 1
                                                             : qMin(fileSize - 1, rangeMatch.captured(2).toLongLong());
        if (first >= fileSize || last < first) {
            QByteArray head = "HTTP/1.1 416 " + reason(416) + "\r\nContent-Range: bytes */"
                              + QByteArray::number(fileSize) + "\r\nContent-Length: 0\r\n\r\n";
            socket->write(head);
            return;
        }
        status = 206;
        offset = first;
        slice = last - first + 1;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    if (!reply.contentType.isEmpty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    for (const auto& h : reply.headers)
        head += h.first + ": " + h.second + "\r\n";
    head += "Server: vistrelle-devserver\r\n";

    if (reply.filePath.isEmpty()) {
        if (!reply.noBody)
            head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        if (close)
            head += "Connection: close\r\n";
        head += "\r\n";
        socket->write(head);
        if (!headOnly && !reply.noBody)
            socket->write(reply.body);
        if (close)
            socket->disconnectFromHost();
        return;
    }

    head += "Accept-Ranges: bytes\r\n";
    if (status == 206)
        head += "Content-Range: bytes " + QByteArray::number(offset) + '-' + QByteArray::number(offset + slice - 1) + '/'
                + QByteArray::number(fileSize) + "\r\n";
    const qint64 size = slice;
    qint64 announced = size;
    qint64 count = size;
    KvoDevTransfer::End end = close ? KvoDevTransfer::End::Close : KvoDevTransfer::End::KeepOpen;
    switch (reply.fileMode) {
    case KvoDevReply::FileMode::Normal:
        break;
    case KvoDevReply::FileMode::Short:
        count = size / 2;
        end = KvoDevTransfer::End::Close;
        break;
    case KvoDevReply::FileMode::Long:
        announced = size / 2;
        end = KvoDevTransfer::End::Close;
        break;
    case KvoDevReply::FileMode::Stall:
        count = qMin<qint64>(size / 2, 16 * 1024);
        end = KvoDevTransfer::End::KeepOpen;
        break;
    case KvoDevReply::FileMode::NoLength:
        announced = -1;
        end = KvoDevTransfer::End::Close;
        break;
    }
    if (announced >= 0)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    if (end == KvoDevTransfer::End::Close)
        head += "Connection: close\r\n";
    head += "\r\n";
    KvoDevTransfer::start(socket, head, reply.filePath, headOnly ? 0 : count, end, offset);
}

KvoDevReply KvoDevServer::route(const QHttpServerRequest& request, bool* control)
{
    const QString path = request.url().path();
    if (path.startsWith(QLatin1String("/_control/"))) {
        *control = true;
        return this->control(path, parseEncoded(request.url().query(QUrl::FullyEncoded).toUtf8()));
    }
    if (path.startsWith(QLatin1String("/0.1/")))
        return api(request, path);
    if (path.startsWith(QLatin1String("/files/")))
        return file(path, request.url().query());
    return page(path, parseEncoded(request.url().query(QUrl::FullyEncoded).toUtf8()));
}

KvoDevReply KvoDevServer::api(const QHttpServerRequest& request, const QString& path)
{
    if (m_faults->isOn(QStringLiteral("status"))) {
        const int code = m_faults->number(QStringLiteral("status"));
        if (code == 304)
            return KvoDevReply::notModified();
        return KvoDevReply::error(code, QStringLiteral("Erreur simulée (%1).").arg(code));
    }
    if (m_faults->isOn(QStringLiteral("nojson")))
        return KvoDevReply::bytes(200, QByteArrayLiteral("text/html"), QByteArrayLiteral("<html>not json</html>"));

    struct Route {
        const char* name;
        bool post;
        bool open; // no credentials needed
        KvoDevReply (KvoDevServer::*handler)(const Call&, KvoDevData::Account*);
    };
    static const Route routes[] = {
        {"playerLogin", false, false, &KvoDevServer::login},
        {"playerUserPurchases", false, false, &KvoDevServer::purchases},
        {"playerFileUrl", false, false, &KvoDevServer::fileUrl},
        {"playerComment", true, false, &KvoDevServer::comment},
        {"playerListVorn", false, false, &KvoDevServer::listVorn},
        {"playerFave", true, false, &KvoDevServer::fave},
        {"playerBuy", false, false, &KvoDevServer::buy},
        {"playerSearch", true, false, &KvoDevServer::search},
        {"playersoftEmailSub", true, false, &KvoDevServer::emailSub},
        {"playerVersion", false, true, &KvoDevServer::version},
        {"playerSupport", true, false, &KvoDevServer::support},
        {"playerFaq", false, true, &KvoDevServer::faq},
    };
    Call call;
    if (path.endsWith(QLatin1Char('/')))
        call.name = path.mid(5, path.size() - 6);
    const Route* found = nullptr;
    for (const Route& r : routes)
        if (call.name == QLatin1String(r.name))
            found = &r;
    if (!found)
        return KvoDevReply::error(404, QStringLiteral("Chemin inconnu."));

    call.post = request.method() == QHttpServerRequest::Method::Post;
    const bool get = request.method() == QHttpServerRequest::Method::Get
                     || request.method() == QHttpServerRequest::Method::Head;
    if ((found->post && !call.post) || (!found->post && !get))
        return KvoDevReply::error(405, QStringLiteral("Méthode non acceptée."));
    call.query = parseEncoded(request.url().query(QUrl::FullyEncoded).toUtf8());
    if (call.post)
        call.form = parseEncoded(request.body());

    if (call.query.value(QStringLiteral("apikey")) != kApiKey)
        return KvoDevReply::error(403, QStringLiteral("Clé d'API invalide."));
    if (call.query.value(QStringLiteral("output")) != QLatin1String("json"))
        return KvoDevReply::error(400, QStringLiteral("Format de sortie non géré."));

    if (call.name == QLatin1String("playerUserPurchases")) {
        if (m_faults->isOn(QStringLiteral("poll304")))
            return KvoDevReply::notModified();
        if (m_faults->isOn(QStringLiteral("poll409")))
            return KvoDevReply::error(409, QStringLiteral("Votre compte est utilisé sur un autre ordinateur."));
    }

    KvoDevData::Account* account = m_data->authenticate(request.value("Authorization"));
    if (!account && !found->open)
        return KvoDevReply::error(401, QStringLiteral("Identifiant ou mot de passe incorrect."));

    KvoDevReply reply = (this->*found->handler)(call, account);
    if (m_faults->isOn(QStringLiteral("truncate")) && !reply.noBody) {
        reply.status = 200;
        reply.body.truncate(reply.body.size() / 2);
    }
    return reply;
}

KvoDevReply KvoDevServer::login(const Call&, KvoDevData::Account* account)
{
    return KvoDevReply::json(m_data->signIn(*account));
}

KvoDevReply KvoDevServer::purchases(const Call& call, KvoDevData::Account* account)
{
    const QString session = call.query.value(QStringLiteral("session"));
    if (account->session.isEmpty() || session != account->session)
        return KvoDevReply::error(409, QStringLiteral("Votre compte est utilisé sur un autre ordinateur."));
    const qint64 since = call.query.value(QStringLiteral("since")).toLongLong();
    if (since >= account->changeTime)
        return KvoDevReply::notModified();
    return KvoDevReply::json(m_data->library(*account));
}

KvoDevReply KvoDevServer::fileUrl(const Call& call, KvoDevData::Account* account)
{
    if (call.query.value(QStringLiteral("user")) != account->userId)
        return KvoDevReply::error(403, QStringLiteral("Utilisateur incorrect."));
    int fileId = 0;
    const int courseId = toInt(call.query.value(QStringLiteral("file")), &fileId)
                             ? m_data->ownedFileCourse(*account, fileId)
                             : 0;
    if (!courseId)
        return KvoDevReply::error(404, QStringLiteral("Fichier introuvable."));
    if (m_faults->isOn(QStringLiteral("fileurl_nourl")))
        return KvoDevReply::json(QJsonObject());
    QJsonObject o;
    o.insert(QStringLiteral("url"), baseUrl() + QStringLiteral("/files/videos/%1/%2.qoz").arg(courseId).arg(fileId));
    return KvoDevReply::json(o);
}

KvoDevReply KvoDevServer::comment(const Call& call, KvoDevData::Account* account)
{
    int id = 0;
    if (!toInt(call.form.value(QStringLiteral("vorn_id")), &id))
        return KvoDevReply::error(400, QStringLiteral("Formation inconnue."));
    record(QStringLiteral("comments"), account->userId, call.form);
    return KvoDevReply::json(statusOk());
}

KvoDevReply KvoDevServer::listVorn(const Call& call, KvoDevData::Account* account)
{
    QJsonArray vorns;
    if (!m_data->list(call.query.value(QStringLiteral("list")), *account, &vorns))
        return KvoDevReply::error(400, QStringLiteral("Liste inconnue."));
    // An answer without bound: the list's courses over and over, each with
    // an id of its own.
    const int rows = m_faults->number(QStringLiteral("list_rows"));
    if (rows > 0 && !vorns.isEmpty()) {
        QJsonArray many;
        for (int i = 0; i < rows; ++i) {
            QJsonObject course = vorns.at(i % vorns.size()).toObject();
            course.insert(QStringLiteral("id"), 100000 + i);
            many.append(course);
        }
        vorns = many;
    }
    QJsonObject o;
    o.insert(QStringLiteral("vorns"), vorns);
    return KvoDevReply::json(o);
}

KvoDevReply KvoDevServer::fave(const Call& call, KvoDevData::Account* account)
{
    int id = 0;
    if (call.form.value(QStringLiteral("delete")) != QLatin1String("true")
        || !toInt(call.form.value(QStringLiteral("vorn_id")), &id))
        return KvoDevReply::error(400, QStringLiteral("Requête incomplète."));
    record(QStringLiteral("faves"), account->userId, call.form);
    QJsonObject o = statusOk();
    o.insert(QStringLiteral("removed"), m_data->removeFavourite(*account, id));
    return KvoDevReply::json(o);
}

KvoDevReply KvoDevServer::buy(const Call& call, KvoDevData::Account* account)
{
    if (!call.query.contains(QStringLiteral("vorn_id"))) {
        QJsonObject o;
        o.insert(QStringLiteral("user_credits"), account->credits);
        return KvoDevReply::json(o);
    }
    int id = 0;
    QString error = QStringLiteral("Cette formation n'existe pas.");
    if (toInt(call.query.value(QStringLiteral("vorn_id")), &id) && m_data->buy(*account, id, &error)) {
        Fields f;
        f.insert(QStringLiteral("vorn_id"), QString::number(id));
        record(QStringLiteral("purchases"), account->userId, f);
        QJsonObject o = statusOk();
        o.insert(QStringLiteral("user_credits"), account->credits);
        return KvoDevReply::json(o);
    }
    QJsonObject o;
    o.insert(QStringLiteral("error"), true);
    o.insert(QStringLiteral("error_mssg"), error);
    return KvoDevReply::json(o);
}

KvoDevReply KvoDevServer::search(const Call& call, KvoDevData::Account*)
{
    int start = 0, limit = 10;
    toInt(call.form.value(QStringLiteral("start")), &start);
    if (!toInt(call.form.value(QStringLiteral("limit")), &limit))
        limit = 10;
    return KvoDevReply::json(m_data->search(call.form.value(QStringLiteral("query")), start, limit));
}

KvoDevReply KvoDevServer::emailSub(const Call& call, KvoDevData::Account* account)
{
    int id = 0;
    const QString sub = call.form.value(QStringLiteral("sub"));
    if (!toInt(call.form.value(QStringLiteral("soft_id")), &id)
        || (sub != QLatin1String("1") && sub != QLatin1String("0"))
        || !m_data->setSubscription(*account, id, sub == QLatin1String("1")))
        return KvoDevReply::error(400, QStringLiteral("Logiciel inconnu."));
    record(QStringLiteral("subscriptions"), account->userId, call.form);
    return KvoDevReply::json(statusOk());
}

KvoDevReply KvoDevServer::version(const Call&, KvoDevData::Account*)
{
    // The "version" fault gives the answers a client must refuse or handle.
    const QString variant = m_faults->value(QStringLiteral("version"));
    const qint64 size = QFileInfo(m_media->updatePackagePath()).size();
    QJsonObject o = statusOk();
    o.insert(QStringLiteral("num"), variant == QLatin1String("old")        ? 12
                                    : variant == QLatin1String("edge")     ? 13
                                    : variant == QLatin1String("negative") ? -14
                                                                           : 14);
    o.insert(QStringLiteral("version"), QStringLiteral("2.1.0"));
    if (variant != QLatin1String("nourl"))
        o.insert(QStringLiteral("url"), baseUrl() + QStringLiteral("/files/update/vistrelle-2.1.0.deb"));
    o.insert(QStringLiteral("date"), double(KvoDevMedia::kUpdateReleaseTime));
    if (variant != QLatin1String("nosize"))
        o.insert(QStringLiteral("size"), double(variant == QLatin1String("wrongsize") ? size + 100 : size));
    return KvoDevReply::json(o);
}

KvoDevReply KvoDevServer::support(const Call& call, KvoDevData::Account* account)
{
    record(QStringLiteral("support"), account->userId, call.form);
    return KvoDevReply::json(statusOk());
}

KvoDevReply KvoDevServer::faq(const Call&, KvoDevData::Account*)
{
    const QString variant = m_faults->value(QStringLiteral("faq"));
    if (variant == QLatin1String("error"))
        return KvoDevReply::error(200, QStringLiteral("FAQ indisponible."));
    QJsonArray q;
    for (const KvoDevData::FaqEntry& e : m_data->faq()) {
        if (variant == QLatin1String("empty"))
            break;
        QJsonObject o;
        o.insert(QStringLiteral("id"), e.id);
        o.insert(QStringLiteral("question"), e.question);
        QString answer = e.answer;
        answer.replace(QStringLiteral("{site}"), baseUrl());
        if (variant == QLatin1String("script") && !answer.isEmpty())
            answer = QStringLiteral("<script>document.write('piège')</script><style>p{color:red}</style>")
                     + answer + QStringLiteral("<img src=\"javascript:alert(1)\" onerror=\"alert(2)\">");
        o.insert(QStringLiteral("answer"), answer);
        q.append(o);
    }
    // Answers without bound: as many entries as asked (the demo's over and
    // over), or a first answer of that many bytes.
    const int rows = m_faults->number(QStringLiteral("faq_rows"));
    for (int i = 0; !q.isEmpty() && q.size() < rows; ++i) {
        QJsonObject o = q.at(i % q.size()).toObject();
        o.insert(QStringLiteral("id"), 1000 + i);
        q.append(o);
    }
    const int bytes = m_faults->number(QStringLiteral("faq_bytes"));
    if (bytes > 0 && !q.isEmpty()) {
        QJsonObject o = q.at(0).toObject();
        o.insert(QStringLiteral("answer"), QStringLiteral("<p>%1</p>").arg(QString(bytes, QLatin1Char('a'))));
        q.replace(0, o);
    }
    QJsonObject o = statusOk();
    o.insert(QStringLiteral("q"), q);
    return KvoDevReply::json(o);
}

void KvoDevServer::record(const QString& kind, const QString& userId, const Fields& fields)
{
    QJsonObject o;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        o.insert(it.key(), it.value());
    o.insert(QStringLiteral("_user"), userId);
    o.insert(QStringLiteral("_time"), double(QDateTime::currentSecsSinceEpoch()));
    m_log[kind].append(o);
}

KvoDevReply KvoDevServer::download(const QString& path, const QByteArray& contentType)
{
    if (path.isEmpty())
        return KvoDevReply::error(500, QStringLiteral("Fichier indisponible."));
    if (m_faults->isOn(QStringLiteral("file404")))
        return KvoDevReply::error(404, QStringLiteral("Fichier introuvable."));
    if (m_faults->isOn(QStringLiteral("redirect"))) {
        KvoDevReply r = KvoDevReply::bytes(302, QByteArrayLiteral("text/plain"), QByteArrayLiteral("Moved"));
        r.headers.append({QByteArrayLiteral("Location"), (baseUrl() + QStringLiteral("/files/redirected.bin")).toUtf8()});
        return r;
    }
    KvoDevReply r = KvoDevReply::file(path, contentType);
    if (m_faults->isOn(QStringLiteral("file_short")))
        r.fileMode = KvoDevReply::FileMode::Short;
    else if (m_faults->isOn(QStringLiteral("file_long")))
        r.fileMode = KvoDevReply::FileMode::Long;
    else if (m_faults->isOn(QStringLiteral("file_stall")))
        r.fileMode = KvoDevReply::FileMode::Stall;
    else if (m_faults->isOn(QStringLiteral("file_nolength")))
        r.fileMode = KvoDevReply::FileMode::NoLength;
    return r;
}

KvoDevReply KvoDevServer::file(const QString& path, const QString& query)
{
    static const QRegularExpression videoRe(QStringLiteral("^/files/videos/(\\d+)/(\\d+)\\.qoz$"));
    static const QRegularExpression previewRe(QStringLiteral("^/files/previews/(\\d+)\\.mp4$"));
    static const QRegularExpression thumbRe(QStringLiteral("^/files/thumbs/(vorn|software|video|author)_(\\d+)\\.png$"));
    static const QRegularExpression flagRe(QStringLiteral("^/files/flags/([a-z]+)\\.png$"));
    static const QRegularExpression attachRe(QStringLiteral("^/files/attachments/(\\d+)\\.zip$"));
    const KvoDevReply missing = KvoDevReply::error(404, QStringLiteral("Fichier introuvable."));
    const QByteArray png = QByteArrayLiteral("image/png");

    QRegularExpressionMatch m = videoRe.match(path);
    if (m.hasMatch()) {
        const KvoDevData::Video* v = m_data->video(m.captured(2).toInt());
        if (!v || v->courseId != m.captured(1).toInt())
            return missing;
        if (v->clip < 0)
            return download(m_media->benchVideoPath(m_data->benchMegabytes(), quint32(v->courseId), quint32(v->id)),
                            QByteArrayLiteral("video/mp4"));
        return download(m_media->videoPath(v->clip, quint32(v->courseId), quint32(v->id)),
                        QByteArrayLiteral("video/mp4"));
    }
    if (path == QLatin1String("/files/update/vistrelle-2.1.0.deb"))
        return download(m_media->updatePackagePath(), QByteArrayLiteral("application/vnd.debian.binary-package"));
    if (path == QLatin1String("/files/bench.bin") && !m_benchFile.isEmpty())
        return download(m_benchFile, QByteArrayLiteral("application/octet-stream"));
    if (path == QLatin1String("/files/bench.deb") && !m_benchPackage.isEmpty())
        return download(m_benchPackage, QByteArrayLiteral("application/vnd.debian.binary-package"));
    if (path == QLatin1String("/files/redirected.bin"))
        return KvoDevReply::file(m_media->redirectedPath(), QByteArrayLiteral("application/octet-stream"));

    m = previewRe.match(path);
    if (m.hasMatch()) {
        const KvoDevData::Course* c = m_data->course(m.captured(1).toInt());
        return c ? preview(*c, query) : missing;
    }
    m = thumbRe.match(path);
    if (m.hasMatch()) {
        const QString kind = m.captured(1);
        const int id = m.captured(2).toInt();
        QString label;
        int width = 160, height = 90;
        if (kind == QLatin1String("vorn") || kind == QLatin1String("author") || kind == QLatin1String("software")) {
            label = m_data->pageTitle(kind, id);
        } else if (const KvoDevData::Video* v = m_data->video(id)) {
            label = v->title;
        }
        if (label.isEmpty())
            return missing;
        if (kind == QLatin1String("author")) {
            QString initials;
            for (const QString& word : label.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                initials += word.left(1);
            label = initials;
            width = height = 64;
        } else if (kind == QLatin1String("software")) {
            width = height = 64;
        }
        const QString name = QStringLiteral("%1_%2.png").arg(kind).arg(id);
        const QString file = m_media->picturePath(name, label, id + kind.size() * 7, width, height);
        return file.isEmpty() ? missing : KvoDevReply::file(file, png);
    }
    m = flagRe.match(path);
    if (m.hasMatch()) {
        const QString file = m_media->flagPath(m.captured(1));
        return file.isEmpty() ? missing : KvoDevReply::file(file, png);
    }
    m = attachRe.match(path);
    if (m.hasMatch()) {
        const KvoDevData::Course* c = m_data->course(m.captured(1).toInt());
        return (c && c->attachment) ? KvoDevReply::file(m_media->attachmentPath(), QByteArrayLiteral("application/zip"))
                                    : missing;
    }
    return missing;
}

KvoDevReply KvoDevServer::preview(const KvoDevData::Course& course, const QString& query)
{
    const QByteArray mp4 = QByteArrayLiteral("video/mp4");
    if (m_faults->isOn(QStringLiteral("preview404")))
        return KvoDevReply::error(404, QStringLiteral("Extrait introuvable."));
    if (m_faults->isOn(QStringLiteral("preview_garbage")))
        return KvoDevReply::file(m_media->redirectedPath(), mp4);
    // Moved once: the address it points at is served as it stands.
    if (m_faults->isOn(QStringLiteral("preview_redirect")) && query.isEmpty()) {
        KvoDevReply r = KvoDevReply::bytes(302, QByteArrayLiteral("text/plain"), QByteArrayLiteral("Moved"));
        r.headers.append({QByteArrayLiteral("Location"),
                          (baseUrl() + QStringLiteral("/files/previews/%1.mp4?moved=1").arg(course.id)).toUtf8()});
        return r;
    }
    KvoDevReply r = KvoDevReply::file(m_media->clipPath(course.id % KvoDevMedia::kClipCount), mp4);
    if (m_faults->isOn(QStringLiteral("preview_short")))
        r.fileMode = KvoDevReply::FileMode::Short;
    else if (m_faults->isOn(QStringLiteral("preview_stall")))
        r.fileMode = KvoDevReply::FileMode::Stall;
    return r;
}

KvoDevReply KvoDevServer::page(const QString& path, const Fields& query)
{
    if (path == QLatin1String("/"))
        return KvoDevReply::html(KvoDevPages::root(QStringLiteral("fr")));
    static const QRegularExpression langRe(QStringLiteral("^/(fr|en)(/.*)?$"));
    const QRegularExpressionMatch m = langRe.match(path);
    if (!m.hasMatch())
        return KvoDevReply::html(KvoDevPages::plain(QStringLiteral("fr"), QStringLiteral("Page introuvable")), 404);
    const QString lang = m.captured(1);
    const QString rest = m.captured(2);
    if (rest.isEmpty() || rest == QLatin1String("/"))
        return KvoDevReply::html(KvoDevPages::root(lang));
    if (rest == QLatin1String("/desktop/home")) {
        const bool inlineTemplate = query.value(QStringLiteral("tpl")) == QLatin1String("inline");
        return KvoDevReply::html(KvoDevPages::home(*m_data, lang, inlineTemplate, query.value(QStringLiteral("lang"))));
    }
    if (rest == QLatin1String("/credits"))
        return KvoDevReply::html(KvoDevPages::credits(lang));
    static const QRegularExpression itemRe(QStringLiteral("^/(vorn|software|author)/(\\d+)"));
    const QRegularExpressionMatch item = itemRe.match(rest);
    QString title = item.hasMatch() ? m_data->pageTitle(item.captured(1), item.captured(2).toInt()) : QString();
    if (title.isEmpty())
        title = rest.mid(1);
    return KvoDevReply::html(KvoDevPages::plain(lang, title));
}

KvoDevReply KvoDevServer::control(const QString& path, const Fields& query)
{
    if (path == QLatin1String("/_control/fault")) {
        const QString name = query.value(QStringLiteral("name"));
        if (!m_faults->set(name, query.value(QStringLiteral("value"))))
            return KvoDevReply::error(400, QStringLiteral("Unknown fault or bad value."));
        if (name == QLatin1String("promo_end"))
            applyPromotionEnd();
    } else if (path == QLatin1String("/_control/reset")) {
        m_faults->clear();
        if (query.value(QStringLiteral("data")) == QLatin1String("1")) {
            m_data->reset();
            m_log.clear();
        }
    } else if (path == QLatin1String("/_control/log")) {
        QJsonObject o;
        for (const char* kind : {"comments", "support", "subscriptions", "faves", "purchases"})
            o.insert(QLatin1String(kind), m_log.value(QLatin1String(kind)));
        return KvoDevReply::json(o);
    } else {
        return KvoDevReply::error(404, QStringLiteral("Unknown control path."));
    }
    QJsonObject o = statusOk();
    o.insert(QStringLiteral("faults"), m_faults->toJson());
    return KvoDevReply::json(o);
}
