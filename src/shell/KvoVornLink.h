#pragma once

#include <QMap>
#include <QString>

class QUrl;

// A "vorn:" link as the web site hands it to the client:
// "vorn:key:value:key:value…". Fields pair up as key and value in order; a
// key left without a value has an empty one. Only the key "download" (the
// id of a purchase to fetch or play) is acted on today.
class KvoVornLink
{
public:
    static KvoVornLink parse(const QString& text);
    static KvoVornLink parse(const QUrl& url);

    // False for anything that does not start with "vorn:".
    bool isValid() const { return m_valid; }
    bool contains(const QString& key) const { return m_fields.contains(key); }
    QString value(const QString& key) const { return m_fields.value(key); }
    QMap<QString, QString> fields() const { return m_fields; }

    bool hasDownload() const { return contains(QStringLiteral("download")); }
    // The purchase id of the key "download"; 0 when it is not a number.
    uint downloadPurchaseId() const;

private:
    bool m_valid = false;
    QMap<QString, QString> m_fields;
};
