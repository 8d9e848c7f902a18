#pragma once

// Registers every page class of the client with the main window's page
// factory. Called once by the start-up, before the first main window.
class KvoPageSetup
{
public:
    static void registerPages();
};
