#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QDBusMessage;
class QDBusPendingCallWatcher;

// Delivers the client's notifications to the desktop's notification service
// (org.freedesktop.Notifications on the session bus) and brings a click on
// one back as its click context.
//
// Every call to the bus is asynchronous: the service may live in this very
// process (tests) or hang, and a blocking call would freeze the interface.
// A notification the service refuses (an error reply), or that finds no
// service (none on the bus, or one that can be started but fails to start),
// gives notificationFailed() with everything needed to show it another way;
// nothing is lost silently. A service that is only slow gets no failure: it
// may still show the notification, and a second one shown another way would
// make two.
//
// The click context is the text handed back on a click: "video:<software
// id>~<video id>", a link text (a page key or a web address), or empty for a
// notification that a click does nothing with (it then offers no action).
class KvoDesktopNotifier : public QObject
{
    Q_OBJECT

public:
    // How long an answer of the service is awaited (the bus's own default);
    // a late answer is no failure, but its click can no longer be followed.
    static constexpr int DefaultTimeout = 25000; // ms

    // The process-wide bridge, created on first call on the GUI thread.
    static KvoDesktopNotifier* instance();

    // The notification names the client sends, in registration order.
    static QStringList notificationNames();
    // "video:<softwareId>~<videoId>", or empty when either id is -1.
    static QString videoContext(int softwareId, int videoId);

    // The names registered so far: all of notificationNames() after the
    // first notification (the desktop service itself keeps no list).
    QStringList registeredNames() const { return m_registered; }

    // A notification without click context.
    void notify(const QString& title, const QString& description, const QString& name);
    // Click context videoContext(softwareId, videoId).
    void notify(const QString& title, const QString& description, const QString& name,
                int softwareId, int videoId);
    // The given click context (UTF-8 text; empty for none).
    void notify(const QString& title, const QString& description, const QString& name,
                const QString& context);

    // Asks the bus whether the service runs, else starts it; answers with
    // serviceChecked(). A service that can be started but fails to start
    // counts as missing. isServicePresent() keeps the last answer, and what
    // the last notification taught (delivered: present; service unknown or
    // failing to start: missing). False until known.
    void checkService();
    bool isServicePresent() const { return m_present; }

    // Withdraws the notifications still on the desktop and forgets their
    // click contexts (at the end of a session: they would act on the next).
    void closeAll();
    // Notifications on the desktop whose click is still awaited.
    int openCount() const { return int(m_open.size()); }
    // Notifications whose answer from the service is still awaited.
    int pendingCount() const { return int(m_waiting.size()) + m_sending; }

    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

signals:
    // The user clicked a notification that had a click context.
    void clicked(const QString& context);
    // The service took the notification under this id.
    void notificationShown(uint id, const QString& context);
    // The service is missing, failed or did not answer in time.
    void notificationFailed(const QString& title, const QString& description, const QString& name,
                            const QString& context);
    void serviceChecked(bool present);

private slots:
    // Signals of the service; the message gives the sender.
    void onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message);
    void onNotificationClosed(uint id, uint reason, const QDBusMessage& message);

private:
    struct Pending
    {
        QString title;
        QString description;
        QString name;
        QString context;
    };
    struct Open
    {
        QString context;
        QString sender; // unique bus name of the service that took it
    };

    explicit KvoDesktopNotifier(QObject* parent = nullptr);

    void registerNames();
    void requestCapabilities();
    void onCapabilities(QDBusPendingCallWatcher* watcher);
    void send(const Pending& pending);
    void fail(const Pending& pending);
    void startService();

    QStringList m_registered;
    QList<Pending> m_waiting; // until the service's capabilities are known
    QHash<uint, Open> m_open;
    int m_sending = 0; // Notify calls awaiting their answer
    int m_timeout = DefaultTimeout;
    bool m_capabilitiesRequested = false;
    bool m_capabilitiesKnown = false;
    bool m_bodyMarkup = false;
    bool m_actions = true;
    bool m_present = false;
    bool m_signalsConnected = false;
};
