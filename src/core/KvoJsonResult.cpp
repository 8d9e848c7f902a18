#include "KvoJsonResult.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cstdarg>

namespace {

// Follows `count` keys from `map`, the first one being `first` and the
// others read from `rest`. `found` tells whether every step existed.
QVariant walk(const QVariantMap& map, int count, const char* first, va_list rest, bool* found)
{
    *found = false;
    if (count < 1 || !first)
        return {};

    QVariant current;
    const QVariantMap* level = &map;
    QVariantMap holder;
    const char* key = first;
    for (int step = 0; step < count; ++step) {
        if (step > 0) {
            key = va_arg(rest, const char*);
            // The previous value must be an object to hold the next key.
            if (!key || current.metaType().id() != QMetaType::QVariantMap)
                return {};
            holder = current.toMap();
            level = &holder;
        }
        const auto it = level->constFind(QString::fromUtf8(key));
        if (it == level->constEnd())
            return {};
        current = it.value();
    }
    *found = true;
    return current;
}

} // namespace

bool KvoJsonResult::parse(const QString& text)
{
    return parse(text.toUtf8());
}

bool KvoJsonResult::parse(const QByteArray& utf8)
{
    m_map.clear();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    m_map = document.object().toVariantMap();
    return true;
}

QVariant KvoJsonResult::value(const QString& key) const
{
    return m_map.value(key);
}

bool KvoJsonResult::hasKeys(int count, const char* key, ...) const
{
    va_list rest;
    va_start(rest, key);
    bool found = false;
    walk(m_map, count, key, rest, &found);
    va_end(rest);
    return found;
}

QVariant KvoJsonResult::valueAt(int count, const char* key, ...) const
{
    va_list rest;
    va_start(rest, key);
    bool found = false;
    const QVariant result = walk(m_map, count, key, rest, &found);
    va_end(rest);
    return found ? result : QVariant();
}
