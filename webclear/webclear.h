// Web-to-Host clearing: the clear sequence, its tasks, and the cache clearing.
#pragma once
#include <windows.h>

void ClearWebToHost(HWND ownerWindow);
void RemoveActiveXControls();
void RemoveFileAssociations(bool webToHost);
void RemoveProgramFilesAndPlugins();
void RemoveDownloadedProgramFiles();
void RemoveWebLauncherDeployment(const char* profileName);
void RemoveWebUserData(HWND ownerWindow);
void ClearInternetCache();
