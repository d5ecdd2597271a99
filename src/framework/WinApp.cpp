#include "framework/WinApp.h"

#include "framework/ResString.h"
#include "platform/win32/RegistryProfileStore.h"

namespace {

// The framework's application-title string.
constexpr UINT kAppTitleId = 0xE000;

std::string ModulePath() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::string() : std::string(path, n);
}

std::string ModuleBaseName() {
    std::string name = ModulePath();
    if (name.empty()) return "app";
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace

CWinApp* CWinApp::s_pApp = nullptr;

CWinApp::CWinApp() {
    s_pApp = this;
}

CWinApp::~CWinApp() {
    if (s_pApp == this) s_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    // Constructed without a name: the title comes from the string table, as the profile and
    // every other use of the application title expect.
    if (m_strAppName.empty() && !LoadResString(kAppTitleId, m_strAppName, m_hInstance)) {
        m_strAppName = ModuleBaseName();
    }
    if (m_strHelpFilePath.empty()) {
        m_strHelpFilePath = ModulePath();
        const size_t dot = m_strHelpFilePath.rfind('.');
        const size_t slash = m_strHelpFilePath.find_last_of("\\/");
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            m_strHelpFilePath.erase(dot);
        m_strHelpFilePath += ".chm";
    }
    return TRUE;
}

void CWinApp::OnHelp(UINT dialogId) {
    ShowHtmlHelp(m_strHelpFilePath + "::/" + HelpTopic(dialogId));
}

std::string CWinApp::HelpTopic(UINT dialogId) {
    return std::to_string(dialogId) + ".htm";
}

void CWinApp::ShowHtmlHelp(const std::string& address) {
    // The viewer lives in hhctrl.ocx; loaded on demand, it costs nothing until F1.
    using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    static HMODULE viewer = ::LoadLibraryA("hhctrl.ocx");
    if (viewer == nullptr) return;
    const auto htmlHelp = reinterpret_cast<HtmlHelpProc>(
        reinterpret_cast<void (*)()>(::GetProcAddress(viewer, "HtmlHelpA")));
    const UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC
    if (htmlHelp != nullptr) htmlHelp(m_hMainWnd, address.c_str(), kDisplayTopic, 0);
}

void CWinApp::SetRegistryKey(const char* key) {
    m_pProfile = std::make_unique<RegistryProfileStore>(key, m_strAppName);
}

ProfileStore& CWinApp::Profile() {
    return *m_pProfile;
}

int32_t CWinApp::GetProfileIntA(const char* section, const char* entry, int32_t nDefault) {
    return m_pProfile ? m_pProfile->GetProfileInt(section, entry, nDefault) : nDefault;
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int32_t nValue) {
    return m_pProfile && m_pProfile->WriteProfileInt(section, entry, nValue) ? TRUE : FALSE;
}
