// Placeholders until the Web-to-Host tasks land.
#include "webclear/webclear.h"
void ClearWebToHost(HWND) {}
void RemoveActiveXControls() {}
void RemoveFileAssociations(bool) {}
void RemoveProgramFilesAndPlugins() {}
void RemoveDownloadedProgramFiles() {}
void RemoveWebLauncherDeployment(const char*) {}
void RemoveWebUserData(HWND) {}
void ClearInternetCache() {}
