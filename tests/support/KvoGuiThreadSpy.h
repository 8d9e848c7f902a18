#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

#include <type_traits>

// A signal spy for signals that may be emitted on another thread (the
// library synchronisation, a search thread). QSignalSpy records on the
// emitting thread, so a test could read or destroy it while a worker
// appends to it. This one lives on the thread that makes it and records
// there: a signal from another thread reaches it through the event loop,
// one from its own thread at once. It reads like QSignalSpy: one list of
// arguments per emission, and wait().
class KvoGuiThreadSpy : public QObject, public QList<QList<QVariant>>
{
    Q_OBJECT

public:
    template <class Sender, class... Args>
    KvoGuiThreadSpy(const Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(sender, signal, this, [this](Args... args) {
            append(QList<QVariant>{QVariant::fromValue(std::decay_t<Args>(args))...});
            emit recorded();
        });
    }

    // Runs the event loop until one more emission is recorded, or until
    // the time-out; true when one was.
    bool wait(int timeout = 5000);

signals:
    void recorded();
};
