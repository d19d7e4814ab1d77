// Placeholders until the Served Desktop uninstall lands.
#include "desktop/desktop.h"
int UninstallServedDesktop() { return 1; }
int RemoveDesktopInstallation(HWND) { return 0; }
void RemoveInstalledFiles() {}
void RemoveProductRegistry() {}
void DeleteKeyTree(HKEY) {}
void DeleteGroupShortcuts() {}
void RemoveProgramGroup() {}
