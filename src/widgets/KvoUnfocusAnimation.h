#pragma once

#include <QColor>
#include <QGraphicsBlurEffect>
#include <QPointer>
#include <QWidget>

class QTimer;

// A blur effect that puts a widget out of focus step by step (blurred and
// darkened by a translucent black) and brings it back. The widget that
// carries the effect owns it.
class KvoUnfocusAnimation : public QGraphicsBlurEffect
{
    Q_OBJECT

public:
    explicit KvoUnfocusAnimation(QObject* parent = nullptr);
    ~KvoUnfocusAnimation() override;

    // Installs the effect on the widget, sharp and clear.
    void setWidget(QWidget* widget);
    QWidget* widget() const;

    void setMaxAlpha(double alpha);
    void setMaxBlurRadius(double radius);
    void setBlurRadiusStep(double step);
    void setAlphaStep(double step);
    // Milliseconds between two steps.
    void setInterval(double interval);

    double maxAlpha() const { return m_maxAlpha; }
    double maxBlurRadius() const { return m_maxBlurRadius; }
    uint interval() const { return m_interval; }
    bool isFocusing() const { return m_focusing; }
    bool isRunning() const;
    // The darkening colour as it stands (the drawing caps it at the maxima).
    QColor colour() const { return m_colour; }

signals:
    void unfocused();
    void focused();

public slots:
    void unfocus();
    void focus();

protected:
    void draw(QPainter* painter) override;

private slots:
    void onTimeout();

private:
    void unfocusStep();
    void focusStep();

    bool m_focusing = true;
    QPointer<QWidget> m_widget;
    QTimer* m_timer;
    double m_maxBlurRadius = 0.0;
    double m_blurRadiusStep = 0.0;
    double m_maxAlpha = 0.0;
    double m_alphaStep = 0.0;
    uint m_interval = 0;
    QColor m_colour;
};
