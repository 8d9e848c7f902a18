#pragma once

#include <QPushButton>
#include <QString>

class QEvent;
class QMouseEvent;
class QPixmap;

// The rating input: a row of N stars. The lit stars follow the pointer while
// it is over the widget; a click chooses the mark, and leaving the widget
// shows the chosen mark again.
class KvoMarkWidget : public QPushButton
{
    Q_OBJECT

public:
    // count stars (at least one), mark of them lit and taken as the chosen
    // mark until the first click.
    explicit KvoMarkWidget(QWidget* parent = nullptr, int count = 5, int mark = 0);
    ~KvoMarkWidget() override;

    // The mark of the last click, always within 0..count (0: none chosen).
    int clickedMark() const { return m_clickedMark; }
    int displayedMark() const { return m_displayedMark; }
    int count() const { return m_count; }

    // The mark a pointer at x (widget coordinates) stands for: 1..count.
    int markAt(int x) const;

    static const QString starOnPath;
    static const QString starOffPath;

signals:
    void markChanged(int mark);

public slots:
    // Shows value lit stars (bounded to 0..count); the chosen mark stays.
    void changeMark(int value);
    // Makes value (bounded to 0..count) the chosen and the shown mark.
    void changeClickedMark(int value);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setDisplayedMark(int value);
    void drawCanvas();

    int m_displayedMark = 0;
    int m_clickedMark = 0;
    int m_count;
    QPixmap* m_starOn;
    QPixmap* m_starOff;
    QPixmap* m_canvas;
};
