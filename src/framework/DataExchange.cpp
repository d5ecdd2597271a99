#include "framework/DataExchange.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <vector>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/ResString.h"
#include "base/Format.h"
#include "res/resource.h"

namespace {

// strtoll alone accepts "12abc" and an empty string; the whole text must be the number, blanks
// around it aside. `allowSign` false refuses a sign, which strtoull would take and wrap.
bool ParseNumber(const std::string& text, bool allowSign, long long minValue,
                 unsigned long long maxValue, long long& out) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (!allowSign && (*begin == '-' || *begin == '+')) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0') return false;
    if (value < minValue || (value > 0 && static_cast<unsigned long long>(value) > maxValue))
        return false;
    out = value;
    return true;
}

// A prompt of the string table, formatted; the English text when the table lacks it.
std::string Prompt(UINT id, const char* english, long long a = 0, long long b = 0) {
    std::string format;
    if (!LoadResString(id, format, ResourceInstance())) format = english;
    return FormatText(format.c_str(), static_cast<int>(a), static_cast<int>(b));
}

void FailRange(DataExchange& dx, long long minValue, long long maxValue) {
    // The prompt's %d takes what an int holds; larger bounds are not in use.
    dx.Fail(Prompt(IDS_PROMPT_INTEGER_RANGE, "Please enter an integer between %d and %d.", minValue,
                   maxValue));
}

template <typename T>
void ExchangeNumber(DataExchange& dx, int id, T& value) {
    if (dx.Failed()) return;
    HWND hCtl = dx.PrepareControl(id);
    if (!dx.m_bSaveAndValidate) {
        ::SetWindowTextA(hCtl, std::to_string(value).c_str());
        return;
    }
    long long parsed = 0;
    if (!ParseNumber(GetWindowTextString(hCtl), std::numeric_limits<T>::is_signed,
                     static_cast<long long>(std::numeric_limits<T>::min()),
                     std::numeric_limits<T>::max(), parsed)) {
        dx.Fail(Prompt(IDS_PROMPT_INTEGER, "Please enter an integer."));
        return;
    }
    value = static_cast<T>(parsed);
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

void DDX_Text(DataExchange& dx, int id, int32_t& value) {
    ExchangeNumber(dx, id, value);
}

void DDX_Text(DataExchange& dx, int id, uint32_t& value) {
    ExchangeNumber(dx, id, value);
}

void DDV_MinMaxInt(DataExchange& dx, int32_t value, int32_t minValue, int32_t maxValue) {
    if (dx.Failed() || !dx.m_bSaveAndValidate) return;
    if (value < minValue || value > maxValue) FailRange(dx, minValue, maxValue);
}

void DDV_MinMaxUInt(DataExchange& dx, uint32_t value, uint32_t minValue, uint32_t maxValue) {
    if (dx.Failed() || !dx.m_bSaveAndValidate) return;
    if (value < minValue || value > maxValue) FailRange(dx, minValue, maxValue);
}

void DDX_Check(DataExchange& dx, int id, int32_t& value) {
    if (dx.Failed()) return;
    HWND hCtl = dx.PrepareControl(id);
    if (dx.m_bSaveAndValidate) {
        value = ::SendMessageA(hCtl, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        return;
    }
    if (value < 0 || value > 2) value = 0;
    ::SendMessageA(hCtl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(DataExchange& dx, int id, int32_t& value) {
    if (dx.Failed()) return;
    HWND first = dx.PrepareControl(id);
    std::vector<HWND> group;
    for (HWND hCtl = first; hCtl != nullptr; hCtl = ::GetWindow(hCtl, GW_HWNDNEXT)) {
        if (hCtl != first && (::GetWindowLongPtrA(hCtl, GWL_STYLE) & WS_GROUP) != 0) break;
        const LONG_PTR kind = ::GetWindowLongPtrA(hCtl, GWL_STYLE) & BS_TYPEMASK;
        if (kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON) group.push_back(hCtl);
    }
    if (dx.m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i) {
            if (::SendMessageA(group[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = static_cast<int32_t>(i);
        }
        return;
    }
    for (size_t i = 0; i < group.size(); ++i) {
        const bool checked = value >= 0 && static_cast<size_t>(value) == i;
        ::SendMessageA(group[i], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}
