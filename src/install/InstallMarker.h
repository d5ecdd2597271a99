#pragma once

// The install marker: value "marlock" under HKEY_CURRENT_USER "Software\fen_works". Its
// presence alone means the install step has run for this user.

// True when a value of that name exists whose data fits in 4 bytes, whatever its type.
bool IsInstalled();
// Writes the marker (REG_DWORD 1), creating the key when needed.
bool SetInstalled();
// Deletes the marker value; the key stays, even when left empty.
bool ClearInstalled();
// True on an NT platform.
bool IsWindowsNT();

// The key that holds the marker (not the options' "fen works" key, which has a blank).
extern const char kMarkerKeyPath[];
