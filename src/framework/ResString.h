#pragma once

#include <windows.h>

#include <string>

// Loads string resource `id` of the module through the A call, so in the active code page
// (UTF-8 with our manifest). Returns false, leaving `out` empty, when there is no such string.
bool LoadResString(UINT id, std::string& out, HINSTANCE module = nullptr);
