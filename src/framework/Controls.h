#pragma once

#include <windows.h>

#include <string>

// A child control of a dialog: only its handle. The dialog's data exchange attaches it
// (DDX_Control); every method is a plain forward to the control.
class CControl {
public:
    CControl() = default;
    virtual ~CControl() = default;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach();

    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    void SetText(const std::string& text) const;
    std::string GetText() const;

    HWND m_hWnd = nullptr;
};

// The whole text of a window, read through the A call.
std::string GetWindowTextString(HWND hWnd);

class CEdit : public CControl {
public:
    // -1 as the start removes the selection and leaves the caret where it was.
    void SetSel(int start, int end) const;
    void GetSel(int& start, int& end) const;
    // Scrolls the caret into view.
    void ScrollCaret() const;
    int GetFirstVisibleLine() const;
    int GetLineCount() const;
};

class CProgressCtrl : public CControl {
public:
    // Returns the previous position.
    int SetPos(int pos) const;
    int GetPos() const;
};
