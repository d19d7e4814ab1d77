#include "hardening/hardening_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "services/run_context.h"

namespace hardening {

const char kRoot[] = "C:\\wipora-hardening";

namespace {

std::string RootPath(const char* name) { return std::string(kRoot) + "\\" + name; }

// --- Registry --------------------------------------------------------------------

bool IsLinkKey(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

// Keys that belong to no one the program may touch.
struct BystanderKey { HKEY root; REGSAM view; const char* path; };
const BystanderKey kBystanderKeys[] = {
    {HKEY_CURRENT_USER, 0, "Software\\Wipora Bystander\\keep"},
    {HKEY_LOCAL_MACHINE, k32, "Software\\Wipora Bystander\\keep"},
    {HKEY_LOCAL_MACHINE, k64, "Software\\Wipora Bystander\\keep"},
    {HKEY_LOCAL_MACHINE, k32, "Software\\Ostrevan\\6.0\\keep"},
    {HKEY_LOCAL_MACHINE, k64, "Software\\Ostrevan (64-bit)\\6.0\\keep"},
    {HKEY_CURRENT_USER, 0, "Software\\Ostrevan\\6.0\\keep"},
    {HKEY_CURRENT_USER, 0, "Software\\Ostrevan Web\\6.0\\keep"},
    {HKEY_LOCAL_MACHINE, k32, "Software\\Ostrevan Web\\6.0\\keep"},
    {HKEY_LOCAL_MACHINE, k32, "Software\\Classes\\Wipora.Bystander\\shell\\open\\command"},
    {HKEY_LOCAL_MACHINE, k64, "Software\\Classes\\Wipora.Bystander\\shell\\open\\command"},
    {HKEY_CURRENT_USER, 0, "Software\\Classes\\Wipora.Bystander\\shell\\open\\command"},
    // The targets of the registry link cases.
    {HKEY_LOCAL_MACHINE, k64, "Software\\Wipora Link Target\\child\\grandchild"},
    {HKEY_LOCAL_MACHINE, k64, "Software\\Wipora Link Target\\other"},
};

void PlantBystanderKeys()
{
    for (const BystanderKey& key : kBystanderKeys) fixture::MakeKey(key.root, key.path, key.view);
}

// --- Manifest --------------------------------------------------------------------

struct ManifestEntry { bool folder; std::string path; };

const std::vector<ManifestEntry>& Manifest()
{
    static std::vector<ManifestEntry> entries;
    static bool read = false;
    if (read) return entries;
    read = true;
    std::string text;
    if (!fixture::ReadFile(RootPath("manifest.txt"), &text)) return entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() < 3) continue;
        entries.push_back({line[0] == 'D', line.substr(2)});
    }
    return entries;
}

bool Present(const std::string& path, bool folder)
{
    // Through the long form, which also reaches paths of 260 characters and more.
    std::wstring wide = L"\\\\?\\";
    for (char c : path) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

// --- Messages --------------------------------------------------------------------

struct KnownMessage { const char* caption; UINT style; const char* format; };

const char kWebQuestion[] =
    "Are you sure you want to remove all Ostrevan Web-to-Host user data files?  The types of "
    "files include Scripts, Macros, Configuration Files, Transfer Files, etc.";

const KnownMessage kMessages[] = {
    {fixture::kUsageCaption, 0x00010040, fixture::kUsageText},
    {"Share Violation", 0x00010010,
     "The ActiveX control file %s is currently in use by your web browser.  Please close the web "
     "browser application then retry the operation."},
    {"Remove Web-to-Host User Data", 0x00010024, kWebQuestion},
    {"Remove Web-to-Host User Data", 0x00010024,
     "Are you sure you want to remove all Ostrevan Web-to-Host user data files?  The types of "
     "files include Scripts, Macros, Configuration Files, Transfer Files, etc.\r\n\r\nCaution: If "
     "a Ostrevan Desktop installation is sharing the Working Directory %s, then its user data "
     "files will also be removed."},
    {"Remove Desktop User Data", 0x00010024,
     "Do you want Uninstall to remove all Ostrevan Desktop user data files?  The types of files "
     "include Macros, Scripts, Configuration Files, Transfer Files, etc."},
    {"Ostrevan Uninstall", 0x40,
     "Ostrevan Uninstall was unable to delete all of the files from %s.  To complete the "
     "uninstall please manually remove the remaining files."},
    {"Ostrevan Uninstall", 0x24,
     "All program items in group \"%s\" will be deleted.  Are you sure you want to delete the "
     "program group \"%s\"?"},
    {"Ostrevan Uninstall", 0x00010040, "Ostrevan uninstallation completed successfully."},
};

// Whether text matches format, each "%s" standing for the same non-empty text.
bool Matches(const std::string& text, const std::string& format)
{
    size_t hole = format.find("%s");
    if (hole == std::string::npos) return text == format;
    std::string head = format.substr(0, hole);
    size_t next = format.find("%s", hole + 2);
    std::string tail = format.substr(hole + 2);
    if (text.compare(0, head.size(), head) != 0) return false;
    if (next == std::string::npos) {
        return text.size() > head.size() + tail.size() &&
               text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    }
    // Two holes: try every length for the first; the second must repeat it.
    for (size_t n = 1; head.size() + n <= text.size(); ++n) {
        std::string filled = text.substr(head.size(), n);
        std::string expected = head + filled + format.substr(hole + 2, next - hole - 2) + filled +
                               format.substr(next + 2);
        if (expected == text) return true;
    }
    return false;
}

// --- Programs --------------------------------------------------------------------

std::string BinFolder() { return RootPath("bin"); }

// The current environment with extras set (NAME=value) or removed (NAME=).
std::string EnvironmentBlock(const std::vector<std::string>& extras)
{
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p; p += std::strlen(p) + 1) entries.push_back(p);
    FreeEnvironmentStringsA(block);
    for (const std::string& extra : extras) {
        std::string name = extra.substr(0, extra.find('=') + 1);
        for (auto it = entries.begin(); it != entries.end();) {
            if (it->size() >= name.size() && lstrcmpiA(it->substr(0, name.size()).c_str(),
                                                       name.c_str()) == 0 && it->find('=') != 0)
                it = entries.erase(it);
            else
                ++it;
        }
        if (extra.size() > name.size()) entries.push_back(extra);
    }
    std::string out;
    for (const std::string& entry : entries) out += entry + '\0';
    out += '\0';
    return out;
}

}  // namespace

bool FixturesReady() { return GetFileAttributesA(RootPath("ready").c_str()) != INVALID_FILE_ATTRIBUTES; }

bool LocksReady()
{
    std::string state;
    return fixture::ReadFile(RootPath("locked.txt"), &state) && state.compare(0, 3, "yes") == 0;
}

bool SetRaw(HKEY root, const std::string& path, const char* name, DWORD type,
            const std::string& bytes, REGSAM view)
{
    return fixture::SetBinary(root, path, name, bytes.data(), (DWORD)bytes.size(), type, view);
}

bool SetText(HKEY root, const std::string& path, const char* name, const std::string& text,
             REGSAM view)
{
    return SetRaw(root, path, name, REG_SZ, text + '\0', view);
}

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

bool MakeRegistryLink(HKEY root, const std::string& path, REGSAM view, const std::string& target)
{
    // The keys above it are made first, as ordinary keys: RegCreateKeyExA would
    // make them volatile like the link, and a volatile key takes no ordinary
    // sub-key afterwards.
    size_t cut = path.rfind('\\');
    if (cut != std::string::npos && !fixture::MakeKey(root, path.substr(0, cut), view)) return false;
    HKEY link = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK | view, nullptr, &link,
                        nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring wide(target.begin(), target.end());
    LONG rc = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(wide.data()),
                             (DWORD)(wide.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return rc == ERROR_SUCCESS;
}

void DeleteRegistryLink(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | view, &key) !=
        ERROR_SUCCESS)
        return;
    bool link = IsLinkKey(key);
    RegCloseKey(key);
    if (link) fixture::DeleteKey(root, path, view);   // the link itself, never its target
}

std::string CacheVersionFolder(bool is64BitPass)
{
    return TempFolder() + "\\Ostrevan\\7.1" + (is64BitPass ? "\\x64" : "");
}

std::string Profile() { return fixture::ShellFolder(0x0028 /* CSIDL_PROFILE */); }

std::string CaseFolder(const std::string& name)
{
    std::string folder = RootPath("cases") + "\\" + name;
    fixture::RemoveAll(folder);
    fixture::MakeFolders(folder);
    return folder;
}

std::string ForeignMessage(const fixture::ShownMessage& shown)
{
    for (const KnownMessage& known : kMessages) {
        if (shown.caption == known.caption && shown.style == known.style &&
            Matches(shown.text, known.format))
            return "";
    }
    char style[16];
    std::snprintf(style, sizeof style, "0x%X", shown.style);
    return "caption \"" + shown.caption + "\", style " + style + ", text \"" + shown.text + "\"";
}

std::string BenchProgram()
{
    static std::string copied;
    if (!copied.empty() && fixture::Exists(copied)) return copied;
    fixture::MakeFolders(BinFolder());
    std::string doubles = WIPORA_DOUBLES_DIR;
    std::string source = fixture::WindowsPath(doubles.substr(0, doubles.rfind('/')) + "/Wipora.exe");
    std::string target = BinFolder() + "\\Wipora.exe";
    copied = CopyFileA(source.c_str(), target.c_str(), FALSE) ? target : "";
    return copied;
}

int RunChild(const std::string& commandLine, const std::string& currentFolder,
             const std::vector<std::string>& environment, DWORD timeoutMs)
{
    std::string block = EnvironmentBlock(environment);
    return fixture::Run(commandLine, timeoutMs, currentFolder.empty() ? "C:\\" : currentFolder.c_str(),
                        block.c_str());
}

int RunWipora(const std::string& switches, const std::string& currentFolder,
              const std::vector<std::string>& environment)
{
    std::string program = BenchProgram();
    if (program.empty()) return -2;
    return RunChild("\"" + program + "\" " + switches, currentFolder, environment);
}

std::vector<std::string> MissingBystanders()
{
    std::vector<std::string> missing;
    for (const ManifestEntry& entry : Manifest())
        if (!Present(entry.path, entry.folder)) missing.push_back(entry.path);
    for (const BystanderKey& key : kBystanderKeys)
        if (!fixture::KeyExists(key.root, key.path, key.view))
            missing.push_back(std::string(key.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") +
                              key.path + (key.view == k64 ? " (64-bit view)" : ""));
    return missing;
}

void Case::SetUp()
{
    SetCurrentDirectoryA("C:\\");   // the programs started inherit it
    if (!FixturesReady()) GTEST_SKIP() << "no fixtures: run tests/hardening/make-fixtures (CTest does)";
    // The previous case left the suite's keys removed; the first one of the
    // process removes what an interrupted run may have left.
    static bool first = true;
    if (first) RemoveSuiteKeys();
    first = false;
    PlantBystanderKeys();
    ResetRunContext();
    fixture::ScriptMessages({}, IDYES);
    started_ = GetTickCount();
}

void Case::TearDown()
{
    DWORD elapsed = GetTickCount() - started_;
    std::vector<fixture::ShownMessage> shown = fixture::ShownMessages();
    fixture::StopScriptingMessages();
    if (!FixturesReady()) return;
    EXPECT_LT(elapsed, kCaseLimitMs) << "the case took " << elapsed << " ms";
    for (const fixture::ShownMessage& message : shown) {
        std::string wrong = ForeignMessage(message);
        EXPECT_TRUE(wrong.empty()) << "a message the program may not show: " << wrong;
    }
    // Only what this case removed: a bystander an earlier case removed was
    // reported by that case (the fixtures are made once per run).
    static std::vector<std::string> gone;
    std::vector<std::string> missing;
    for (const std::string& path : MissingBystanders()) {
        if (std::find(gone.begin(), gone.end(), path) != gone.end()) continue;
        missing.push_back(path);
        if (path.compare(0, 5, "HKCU\\") != 0 && path.compare(0, 5, "HKLM\\") != 0)
            gone.push_back(path);   // keys are planted anew by every case
    }
    for (const auto& bystander : bystanders_)
        if (!Present(bystander.first, bystander.second)) missing.push_back(bystander.first);
    EXPECT_TRUE(missing.empty()) << "bystanders gone: " << ::testing::PrintToString(missing);
    for (const auto& bystander : bystanders_) fixture::RemoveAll(bystander.first);
    RemoveSuiteKeys();
    ResetRunContext();
}

void Case::AddBystander(const std::string& path, bool folder)
{
    if (folder) fixture::MakeFolders(path);
    else if (!fixture::Exists(path)) Touch(path, "bystander");
    bystanders_.push_back({path, folder});
}

void Case::AnswerMessages(int answer) { fixture::ScriptMessages({}, answer); }

const std::vector<fixture::ShownMessage>& Case::Shown() const { return fixture::ShownMessages(); }

}  // namespace hardening
