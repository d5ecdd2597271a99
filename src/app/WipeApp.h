#pragma once

#include <string>

#include "app/Startup.h"
#include "framework/WinApp.h"
#include "job/DeleteJob.h"

// The application object of the Windows program: sets up the common controls and the registry
// root, then runs one mode of start-up and returns, so that the process ends.
class WipeApp : public CWinApp, private StartupModes {
public:
    WipeApp();
    ~WipeApp() override;

    BOOL InitInstance() override;
    int RunStartup();
    // Deletes one file at once; the tools page of the settings sheet calls it. Always 1.
    int QuickDelete(std::string path);

    // The processing log of the most recent job.
    std::string m_strLog;

    // Dialogs without a topic of their own open the help's first page.
    std::string HelpTopic(UINT dialogId) override;

private:
    bool IsInstalled() override;
    bool RunInstall() override;
    void RunSettingsSheet(const WipeOptions& loaded) override;
    bool RunUninstall() override;
    int RunJob(const std::string& targetText, std::string& log) override;
    void ShowLogViewer(const std::string& log) override;
    void ShowError(const std::string& text) override;
};

// The one job of the process; it carries the options that start-up loads.
extern DeleteJob theJob;
