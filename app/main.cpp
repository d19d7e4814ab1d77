// Wipora: removes what the Ostrevan Web-to-Host edition left on a machine and,
// on request, uninstalls the Served Desktop edition.
#include "app/run_driver.h"
#include "services/library_loader.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    // First of all, before any window, cursor or message box: administrators
    // start the program from wherever they saved it, often a downloads folder
    // where a web page can leave a DLL, and the system DLLs load further DLLs by
    // bare name while it runs (a theming DLL with the first window). From here
    // on every such load comes from the system folder (where the loader has
    // SetDefaultDllDirectories; elsewhere the current folder at least is out of
    // the search). The program's own loads go through LoadSystemLibrary, which
    // names the system folder itself on every system.
    RestrictLibrarySearch();

    return RunDriver(instance, commandLine ? commandLine : "");
}
