#include "app/app_support.h"

#include <windows.h>

#include "support/test_support.h"

namespace appfixture {

static const char kBinFolder[] = "C:\\wipora-bin";

std::string CopyIntoPrefix(const std::string& unixPath, const std::string& fileName)
{
    fixture::MakeFolders(kBinFolder);
    std::string target = std::string(kBinFolder) + "\\" + fileName;
    std::string source = fixture::WindowsPath(unixPath);
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) return "";
    return target;
}

// The doubles folder sits in the build folder, beside Wipora.exe.
std::string Program32() { return CopyIntoPrefix(std::string(WIPORA_DOUBLES_DIR) + "/../Wipora.exe", "Wipora32.exe"); }

std::string BenchProgram() { return CopyIntoPrefix(std::string(WIPORA_DOUBLES_DIR) + "/../Wipora.exe", "Wipora.exe"); }

}  // namespace appfixture
