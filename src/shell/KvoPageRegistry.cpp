#include "KvoPageRegistry.h"

QList<QPair<QString, KvoPageRegistry::Creator>>& KvoPageRegistry::exact()
{
    static QList<QPair<QString, Creator>> table;
    return table;
}

QList<QPair<QString, KvoPageRegistry::Creator>>& KvoPageRegistry::patterns()
{
    static QList<QPair<QString, Creator>> table;
    return table;
}

void KvoPageRegistry::add(const QString& key, const Creator& creator)
{
    remove(key);
    if (!key.isEmpty() && creator)
        exact().append({key, creator});
}

void KvoPageRegistry::addPattern(const QString& keyPart, const Creator& creator)
{
    remove(keyPart);
    if (!keyPart.isEmpty() && creator)
        patterns().append({keyPart, creator});
}

void KvoPageRegistry::remove(const QString& keyOrPart)
{
    const auto matches = [&keyOrPart](const QPair<QString, Creator>& entry) {
        return entry.first == keyOrPart;
    };
    exact().removeIf(matches);
    patterns().removeIf(matches);
}

void KvoPageRegistry::clear()
{
    exact().clear();
    patterns().clear();
}

KvoPageRegistry::Creator KvoPageRegistry::find(const QString& key)
{
    if (key.isEmpty())
        return {};
    for (const auto& entry : std::as_const(exact())) {
        if (entry.first == key)
            return entry.second;
    }
    for (const auto& entry : std::as_const(patterns())) {
        if (key.contains(entry.first))
            return entry.second;
    }
    return {};
}
