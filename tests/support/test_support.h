// Helpers for building fixtures with the real API and checking the real state.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace fixture {

// Files and folders (paths are Windows paths).
bool WriteFile(const std::string& path, const std::string& content);
bool ReadFile(const std::string& path, std::string* content);
bool Exists(const std::string& path);        // file or folder
bool IsFolder(const std::string& path);
void MakeFolders(const std::string& path);   // every missing level
void RemoveAll(const std::string& path);     // test clean-up, no protection
std::string TempRoot();                      // a fresh folder below C:\wipora-tests
std::string ShellFolder(int csidl);          // SHGetFolderPathA, no trailing backslash

// Registry, in an explicit view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY).
bool SetString(HKEY root, const std::string& path, const char* name,
               const std::string& value, REGSAM view = 0);
bool SetBinary(HKEY root, const std::string& path, const char* name,
               const void* data, DWORD size, DWORD type = REG_BINARY, REGSAM view = 0);
bool MakeKey(HKEY root, const std::string& path, REGSAM view = 0);
bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
bool ReadString(HKEY root, const std::string& path, const char* name,
                std::string* value, REGSAM view = 0);
void DeleteKey(HKEY root, const std::string& path, REGSAM view = 0);

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

// Processes.
// Runs a command line, waits up to timeoutMs, returns the exit code (or -1 on
// time-out, after terminating it).
int Run(const std::string& commandLine, DWORD timeoutMs = 60000);
std::string DoublesDir();    // Windows path of the built test doubles
std::string ProgramPath();   // Windows path of Wipora.exe
std::string WindowsPath(const std::string& unixPath);

// Scripted message box answers: record every box, answer from a queue.
struct ShownMessage { HWND owner; std::string text, caption; UINT style; };
void ScriptMessages(std::vector<int> answers, int defaultAnswer = IDOK);
const std::vector<ShownMessage>& ShownMessages();
void StopScriptingMessages();

}  // namespace fixture
