#pragma once

#include <QLabel>

class QMouseEvent;

// A label that emits clicked() when a mouse button is released inside it.
// The press is kept by the label (it keeps the pointer grab), so a press
// inside, a drag out and a release outside emit nothing.
class KvoClickableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit KvoClickableLabel(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    explicit KvoClickableLabel(const QString& text, QWidget* parent = nullptr,
                               Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoClickableLabel() override;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
