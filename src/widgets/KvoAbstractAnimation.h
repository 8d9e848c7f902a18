#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QTimer;

// Base of the step animations put on a widget: a timer whose ticks drive
// onTimeout(), the animated widget (not owned) and the number of ticks of
// one run. Subclasses choose the timer's interval and do the steps.
class KvoAbstractAnimation : public QObject
{
    Q_OBJECT

public:
    explicit KvoAbstractAnimation(QObject* parent = nullptr);
    ~KvoAbstractAnimation() override;

    virtual void setWidget(QWidget* widget);
    virtual void setDuration(uint ticks);
    virtual int interval() const;
    virtual void setInterval(int interval);

    QWidget* widget() const;
    uint duration() const;
    bool isRunning() const;

public slots:
    virtual void start() = 0;
    virtual void stop() = 0;

signals:
    void finished();

private slots:
    virtual void onTimeout() = 0;

protected:
    QPointer<QWidget> m_widget;
    QTimer* m_timer;
    uint m_duration = 0;
    int m_interval = 0;
};
