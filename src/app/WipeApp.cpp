#include "app/WipeApp.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "app/AppStrings.h"
#include "install/CDlgInstall.h"
#include "install/InstallMarker.h"
#include "install/Uninstall.h"
#include "res/resource.h"
#include "platform/win32/Win32FileLayer.h"
#include "platform/win32/Win32JobUi.h"
#include "settings_ui/SettingsSheet.h"
#include "wipe/Clock.h"

// Static objects, constructed in this order and destroyed in reverse: the application, the
// services the job works through, then the job.
WipeApp theApp;

namespace {
Win32FileLayer theFiles;
Win32JobUi theJobUi;
ResourceTextSource theTexts;
SystemClock theClock;

const char kRegistryRoot[] = "fen works";
}  // namespace

DeleteJob theJob(theFiles, theJobUi, theTexts, theClock);

WipeApp::WipeApp() = default;
WipeApp::~WipeApp() = default;

BOOL WipeApp::InitInstance() {
    InitCommonControls();
    CWinApp::InitInstance();
    SetRegistryKey(kRegistryRoot);
    RunStartup();
    // No message loop of our own: returning ends the process.
    return FALSE;
}

int WipeApp::RunStartup() {
    return ::RunStartup(*this, Profile(), theJob, m_strLog, m_lpCmdLine);
}

int WipeApp::QuickDelete(std::string path) {
    return ::QuickDelete(*this, Profile(), theJob, m_strLog, theFiles, theTexts, path);
}

bool WipeApp::IsInstalled() {
    return ::IsInstalled();
}

bool WipeApp::RunInstall() {
    return ::RunInstall();
}

void WipeApp::RunSettingsSheet(const WipeOptions& loaded) {
    WipeOptions edited = loaded;
    const bool ok =
        ::RunSettingsSheet(edited, [this](const std::string& path) { QuickDelete(path); });
    // The job keeps what start-up loaded either way; the program ends right after.
    if (ok) SaveOptions(Profile(), edited);
}

std::string WipeApp::HelpTopic(UINT dialogId) {
    switch (dialogId) {
        case IDD_DISPLAY_PAGE:
        case IDD_GENERAL_PAGE:
        case IDD_DETAIL3_PAGE:
        case IDD_INSTALL:
        case IDD_DETAIL1_PAGE:
        case IDD_DETAIL2_PAGE:
            return CWinApp::HelpTopic(dialogId);
        default:
            return "index.htm";
    }
}

bool WipeApp::RunUninstall() {
    return ::RunUninstall();
}

int WipeApp::RunJob(const std::string& targetText, std::string& log) {
    theJob.m_pLog = &log;
    return theJob.RunJob(targetText);
}

void WipeApp::ShowLogViewer(const std::string& log) {
    ::ShowLogViewer(log);
}

void WipeApp::ShowError(const std::string& text) {
    ShowErrorBox(nullptr, text, MB_OK | MB_TOPMOST);
}
