// URL cache load for the benchmark, in the current user's WinINet cache:
//   cachebench fill <n>   makes n content entries (with their files)
//   cachebench count      enumerates the cache: entries, content entries, time
//   cachebench clear      times the program's ClearInternetCache
#include <windows.h>
#include <wininet.h>
#include <cstdio>
#include <cstdlib>

#include "services/library_loader.h"
#include "webclear/webclear.h"

namespace {

using CreateEntry = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
using CommitEntry = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD,
                                  LPCSTR, LPCSTR);
using FindFirstEntry = HANDLE(WINAPI*)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using FindNextEntry = BOOL(WINAPI*)(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using CloseSearch = BOOL(WINAPI*)(HANDLE);

double Milliseconds(const LARGE_INTEGER& start)
{
    LARGE_INTEGER freq, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&end);
    return 1000.0 * (end.QuadPart - start.QuadPart) / freq.QuadPart;
}

int Fill(HMODULE wininet, int n)
{
    auto create = reinterpret_cast<CreateEntry>(GetProcAddress(wininet, "CreateUrlCacheEntryA"));
    auto commit = reinterpret_cast<CommitEntry>(GetProcAddress(wininet, "CommitUrlCacheEntryA"));
    if (!create || !commit) return 3;
    int made = 0;
    for (int i = 0; i < n; ++i) {
        char url[128], file[MAX_PATH];
        std::snprintf(url, sizeof url, "http://bench.example/item/%d.bin", i);
        if (!create(url, 0, "bin", file, 0)) continue;
        HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(h, url, 16, &written, nullptr);
            CloseHandle(h);
        }
        FILETIME zero = {};
        if (commit(url, file, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr)) ++made;
    }
    std::printf("entries %d\n", made);
    return made == n ? 0 : 1;
}

// Every entry the enumeration gives, with a buffer large enough for any.
int Count(HMODULE wininet)
{
    auto findFirst = reinterpret_cast<FindFirstEntry>(GetProcAddress(wininet, "FindFirstUrlCacheEntryA"));
    auto findNext = reinterpret_cast<FindNextEntry>(GetProcAddress(wininet, "FindNextUrlCacheEntryA"));
    auto findClose = reinterpret_cast<CloseSearch>(GetProcAddress(wininet, "FindCloseUrlCache"));
    if (!findFirst || !findNext || !findClose) return 3;
    static char buffer[65536];
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer);
    int entries = 0, content = 0;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    DWORD size = sizeof buffer;
    entry->dwStructSize = sizeof buffer;
    HANDLE search = findFirst(nullptr, entry, &size);
    if (search) {
        do {
            ++entries;
            if (!(entry->CacheEntryType & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY))) ++content;
            size = sizeof buffer;
            entry->dwStructSize = sizeof buffer;
        } while (findNext(search, entry, &size));
        findClose(search);
    }
    std::printf("entries %d content %d elapsed_ms %.1f\n", entries, content, Milliseconds(start));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && !lstrcmpA(argv[1], "clear")) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        ClearInternetCache();
        std::printf("elapsed_ms %.1f\n", Milliseconds(start));
        return 0;
    }
    HMODULE wininet = LoadSystemLibrary("wininet.dll");
    if (!wininet) return 3;
    int result = 2;
    if (argc >= 3 && !lstrcmpA(argv[1], "fill")) result = Fill(wininet, std::atoi(argv[2]));
    if (argc >= 2 && !lstrcmpA(argv[1], "count")) result = Count(wininet);
    FreeLibrary(wininet);
    return result;
}
