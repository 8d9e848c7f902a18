#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>

class QWidget;

// Tells when another X client destroys the native window of a top-level
// widget (as `xdotool windowclose` does). Qt does not turn that into a close
// of the widget: the process would go on without a window. Off X it never
// fires. A child of the widget, so the watch ends with it.
class KvoWindowDestroyWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit KvoWindowDestroyWatch(QWidget* window);
    ~KvoWindowDestroyWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // Queued: the window's owner may close and delete it from its slot.
    void destroyedFromOutside();

private:
    QPointer<QWidget> m_window;
};
