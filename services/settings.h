// The suite's settings that change where the program looks: "BaseRegistry"
// from the registry and the global.ini switches of the current view.
#pragma once
#include <windows.h>

void ReadBaseRegistry(bool useWebKey);
void ReadGlobalIni();
// Opens keyPath where baseRegistry says the settings live; RegOpenKeyExA's result.
LONG OpenSuiteKeyForRead(const char* keyPath, HKEY* key);
// Opens the per-user keyPath (HKCU, failing that writableUserKey), whatever
// baseRegistry says, for reading; RegOpenKeyExA's result.
LONG OpenUserKeyForRead(const char* keyPath, HKEY* key);
// The same for reading and writing; true on success.
bool OpenUserKeyForWrite(const char* keyPath, HKEY* key);
