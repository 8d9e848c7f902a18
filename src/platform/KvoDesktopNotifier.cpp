#include "KvoDesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QMetaObject>
#include <QVariant>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// The name of the installed .desktop file and of the themed icon.
const QString DesktopEntry = QStringLiteral("vistrelle");
// The only action offered: a click on the notification itself.
const QString DefaultAction = QStringLiteral("default");

QDBusMessage serviceCall(const QString& method)
{
    return QDBusMessage::createMethodCall(Service, Path, Interface, method);
}

QDBusMessage busCall(const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                          QStringLiteral("/org/freedesktop/DBus"),
                                          QStringLiteral("org.freedesktop.DBus"), method);
}

// No answer in time: the service is slow or hangs, it did not refuse.
bool isUnanswered(const QDBusError& error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout
           || error.type() == QDBusError::TimedOut;
}

// No service: none owns the name, or the bus could not start the one it
// knows (its program is missing, exits or crashes at start).
bool isMissing(const QDBusError& error)
{
    return error.type() == QDBusError::ServiceUnknown
           || error.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

} // namespace

KvoDesktopNotifier* KvoDesktopNotifier::instance()
{
    // Parented to the application so it goes before the bus connections do.
    static KvoDesktopNotifier* bridge = new KvoDesktopNotifier(QCoreApplication::instance());
    return bridge;
}

KvoDesktopNotifier::KvoDesktopNotifier(QObject* parent)
    : QObject(parent)
{
}

QStringList KvoDesktopNotifier::notificationNames()
{
    return {QStringLiteral("Video download finished"), QStringLiteral("Update download finished"),
            QStringLiteral("Test notification")};
}

QString KvoDesktopNotifier::videoContext(int softwareId, int videoId)
{
    if (softwareId == -1 || videoId == -1)
        return QString();
    return QStringLiteral("video:%1~%2").arg(softwareId).arg(videoId);
}

void KvoDesktopNotifier::registerNames()
{
    if (m_registered.isEmpty())
        m_registered = notificationNames();
}

void KvoDesktopNotifier::notify(const QString& title, const QString& description, const QString& name)
{
    notify(title, description, name, QString());
}

void KvoDesktopNotifier::notify(const QString& title, const QString& description, const QString& name,
                                int softwareId, int videoId)
{
    notify(title, description, name, videoContext(softwareId, videoId));
}

void KvoDesktopNotifier::notify(const QString& title, const QString& description, const QString& name,
                                const QString& context)
{
    registerNames();
    const Pending pending{title, description, name, context};
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_present = false;
        fail(pending);
        return;
    }
    if (!m_signalsConnected) {
        // No sender in the match: naming the service would make Qt look up
        // its owner with a blocking call. The sender is checked on arrival
        // against the service that took the notification.
        bus.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint,QString,QDBusMessage)));
        bus.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                    SLOT(onNotificationClosed(uint,uint,QDBusMessage)));
        m_signalsConnected = true;
    }
    if (m_capabilitiesKnown) {
        send(pending);
        return;
    }
    m_waiting.append(pending);
    requestCapabilities();
}

void KvoDesktopNotifier::requestCapabilities()
{
    if (m_capabilitiesRequested)
        return;
    m_capabilitiesRequested = true;
    const QDBusPendingCall call =
        QDBusConnection::sessionBus().asyncCall(serviceCall(QStringLiteral("GetCapabilities")), m_timeout);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &KvoDesktopNotifier::onCapabilities);
}

void KvoDesktopNotifier::onCapabilities(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    m_capabilitiesRequested = false;
    const QList<Pending> waiting = m_waiting;
    m_waiting.clear();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (isUnanswered(watcher->error())) {
            // A slow service: send with what every service understands
            // (plain text, actions) and ask again next time.
            m_bodyMarkup = false;
            m_actions = true;
            for (const Pending& pending : waiting)
                send(pending);
            return;
        }
        if (isMissing(watcher->error()))
            m_present = false;
        for (const Pending& pending : waiting)
            fail(pending);
        return;
    }
    const QStringList capabilities =
        reply.arguments().isEmpty() ? QStringList() : reply.arguments().constFirst().toStringList();
    m_bodyMarkup = capabilities.contains(QLatin1String("body-markup"));
    // Without "actions" the service shows the notification but reports no
    // click: acceptable, the notification still informs.
    m_actions = capabilities.contains(QLatin1String("actions"));
    m_capabilitiesKnown = true;
    for (const Pending& pending : waiting)
        send(pending);
}

void KvoDesktopNotifier::send(const Pending& pending)
{
    QStringList actions;
    if (!pending.context.isEmpty() && m_actions)
        actions << DefaultAction << tr("Ouvrir");

    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry);
    hints.insert(QStringLiteral("x-vistrelle-kind"), pending.name);
    if (pending.name == notificationNames().at(0) || pending.name == notificationNames().at(1))
        hints.insert(QStringLiteral("category"), QStringLiteral("transfer.complete"));

    // Course titles from the service may hold "&" or "<": with markup on,
    // they would be read as markup.
    const QString body = m_bodyMarkup ? pending.description.toHtmlEscaped() : pending.description;

    QDBusMessage message = serviceCall(QStringLiteral("Notify"));
    message << QStringLiteral("Vistrelle") << uint(0) << DesktopEntry << pending.title << body << actions
            << hints << int(-1);
    const QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(message, m_timeout);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    ++m_sending;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, pending](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        --m_sending;
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage && isUnanswered(w->error()))
            return; // only slow: it may still show, a box would be a second one
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            if (isMissing(w->error()))
                m_present = false;
            // The service may have been replaced: ask again next time.
            m_capabilitiesKnown = false;
            fail(pending);
            return;
        }
        m_present = true;
        const uint id = reply.arguments().constFirst().toUInt();
        if (!pending.context.isEmpty())
            m_open.insert(id, Open{pending.context, reply.service()});
        emit notificationShown(id, pending.context);
    });
}

void KvoDesktopNotifier::fail(const Pending& pending)
{
    // Always after the caller's return, as a delivery would be.
    QMetaObject::invokeMethod(
        this,
        [this, pending] {
            emit notificationFailed(pending.title, pending.description, pending.name, pending.context);
        },
        Qt::QueuedConnection);
}

void KvoDesktopNotifier::onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message)
{
    const auto it = m_open.constFind(id);
    if (it == m_open.constEnd() || it->sender != message.service())
        return;
    if (actionKey != DefaultAction)
        return;
    emit clicked(it->context);
}

void KvoDesktopNotifier::onNotificationClosed(uint id, uint reason, const QDBusMessage& message)
{
    Q_UNUSED(reason)
    const auto it = m_open.find(id);
    if (it != m_open.end() && it->sender == message.service())
        m_open.erase(it);
}

void KvoDesktopNotifier::closeAll()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        for (auto it = m_open.constBegin(); it != m_open.constEnd(); ++it) {
            QDBusMessage message = serviceCall(QStringLiteral("CloseNotification"));
            message << it.key();
            message.setAutoStartService(false);
            bus.send(message); // no answer needed
        }
    }
    m_open.clear();
}

void KvoDesktopNotifier::checkService()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_present = false;
        QMetaObject::invokeMethod(this, [this] { emit serviceChecked(false); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage message = busCall(QStringLiteral("NameHasOwner"));
    message << Service;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().constFirst().toBool()) {
            m_present = true;
            emit serviceChecked(true);
            return;
        }
        startService();
    });
}

void KvoDesktopNotifier::startService()
{
    // Not running: the bus may know how to start it. Listing it as
    // activatable is not enough, the start itself must succeed.
    QDBusMessage message = busCall(QStringLiteral("StartServiceByName"));
    message << Service << uint(0);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_present = w->reply().type() == QDBusMessage::ReplyMessage;
        emit serviceChecked(m_present);
    });
}
