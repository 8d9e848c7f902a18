#pragma once

#include <QSlider>

class QEvent;
class QMouseEvent;

// The seek bar of the player: a horizontal slider counted in seconds. The
// video player keeps it in step with the media through setTimes, which
// never emits; a press or a drag by the user changes the value and emits
// valueChanged, which the player turns into a seek.
class KvoVideoSeeker : public QSlider
{
    Q_OBJECT

public:
    explicit KvoVideoSeeker(QWidget* parent = nullptr);

    // The playing time and the media's length, in milliseconds. Ignored
    // while the user holds the handle (the length is kept for the
    // release). A negative length means "not known yet": the bar is
    // disabled and held at 0. The time is kept inside [0, length].
    void setTimes(qint64 time, qint64 length);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void onSliderReleased();
    void applyLength(qint64 length);

    // A length reported while the user was dragging, applied on release.
    bool m_lengthPending = false;
    qint64 m_pendingLength = -1;
};
