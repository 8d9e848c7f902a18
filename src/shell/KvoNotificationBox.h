#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class KvoNotificationBox;
}

// The client's own notification pop-up: a small frameless window above the
// others that slides in at one of six places along the edges of the primary
// screen's available area while fading in, stays for StayTime and slides
// back out while fading out. Boxes open at the same place stack away from
// the screen edge. A click on a box with a link follows the link
// (KvoNotifier::followLink); the close button makes it leave at once. A box
// deletes itself when it has left: nobody else deletes it.
//
// Places: 0 top left, 1 top centre, 2 top right, 3 bottom left, 4 bottom
// centre, 5 bottom right.
class KvoNotificationBox : public QWidget
{
    Q_OBJECT

public:
    static constexpr int StayTime = 4000; // ms
    static constexpr int StepInterval = 40; // ms
    static constexpr int Margin = 10;       // from the screen edge and between boxes

    enum Phase { Idle = 0, ComingIn = 1, StayingOrLeaving = 2 };

    KvoNotificationBox();
    ~KvoNotificationBox() override;

    // The title and the text, each on its one line, shortened with "..." to
    // the width of its label.
    void setTitle(const QString& title);
    void setText(const QString& text);
    // A non-empty link makes the box clickable (pointing hand).
    void setLink(const QByteArray& link);

    // Places the box at its position (stacked beyond the boxes already
    // there), registers it and shows it, coming in over duration ms.
    void showAt(int position, int duration, bool autoClose);

    // The boxes on screen, in order of showing.
    static QList<KvoNotificationBox*> openBoxes();

    // Where the box sits when it has arrived, for a position, the screen's
    // available area, the box's size and its stacking offset.
    static QPoint targetFor(int position, const QRect& area, const QSize& size, int offset);

    QByteArray link() const { return m_link; }
    QString title() const;
    QString text() const;
    int position() const { return m_position; }
    int stackSlot() const { return m_stackSlot; }
    int phase() const { return m_phase; }
    double opacity() const { return m_opacity; }
    bool isAutoClose() const { return m_autoClose; }
    QPoint targetPosition() const { return m_targetPosition; }
    QLabel* titleLabel() const;
    QLabel* textLabel() const;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void stepNotificationBox();
    void cancel();

private:
    static QString elided(const QString& text, const QLabel* label);
    void placeNotificationBox();
    void attachToModalWindow();
    void arrive();
    void leave();
    void applyOpacity();
    void updateShape();

    std::unique_ptr<Ui::KvoNotificationBox> ui;
    int m_phase = Idle;
    int m_stackSlot = 0;
    int m_position = 0;
    float m_dx = 0;
    float m_dy = 0;
    QPoint m_currentPosition;
    QPoint m_targetPosition;
    double m_x = 0;
    double m_y = 0;
    int m_horizontalMargin = Margin;
    int m_verticalMargin = Margin;
    QTimer m_stepTimer;
    double m_duration = 0;
    double m_opacityStep = 0;
    double m_opacity = 0;
    double m_xStep = 0;
    double m_yStep = 0;
    bool m_autoClose = true;
    bool m_translucent = false;
    QByteArray m_link;
};
