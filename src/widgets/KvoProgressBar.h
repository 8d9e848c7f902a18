#pragma once

#include <QColor>
#include <QPointer>
#include <QProgressBar>

class QPaintEvent;

// The small segmented bar of the download entries: 25 thin segments lit
// from left to right in a raspberry gradient, the segment at the edge of the
// value lit only partly. A bar can follow another one: every value given to
// the followed bar (its source) is passed on to its follower first.
class KvoProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit KvoProgressBar(QWidget* parent = nullptr);
    ~KvoProgressBar() override;

    // Hides QProgressBar::setValue (not virtual): call it through a
    // KvoProgressBar pointer. The follower chain gets the value first, the
    // farthest bar first, then this bar.
    void setValue(int value);

    // The percentage this bar paints; unlike value() it also keeps values
    // outside 0..100, which are painted as 0 or 100.
    int shownValue() const { return m_shownValue; }

    // This bar follows source from now on. A bar that followed another
    // source leaves it first; a bar that already followed source is
    // replaced. A link that would close a loop is refused (returns false).
    bool link(KvoProgressBar* source);
    // Stops following the source, if any.
    void unlink();

    KvoProgressBar* source() const { return m_source; }
    KvoProgressBar* follower() const { return m_follower; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_shownValue = 0;
    int m_percentPerSegment;
    int m_segmentCount = 25;
    int m_segmentWidth = 2;
    int m_segmentHeight = 7;
    QColor m_startColor;
    QColor m_endColor;
    // Guarded: a bar destroyed without unlink() must not leave its partner
    // pointing at freed memory.
    QPointer<KvoProgressBar> m_follower;
    QPointer<KvoProgressBar> m_source;
};
