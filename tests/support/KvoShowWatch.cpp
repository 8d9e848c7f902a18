#include "KvoShowWatch.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QThread>

KvoShowWatch::KvoShowWatch(const QString& objectName, const std::function<void()>& action)
    : m_name(objectName)
    , m_action(action)
{
    QCoreApplication::instance()->installEventFilter(this);
}

KvoShowWatch::~KvoShowWatch()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool KvoShowWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_fired && event->type() == QEvent::Show && watched->objectName() == m_name) {
        m_fired = true;
        m_action();
    }
    return false;
}

void KvoShowWatch::blockUntil(qint64 epochSeconds)
{
    while (QDateTime::currentSecsSinceEpoch() < epochSeconds)
        QThread::msleep(20);
}
