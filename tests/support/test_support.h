// Helpers for building fixtures with the real API and checking the real state,
// shared by every suite.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace fixture {

// ASCII letters to lower case, every other byte unchanged.
std::string Lower(std::string text);

// Files and folders (paths are Windows paths in the ANSI code page).
bool WriteFile(const std::string& path, const std::string& content);
bool ReadFile(const std::string& path, std::string* content);
bool Exists(const std::string& path);        // file or folder
bool IsFolder(const std::string& path);
// Every missing level of path, walked by characters of the ANSI code page: in
// 932, 936 and 950 the trail byte of a double-byte character can be 0x5C, the
// value of a backslash, and is no separator.
void MakeFolders(const std::string& path);
// Writes a small file, making the folders above it; true on success.
bool Touch(const std::string& path, const std::string& content = "wipora test file");
void RemoveAll(const std::string& path);     // test clean-up, no protection
std::string TempRoot();                      // a fresh folder below C:\wipora-tests
std::string ShellFolder(int csidl);          // SHGetFolderPathA, no trailing backslash
// GetTempPathA in its long form (as the program finds it), no trailing backslash.
std::string TempFolder();

// Registry, in an explicit view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY).
bool SetString(HKEY root, const std::string& path, const char* name,
               const std::string& value, REGSAM view = 0);
bool SetBinary(HKEY root, const std::string& path, const char* name,
               const void* data, DWORD size, DWORD type = REG_BINARY, REGSAM view = 0);
bool MakeKey(HKEY root, const std::string& path, REGSAM view = 0);
bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
bool ReadString(HKEY root, const std::string& path, const char* name,
                std::string* value, REGSAM view = 0);
// The product and Web keys of the 32-bit and the 64-bit edition, below
// Software in their own registry view.
extern const char kProduct32[];   // "Software\Ostrevan\7.1"
extern const char kProduct64[];   // "Software\Ostrevan (64-bit)\7.1"
extern const char kWeb32[];       // "Software\Ostrevan Web\7.1"
extern const char kWeb64[];       // "Software\Ostrevan Web (64-bit)\7.1"

// Deletes a test key with everything below it. A registry link met on the way
// is removed itself, never followed; a sub-key that cannot be opened is given
// back its access first; one that stays does not stop the others.
void DeleteKey(HKEY root, const std::string& path, REGSAM view = 0);

// The keys the suites plant, in both hives and both views: the product and
// Web keys of both editions with every version below them, the web
// launcher's (Calderwick), the association ProgIDs and the control CLSIDs
// the cases name, and the tests' own Software\WiporaTests. Keys of other
// products are left alone.
void RemoveSuiteKeys();

// A registry value saved when made and put back (or deleted, when there was
// none) when it goes. An empty name is the key's default value.
class SavedValue {
public:
    SavedValue(HKEY root, std::string path, std::string name, REGSAM view = 0);
    ~SavedValue();
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
private:
    HKEY root_;
    std::string path_, name_;
    REGSAM view_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::string data_;
};

// An environment variable of this process set (nullptr: removed) while the
// object lives, then put back as it was.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
private:
    std::string name_, old_;
    bool had_ = false;
};

// The Run context.
// A fresh Run context for one pass on Windows 7 SP1 (osMajor.1, build 7601,
// the NT platform), the view of the 64-bit pass when asked, the current user
// as the writable per-user root. Everything else as the program starts.
void BeginPass(bool is64BitPass, DWORD osMajor = 6);

// Processes.
// Runs a command line, waits up to timeoutMs, returns the exit code (or -1 on
// time-out, after terminating it; -2 when it could not be started). The child
// starts in currentFolder (nullptr: this process's) with environment, a block
// of "NAME=value" strings (nullptr: this process's).
int Run(const std::string& commandLine, DWORD timeoutMs = 60000,
        const char* currentFolder = nullptr, const char* environment = nullptr);
std::string DoublesDir();    // Windows path of the built test doubles
std::string ProgramPath();   // Windows path of Wipora.exe
std::string WindowsPath(const std::string& unixPath);
// Copies a built test double (by file name, e.g. "holder.exe") to dest, making
// the folders above it; false on failure.
bool CopyDouble(const std::string& name, const std::string& dest);

// Keeps a file open without sharing in another process (tests/doubles/holder)
// while the object lives. timeoutMs bounds the wait for the holder to have the
// file open and, at the end, for it to let go (it is ended after that).
constexpr DWORD kHolderTimeoutMs = 30000;
class Holder {
public:
    explicit Holder(const std::string& path, DWORD timeoutMs = kHolderTimeoutMs);
    ~Holder();
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool holding() const { return holding_; }
private:
    DWORD timeoutMs_;
    HANDLE process_ = nullptr;
    HANDLE stop_ = nullptr;
    bool holding_ = false;
};

// Texts of the program that several suites expect: the usage message box
// and the caption of the 32-bit edition's confirmation dialog.
extern const char kUsageCaption[];
extern const char kUsageText[];
extern const char kDialogCaption[];

// Scripted message box answers: record every box, answer from a queue.
struct ShownMessage { HWND owner; std::string text, caption; UINT style; };
void ScriptMessages(std::vector<int> answers, int defaultAnswer = IDOK);
const std::vector<ShownMessage>& ShownMessages();
void StopScriptingMessages();

}  // namespace fixture
