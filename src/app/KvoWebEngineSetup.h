#pragma once

// What the home page's web engine needs before the application object
// exists: shared GL contexts, and its start without the sandbox as root
// (the sandbox refuses root and would end the whole client at the first
// home page). Without the sandbox the engine's zygote processes serve no
// purpose and cost memory, so they are left out too.
class KvoWebEngineSetup
{
public:
    // Returns true when the engine runs without its sandbox.
    static bool prepare();
};
