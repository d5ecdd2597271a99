#pragma once

#include <windows.h>

#include <string>

// A string of the program's table, in the user's language. The strings that name registry
// values and files fall back to built-in texts when the resource cannot be loaded, so that
// install and uninstall always agree on the names; any other missing string is empty.
std::string LoadAppString(unsigned id);

// The built-in text used for `id` when its resource is missing; nullptr when there is none.
const char* BuiltInAppString(unsigned id);

// A box of our own about a failure (the job's boxes are its own), captioned in the user's
// language.
int ShowErrorBox(HWND owner, const std::string& text, UINT flags = MB_OK);

#include "job/TextSource.h"

// The job's texts from the program's string table.
class ResourceTextSource : public TextSource {
public:
    std::string Load(unsigned id) const override { return LoadAppString(id); }
};
