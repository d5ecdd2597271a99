#pragma once

#include <functional>
#include <string>

#include "app/WipeOptions.h"

// Runs the settings sheet on `options`: the five pages edit them in place. True when the sheet
// was closed with OK (the caller then saves them), false for Cancel or the close box.
// `quickDelete` serves the tools page's Delete Now.
bool RunSettingsSheet(WipeOptions& options, std::function<void(const std::string&)> quickDelete);
