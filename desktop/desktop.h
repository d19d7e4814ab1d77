// Served Desktop uninstall.
#pragma once
#include <windows.h>

int UninstallServedDesktop();
int RemoveDesktopInstallation(HWND ownerWindow);
void RemoveInstalledFiles();
void RemoveProductRegistry();
void DeleteKeyTree(HKEY key);
void DeleteGroupShortcuts();
void RemoveProgramGroup();
