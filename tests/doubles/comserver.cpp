// Stand-in COM server: DllUnregisterServer appends "<bitness> <own path>" to
// the file named by the environment variable WIPORA_COM_LOG (or to
// C:\wipora-tests\comserver.log) and fails, so callers must not rely on success.
#include <windows.h>
#include <cstdio>

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" HRESULT __stdcall DllUnregisterServer()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    char log[MAX_PATH] = "C:\\wipora-tests\\comserver.log";
    GetEnvironmentVariableA("WIPORA_COM_LOG", log, MAX_PATH);
    HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        char line[MAX_PATH + 16];
        int n = std::snprintf(line, sizeof line, "%d %s\r\n", (int)(sizeof(void*) * 8), path);
        DWORD written;
        WriteFile(h, line, n, &written, nullptr);
        CloseHandle(h);
    }
    return E_FAIL;
}

extern "C" HRESULT __stdcall DllRegisterServer() { return S_OK; }
