#pragma once

#include <QString>

class KvoSingleApplication;

// The session loop of the start-up: sign-in, first-run import, main window,
// and back to the sign-in when the session ended; returns the process's exit
// code once the user is done.
class KvoSessionLoop
{
public:
    // argument: the command-line argument given to this process ("vorn:"
    // link, file path or message), empty when none.
    static int run(KvoSingleApplication& app, const QString& argument);

    // What every session leaves behind it when it ends, whatever the reason:
    // no synchronisation (its write may still run), no queue, no
    // credentials, no user.
    static void endSession();
    // The end of the process: waits for the background work of the ended
    // sessions, then closes the database.
    static void closeDown();
};
