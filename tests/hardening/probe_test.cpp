// The installer probe against an installer database that never stops
// listing products, lists codes that fill or overrun the buffer, or is
// crowded with malformed product keys.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "services/run_context.h"
#include "app/run_driver.h"
#include "hardening/hardening_support.h"

namespace hardening {
namespace {

DWORD calls;
DWORD desktopAt;   // the index that lists the desktop edition, or ~0

UINT WINAPI Endless(DWORD index, LPSTR code)
{
    ++calls;
    if (index == desktopAt) lstrcpyA(code, kDesktopProductCode);
    else lstrcpyA(code, "{00000000-0000-0000-0000-000000000000}");
    return 0;
}

UINT WINAPI FillsTheBuffer(DWORD, LPSTR code)
{
    ++calls;
    std::memset(code, 'A', 40);   // no terminator
    return 0;
}

UINT WINAPI FailsAtOnce(DWORD, LPSTR)
{
    ++calls;
    return ERROR_NO_MORE_ITEMS;
}

class InstallerProbe : public Case {
protected:
    void Probe(EnumProductsFn enumerator, DWORD at = ~0u)
    {
        calls = 0;
        desktopAt = at;
        ResetRunContext();
        runContext.uninstallActiveX = 1;
        ProbeWithEnumerator(enumerator);
    }
};

TEST_F(InstallerProbe, ADatabaseThatNeverStopsEndsTheProbe)
{
    Probe(Endless);
    EXPECT_EQ(calls, kMaxInstalledProducts);
    EXPECT_EQ(runContext.desktopProductInstalled, 0);
    EXPECT_EQ(runContext.uninstallActiveX, 1);
}

TEST_F(InstallerProbe, TheDesktopEditionIsFoundUpToTheBound)
{
    Probe(Endless, kMaxInstalledProducts - 1);
    EXPECT_EQ(runContext.desktopProductInstalled, 1);
    EXPECT_EQ(runContext.uninstallActiveX, 0);
    Probe(Endless, kMaxInstalledProducts);
    EXPECT_EQ(runContext.desktopProductInstalled, 0) << "past the bound nothing is looked at";
}

TEST_F(InstallerProbe, CodesThatFillTheBufferOrNoneAtAll)
{
    Probe(FillsTheBuffer);
    EXPECT_EQ(calls, kMaxInstalledProducts);
    EXPECT_EQ(runContext.desktopProductInstalled, 0);
    Probe(FailsAtOnce);
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(runContext.uninstallActiveX, 1);
}

// Wine's own MsiEnumProductsA, with product keys of the installer that are
// malformed (each listed as "?" with success) besides the desktop edition's.
TEST_F(InstallerProbe, MalformedProductKeysOfTheRealInstaller)
{
    const std::string products = "Software\\Classes\\Installer\\Products\\";
    for (int i = 0; i < 200; ++i)
        fixture::MakeKey(HKEY_LOCAL_MACHINE, products + "WiporaMalformed" + std::to_string(i), k64);
    fixture::MakeKey(HKEY_LOCAL_MACHINE, products + "14C7B2F601A7B3E4C955B0E7170A7C11", k64);
    ResetRunContext();
    runContext.uninstallActiveX = 1;
    ProbeDesktopInstallation();
    EXPECT_EQ(runContext.desktopProductInstalled, 1);
    for (int i = 0; i < 200; ++i)
        fixture::DeleteKey(HKEY_LOCAL_MACHINE, products + "WiporaMalformed" + std::to_string(i), k64);
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, products + "14C7B2F601A7B3E4C955B0E7170A7C11", k64);
}

}  // namespace
}  // namespace hardening
