#include "desktop/path_checks.h"

#include <cstring>

#include "services/path_text.h"
#include "services/deletion_check.h"

namespace {

// Bytes of the component at part, up to the next backslash or slash; the
// trail byte of a double-byte character (0x5C in many) never ends it.
size_t ComponentBytes(const char* part)
{
    size_t n = 0;
    while (part[n] && part[n] != '\\' && part[n] != '/')
        n += IsDBCSLeadByte(static_cast<BYTE>(part[n])) && part[n + 1] ? 2 : 1;
    return n;
}

}  // namespace

bool HasDotComponent(const char* path)
{
    const char* part = path;
    while (*part) {
        size_t len = ComponentBytes(part);
        if ((len == 1 && part[0] == '.') || (len == 2 && part[0] == '.' && part[1] == '.'))
            return true;
        part += len;
        if (*part) ++part;
    }
    return false;
}

bool IsPlainLocalFolder(const char* path)
{
    char drive = path[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || path[1] != ':' || path[2] != '\\') return false;
    if (std::strpbrk(path, "/*?")) return false;
    // An empty component, found by characters: "\x83\x5C\\" is a katakana
    // letter and one backslash.
    if (FindText(path + 2, "\\\\")) return false;
    return !HasDotComponent(path + 3);
}

bool IsOrdinaryFolder(const char* path)
{
    return IsPlainLocalFolder(path) && CheckFolder(path) == kPathAllowed;
}
