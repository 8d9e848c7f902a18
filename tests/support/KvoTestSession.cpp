#include "KvoTestSession.h"

#include "KvoGuiThreadSpy.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSignIn.h"

#include <QSignalSpy>
#include <QTest>

QString KvoTestSession::signInAndSync(const QString& login, const QString& password)
{
    KvoSignIn signIn;
    signIn.setUpdatesRememberedLogin(false);
    QSignalSpy signedIn(&signIn, &KvoSignIn::signedIn);
    QSignalSpy failed(&signIn, &KvoSignIn::failed);
    signIn.signIn(login, password, false);
    if (!QTest::qWaitFor([&] { return signedIn.count() + failed.count() > 0; }, 10000))
        return QStringLiteral("the sign-in got no answer");
    if (signedIn.isEmpty())
        return QStringLiteral("the sign-in was refused");
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    KvoGuiThreadSpy ended(manager, &KvoPurchaseVideoManager::updateEnded);
    manager->setConnected(true);
    manager->update();
    if (!ended.wait(10000))
        return QStringLiteral("the library update did not end");
    return QString();
}
