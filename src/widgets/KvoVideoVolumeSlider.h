#pragma once

#include <QSlider>

class QMouseEvent;

// The volume slider of the control bar, 0 to 100 as libvlc counts the
// volume. A press jumps to the pressed place; the player shows the
// volume it applied (or 0 while muted) without being told back.
class KvoVideoVolumeSlider : public QSlider
{
    Q_OBJECT

public:
    explicit KvoVideoVolumeSlider(QWidget* parent = nullptr);

    // Shows v (kept inside 0..100) without emitting anything.
    void setValueSilently(int v);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
