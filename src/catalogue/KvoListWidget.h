#pragma once

#include <QListWidget>

// The grid of software tiles: a list in icon mode whose items paint their
// own pictures (KvoListWidgetItem). Moving the mouse over a tile gives it
// its hover picture; empty space or leaving the grid takes it away. The
// owner turns mouse tracking on so that moves arrive without a button.
class KvoListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit KvoListWidget(QWidget* parent = nullptr);
    ~KvoListWidget() override;

    // Every tile counts its videos again (after KvoListWidgetItem::setPurchases).
    void refreshItems();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
};
