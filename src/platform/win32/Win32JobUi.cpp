#include "platform/win32/Win32JobUi.h"

#include <windows.h>

#include <utility>

#include "dialogs/CDlgConfirm.h"
#include "dialogs/CDlgLogView.h"
#include "dialogs/CDlgProgress.h"
#include "framework/WinApp.h"
#include "res/controls.h"

static_assert(kProgressFileName == IDC_PROGRESS_FILE && kProgressBar == IDC_PROGRESS_BAR &&
                  kProgressStatus == IDC_PROGRESS_STATUS && kProgressMegabytes == IDC_PROGRESS_MB,
              "the job writes to the progress window's controls by these numbers");

namespace {

class Win32ProgressWindow : public ProgressWindow {
public:
    explicit Win32ProgressWindow(std::unique_ptr<CDlgProgress> dialog)
        : m_pDialog(std::move(dialog)) {}
    ~Win32ProgressWindow() override { m_pDialog->DestroyWindow(); }

    void SetItemText(int controlId, const std::string& text) override {
        ::SetDlgItemTextA(m_pDialog->m_hWnd, controlId, text.c_str());
    }
    void SetBarPos(int pos) override { m_pDialog->m_ctlProgress.SetPos(pos); }
    // No message loop runs during a job: paint now. The dialog has no WS_CLIPCHILDREN, so its
    // controls are repainted with it.
    void Repaint() override {
        ::RedrawWindow(m_pDialog->m_hWnd, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ::UpdateWindow(m_pDialog->m_hWnd);
    }

private:
    std::unique_ptr<CDlgProgress> m_pDialog;
};

}  // namespace

void Win32JobUi::ShowBox(const std::string& text, const std::string& title, unsigned flags) {
    // Owned by the application's main window where there is one (the settings sheet, during a
    // quick delete), so that the sheet takes no input under the box: a click there would start
    // a second job inside this one, or end the sheet under it. A Send To job has none.
    CWinApp* app = CWinApp::Current();
    HWND owner = app != nullptr && ::IsWindow(app->m_hMainWnd) ? app->m_hMainWnd : nullptr;
    ::MessageBoxA(owner, text.c_str(), title.c_str(), flags);
}

void Win32JobUi::Beep(unsigned type) {
    ::MessageBeep(type);
}

bool Win32JobUi::Confirm(const std::string& question) {
    CDlgConfirm dlg;
    dlg.m_strMessage = question;
    return dlg.DoModal() == 1;
}

std::unique_ptr<ProgressWindow> Win32JobUi::CreateProgress() {
    auto dialog = std::make_unique<CDlgProgress>();
    if (!dialog->CreateModeless()) return nullptr;
    return std::make_unique<Win32ProgressWindow>(std::move(dialog));
}

void Win32JobUi::Sleep(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

void ShowLogViewer(const std::string& log) {
    CDlgLogView dlg;
    dlg.m_strLogText = log;
    dlg.DoModal();
}
