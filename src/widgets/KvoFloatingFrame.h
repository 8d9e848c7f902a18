#pragma once

#include "ui_KvoFloatingFrame.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class KvoAbstractAnimation;

// A dark panel floating inside a window, with a close cross at its top
// right, centred over a chosen widget and opened or closed with optional
// animations. Every open frame is in one list shared by the class, so all
// of them can be recentred together after the window was resized.
//
// close(), close(bool) and adjustSize(int, int) hide QWidget's own
// functions of those names: call them through a KvoFloatingFrame pointer.
class KvoFloatingFrame : public QWidget
{
    Q_OBJECT

public:
    explicit KvoFloatingFrame(QWidget* parent = nullptr);
    ~KvoFloatingFrame() override;

    // Neither animation is owned. The close animation's end finishes an
    // animated close; it is ignored while no close is under way, so one
    // animation object may serve for both.
    void setOpenAnimation(KvoAbstractAnimation* animation);
    void setCloseAnimation(KvoAbstractAnimation* animation);

    // Adds a widget to the content area.
    void addWidget(QWidget* widget);
    // Makes the widget the reference widget and moves the frame over it.
    void centerOn(QWidget* reference);

    QWidget* referenceWidget() const { return m_reference; }
    Ui_KvoFloatingWindow& form() { return m_ui; }

    // The frames open now, in opening order (a frame opened twice is in it
    // twice).
    static QList<KvoFloatingFrame*> openFrames();

signals:
    void onOpen();
    void onClose();

public slots:
    void recenterFrames();
    void open(bool animated);
    void open();
    void close(bool animated);
    void close();
    void adjustSize(int width, int height, bool animated);
    void adjustSize(int width, int height);
    void closeFrame();

private slots:
    void atEndOfAnimation();

private:
    Ui_KvoFloatingWindow m_ui;
    QPointer<QWidget> m_reference;
    QPointer<KvoAbstractAnimation> m_openAnimation;
    QPointer<KvoAbstractAnimation> m_closeAnimation;
    bool m_closing = false;

    static QList<KvoFloatingFrame*> s_openFrames;
};
