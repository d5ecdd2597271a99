#include "framework/DataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "framework/Controls.h"

namespace {

// strtoll alone accepts "12abc" and an empty string; the whole text must be the number.
bool ParseInt(const std::string& text, int& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0') return false;
    if (value < INT_MIN || value > INT_MAX) return false;
    out = static_cast<int>(value);
    return true;
}

bool IsEditControl(HWND hWnd) {
    char cls[16] = {};
    return GetClassNameA(hWnd, cls, sizeof(cls)) > 0 && lstrcmpiA(cls, "Edit") == 0;
}

}  // namespace

HWND DataExchange::PrepareControl(int id) {
    m_hLastControl = ::GetDlgItem(m_hDlg, id);
    return m_hLastControl;
}

void DataExchange::Fail(const std::string& message) {
    m_bFailed = true;
    const std::string title = GetWindowTextString(m_hDlg);
    ::MessageBoxA(m_hDlg, message.c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
    if (m_hLastControl != nullptr) {
        ::SetFocus(m_hLastControl);
        if (IsEditControl(m_hLastControl)) ::SendMessageA(m_hLastControl, EM_SETSEL, 0, -1);
    }
}

void DDX_Control(DataExchange& dx, int id, CControl& control) {
    if (dx.Failed()) return;
    control.Attach(dx.PrepareControl(id));
}

void DDX_Text(DataExchange& dx, int id, std::string& value) {
    if (dx.Failed()) return;
    HWND hCtl = dx.PrepareControl(id);
    if (dx.m_bSaveAndValidate)
        value = GetWindowTextString(hCtl);
    else
        ::SetWindowTextA(hCtl, value.c_str());
}

void DDX_Text(DataExchange& dx, int id, int& value) {
    if (dx.Failed()) return;
    HWND hCtl = dx.PrepareControl(id);
    if (!dx.m_bSaveAndValidate) {
        ::SetWindowTextA(hCtl, std::to_string(value).c_str());
        return;
    }
    if (!ParseInt(GetWindowTextString(hCtl), value)) dx.Fail("Enter a whole number.");
}

void DDV_MinMaxInt(DataExchange& dx, int value, int minValue, int maxValue) {
    if (dx.Failed() || !dx.m_bSaveAndValidate) return;
    if (value < minValue || value > maxValue) {
        char message[96];
        std::snprintf(message, sizeof(message), "Enter a whole number from %d to %d.", minValue,
                      maxValue);
        dx.Fail(message);
    }
}
