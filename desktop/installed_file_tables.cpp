#include "desktop/installed_file_tables.h"

const char* const kInstalledFiles[] = {
    // Executables.
    "OVSESMGR.EXE", "OV3270.EXE", "OV5250.EXE", "OVVT.EXE", "OVUNISYS.EXE", "OV3287.EXE",
    "OV3812.EXE", "OVUNIPRT.EXE", "OVFTP.EXE", "OVPRTSRV.EXE", "OVMACED.EXE", "OVSCRED.EXE",
    "OVKEYED.EXE", "OVCOLED.EXE", "OVHOTED.EXE", "OVTOOLED.EXE", "OVCONFIG.EXE", "OVPROFIL.EXE",
    "OVTRACE.EXE", "OVCERTMG.EXE", "OVSCRRUN.EXE", "OVLAUNCH.EXE", "OVUNINST.EXE",
    // Libraries under the standard HLLAPI interface names.
    "HLLAPI.DLL", "HLLAPI32.DLL", "HLLAPI64.DLL", "EHLLAPI.DLL", "EHLAPI32.DLL", "EHLAPI64.DLL",
    "WHLLAPI.DLL", "WHLAPI32.DLL", "WHLAPI64.DLL", "PCSHLL32.DLL",
    // The managed framework.
    "Ostrevan.Core.dll", "Ostrevan.Common.dll", "Ostrevan.Config.dll", "Ostrevan.Session.dll",
    "Ostrevan.Display.dll", "Ostrevan.Printing.dll", "Ostrevan.Transfer.dll",
    "Ostrevan.Scripting.dll", "Ostrevan.Macros.dll", "Ostrevan.Security.dll",
    "Ostrevan.Certificates.dll", "Ostrevan.Licensing.dll", "Ostrevan.Logging.dll",
    "Ostrevan.Resources.dll", "Ostrevan.UI.dll", "Ostrevan.Interop.dll", "Ostrevan.Launcher.dll",
    "Ostrevan.Updater.dll",
    // Runtime libraries installed beside the programs.
    "msvcm90.dll", "msvcp80.dll", "msvcp90.dll", "msvcr80.dll", "msvcr90.dll", "msvcp100.dll",
    "msvcr100.dll",
    // OpenSSL and logging.
    "LIBEAY32.DLL", "SSLEAY32.DLL", "LOG4NET.DLL",
    // Emulation, transfer, scripting and image libraries.
    "OVEMU3270.DLL", "OVEMU5250.DLL", "OVEMUVT.DLL", "OVEMUUNI.DLL", "OVPRT3287.DLL",
    "OVPRT3812.DLL", "OVNETIO.DLL", "OVSSLIO.DLL", "OVXFER.DLL", "OVXFRCOM.DLL", "OVIND$FL.DLL",
    "OVHLLCOM.DLL", "OVHLLAPI.DLL", "OVSCRIPT.DLL", "OVSCRVBA.DLL", "OVMACRO.DLL", "OVKEYMAP.DLL",
    "OVCOLOR.DLL", "OVHOTSPT.DLL", "OVIMAGE.DLL", "OVGIF.DLL", "OVFONTS.DLL", "OVRES.DLL",
    // Help.
    "OV3270.HLP", "OV5250.HLP", "OVVT.HLP", "OVUNISYS.HLP", "OVPRINT.HLP", "OVFTP.HLP",
    "OVMACRO.HLP", "OVSESMGR.HLP", "OVUSER.CHM", "OVADMIN.CHM", "OVSCRIPT.CHM", "OVHLLAPI.CHM",
    "OVSECURE.CHM",
    // Web pages.
    "README.HTM", "README.CSS", "PRINT.CSS",
    // INI files.
    "desktop.ini", "global.ini", "OVSESMGR.INI", "OVPRTSRV.INI", "OVTRACE.INI",
    // Text files.
    "README.TXT", "LICENSE.TXT", "RELNOTES.TXT",
    // Fonts.
    "OV3270.FON", "OV5250.FON",
    // Runtime manifests.
    "microsoft.vc80.crt.manifest", "microsoft.vc90.crt.manifest",
    // Other.
    "OVHLLAPI.H", "OVCERTS.CAB", "OVKEYS.DAT", "OVCODEPG.DAT", "OVDEF32.DAT", "OVDEF64.DAT",
};
static_assert(sizeof kInstalledFiles / sizeof kInstalledFiles[0] == kInstalledFileCount,
              "the installer's file set has 118 names");

const char* const kRebootDeferredFiles[] = {"OVXFRCOM.DLL", "OVHLLCOM.DLL", "OVUNINST.EXE"};

const char* const kUserDataFolders[] = {"Certs",    "Config", "Macros", "Scripts",
                                        "Transfer", "Spool",  "Traces", "Cache"};

const char* const kDataStaysPatterns[] = {"*.0", "*.ini", "*.txt"};

const char* const kDesktopShortcuts[] = {
    "Mainframe Display.LNK", "Mainframe Printer.LNK", "AS400 Display.LNK", "AS400 Printer.LNK",
    "Unisys Display.LNK", "Unisys Printer.LNK", "VT Display.LNK", "HP Display.LNK",
    "Tandem Display.LNK", "Wang Display.LNK", "Telnet Display.LNK",
    "Ostrevan Session Manager.LNK", "Ostrevan FTP Client.LNK", "Ostrevan Script Editor.LNK",
    "Ostrevan Macro Editor.LNK", "Ostrevan Print Server.LNK", "Ostrevan Configuration.LNK",
};
static_assert(sizeof kDesktopShortcuts / sizeof kDesktopShortcuts[0] == kDesktopShortcutCount,
              "the installer puts 17 shortcuts on the desktop");

const char kStartupShortcut[] = "Ostrevan Session Manager.LNK";
