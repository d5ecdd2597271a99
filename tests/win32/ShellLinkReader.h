#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

// A shortcut read back through the shell's link object, as "TARGET | ARGUMENTS | DESCRIPTION";
// "none" when there is no such file. COM must be initialised on the calling thread.
inline std::string ReadShellLink(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return "none";
    std::string out = "(unreadable)";
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char target[MAX_PATH] = {}, arguments[MAX_PATH] = {}, description[MAX_PATH] = {};
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetArguments(arguments, MAX_PATH);
        link->GetDescription(description, MAX_PATH);
        out = std::string(target) + " | " + arguments + " | " + description;
    }
    if (file) file->Release();
    if (link) link->Release();
    return out;
}
