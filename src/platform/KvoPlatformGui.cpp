#include "KvoPlatformGui.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#if defined(KVO_HAVE_XCB)
#include <xcb/xcb.h>
#endif

void KvoPlatformGui::setWindowOnTop(QWidget* window, bool onTop)
{
    if (!window)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    // setWindowFlags() would re-create the native window: it hides the
    // widget and ends a running exec(). Only the recorded flags change
    // here, and the native window is told directly.
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
}

void KvoPlatformGui::setFullScreen(QWidget* window, bool on)
{
    if (!window)
        return;
    if (on)
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
    else
        window->setWindowState(window->windowState() & ~Qt::WindowFullScreen);
}

#if defined(KVO_HAVE_XCB)
namespace {

// The screen number of $DISPLAY (":0.1" -> 1), 0 when none is given.
int displayScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok && screen >= 0 ? screen : 0;
}

bool compositingOwnerExists(xcb_connection_t* connection)
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(displayScreenNumber());
    xcb_intern_atom_cookie_t atomCookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData());
    xcb_intern_atom_reply_t* atomReply = xcb_intern_atom_reply(connection, atomCookie, nullptr);
    if (!atomReply)
        return false;
    const xcb_atom_t atom = atomReply->atom;
    free(atomReply);
    if (atom == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_cookie_t ownerCookie = xcb_get_selection_owner(connection, atom);
    xcb_get_selection_owner_reply_t* ownerReply =
        xcb_get_selection_owner_reply(connection, ownerCookie, nullptr);
    if (!ownerReply)
        return false;
    const bool owned = ownerReply->owner != XCB_NONE;
    free(ownerReply);
    return owned;
}

} // namespace
#endif

bool KvoPlatformGui::isCompositing()
{
    if (!qGuiApp)
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
#if defined(KVO_HAVE_XCB)
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 && x11->connection())
            return compositingOwnerExists(x11->connection());
#endif
        return false;
    }
    // A Wayland compositor is by definition compositing.
    return platform.startsWith(QLatin1String("wayland"));
}
