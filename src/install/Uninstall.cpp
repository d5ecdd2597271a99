#include "install/Uninstall.h"

#include "app/AppStrings.h"
#include "app/WipeOptions.h"
#include "install/InstallMarker.h"
#include "install/ShellLinks.h"
#include "res/resource.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kMakerKey[] = "Software\\fen works";

void SetString(HKEY key, const char* name, const std::string& value) {
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

// Deletes one subkey of an open key; no tree is walked.
void DeleteSubkey(HKEY root, const std::string& parent, const std::string& subkey, REGSAM access) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, parent.c_str(), 0, access, &key) != ERROR_SUCCESS) return;
    ::RegDeleteKeyA(key, subkey.c_str());
    ::RegCloseKey(key);
}

}  // namespace

std::string UninstallCommand(const std::string& programPath) {
    const bool blank = programPath.find(' ') != std::string::npos;
    return (blank ? "\"" + programPath + "\"" : programPath) + " /delete";
}

void RegisterUninstallEntry(HKEY hive) {
    const std::string keyPath = std::string(kUninstallKey) + "\\" + LoadAppString(IDS_APP_TITLE);
    std::string program;
    if (!ProgramPath(program)) return;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(hive, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    SetString(key, "UninstallString", UninstallCommand(program));
    SetString(key, "DisplayName", LoadAppString(IDS_PRODUCT_NAME));
    ::RegCloseKey(key);
}

void RemoveUninstallEntry(HKEY hive) {
    DeleteSubkey(hive, kUninstallKey, LoadAppString(IDS_APP_TITLE), KEY_QUERY_VALUE);
}

void DeleteSettingsKeys() {
    const std::string title = LoadAppString(IDS_APP_TITLE);
    DeleteSubkey(HKEY_CURRENT_USER, std::string(kMakerKey) + "\\" + title, kSettingsSection,
                 KEY_WRITE);
    DeleteSubkey(HKEY_CURRENT_USER, kMakerKey, title, KEY_WRITE);
}

bool RunUninstall() {
    if (::MessageBoxA(nullptr, LoadAppString(IDS_CONFIRM_UNINSTALL).c_str(), "Tidewipe Uninstaller",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    DeleteSettingsKeys();
    ClearInstalled();
    RemoveUninstallShortcut();
    RemoveUninstallEntry(HKEY_CURRENT_USER);
    RemoveUninstallEntry(HKEY_LOCAL_MACHINE);
    RemoveDesktopShortcut();
    RemoveStartMenuShortcut();
    RemoveSendToShortcut();
    return true;
}
