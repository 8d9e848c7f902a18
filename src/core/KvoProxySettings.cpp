#include "KvoProxySettings.h"

#include "KvoDatabase.h"
#include "KvoStringCodec.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

int KvoProxySettings::clampProtocol(int protocol)
{
    return protocol == Socks5 ? Socks5 : Http;
}

int KvoProxySettings::clampPort(int port)
{
    return port >= 0 && port <= 65535 ? port : 3128;
}

KvoProxySettings KvoProxySettings::loadWhere(const QString& condition, const QStringList& placeholders,
                                             const QString& value, bool* found)
{
    KvoProxySettings settings;
    if (found)
        *found = false;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
                  "SELECT c.need_proxy, c.need_authentification, c.id_protocol_proxy, c.password_proxy, "
                  "c.username_proxy, c.port_proxy, c.server_proxy FROM `configurations` AS c "
                  "INNER JOIN `users` AS u ON u.id_configuration = c.rowid WHERE ")
              + condition + QStringLiteral(" LIMIT 1"));
    // The condition may name the value several times, once per placeholder.
    for (const QString& name : placeholders)
        q.bindValue(name, value);
    if (!q.exec() || !q.next())
        return settings;
    settings.enabled = q.value(0).toBool();
    settings.authentication = q.value(1).toBool();
    settings.protocol = clampProtocol(q.value(2).toInt());
    settings.password = KvoStringCodec::decode(q.value(3).toString());
    settings.user = q.value(4).toString();
    settings.port = clampPort(q.value(5).isNull() ? 3128 : q.value(5).toInt());
    settings.host = q.value(6).toString();
    if (found)
        *found = true;
    return settings;
}

KvoProxySettings KvoProxySettings::load(const QString& storedUserId, bool* found)
{
    return loadWhere(QStringLiteral("u.id_qoz_user = :value"), {QStringLiteral(":value")}, storedUserId, found);
}

KvoProxySettings KvoProxySettings::loadForLogin(const QString& login, bool* found)
{
    const QString key = login.trimmed();
    if (key.isEmpty()) {
        if (found)
            *found = false;
        return KvoProxySettings();
    }
    // SQLite's lower() folds ASCII only: compare folded on both sides the
    // same way, and let the exact spelling win when several rows match.
    return loadWhere(QStringLiteral("(u.login = :value OR lower(u.login) = lower(:value2) "
                                    "OR lower(u.email) = lower(:value3)) "
                                    "ORDER BY (u.login = :value4) DESC"),
                     {QStringLiteral(":value"), QStringLiteral(":value2"), QStringLiteral(":value3"),
                      QStringLiteral(":value4")},
                     key, found);
}

KvoProxySettings KvoProxySettings::loadRemembered(bool* found)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT `remember_me`, `last_id_user` FROM `player_config`"));
    if (!q.exec() || !q.next() || !q.value(0).toBool() || q.value(1).toString().isEmpty()) {
        if (found)
            *found = false;
        return KvoProxySettings();
    }
    return load(q.value(1).toString(), found);
}

bool KvoProxySettings::store(const QString& storedUserId) const
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "UPDATE configurations SET server_proxy = :host, port_proxy = :port, username_proxy = :user, "
        "password_proxy = :password, need_authentification = :auth, need_proxy = :proxy, "
        "id_protocol_proxy = :protocol WHERE rowid = "
        "(SELECT `id_configuration` FROM `users` WHERE `id_qoz_user` = :id_user)"));
    q.bindValue(QStringLiteral(":host"), host);
    q.bindValue(QStringLiteral(":port"), clampPort(port));
    q.bindValue(QStringLiteral(":user"), user);
    q.bindValue(QStringLiteral(":password"), KvoStringCodec::encode(password));
    q.bindValue(QStringLiteral(":auth"), authentication ? 1 : 0);
    q.bindValue(QStringLiteral(":proxy"), enabled ? 1 : 0);
    q.bindValue(QStringLiteral(":protocol"), clampProtocol(protocol));
    q.bindValue(QStringLiteral(":id_user"), storedUserId);
    return q.exec() && q.numRowsAffected() > 0;
}

QNetworkProxy KvoProxySettings::toNetworkProxy() const
{
    if (!enabled)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    QNetworkProxy proxy(clampProtocol(protocol) == Http ? QNetworkProxy::HttpProxy : QNetworkProxy::Socks5Proxy,
                        host, quint16(clampPort(port)));
    if (authentication) {
        proxy.setUser(user);
        proxy.setPassword(password);
    }
    return proxy;
}

void KvoProxySettings::apply() const
{
    QNetworkProxy::setApplicationProxy(toNetworkProxy());
}

bool KvoProxySettings::applyRemembered()
{
    bool found = false;
    const KvoProxySettings settings = loadRemembered(&found);
    if (found)
        settings.apply();
    return found;
}

bool KvoProxySettings::applyForLogin(const QString& login)
{
    bool found = false;
    const KvoProxySettings settings = loadForLogin(login, &found);
    if (found)
        settings.apply();
    return found;
}

bool KvoProxySettings::operator==(const KvoProxySettings& other) const
{
    return enabled == other.enabled && authentication == other.authentication && protocol == other.protocol
           && host == other.host && port == other.port && user == other.user && password == other.password;
}
