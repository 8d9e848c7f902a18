#include "KvoSessionLoop.h"

#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoEnvironment.h"
#include "KvoHTTPRequest.h"
#include "KvoLoginDialog.h"
#include "KvoMainWindow.h"
#include "KvoMessageBox.h"
#include "KvoPageSetup.h"
#include "KvoProxySettings.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSignIn.h"
#include "KvoSingleApplication.h"
#include "KvoVideoImportDialog.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QThreadPool>

#include <cstdio>

namespace {

// How one signed-in session ended.
struct SessionEnd
{
    bool expired = false; // back to the sign-in (session taken over, or the user signed out)
    bool install = false; // a downloaded update waits to be opened
};

enum class SignInResult { SignedIn, Closed, Refused };

// Tells the user in a message box, and on the console for whoever started
// the client from there. Without a screen (the offscreen platform) nobody
// could close the box: only the console gets the text.
void tell(int type, const QString& detail)
{
    KvoMessageBox box(type, detail);
    std::fprintf(stderr, "Vistrelle: %s\n", box.plainText().toUtf8().constData());
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    box.exec();
}

// Opens the current content language's database, telling the user when a
// damaged file had to be set aside or when nothing could be opened.
bool openDatabase()
{
    if (!KvoDatabase::openForCurrentLanguage()) {
        tell(KvoMessageBox::DatabaseUnavailable, KvoEnvironment::databasePath());
        return false;
    }
    const QString aside = KvoDatabase::setAsideFile();
    if (!aside.isEmpty())
        tell(KvoMessageBox::DatabaseReplaced, aside);
    return true;
}

// A failed save of the library, told once per run of failures, without
// stopping the window: one box at a time.
void watchLibrarySaves(KvoMainWindow* window)
{
    auto* box = new QPointer<KvoMessageBox>;
    QObject::connect(window, &QObject::destroyed, [box] { delete box; });
    QObject::connect(KvoPurchaseVideoManager::instance(), &KvoPurchaseVideoManager::librarySaveFailed, window,
                     [window, box] {
                         if (*box)
                             return;
                         *box = new KvoMessageBox(KvoMessageBox::LibraryNotSaved, QString(), window);
                         (*box)->setAttribute(Qt::WA_DeleteOnClose);
                         (*box)->open();
                     });
}

// VISTRELLE_AUTOLOGIN="login:password" signs in without showing the window,
// for automated runs (the demo smoke run of the README, tests). The login is
// everything before the first ':', the password everything after it, so a
// password may hold ':'. The remembered login is left as it is. Used for the
// first sign-in of the process only: a later one shows the window.
SignInResult autoSignIn(const QString& credentials, QString* login, bool* online)
{
    const int colon = credentials.indexOf(QLatin1Char(':'));
    KvoSignIn signIn;
    signIn.setUpdatesRememberedLogin(false);
    QEventLoop loop;
    QString message;
    bool succeeded = false;
    QObject::connect(&signIn, &KvoSignIn::signedIn, &loop, [&](bool isOnline) {
        succeeded = true;
        *online = isOnline;
        loop.quit();
    });
    QObject::connect(&signIn, &KvoSignIn::failed, &loop, [&](const QString& text) {
        message = text;
        loop.quit();
    });
    signIn.signIn(colon < 0 ? credentials : credentials.left(colon),
                  colon < 0 ? QString() : credentials.mid(colon + 1), false);
    // An empty field fails at once, before the loop runs; every online
    // attempt ends through the requests' transfer time-out.
    if (!succeeded && message.isEmpty())
        loop.exec();
    if (!succeeded) {
        std::fprintf(stderr, "Vistrelle: %s\n", message.toUtf8().constData());
        return SignInResult::Refused;
    }
    *login = signIn.signedInLogin();
    return SignInResult::SignedIn;
}

SignInResult dialogSignIn(QString* login, bool* online)
{
    KvoLoginDialog dialog;
    dialog.fadeIn();
    if (dialog.exec() != QDialog::Accepted)
        return SignInResult::Closed;
    *login = dialog.signedInLogin();
    *online = dialog.isOnline();
    return SignInResult::SignedIn;
}

// Step 2 and 3 of a session: everything the signed-in user does until the
// session ends. The main window takes the argument, then what the
// application kept meanwhile (messages, links and files forwarded by later
// starts) once it can act on it.
SessionEnd runSession(KvoSingleApplication& app, const QString& argument, bool online)
{
    KvoMainWindow::SessionHooks hooks;
    hooks.started = [&app](KvoMainWindow* window) {
        QObject::connect(&app, &KvoSingleApplication::messageAvailable, window,
                         &KvoMainWindow::onNewMessageFromInstance);
        QObject::connect(&app, &KvoSingleApplication::urlAvailable, window,
                         &KvoMainWindow::onNewUrlFromInstance);
        QObject::connect(&app, &KvoSingleApplication::fileOpenRequested, window,
                         &KvoMainWindow::onNewMessageFromInstance);
        QObject::connect(&app, &KvoSingleApplication::urlOpenRequested, window,
                         &KvoMainWindow::onNewUrlFromInstance);
        QObject::connect(&app, &KvoSingleApplication::closeRequested, window, &KvoMainWindow::onClose);
        watchLibrarySaves(window);
        app.setReceiverReady(true);
    };
    hooks.ending = [&app](KvoMainWindow*) { app.setReceiverReady(false); };
    const KvoMainWindow::SessionEnd end = KvoMainWindow::runSession(online, argument, hooks);
    SessionEnd result;
    result.expired = end.sessionExpired;
    result.install = end.hasToUpdate;
    return result;
}

} // namespace

void KvoSessionLoop::endSession()
{
    KvoPurchaseVideoManager::destroy();
    KvoAsynchronousSender::destroy();
    KvoHTTPRequest::clearCredentials();
    KvoEnvironment::currentUserSetup();
}

void KvoSessionLoop::closeDown()
{
    // The synchronisation may still be writing the library on its thread,
    // through its own connection: the pool task that waits for it ends
    // first, and only then do the connections go.
    QThreadPool::globalInstance()->waitForDone();
    KvoDatabase::close();
}

int KvoSessionLoop::run(KvoSingleApplication& app, const QString& argument)
{
    KvoPageSetup::registerPages();
    QString autoLogin = qEnvironmentVariable("VISTRELLE_AUTOLOGIN");
    // The command-line argument belongs to the first session only.
    QString pendingArgument = argument;

    for (;;) {
        // The sign-in needs the stored accounts and the remembered login of
        // the current content language's database. A session may have
        // changed that language; the previous session's pool tasks (its
        // synchronisation) finish before its database goes away.
        if (!KvoDatabase::isOpen() || KvoDatabase::filePath() != KvoEnvironment::databasePath()) {
            QThreadPool::globalInstance()->waitForDone();
            if (!openDatabase()) {
                closeDown();
                return 1;
            }
        }

        // Until someone signs in, the remembered account's proxy carries
        // whatever the start sends (the sign-in then takes the proxy of the
        // account it signs in).
        KvoProxySettings::applyRemembered();

        QString login;
        bool online = false;
        SignInResult result;
        if (!autoLogin.isEmpty()) {
            result = autoSignIn(autoLogin, &login, &online);
            autoLogin.clear();
        } else {
            result = dialogSignIn(&login, &online);
        }
        if (result != SignInResult::SignedIn) {
            closeDown();
            return result == SignInResult::Refused ? 1 : 0;
        }

        // Once per user: the earlier player's library, before the main
        // window starts from the library.
        KvoVideoImportDialog::offerImport();

        const SessionEnd end = runSession(app, pendingArgument, online);
        pendingArgument.clear();
        endSession();
        if (end.expired)
            continue;

        closeDown();
        if (end.install)
            KvoEnvironment::launchPendingUpdate();
        return 0;
    }
}
