#include "framework/Dialog.h"

#include <algorithm>

#include "framework/DataExchange.h"
#include "framework/WinApp.h"

HINSTANCE ResourceInstance() {
    CWinApp* app = CWinApp::Current();
    if (app != nullptr && app->m_hInstance != nullptr) return app->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

namespace {

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

bool CDialog::OnCommand(WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) != BN_CLICKED) return false;
    // Esc and the close box arrive here as IDCANCEL.
    switch (id) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        case ID_HELP:
            if (CWinApp* app = CWinApp::Current()) app->OnHelp(m_nIDTemplate);
            return true;
        default:
            return OnButtonClicked(id);
    }
}

bool CDialog::OnButtonClicked(int) {
    return false;
}

bool CDialog::OnNotify(const NMHDR&, LRESULT&) {
    return false;
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
    CenterOverOwner(m_hWnd);
}

void CenterOverOwner(HWND hWnd) {
    RECT work;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoA(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        work = monitor.rcWork;
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    HWND owner = ::GetWindow(hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    const LONG width = rc.right - rc.left;
    const LONG height = rc.bottom - rc.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    // Keep it on the screen even over an owner near the edge.
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    ::SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDialog* CDialog::FromHandle(HWND hWnd) {
    return reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* dlg = msg == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam) : FromHandle(hWnd);
    return Dispatch(dlg, hWnd, msg, wParam, lParam);
}

INT_PTR CDialog::Dispatch(CDialog* dlg, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (dlg == nullptr) return FALSE;
    if (msg == WM_INITDIALOG) {
        dlg->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dlg));
    }
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
    LRESULT result = 0;
    switch (msg) {
        case WM_INITDIALOG: {
            RECT before;
            ::GetWindowRect(m_hWnd, &before);
            // Returned as is: TRUE asks the system to set the focus.
            const BOOL focus = OnInitDialog();
            RECT after;
            ::GetWindowRect(m_hWnd, &after);
            const bool child = (::GetWindowLongPtrA(m_hWnd, GWL_STYLE) & WS_CHILD) != 0;
            if (!child && ::EqualRect(&before, &after)) CenterWindow();
            return focus;
        }
        case WM_COMMAND:
            if (OnCommand(wParam, lParam)) return TRUE;
            break;
        case WM_NOTIFY:
            if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) {
                ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
                return TRUE;
            }
            break;
        case WM_HELP:
            if (CWinApp* app = CWinApp::Current()) app->OnHelp(m_nIDTemplate);
            return TRUE;
        default:
            break;
    }
    if (!OnMessage(msg, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(msg)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
