#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

class KvoHTTPRequest;

// Signs a user in, without any window: online through the service's login
// path, or, when the service cannot be reached, offline against the accounts
// that already signed in on this computer (table users).
//
// A successful sign-in leaves everything the session needs in place: the
// users row with its configurations row, the remembered login of
// player_config, the HTTP Basic credentials of every later request, the
// environment's current user and the synchronisation manager's user; online,
// the outgoing queue starts sending what it kept. Then
// signedIn(online) is emitted; any refusal ends with failed(message) in
// French, and with no credentials left set.
//
// Needs the database of the current content language open on this thread.
class KvoSignIn : public QObject
{
    Q_OBJECT

public:
    explicit KvoSignIn(QObject* parent = nullptr);
    ~KvoSignIn() override;

    // Starts one sign-in; the answer is one of the two signals, later for an
    // online attempt, at once for an empty field. A sign-in still running is
    // abandoned.
    void signIn(const QString& login, const QString& password, bool rememberMe);
    // Abandons a running sign-in: no signal follows, no credentials stay.
    void abort();
    bool isRunning() const;

    // When false, signIn() leaves player_config's remembered login as it is
    // whatever rememberMe says (automated sign-ins must not forget the
    // account a person asked to remember). Default true.
    void setUpdatesRememberedLogin(bool updates);

    // The login name of the last successful sign-in: the service's spelling
    // online, the stored one offline.
    QString signedInLogin() const { return m_signedInLogin; }
    bool isOnline() const { return m_online; }

    // Pre-filling of the sign-in form from player_config; empty when nothing
    // is remembered.
    static bool isRemembered();
    static QString rememberedLogin();
    static QString rememberedPassword(); // decoded

signals:
    void signedIn(bool online);
    void failed(const QString& message);

private:
    struct Account
    {
        QString storedId; // KvoStringCodec form of the service's user id
        QString login;
        QString pseudo;
        QString email;
        QString credits;
        QString session;
    };

    void onSuccess(const QString& body);
    void onError(QNetworkReply::NetworkError error, const QString& text);
    void signInOffline();
    void finish(const Account& account, bool online);
    void refuse(const QString& message);
    void releaseRequest();

    // Writes the users row (and a configurations row when it has none);
    // false when the database refused.
    bool storeAccount(const Account& account, const QString& password);
    void storeRememberedLogin(const QString& storedId, bool rememberMe);

    QPointer<KvoHTTPRequest> m_request;
    QString m_login;
    QString m_password;
    bool m_rememberMe = false;
    bool m_updatesRemembered = true;
    QString m_signedInLogin;
    bool m_online = false;
};
