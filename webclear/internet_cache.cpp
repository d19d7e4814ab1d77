// Internet cache clearing: every content entry of the current user's WinINet
// URL cache, except cookies and URL history.
#include <windows.h>
#include <wininet.h>

#include "services/run_log.h"
#include "services/library_loader.h"
#include "services/machine_changes.h"
#include "webclear/webclear.h"

namespace {

constexpr DWORD kEntryBufferSize = 4096;
constexpr DWORD kKeptEntryTypes = COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY;   // 0x00300000

using FindFirstEntry = HANDLE(WINAPI*)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using FindNextEntry = BOOL(WINAPI*)(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using CloseSearch = BOOL(WINAPI*)(HANDLE);

struct CacheApi {
    FindFirstEntry findFirst;
    FindNextEntry findNext;
    CloseSearch findClose;
    HMODULE wininet;   // DeleteUrlCacheEntryA is the door's (services/machine_changes)
};

// wininet.dll is not one of the DLLs Windows always takes from its own folder:
// it is loaded from the system directory at run time, never imported, so a
// DLL of that name planted beside the program cannot run inside it.
bool LookUpCacheApi(HMODULE wininet, CacheApi* api)
{
    api->wininet = wininet;
    api->findFirst = reinterpret_cast<FindFirstEntry>(GetProcAddress(wininet, "FindFirstUrlCacheEntryA"));
    api->findNext = reinterpret_cast<FindNextEntry>(GetProcAddress(wininet, "FindNextUrlCacheEntryA"));
    api->findClose = reinterpret_cast<CloseSearch>(GetProcAddress(wininet, "FindCloseUrlCache"));
    return api->findFirst && api->findNext && api->findClose;
}

// One pass over the cache, deleting while it enumerates. An entry whose
// record does not fit the buffer ends the pass like the end of the cache.
void ClearEntries(const CacheApi& api)
{
    union {
        INTERNET_CACHE_ENTRY_INFOA info;
        char bytes[kEntryBufferSize];
    } entry;
    DWORD size = kEntryBufferSize;
    entry.info.dwStructSize = kEntryBufferSize;
    HANDLE search = api.findFirst(nullptr, &entry.info, &size);
    if (!search) return;
    for (;;) {
        if ((entry.info.CacheEntryType & kKeptEntryTypes) == 0)
            DeleteCacheEntry(api.wininet, entry.info.lpszSourceUrlName);
        size = kEntryBufferSize;
        entry.info.dwStructSize = kEntryBufferSize;
        if (!api.findNext(search, &entry.info, &size)) break;
    }
    api.findClose(search);
}

}  // namespace

void ClearInternetCache()
{
    SetLogTask("Internet cache");
    HMODULE wininet = LoadSystemLibrary("wininet.dll");
    if (!wininet) return;
    CacheApi api;
    if (LookUpCacheApi(wininet, &api)) ClearEntries(api);
    FreeLibrary(wininet);
}
