#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the modal dialogs that a test's action opens. A modal dialog runs
// its own event loop, so the driver watches from inside it: every few
// milliseconds it looks at the application's active modal widget.
//
// - An expected dialog (its class checked with qobject_cast, and its object
//   name, or the object name of the form shown in it) gets its answer, in
//   the order the expectations were given.
// - A modal widget nobody expected is closed and reported.
// - When an expected dialog does not show within the time-out, or an
//   answered one is still open that long after, every modal widget opened
//   since the driver was made is closed, the innermost first, so a failing
//   test ends instead of hanging; the destructor does the same.
//
// A test checks the outcome with QVERIFY2(driver.done(), driver.report()).
// Of several drivers alive at once, the newest one acts.
class KvoDialogDriver : public QObject
{
public:
    explicit KvoDialogDriver(int timeoutMs = 5000);
    ~KvoDialogDriver() override;

    template <class T>
    void expect(const QString& name, const std::function<void(T*)>& answer)
    {
        Expected e;
        e.className = QString::fromLatin1(T::staticMetaObject.className());
        e.name = name;
        e.cast = [](QWidget* w) -> QWidget* { return qobject_cast<T*>(w); };
        e.answer = [answer](QWidget* w) {
            if (T* t = qobject_cast<T*>(w))
                answer(t);
        };
        add(e);
    }
    // Expects a dialog and closes it (reject() for a QDialog) as its answer.
    template <class T>
    void expectAndClose(const QString& name)
    {
        expect<T>(name, [](T* t) { closeModal(t); });
    }

    // Every expected dialog was answered and nothing unexpected showed.
    bool done() const { return m_expected.isEmpty() && m_problems.isEmpty(); }
    // Waits, running the event loop, until done() or the time-out.
    bool wait();
    int answered() const { return m_answered; }
    // What went wrong, for QVERIFY2.
    const char* report() const;

    // The active modal widget when it is a T with that name, else null:
    // for dialogs shown modally without a blocking call.
    template <class T>
    static T* activeModal(const QString& name)
    {
        QWidget* modal = activeModalWidget();
        return modal && matchesName(modal, name) ? qobject_cast<T*>(modal) : nullptr;
    }
    // Closes a widget the way its user would: reject() for a dialog.
    static void closeModal(QWidget* widget);

    // For a dialog that changes state while it stays open: checks from the
    // event loop every 10 ms (so also inside modal loops) until `check`
    // holds, then runs `action` once. After `limit` ms without it holding,
    // every modal widget is closed, the innermost first, so no test hangs.
    static void whenReady(const std::function<bool()>& check, const std::function<void()>& action,
                          int limit = 10000);

private:
    struct Expected
    {
        QString className;
        QString name;
        std::function<QWidget*(QWidget*)> cast;
        std::function<void(QWidget*)> answer;
    };

    void add(const Expected& e);
    void poll();
    QWidget* findExpected() const;
    void closeOpened();
    static QWidget* activeModalWidget();
    static bool matchesName(QWidget* widget, const QString& name);

    QList<Expected> m_expected;
    QList<QPointer<QWidget>> m_before;  // visible top-level widgets at the start
    QList<QPointer<QWidget>> m_handled; // answered dialogs
    QStringList m_problems;
    mutable QByteArray m_report;
    QTimer m_timer;
    QElapsedTimer m_since; // since the start or the last answer
    int m_timeout;
    int m_answered = 0;
};
