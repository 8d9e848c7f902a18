#pragma once

#include <QString>

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

    // A one-line description of the operating system for support texts.
    static QString systemDescription();

    // The package type the version check asks for ("deb").
    static QString updatePackageType();
    // Whether the file is such a package: a Debian binary package is an ar
    // archive whose first member is "debian-binary". Only such a file is
    // handed to the opener, which would run a script or a desktop entry.
    static bool isUpdatePackage(const QString& path);
};
