// COM server unregistration with the stand-in server DLLs: in process in the
// 32-bit pass, through Wine's regsvr32 in the 64-bit pass.
#include <gtest/gtest.h>

#include <string>

#include "services/run_context.h"
#include "services/com_server.h"
#include "services_support.h"

namespace {

class ComServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunContext();
        root = fixture::TempRoot();
        folder = root + "\\Program Files With Blanks";
        fixture::MakeFolders(folder);
        log = root + "\\comserver.log";
        logVariable = new services_test::ScopedVariable("WIPORA_COM_LOG", log.c_str());
    }
    void TearDown() override
    {
        delete logVariable;
        fixture::RemoveAll(root);
    }
    std::string Server(const char* built, const char* name = "ostrevan control.dll")
    {
        std::string path = folder + "\\" + name;
        EXPECT_TRUE(services_test::CopyDouble(built, path)) << built;
        return path;
    }
    std::string Log() const
    {
        std::string content;
        fixture::ReadFile(log, &content);
        return content;
    }
    std::string root, folder, log;
    services_test::ScopedVariable* logVariable = nullptr;
};

TEST_F(ComServer, InProcessCallsTheEntryPointAndReleasesTheDll)
{
    std::string path = Server("comserver.dll");
    EXPECT_TRUE(UnregisterComServer(path.c_str())) << "true although the server fails";
    std::string bits = std::to_string(sizeof(void*) * 8);
    EXPECT_EQ(Log(), bits + " " + path + "\r\n");
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "released again";
}

TEST_F(ComServer, InProcessRefusesWhatCannotBeLoadedOrHasNoEntryPoint)
{
    // The other bitness cannot be loaded into this process.
    std::string other = Server("comserver64.dll", "other bitness.dll");
    EXPECT_FALSE(UnregisterComServer(other.c_str()));
    EXPECT_FALSE(UnregisterComServer((folder + "\\missing.dll").c_str()));
    std::string text = folder + "\\not a dll.dll";
    ASSERT_TRUE(fixture::WriteFile(text, "MZ but nothing else"));
    EXPECT_FALSE(UnregisterComServer(text.c_str()));
    EXPECT_EQ(Log(), "") << "no entry point was called";

    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    std::string plain = std::string(system) + "\\version.dll";
    HMODULE probe = LoadLibraryA(plain.c_str());
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(GetProcAddress(probe, "DllUnregisterServer"), nullptr);
    FreeLibrary(probe);
    EXPECT_FALSE(UnregisterComServer(plain.c_str())) << "loads, but has no entry point";
}

// The 64-bit pass unregisters the 64-bit edition's servers, which the 32-bit
// program cannot load: its RegSvr32 hands them to the 64-bit one.
TEST_F(ComServer, OutOfProcessRunsRegsvr32OnTheQuotedPathAndWaitsForIt)
{
    runContext.is64BitPass = 1;
    std::string path = Server("comserver64.dll");
    ASSERT_NE(path.find(' '), std::string::npos);
    EXPECT_TRUE(UnregisterComServer(path.c_str()));
    // Written by regsvr32's process before the call returned.
    EXPECT_EQ(Log(), "64 " + path + "\r\n");
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "never loaded into this process";
    EXPECT_TRUE(UnregisterComServer(path.c_str()));
    EXPECT_EQ(Log(), "64 " + path + "\r\n64 " + path + "\r\n") << "one run per call";
}

TEST_F(ComServer, OutOfProcessIsTrueOnceRegsvr32RanWhateverItFound)
{
    runContext.is64BitPass = 1;
    EXPECT_TRUE(UnregisterComServer((folder + "\\missing.dll").c_str()));
    EXPECT_EQ(Log(), "");
    std::string tooLong(600, 'p');
    EXPECT_FALSE(UnregisterComServer(("C:\\" + tooLong).c_str())) << "does not fit 512 bytes";
}

}  // namespace

namespace {

// A RegSvr32.exe left in the current folder (a download folder the program
// was started from) is never the one that runs: the system folder's does.
TEST_F(ComServer, ARegSvr32InTheCurrentFolderIsNotStarted)
{
    runContext.is64BitPass = 1;
    std::string launchLog = root + "\\launch.log";
    services_test::ScopedVariable launchVariable("WIPORA_LAUNCH_LOG", launchLog.c_str());
    ASSERT_TRUE(services_test::CopyDouble("javaws.exe", folder + "\\RegSvr32.exe"));
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    std::string path = Server("comserver64.dll");
    bool result = UnregisterComServer(path.c_str());
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(result);
    EXPECT_EQ(Log(), "64 " + path + "\r\n") << "the system's RegSvr32 unregistered it";
    EXPECT_FALSE(fixture::Exists(launchLog)) << "the planted RegSvr32.exe ran";
}

}  // namespace
