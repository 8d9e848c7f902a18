#pragma once

#include <QNetworkProxy>
#include <QString>
#include <QStringList>

// The proxy of one user, as the settings page keeps it in the user's row of
// configurations, and the process-wide proxy made from it. The host, port
// and credentials are kept whatever the switches say, so switching the
// proxy off and on again finds them back.
class KvoProxySettings
{
public:
    enum Protocol { Http = 0, Socks5 = 1 };

    bool enabled = false;
    bool authentication = false;
    int protocol = Http; // always Http or Socks5
    QString host;
    int port = 3128;     // 0 to 65535
    QString user;
    QString password;    // in clear (stored encoded)

    // A stored protocol outside the list reads as the first one; a port
    // outside 0..65535 as the default.
    static int clampProtocol(int protocol);
    static int clampPort(int port);

    // The settings of the user with that stored id (users.id_qoz_user).
    // Without a configurations row, the defaults and *found false.
    static KvoProxySettings load(const QString& storedUserId, bool* found = nullptr);
    // The settings of the account known on this computer by that login or
    // e-mail address (any case); the defaults and *found false for an
    // account never seen here.
    static KvoProxySettings loadForLogin(const QString& login, bool* found = nullptr);
    // The settings of the account player_config remembers; *found false when
    // none is remembered.
    static KvoProxySettings loadRemembered(bool* found = nullptr);

    // Writes the seven proxy columns of the user's configurations row, every
    // value bound as typed. False when the user has no row or the database
    // refused.
    bool store(const QString& storedUserId) const;

    // NoProxy when switched off; else an HTTP or SOCKS5 proxy, with the
    // credentials only when authentication is on.
    QNetworkProxy toNetworkProxy() const;
    // Makes it the proxy of every connection the process opens from now on
    // (web requests, downloads, the home page's web view).
    void apply() const;

    // The proxy a start-up applies before anyone signed in: the remembered
    // account's. Returns whether one was found (else nothing changes).
    static bool applyRemembered();
    // The proxy of the account a sign-in is about to use: applied when the
    // login is known here, else the current proxy stays. Returns whether
    // the account was found.
    static bool applyForLogin(const QString& login);

    bool operator==(const KvoProxySettings& other) const;
    bool operator!=(const KvoProxySettings& other) const { return !(*this == other); }

private:
    // The user's row found by a condition on users (as u) that names the
    // value once per placeholder.
    static KvoProxySettings loadWhere(const QString& condition, const QStringList& placeholders,
                                      const QString& value, bool* found);
};
