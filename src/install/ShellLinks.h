#pragma once

#include <windows.h>

#include <string>

// The program's shell shortcuts: "\Tidewipe.LNK" in the Send To, desktop and Start-menu
// programs folders, and "\Tidewipe uninstall.LNK" (with the argument "/delete") in the
// programs folder. Each points at the running program, unquoted, with the description
// "marlock".
//
// A folder that the user's Shell Folders do not name is passed over, as is a folder whose
// path with the file name would not fit the system's path limit: an empty folder would put the
// link at the root of the current drive, and a path cut to fit could name another file.

// Makes one link file through the shell's link object. `arguments` may be empty (none are
// stored then). Returns the result of the last step that ran; negative on failure, and then
// no new file is left.
HRESULT CreateShellLink(const std::string& target, const std::string& linkFile,
                        const std::string& description, const std::string& arguments);

// The path of a folder from the user's Shell Folders ("SendTo", "Desktop", "Programs"); false
// when there is none.
bool QueryShellFolder(const char* valueName, std::string& folder);

// True when the link file was made.
bool MakeSendToShortcut();
bool MakeDesktopShortcut();
bool MakeStartMenuShortcut();
bool MakeUninstallShortcut();

// Delete the link file whatever it holds; a missing one is no failure.
void RemoveSendToShortcut();
void RemoveDesktopShortcut();
void RemoveStartMenuShortcut();
void RemoveUninstallShortcut();

// The running program's own path; false when the system cannot give it whole.
bool ProgramPath(std::string& path);
