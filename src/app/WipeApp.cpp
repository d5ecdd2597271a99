#include "app/WipeApp.h"

#include <windows.h>
#include <commctrl.h>

#include "install/InstallMarker.h"

WipeApp theApp;

namespace {
// The options that start-up loads; they move into the delete job when it lands.
WipeOptions theOptions;
}  // namespace

namespace {
const char kRegistryRoot[] = "fen works";
}

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
    return ::RunStartup(*this, Profile(), theOptions, m_strLog, m_lpCmdLine);
}

bool WipeApp::IsInstalled() {
    return ::IsInstalled();
}

// The modes below come with their dialogs; until then the program says so instead of
// pretending to have done anything.
void WipeApp::ReportNotBuilt(const char* what) {
    std::string text = what;
    text += " is not available in this build yet. Nothing was changed.";
    MessageBoxA(nullptr, text.c_str(), "Information", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

bool WipeApp::RunInstall() {
    ReportNotBuilt("The install step");
    return false;
}

void WipeApp::RunSettingsSheet(const WipeOptions&) {
    ReportNotBuilt("The settings sheet");
}

bool WipeApp::RunUninstall() {
    ReportNotBuilt("The uninstall");
    return false;
}

int WipeApp::RunJob(const std::string&, std::string& log) {
    (void)log;
    ReportNotBuilt("Deleting files");
    return 0;
}

void WipeApp::ShowLogViewer(const std::string&) {}
