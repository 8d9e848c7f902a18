#include "KvoAsynchronousSender.h"

#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSqlQuery>
#include <QThread>

namespace {

QMutex s_instanceMutex;
KvoAsynchronousSender* s_instance = nullptr;

// The stored form of the fields. QJsonObject keeps its keys sorted, so the
// text has the keys in ascending order.
QString fieldsToJson(const QMap<QString, QVariant>& fields)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject::fromVariantMap(fields)).toJson(QJsonDocument::Compact));
}

QMap<QString, QVariant> fieldsFromJson(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object().toVariantMap();
}

} // namespace

KvoAsynchronousSender* KvoAsynchronousSender::instance()
{
    QMutexLocker locker(&s_instanceMutex);
    if (!s_instance) {
        s_instance = new KvoAsynchronousSender;
        // Whatever an earlier run left unsent goes out now.
        QMetaObject::invokeMethod(s_instance, &KvoAsynchronousSender::sendNext, Qt::QueuedConnection);
    }
    return s_instance;
}

void KvoAsynchronousSender::destroy()
{
    KvoAsynchronousSender* sender = nullptr;
    {
        QMutexLocker locker(&s_instanceMutex);
        sender = s_instance;
        s_instance = nullptr;
    }
    if (!sender)
        return;
    // A running request is dropped; its entry stays in the table and goes
    // out at the next start, even when the service had already taken it:
    // sending it twice is better than losing it.
    if (sender->m_request) {
        sender->m_request->disconnect(sender);
        sender->m_request->abort();
    }
    delete sender;
}

KvoAsynchronousSender::KvoAsynchronousSender(QObject* parent)
    : QObject(parent)
{
    reload();
}

KvoAsynchronousSender::~KvoAsynchronousSender() = default;

bool KvoAsynchronousSender::add(const QString& url, const QMap<QString, QVariant>& fields)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("INSERT INTO `to_send`(id_user, url, data) VALUES(:id_user, :url, :data)"));
    q.bindValue(QStringLiteral(":id_user"), KvoEnvironment::currentUserId());
    q.bindValue(QStringLiteral(":url"), url);
    q.bindValue(QStringLiteral(":data"), fieldsToJson(fields));
    const bool stored = q.exec();
    if (!stored)
        qWarning("KvoAsynchronousSender: the request to %s could not be stored", qPrintable(url));
    flush();
    return stored;
}

void KvoAsynchronousSender::flush()
{
    KvoAsynchronousSender* sender = instance();
    // Requests go out from the sender's own (GUI) thread.
    if (QThread::currentThread() != sender->thread()) {
        QMetaObject::invokeMethod(sender, &KvoAsynchronousSender::flush, Qt::QueuedConnection);
        return;
    }
    // The signed-in user may have changed since the last load: another
    // account's entries must not go out under this one's credentials.
    sender->reload();
    sender->sendNext();
}

void KvoAsynchronousSender::hold()
{
    KvoAsynchronousSender* sender = instance();
    QMutexLocker locker(&sender->m_mutex);
    sender->m_held = true;
}

bool KvoAsynchronousSender::isHeld() const
{
    QMutexLocker locker(&m_mutex);
    return m_held;
}

int KvoAsynchronousSender::pendingCount()
{
    QMutexLocker locker(&m_mutex);
    return int(m_queue.size());
}

bool KvoAsynchronousSender::isSending() const
{
    QMutexLocker locker(&m_mutex);
    return m_sending;
}

void KvoAsynchronousSender::reload()
{
    QList<Entry> entries;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "SELECT `id`, `url`, `data` FROM `to_send` WHERE `id_user` = :id_user ORDER BY `id`"));
    q.bindValue(QStringLiteral(":id_user"), KvoEnvironment::currentUserId());
    if (q.exec()) {
        while (q.next()) {
            Entry entry;
            entry.rowId = q.value(0).toLongLong();
            entry.url = q.value(1).toString();
            entry.fields = fieldsFromJson(q.value(2).toString());
            entries.append(entry);
        }
    }
    QMutexLocker locker(&m_mutex);
    if (m_sending) {
        // Keep the entry on its way at the head whatever the table says.
        for (const Entry& e : std::as_const(m_queue)) {
            if (e.rowId == m_sendingRowId) {
                entries.removeIf([&](const Entry& x) { return x.rowId == e.rowId; });
                entries.prepend(e);
                break;
            }
        }
    }
    m_queue = entries;
}

void KvoAsynchronousSender::sendNext()
{
    Entry entry;
    {
        QMutexLocker locker(&m_mutex);
        if (m_held || m_sending || m_queue.isEmpty())
            return;
        entry = m_queue.first();
        m_sending = true;
        m_sendingRowId = entry.rowId;
    }
    if (!m_request) {
        m_request = new KvoHTTPRequest(this);
        connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoAsynchronousSender::onSuccess);
        connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoAsynchronousSender::onError);
    }
    // The fields come from their stored JSON form, so the first attempt and
    // every later one send the same body.
    m_request->post(entry.url, entry.fields);
}

void KvoAsynchronousSender::onSuccess()
{
    QString url;
    qint64 rowId = 0;
    {
        QMutexLocker locker(&m_mutex);
        if (!m_sending)
            return;
        rowId = m_sendingRowId;
        m_sending = false;
        m_sendingRowId = 0;
        for (int i = 0; i < m_queue.size(); ++i) {
            if (m_queue.at(i).rowId == rowId) {
                url = m_queue.at(i).url;
                m_queue.removeAt(i);
                break;
            }
        }
    }
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("DELETE FROM `to_send` WHERE `id` = :id"));
    q.bindValue(QStringLiteral(":id"), rowId);
    q.exec();
    emit entrySent(url);
    sendNext();
}

void KvoAsynchronousSender::onError()
{
    QString url;
    {
        QMutexLocker locker(&m_mutex);
        if (!m_sending)
            return;
        for (const Entry& e : std::as_const(m_queue)) {
            if (e.rowId == m_sendingRowId) {
                url = e.url;
                break;
            }
        }
        m_sending = false;
        m_sendingRowId = 0;
    }
    // No retry at once: while offline that would loop without end. The
    // entry goes out again at the next add, flush or start.
    emit entryFailed(url);
}
