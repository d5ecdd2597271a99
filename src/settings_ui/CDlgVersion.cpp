#include "settings_ui/CDlgVersion.h"

#include <string>
#include <vector>

#include "framework/ResString.h"
#include "base/Format.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgVersion::CDlgVersion() : CDialog(IDD_VERSION) {}

BOOL CDlgVersion::OnInitDialog() {
    const BOOL focus = CDialog::OnInitDialog();
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = n == 0 || n >= MAX_PATH ? 0 : ::GetFileVersionInfoSizeA(path, &handle);
    std::vector<char> data(size);
    if (size == 0 || !::GetFileVersionInfoA(path, 0, size, data.data())) return focus;

    char* product = nullptr;
    UINT length = 0;
    if (::VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductName",
                         reinterpret_cast<void**>(&product), &length))
        ::SetDlgItemTextA(m_hWnd, IDC_VERSION_PRODUCT, product);

    VS_FIXEDFILEINFO* fixed = nullptr;
    if (::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        std::string format;
        if (!LoadResString(IDS_VERSION_LINE, format, ResourceInstance()))
            format = "Version %d.%d.%d.%d";
        const std::string line =
            FormatText(format.c_str(), static_cast<int>(HIWORD(fixed->dwProductVersionMS)),
                       static_cast<int>(LOWORD(fixed->dwProductVersionMS)),
                       static_cast<int>(HIWORD(fixed->dwProductVersionLS)),
                       static_cast<int>(LOWORD(fixed->dwProductVersionLS)));
        ::SetDlgItemTextA(m_hWnd, IDC_VERSION_NUMBER, line.c_str());
    }
    return focus;
}
