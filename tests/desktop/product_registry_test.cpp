// The product key trees of both hives and both views, and their parents.
#include <gtest/gtest.h>

#include <string>

#include "services/run_context.h"
#include "desktop/desktop.h"
#include "services/machine_changes.h"
#include "desktop/desktop_support.h"
#include "support/test_support.h"

using namespace desktop_test;

namespace {

const char kName32[] = "Software\\Ostrevan";
using fixture::kProduct32;
const char kName64[] = "Software\\Ostrevan (64-bit)";
using fixture::kProduct64;
const char kTestRoot[] = "Software\\WiporaTests";

class ProductRegistry : public ::testing::Test {
protected:
    void SetUp() override { RemoveSuiteKeys(); }
    void TearDown() override { SetUp(); }
};

TEST_F(ProductRegistry, PerUserTreeThreeLevelsDeepGoesWithItsEmptyNameKey)
{
    std::string deep = std::string(kProduct32) + "\\Sessions\\Mainframe\\Colors";
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, deep, "Scheme", "Dark"));
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kProduct32, "Installation Directory", "C:\\x"));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, std::string(kProduct32) + "\\Sessions\\VT"));
    BeginPass(false);
    RemoveProductRegistry();
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kProduct32));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kName32));
    EXPECT_TRUE(fixture::KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(ProductRegistry, AnotherVersionKeepsTheNameKeyInBothHives)
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ASSERT_TRUE(fixture::MakeKey(root, std::string(kProduct32) + "\\Sessions", k32));
        ASSERT_TRUE(fixture::SetString(root, "Software\\Ostrevan\\6.0", "Installation Directory",
                                       "C:\\Old", k32));
    }
    BeginPass(false);
    RemoveProductRegistry();
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_FALSE(fixture::KeyExists(root, kProduct32, k32));
        std::string old;
        EXPECT_TRUE(fixture::ReadString(root, "Software\\Ostrevan\\6.0", "Installation Directory",
                                        &old, k32));
        EXPECT_EQ(old, "C:\\Old");
    }
}

TEST_F(ProductRegistry, ValuesOnTheNameKeyDoNotSaveIt)
{
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kName32, "Owner", "someone", k32));
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kProduct32, "Program Group", "Ostrevan", k32));
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kName32, "Owner", "someone"));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kProduct32));
    BeginPass(false);
    RemoveProductRegistry();
    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kName32, k32));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kName32));
}

TEST_F(ProductRegistry, WritableUserRootIsUsedOnlyWithoutACurrentUserKey)
{
    std::string writable = std::string(kTestRoot) + "\\Writable";
    std::string inWritable = writable + "\\" + kProduct32 + "\\Sessions";
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, inWritable));
    HKEY writableKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, writable.c_str(), 0, KEY_ALL_ACCESS, &writableKey),
              ERROR_SUCCESS);

    BeginPass(false);
    runContext.writableUserKey = writableKey;
    RemoveProductRegistry();
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, writable + "\\" + kProduct32))
        << "only the writable root held the product key: its tree goes";

    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, inWritable));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, std::string(kProduct32) + "\\Sessions"));
    RemoveProductRegistry();
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kName32));
    EXPECT_TRUE(fixture::KeyExists(HKEY_CURRENT_USER, inWritable))
        << "with a current-user key, the writable root is not treated";
    RegCloseKey(writableKey);
}

TEST_F(ProductRegistry, EachPassLeavesTheOtherEditionsKeys)
{
    // The 32-bit edition's name also in the 64-bit view, and the 64-bit name in the 32-bit view:
    // each pass treats only its own name in its own view.
    ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kProduct32) + "\\S", k32));
    ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kProduct32) + "\\S", k64));
    ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kProduct64) + "\\S", k64));
    ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kProduct64) + "\\S", k32));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, std::string(kProduct32) + "\\S"));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, std::string(kProduct64) + "\\S"));

    BeginPass(true);
    RemoveProductRegistry();
    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kName64, k64));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kName64));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct64, k32));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct32, k32));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct32, k64));
    EXPECT_TRUE(fixture::KeyExists(HKEY_CURRENT_USER, kProduct32));

    BeginPass(false);
    RemoveProductRegistry();
    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kName32, k32));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kName32));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct32 + std::string("\\S"), k64));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct64 + std::string("\\S"), k32));
}

DWORD WINAPI DeleteTreeThread(void* key)
{
    DeleteKeyTree(static_cast<HKEY>(key), KeyPlace{HKEY_CURRENT_USER, "Tree", 0});
    return 0;
}

// Runs DeleteKeyTree on its own thread so that a loop that never ends fails
// the test instead of hanging it.
bool DeleteKeyTreeEnds(HKEY key)
{
    HANDLE thread = CreateThread(nullptr, 0, DeleteTreeThread, key, 0, nullptr);
    if (!thread) return false;
    bool ended = WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
    if (!ended) TerminateThread(thread, 1);
    CloseHandle(thread);
    return ended;
}

TEST_F(ProductRegistry, UnreadableAndUndeletableSubKeysEndTheLoopAndTheRestStillGoes)
{
    // RegEnumKeyA cannot return a name of 64 or more characters into the
    // 64-byte buffer (ERROR_MORE_DATA), so that key cannot be deleted, and
    // neither can "m" that holds one.
    const std::string longName(70, 'k');
    const std::string tree = std::string(kTestRoot) + "\\Tree";
    for (const char* sub : {"a\\b\\c", "m\\keep", "z\\y"})
        ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, tree + "\\" + sub));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, tree + "\\" + longName + "\\child"));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, tree + "\\m\\" + longName));
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, tree, "Kept", "value"));

    BeginPass(false);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, tree.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_TRUE(DeleteKeyTreeEnds(key));
    RegCloseKey(key);

    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, tree + "\\a"));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, tree + "\\z"));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, tree + "\\m\\keep"));
    EXPECT_TRUE(fixture::KeyExists(HKEY_CURRENT_USER, tree + "\\m\\" + longName));
    EXPECT_TRUE(fixture::KeyExists(HKEY_CURRENT_USER, tree + "\\" + longName + "\\child"))
        << "a key that cannot be named is not entered";
    std::string kept;
    EXPECT_TRUE(fixture::ReadString(HKEY_CURRENT_USER, tree, "Kept", &kept)) << "the key's own values stay";
}

}  // namespace
