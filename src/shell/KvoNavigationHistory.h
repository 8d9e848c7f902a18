#pragma once

#include <QString>
#include <QVector>

// The back and forward history of the main window's pages. Entries are
// never dropped: going back and then to a new page appends it after the
// last entry, so what lay ahead stays reachable.
class KvoNavigationHistory
{
public:
    // Starts over with one entry.
    void reset(const QString& first);
    // A recorded switch: appended unless it is already the last entry; the
    // position moves to the end.
    void record(const QString& key);
    // Moves one entry back or forward and returns its key; an empty key and
    // no move at either end.
    QString back();
    QString forward();

    bool canGoBack() const { return m_position > 0; }
    bool canGoForward() const { return m_position >= 0 && m_position < int(m_keys.size()) - 1; }
    QVector<QString> keys() const { return m_keys; }
    int position() const { return m_position; }

private:
    QVector<QString> m_keys;
    int m_position = -1;
};
