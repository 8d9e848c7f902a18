#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

// What the client needs of the desktop it runs on, for the parts that
// need no window: where preferences live, how a downloaded package is
// handed to the system, and how the system describes itself.
class KvoPlatform
{
public:
    // The folder below which the client keeps its settings
    // ($XDG_CONFIG_HOME, else ~/.config), without a trailing separator.
    static QString preferencesFolder();
    // Below which it keeps its databases ($XDG_DATA_HOME, else
    // ~/.local/share) and what can be made again (image cache, temporary
    // files: $XDG_CACHE_HOME, else ~/.cache).
    static QString dataFolder();
    static QString cacheFolder();

    // Hands a file to the desktop's opener (xdg-open) as a detached
    // process. Returns false when the process could not be started.
    static bool openWithSystem(const QString& path);

    // Sets a variable of the client's own environment that is meant for the
    // client alone (its web engine reads its switches there). The value the
    // client was given, or its absence, is kept for the programs it starts.
    static void setForOwnUse(const char* name, const QByteArray& value);
    // The environment of a program the client starts, as "NAME=value"
    // entries: the client's own, in which every variable set by setForOwnUse
    // is again as it was given. Bytes, as the system keeps them: a value
    // need not be text in any encoding.
    static QByteArrayList startedProgramEnvironment();
    // Starts a program as a detached process (in a session of its own) in
    // that environment; false when it could not be started. Every program
    // the client starts goes through here.
    static bool startDetached(const QString& program, const QStringList& arguments);

    // A one-line description of the operating system for support texts.
    static QString systemDescription();

    // The package type the version check asks for ("deb").
    static QString updatePackageType();
    // Whether the file is such a package: a Debian binary package is an ar
    // archive whose first member is "debian-binary". Only such a file is
    // handed to the opener, which would run a script or a desktop entry.
    static bool isUpdatePackage(const QString& path);
};
