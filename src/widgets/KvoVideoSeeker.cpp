#include "KvoVideoSeeker.h"

#include "KvoControlSliderStyle.h"
#include "KvoSliderPosition.h"

#include <QEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

#include <climits>

namespace {

// Whole seconds of a time in milliseconds, truncated toward zero and kept
// inside what the slider can hold.
int secondsOf(qint64 ms)
{
    return int(qBound(qint64(0), ms / 1000, qint64(INT_MAX)));
}

} // namespace

KvoVideoSeeker::KvoVideoSeeker(QWidget* parent)
    : QSlider(parent)
{
    setOrientation(Qt::Horizontal);
    auto* style = new KvoControlSliderStyle;
    style->setParent(this);
    setStyle(style);
    setStyleSheet(KvoControlSliderStyle::styleSheet());
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(this, &QAbstractSlider::sliderReleased, this, &KvoVideoSeeker::onSliderReleased);
}

void KvoVideoSeeker::setTimes(qint64 time, qint64 length)
{
    // The user's drag decides the value until the handle is let go.
    if (isSliderDown()) {
        m_lengthPending = true;
        m_pendingLength = length;
        return;
    }
    m_lengthPending = false;

    // Blocked: an update from the player must never come back to it as a seek.
    const QSignalBlocker blocker(this);
    applyLength(length);
    setValue(length < 0 ? 0 : secondsOf(qBound(qint64(0), time, length)));
}

void KvoVideoSeeker::applyLength(qint64 length)
{
    // Any negative length is "unknown": enabling the bar then would let a
    // press seek into a media whose end nobody knows.
    setEnabled(length >= 0);
    setMaximum(length < 0 ? 0 : secondsOf(length));
}

void KvoVideoSeeker::onSliderReleased()
{
    if (!m_lengthPending)
        return;
    m_lengthPending = false;
    // Only the range: the value stays where the user let go (the seek to
    // it has already been sent), shortened only if the media did.
    const QSignalBlocker blocker(this);
    applyLength(m_pendingLength);
    if (m_pendingLength < 0)
        setValue(0);
}

void KvoVideoSeeker::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QSlider::mousePressEvent(event);
        return;
    }

    // The slider grabs the handle under the mouse (so a drag can follow);
    // its own idea of the position is replaced by the jump below, and the
    // press reports one value change only, to the place that was chosen.
    const int before = value();
    {
        const QSignalBlocker blocker(this);
        QSlider::mousePressEvent(event);
        const auto target = KvoSliderPosition::valueAt(orientation(), minimum(), maximum(),
                                                       event->position().toPoint(), size());
        if (target)
            setValue(*target);
    }
    if (isSliderDown())
        emit sliderPressed();
    if (value() != before)
        emit valueChanged(value());
    event->accept();
}

void KvoVideoSeeker::changeEvent(QEvent* event)
{
    // Disabling ends a drag (the slider lets the handle go, as a disabled
    // widget gets no mouse release). Whoever disables the bar is about to
    // give it new times, so a length kept from the drag is stale by now
    // and must not enable the bar again on that release.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        m_lengthPending = false;
    QSlider::changeEvent(event);
}
