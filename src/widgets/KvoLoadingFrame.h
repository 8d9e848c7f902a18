#pragma once

#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

// The busy overlay: a small dark rounded panel centred on its parent, with
// a turning loader and a short text under it. While an owner is set, the
// panel shows only when the owner is visible, so it leaves the screen with
// the page that started it.
class KvoLoadingFrame : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int angle READ angle WRITE setAngle)

public:
    explicit KvoLoadingFrame(QWidget* parent);
    ~KvoLoadingFrame() override;

    void setOwner(QWidget* owner);
    QWidget* owner() const;

    int angle() const;
    QString label() const { return m_label; }
    bool isRunning() const { return m_timer.isActive(); }

    // Top-left corner that centres the frame on its parent.
    QPoint centredPosition() const;

public slots:
    void setAngle(int angle);
    void start();
    void stop();
    void setLabel(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A frame lives as long as its page or dialog: its own label follows a
    // change of the interface language (one given by setLabel is the
    // caller's).
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void onTimeout();

private:
    bool ownerHidden() const;
    void followOwnerVisibility();

    QPointer<QWidget> m_owner;
    QTimer m_timer;
    double m_angle = 90.0;
    QPixmap m_loader;
    QString m_label;
    bool m_ownLabel = true;
    QFont m_font;
};
