// The Internet cache clearing against URL cache entries larger than the 4,096
// bytes it reads each entry into (a long address, a long header), before,
// between and after ordinary entries, and with cookies and URL history that
// must stay whatever their size.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "hardening/hardening_support.h"
#include "webclear/webclear.h"

namespace hardening {
namespace {

using CreateEntryFn = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
using CommitEntryFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD,
                                    LPCSTR, LPCSTR);
using EntryInfoFn = BOOL(WINAPI*)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using DeleteEntryFn = BOOL(WINAPI*)(LPCSTR);

class UrlCacheApi {
public:
    UrlCacheApi() : wininet_(LoadLibraryA("wininet.dll"))
    {
        if (!wininet_) return;
        create_ = reinterpret_cast<CreateEntryFn>(GetProcAddress(wininet_, "CreateUrlCacheEntryA"));
        commit_ = reinterpret_cast<CommitEntryFn>(GetProcAddress(wininet_, "CommitUrlCacheEntryA"));
        info_ = reinterpret_cast<EntryInfoFn>(GetProcAddress(wininet_, "GetUrlCacheEntryInfoA"));
        delete_ = reinterpret_cast<DeleteEntryFn>(GetProcAddress(wininet_, "DeleteUrlCacheEntryA"));
    }
    ~UrlCacheApi()
    {
        if (wininet_) FreeLibrary(wininet_);
    }
    bool ready() const { return create_ && commit_ && info_ && delete_; }

    // An entry of the given type with a local file and header.
    bool Add(const std::string& url, DWORD type, const std::string& header = "")
    {
        char file[MAX_PATH] = "";
        if (!create_(url.c_str(), 0, "htm", file, 0)) return false;
        HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(h, "cached", 6, &written, nullptr);
            CloseHandle(h);
        }
        FILETIME none = {};
        std::string headerCopy = header;
        return commit_(url.c_str(), file, none, none, type,
                       header.empty() ? nullptr : reinterpret_cast<BYTE*>(&headerCopy[0]),
                       (DWORD)header.size(), "htm", nullptr) != FALSE;
    }
    bool Has(const std::string& url) const
    {
        DWORD size = 0;
        info_(url.c_str(), nullptr, &size);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        std::vector<char> buffer(size);
        return info_(url.c_str(), reinterpret_cast<LPINTERNET_CACHE_ENTRY_INFOA>(buffer.data()),
                     &size) != FALSE;
    }
    void Remove(const std::string& url) { delete_(url.c_str()); }

private:
    HMODULE wininet_;
    CreateEntryFn create_ = nullptr;
    CommitEntryFn commit_ = nullptr;
    EntryInfoFn info_ = nullptr;
    DeleteEntryFn delete_ = nullptr;
};

std::string LongUrl(const char* host, size_t length)
{
    std::string url = std::string("http://") + host + "/ostrevan/";
    url.append(length - url.size(), 'c');
    return url;
}

class UrlCache : public Case {
protected:
    void SetUp() override
    {
        Case::SetUp();
        if (!api_.ready()) GTEST_SKIP() << "no WinINet URL cache here";
    }
    void TearDown() override
    {
        for (const std::string& url : added_) api_.Remove(url);
        Case::TearDown();
    }
    void Add(const std::string& url, DWORD type = NORMAL_CACHE_ENTRY, const std::string& header = "")
    {
        ASSERT_TRUE(api_.Add(url, type, header)) << url.substr(0, 80);
        added_.push_back(url);
    }
    // Cookies and history of any size are the user's: they stay.
    void AddKeptEntries()
    {
        Add("Cookie:root@bystander.example/", COOKIE_CACHE_ENTRY);
        Add("Cookie:root@" + std::string(5000, 'k') + ".example/", COOKIE_CACHE_ENTRY);
        Add("Visited: root@http://bystander.example/page.htm", URLHISTORY_CACHE_ENTRY);
    }
    void ExpectKeptEntries()
    {
        EXPECT_TRUE(api_.Has("Cookie:root@bystander.example/"));
        EXPECT_TRUE(api_.Has("Cookie:root@" + std::string(5000, 'k') + ".example/"));
        EXPECT_TRUE(api_.Has("Visited: root@http://bystander.example/page.htm"));
    }
    UrlCacheApi api_;
    std::vector<std::string> added_;
};

TEST_F(UrlCache, AnEntryWithAnAddressPast4096Bytes)
{
    AddKeptEntries();
    Add("http://small.example/a.htm");
    Add(LongUrl("huge.example", 5000));
    Add("http://small.example/b.htm");
    ClearInternetCache();
    ClearInternetCache();   // the second Clear run's
    ExpectKeptEntries();
}

TEST_F(UrlCache, AnEntryWithAHeaderPast4096Bytes)
{
    AddKeptEntries();
    Add("http://header.example/a.htm", NORMAL_CACHE_ENTRY,
        "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(8000, 'h') + "\r\n\r\n");
    Add("http://small.example/c.htm");
    ClearInternetCache();
    ExpectKeptEntries();
}

TEST_F(UrlCache, OnlyEntriesPast4096Bytes)
{
    for (int i = 0; i < 5; ++i) Add(LongUrl(("huge" + std::to_string(i) + ".example").c_str(), 4200 + i * 1000));
    ClearInternetCache();
}

TEST_F(UrlCache, HundredsOfEntriesAroundLargeOnes)
{
    AddKeptEntries();
    for (int i = 0; i < 300; ++i) {
        Add("http://many.example/" + std::to_string(i) + ".htm");
        if (i % 100 == 50) Add(LongUrl(("large" + std::to_string(i) + ".example").c_str(), 4097));
    }
    ClearInternetCache();
    ExpectKeptEntries();
}

class UrlCacheProgram : public UrlCache {};

TEST_F(UrlCacheProgram, ALargeEntryAmongOthers)
{
    AddKeptEntries();
    Add("http://small.example/d.htm");
    Add(LongUrl("huge.example", 6000));
    EXPECT_EQ(RunWipora("/3/q"), 1);
    ExpectKeptEntries();
}

}  // namespace
}  // namespace hardening
