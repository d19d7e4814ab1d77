// Registry links, seen from this 32-bit process: a key opened without
// KEY_WOW64_32KEY or KEY_WOW64_64KEY lies in the 32-bit view.
#pragma once
#include <windows.h>

// Whether the key path below parent (opened in view) is itself a registry
// link, a key made with REG_OPTION_CREATE_LINK. Keys above it are followed as
// usual; only the last one is looked at.
bool IsRegistryLink(HKEY parent, const char* path, REGSAM view);
// Whether that key or any key below it is a registry link.
bool TreeHoldsRegistryLink(HKEY parent, const char* path, REGSAM view);
