#pragma once

#include "KvoLibrary.h"

#include <QString>

// The database a library test starts from, and the clean end of one: the
// tests of the synchronisation and of the library pages all need a fresh
// database with one account in it, and must leave no manager, pool task or
// deferred deletion behind for the next test.
class KvoTestLibrary
{
public:
    // Opens a new database file in folder with one users row for the
    // account storedUserId (login "demo", 3 credits, never synchronised).
    static bool openWithUser(const QString& folder, const QString& storedUserId);
    // Gives the account a configurations row of default values (where its
    // video folder and other settings are kept); false on failure.
    static bool addConfiguration(const QString& storedUserId);
    // Adds courses (with their videos and local state), softwares and
    // authors to the user's stored library, as a synchronisation would have
    // written them; what is stored already stays.
    static bool add(const QString& storedUserId, const KvoLibrary& library);
    // The user's stored library, and writing it back whole (what it no longer
    // holds leaves the library); the synchronisation marks stay as they are.
    static KvoLibrary stored(const QString& storedUserId);
    static bool write(const QString& storedUserId, const KvoLibrary& library);
    // Destroys the synchronisation manager and waits until its thread and
    // every pool task ended and deferred deletions ran.
    static void drainManager();
    // drainManager(), then closes the database.
    static void close();
};
