#include "install/InstallMarker.h"

#include <windows.h>

#include <string>

#include "app/AppStrings.h"
#include "res/resource.h"

const char kMarkerKeyPath[] = "Software\\fen_works";

bool IsInstalled() {
    const std::string name = LoadAppString(IDS_APP_TITLE);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    BYTE data[4] = {};
    DWORD size = sizeof(data);
    // A value too large for the buffer answers ERROR_MORE_DATA and counts as absent.
    const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data, &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetInstalled() {
    const std::string name = LoadAppString(IDS_APP_TITLE);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKeyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_CURRENT_USER, kMarkerKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD one = 1;
    const LONG rc = RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool ClearInstalled() {
    const std::string name = LoadAppString(IDS_APP_TITLE);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKeyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const LONG rc = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool IsWindowsNT() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    // A failed query leaves the record zeroed, so the answer is then "not NT".
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
