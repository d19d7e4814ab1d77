// Deletes one tree with the program's DeleteTree and prints the elapsed time
// and the peak working set: treebench <pattern>
#include <windows.h>
#include <psapi.h>
#include <cstdio>

#include "app/run_context.h"
#include "services/tree_delete.h"

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    DeleteTree(argv[1], true);
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS pmc = {sizeof pmc};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    std::printf("elapsed_ms %.1f peak_working_set_kb %lu\n",
                1000.0 * (end.QuadPart - start.QuadPart) / freq.QuadPart,
                (unsigned long)(pmc.PeakWorkingSetSize / 1024));
    return 0;
}
