#include "webclear_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "services/run_context.h"

namespace webclear_test {

void BeginWebPass(bool x64, DWORD osMajor)
{
    fixture::BeginPass(x64, osMajor);
    runContext.baseRegistry = 2;
    // No real message box may wait for a user who is not there.
    fixture::ScriptMessages({}, IDNO);
}

std::string AppDataFolder() { return fixture::ShellFolder(CSIDL_APPDATA); }

std::string LocalLowFolder()
{
    std::string local = fixture::ShellFolder(CSIDL_LOCAL_APPDATA);   // ...\AppData\Local
    return local + "Low";
}

std::string DesktopFolder() { return fixture::ShellFolder(CSIDL_DESKTOPDIRECTORY); }

void CleanSuiteFootprint()
{
    for (const std::string& root : {TempFolder(), TempFolder() + "\\Low"})
        fixture::RemoveAll(root + "\\Ostrevan");
    fixture::RemoveAll(AppDataFolder() + "\\Ostrevan Web");
    fixture::RemoveAll(LocalLowFolder() + "\\Ostrevan Web");
    fixture::RemoveSuiteKeys();
}

namespace {
std::string SearchPath()
{
    DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) return "";
    std::string path(size, '\0');
    DWORD n = GetEnvironmentVariableA("PATH", &path[0], size);
    path.resize(n < size ? n : 0);
    return path;
}
}  // namespace

LaunchLog::LaunchLog()
    : folder(fixture::TempRoot() + "\\bin"),
      path(folder + "\\launch.log"),
      searchPath("PATH", (folder + ";" + SearchPath()).c_str()),
      logVariable("WIPORA_LAUNCH_LOG", path.c_str())
{
    EXPECT_TRUE(CopyDouble("javaws.exe", folder + "\\javaws.exe"));
}

std::vector<std::string> LaunchLog::Lines() const { return SplitLines(ReadText(path)); }

bool Plant(const std::string& path, const std::string& content)
{
    if (fixture::Touch(path, content)) return true;
    ADD_FAILURE() << "could not plant " << path;
    return false;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string ReadText(const std::string& path)
{
    std::string content;
    fixture::ReadFile(path, &content);
    return content;
}

}  // namespace webclear_test
