#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Runs an action the moment a widget of a given object name shows, inside
// the call that shows it: before the event loop that follows (a modal
// dialog's own) handles anything else, such as a timer that came due while
// the thread was busy (see blockUntil). The action runs once.
class KvoShowWatch : public QObject
{
public:
    KvoShowWatch(const QString& objectName, const std::function<void()>& action);
    ~KvoShowWatch() override;

    bool fired() const { return m_fired; }

    // A machine too busy to run its event loop: blocks the thread, no event
    // handled, until the wall clock reaches epochSeconds. A timer due
    // meanwhile fires late, once the loop runs again.
    static void blockUntil(qint64 epochSeconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_name;
    std::function<void()> m_action;
    bool m_fired = false;
};
