// The floor of a whole run: a program that does none of the clearing but
// pays for what any run of Wipora must load. It imports the same system DLLs
// (kernel32, advapi32, shlwapi, shell32, ole32, user32), and for each of the
// two Clear runs makes the run-time loads that a run with the same switches
// cannot do without: ieframe.dll for the writable user key (loaded and
// released in each run), the wait and arrow cursors, wininet.dll for the
// cache clearing when "3" is given, and msi.dll once for the installer probe.
//   loadfloor <the program's switches>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "services/library_loader.h"

namespace {

// One function of each DLL the program imports, so that the linker imports
// them all, as it does for the program.
void* volatile importedFunctions[] = {
    reinterpret_cast<void*>(&RegOpenKeyExA), reinterpret_cast<void*>(&SHDeleteKeyA),
    reinterpret_cast<void*>(&SHChangeNotify), reinterpret_cast<void*>(&CoTaskMemFree),
    reinterpret_cast<void*>(&MessageBoxA),
};

void LoadAndRelease(const char* name, const char* function)
{
    HMODULE module = LoadSystemLibrary(name);
    if (!module) return;
    GetProcAddress(module, function);
    FreeLibrary(module);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    static HMODULE msi;
    for (int pass = 0; pass < 2; ++pass) {
        LoadAndRelease("ieframe.dll", "IEGetWriteableHKCU");
        if (!msi) msi = LoadSystemLibrary("msi.dll");
        if (msi) GetProcAddress(msi, "MsiEnumProductsA");
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        if (std::strchr(commandLine, '3')) LoadAndRelease("wininet.dll", "FindFirstUrlCacheEntryA");
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    }
    return importedFunctions[0] ? 1 : 0;
}
