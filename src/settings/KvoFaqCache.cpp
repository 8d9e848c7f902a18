#include "KvoFaqCache.h"

#include "KvoDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QVariant>

bool KvoFaqCache::parseAnswer(const QString& body, QList<Entry>* entries)
{
    entries->clear();
    // Only the entries kept become variants: an FAQ of thousands costs its
    // parse alone.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject json = document.object();
    if (!json.contains(QStringLiteral("status")) || !json.contains(QStringLiteral("q"))
        || json.value(QStringLiteral("status")).toString() != QLatin1String("OK"))
        return false;
    // A "q" that is no list counts as an empty one; an element that is no
    // object is skipped.
    const QJsonArray list = json.value(QStringLiteral("q")).toArray();
    int tooLong = 0;
    int cut = 0;
    for (const QJsonValue item : list) {
        const QJsonObject map = item.toObject();
        Entry entry;
        entry.answer = map.value(QStringLiteral("answer")).toVariant().toString();
        if (entry.answer.isEmpty())
            continue;
        if (entry.answer.size() > MaxAnswerLength) {
            ++tooLong;
            continue;
        }
        if (entries->size() == MaxEntries) {
            ++cut;
            continue;
        }
        entry.id = map.value(QStringLiteral("id")).toVariant().toUInt();
        entry.question = map.value(QStringLiteral("question")).toVariant().toString();
        entries->append(entry);
    }
    if (tooLong > 0)
        qWarning("KvoFaqCache: %d answers longer than %d characters left out", tooLong, MaxAnswerLength);
    if (cut > 0)
        qWarning("KvoFaqCache: %d entries past the first %d left out", cut, MaxEntries);
    return true;
}

bool KvoFaqCache::replace(const QList<Entry>& entries)
{
    QSqlDatabase db = KvoDatabase::database();
    KvoTransaction transaction(db);
    if (!transaction.isActive())
        return false;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("DELETE FROM `faq`")))
        return false;
    q.prepare(QStringLiteral("INSERT INTO `faq` (`id`, `question`, `answer`) VALUES (:id, :question, :answer)"));
    for (const Entry& entry : entries) {
        q.bindValue(QStringLiteral(":id"), entry.id);
        q.bindValue(QStringLiteral(":question"), entry.question);
        q.bindValue(QStringLiteral(":answer"), entry.answer);
        if (!q.exec())
            return false;
    }
    return transaction.commit();
}

QList<KvoFaqCache::Entry> KvoFaqCache::entries()
{
    QList<Entry> list;
    QSqlQuery q(KvoDatabase::database());
    // The rows come back in the order they were written: the answer's.
    // At most the entries an answer may bring: a cache written before they
    // were bounded may hold any number.
    q.prepare(QStringLiteral("SELECT `answer`, `question`, `id` FROM `faq` ORDER BY rowid LIMIT :max"));
    q.bindValue(QStringLiteral(":max"), MaxEntries);
    if (!q.exec())
        return list;
    while (q.next()) {
        Entry entry;
        entry.answer = q.value(0).toString();
        entry.question = q.value(1).toString();
        entry.id = q.value(2).toUInt();
        list.append(entry);
    }
    return list;
}
