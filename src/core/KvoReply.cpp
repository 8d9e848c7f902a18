#include "KvoReply.h"

#include <QNetworkReply>

namespace KvoReply {

void release(QNetworkReply* reply, const QObject* receiver)
{
    if (!reply)
        return;
    if (receiver)
        QObject::disconnect(reply, nullptr, receiver, nullptr);
    // abort() sends finished() synchronously; the receiver no longer hears it.
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace KvoReply
