// URL cache load for the benchmark: cachebench fill <n> | cachebench clear
#include <windows.h>
#include <wininet.h>
#include <cstdio>
#include <cstdlib>

#include "services/library_loader.h"
#include "webclear/webclear.h"

using CreateEntry = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
using CommitEntry = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD, LPCSTR, LPCSTR);

static int Fill(int n)
{
    HMODULE wininet = LoadSystemLibrary("wininet.dll");
    if (!wininet) return 3;
    auto create = reinterpret_cast<CreateEntry>(GetProcAddress(wininet, "CreateUrlCacheEntryA"));
    auto commit = reinterpret_cast<CommitEntry>(GetProcAddress(wininet, "CommitUrlCacheEntryA"));
    int made = 0;
    for (int i = 0; i < n; ++i) {
        char url[128], file[MAX_PATH];
        std::snprintf(url, sizeof url, "http://bench.example/item/%d.bin", i);
        if (!create(url, 0, "bin", file, 0)) continue;
        HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) { DWORD w; WriteFile(h, url, 16, &w, nullptr); CloseHandle(h); }
        FILETIME zero = {};
        if (commit(url, file, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr)) ++made;
    }
    FreeLibrary(wininet);
    std::printf("entries %d\n", made);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc >= 3 && !lstrcmpA(argv[1], "fill")) return Fill(std::atoi(argv[2]));
    if (argc >= 2 && !lstrcmpA(argv[1], "clear")) {
        LARGE_INTEGER freq, start, end;
        QueryPerformanceFrequency(&freq);
        QueryPerformanceCounter(&start);
        ClearInternetCache();
        QueryPerformanceCounter(&end);
        std::printf("elapsed_ms %.1f\n", 1000.0 * (end.QuadPart - start.QuadPart) / freq.QuadPart);
        return 0;
    }
    return 2;
}
