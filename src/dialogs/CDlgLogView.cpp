#include "dialogs/CDlgLogView.h"

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgLogView::CDlgLogView(HWND hWndParent) : CDialog(IDD_LOGVIEW, hWndParent) {}

CDlgLogView::~CDlgLogView() = default;

void CDlgLogView::DoDataExchange(DataExchange& dx) {
    DDX_Control(dx, IDC_LOG_TEXT, m_ctlLog);
    DDX_Text(dx, IDC_LOG_TEXT, m_strLogText);
}

bool CDlgLogView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg != WM_SHOWWINDOW) return false;
    // Focusing the edit box at start selected the whole text with the caret at its end: drop
    // the selection and bring the caret, and so the summary, into view.
    result = Default(msg, wParam, lParam);
    m_ctlLog.SetSel(-1, 0);
    m_ctlLog.ScrollCaret();
    return true;
}
