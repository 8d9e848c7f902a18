#pragma once

#include "KvoAbstractAnimation.h"

#include <QPointer>

class QGraphicsOpacityEffect;

// Fades a widget in or out through an opacity effect, one step per 1 ms
// tick, from one opacity to another over the set number of ticks.
class KvoOpacityAnimation : public KvoAbstractAnimation
{
public:
    explicit KvoOpacityAnimation(QObject* parent = nullptr);
    ~KvoOpacityAnimation() override;

    // Takes effect at the next start().
    void setRange(double from, double to);

    // Puts the animation's opacity effect on the widget. A widget that
    // already carries an effect of someone else keeps it: replacing it
    // would delete an object its owner still uses.
    void setWidget(QWidget* widget) override;

    void start() override;
    void stop() override;

    double from() const { return m_from; }
    double to() const { return m_to; }
    QGraphicsOpacityEffect* effect() const;

private:
    void onTimeout() override;
    void ensureEffect();
    void finishRun();

    QPointer<QGraphicsOpacityEffect> m_effect;
    double m_from = 0.0;
    double m_to = 1.0;
    double m_current = 0.0;
    double m_step = 0.0;
    double m_shown = 0.0;
};
