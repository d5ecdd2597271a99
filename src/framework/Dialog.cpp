#include "framework/Dialog.h"

#include <algorithm>

#include "framework/DataExchange.h"
#include "framework/WinApp.h"

namespace {

// The module whose resources hold the templates: the application's instance, or the
// program's own module when no application object has set one.
HINSTANCE ResourceInstance() {
    CWinApp* app = CWinApp::Current();
    if (app != nullptr && app->m_hInstance != nullptr) return app->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT msg) {
    return (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM ||
           msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON;
}

}  // namespace

CDialog::CDialog(UINT templateId, HWND hWndParent)
    : m_nIDTemplate(templateId), m_hWndParent(hWndParent) {}

CDialog::~CDialog() {
    // A modeless window must not outlive the object its procedure points to.
    if (m_hWnd != nullptr && !m_bModal) DestroyWindow();
}

HWND CDialog::Owner() const {
    if (m_hWndParent != nullptr) return m_hWndParent;
    CWinApp* app = CWinApp::Current();
    if (app != nullptr && ::IsWindow(app->m_hMainWnd)) return app->m_hMainWnd;
    return nullptr;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr) return -1;
    m_bModal = true;
    const INT_PTR result =
        ::DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(m_nIDTemplate), Owner(),
                          &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

BOOL CDialog::Create() {
    if (m_hWnd != nullptr) return FALSE;
    m_bModal = false;
    HWND hWnd = ::CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(m_nIDTemplate), Owner(),
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr ? TRUE : FALSE;
}

BOOL CDialog::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    // WM_NCDESTROY clears m_hWnd.
    return ::DestroyWindow(m_hWnd);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    DataExchange dx(m_hWnd, bSaveAndValidate != FALSE);
    DoDataExchange(dx);
    return dx.Failed() ? FALSE : TRUE;
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_hWnd == nullptr) return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::ShowWindow(m_hWnd, SW_HIDE);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(DataExchange&) {}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CDialog::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    m_bInDefault = true;
    const LRESULT result = ::DefDlgProcA(m_hWnd, msg, wParam, lParam);
    m_bInDefault = false;
    return result;
}

void CDialog::CenterWindow() {
    RECT work;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        work = monitor.rcWork;
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    const LONG width = rc.right - rc.left;
    const LONG height = rc.bottom - rc.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    // Keep it on the screen even over an owner near the edge.
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* dlg = nullptr;
    if (msg == WM_INITDIALOG) {
        dlg = reinterpret_cast<CDialog*>(lParam);
        dlg->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dlg));
    } else {
        dlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (dlg == nullptr) return FALSE;
    if (dlg->m_bInDefault) {
        dlg->m_bInDefault = false;
        return FALSE;
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        dlg->m_hWnd = nullptr;
        return FALSE;
    }
    return dlg->HandleMessage(msg, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            RECT before;
            ::GetWindowRect(m_hWnd, &before);
            // Returned as is: TRUE asks the system to set the focus.
            const BOOL result = OnInitDialog();
            RECT after;
            ::GetWindowRect(m_hWnd, &after);
            if (::EqualRect(&before, &after)) CenterWindow();
            return result;
        }
        case WM_COMMAND:
            // Esc and the close box arrive here as IDCANCEL.
            if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
                OnOK();
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
                OnCancel();
                return TRUE;
            }
            break;
        default:
            break;
    }
    LRESULT result = 0;
    if (!OnMessage(msg, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(msg)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
