// Registry key deletion in the process's own view and in an explicit one.
//
// Wipora is a 32-bit program: SHDeleteKeyA under HKEY_LOCAL_MACHINE, and a key
// opened without KEY_WOW64_32KEY or KEY_WOW64_64KEY, act in the 32-bit view.
#pragma once
#include <windows.h>

// SHDeleteKeyA(root, path): the tree in the process's own (32-bit) view.
LONG DeleteKeyInProcessView(HKEY root, const char* path);
// Deletes path with all its sub-keys in an explicit view (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY): opens the parent in that view and deletes below it.
LONG DeleteKeyInView(HKEY root, const char* path, REGSAM view);
// Both refuse (ERROR_ACCESS_DENIED, nothing deleted) a tree that is or holds a
// registry link: SHDeleteKeyA follows a link and deletes the tree it points
// at, which is never the suite's.

// Whether the key path below parent (opened in view) is itself a registry
// link, a key made with REG_OPTION_CREATE_LINK. Keys above it are followed as
// usual; only the last one is looked at.
bool IsRegistryLink(HKEY parent, const char* path, REGSAM view);
// Whether that key or any key below it is a registry link.
bool TreeHoldsRegistryLink(HKEY parent, const char* path, REGSAM view);
