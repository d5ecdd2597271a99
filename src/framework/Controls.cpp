#include "framework/Controls.h"

#include <commctrl.h>

#include <vector>

HWND CControl::Detach() {
    HWND hWnd = m_hWnd;
    m_hWnd = nullptr;
    return hWnd;
}

void CControl::SetText(const std::string& text) const {
    ::SetWindowTextA(m_hWnd, text.c_str());
}

std::string CControl::GetText() const {
    return GetWindowTextString(m_hWnd);
}

std::string GetWindowTextString(HWND hWnd) {
    const int length = ::GetWindowTextLengthA(hWnd);
    if (length <= 0) return std::string();
    std::vector<char> buf(static_cast<size_t>(length) + 1);
    const int n = ::GetWindowTextA(hWnd, buf.data(), length + 1);
    return std::string(buf.data(), static_cast<size_t>(n > 0 ? n : 0));
}

void CEdit::SetSel(int start, int end) const {
    Send(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void CEdit::GetSel(int& start, int& end) const {
    DWORD s = 0;
    DWORD e = 0;
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s);
    end = static_cast<int>(e);
}

void CEdit::ScrollCaret() const {
    Send(EM_SCROLLCARET);
}

int CEdit::GetFirstVisibleLine() const {
    return static_cast<int>(Send(EM_GETFIRSTVISIBLELINE));
}

int CEdit::GetLineCount() const {
    return static_cast<int>(Send(EM_GETLINECOUNT));
}

int CProgressCtrl::SetPos(int pos) const {
    return static_cast<int>(Send(PBM_SETPOS, static_cast<WPARAM>(pos), 0));
}

int CProgressCtrl::GetPos() const {
    return static_cast<int>(Send(PBM_GETPOS));
}
