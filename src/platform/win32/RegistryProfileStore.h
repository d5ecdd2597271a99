#pragma once

#include <windows.h>

#include <string>

#include "base/ProfileStore.h"

// Integers under HKEY_CURRENT_USER "Software\<company>\<application>\<section>", one REG_DWORD
// per entry. Like the classic application profile, a read creates the key path when it is
// missing, and a value that is missing or not a 4-byte REG_DWORD reads as the default.
class RegistryProfileStore : public ProfileStore {
public:
    RegistryProfileStore(std::string company, std::string application);

    int32_t GetProfileInt(const char* section, const char* entry, int32_t nDefault) override;
    bool WriteProfileInt(const char* section, const char* entry, int32_t nValue) override;

    // "Software\<company>\<application>"
    std::string ApplicationKeyPath() const;

private:
    // Opens (creating as needed) the section key; 0 on failure. The caller closes it.
    HKEY OpenSectionKey(const char* section) const;

    std::string m_strCompany;
    std::string m_strApplication;
};
