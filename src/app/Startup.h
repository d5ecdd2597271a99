#pragma once

#include <cstddef>
#include <string>

#include "app/WipeOptions.h"

class FileLayer;
class ProfileStore;
class TextSource;

// The modes that one start of the program can run. The Windows program implements them with
// its dialogs; tests implement them with recorders.
class StartupModes {
public:
    virtual ~StartupModes() = default;
    virtual bool IsInstalled() = 0;
    // False when the user cancelled the install dialog.
    virtual bool RunInstall() = 0;
    // Shows the settings with the loaded options; saving on OK is the sheet's business.
    virtual void RunSettingsSheet(const WipeOptions& loaded) = 0;
    // False when the user declined the uninstall.
    virtual bool RunUninstall() = 0;
    // Runs a delete job over the target text; the job writes its log into `log`.
    virtual int RunJob(const std::string& targetText, std::string& log) = 0;
    virtual void ShowLogViewer(const std::string& log) = 0;
    // An error box with no owner window, topmost.
    virtual void ShowError(const std::string& text) = 0;
};

// What one start does: the install check, the option load and the dispatch on the command
// line. Returns 1 when a mode ran to its end and 0 when start-up stopped early (install
// cancelled, uninstall declined).
int RunStartup(StartupModes& modes, ProfileStore& profile, WipeOptions& options, std::string& log,
               const std::string& commandLine);

// Deletes one file chosen on the settings sheet's tools page: reloads the options as stored
// (bNotDel excepted), runs a job over the quoted path and shows its log. A path too long for
// the quoted target buffer, as `files` counts it, is refused with an error box. Always 1.
int QuickDelete(StartupModes& modes, ProfileStore& profile, WipeOptions& options, std::string& log,
                const FileLayer& files, const TextSource& texts, const std::string& path);

// The longest path a quick delete takes: quoted, it must fit 260 characters with its
// terminator.
constexpr size_t kMaxQuickDeletePath = 257;

// The command line that asks for the uninstall; matched byte for byte.
extern const char kUninstallCommand[];
