#pragma once

#include <windows.h>

#include <string>

// The uninstall offer in the system's list of programs, and the uninstall itself. The entry is
// the key "Software\Microsoft\Windows\CurrentVersion\Uninstall\marlock" with the values
// UninstallString and DisplayName, in HKEY_CURRENT_USER (NT) or HKEY_LOCAL_MACHINE.

// The command that the entry runs: the program's path, quoted only when it holds a blank,
// then " /delete".
std::string UninstallCommand(const std::string& programPath);

void RegisterUninstallEntry(HKEY hive);
void RemoveUninstallEntry(HKEY hive);
// Removes the options section and the application's key below "Software\fen works"; that key
// itself stays.
void DeleteSettingsKeys();

// Asks, and on Yes removes the options, the install marker, every shortcut and both uninstall
// entries, each step whatever the others did. False when the user said No. The program file
// stays.
bool RunUninstall();
