#pragma once

#include <QPoint>
#include <QSize>
#include <Qt>

#include <optional>

// Where a press on a control slider sends its value: the share of the
// press position along the slider's length, applied to its range. The
// slider's handle is not taken into account, so a press at the very left
// edge gives the minimum and one at the right edge the maximum.
class KvoSliderPosition
{
public:
    // Horizontal: minimum + ((maximum - minimum) * x) / width.
    // Vertical: minimum + ((height - y) * (maximum - minimum)) / height,
    // so the top is the maximum. Integer arithmetic truncating toward
    // zero, in 64 bits so a long range cannot overflow; the result is
    // kept inside [minimum, maximum]. Nothing when the slider has no
    // extent along its orientation (it cannot be pressed meaningfully).
    static std::optional<int> valueAt(Qt::Orientation orientation, int minimum, int maximum,
                                      const QPoint& position, const QSize& size);
};
