// Stand-in Java Web Start: records its command line in the launch log and exits.
#include "launch_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    AppendCommandLineToLaunchLog();
    return 0;
}
