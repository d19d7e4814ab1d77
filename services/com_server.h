// Asks a COM server DLL of the suite to remove its own registration.
#pragma once

// 32-bit pass: in process through DllUnregisterServer (true when the DLL
// loaded and exports it). 64-bit pass: RegSvr32.exe /u /s "<path>" out of
// process, waited for without time-out (true when it was started and ended).
bool UnregisterComServer(const char* path);
