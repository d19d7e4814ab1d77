// Shell folders, the browser's low-integrity substitutes and the Web-to-Host
// cache root. Nothing here is ever cut to fit: a folder that does not fit its
// 260-byte buffer is a failed route, so no caller deletes below a shorter,
// different folder.
#include "services/folders.h"

#include <shlobj.h>
#include <cstring>

#include "services/run_context.h"
#include "services/library_loader.h"
#include "services/path_text.h"

namespace {

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
const GUID kLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6,
                               {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
constexpr DWORD kKnownFolderCreateInit = 0x8800;   // KF_FLAG_CREATE | KF_FLAG_INIT
constexpr DWORD kKnownFolderDontVerify = 0x4000;   // KF_FLAG_DONT_VERIFY

using GetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID*, DWORD, HANDLE, PWSTR*);
using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

// The shell before version 5: an item list turned into a path.
HRESULT ResolveWithOldShell(int csidl, char* work)
{
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl & 0xFFFF, &items))) return kFolderRouteFailed;
    HRESULT status = SHGetPathFromIDListA(items, work) ? S_OK : kFolderRouteFailed;
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc))) {
        shellMalloc->Free(items);
        shellMalloc->Release();
    }
    return status;
}

// shfolder.dll's SHGetFolderPathA; fallback is the status to keep when the
// DLL or the function is missing.
HRESULT ResolveWithShfolder(int csidl, char* work, HRESULT fallback)
{
    HMODULE shfolder = LoadSystemLibrary("shfolder.dll");
    if (!shfolder) return fallback;
    HRESULT status = fallback;
    auto getFolderPath = reinterpret_cast<GetFolderPathFn>(
        GetProcAddress(shfolder, "SHGetFolderPathA"));
    if (getFolderPath)
        status = getFolderPath(nullptr, csidl & 0xFFFF, nullptr, SHGFP_TYPE_CURRENT, work);
    FreeLibrary(shfolder);
    return status;
}

// Per-user or all-users folder, as the platform, forceUser and baseRegistry say.
int ChooseFolder(bool forceUser, int common, int perUser)
{
    bool useCommon = OnNtPlatform() && !forceUser && runContext.baseRegistry != 2;
    return useCommon ? common : perUser;
}

// ResolveFolder with a trailing backslash; an unresolved folder, an empty one
// or one without room for the backslash leaves out empty.
bool ResolveFolderWithBackslash(int csidl, char* out)
{
    char folder[kPathSize] = "";
    bool ok = ResolveFolder(csidl, folder) == S_OK && folder[0] != '\0' &&
              EnsureBackslash(folder, sizeof folder) && CopyText(out, kPathSize, folder);
    if (!ok) out[0] = '\0';
    return ok;
}

// The Web key's one-byte "CacheMode", opened by the suite's read rule in the
// current view; 0 when the key or the value is missing or does not fit one byte.
BYTE ReadCacheMode()
{
    REGSAM access = KEY_READ | runContext.viewAccessMask;
    HKEY key = nullptr;
    LONG rc;
    if (runContext.baseRegistry == 2) {
        rc = RegOpenKeyExA(HKEY_CURRENT_USER, runContext.webKeyPath, 0, access, &key);
        if (rc != ERROR_SUCCESS)
            rc = RegOpenKeyExA(runContext.writableUserKey, runContext.webKeyPath, 0, access, &key);
    } else {
        rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, runContext.webKeyPath, 0, access, &key);
    }
    if (rc != ERROR_SUCCESS) return 0;
    BYTE value = 0;
    DWORD size = 1;
    // A failed query may still have written into the buffer: only a complete
    // read counts.
    rc = RegQueryValueExA(key, "CacheMode", nullptr, nullptr, &value, &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? value : 0;
}

// The temporary folder in its long form, with its trailing backslash, plus
// "Low\" in a low-integrity pass. False when it does not fit.
bool ResolveTempRoot(char* out)
{
    char shortForm[kPathSize] = "";
    DWORD length = GetTempPathA(kPathSize, shortForm);
    if (length == 0 || length >= kPathSize) return false;
    char longForm[kPathSize] = "";
    DWORD longLength = GetLongPathNameA(shortForm, longForm, kPathSize);
    if (longLength >= kPathSize) return false;
    // A folder that does not exist yet has no long form to look up: the
    // temporary path then stands as GetTempPathA gave it.
    if (longLength == 0 && !CopyText(longForm, sizeof longForm, shortForm)) return false;
    if (runContext.lowIntegrityPass &&
        !(EnsureBackslash(longForm, sizeof longForm) && AppendText(longForm, sizeof longForm, "Low\\")))
        return false;
    return CopyText(out, kPathSize, longForm);
}

// The LocalLow folder as a single-byte path into a zero-filled 260-byte
// buffer; a path that does not convert completely fails the route.
HRESULT QueryLocalLow(GetKnownFolderPathFn getKnownFolderPath, char* converted)
{
    PWSTR wide = nullptr;
    // A preview changes nothing: it does not make a missing LocalLow folder.
    DWORD flags = runContext.previewRun ? kKnownFolderDontVerify : kKnownFolderCreateInit;
    HRESULT status = getKnownFolderPath(&kLocalAppDataLow, flags, nullptr, &wide);
    if (wide) {
        int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, converted, kPathSize, nullptr, nullptr);
        if (bytes == 0 && status == S_OK) status = kFolderRouteFailed;   // would not fit
    } else if (status == S_OK) {
        status = kFolderRouteFailed;
    }
    CoTaskMemFree(wide);   // freed whatever the status
    return status;
}

}  // namespace

HRESULT ResolveLocalLowFolder(int csidl, char* out, bool lowIntegrity, DWORD osMajor)
{
    int id = csidl & 0xFFFF;
    if (!lowIntegrity || osMajor < 6 || (id != CSIDL_PERSONAL && id != CSIDL_APPDATA))
        return kFolderRouteFailed;
    HMODULE shell32 = LoadSystemLibrary("shell32.dll");
    if (!shell32) return kFolderRouteFailed;
    HRESULT status = kFolderRouteFailed;
    char converted[kPathSize] = {};
    auto getKnownFolderPath = reinterpret_cast<GetKnownFolderPathFn>(
        GetProcAddress(shell32, "SHGetKnownFolderPath"));
    if (getKnownFolderPath) status = QueryLocalLow(getKnownFolderPath, converted);
    FreeLibrary(shell32);
    if (status != S_OK) return status;
    CopyText(out, kPathSize, converted);   // converted fits by construction
    return S_OK;
}

HRESULT ResolveFolder(int csidl, char* out)
{
    char work[kPathSize] = {};
    HRESULT status;
    if (runContext.osVersion.dwMajorVersion < 5) {
        status = ResolveWithOldShell(csidl, work);
    } else {
        status = ResolveLocalLowFolder(csidl, work, runContext.lowIntegrityPass != 0,
                                       runContext.osVersion.dwMajorVersion);
        if (status != S_OK) status = ResolveWithShfolder(csidl, work, status);
    }
    // The shell writes at most MAX_PATH bytes; a missing terminator is no path.
    if (status == S_OK && strnlen(work, sizeof work) == sizeof work) status = kFolderRouteFailed;
    if (status == S_OK) CopyText(out, kPathSize, work);
    return status;
}

bool GetDesktopFolder(char* out, bool forceUser)
{
    return ResolveFolderWithBackslash(
        ChooseFolder(forceUser, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY), out);
}

bool GetStartupFolder(char* out, bool forceUser)
{
    return ResolveFolderWithBackslash(
        ChooseFolder(forceUser, CSIDL_COMMON_STARTUP, CSIDL_STARTUP), out);
}

bool GetProgramsFolder(char* out)
{
    return ResolveFolderWithBackslash(ChooseFolder(false, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS),
                                      out);
}

bool GetCacheRoot(char* out)
{
    BYTE mode = ReadCacheMode();
    int csidl = mode == 1 ? CSIDL_APPDATA : mode == 2 ? CSIDL_COMMON_APPDATA : 0;
    char folder[kPathSize] = "";
    if (csidl && ResolveFolder(csidl, folder) == S_OK && folder[0] != '\0')
        return CopyText(out, kPathSize, folder);
    if (ResolveTempRoot(out)) return true;
    out[0] = '\0';
    return false;
}

namespace {

// One iteration: the first reference in path, replaced by its value. False
// when there is none, when the variable is unset or empty, when its value
// does not fit a 260-byte buffer, or when the rewritten path would not fit.
bool ExpandFirstReference(char* path)
{
    char work[kPathSize];
    if (strnlen(path, kPathSize) == kPathSize || !CopyText(work, sizeof work, path)) return false;
    // Searched by characters, like every path here ('%', '<' and '>' are no
    // trail bytes in the double-byte code pages, but the walk costs nothing).
    const char* found = FindText(work, "%");
    if (!found) found = FindText(work, "<");
    if (!found) return false;
    char* open = work + (found - work);
    found = FindText(open + 1, "%");
    if (!found) found = FindText(open + 1, ">");
    if (!found) return false;
    char* close = work + (found - work);
    *open = '\0';
    *close = '\0';
    char value[kPathSize] = {};
    DWORD length = ReadEnvironmentText(open + 1, value, sizeof value);
    if (length == 0 || length >= sizeof value) return false;
    char rewritten[kPathSize];
    if (!CopyText(rewritten, sizeof rewritten, work) ||
        !AppendText(rewritten, sizeof rewritten, value) ||
        !AppendText(rewritten, sizeof rewritten, close + 1))
        return false;
    return CopyText(path, kPathSize, rewritten);
}

}  // namespace

void ExpandEnvironmentReferences(char* path)
{
    for (int i = 0; i < kMaxExpansions; ++i) {
        if (!ExpandFirstReference(path)) return;
    }
}
