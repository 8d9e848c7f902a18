#pragma once

#include <QWidget>

class QPaintEvent;
class QPixmap;

// The read-only row of stars that shows a course's mark in the lists: stars
// from the minimum to the maximum, the first `mark` of them lit. Nothing is
// drawn unless the mark is above the minimum.
class KvoStarMarkWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KvoStarMarkWidget(QWidget* parent = nullptr);
    ~KvoStarMarkWidget() override;

    // Stores the mark and repaints at once.
    void setMark(int mark);
    // Store the bound; the next repaint shows it.
    void setMaximum(int n);
    void setMinimum(int n);

    int mark() const { return m_mark; }
    int maximum() const { return m_maximum; }
    int minimum() const { return m_minimum; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_mark = 1;
    int m_maximum = 5;
    int m_minimum = 1;

    // Shared by every row, loaded by the first one.
    static QPixmap* s_starIn;
    static QPixmap* s_starOut;
};
