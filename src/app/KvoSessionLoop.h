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
};
