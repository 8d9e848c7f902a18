#pragma once

class QNetworkReply;
class QObject;

namespace KvoReply {

// Lets a network reply go, the one way every class here does it: no further
// signal reaches the receiver (all of its connections to the reply are cut
// when it is given), a reply still running is aborted, and the object is
// deleted from the event loop, never from inside one of its own signals.
// Nothing happens for a null reply.
void release(QNetworkReply* reply, const QObject* receiver = nullptr);

} // namespace KvoReply
