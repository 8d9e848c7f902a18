#pragma once

#include <QDialog>
#include <QPointer>

class KvoSignIn;
class QPropertyAnimation;

namespace Ui {
class KvoLoginDialog;
}

// The sign-in window: login, password and "Se souvenir de moi", pre-filled
// from the remembered login. Accepted once a sign-in succeeded (online or
// offline), rejected when the user closes it.
class KvoLoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KvoLoginDialog(QWidget* parent = nullptr);
    ~KvoLoginDialog() override;

    // The outcome of the accepted sign-in.
    bool isOnline() const { return m_online; }
    QString signedInLogin() const;

    // The sign-in behind the form (tests drive and watch it).
    KvoSignIn* signIn() const { return m_signIn; }

    // Shows the window and fades it in.
    void fadeIn();

public slots:
    void reject() override;

private:
    void onSubmit();
    void onSignedIn(bool online);
    void onFailed(const QString& message);
    void setBusy(bool busy);
    void showError(const QString& message);
    // The height the window's content needs at its fixed width.
    void fitHeight();

    Ui::KvoLoginDialog* m_ui;
    KvoSignIn* m_signIn;
    QPointer<QPropertyAnimation> m_fade;
    bool m_online = false;
};
