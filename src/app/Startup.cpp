#include "app/Startup.h"

#include "base/Format.h"
#include "job/TextSource.h"
#include "res/resource.h"
#include "wipe/FileLayer.h"

const char kUninstallCommand[] = "/delete";

int RunStartup(StartupModes& modes, ProfileStore& profile, WipeOptions& options, std::string& log,
               const std::string& commandLine) {
    // The install check comes before anything else, whatever the command line says.
    if (!modes.IsInstalled() && !modes.RunInstall()) return 0;

    LoadOptions(profile, options);

    if (commandLine.empty()) {
        modes.RunSettingsSheet(options);
        return 1;
    }
    // Case, blanks and everything else must match: "/delete " or "/DELETE" is a target.
    if (commandLine == kUninstallCommand) {
        return modes.RunUninstall() ? 1 : 0;
    }

    log.clear();
    modes.RunJob(commandLine, log);
    if (options.Log != 0) modes.ShowLogViewer(log);
    return 1;
}

int QuickDelete(StartupModes& modes, ProfileStore& profile, WipeOptions& options, std::string& log,
                const FileLayer& files, const TextSource& texts, const std::string& path) {
    // Quoted, a '"' inside would split the text into other targets; no Windows name holds one.
    if (path.find('"') != std::string::npos) {
        modes.ShowError(FormatText(texts.Load(IDS_QUICK_DELETE_QUOTE).c_str(), path.c_str()));
        return 1;
    }
    // Cut to fit, the quoted text could name another file: refuse instead.
    if (files.Length(path) > kMaxQuickDeletePath) {
        modes.ShowError(FormatText(texts.Load(IDS_QUICK_DELETE_TOO_LONG).c_str(),
                                   static_cast<int>(kMaxQuickDeletePath), path.c_str()));
        return 1;
    }
    const std::string target = "\"" + path + "\"";
    ReloadOptionsForQuickDelete(profile, options);
    log.clear();
    modes.RunJob(target, log);
    if (options.Log != 0) modes.ShowLogViewer(log);
    return 1;
}
