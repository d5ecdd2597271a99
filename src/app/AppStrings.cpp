#include "app/AppStrings.h"

#include "framework/ResString.h"
#include "res/resource.h"

const char* BuiltInAppString(unsigned id) {
    switch (id) {
        case IDS_APP_TITLE:
            return "marlock";
        case IDS_PRODUCT_NAME:
            return "Tidewipe";
        case IDS_UNINSTALL_LINK:
            return "\\Tidewipe uninstall.LNK";
        case IDS_LINK:
            return "\\Tidewipe.LNK";
        default:
            return nullptr;
    }
}

std::string LoadAppString(unsigned id) {
    std::string text;
    if (LoadResString(id, text)) return text;
    const char* builtIn = BuiltInAppString(id);
    return builtIn != nullptr ? builtIn : std::string();
}

int ShowErrorBox(HWND owner, const std::string& text, UINT flags) {
    return ::MessageBoxA(owner, text.c_str(), LoadAppString(IDS_ERROR_CAPTION).c_str(),
                         flags | MB_ICONERROR);
}
