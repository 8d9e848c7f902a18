#include "KvoOverlayWindow.h"

#include "KvoPlatformGui.h"

#include <QApplication>
#include <QDialog>
#include <QGraphicsDropShadowEffect>
#include <QPainterPath>
#include <QPalette>
#include <QPushButton>
#include <QRegion>

namespace {

// A platform with windows on a screen (not offscreen or minimal).
bool onScreen()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// A modal dialog open meanwhile (a question of the main window): it stays
// in front and keeps the keyboard until it is answered.
QWidget* modalInFront(const QWidget* overlay)
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != overlay ? modal : nullptr;
}

} // namespace

void KvoOverlayWindow::setUpTranslucency(QDialog* overlay)
{
    if (!KvoPlatformGui::isCompositing()) {
        // What the shape leaves of the window around the panel (the corners
        // of the exit button) is in the panel's colour.
        QPalette palette = overlay->palette();
        palette.setColor(QPalette::Window, QColor(13, 13, 17));
        overlay->setPalette(palette);
        overlay->setAutoFillBackground(true);
        return;
    }
    overlay->setAttribute(Qt::WA_TranslucentBackground);
    auto* shadow = new QGraphicsDropShadowEffect(overlay);
    shadow->setColor(Qt::black);
    shadow->setBlurRadius(20);
    shadow->setOffset(0, 0);
    overlay->setGraphicsEffect(shadow);
}

QPushButton* KvoOverlayWindow::createExitButton(QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedSize(24, 24);
    button->setFocusPolicy(Qt::NoFocus);
    // Return in a field must not close the overlay.
    button->setAutoDefault(false);
    button->setStyleSheet(QStringLiteral(
        "QPushButton{background-color:transparent;border-image:url(:/KvoMainWindow/Resources/"
        "dialog_exit_button_out.png);}"
        "QPushButton:hover{background-color:transparent;border-image:url(:/KvoMainWindow/Resources/"
        "dialog_exit_button_hover.png);}"));
    return button;
}

void KvoOverlayWindow::fitMask(QDialog* overlay, const QWidget* panel, const QWidget* exitButton)
{
    if (KvoPlatformGui::isCompositing() || !panel || !onScreen())
        return;
    const QRect area(panel->mapTo(overlay, QPoint(0, 0)), panel->size());
    // The panel's rounded corners (radius 10).
    QPainterPath path;
    path.addRoundedRect(QRectF(area), 10, 10);
    QRegion region(path.toFillPolygon().toPolygon());
    if (exitButton && !exitButton->isHidden())
        region += QRect(exitButton->mapTo(overlay, QPoint(0, 0)), exitButton->size());
    overlay->setMask(region);
}

void KvoOverlayWindow::present(QDialog* overlay, const QWidget* anchor)
{
    overlay->show();
    placeNear(overlay, anchor);
    if (QWidget* modal = modalInFront(overlay)) {
        if (onScreen())
            modal->raise();
        return;
    }
    if (onScreen())
        overlay->raise();
    overlay->activateWindow();
}

void KvoOverlayWindow::dismiss(QDialog* overlay, const QWidget* anchor)
{
    const bool hadKeyboard = overlay->isVisible() && overlay->isActiveWindow();
    overlay->clearFocus();
    overlay->hide();
    if (!hadKeyboard || !anchor)
        return;
    QWidget* owner = anchor->window();
    if (owner == overlay || !owner->isVisible())
        return;
    owner->activateWindow();
    owner->setFocus(Qt::OtherFocusReason);
}

void KvoOverlayWindow::placeNear(QWidget* overlay, const QWidget* anchor)
{
    if (!anchor)
        return;
    // The sum of the places of the anchor's ancestors up to its window,
    // that is where its parent's origin is on the screen (the windows have
    // no frame).
    QPoint corner(anchor->width(), anchor->height());
    if (const QWidget* parent = anchor->parentWidget())
        corner += parent->mapToGlobal(QPoint(0, 0));
    overlay->move(corner.x() - overlay->width(), corner.y() - overlay->height());
    if (!overlay->isVisible())
        return;
    // Above its owner whatever the view mode: a window kept on top (full
    // screen, learning mode) would otherwise cover it.
    const bool onTop = anchor->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (overlay->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        KvoPlatformGui::setWindowOnTop(overlay, onTop);
    if (onScreen() && !modalInFront(overlay))
        overlay->raise();
}
