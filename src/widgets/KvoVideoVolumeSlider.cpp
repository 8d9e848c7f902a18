#include "KvoVideoVolumeSlider.h"

#include "KvoControlSliderStyle.h"
#include "KvoSliderPosition.h"

#include <QMouseEvent>
#include <QSignalBlocker>

KvoVideoVolumeSlider::KvoVideoVolumeSlider(QWidget* parent)
    : QSlider(parent)
{
    setOrientation(Qt::Horizontal);
    setMaximum(100);
    setMinimum(0);
    setValue(100);
    auto* style = new KvoControlSliderStyle;
    style->setParent(this);
    setStyle(style);
    setStyleSheet(KvoControlSliderStyle::styleSheet());
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFixedWidth(70);
}

void KvoVideoVolumeSlider::setValueSilently(int v)
{
    const QSignalBlocker blocker(this);
    setValue(v);
}

void KvoVideoVolumeSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QSlider::mousePressEvent(event);
        return;
    }

    // The volume follows the press first (one change, one new volume);
    // then the slider grabs the handle there so a drag can follow, without
    // moving it again by its own reckoning of the place.
    const auto target = KvoSliderPosition::valueAt(orientation(), minimum(), maximum(),
                                                   event->position().toPoint(), size());
    if (target)
        setValue(*target);
    const int chosen = value();
    {
        const QSignalBlocker blocker(this);
        QSlider::mousePressEvent(event);
        setValue(chosen);
    }
    if (isSliderDown())
        emit sliderPressed();
    event->accept();
}
