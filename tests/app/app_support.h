// Shared fixtures of the run control tests: copies of the built programs
// inside the prefix's drive C: (drive Z: is removed from the bench prefix, so
// build files are reached once, through Wine's Unix path form, and copied).
#pragma once
#include <string>

namespace appfixture {

// Copies the file at unixPath to C:\wipora-bin\fileName (replacing an older
// copy); the Windows path of the copy, or "" when the copy failed.
std::string CopyIntoPrefix(const std::string& unixPath, const std::string& fileName);
// The 32-bit product build/Wipora.exe, copied into the prefix.
std::string Program32();
// build/Wipora.exe again, copied under its own name.
std::string BenchProgram();

}  // namespace appfixture
