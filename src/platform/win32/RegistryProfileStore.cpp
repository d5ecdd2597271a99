#include "platform/win32/RegistryProfileStore.h"

#include <utility>

RegistryProfileStore::RegistryProfileStore(std::string company, std::string application)
    : m_strCompany(std::move(company)), m_strApplication(std::move(application)) {}

std::string RegistryProfileStore::ApplicationKeyPath() const {
    return "Software\\" + m_strCompany + "\\" + m_strApplication;
}

HKEY RegistryProfileStore::OpenSectionKey(const char* section) const {
    HKEY key = nullptr;
    const std::string path = ApplicationKeyPath() + "\\" + section;
    const LONG rc =
        RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    return rc == ERROR_SUCCESS ? key : nullptr;
}

int32_t RegistryProfileStore::GetProfileInt(const char* section, const char* entry,
                                            int32_t nDefault) {
    HKEY key = OpenSectionKey(section);
    if (key == nullptr) return nDefault;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG rc =
        RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return nDefault;
    return static_cast<int32_t>(value);
}

bool RegistryProfileStore::WriteProfileInt(const char* section, const char* entry, int32_t nValue) {
    HKEY key = OpenSectionKey(section);
    if (key == nullptr) return false;
    const DWORD value = static_cast<DWORD>(nValue);
    const LONG rc = RegSetValueExA(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof(value));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}
