#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QPixmap;

// Turns an image one degree per step and shows each turned copy as the
// icon of a push button. A stop request lets it turn on until the image
// is upright again.
class KvoSpinningIcon : public QObject
{
    Q_OBJECT

public:
    explicit KvoSpinningIcon(QObject* parent = nullptr);
    ~KvoSpinningIcon() override;

    // The image keeps its own size; width and height are not used.
    void setPixmap(const QString& path, int width, int height);
    void setButton(QAbstractButton* button);

    // A positive period (ms per full turn) replaces the present one; zero
    // or a negative period returns to the default of 720 ms.
    void start(int period = -1);
    void stop();
    bool isSpinning() const;

    int angle() const { return m_angle; }
    int period() const { return m_period; }
    int stepInterval() const { return m_stepInterval; }

private slots:
    void onTimeout();

private:
    QTimer m_timer;
    std::unique_ptr<QPixmap> m_image;
    QPointer<QAbstractButton> m_button;
    int m_period = 720;
    int m_defaultPeriod = 720;
    int m_angle = 0;
    int m_stepInterval = 2;
    bool m_stopRequested = false;
};
