// Deletes one tree with the program's DeleteTree and prints the elapsed time
// and the peak working set:       treebench <pattern>
// Or times the refusal test that every DeleteTree call and every desktop
// folder removal makes, n times:  treebench check <folder> <n>
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <cstdlib>

#include "services/run_context.h"
#include "services/protected_folders.h"
#include "services/tree_delete.h"

namespace {

double Milliseconds(const LARGE_INTEGER& start)
{
    LARGE_INTEGER freq, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&end);
    return 1000.0 * (end.QuadPart - start.QuadPart) / freq.QuadPart;
}

// The first call also gathers the protected folders, once per process.
int TimeCheck(const char* folder, int n)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    bool refused = IsProtectedFolder(folder);
    double first = Milliseconds(start);
    QueryPerformanceCounter(&start);
    for (int i = 1; i < n; ++i) refused = IsProtectedFolder(folder) && refused;
    std::printf("first_ms %.2f each_ms %.3f refused %d\n", first,
                n > 1 ? Milliseconds(start) / (n - 1) : 0.0, refused ? 1 : 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && !lstrcmpA(argv[1], "check")) return TimeCheck(argv[2], std::atoi(argv[3]));
    if (argc < 2) return 2;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    DeleteTree(argv[1], true);
    double elapsed = Milliseconds(start);
    PROCESS_MEMORY_COUNTERS pmc = {sizeof pmc};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    std::printf("elapsed_ms %.1f peak_working_set_kb %lu\n", elapsed,
                (unsigned long)(pmc.PeakWorkingSetSize / 1024));
    return 0;
}
