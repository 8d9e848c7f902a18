#pragma once

#include <QtGlobal>

class QWidget;

// What the player and its page need of a floating overlay over the picture
// (the rating form, the bookmark form): a frameless window that its owner
// shows and hides and that places itself next to its anchor widget.
class KvoPlayerOverlay
{
public:
    virtual ~KvoPlayerOverlay() = default;

    virtual QWidget* overlayWidget() = 0;
    virtual void setOverlayHidden(bool hidden) = 0;
    virtual bool isOverlayVisible() const = 0;
    virtual void setAnchor(QWidget* anchor) = 0;
    virtual void placeNearAnchor() = 0;
    // The video the overlay is about; its length and the playing time (ms).
    virtual void setPurchaseId(uint purchaseId) { Q_UNUSED(purchaseId) }
    virtual void setDuration(qint64 ms) { Q_UNUSED(ms) }
    virtual void setCurrentTime(qint64 ms) { Q_UNUSED(ms) }
};
