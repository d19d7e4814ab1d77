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

std::string Program32() { return CopyIntoPrefix(WIPORA_PROGRAM32, "Wipora32.exe"); }

std::string BenchProgram()
{
    // The doubles folder sits in the bench build folder, beside Wipora.exe.
    std::string doubles = WIPORA_DOUBLES_DIR;
    std::string bench = doubles.substr(0, doubles.rfind('/'));
    return CopyIntoPrefix(bench + "/Wipora.exe", "Wipora.exe");
}

}  // namespace appfixture
