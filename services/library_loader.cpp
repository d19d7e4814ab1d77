// Safe loading of system DLLs: a bare name comes from the system directory on
// every loader route, so a DLL planted beside the program or in the current
// folder never runs inside it.
#include "services/library_loader.h"

#include <cstring>

namespace {

constexpr DWORD kAlteredSearchPath = 0x8;    // LOAD_WITH_ALTERED_SEARCH_PATH
constexpr DWORD kSearchSystem32 = 0x800;     // LOAD_LIBRARY_SEARCH_SYSTEM32

void* HeapAllocate(SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void HeapRelease(void* block) { HeapFree(GetProcessHeap(), 0, block); }

// LoadLibraryExA without a file handle, or LoadLibraryA where the loader has
// no LoadLibraryExA (the flags are then the loader's own default search).
HMODULE LoadWith(const LoaderApi& api, const char* file, DWORD flags)
{
    if (api.loadLibraryExA) return api.loadLibraryExA(file, nullptr, flags);
    return api.loadLibraryA(file);
}

// Older loaders know no LOAD_LIBRARY_SEARCH_SYSTEM32: the program builds the
// system directory's path itself, in a heap buffer of exactly the system
// directory, one backslash, the name and the terminator.
HMODULE LoadFromSystemDirectory(const char* name, const LoaderApi& api)
{
    UINT size = api.getSystemDirectoryA(nullptr, 0);   // with its terminator
    if (size == 0) return nullptr;
    size_t nameLength = std::strlen(name);
    SIZE_T bytes = nameLength + size + 1;
    char* path = static_cast<char*>(api.allocate(bytes));
    if (!path) return nullptr;
    UINT length = api.getSystemDirectoryA(path, size);
    // 0 is a failure; a length that no longer fits the size asked for first
    // would leave the buffer unterminated.
    if (length == 0 || length >= size) {
        api.release(path);
        return nullptr;
    }
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    HMODULE module = LoadWith(api, path, kAlteredSearchPath);
    DWORD error = GetLastError();
    api.release(path);
    SetLastError(error);   // the loader's own error, not the heap's
    return module;
}

}  // namespace

bool NameHasPath(const char* name, UINT codePage)
{
    for (const char* p = name; *p; ++p) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p)) && p[1] != '\0') {
            ++p;   // the trail byte is never a separator
            continue;
        }
        if (*p == '\\' || *p == '/') return true;
    }
    return false;
}

LoaderApi SystemLoaderApi()
{
    LoaderApi api = {};
    api.kernel32 = GetModuleHandleA("kernel32");   // adds no reference
    api.loadLibraryA = LoadLibraryA;
    api.getSystemDirectoryA = GetSystemDirectoryA;
    api.allocate = HeapAllocate;
    api.release = HeapRelease;
    api.codePage = GetACP();
    if (api.kernel32) {
        api.loadLibraryExA = reinterpret_cast<decltype(api.loadLibraryExA)>(
            GetProcAddress(api.kernel32, "LoadLibraryExA"));
        // Only the sign that the loader knows LOAD_LIBRARY_SEARCH_SYSTEM32.
        api.hasAddDllDirectory = GetProcAddress(api.kernel32, "AddDllDirectory") != nullptr;
        api.setDefaultDllDirectories = reinterpret_cast<decltype(api.setDefaultDllDirectories)>(
            GetProcAddress(api.kernel32, "SetDefaultDllDirectories"));
        // Looked up too, not imported: kernel32 has it from Windows XP SP1 on,
        // and an import would stop the program from starting on older systems.
        api.setDllDirectoryA = reinterpret_cast<decltype(api.setDllDirectoryA)>(
            GetProcAddress(api.kernel32, "SetDllDirectoryA"));
    }
    return api;
}

HMODULE LoadSystemLibraryWith(const char* name, const LoaderApi& api)
{
    if (!api.kernel32) return nullptr;
    if (NameHasPath(name, api.codePage)) return LoadWith(api, name, kAlteredSearchPath);
    if (api.loadLibraryExA && api.hasAddDllDirectory)
        return api.loadLibraryExA(name, nullptr, kSearchSystem32);
    return LoadFromSystemDirectory(name, api);
}

// The two guards meet: this one covers the loads the program does not make
// itself (a system DLL loading a theming or helper DLL by bare name), the
// routes above the program's own loads. Those keep naming the system folder
// explicitly, because where SetDefaultDllDirectories is missing the process
// search still tries the program's folder first.
bool RestrictLibrarySearchWith(const LoaderApi& api)
{
    if (api.setDefaultDllDirectories && api.setDefaultDllDirectories(kSearchSystem32)) return true;
    if (api.setDllDirectoryA) api.setDllDirectoryA("");
    return false;
}

bool RestrictLibrarySearch()
{
    return RestrictLibrarySearchWith(SystemLoaderApi());
}

HMODULE LoadSystemLibrary(const char* name)
{
    return LoadSystemLibraryWith(name, SystemLoaderApi());
}
