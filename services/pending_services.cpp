// Placeholders until the system services land.
#include "services/com_server.h"
#include "services/folders.h"
#include "services/library_loader.h"
#include "services/tree_delete.h"
HMODULE LoadSystemLibrary(const char* n) { return LoadLibraryExA(n, nullptr, 0x800); }
HRESULT ResolveFolder(int, char*) { return kFolderRouteFailed; }
HRESULT ResolveLocalLowFolder(int, char*, bool, DWORD) { return kFolderRouteFailed; }
bool GetDesktopFolder(char* o, bool) { o[0] = 0; return false; }
bool GetStartupFolder(char* o, bool) { o[0] = 0; return false; }
bool GetProgramsFolder(char* o) { o[0] = 0; return false; }
bool GetCacheRoot(char* o) { o[0] = 0; return false; }
void ExpandEnvironmentReferences(char*) {}
void DeleteTree(const char*, bool) {}
bool FileExists(const char*) { return false; }
bool IsProtectedFolder(const char*) { return true; }
bool UnregisterComServer(const char*) { return false; }
