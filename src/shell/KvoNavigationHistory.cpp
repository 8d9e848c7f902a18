#include "KvoNavigationHistory.h"

void KvoNavigationHistory::reset(const QString& first)
{
    m_keys = {first};
    m_position = 0;
}

void KvoNavigationHistory::record(const QString& key)
{
    if (m_keys.isEmpty() || m_keys.last() != key)
        m_keys.append(key);
    m_position = int(m_keys.size()) - 1;
}

QString KvoNavigationHistory::back()
{
    if (!canGoBack())
        return QString();
    return m_keys.at(--m_position);
}

QString KvoNavigationHistory::forward()
{
    if (!canGoForward())
        return QString();
    return m_keys.at(++m_position);
}
