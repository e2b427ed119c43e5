// The installation check made before anything else: the product's companion
// files must be present and the host's and tray program's file versions must
// match the installed version. A failed check tells the user to reinstall.
#pragma once

#include <string>

// The six companion files, relative to this program's folder, in test order.
inline constexpr const char* kCompanionFiles[] = {
    "Temperature.dll",   "Register.dll", "VlxUpdater.exe",
    "skin\\classic.dll", "VlxMain.exe",  "VlxTray.exe",
};
inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1";

// All six companion files exist (stops at the first missing one).
bool FilesComplete();
// "DisplayVersion" of the uninstall key equals, ignoring case, the leading part of
// the file versions of "VlxMain.exe" and "VlxTray.exe" of its own length.
bool VersionsConsistent();
// Both halves (both always evaluated); on failure tells the user which way the
// installation is broken and opens the product's support page. True when it passes.
bool CheckBaseFiles();
