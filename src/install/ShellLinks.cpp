#include "install/ShellLinks.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

#include "app/AppStrings.h"
#include "platform/win32/Win32FileLayer.h"
#include "res/resource.h"
#include "wipe/WipeLimits.h"

namespace {

const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUninstallArguments[] = "/delete";

// The link file of a shortcut: the folder as the registry gives it, then the file name string,
// which begins with its separator.
bool LinkPath(const char* folderValue, unsigned nameId, std::string& path) {
    std::string folder;
    if (!QueryShellFolder(folderValue, folder)) return false;
    path = folder + LoadAppString(nameId);
    return wipe::FitsPath(Win32FileLayer(), path);
}

bool MakeShortcut(const char* folderValue, unsigned nameId, const std::string& arguments) {
    std::string target;
    std::string link;
    if (!ProgramPath(target) || !LinkPath(folderValue, nameId, link)) return false;
    return SUCCEEDED(CreateShellLink(target, link, LoadAppString(IDS_APP_TITLE), arguments));
}

void RemoveShortcut(const char* folderValue, unsigned nameId) {
    std::string link;
    if (LinkPath(folderValue, nameId, link)) std::remove(link.c_str());
}

}  // namespace

bool ProgramPath(std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    // MAX_PATH means the path was cut to fit.
    if (n == 0 || n >= MAX_PATH) return false;
    path.assign(buffer, n);
    return true;
}

HRESULT CreateShellLink(const std::string& target, const std::string& linkFile,
                        const std::string& description, const std::string& arguments) {
    ::CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) {
        IPersistFile* file = nullptr;
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(hr)) {
            link->SetPath(target.c_str());
            if (!arguments.empty()) link->SetArguments(arguments.c_str());
            link->SetDescription(description.c_str());
            WCHAR wide[MAX_PATH];
            // A name that does not convert whole is not saved under some other name.
            if (::MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, MAX_PATH) == 0)
                hr = HRESULT_FROM_WIN32(::GetLastError());
            else
                hr = file->Save(wide, TRUE);
            file->Release();
        }
        link->Release();
    }
    ::CoUninitialize();
    return hr;
}

bool QueryShellFolder(const char* valueName, std::string& folder) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    char data[MAX_PATH] = {};
    DWORD size = sizeof(data);
    const LONG rc =
        ::RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    // Stored data need not end in a zero.
    folder.assign(data, size);
    folder.resize(folder.find('\0') == std::string::npos ? folder.size() : folder.find('\0'));
    return !folder.empty();
}

bool MakeSendToShortcut() {
    return MakeShortcut("SendTo", IDS_LINK, "");
}

bool MakeDesktopShortcut() {
    return MakeShortcut("Desktop", IDS_LINK, "");
}

bool MakeStartMenuShortcut() {
    return MakeShortcut("Programs", IDS_LINK, "");
}

bool MakeUninstallShortcut() {
    return MakeShortcut("Programs", IDS_UNINSTALL_LINK, kUninstallArguments);
}

void RemoveSendToShortcut() {
    RemoveShortcut("SendTo", IDS_LINK);
}

void RemoveDesktopShortcut() {
    RemoveShortcut("Desktop", IDS_LINK);
}

void RemoveStartMenuShortcut() {
    RemoveShortcut("Programs", IDS_LINK);
}

void RemoveUninstallShortcut() {
    RemoveShortcut("Programs", IDS_UNINSTALL_LINK);
}
