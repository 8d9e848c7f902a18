#include "KvoGuiThreadSpy.h"

#include <QSignalSpy>

bool KvoGuiThreadSpy::wait(int timeout)
{
    // recorded() is emitted on this object's own thread only.
    QSignalSpy spy(this, &KvoGuiThreadSpy::recorded);
    return spy.wait(timeout);
}
