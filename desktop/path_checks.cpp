#include "desktop/path_checks.h"

#include <cstring>

#include "services/tree_delete.h"

bool HasDotComponent(const char* path)
{
    const char* part = path;
    while (*part) {
        size_t len = std::strcspn(part, "\\/");
        if ((len == 1 && part[0] == '.') || (len == 2 && part[0] == '.' && part[1] == '.'))
            return true;
        part += len;
        if (*part) ++part;
    }
    return false;
}

bool IsAbsoluteFolder(const char* path)
{
    char drive = path[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (letter && path[1] == ':' && path[2] == '\\') return true;
    return path[0] == '\\' && path[1] == '\\' && path[2] != '\0';
}

bool IsPlainLocalFolder(const char* path)
{
    char drive = path[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || path[1] != ':' || path[2] != '\\') return false;
    if (std::strpbrk(path, "/*?")) return false;
    if (std::strstr(path + 2, "\\\\")) return false;   // an empty component
    return !HasDotComponent(path + 3);
}

bool IsOrdinaryFolder(const char* path)
{
    return IsPlainLocalFolder(path) && !IsProtectedFolder(path) && !IsLinkedFolder(path);
}
