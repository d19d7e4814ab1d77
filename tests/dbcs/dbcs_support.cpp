#include "dbcs/dbcs_support.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "services/run_context.h"

namespace dbcs {

namespace {

const char kRoot[] = "C:\\wipora-dbcs";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Whether bytes are one character of the current code page that converts to
// Unicode and back unchanged.
bool IsCharacter(const std::string& bytes)
{
    wchar_t wide[4];
    int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(),
                                wide, 4);
    if (n != 1) return false;
    char back[8];
    BOOL defaulted = FALSE;
    int m = WideCharToMultiByte(CP_ACP, 0, wide, 1, back, sizeof back, nullptr, &defaulted);
    return !defaulted && m == (int)bytes.size() && std::memcmp(back, bytes.data(), m) == 0;
}

std::vector<std::string> FindCharacters()
{
    std::vector<std::string> found;
    if (GetACP() == 932) {
        // U+30BD, U+8868, U+80FD: the katakana "so", "table", "ability".
        for (const char* c : {"\x83\x5C", "\x95\x5C", "\x94\x5C"})
            if (IsCharacter(c)) found.push_back(c);
        if (found.size() == 3) return found;
        found.clear();
    }
    // Trail 0x5C where the code page has such characters, else (949) an ASCII
    // letter: 'A' first. Lead bytes from 0xB0 give ideographs or syllables.
    for (int trail : {0x5C, 0x41, 0x61}) {
        for (int pass = 0; pass < 2 && found.size() < 3; ++pass) {
            for (int lead = pass == 0 ? 0xB0 : 0x81; lead <= 0xFE && found.size() < 3; ++lead) {
                if (!IsDBCSLeadByte(static_cast<BYTE>(lead))) continue;
                std::string c = {static_cast<char>(lead), static_cast<char>(trail)};
                bool known = false;
                for (const std::string& f : found) known = known || f == c;
                if (!known && IsCharacter(c)) found.push_back(c);
            }
        }
        if (!found.empty()) break;
    }
    return found;
}

// path is folder or lies below it.
bool IsBelow(const std::string& path, const std::string& folder)
{
    return path.size() >= folder.size() &&
           (path.size() == folder.size() || path[folder.size()] == '\\') &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path.data(), (int)folder.size(),
                          folder.data(), (int)folder.size()) == CSTR_EQUAL;
}

void Walk(const std::string& folder, const std::vector<std::string>& excluded, Snapshot* out)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        bool skip = false;
        for (const std::string& e : excluded) skip = skip || IsBelow(path, e);
        if (skip) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)[path + "\\"] = "";
            Walk(path, excluded, out);
        } else {
            std::string content;
            fixture::ReadFile(path, &content);
            (*out)[path] = content;
        }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

int ShellFolderValue(int csidl, HKEY* root, const char** name)
{
    switch (csidl) {
    case CSIDL_APPDATA: *root = HKEY_CURRENT_USER; *name = "AppData"; return 1;
    case CSIDL_PERSONAL: *root = HKEY_CURRENT_USER; *name = "Personal"; return 1;
    case CSIDL_COMMON_APPDATA: *root = HKEY_LOCAL_MACHINE; *name = "Common AppData"; return 1;
    case CSIDL_COMMON_DOCUMENTS: *root = HKEY_LOCAL_MACHINE; *name = "Common Documents"; return 1;
    default: return 0;
    }
}

HKEY ShellFolderRoot(int csidl)
{
    HKEY root = nullptr;
    const char* name = nullptr;
    ShellFolderValue(csidl, &root, &name);
    return root;
}

const char* ShellFolderName(int csidl)
{
    HKEY root = nullptr;
    const char* name = "";
    ShellFolderValue(csidl, &root, &name);
    return name;
}

}  // namespace

std::string Character(int index)
{
    static const std::vector<std::string> characters = FindCharacters();
    if (characters.empty()) return "";
    return characters[index % characters.size()];
}

const Shape kShapes[4] = {Shape::End, Shape::EndWithBackslash, Shape::Middle,
                          Shape::AfterBackslash};

const char* ShapeName(Shape shape)
{
    switch (shape) {
    case Shape::End: return "End";
    case Shape::EndWithBackslash: return "EndWithBackslash";
    case Shape::Middle: return "Middle";
    case Shape::AfterBackslash: return "AfterBackslash";
    }
    return "?";
}

std::string FolderName(const std::string& base, Shape shape, int character)
{
    std::string c = Character(character);
    switch (shape) {
    case Shape::End:
    case Shape::EndWithBackslash: return base + c;
    case Shape::Middle: return base.substr(0, 2) + c + base.substr(2);
    case Shape::AfterBackslash: return c + base;
    }
    return base;
}

std::string Spell(const std::string& folder, Shape shape)
{
    return shape == Shape::EndWithBackslash ? folder + "\\" : folder;
}

std::string CaseFolder(const std::string& caseName)
{
    std::string caseRoot = std::string(kRoot) + "\\" + caseName;
    fixture::RemoveAll(caseRoot);
    std::string folder = caseRoot + "\\" + Character(1);
    MakeFolders(folder);
    Touch(caseRoot + "\\beside.txt");
    Touch(folder + "\\beside.txt");
    return folder;
}

Snapshot Take(const std::string& root, const std::vector<std::string>& excluded)
{
    Snapshot snapshot;
    Walk(root, excluded, &snapshot);
    return snapshot;
}

std::string Difference(const Snapshot& before, const Snapshot& after)
{
    std::string text;
    for (const auto& entry : before) {
        auto it = after.find(entry.first);
        if (it == after.end()) text += "  gone:    " + entry.first + "\n";
        else if (it->second != entry.second) text += "  changed: " + entry.first + "\n";
    }
    for (const auto& entry : after)
        if (!before.count(entry.first)) text += "  new:     " + entry.first + "\n";
    return text;
}

int EntryCount(const std::string& folder)
{
    if (!fixture::IsFolder(folder)) return -1;
    return static_cast<int>(Take(folder).size());
}

void PlantNeighbours(const std::string& folder, const std::vector<std::string>& files,
                     const std::vector<std::string>& folders)
{
    for (const std::string& name : files) Touch(folder + name);
    for (const std::string& name : folders) Touch(folder + name + "\\keep.txt");
}

MovedShellFolder::MovedShellFolder(int csidl, const std::string& folder)
    : saved_(ShellFolderRoot(csidl), kUserShellFolders, ShellFolderName(csidl))
{
    MakeFolders(folder);
    fixture::SetString(ShellFolderRoot(csidl), kUserShellFolders, ShellFolderName(csidl), folder);
}

void Case::SetUp()
{
    UINT codePage = GetACP();
    const char* wanted = std::getenv("WIPORA_CODE_PAGE");
    if (wanted) {
        ASSERT_EQ(codePage, (UINT)std::atoi(wanted)) << "the locale gave another code page";
    }
    ASSERT_TRUE(codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950)
        << "code page " << codePage << " is not double-byte: start the suite with LC_ALL set";
    ASSERT_FALSE(Character(2).empty());
    fixture::RemoveSuiteKeys();
    fixture::BeginPass(false);
    runContext.quietMode = 1;
    fixture::ScriptMessages({}, IDYES);
}

void Case::TearDown()
{
    fixture::StopScriptingMessages();
    fixture::RemoveSuiteKeys();
}

}  // namespace dbcs
