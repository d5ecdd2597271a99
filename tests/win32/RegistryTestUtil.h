#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Helpers for tests that work on the test prefix's real registry.
namespace regtest {

inline void DeleteTree(const char* path) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path);
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

inline bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline void SetValue(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

inline void SetDword(const char* path, const char* name, DWORD value) {
    SetValue(path, name, REG_DWORD, &value, sizeof(value));
}

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

inline std::vector<Value> ListValues(const char* path) {
    std::vector<Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLen = sizeof(name);
        BYTE data[512];
        DWORD dataLen = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &dataLen) !=
            ERROR_SUCCESS) {
            break;
        }
        values.push_back(
            {std::string(name, nameLen), type, std::vector<BYTE>(data, data + dataLen)});
    }
    RegCloseKey(key);
    return values;
}

inline DWORD AsDword(const Value& v) {
    DWORD d = 0;
    if (v.data.size() == sizeof(d)) memcpy(&d, v.data.data(), sizeof(d));
    return d;
}

}  // namespace regtest
