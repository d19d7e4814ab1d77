// Loads system DLLs that the program looks up at run time, never letting the
// ordinary search order (application folder, current folder, PATH) supply a
// bare system DLL name.
#pragma once
#include <windows.h>

// The loader entry points a load may use. LoadSystemLibrary takes them from
// kernel32; tests pass their own to reach the routes of older loaders.
struct LoaderApi {
    HMODULE kernel32;                                   // null: no load is tried
    HMODULE (WINAPI* loadLibraryExA)(LPCSTR, HANDLE, DWORD);  // may be null
    HMODULE (WINAPI* loadLibraryA)(LPCSTR);
    bool hasAddDllDirectory;
    UINT (WINAPI* getSystemDirectoryA)(LPSTR, UINT);
    // The heap buffer of the older loaders' route (the process heap).
    void* (*allocate)(SIZE_T size);
    void (*release)(void* block);
    UINT codePage;                                      // the ANSI code page of names
    // The process-wide search (RestrictLibrarySearch).
    BOOL (WINAPI* setDefaultDllDirectories)(DWORD);     // may be null
    BOOL (WINAPI* setDllDirectoryA)(LPCSTR);            // may be null
};

// The real entry points of this process's kernel32.
LoaderApi SystemLoaderApi();

// Bare name: loaded from the system directory only. A name with a path
// (backslash or slash, found multibyte-aware) is loaded unchanged with
// LOAD_WITH_ALTERED_SEARCH_PATH. Null on failure; the caller frees the module.
HMODULE LoadSystemLibrary(const char* name);
HMODULE LoadSystemLibraryWith(const char* name, const LoaderApi& api);

// Cuts the search for every DLL the process loads by bare name afterwards,
// the ones system DLLs load for themselves included, down to the system
// folder: SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where kernel32
// has it, else (or when it fails) SetDllDirectoryA(""), which takes the
// current folder out of the search (nothing where both are missing, before
// Windows XP SP1). WinMain calls it before anything else.
// True when the search is the system folder only.
bool RestrictLibrarySearch();
bool RestrictLibrarySearchWith(const LoaderApi& api);

// Whether name holds a backslash or a forward slash, never taking the trail
// byte of a double-byte character (in code page codePage) for one.
bool NameHasPath(const char* name, UINT codePage);
