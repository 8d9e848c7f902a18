#pragma once

#include <QLocale>
#include <QString>

// A row of the language table: the interface and content languages the
// client knows, in a fixed order (French, then English). The table ends with
// a row whose translation-file name is empty.
struct Language
{
    QString file;        // translation file in "langues" ("francais.qm")
    QString locale;      // locale code sent to the service ("fr_FR")
    QString name;        // display name ("Français")
    int id = 0;          // the service's language id
    QString flag;        // flag image under ":/KvoMainWindow/Resources/"
    QString sitePath;    // the web site's root for that language ("/fr")
    QString creditsPath; // page where credits are bought
    QString homePath;    // desktop home page shown in the home page's web view
    QString facebookPath;
    QString twitterPath;
};

// The static environment of the process: folders, the settings file, the
// language table, the current interface and content language and the
// signed-in user. Safe to read from any thread once init() ran; the setters
// are called on the GUI thread.
class KvoEnvironment
{
public:
    // Prepares the settings folder, the data folder of every content
    // language with its "cache" and "temp" folders, and the settings file's
    // defaults. Called once by the start-up; calling it again is harmless.
    static void init();

    // --- languages
    static const Language* languages(); // ends with an empty-file row
    static int languageCount();         // rows before the end row
    static const Language& language(int index); // the end row when out of range
    static int interfaceLanguageIndex();
    static void setInterfaceLanguageIndex(int index);
    static int contentLanguageIndex();
    static void setContentLanguageIndex(int index);
    // lastInterfaceLang of the settings file when valid; else English when
    // the system's language is English, French otherwise.
    static int startupInterfaceLanguageIndex();
    // The default when the settings file names no language: English for an
    // English-speaking system, French otherwise.
    static int defaultInterfaceLanguageIndex(QLocale::Language systemLanguage);
    static QString locale();          // content language's locale code
    static QString interfaceLocale(); // interface language's locale code
    static QString creditsUrl();
    static QString languageField8();  // desktop home page
    static QString languageField10(); // social page one
    static QString languageField11(); // social page two

    // --- folders and files (native separators, no trailing separator)
    static QString preferencesPath();  // the platform's preferences folder
    static QString settingsFolder();   // preferences + "/Qozmira/Vistrelle"
    static QString settingsPath();     // settingsFolder + "/Vistrelle.ini"
    // Per content language: the database in the data folder, readable by
    // its owner only ($XDG_DATA_HOME/Qozmira/Vistrelle/<locale>); images and
    // temporary files in the cache folder
    // ($XDG_CACHE_HOME/Qozmira/Vistrelle/<locale>/images and /temp).
    static QString dataPath();
    static QString databasePath();     // dataPath + "/database.sqlite"
    static QString cachePath();
    static QString tempPath();
    // Moves what earlier versions kept in one folder per language beside the
    // settings ("<settingsFolder>/<locale>") to the places above, once: the
    // database and the other files go to the data folder unless a database
    // is there already (then the old folder stays as it is); the old image
    // cache and temporary files are dropped. Run by init().
    static void moveLegacyData();
    static QString storageLocation();  // the user's documents folder
    // The folder itself when it exists, else its nearest existing parent,
    // else the home folder (a start folder for file dialogs).
    static QString nearestExistingFolder(const QString& path);

    // --- the signed-in user
    // The user's name: the pseudonym (offline: the stored login) in lower
    // case, passed through sanitizeFileName().
    static QString currentUser();
    static void setCurrentUser(const QString& pseudonymOrLogin);
    // The user's id in the string codec's stored form (users.id_qoz_user).
    static QString currentUserId();
    static void setCurrentUserId(const QString& storedId);
    // Signs the environment out: no user, content language 0.
    static void currentUserSetup();

    // The user's video folder: configurations.path_videos of the signed-in
    // user, else defaultVideoPath().
    static QString videoPath();
    // <documents>/Vistrelle/<language display name>/<currentUser()>
    static QString defaultVideoPath();
    // Stores the folder for the signed-in user and, when stored, creates it.
    static void setVideoPath(const QString& path);
    // Makes the folder when missing and stores it as the user's video
    // folder, only when it is a folder that accepts files and was stored.
    // False leaves the stored folder as it was: downloads and copies would
    // fail one after the other in a folder that cannot be made or written.
    static bool useVideoFolder(const QString& folder);

    // When online and the last flush is seven days old or more, records the
    // time in player_config.last_flush and empties the cache folder.
    static void flushCache(bool online);

    // The name made fit to be one component of a path. Deterministic and
    // thread-safe; never returns "", "." or "..".
    static QString sanitizeFileName(const QString& name);

    // Opens the downloaded update package recorded in the settings file and
    // resets hasToUpdate and updatePath. Returns whether a package was
    // handed to the system: only a file that is an update package is.
    static bool launchPendingUpdate();
};
