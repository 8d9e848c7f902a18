#pragma once

#include <QVariant>
#include <QVariantMap>

// One parsed JSON answer of the web service, held as a variant map.
class KvoJsonResult
{
public:
    KvoJsonResult() = default;
    ~KvoJsonResult() = default;

    // Fills the map from a JSON object. A text that is not a JSON object
    // (invalid, truncated, an array, a scalar) leaves the map empty and
    // returns false.
    bool parse(const QString& text);
    bool parse(const QByteArray& utf8);

    // The top-level value of key; an invalid QVariant when absent.
    QVariant value(const QString& key) const;

    // True when the path of `count` keys exists, the outer key first; each
    // key is looked up in the map that the previous key's value holds.
    bool hasKeys(int count, const char* key, ...) const;

    // The value at the end of the path of `count` keys; an invalid QVariant
    // when a step is missing or is not a map.
    QVariant valueAt(int count, const char* key, ...) const;

    const QVariantMap& map() const { return m_map; }
    bool isEmpty() const { return m_map.isEmpty(); }

private:
    QVariantMap m_map;
};
