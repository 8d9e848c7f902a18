#include "KvoPageSetup.h"

#include "KvoMainWindow.h"
#include "KvoPageRegistry.h"

void KvoPageSetup::registerPages()
{
    // One line per page key; the main window builds a page on first use.
    // (pages: add registrations above this line)
}
