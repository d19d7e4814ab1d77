// The character walk of the path helpers, and the folder checks built on it,
// under the double-byte code page.
#include "dbcs/dbcs_support.h"
#include "desktop/path_checks.h"
#include "services/path_text.h"
#include "services/deletion_check.h"
#include "services/protected_folders.h"
#include "services/tree_delete.h"

namespace dbcs {
namespace {

class DoubleBytePathText : public Case {};

TEST_F(DoubleBytePathText, TrailByteIsNoBackslash)
{
    std::string c = Character(0);   // its trail byte is 0x5C, except in 949
    std::string folder = "C:\\a\\Work" + c;
    EXPECT_FALSE(EndsWithBackslash(folder.c_str()));
    EXPECT_TRUE(EndsWithBackslash((folder + "\\").c_str()));
    EXPECT_STREQ(LastBackslash(folder.c_str()), folder.c_str() + 4);
    EXPECT_EQ(LastBackslash(c.c_str()), nullptr);

    char joined[MAX_PATH];
    ASSERT_TRUE(JoinPath(joined, sizeof joined, folder.c_str(), "*.*"));
    EXPECT_EQ(std::string(joined), folder + "\\*.*");
    ASSERT_TRUE(CopyText(joined, sizeof joined, folder.c_str()));
    ASSERT_TRUE(EnsureBackslash(joined, sizeof joined));
    EXPECT_EQ(std::string(joined), folder + "\\");
}

TEST_F(DoubleBytePathText, CutsAndSearchesByCharacters)
{
    std::string c0 = Character(0), c1 = Character(1);
    char text[MAX_PATH];
    std::string name = "C:\\K\\" + c0 + c1;   // four bytes at the end, two characters
    size_t offset = 0;
    ASSERT_TRUE(TailOffset(name.c_str(), 4, &offset));
    EXPECT_EQ(offset, 3u) << "the last four characters are \"\\\", the two and the \"K\" before";
    EXPECT_FALSE(TailOffset(c0.c_str(), 2, &offset));
    ASSERT_TRUE(CopyText(text, sizeof text, ("Sales" + c0 + "ini").c_str()));
    ASSERT_TRUE(ReplaceLastCharacters(text, sizeof text, 3, "LNK"));
    EXPECT_EQ(std::string(text), "Sales" + c0 + "LNK");
    ASSERT_TRUE(CopyText(text, sizeof text, ("x." + c0).c_str()));
    ASSERT_TRUE(ReplaceLastCharacters(text, sizeof text, 3, "LNK"));
    EXPECT_STREQ(text, "LNK") << "a double-byte character is one of the three";
    // A backslash after a character whose trail byte is 0x5C is a single one.
    std::string path = "C:\\" + c0 + "\\x";
    EXPECT_EQ(FindText(path.c_str(), "\\\\"), nullptr);
    EXPECT_NE(FindText("C:\\a\\\\x", "\\\\"), nullptr);
}

// The folder checks take such names as they take ASCII ones: plain, not
// protected, and a trailing backslash after such a character is a single one.
TEST_F(DoubleBytePathText, FolderChecksHoldForSuchNames)
{
    std::string folder = CaseFolder("FolderChecks") + "\\Work" + Character(0);
    MakeFolders(folder + "\\" + Character(2) + "\\x");
    for (const std::string& spelling :
         {folder, folder + "\\", folder + "\\" + Character(2), folder + "\\" + Character(2) + "\\x"}) {
        SCOPED_TRACE(spelling);
        EXPECT_TRUE(IsPlainLocalFolder(spelling.c_str()));
        EXPECT_FALSE(HasDotComponent(spelling.c_str()));
        EXPECT_FALSE(IsProtectedFolder(spelling.c_str()));
        EXPECT_FALSE(IsLinkedFolder(spelling.c_str()));
        EXPECT_TRUE(IsOrdinaryFolder(spelling.c_str()));
    }
    EXPECT_FALSE(IsPlainLocalFolder((folder + "\\\\x").c_str()));
    EXPECT_TRUE(HasDotComponent((folder + "\\..\\x").c_str()));
    EXPECT_TRUE(IsProtectedFolder("C:\\"));
}

}  // namespace
}  // namespace dbcs
