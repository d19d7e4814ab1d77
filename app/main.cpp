// Wipora: removes what the Ostrevan Web-to-Host edition left on a machine and,
// on request, uninstalls the Served Desktop edition.
#include "app/run_driver.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunDriver(instance, commandLine ? commandLine : "");
}
