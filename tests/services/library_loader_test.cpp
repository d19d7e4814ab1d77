// Safe system library loading: every route through fake loader functions
// that record their calls, and real loads under Wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "services/library_loader.h"
#include "services_support.h"

namespace {

struct LoadCall { std::string function, file; DWORD flags; };

std::vector<LoadCall> calls;
HMODULE loadResult;
const char kFakeSystemDirectory[] = "C:\\Fake\\System32";
bool failSecondDirectoryCall;
int directoryCalls;
int allocations, releases;
SIZE_T allocatedSize;
bool failAllocation;
constexpr int kGuard = 16;

HMODULE WINAPI FakeLoadLibraryExA(LPCSTR file, HANDLE, DWORD flags)
{
    calls.push_back({"LoadLibraryExA", file, flags});
    return loadResult;
}

HMODULE WINAPI FakeLoadLibraryA(LPCSTR file)
{
    calls.push_back({"LoadLibraryA", file, 0});
    return loadResult;
}

UINT WINAPI FakeGetSystemDirectoryA(LPSTR buffer, UINT size)
{
    ++directoryCalls;
    UINT needed = sizeof kFakeSystemDirectory;   // with the terminator
    if (size < needed) return needed;
    if (failSecondDirectoryCall) return 0;
    std::memcpy(buffer, kFakeSystemDirectory, needed);
    return needed - 1;
}

UINT WINAPI FailingGetSystemDirectoryA(LPSTR, UINT) { return 0; }

// Exactly the requested size, followed by guard bytes that must stay intact.
void* FakeAllocate(SIZE_T size)
{
    if (failAllocation) return nullptr;
    ++allocations;
    allocatedSize = size;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kGuard));
    std::memset(block, 0xCD, size);
    std::memset(block + size, 0xAB, kGuard);
    return block;
}

void FakeRelease(void* block)
{
    ++releases;
    auto* bytes = static_cast<unsigned char*>(block);
    for (int i = 0; i < kGuard; ++i) EXPECT_EQ(bytes[allocatedSize + i], 0xAB) << "overrun";
    std::free(block);
}

class LoaderRoutes : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        loadResult = reinterpret_cast<HMODULE>(0x10000);
        failSecondDirectoryCall = false;
        failAllocation = false;
        directoryCalls = allocations = releases = 0;
        allocatedSize = 0;
        api = {};
        api.kernel32 = reinterpret_cast<HMODULE>(0x20000);
        api.loadLibraryExA = FakeLoadLibraryExA;
        api.loadLibraryA = FakeLoadLibraryA;
        api.hasAddDllDirectory = true;
        api.getSystemDirectoryA = FakeGetSystemDirectoryA;
        api.allocate = FakeAllocate;
        api.release = FakeRelease;
        api.codePage = 1252;
    }
    LoaderApi api;
};

TEST_F(LoaderRoutes, BareNameWithModernLoaderIsOneSystem32Load)
{
    EXPECT_EQ(LoadSystemLibraryWith("shell32.dll", api), loadResult);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "LoadLibraryExA");
    EXPECT_EQ(calls[0].file, "shell32.dll");
    EXPECT_EQ(calls[0].flags, 0x800u);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(directoryCalls, 0);
}

TEST_F(LoaderRoutes, BareNameWithoutAddDllDirectoryIsBuiltFromSystemDirectory)
{
    api.hasAddDllDirectory = false;
    EXPECT_EQ(LoadSystemLibraryWith("shell32.dll", api), loadResult);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "LoadLibraryExA");
    EXPECT_EQ(calls[0].file, "C:\\Fake\\System32\\shell32.dll");
    EXPECT_EQ(calls[0].flags, 0x8u);
    // Exactly the system directory, a backslash, the name and the terminator.
    EXPECT_EQ(allocatedSize, std::strlen("shell32.dll") + sizeof kFakeSystemDirectory + 1);
    EXPECT_EQ(allocatedSize, calls[0].file.size() + 1);
    EXPECT_EQ(allocations, 1);
    EXPECT_EQ(releases, 1);
}

TEST_F(LoaderRoutes, WithoutLoadLibraryExTheFullPathGoesToLoadLibraryA)
{
    api.loadLibraryExA = nullptr;
    api.hasAddDllDirectory = true;   // no use without LoadLibraryExA
    EXPECT_EQ(LoadSystemLibraryWith("shfolder.dll", api), loadResult);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "LoadLibraryA");
    EXPECT_EQ(calls[0].file, "C:\\Fake\\System32\\shfolder.dll");
    EXPECT_EQ(releases, 1);
}

TEST_F(LoaderRoutes, NamesWithAPathAreLoadedUnchanged)
{
    for (bool modern : {true, false}) {
        api.hasAddDllDirectory = modern;
        for (const char* name : {"D:\\Apps\\Suite\\ieframe.dll", "plugins/ieframe.dll",
                                 "..\\shell32.dll"}) {
            calls.clear();
            EXPECT_EQ(LoadSystemLibraryWith(name, api), loadResult);
            ASSERT_EQ(calls.size(), 1u) << name;
            EXPECT_EQ(calls[0].function, "LoadLibraryExA");
            EXPECT_EQ(calls[0].file, name);
            EXPECT_EQ(calls[0].flags, 0x8u);
        }
    }
    EXPECT_EQ(directoryCalls, 0);
    EXPECT_EQ(allocations, 0);
}

TEST_F(LoaderRoutes, DoubleByteTrailBytesAreNotSeparators)
{
    // In code page 932, 0x95 0x5C is one character whose second byte has the
    // backslash's code.
    const char name[] = "\x95\x5C" "x.dll";
    EXPECT_FALSE(NameHasPath(name, 932));
    EXPECT_TRUE(NameHasPath(name, 1252));
    EXPECT_TRUE(NameHasPath("C:\\x\\\x95\x5C.dll", 932));
    EXPECT_TRUE(NameHasPath("\x95\x5C/x.dll", 932));
    EXPECT_FALSE(NameHasPath("shell32.dll", 932));
    api.codePage = 932;
    EXPECT_EQ(LoadSystemLibraryWith(name, api), loadResult);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, name);
    EXPECT_EQ(calls[0].flags, 0x800u) << "a bare name goes to the system directory";
}

TEST_F(LoaderRoutes, FailuresReturnNullAndLeaveNoAllocation)
{
    api.hasAddDllDirectory = false;
    loadResult = nullptr;
    EXPECT_EQ(LoadSystemLibraryWith("missing.dll", api), nullptr);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(allocations, releases);

    calls.clear();
    failSecondDirectoryCall = true;
    EXPECT_EQ(LoadSystemLibraryWith("shell32.dll", api), nullptr);
    EXPECT_TRUE(calls.empty()) << "no load without the system directory";
    EXPECT_EQ(allocations, releases);

    failSecondDirectoryCall = false;
    failAllocation = true;
    EXPECT_EQ(LoadSystemLibraryWith("shell32.dll", api), nullptr);
    EXPECT_TRUE(calls.empty());

    failAllocation = false;
    api.getSystemDirectoryA = FailingGetSystemDirectoryA;
    int before = allocations;
    EXPECT_EQ(LoadSystemLibraryWith("shell32.dll", api), nullptr);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(allocations, before);

    api.kernel32 = nullptr;
    api.getSystemDirectoryA = FakeGetSystemDirectoryA;
    EXPECT_EQ(LoadSystemLibraryWith("D:\\x.dll", api), nullptr);
    EXPECT_TRUE(calls.empty()) << "no kernel32: no load at all";
}

// The process-wide search: Wine always has SetDefaultDllDirectories, so the
// older systems' routes are reached through the entry points given.
std::vector<std::string> searchCalls;
BOOL defaultDirectoriesResult;
BOOL WINAPI FakeSetDefaultDllDirectories(DWORD flags)
{
    searchCalls.push_back("SetDefaultDllDirectories " + std::to_string(flags));
    return defaultDirectoriesResult;
}
BOOL WINAPI FakeSetDllDirectoryA(LPCSTR path)
{
    searchCalls.push_back(std::string("SetDllDirectoryA \"") + (path ? path : "(null)") + "\"");
    return TRUE;
}

TEST(ProcessSearch, SystemFolderOnlyWhereTheLoaderCanElseNoCurrentFolder)
{
    LoaderApi api = {};
    api.setDefaultDllDirectories = FakeSetDefaultDllDirectories;
    api.setDllDirectoryA = FakeSetDllDirectoryA;
    defaultDirectoriesResult = TRUE;
    EXPECT_TRUE(RestrictLibrarySearchWith(api));
    EXPECT_EQ(searchCalls, std::vector<std::string>{"SetDefaultDllDirectories 2048"});

    // A loader that refuses the flag, and one without the function.
    searchCalls.clear();
    defaultDirectoriesResult = FALSE;
    EXPECT_FALSE(RestrictLibrarySearchWith(api));
    EXPECT_EQ(searchCalls, (std::vector<std::string>{"SetDefaultDllDirectories 2048", "SetDllDirectoryA \"\""}));
    searchCalls.clear();
    api.setDefaultDllDirectories = nullptr;
    EXPECT_FALSE(RestrictLibrarySearchWith(api));
    EXPECT_EQ(searchCalls, std::vector<std::string>{"SetDllDirectoryA \"\""});

    // Before Windows XP SP1 there is neither, and nothing is called.
    searchCalls.clear();
    api.setDllDirectoryA = nullptr;
    EXPECT_FALSE(RestrictLibrarySearchWith(api));
    EXPECT_TRUE(searchCalls.empty());

    // This kernel32 has both.
    LoaderApi real = SystemLoaderApi();
    EXPECT_NE(real.setDefaultDllDirectories, nullptr);
    EXPECT_NE(real.setDllDirectoryA, nullptr);
}

std::string ModuleFolder(HMODULE module)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

std::string SystemFolder()
{
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

TEST(LoaderReal, Shell32LoadsFromTheSystemDirectory)
{
    HMODULE shell32 = LoadSystemLibrary("shell32.dll");
    ASSERT_NE(shell32, nullptr);
    EXPECT_EQ(lstrcmpiA(ModuleFolder(shell32).c_str(), SystemFolder().c_str()), 0);
    EXPECT_NE(GetProcAddress(shell32, "SHGetKnownFolderPath"), nullptr);
    FreeLibrary(shell32);

    // The older loaders' route with the real kernel32 functions.
    LoaderApi api = SystemLoaderApi();
    ASSERT_NE(api.loadLibraryExA, nullptr);
    api.hasAddDllDirectory = false;
    HMODULE again = LoadSystemLibraryWith("shell32.dll", api);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(lstrcmpiA(ModuleFolder(again).c_str(), SystemFolder().c_str()), 0);
    FreeLibrary(again);
}

TEST(LoaderReal, ABareNameIsNeverTakenFromTheCurrentFolder)
{
    std::string folder = fixture::TempRoot();
    ASSERT_TRUE(services_test::CopyDouble("comserver.dll", folder + "\\wipora-planted.dll"));
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    ASSERT_NE(LoadLibraryA("wipora-planted.dll"), nullptr) << "the ordinary search finds it";
    FreeLibrary(GetModuleHandleA("wipora-planted.dll"));

    EXPECT_EQ(LoadSystemLibrary("wipora-planted.dll"), nullptr);
    LoaderApi api = SystemLoaderApi();
    api.hasAddDllDirectory = false;
    EXPECT_EQ(LoadSystemLibraryWith("wipora-planted.dll", api), nullptr);
    SetCurrentDirectoryA(previous);
    fixture::RemoveAll(folder);
}

}  // namespace
