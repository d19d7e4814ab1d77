// The folders that tree deletion refuses to empty: drive and share roots, the
// system's own folders, every user profile root with its Desktop, Documents,
// application-data and temporary folders, and every ancestor of one of these. A registry
// value naming one of them (a working directory, a download folder) must not
// wipe it; everything below them stays deletable.
//
// The list is gathered once per process; each refusal test then costs one
// open (or, where that fails, one long-name look-up), whatever the size of
// the tree.
#include "services/protected_folders.h"

#include <shlobj.h>
#include <cstring>

#include "services/run_context.h"
#include "services/library_loader.h"
#include "services/path_text.h"

namespace {

constexpr int kMaxProtected = 96;
constexpr int kMaxSuffixes = 32;
constexpr DWORD kDontVerify = 0x4000;   // CSIDL_FLAG_DONT_VERIFY, KF_FLAG_DONT_VERIFY

// Folders, in canonical form: absolute, no trailing backslash.
struct ProtectedList {
    bool ready;
    int count;
    char folders[kMaxProtected][kPathSize];
    char profiles[kPathSize];                   // the folder holding the user profiles
    char userProfile[kPathSize];                // the user's own profile, canonical
    int suffixCount;
    char profileSuffixes[kMaxSuffixes][kPathSize];   // "Desktop", "AppData\Roaming", ...
};
ProtectedList protectedList;

const int kProtectedCsidls[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PROFILE,
    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS,
    CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_STARTMENU,
    CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTUP,
    CSIDL_COMMON_STARTUP,
};

const char* const kProtectedVariables[] = {
    "SystemRoot", "windir", "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432",
    "CommonProgramFiles", "CommonProgramFiles(x86)", "CommonProgramW6432", "ProgramData",
    "ALLUSERSPROFILE", "PUBLIC", "USERPROFILE", "APPDATA", "LOCALAPPDATA", "TEMP", "TMP",
};

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
const GUID kLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6,
                               {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
// {0762D272-C50A-4BB0-A382-697DCD729B80}
const GUID kUserProfiles = {0x0762D272, 0xC50A, 0x4BB0,
                            {0xA3, 0x82, 0x69, 0x7D, 0xCD, 0x72, 0x9B, 0x80}};
// {DFDF76A2-C82A-4D63-906A-5644AC457385}
const GUID kPublic = {0xDFDF76A2, 0xC82A, 0x4D63,
                      {0x90, 0x6A, 0x56, 0x44, 0xAC, 0x45, 0x73, 0x85}};

using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using GetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID*, DWORD, HANDLE, PWSTR*);
using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
using GetWow64DirectoryFn = UINT(WINAPI*)(LPSTR, UINT);

// --- Path syntax -----------------------------------------------------------

// Bytes of the component starting at p, up to the next backslash or the end;
// the trail byte of a double-byte character never ends it.
size_t ComponentLength(const char* p)
{
    size_t n = 0;
    while (p[n] && p[n] != '\\')
        n += (IsDBCSLeadByte(static_cast<BYTE>(p[n])) && p[n + 1]) ? 2 : 1;
    return n;
}

// A component Windows would not take literally: empty, "." or "..", ending
// in a dot or a blank (Windows drops those), or holding a wildcard, a
// forward slash, a stream colon or a control character.
bool IsPlainComponent(const char* p, size_t n)
{
    if (n == 0 || p[n - 1] == '.' || p[n - 1] == ' ') return false;   // also "." and ".."
    for (size_t i = 0; i < n; ++i) {
        BYTE c = static_cast<BYTE>(p[i]);
        if (IsDBCSLeadByte(c) && i + 1 < n) {
            ++i;
            continue;
        }
        if (c < 32 || std::strchr("/:*?\"<>|", c)) return false;
    }
    return true;
}

// How many components lie below the root of an absolute folder path without
// a trailing backslash ("C:\a\b" 2, "\\server\share\a" 1); -1 for anything
// that is not a plain absolute path (relative, device or malformed).
int DepthBelowRoot(const char* path)
{
    const char* p;
    int rootComponents;
    BYTE drive = static_cast<BYTE>(path[0]);
    if (((drive | 0x20) >= 'a' && (drive | 0x20) <= 'z') && path[1] == ':') {
        if (path[2] == '\0') return 0;
        if (path[2] != '\\') return -1;   // "C:folder" is relative to a current folder
        p = path + 3;
        rootComponents = 0;
    } else if (path[0] == '\\' && path[1] == '\\') {
        p = path + 2;
        rootComponents = 2;               // server and share
    } else {
        return -1;
    }
    int count = 0;
    while (*p) {
        size_t n = ComponentLength(p);
        if (!IsPlainComponent(p, n)) return -1;
        ++count;
        p += n;
        if (*p == '\\' && *++p == '\0') return -1;   // a doubled or trailing backslash
    }
    if (count < rootComponents) return -1;
    return count - rootComponents;
}

// Copies folder without one trailing backslash ("C:\" becomes the root "C:").
// A doubled one stays, so that the path counts as malformed. Both tests are
// made by characters: "C:\x\\x83\x5C\" ends in one backslash after a
// katakana letter whose trail byte is 0x5C, not in two.
bool Canonical(const char* folder, char* out)
{
    if (!CopyText(out, kPathSize, folder)) return false;
    size_t n = std::strlen(out);
    if (n > 2 && EndsWithBackslash(out)) {
        out[n - 1] = '\0';
        if (EndsWithBackslash(out)) out[n - 1] = '\\';
    }
    return true;
}

// Whether ancestor names the same folder as path or one of its ancestors,
// comparing component by component without regard to case.
bool IsSameOrAncestor(const char* ancestor, const char* path)
{
    const char* a = ancestor;
    const char* b = path;
    while (*a) {
        if (!*b) return false;
        size_t na = ComponentLength(a);
        size_t nb = ComponentLength(b);
        if (na == 0 || nb == 0) {
            if (na != nb) return false;   // the empty leading parts of "\\server"
        } else if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, (int)na, b, (int)nb) !=
            CSTR_EQUAL)
            return false;
        a += na;
        b += nb;
        if (*a == '\\') ++a;
        if (*b == '\\') ++b;
    }
    return true;
}

// --- Gathering the list, once ------------------------------------------------

// False when folder was listed already (in any case), true otherwise.
bool AddCanonical(const char* folder)
{
    char canonical[kPathSize];
    if (!folder[0] || !Canonical(folder, canonical) || DepthBelowRoot(canonical) < 0) return true;
    for (int i = 0; i < protectedList.count; ++i)
        if (lstrcmpiA(protectedList.folders[i], canonical) == 0) return false;
    if (protectedList.count < kMaxProtected)
        CopyText(protectedList.folders[protectedList.count++], kPathSize, canonical);
    return true;
}

// The folder a path finally names, links and short names resolved; false
// when it cannot be told (missing folder, an older system).
bool FinalPath(const char* folder, char* out)
{
    static GetFinalPathFn getFinalPath = reinterpret_cast<GetFinalPathFn>(
        GetProcAddress(GetModuleHandleA("kernel32"), "GetFinalPathNameByHandleA"));
    if (!getFinalPath) return false;
    HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    char final[kPathSize] = "";
    DWORD length = getFinalPath(handle, final, sizeof final, FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    if (length == 0 || length >= sizeof final) return false;
    if (std::strncmp(final, "\\\\?\\UNC\\", 8) == 0) {
        out[0] = '\\';
        return CopyText(out + 1, kPathSize - 1, final + 7);
    }
    if (std::strncmp(final, "\\\\?\\", 4) == 0) return CopyText(out, kPathSize, final + 4);
    return CopyText(out, kPathSize, final);
}

// Adds folder as written and as it finally resolves. The same folder comes
// from several sources (CSIDL, known folder, environment, system directory
// calls); a folder listed already was resolved when it was first listed, or
// was listed as a resolved path itself, so it is not opened again.
void AddFolder(const char* folder)
{
    if (!AddCanonical(folder)) return;
    char resolved[kPathSize];
    if (FinalPath(folder, resolved)) AddCanonical(resolved);
}

void AddShellFolders()
{
    HMODULE shfolder = LoadSystemLibrary("shfolder.dll");
    if (!shfolder) return;
    auto getFolderPath = reinterpret_cast<GetFolderPathFn>(
        GetProcAddress(shfolder, "SHGetFolderPathA"));
    for (int csidl : kProtectedCsidls) {
        char folder[kPathSize] = "";
        if (getFolderPath && getFolderPath(nullptr, csidl | kDontVerify, nullptr,
                                           SHGFP_TYPE_CURRENT, folder) == S_OK &&
            strnlen(folder, sizeof folder) < sizeof folder) {
            AddFolder(folder);
            // Kept for the profile suffixes: under Wine this one answer costs
            // as much as all the other folders together.
            if (csidl == CSIDL_PROFILE) Canonical(folder, protectedList.userProfile);
        }
    }
    FreeLibrary(shfolder);
}

bool KnownFolder(GetKnownFolderPathFn getKnownFolderPath, const GUID& id, char* out)
{
    PWSTR wide = nullptr;
    HRESULT status = getKnownFolderPath(&id, kDontVerify, nullptr, &wide);
    bool ok = status == S_OK && wide &&
              WideCharToMultiByte(CP_ACP, 0, wide, -1, out, kPathSize, nullptr, nullptr) > 0;
    CoTaskMemFree(wide);
    return ok;
}

// LocalLow, Public and the profiles folder exist as known folders only (6.0+).
void AddKnownFolders()
{
    HMODULE shell32 = LoadSystemLibrary("shell32.dll");
    if (!shell32) return;
    auto getKnownFolderPath = reinterpret_cast<GetKnownFolderPathFn>(
        GetProcAddress(shell32, "SHGetKnownFolderPath"));
    if (getKnownFolderPath) {
        char folder[kPathSize];
        if (KnownFolder(getKnownFolderPath, kLocalAppDataLow, folder)) AddFolder(folder);
        if (KnownFolder(getKnownFolderPath, kPublic, folder)) AddFolder(folder);
        if (KnownFolder(getKnownFolderPath, kUserProfiles, folder))
            Canonical(folder, protectedList.profiles);
    }
    FreeLibrary(shell32);
}

void AddSystemFolders()
{
    char folder[kPathSize];
    UINT n = GetWindowsDirectoryA(folder, sizeof folder);
    if (n > 0 && n < sizeof folder) {
        AddFolder(folder);
        char sub[kPathSize];
        if (JoinPath(sub, sizeof sub, folder, "System32")) AddFolder(sub);
        if (JoinPath(sub, sizeof sub, folder, "SysWOW64")) AddFolder(sub);
        if (JoinPath(sub, sizeof sub, folder, "System")) AddFolder(sub);
    }
    n = GetSystemDirectoryA(folder, sizeof folder);
    if (n > 0 && n < sizeof folder) AddFolder(folder);
    auto getWow64Directory = reinterpret_cast<GetWow64DirectoryFn>(
        GetProcAddress(GetModuleHandleA("kernel32"), "GetSystemWow64DirectoryA"));
    if (getWow64Directory) {
        n = getWow64Directory(folder, sizeof folder);
        if (n > 0 && n < sizeof folder) AddFolder(folder);
    }
    // The temporary folder is every program's: the suite's own folders below
    // it may be emptied, the folder itself may not.
    n = GetTempPathA(sizeof folder, folder);
    if (n > 0 && n < sizeof folder) {
        AddFolder(folder);
        char longForm[kPathSize];
        n = GetLongPathNameA(folder, longForm, sizeof longForm);
        if (n > 0 && n < sizeof longForm) AddFolder(longForm);
    }
    for (const char* name : kProtectedVariables) {
        n = ReadEnvironmentText(name, folder, sizeof folder);
        if (n > 0 && n < sizeof folder) AddFolder(folder);
    }
}

// Every protected folder below the user's own profile, relative to it, so
// that the same folders of any other profile are protected as well.
void CollectProfileSuffixes()
{
    const char* profile = protectedList.userProfile;
    if (!profile[0] || DepthBelowRoot(profile) < 1) return;
    if (!protectedList.profiles[0]) {
        // Without the known folder, the profile's parent holds the profiles.
        CopyText(protectedList.profiles, kPathSize, profile);
        *LastBackslash(protectedList.profiles) = '\0';   // DepthBelowRoot >= 1: there is one
    }
    size_t length = std::strlen(profile);
    for (int i = 0; i < protectedList.count && protectedList.suffixCount < kMaxSuffixes; ++i) {
        const char* folder = protectedList.folders[i];
        if (std::strlen(folder) > length + 1 && folder[length] == '\\' &&
            IsSameOrAncestor(profile, folder))
            CopyText(protectedList.profileSuffixes[protectedList.suffixCount++], kPathSize,
                     folder + length + 1);
    }
}

void EnsureProtectedList()
{
    if (protectedList.ready) return;
    AddSystemFolders();
    AddShellFolders();
    AddKnownFolders();
    CollectProfileSuffixes();
    if (DepthBelowRoot(protectedList.profiles) >= 1) AddFolder(protectedList.profiles);
    protectedList.ready = true;
}

// --- The test ----------------------------------------------------------------

// Below the profiles folder: a profile root, or the same or an ancestor of one
// of a profile's protected folders.
bool IsProtectedInProfile(const char* folder)
{
    const char* profiles = protectedList.profiles;
    size_t length = std::strlen(profiles);
    if (!profiles[0] || std::strlen(folder) <= length + 1 || folder[length] != '\\' ||
        !IsSameOrAncestor(profiles, folder))
        return false;
    const char* user = folder + length + 1;
    const char* rest = user + ComponentLength(user);
    if (*rest == '\0') return true;   // the profile's root
    ++rest;
    for (int i = 0; i < protectedList.suffixCount; ++i)
        if (IsSameOrAncestor(rest, protectedList.profileSuffixes[i])) return true;
    return false;
}

bool IsListed(const char* folder)
{
    for (int i = 0; i < protectedList.count; ++i)
        if (IsSameOrAncestor(folder, protectedList.folders[i])) return true;
    return IsProtectedInProfile(folder);
}

// One spelling of a folder: protected when it is a root, not plain, or listed.
bool IsProtectedSpelling(const char* folder)
{
    char canonical[kPathSize];
    if (!Canonical(folder, canonical)) return true;
    return DepthBelowRoot(canonical) < 1 || IsListed(canonical);
}

}  // namespace

bool IsProtectedFolder(const char* folder)
{
    if (!folder || strnlen(folder, kPathSize) == kPathSize) return true;
    EnsureProtectedList();
    if (IsProtectedSpelling(folder)) return true;
    // Short names and links can spell a protected folder differently. The
    // final path resolves both; only where it cannot be had (no such call on
    // the system, a folder that cannot be opened) is the long name looked up,
    // which resolves short names alone and costs more than the final path
    // under Wine (a listing per component).
    char other[kPathSize];
    if (FinalPath(folder, other)) return IsProtectedSpelling(other);
    DWORD n = GetLongPathNameA(folder, other, sizeof other);
    return n > 0 && n < sizeof other && IsProtectedSpelling(other);
}
