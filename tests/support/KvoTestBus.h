#pragma once

#include <QString>

// A private session bus for the D-Bus cases of a test program. Its
// configuration (kvo-test-bus.conf) lists only a service folder of the test,
// so what answers on it is what the test starts: a notification daemon of
// the machine that the system's bus would start on demand cannot stand in
// for a fake service, and a test can make a service activatable by writing a
// .service file into serviceFolder().
//
// main() calls runOnPrivateBus() before it makes the application object:
// the program runs again under dbus-run-session with that configuration.
// Where that cannot be done, the program goes on without any session bus
// and its D-Bus cases skip, saying why (skipReason()).
class KvoTestBus
{
public:
    // The exit status of the program run on the private bus, or -1 when
    // this process is to run the tests itself (it is that run, or no
    // private bus can be had).
    static int runOnPrivateBus(int argc, char** argv);

    static bool available();
    static QString skipReason();
    // Activatable services: a .service file written here is seen after
    // reloadConfiguration().
    static QString serviceFolder();
    // Makes the bus read its configuration and service folder again; blocks
    // until it did.
    static bool reloadConfiguration();
};
