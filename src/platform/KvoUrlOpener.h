#pragma once

#include <QObject>

class QUrl;

// The handler of the web and file addresses that the client hands to
// QDesktopServices::openUrl: it starts the desktop's opener (xdg-open)
// through KvoPlatform::startDetached, so the browser gets the environment
// the client was given. Qt's own opener would pass on what the client set
// for itself alone.
class KvoUrlOpener : public QObject
{
    Q_OBJECT

public:
    // Makes the opener the handler of http, https and file addresses for
    // the life of the application object.
    static void install();

public slots:
    // Where the opener cannot be started, Qt's own way is tried.
    void open(const QUrl& url);

private:
    using QObject::QObject;
    ~KvoUrlOpener() override;
};
