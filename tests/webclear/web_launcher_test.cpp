// Web launcher removal: descriptor addresses, the launcher's registration and
// the programs started, observed through the javaws and jarvane doubles.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

using namespace webclear_test;

const char kLauncherKey[] = "Software\\Calderwick\\Jarvane for Ostrevan";
const char kLauncherWowKey[] = "Software\\WOW6432Node\\Calderwick\\Jarvane for Ostrevan";

class WebLauncher : public ::testing::Test {
protected:
    void SetUp() override
    {
        CleanSuiteFootprint();
        root = fixture::TempRoot();
        cache = TempFolder() + "\\Ostrevan\\7.1";
        launcherFolder = root + "\\Jarvane";
        ASSERT_TRUE(CopyDouble("jarvane.exe", launcherFolder + "\\jarvane.exe"));
    }
    void TearDown() override { CleanSuiteFootprint(); }
    void Profile(const std::string& name, const std::string& displayName, const char* section = "Session Manager")
    {
        Plant(cache + "\\" + name, std::string("[") + section + "]\r\nDisplayName=" + displayName + "\r\n");
    }
    std::string Javaws(const std::string& address) const
    {
        return "\"" + launches.folder + "\\javaws.exe\" -uninstall " + address;
    }
    std::string Jarvane(const std::string& program, const std::string& address) const
    {
        return "\"" + program + "\" -uninstall " + address;
    }
    LaunchLog launches;
    std::string root, cache, launcherFolder;
};

// Blanks in the server and the folder become "%20"; the page, blanks and all,
// is replaced by the descriptor. Java Web Start comes first.
TEST_F(WebLauncher, DescriptorAddressesWithBlanks)
{
    fixture::SetString(HKEY_CURRENT_USER, kLauncherKey, "InstallDir", launcherFolder, KEY_WOW64_32KEY);
    Profile("Sales.ini", "http://my server/web folder/the page.html");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("Sales.ini");
    std::vector<std::string> expected = {
        Javaws("http://my%20server/web%20folder/ovw2h.jnlp"),
        Jarvane(launcherFolder + "\\jarvane.exe", "http://my%20server/web%20folder/ovw2h.ovlp"),
    };
    EXPECT_EQ(launches.Lines(), expected);
}

// Without a '/' after the first character the whole value is replaced.
TEST_F(WebLauncher, AddressWithoutPathSeparator)
{
    Profile("Plain.ini", "SalesSession");
    Profile("Rooted.ini", "/sales page");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("Plain.ini");
    RemoveWebLauncherDeployment("Rooted.ini");
    std::vector<std::string> expected = {Javaws("ovw2h.jnlp"), Javaws("ovw2h.jnlp")};
    EXPECT_EQ(launches.Lines(), expected);
}

TEST_F(WebLauncher, ProfileWithoutTheKeyStartsNothing)
{
    fixture::SetString(HKEY_CURRENT_USER, kLauncherKey, "InstallDir", launcherFolder, KEY_WOW64_32KEY);
    Profile("Other.ini", "http://h/w/p", "Other Section");
    Profile("Empty.ini", "");
    BeginWebPass(false);
    for (const char* name : {"Other.ini", "Empty.ini", "Missing.ini"}) RemoveWebLauncherDeployment(name);
    EXPECT_TRUE(launches.Lines().empty());
}

// Registered only below HKEY_LOCAL_MACHINE's WOW6432Node (where a 64-bit
// installer puts a 32-bit program's key): found after the per-user opens fail.
TEST_F(WebLauncher, LauncherFoundInTheMachineWow6432NodeForm)
{
    fixture::SetString(HKEY_LOCAL_MACHINE, kLauncherWowKey, "InstallDir", launcherFolder, KEY_WOW64_64KEY);
    Profile("Sales.ini", "http://h/w/p");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("Sales.ini");
    auto lines = launches.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], Jarvane(launcherFolder + "\\jarvane.exe", "http://h/w/ovw2h.ovlp"));
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Calderwick", KEY_WOW64_64KEY);
}

// The first registration that opens is used: one without "InstallDir" ends
// the search, and the machine's registration is not tried.
TEST_F(WebLauncher, FirstRegistrationWithoutInstallDirStops)
{
    fixture::MakeKey(HKEY_CURRENT_USER, kLauncherKey, KEY_WOW64_32KEY);
    fixture::SetString(HKEY_LOCAL_MACHINE, kLauncherKey, "InstallDir", launcherFolder, KEY_WOW64_32KEY);
    Profile("Sales.ini", "http://h/w/p");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("Sales.ini");
    EXPECT_EQ(launches.Lines(), std::vector<std::string>{Javaws("http://h/w/ovw2h.jnlp")});
}

TEST_F(WebLauncher, FolderEndingInASeparatorGetsNoSecond)
{
    Profile("Sales.ini", "http://h/w/p");
    BeginWebPass(false);
    for (const char* end : {"\\", "/"}) {
        fixture::SetString(HKEY_CURRENT_USER, kLauncherKey, "InstallDir", launcherFolder + end, KEY_WOW64_32KEY);
        RemoveWebLauncherDeployment("Sales.ini");
    }
    auto lines = launches.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], Jarvane(launcherFolder + "\\jarvane.exe", "http://h/w/ovw2h.ovlp"));
    EXPECT_EQ(lines[3], Jarvane(launcherFolder + "/jarvane.exe", "http://h/w/ovw2h.ovlp"));
}

// A folder written with forward slashes is a drive path all the same.
TEST_F(WebLauncher, FolderWithForwardSlashesIsUsed)
{
    std::string forward = launcherFolder;
    for (char& c : forward) if (c == '\\') c = '/';
    fixture::SetString(HKEY_CURRENT_USER, kLauncherKey, "InstallDir", forward, KEY_WOW64_32KEY);
    Profile("Sales.ini", "http://h/w/p");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("Sales.ini");
    auto lines = launches.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], Jarvane(forward + "\\jarvane.exe", "http://h/w/ovw2h.ovlp"));
}

// "-uninstall " and the address must fit 260 bytes: a longer one, here by its
// "%20" forms, starts nothing rather than a cut address.
TEST_F(WebLauncher, AddressThatDoesNotFitStartsNothing)
{
    fixture::SetString(HKEY_CURRENT_USER, kLauncherKey, "InstallDir", launcherFolder, KEY_WOW64_32KEY);
    std::string folder(80, ' ');
    Profile("Long.ini", "http://h/" + folder + "/p");   // 252 bytes with the "%20" forms
    Profile("Fits.ini", "http://h/" + std::string(80, 'f') + "/p");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("Long.ini");
    EXPECT_TRUE(launches.Lines().empty());
    RemoveWebLauncherDeployment("Fits.ini");
    EXPECT_EQ(launches.Lines().size(), 2u);
}

// The 64-bit pass reads its profiles from the "x64" sub-folder; a
// low-integrity run from the low-integrity form of the cache root.
TEST_F(WebLauncher, ProfileFolderFollowsPassAndIntegrity)
{
    Plant(cache + "\\x64\\S64.ini", "[Session Manager]\r\nDisplayName=http://h/x64/p\r\n");
    Plant(TempFolder() + "\\Low\\Ostrevan\\7.1\\SLow.ini", "[Session Manager]\r\nDisplayName=http://h/low/p\r\n");
    BeginWebPass(false);
    RemoveWebLauncherDeployment("S64.ini");
    RemoveWebLauncherDeployment("SLow.ini");
    EXPECT_TRUE(launches.Lines().empty());
    runContext.lowIntegrityPass = 1;
    RemoveWebLauncherDeployment("SLow.ini");
    BeginWebPass(true);
    RemoveWebLauncherDeployment("S64.ini");
    std::vector<std::string> expected = {Javaws("http://h/low/ovw2h.jnlp"), Javaws("http://h/x64/ovw2h.jnlp")};
    EXPECT_EQ(launches.Lines(), expected);
}

}  // namespace
