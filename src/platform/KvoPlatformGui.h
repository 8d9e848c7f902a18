#pragma once

class QWidget;

// What windows need of the desktop: staying above other windows, the
// full-screen state and whether a compositing manager draws translucency.
class KvoPlatformGui
{
public:
    // Keeps the window above normal windows (true) or gives it the normal
    // level back (false). Changes the native window's flags only, so a
    // window shown modally stays visible and its exec() keeps running;
    // a window that has no native window yet gets the flag at its creation.
    static void setWindowOnTop(QWidget* window, bool onTop);

    // Shows the window full screen (true) or gives it its previous state
    // back (false). Does nothing for a null window.
    static void setFullScreen(QWidget* window, bool on);

    // True when a compositing manager runs on the display, so translucent
    // frameless windows and their drop shadows are drawn as intended.
    // False on the offscreen and minimal platforms and without X.
    static bool isCompositing();
};
