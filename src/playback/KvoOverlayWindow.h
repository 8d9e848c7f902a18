#pragma once

class QDialog;
class QPushButton;
class QWidget;

// What the floating overlays of the player (the rating form, the bookmark
// form) share as windows: a frameless dialog with a drop shadow around its
// dark panel, an exit button on the panel's corner, shown so that it takes
// the keyboard, and kept at the bottom-right corner of its anchor.
class KvoOverlayWindow
{
public:
    // Translucent with a black drop shadow (blur 20, offset 0) where a
    // compositing manager draws them; elsewhere the window is cut to its
    // panel (see fitMask) so that no black margin shows around it.
    static void setUpTranslucency(QDialog* overlay);

    // The exit button: a child of parent, 24 x 24, pointing hand, with the
    // dialog's exit images.
    static QPushButton* createExitButton(QWidget* parent);

    // Without a compositing manager, limits the window to the panel and the
    // exit button; with one, does nothing.
    static void fitMask(QDialog* overlay, const QWidget* panel, const QWidget* exitButton);

    // Shows the window at its anchor, above its owner, and makes it the
    // active window, so that typing goes to it (X11 leaves the keyboard
    // with the window that had it otherwise).
    static void present(QDialog* overlay, const QWidget* anchor);

    // Hides the window. When it had the keyboard, the keyboard goes back to
    // the anchor's window (X11 would leave it with no window), so that the
    // keys of that window answer at once.
    static void dismiss(QDialog* overlay, const QWidget* anchor);

    // Moves the overlay so that its bottom-right corner is on the anchor's
    // bottom-right corner on the screen (the anchor's place inside its
    // parent not counted); nothing without an anchor. A visible overlay is
    // also kept above the anchor's window, on top when that window is.
    static void placeNear(QWidget* overlay, const QWidget* anchor);
};
