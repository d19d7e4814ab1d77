// The Served Desktop uninstall on folders named with double-byte characters:
// the installation and working directories, the working directory's special
// folders, the parent folders found by cutting characters, the program group,
// and one run of Wipora.exe.
#include <shlobj.h>

#include "services/run_context.h"
#include "dbcs/dbcs_support.h"
#include "desktop/desktop.h"
#include "desktop/installed_file_tables.h"
#include "services/path_text.h"

namespace dbcs {
namespace {

const char kProductKey[] = "Software\\Ostrevan\\7.1";
const char kWebKey[] = "Software\\Ostrevan Web\\7.1";

class DoubleByteDesktop : public Case, public ::testing::WithParamInterface<Shape> {
protected:
    Shape shape() const { return GetParam(); }
    std::string Name(const char* base, int character = 0) const
    {
        return FolderName(base, shape(), character);
    }
};

std::string ParamName(const ::testing::TestParamInfo<Shape>& info) { return ShapeName(info.param); }

// What an installation directory holds: inventory files, a session INI file
// and user data.
void PlantInstallation(const std::string& dir, const std::string& iniName)
{
    for (int i = 0; i < 6; ++i) Touch(dir + "\\" + kInstalledFiles[i], "suite");
    Touch(dir + "\\" + iniName + ".ini", "suite");
    Touch(dir + "\\Config\\a.cfg", "suite");
    Touch(dir + "\\Certs\\c.pem", "suite");
}

// Files and folders beside dir whose names continue its name with what the
// uninstall joins to it.
void PlantInstallationNeighbours(const std::string& dir)
{
    PlantNeighbours(dir, {kInstalledFiles[0], kInstalledFiles[1], "README.TXT", "a.ini"},
                    {"Config", "Certs", "2"});
}

void MakeProduct(HKEY root, REGSAM view, const std::string& installDir)
{
    ASSERT_TRUE(fixture::SetString(root, kProductKey, "Installation Directory", installDir, view));
}

// Installation and working directory from the product key: both go, with the
// desktop shortcut named after the session INI file; nothing beside them.
TEST_P(DoubleByteDesktop, InstallationAndWorkingDirectoriesGoAndNothingBesideThem)
{
    std::string parent = CaseFolder(std::string("Directories") + ShapeName(shape()));
    std::string install = parent + "\\" + Name("Install");
    std::string work = parent + "\\" + Name("Work", 1);
    std::string session = Name("Sales", 2);
    PlantInstallation(install, session);
    PlantInstallation(work, session);
    PlantInstallationNeighbours(install);
    PlantInstallationNeighbours(work);
    std::string desktop = fixture::ShellFolder(CSIDL_DESKTOPDIRECTORY);
    Touch(desktop + "\\" + session + ".LNK", "suite");
    Touch(desktop + "\\" + session + "x.LNK");
    Snapshot desktopBefore = Take(desktop);
    desktopBefore.erase(desktop + "\\" + session + ".LNK");
    MakeProduct(HKEY_CURRENT_USER, 0, Spell(install, shape()));
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kProductKey, "Working Directory",
                                   Spell(work, shape())));
    Snapshot before = Take(parent, {install, work});

    runContext.baseRegistry = 2;
    runContext.clearUserFiles = 1;
    EXPECT_EQ(RemoveDesktopInstallation(nullptr), 1);

    EXPECT_FALSE(fixture::Exists(install));
    EXPECT_FALSE(fixture::Exists(work));
    Snapshot after = Take(parent, {install, work});
    EXPECT_EQ(before, after) << Difference(before, after);
    Snapshot desktopAfter = Take(desktop);
    EXPECT_EQ(desktopBefore, desktopAfter) << Difference(desktopBefore, desktopAfter);
    fixture::RemoveAll(desktop + "\\" + session + "x.LNK");
}

// "WorkingDirType" 1 to 4: the special folder lies below such a name and the
// working directory is "<folder>\Ostrevan", never "<folder>Ostrevan".
TEST_P(DoubleByteDesktop, SpecialWorkingDirectoryIsJoinedWithABackslash)
{
    const int kinds[] = {CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_APPDATA,
                         CSIDL_COMMON_APPDATA};
    std::string parent = CaseFolder(std::string("WorkingDirType") + ShapeName(shape()));
    for (BYTE type = 1; type <= 4; ++type) {
        SCOPED_TRACE(type);
        std::string special = parent + "\\" + Name("Special") + std::to_string(type);
        if (shape() == Shape::End || shape() == Shape::EndWithBackslash)
            special = parent + "\\" + std::to_string(type) + Name("Special");
        MovedShellFolder moved(kinds[type - 1], special);
        std::string work = special + "\\Ostrevan";
        std::string install = parent + "\\Install" + std::to_string(type);
        PlantInstallation(work, "S");
        PlantInstallation(install, "S");
        PlantNeighbours(special, {"Ostrevan.txt"}, {"Ostrevan"});
        char resolved[MAX_PATH] = "";
        ASSERT_EQ(SHGetFolderPathA(nullptr, kinds[type - 1], nullptr, 0, resolved), S_OK);
        ASSERT_EQ(std::string(resolved), special) << "the shell took up the moved folder";
        Snapshot before = Take(parent, {work, install});

        SetUp();
        MakeProduct(HKEY_LOCAL_MACHINE, k32, install);
        ASSERT_TRUE(fixture::SetBinary(HKEY_LOCAL_MACHINE, kProductKey, "WorkingDirType", &type, 1,
                                       REG_BINARY, k32));
        runContext.clearUserFiles = 1;
        EXPECT_EQ(RemoveDesktopInstallation(nullptr), 1);

        // Gone, or with the common application data folder (which holds the
        // shared desktop data folder, removed after it) left empty.
        EXPECT_LE(EntryCount(work), 0);
        EXPECT_FALSE(fixture::Exists(install));
        Snapshot after = Take(parent, {work, install});
        EXPECT_EQ(before, after) << Difference(before, after);
    }
}

// The parent folders are found by cutting four characters: a directory that
// ends in two double-byte characters loses no parent (four bytes would have
// cut exactly those two and named the parent), one ending in "\7.1" loses
// its empty parent and no more.
class DoubleByteParentCut : public Case {};
class DoubleByteProgram : public Case {};

TEST_F(DoubleByteParentCut, CountsCharactersNotBytes)
{
    std::string parent = CaseFolder("ParentCut");
    std::string keep = parent + "\\K";
    std::string twoCharacters = keep + "\\" + Character(0) + Character(1);
    PlantInstallation(twoCharacters, "S");
    std::string keep2 = parent + "\\K2";
    std::string versioned = keep2 + "\\Ostrevan" + Character(0);
    PlantInstallation(versioned + "\\7.1", "S");
    for (const std::string& dir : {twoCharacters, versioned + "\\7.1"}) {
        SCOPED_TRACE(dir);
        SetUp();
        MakeProduct(HKEY_CURRENT_USER, 0, dir);
        runContext.baseRegistry = 2;
        runContext.clearUserFiles = 1;
        EXPECT_EQ(RemoveDesktopInstallation(nullptr), 1);
    }
    EXPECT_FALSE(fixture::Exists(twoCharacters));
    EXPECT_TRUE(fixture::IsFolder(keep)) << "no parent of a name cut inside";
    EXPECT_FALSE(fixture::Exists(versioned)) << "the empty parent of \\7.1 goes";
    EXPECT_TRUE(fixture::IsFolder(keep2));
}

// The program group, plain and nested: its known shortcuts and the innermost
// folder go; a group whose name continues the group's name stays whole.
TEST_P(DoubleByteDesktop, ProgramGroupGoesAndNothingBesideIt)
{
    std::string programs = fixture::ShellFolder(CSIDL_PROGRAMS);
    for (bool nested : {false, true}) {
        SCOPED_TRACE(nested);
        std::string outer = Name("Group");
        std::string group = nested ? outer + "\\" + Name("Sub", 1) : outer;
        std::string folder = programs + "\\" + group;
        fixture::RemoveAll(programs + "\\" + outer);
        for (int i = 0; i < kGroupShortcutCount; ++i)
            Touch(folder + "\\" + runContext.groupShortcutNames[i] + ".LNK", "suite");
        PlantNeighbours(folder, {".LNK"}, {"2", "x"});
        Touch(folder + "x\\" + runContext.groupShortcutNames[0] + ".LNK");
        Snapshot before = Take(programs, {folder});

        SetUp();
        runContext.baseRegistry = 2;
        ASSERT_TRUE(CopyText(runContext.programGroupName, kPathSize, Spell(group, shape()).c_str()));
        DeleteGroupShortcuts();
        RemoveProgramGroup();

        EXPECT_FALSE(fixture::Exists(folder));
        Snapshot after = Take(programs, {folder});
        EXPECT_EQ(before, after) << Difference(before, after);
        fixture::RemoveAll(programs + "\\" + outer);
        for (const char* n : {".LNK", "2", "x"}) fixture::RemoveAll(folder + n);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, DoubleByteDesktop, ::testing::ValuesIn(kShapes), ParamName);

// Wipora.exe /1/4/q under the double-byte code page: the Web working
// directory is emptied, the desktop installation goes, nothing beside them.
TEST_F(DoubleByteProgram, WebAndDesktopFoldersUnderTheCodePage)
{
    std::string parent = CaseFolder("Program");
    std::string work = parent + "\\Web" + Character(0);
    std::string install = parent + "\\" + Character(2) + "Install" + Character(0);
    Touch(work + "\\Config\\a.ini", "suite");
    Touch(work + "\\top.txt", "suite");
    PlantNeighbours(work, {"top.txt"}, {"Config"});
    PlantInstallation(install, "S");
    PlantInstallationNeighbours(install);
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kWebKey, "Working Directory", work));
    MakeProduct(HKEY_CURRENT_USER, 0, install + "\\");
    BYTE perUser = 2;
    ASSERT_TRUE(fixture::SetBinary(HKEY_CURRENT_USER, kProductKey, "BaseRegistry", &perUser, 1));
    Snapshot before = Take(parent, {work, install});

    EXPECT_EQ(fixture::Run("\"" + fixture::ProgramPath() + "\" /1/4/q", 60000), 1);

    EXPECT_EQ(EntryCount(work), 0);
    EXPECT_FALSE(fixture::Exists(install));
    Snapshot after = Take(parent, {work, install});
    EXPECT_EQ(before, after) << Difference(before, after);
}

}  // namespace
}  // namespace dbcs
