#include "framework/WinApp.h"

#include "framework/ResString.h"
#include "platform/win32/RegistryProfileStore.h"

namespace {

// The framework's application-title string.
constexpr UINT kAppTitleId = 0xE000;

std::string ModuleBaseName() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "app";
    std::string name(path, n);
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
    return TRUE;
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
