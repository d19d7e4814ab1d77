// Internet cache clearing against Wine's real WinINet URL cache.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

// The test's own access to WinINet, loaded like the program loads it.
struct Cache {
    Cache() : module(LoadLibraryExA("wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
    ~Cache() { FreeLibrary(module); }
    template <typename F> F Get(const char* name) { return reinterpret_cast<F>(GetProcAddress(module, name)); }

    // Every entry with its type, in enumeration order, read with a buffer
    // large enough for any of them.
    std::vector<std::pair<std::string, DWORD>> Entries()
    {
        auto first = Get<HANDLE(WINAPI*)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD)>("FindFirstUrlCacheEntryA");
        auto next = Get<BOOL(WINAPI*)(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD)>("FindNextUrlCacheEntryA");
        auto close = Get<BOOL(WINAPI*)(HANDLE)>("FindCloseUrlCache");
        std::vector<std::pair<std::string, DWORD>> entries;
        std::vector<char> buffer(65536);
        auto info = reinterpret_cast<LPINTERNET_CACHE_ENTRY_INFOA>(buffer.data());
        DWORD size = (DWORD)buffer.size();
        HANDLE search = first(nullptr, info, &size);
        if (!search) return entries;
        do {
            entries.emplace_back(info->lpszSourceUrlName, info->CacheEntryType);
            size = (DWORD)buffer.size();
        } while (next(search, info, &size));
        close(search);
        return entries;
    }
    void DeleteAll()
    {
        auto remove = Get<BOOL(WINAPI*)(LPCSTR)>("DeleteUrlCacheEntryA");
        for (auto& entry : Entries()) remove(entry.first.c_str());
    }
    bool Add(const std::string& url, DWORD type, size_t headerSize = 0)
    {
        auto create = Get<BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD)>("CreateUrlCacheEntryA");
        auto commit = Get<BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD, LPCSTR, LPCSTR)>(
            "CommitUrlCacheEntryA");
        char file[MAX_PATH] = "";
        if (!create(url.c_str(), 0, "htm", file, 0)) return false;
        fixture::WriteFile(file, "content of " + url);
        std::string header(headerSize, 'h');
        FILETIME zero = {};
        return commit(url.c_str(), file, zero, zero, type, headerSize ? (LPBYTE)&header[0] : nullptr,
                      (DWORD)headerSize, "htm", nullptr) != FALSE;
    }
    std::vector<std::string> Urls()
    {
        std::vector<std::string> urls;
        for (auto& entry : Entries()) urls.push_back(entry.first);
        std::sort(urls.begin(), urls.end());
        return urls;
    }
    HMODULE module;
};

class InternetCache : public ::testing::Test {
protected:
    void SetUp() override { cache.DeleteAll(); }
    void TearDown() override { cache.DeleteAll(); }
    Cache cache;
};

TEST_F(InternetCache, ContentEntriesGoCookiesAndHistoryStay)
{
    ASSERT_TRUE(cache.Add("http://web.example/ostrevan/ovw2h.cab", NORMAL_CACHE_ENTRY));
    ASSERT_TRUE(cache.Add("http://other.example/index.html", NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY));
    ASSERT_TRUE(cache.Add("http://cookie.example/", COOKIE_CACHE_ENTRY));
    ASSERT_TRUE(cache.Add("http://history.example/", URLHISTORY_CACHE_ENTRY));
    ASSERT_EQ(cache.Entries().size(), 4u);
    ClearInternetCache();
    std::vector<std::string> kept = {"http://cookie.example/", "http://history.example/"};
    EXPECT_EQ(cache.Urls(), kept);
    // A second run finds only what the first could not delete.
    ClearInternetCache();
    EXPECT_EQ(cache.Urls(), kept);
}

// An entry whose record needs more than 4,096 bytes ends the clearing: the
// entries enumerated before it are gone, it and those after it remain.
TEST_F(InternetCache, EntryLargerThanTheBufferEndsTheClearing)
{
    for (const char* url : {"http://a.example/1", "http://b.example/2", "http://c.example/3",
                            "http://d.example/4"})
        ASSERT_TRUE(cache.Add(url, NORMAL_CACHE_ENTRY));
    std::string big = "http://big.example/" + std::string(600, 'x');
    ASSERT_TRUE(cache.Add(big, NORMAL_CACHE_ENTRY, 5000));
    std::vector<std::string> remaining;
    bool reached = false;
    for (auto& entry : cache.Entries()) {
        reached = reached || entry.first == big;
        if (reached) remaining.push_back(entry.first);
    }
    ASSERT_TRUE(reached);
    std::sort(remaining.begin(), remaining.end());
    ClearInternetCache();
    EXPECT_EQ(cache.Urls(), remaining);
}

}  // namespace
