#include "KvoWindowDestroyWatch.h"

#include <QCoreApplication>
#include <QWidget>

#ifdef KVO_HAVE_XCB
#include <xcb/xcb.h>
#endif

KvoWindowDestroyWatch::KvoWindowDestroyWatch(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

KvoWindowDestroyWatch::~KvoWindowDestroyWatch()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool KvoWindowDestroyWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result)
{
    Q_UNUSED(result)
#ifdef KVO_HAVE_XCB
    if (eventType != "xcb_generic_event_t" || !m_window)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
    // The window's present native window only: one Qt destroyed itself
    // (a re-creation) is no longer the widget's.
    const WId current = m_window->internalWinId();
    if (current && destroyed->window == xcb_window_t(current))
        QMetaObject::invokeMethod(this, &KvoWindowDestroyWatch::destroyedFromOutside, Qt::QueuedConnection);
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
#endif
    return false;
}

