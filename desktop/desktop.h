// Served Desktop uninstall.
#pragma once
#include <windows.h>

int UninstallServedDesktop();
int RemoveDesktopInstallation(HWND ownerWindow);
void RemoveInstalledFiles();
void RemoveProductRegistry();
struct KeyPlace;
// Deletes every sub-key of key (which lies at place), depth first; key and its
// values stay.
void DeleteKeyTree(HKEY key, const KeyPlace& place);
void DeleteGroupShortcuts();
void RemoveProgramGroup();
