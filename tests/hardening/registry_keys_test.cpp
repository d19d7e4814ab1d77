// Key trees the program deletes with sub-key names of 63, 64 and 255
// characters, sub-keys that cannot be opened or deleted, many of them, and
// registry links inside and in place of the product and Web keys.
#include <gtest/gtest.h>

#include <string>

#include "services/run_context.h"
#include "hardening/exercises.h"
#include "hardening/hardening_support.h"
#include "services/machine_changes.h"
#include "services/registry_links.h"

namespace hardening {
namespace {

// An installation of this view's product key, so that the uninstall reaches
// its registry removal.
void PlantInstallations()
{
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        SetText(HKEY_LOCAL_MACHINE, key.first, "Installation Directory", LongFolder(250),
                key.second);
}

std::string Below(const char* key, const std::string& name) { return std::string(key) + "\\" + name; }

// A key that no one may open: an empty DACL.
bool Deny(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC | view, &key) != ERROR_SUCCESS) return false;
    SECURITY_DESCRIPTOR denied;
    InitializeSecurityDescriptor(&denied, SECURITY_DESCRIPTOR_REVISION);
    char aclBuffer[64];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    SetSecurityDescriptorDacl(&denied, TRUE, acl, FALSE);
    LONG rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &denied);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// parent\name\child\leaf, name made relative to parent: Wine's
// RegCreateKeyExA refuses a whole path of more than 255 characters, while a
// key name of 255 characters is allowed below an open key.
bool MakeBelow(HKEY root, const std::string& parent, const std::string& name, REGSAM view)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    HKEY named = nullptr;
    HKEY leaf = nullptr;
    LONG rc = RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              &named, nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegCreateKeyExA(named, "child\\leaf", 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                             &leaf, nullptr);
    if (leaf) RegCloseKey(leaf);
    if (named) RegCloseKey(named);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

class SubKeyName : public Case {};

TEST_F(SubKeyName, NamesOf63And64And255CharactersInTheProductKey)
{
    PlantInstallations();
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)}) {
        for (size_t length : {64u, 255u, 63u})
            ASSERT_TRUE(MakeBelow(HKEY_LOCAL_MACHINE, key.first, std::string(length, 'k'), key.second));
    }
    RunTasksBothPasses("/4/q");
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)}) {
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, Below(key.first, std::string(63, 'k')),
                                        key.second))
            << "a name that fits is deleted, also after names that do not";
        EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, Below(key.first, std::string(64, 'k')),
                                       key.second))
            << "a name that does not fit 64 bytes cannot be read, so it stays";
    }
}

TEST_F(SubKeyName, SubKeysThatCannotBeOpenedOrDeleted)
{
    PlantInstallations();
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)}) {
        ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, Below(key.first, "Denied\\child"), key.second));
        ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, Below(key.first, "Sessions\\A"), key.second));
        ASSERT_TRUE(Deny(HKEY_LOCAL_MACHINE, Below(key.first, "Denied"), key.second));
    }
    RunTasksBothPasses("/4/q");
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, Below(key.first, "Sessions"), key.second));
}

TEST_F(SubKeyName, ThousandsOfSubKeysWhoseNamesDoNotFit)
{
    PlantInstallations();
    HKEY product = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct32, 0, nullptr, 0, KEY_ALL_ACCESS | k32,
                              nullptr, &product, nullptr),
              ERROR_SUCCESS);
    for (int i = 0; i < 2000; ++i) {
        std::string name = std::string(80, 'n') + std::to_string(i);
        HKEY sub = nullptr;
        RegCreateKeyExA(product, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | k32, nullptr, &sub,
                        nullptr);
        if (sub) RegCloseKey(sub);
    }
    RegCloseKey(product);
    RunTasksBothPasses("/4/q");
}

TEST_F(SubKeyName, InTheWebKeyDeletedInTheProcessView)
{
    for (size_t length : {63u, 64u, 255u})
        ASSERT_TRUE(MakeBelow(HKEY_CURRENT_USER, kWeb32, std::string(length, 'w'), 0));
    EXPECT_EQ(DeleteKeyInProcessView(HKEY_CURRENT_USER, kWeb32), ERROR_SUCCESS);
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb32));
}

// --- Registry links -----------------------------------------------------------------

const char kTarget[] = "\\Registry\\Machine\\Software\\Wipora Link Target";

class RegistryLink : public Case {
protected:
    void TearDown() override
    {
        for (const auto& link : links_) DeleteRegistryLink(link.root, link.path, link.view);
        Case::TearDown();
    }
    void Link(HKEY root, const std::string& path, REGSAM view)
    {
        ASSERT_TRUE(MakeRegistryLink(root, path, view, kTarget)) << path;
        links_.push_back({root, path, view});
    }
    struct Placed { HKEY root; std::string path; REGSAM view; };
    std::vector<Placed> links_;
};

TEST_F(RegistryLink, InsideTheProductKey)
{
    PlantInstallations();
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)}) {
        ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, Below(key.first, "Sessions\\A"), key.second));
        Link(HKEY_LOCAL_MACHINE, Below(key.first, "Sessions\\Link"), key.second);
        Link(HKEY_LOCAL_MACHINE, Below(key.first, "Link"), key.second);
    }
    RunTasksBothPasses("/4/q");
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, Below(key.first, "Sessions\\A"),
                                        key.second))
            << "what is not behind a link still goes";
}

TEST_F(RegistryLink, InPlaceOfThePerUserProductKey)
{
    PlantInstallations();
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, "Software\\Ostrevan"));
    Link(HKEY_CURRENT_USER, kProduct32, 0);
    Link(HKEY_CURRENT_USER, kProduct64, 0);
    RunTasksBothPasses("/4/q");
}

TEST_F(RegistryLink, InsideAndInPlaceOfTheWebKey)
{
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, Below(kWeb32, "Sessions\\A")));
    Link(HKEY_CURRENT_USER, Below(kWeb32, "Sessions\\Link"), 0);
    Link(HKEY_CURRENT_USER, kWeb64, 0);
    // The deletion every Clear run makes, directly and as part of the runs.
    DeleteKeyInProcessView(HKEY_CURRENT_USER, kWeb32);
    DeleteKeyInProcessView(HKEY_CURRENT_USER, kWeb64);
    RunTasksBothPasses("/1/2/q");
}

TEST_F(RegistryLink, InsideTheSuitesProgId)
{
    const char kProgId[] = "Software\\Classes\\Ostrevan.MainframeDisplay.7.1";
    for (REGSAM view : {k32, k64}) {
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, std::string(kProgId) + "\\shell\\open\\command", "",
                            "\"C:\\Ostrevan\\OV3270.EXE\" /kq \"%1\"", view));
        // The machine's ProgIDs are one key in both views for the 32-bit
        // program: the link made through the first view is there in the second.
        if (!IsRegistryLink(HKEY_LOCAL_MACHINE, (std::string(kProgId) + "\\Link").c_str(), view))
            Link(HKEY_LOCAL_MACHINE, std::string(kProgId) + "\\Link", view);
    }
    RunTasksBothPasses("/q");
}

}  // namespace
}  // namespace hardening
