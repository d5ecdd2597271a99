// The job's dialogs with real windows inside the test process. Modal dialogs are driven from
// a second thread, the way a user would: it waits for the dialog to show, reads it, and
// presses a key or a button; the main thread sits in the dialog's own message loop meanwhile.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/CDlgConfirm.h"
#include "dialogs/CDlgLogView.h"
#include "dialogs/CDlgProgress.h"
#include "framework/DataExchange.h"
#include "framework/WinApp.h"
#include "install/CDlgInstall.h"
#include "settings_ui/SettingsSheet.h"
#include "platform/win32/Win32JobUi.h"
#include "res/controls.h"
#include "res/resource.h"

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr auto kDeadline = std::chrono::seconds(10);

// ---- Templates in both languages

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

struct Control {
    int id;
    std::string cls;
    LONG style;
    bool hasIcon;
    bool operator==(const Control& o) const {
        return id == o.id && cls == o.cls && style == o.style && hasIcon == o.hasIcon;
    }
};

// Builds the dialog from its template in one language and lists what was created. Settings
// pages are child windows, so every template gets a hidden parent.
bool CreateInLanguage(UINT id, LANGID lang, std::wstring& caption, std::vector<Control>& out) {
    HRSRC res =
        FindResourceExA(nullptr, reinterpret_cast<LPCSTR>(RT_DIALOG), MAKEINTRESOURCEA(id), lang);
    if (res == nullptr) return false;
    auto tmpl = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(nullptr, res)));
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 600, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND dlg =
        CreateDialogIndirectParamA(GetModuleHandleA(nullptr), tmpl, parent, &PlainDialogProc, 0);
    if (dlg == nullptr) {
        DestroyWindow(parent);
        return false;
    }
    wchar_t text[128] = {};
    GetWindowTextW(dlg, text, 128);
    caption = text;
    for (HWND c = GetWindow(dlg, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(c, cls, sizeof(cls));
        out.push_back({GetDlgCtrlID(c), cls, GetWindowLongA(c, GWL_STYLE),
                       SendMessageA(c, STM_GETICON, 0, 0) != 0});
    }
    DestroyWindow(parent);
    return true;
}

// The position of a control in template order; list.size() when it is missing.
size_t IndexOf(const std::vector<Control>& list, int id) {
    size_t i = 0;
    while (i < list.size() && list[i].id != id)
        ++i;
    return i;
}

TEST(DialogTemplates, BothLanguagesHaveTheSameControlsAndTheJapaneseTextIsJapanese) {
    // What the Japanese template may have beyond the English one: controls of its own, and
    // controls (by position) that it hides.
    const struct {
        UINT id;
        std::vector<int> jaOnly;
        std::vector<size_t> jaHidden;
    } rows[] = {
        {IDD_CONFIRM, {}, {}},
        {IDD_PROGRESS, {}, {}},
        {IDD_LOGVIEW, {}, {}},
        {IDD_GENERAL_PAGE, {IDC_GEN_DOD}, {}},
        {IDD_DISPLAY_PAGE, {}, {}},
        {IDD_DETAIL1_PAGE, {}, {6, 7, 8}},  // the fill-character group box, edit and label
        {IDD_DETAIL2_PAGE, {}, {}},
        {IDD_DETAIL3_PAGE, {}, {}},
        {IDD_VERSION, {}, {}},
        {IDD_INSTALL, {}, {}},
    };
    for (const auto& row : rows) {
        const UINT id = row.id;
        std::wstring en, ja;
        std::vector<Control> enControls, jaControls;
        ASSERT_TRUE(CreateInLanguage(id, kEnglish, en, enControls))
            << id << ": no template, or no display (run the Windows tests under xvfb-run)";
        ASSERT_TRUE(CreateInLanguage(id, kJapanese, ja, jaControls)) << id;
        for (int only : row.jaOnly) {
            const size_t i = IndexOf(jaControls, only);
            ASSERT_LT(i, jaControls.size()) << id << ": " << only;
            jaControls.erase(jaControls.begin() + static_cast<std::ptrdiff_t>(i));
        }
        for (size_t i : row.jaHidden) {
            ASSERT_LT(i, jaControls.size()) << id;
            EXPECT_FALSE(jaControls[i].style & WS_VISIBLE) << id << ": " << i;
            jaControls[i].style |= WS_VISIBLE;
        }
        EXPECT_TRUE(enControls == jaControls) << id;
        EXPECT_GE(enControls.size(), 2u) << id;
        // A UTF-8 script read in the wrong code page gives Latin letters instead of kana.
        bool kana = false;
        for (wchar_t ch : ja)
            kana = kana || (ch >= 0x3040 && ch <= 0x30FF) || (ch >= 0x4E00 && ch <= 0x9FFF);
        EXPECT_TRUE(kana) << id;
    }
}

// What the pages' code relies on: the tab titles, digits-only edits, radio groups that start
// and end where the data exchange expects them, and exactly the inert controls disabled.
TEST(DialogTemplates, SettingsPagesHaveTheirTitlesNumberEditsRadioGroupsAndDisabledControls) {
    const struct {
        UINT id;
        const wchar_t* title;
        std::vector<int> numbers, groupStarts, disabled;
    } pages[] = {
        {IDD_GENERAL_PAGE,
         L"General",
         {IDC_GEN_COUNT},
         {IDC_GEN_NULL, IDC_GEN_TRUNCATE_OFF, IDC_GEN_RENAME_OFF},
         {}},
        {IDD_DISPLAY_PAGE, L"Display", {}, {}, {}},
        {IDD_DETAIL1_PAGE,
         L"Detail 1/3",
         {IDC_DET1_BUFFER, IDC_DET1_OVERRUN, IDC_DET1_DODCHAR},
         {},
         {IDC_DET1_DODCHAR}},
        {IDD_DETAIL2_PAGE,
         L"Detail 2/3",
         {IDC_DET2_WIPE_SIZE, IDC_DET2_DUMMY_COUNT},
         {IDC_DET2_SAME_FOLDER},
         {}},
        {IDD_DETAIL3_PAGE, L"Detail 3/3", {}, {}, {IDC_TOOLS_VIEWER_PATH, IDC_TOOLS_VIEWER_BROWSE}},
    };
    auto isRadio = [](const Control& c) {
        return c.cls == "Button" && (c.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(page.id);
        std::wstring title;
        std::vector<Control> controls;
        ASSERT_TRUE(CreateInLanguage(page.id, kEnglish, title, controls));
        EXPECT_EQ(title, page.title);
        for (int id : page.numbers) {
            const size_t i = IndexOf(controls, id);
            ASSERT_LT(i, controls.size()) << id;
            EXPECT_TRUE(controls[i].style & ES_NUMBER) << id;
        }
        for (int id : page.groupStarts) {
            size_t i = IndexOf(controls, id);
            ASSERT_LT(i, controls.size()) << id;
            EXPECT_TRUE(isRadio(controls[i]) && (controls[i].style & WS_GROUP)) << id;
            while (++i < controls.size() && isRadio(controls[i]))
                EXPECT_FALSE(controls[i].style & WS_GROUP) << controls[i].id;
            EXPECT_TRUE(i == controls.size() || (controls[i].style & WS_GROUP))
                << "the group of " << id << " ends before " << controls[i].id;
        }
        std::vector<int> disabled;
        for (const Control& c : controls)
            if (c.id != IDC_STATIC && (c.style & WS_DISABLED)) disabled.push_back(c.id);
        EXPECT_EQ(disabled, page.disabled);
    }

    // The third overwrite button (rNull 2) exists in Japanese only, where it cannot be chosen.
    std::wstring title;
    std::vector<Control> en, ja;
    ASSERT_TRUE(CreateInLanguage(IDD_GENERAL_PAGE, kEnglish, title, en));
    ASSERT_TRUE(CreateInLanguage(IDD_GENERAL_PAGE, kJapanese, title, ja));
    EXPECT_EQ(IndexOf(en, IDC_GEN_DOD), en.size());
    const size_t dod = IndexOf(ja, IDC_GEN_DOD);
    ASSERT_LT(dod, ja.size());
    EXPECT_EQ(dod, IndexOf(ja, IDC_GEN_RANDOM) + 1);
    EXPECT_EQ(ja[dod].style & (WS_VISIBLE | WS_DISABLED), WS_DISABLED);
}

TEST(DialogTemplates, TheIconsHaveTrueColourImagesIn16_32And48Pixels) {
    for (UINT id : {IDI_APP, IDI_INSTALL}) {
        SCOPED_TRACE(id);
        HRSRC res =
            FindResourceA(nullptr, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
        ASSERT_NE(res, nullptr);
        const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
        std::vector<int> sizes;
        for (WORD i = 0; i < *reinterpret_cast<const WORD*>(dir + 4); ++i) {
            const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
            sizes.push_back(entry[0]);
            EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 32) << "bits per pixel";
            HICON icon =
                static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                              IMAGE_ICON, entry[0], entry[0], LR_DEFAULTCOLOR));
            EXPECT_NE(icon, nullptr) << entry[0];
            DestroyIcon(icon);
        }
        EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
    }
}

// ---- Helpers for live windows

std::string Text(HWND hWnd, int id) {
    char buf[512] = {};
    GetDlgItemTextA(hWnd, id, buf, sizeof(buf));
    return buf;
}

BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM out) {
    char cls[16] = {};
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (std::string(cls) == "#32770" && IsWindowVisible(hWnd))
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(hWnd);
    return TRUE;
}

// The visible dialogs of a thread.
std::vector<HWND> ThreadDialogs(DWORD threadId) {
    std::vector<HWND> found;
    EnumThreadWindows(threadId, &CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Plays the user of the modal dialogs that the main thread opens: each new visible dialog of
// that thread that `pick` accepts goes to `act`, on this thread. After the deadline it
// cancels whatever is open, so that a broken dialog fails the test instead of hanging it.
class User {
public:
    User(std::function<bool(HWND)> pick, std::function<void(HWND)> act)
        : m_thread([this, pick, act, tid = GetCurrentThreadId()] {
              const auto end = std::chrono::steady_clock::now() + kDeadline;
              HWND last = nullptr;
              while (!m_stop && std::chrono::steady_clock::now() < end) {
                  for (HWND dlg : ThreadDialogs(tid)) {
                      if (dlg != last && pick(dlg)) {
                          last = dlg;
                          ++m_handled;
                          act(dlg);
                      }
                  }
                  Sleep(20);
              }
              for (HWND dlg : m_stop ? std::vector<HWND>() : ThreadDialogs(tid))
                  PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
          }) {}
    ~User() { Stop(); }

    // The number of dialogs handled.
    int Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        return m_handled;
    }

    static bool Any(HWND) { return true; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_handled{0};
    std::thread m_thread;
};

// Runs a modeless window's messages until `done` or the deadline.
bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
    return true;
}

HWND MakeMainWindow() {
    return CreateWindowExA(0, "STATIC", "main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 40, 900, 700,
                           nullptr, nullptr, nullptr, nullptr);
}

// Whether the window's centre is that of `area` (to the pixel, for rounding).
bool CentredOn(HWND hWnd, const RECT& area) {
    RECT rc;
    GetWindowRect(hWnd, &rc);
    return std::abs((rc.left + rc.right) - (area.left + area.right)) <= 2 &&
           std::abs((rc.top + rc.bottom) - (area.top + area.bottom)) <= 2;
}

// ---- The confirmation

// How the user answers, and what the job must see.
struct Answer {
    const char* how;
    std::function<void(HWND)> act;
    INT_PTR result;
};

void PressKey(HWND dlg, WPARAM key) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &info);
    PostMessageA(info.hwndFocus != nullptr ? info.hwndFocus : dlg, WM_KEYDOWN, key, 0);
}

const std::vector<Answer>& Answers() {
    static const std::vector<Answer> answers = {
        {"OK button", [](HWND d) { SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, 1},
        {"Return", [](HWND d) { PressKey(d, VK_RETURN); }, 1},
        {"Cancel button", [](HWND d) { SendMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }, 0},
        {"Esc", [](HWND d) { PressKey(d, VK_ESCAPE); }, 0},
        {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, 0},
        {"posted IDOK", [](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); }, 1},
    };
    return answers;
}

TEST(ConfirmDialog, ShowsTheQuestionAndReturnsOneForOkAndZeroOtherwise) {
    for (const Answer& answer : Answers()) {
        const std::string question = std::string("Delete 2 Files, OK ? \xE2\x80\x94 ") + answer.how;
        std::string shown;
        HWND owner = reinterpret_cast<HWND>(1);
        CDlgConfirm dlg;
        dlg.m_strMessage = question;
        INT_PTR result = -2;
        {
            User user(User::Any, [&](HWND d) {
                shown = Text(d, IDC_CONFIRM_MESSAGE);
                owner = GetWindow(d, GW_OWNER);
                answer.act(d);
            });
            result = dlg.DoModal();
            EXPECT_EQ(user.Stop(), 1) << answer.how;
        }
        EXPECT_EQ(result, answer.result) << answer.how;
        EXPECT_EQ(shown, question) << answer.how;
        EXPECT_EQ(owner, nullptr) << "no main window, no owner";
    }
}

// The main window owns the job's dialogs and is disabled while a modal one runs.
TEST(ConfirmDialog, TheApplicationsMainWindowOwnsTheDialogs) {
    CWinApp app;
    app.m_hMainWnd = MakeMainWindow();
    ASSERT_NE(app.m_hMainWnd, nullptr);
    RECT mainRect;
    GetWindowRect(app.m_hMainWnd, &mainRect);
    HWND owner = nullptr;
    BOOL mainEnabled = TRUE;
    bool centred = false;
    {
        User user(User::Any, [&](HWND d) {
            owner = GetWindow(d, GW_OWNER);
            mainEnabled = IsWindowEnabled(app.m_hMainWnd);
            centred = CentredOn(d, mainRect);
            PostMessageA(d, WM_COMMAND, IDOK, 0);
        });
        EXPECT_TRUE(Win32JobUi().Confirm("?"));
    }
    EXPECT_EQ(owner, app.m_hMainWnd);
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(centred);
    EXPECT_TRUE(IsWindowEnabled(app.m_hMainWnd));

    std::unique_ptr<ProgressWindow> progress = Win32JobUi().CreateProgress();
    ASSERT_NE(progress, nullptr);
    const std::vector<HWND> dialogs = ThreadDialogs(GetCurrentThreadId());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(GetWindow(dialogs[0], GW_OWNER), app.m_hMainWnd);
    progress.reset();
    DestroyWindow(app.m_hMainWnd);
}

// A dialog that cannot be created must not pass for consent: the job would wipe unasked.
TEST(ConfirmDialog, ADialogThatCannotBeCreatedIsNoConsentAndNoProgressWindow) {
    CWinApp app;
    app.m_hInstance = GetModuleHandleA("ntdll.dll");  // a module without our templates
    ASSERT_EQ(FindResourceA(app.m_hInstance, MAKEINTRESOURCEA(IDD_CONFIRM),
                            reinterpret_cast<LPCSTR>(RT_DIALOG)),
              nullptr);
    // Should a dialog come up after all, answer it rather than hang.
    User guard(User::Any, [](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(CDlgConfirm().DoModal(), -1);
    Win32JobUi ui;
    EXPECT_FALSE(ui.Confirm("Delete 1 Files, OK ?"));
    EXPECT_EQ(ui.CreateProgress(), nullptr);
    EXPECT_FALSE(CDlgProgress().CreateModeless());
    EXPECT_EQ(guard.Stop(), 0);
}

// ---- The progress window

TEST(ProgressWindow, ShowsAtOnceAndTakesTheJobsUpdates) {
    Win32JobUi ui;
    std::unique_ptr<ProgressWindow> progress = ui.CreateProgress();
    ASSERT_NE(progress, nullptr);
    const std::vector<HWND> dialogs = ThreadDialogs(GetCurrentThreadId());
    ASSERT_EQ(dialogs.size(), 1u) << "created visible";
    HWND dlg = dialogs[0];
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(CentredOn(dlg, work)) << "no owner: centred on the screen";
    for (int id : {kProgressFileName, kProgressStatus, kProgressMegabytes})
        EXPECT_EQ(Text(dlg, id), "") << id;
    char cls[32] = {};
    GetClassNameA(GetDlgItem(dlg, kProgressBar), cls, sizeof(cls));
    EXPECT_STREQ(cls, PROGRESS_CLASSA);

    const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC long name.txt";  // 日本 long name.txt
    progress->SetItemText(kProgressFileName, name);
    progress->SetItemText(kProgressStatus, "processing 1/3 (0 errors)");
    progress->SetItemText(kProgressMegabytes, "5/20MB");
    EXPECT_EQ(Text(dlg, kProgressFileName), name);
    EXPECT_EQ(Text(dlg, kProgressStatus), "processing 1/3 (0 errors)");
    EXPECT_EQ(Text(dlg, kProgressMegabytes), "5/20MB");
    for (int pos : {33, 66, 100}) {
        progress->SetBarPos(pos);
        EXPECT_EQ(SendDlgItemMessageA(dlg, kProgressBar, PBM_GETPOS, 0, 0), pos);
    }

    // No message loop runs during a job: one repaint must leave nothing unpainted.
    InvalidateRect(dlg, nullptr, TRUE);
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        InvalidateRect(child, nullptr, TRUE);
    progress->Repaint();
    EXPECT_FALSE(GetUpdateRect(dlg, nullptr, FALSE));
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE)) << GetDlgCtrlID(child);

    progress.reset();
    EXPECT_FALSE(IsWindow(dlg));
}

// Closing the window while the job runs hides it; the job keeps writing to it and ends it.
TEST(ProgressWindow, OkCancelAndTheCloseBoxOnlyHideIt) {
    const std::vector<std::pair<const char*, std::function<void(HWND)>>> closers = {
        {"IDOK", [](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); }},
        {"IDCANCEL", [](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); }},
        {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& closer : closers) {
        CDlgProgress dlg;
        ASSERT_TRUE(dlg.CreateModeless());
        HWND hWnd = dlg.m_hWnd;
        closer.second(hWnd);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(hWnd); })) << closer.first;
        ASSERT_TRUE(IsWindow(hWnd)) << closer.first;
        EXPECT_EQ(dlg.m_hWnd, hWnd);
        dlg.m_ctlProgress.SetPos(50);
        EXPECT_EQ(dlg.m_ctlProgress.GetPos(), 50) << closer.first;
    }
    // The object's end takes its window along.
    HWND left = nullptr;
    {
        CDlgProgress dlg;
        ASSERT_TRUE(dlg.CreateModeless());
        left = dlg.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(left));
}

// ---- The message viewer

struct ViewerState {
    DWORD selStart = 1, selEnd = 0;
    int firstLine = -1, length = -1;
    bool typingIgnored = false, summaryInView = false;
};

ViewerState ReadViewer(HWND dlg, const std::string& summary) {
    ViewerState s;
    HWND edit = GetDlgItem(dlg, IDC_LOG_TEXT);
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&s.selStart),
                 reinterpret_cast<LPARAM>(&s.selEnd));
    s.firstLine = static_cast<int>(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    s.length = GetWindowTextA(edit, &text[0], static_cast<int>(text.size()));
    SendMessageA(edit, WM_CHAR, 'x', 0);
    s.typingIgnored = GetWindowTextLengthA(edit) == s.length;
    // The summary's first character lies inside the edit box's client area.
    const LRESULT pos = SendMessageA(edit, EM_POSFROMCHAR, text.find(summary), 0);
    RECT client;
    GetClientRect(edit, &client);
    const int y = static_cast<short>(HIWORD(pos));
    s.summaryInView = pos != -1 && y >= 0 && y < client.bottom;
    return s;
}

std::string MakeLog(int targets) {
    std::string log = "Option :\r\n Change Date:ON, OverWrite:RND (3 times)\r\n";
    for (int i = 1; i <= targets; ++i)
        log += "OK : C:\\data\\file-" + std::to_string(i) + ".txt\r\n";
    return log + "\r\nComplete (OK " + std::to_string(targets) + ",  NG+Exclude 0)\r\n";
}

TEST(LogViewer, OpensAtTheEndWithNothingSelected) {
    const struct {
        int targets;
        bool scrolled;
        const char* how;
        std::function<void(HWND)> close;
        INT_PTR result;
    } rows[] = {
        {1, false, "OK", [](HWND d) { SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, IDOK},
        {60, true, "Return", [](HWND d) { PressKey(d, VK_RETURN); }, IDOK},
        {3000, true, "Esc", [](HWND d) { PressKey(d, VK_ESCAPE); }, IDCANCEL},
        {200, true, "close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
         IDCANCEL},
    };
    for (const auto& row : rows) {
        CDlgLogView dlg;
        dlg.m_strLogText = MakeLog(row.targets);
        const std::string summary = "Complete (OK " + std::to_string(row.targets);
        ViewerState s;
        INT_PTR result = 0;
        {
            User user(User::Any, [&](HWND d) {
                s = ReadViewer(d, summary);
                row.close(d);
            });
            result = dlg.DoModal();
            EXPECT_EQ(user.Stop(), 1);
        }
        SCOPED_TRACE(row.targets);
        EXPECT_EQ(result, row.result) << row.how;
        EXPECT_EQ(s.length, static_cast<int>(dlg.m_strLogText.size())) << "the whole text";
        EXPECT_TRUE(s.typingIgnored) << "read-only";
        EXPECT_EQ(s.selStart, static_cast<DWORD>(s.length)) << "caret at the end";
        EXPECT_EQ(s.selEnd, s.selStart) << "nothing selected";
        EXPECT_EQ(s.firstLine > 0, row.scrolled);
        EXPECT_TRUE(s.summaryInView);
    }
}

// ---- Data exchange with a range check

// The viewer's template lends an edit box (number) and a button (text after it).
class NumberDialog : public CDialog {
public:
    NumberDialog() : CDialog(IDD_LOGVIEW) {}
    int m_nValue = 0;
    std::string m_strAfter = "untouched";

protected:
    void DoDataExchange(DataExchange& dx) override {
        DDX_Text(dx, IDC_LOG_TEXT, m_nValue);
        DDV_MinMaxInt(dx, m_nValue, -10, 100);
        DDX_Text(dx, IDOK, m_strAfter);
    }
};

TEST(DataExchange, SavesNumbersInRangeAndStopsAtTheFirstBadOne) {
    const struct {
        const char* text;
        bool ok;
        int value;  // after the save
    } rows[] = {
        {"42", true, 42},    {" 100 ", true, 100},      {"-10", true, -10}, {"0", true, 0},
        {"101", false, 101}, {"-11", false, -11},       {"", false, 7},     {"12x", false, 7},
        {"abc", false, 7},   {"99999999999", false, 7},
    };
    for (const auto& row : rows) {
        NumberDialog dlg;
        ASSERT_TRUE(dlg.Create());
        ShowWindow(dlg.m_hWnd, SW_SHOW);
        HWND edit = dlg.GetDlgItem(IDC_LOG_TEXT);
        SetWindowTextA(edit, row.text);
        SetDlgItemTextA(dlg.m_hWnd, IDOK, "after");
        dlg.m_nValue = 7;
        std::string message;
        BOOL saved = FALSE;
        {
            // A failure explains itself in a box over the dialog.
            User user([&](HWND d) { return GetWindow(d, GW_OWNER) == dlg.m_hWnd; },
                      [&](HWND box) {
                          message = Text(box, 0xFFFF);
                          PostMessageA(box, WM_COMMAND, IDOK, 0);
                      });
            saved = dlg.UpdateData(TRUE);
            EXPECT_EQ(user.Stop(), row.ok ? 0 : 1);
        }
        SCOPED_TRACE(row.text);
        EXPECT_EQ(saved != FALSE, row.ok);
        EXPECT_EQ(dlg.m_nValue, row.value);
        EXPECT_EQ(message.empty(), row.ok) << message;
        if (row.ok) {
            EXPECT_EQ(dlg.m_strAfter, "after");
            continue;
        }
        EXPECT_EQ(dlg.m_strAfter, "untouched") << "the exchange stops at the bad field";
        EXPECT_EQ(GetFocus(), edit);
        DWORD start = 1, end = 0;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthA(edit)));
        if (row.value != 7) {
            EXPECT_NE(message.find("-10"), std::string::npos) << message;
        }
    }
}

TEST(DataExchange, LoadingShowsTheValueWithoutCheckingIt) {
    NumberDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.m_nValue = 500;
    EXPECT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(Text(dlg.m_hWnd, IDC_LOG_TEXT), "500");
    EXPECT_EQ(Text(dlg.m_hWnd, IDOK), "untouched");
}

// ---- The settings pages' data exchange

// A bare window with what the exchanges bind: an edit, a check box, and a radio group of three
// that the next control ends.
class ExchangeWindow {
public:
    ExchangeWindow() {
        m_hWnd = CreateWindowExA(0, "#32770", "Exchange", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
        Child("EDIT", ES_NUMBER | WS_BORDER | WS_TABSTOP, kEdit);
        Child("BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, kCheck);
        for (int i = 0; i < 3; ++i)
            Child("BUTTON", BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0), kRadio + i);
        Child("BUTTON", BS_AUTOCHECKBOX | WS_GROUP, kCheck + 1);
    }
    ~ExchangeWindow() { DestroyWindow(m_hWnd); }

    static constexpr int kEdit = 100, kCheck = 200, kRadio = 300;
    HWND m_hWnd;

private:
    void Child(const char* cls, DWORD style, int id) {
        CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 10, 10 + 20 * (id % 10), 100, 18,
                        m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                        nullptr);
    }
};

// Each number edit of the pages at the edges of its range, and what no number is: the value
// kept, or the prompt shown with the focus on the edit and its text selected.
TEST(SettingsExchange, NumbersAreParsedAndRangeCheckedWithThePrompt) {
    enum Outcome { kKept, kOutOfRange, kNoInteger };
    struct Row {
        const char* what;
        const char* text;
        bool isUnsigned;
        int64_t min, max;
        Outcome outcome;
        int32_t value;  // when kept
    };
    const Row rows[] = {
        {"nOvwr 0", "0", false, 1, 50, kOutOfRange, 0},
        {"nOvwr 51", "51", false, 1, 50, kOutOfRange, 0},
        {"nOvwr 1", "1", false, 1, 50, kKept, 1},
        {"nOvwr 50", " 50 ", false, 1, 50, kKept, 50},
        {"buffer 0", "0", true, 1, 2048, kOutOfRange, 0},
        {"buffer 2049", "2049", true, 1, 2048, kOutOfRange, 0},
        {"overrun 65536", "65536", true, 0, 65536, kKept, 65536},
        {"overrun 65537", "65537", true, 0, 65536, kOutOfRange, 0},
        {"additional wipe 0", "0", true, 1, 100, kOutOfRange, 0},
        {"additional wipe 101", "101", true, 1, 100, kOutOfRange, 0},
        {"dummy files 0", "0", true, 1, 100, kOutOfRange, 0},
        {"dummy files 100", "100", true, 1, 100, kKept, 100},
        {"dummy files 101", "101", true, 1, 100, kOutOfRange, 0},
        {"empty", "", true, 1, 100, kNoInteger, 0},
        {"text", "abc", false, 1, 50, kNoInteger, 0},
        {"a sign where none is taken", "-1", true, 0, 65536, kNoInteger, 0},
    };
    ExchangeWindow w;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SetDlgItemTextA(w.m_hWnd, ExchangeWindow::kEdit, r.text);
        int32_t field = -5;
        std::string prompt;
        bool failed = false;
        {
            User user([](HWND d) { return GetDlgItem(d, 0xFFFF) != nullptr; },
                      [&](HWND d) {
                          prompt = Text(d, 0xFFFF);
                          PostMessageA(d, WM_COMMAND, IDOK, 0);
                      });
            DataExchange dx(w.m_hWnd, true);
            if (r.isUnsigned) {
                uint32_t& u = reinterpret_cast<uint32_t&>(field);
                DDX_Text(dx, ExchangeWindow::kEdit, u);
                DDV_MinMaxUInt(dx, u, static_cast<uint32_t>(r.min), static_cast<uint32_t>(r.max));
            } else {
                DDX_Text(dx, ExchangeWindow::kEdit, field);
                DDV_MinMaxInt(dx, field, static_cast<int32_t>(r.min), static_cast<int32_t>(r.max));
            }
            failed = dx.Failed();
            user.Stop();
        }
        if (r.outcome == kKept) {
            EXPECT_FALSE(failed);
            EXPECT_EQ(field, r.value);
            EXPECT_EQ(prompt, "");
            continue;
        }
        EXPECT_TRUE(failed);
        EXPECT_EQ(prompt, r.outcome == kNoInteger
                              ? std::string("Please enter an integer.")
                              : "Please enter an integer between " + std::to_string(r.min) +
                                    " and " + std::to_string(r.max) + ".");
        HWND edit = GetDlgItem(w.m_hWnd, ExchangeWindow::kEdit);
        EXPECT_EQ(GetFocus(), edit);
        DWORD start = 1, end = 0;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(std::strlen(r.text)));
    }
}

TEST(SettingsExchange, CheckBoxesAndRadioGroupsBothWays) {
    ExchangeWindow w;
    struct Row {
        int32_t loaded;
        int radioChecked;  // which button the load checks, -1 none
        int32_t saved;     // read back without a click
    };
    for (const Row& r : {Row{0, 0, 0}, Row{2, 2, 2}, Row{-1, -1, -1}, Row{5, -1, -1}}) {
        int32_t radio = r.loaded;
        DataExchange load(w.m_hWnd, false);
        DDX_Radio(load, ExchangeWindow::kRadio, radio);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(IsDlgButtonChecked(w.m_hWnd, ExchangeWindow::kRadio + i) == BST_CHECKED,
                      i == r.radioChecked)
                << r.loaded;
        }
        DataExchange save(w.m_hWnd, true);
        DDX_Radio(save, ExchangeWindow::kRadio, radio);
        EXPECT_EQ(radio, r.saved) << r.loaded;
    }
    // A value that no check box shows is taken as 0.
    for (const int32_t loaded : {1, 0, 7, -1}) {
        int32_t check = loaded;
        DataExchange load(w.m_hWnd, false);
        DDX_Check(load, ExchangeWindow::kCheck, check);
        DataExchange save(w.m_hWnd, true);
        DDX_Check(save, ExchangeWindow::kCheck, check);
        EXPECT_EQ(check, loaded == 1 ? 1 : 0) << loaded;
    }
}

// ---- The settings sheet

// Sees the help requests instead of opening the viewer.
class HelpRecorder : public CWinApp {
public:
    void ShowHtmlHelp(const std::string& address) override { requests.push_back(address); }
    std::vector<std::string> requests;
};

HWND CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

std::string WindowTitle(HWND hWnd) {
    char buf[128] = {};
    GetWindowTextA(hWnd, buf, sizeof(buf));
    return buf;
}

// Waits on this thread until `done`; false at the deadline.
bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        Sleep(20);
    }
    return true;
}

// The sheet as a user meets it: a bad value keeps its page in front with the prompt; F1 asks
// for the topic of the page in front; Delete Now hands over the path as typed; OK returns
// what the pages hold.
TEST(SettingsSheet, PagesValidateAskForTheirHelpAndOkKeepsWhatTheyHold) {
    HelpRecorder app;
    app.m_strHelpFilePath = "C:\\Tidewipe\\Tidewipe.chm";
    WipeOptions options;
    std::vector<std::string> deleted;
    std::vector<std::string> seen;
    const DWORD tid = GetCurrentThreadId();
    std::thread user([&] {
        HWND sheet = nullptr;
        auto find = [&](const std::function<bool(HWND)>& pick) {
            for (HWND d : ThreadDialogs(tid)) {
                if (pick(d)) return d;
            }
            return static_cast<HWND>(nullptr);
        };
        auto box = [&] { return find([](HWND d) { return GetDlgItem(d, 0xFFFF) != nullptr; }); };
        auto help = [&] {
            HELPINFO info = {};
            info.cbSize = sizeof(info);
            SendMessageA(CurrentPage(sheet), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        };
        auto show = [&](int index, const char* title) {
            PostMessageA(sheet, PSM_SETCURSEL, index, 0);
            return WaitFor([&] { return WindowTitle(CurrentPage(sheet)) == title; });
        };
        if (!WaitFor([&] {
                return (sheet = find([](HWND d) {
                            return WindowTitle(d) == "Tidewipe Configuration";
                        })) != nullptr;
            }))
            return;
        seen.push_back(WindowTitle(CurrentPage(sheet)));
        SetDlgItemTextA(CurrentPage(sheet), IDC_GEN_COUNT, "0");
        PostMessageA(sheet, PSM_SETCURSEL, 1, 0);
        HWND prompt = nullptr;
        if (!WaitFor([&] { return (prompt = box()) != nullptr; })) return;
        seen.push_back(Text(prompt, 0xFFFF));
        PostMessageA(prompt, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return box() == nullptr; });
        seen.push_back(WindowTitle(CurrentPage(sheet)));
        help();
        SetDlgItemTextA(CurrentPage(sheet), IDC_GEN_COUNT, "7");
        if (!show(3, "Detail 2/3")) return;
        help();
        if (!show(4, "Detail 3/3")) return;
        HWND tools = CurrentPage(sheet);
        SetDlgItemTextA(tools, IDC_TOOLS_PATH, " C:\\x y\\f.txt");
        SendMessageA(GetDlgItem(tools, IDC_TOOLS_DELETE), BM_CLICK, 0, 0);
        PostMessageA(sheet, WM_COMMAND, IDOK, 0);
    });
    const bool ok = RunSettingsSheet(options, [&](const std::string& p) { deleted.push_back(p); });
    user.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "General", "Please enter an integer between 1 and 50.", "General"}));
    EXPECT_EQ(app.requests, (std::vector<std::string>{"C:\\Tidewipe\\Tidewipe.chm::/147.htm",
                                                      "C:\\Tidewipe\\Tidewipe.chm::/154.htm"}));
    EXPECT_EQ(deleted, std::vector<std::string>{" C:\\x y\\f.txt"});
    EXPECT_EQ(options.nOvwr, 7);
    EXPECT_EQ(app.m_hMainWnd, nullptr) << "the sheet is the main window only while it runs";

    // Cancel returns false, whatever the pages hold.
    std::thread cancel([&] {
        HWND sheet = nullptr;
        if (!WaitFor([&] {
                for (HWND d : ThreadDialogs(tid))
                    if (WindowTitle(d) == "Tidewipe Configuration") sheet = d;
                return sheet != nullptr;
            }))
            return;
        SetDlgItemTextA(CurrentPage(sheet), IDC_GEN_COUNT, "9");
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(RunSettingsSheet(options, nullptr));
    cancel.join();
}

// ---- The install dialog

TEST(InstallDialog, ShowsTheChoicesAsksForItsTopicAndReturnsWhatWasChosen) {
    HelpRecorder app;
    app.m_strHelpFilePath = "C:\\T\\Tidewipe.chm";
    CDlgInstall dlg;
    dlg.m_bDesktop = 1;
    dlg.m_nUninstallPlace = 1;
    std::string shown;
    INT_PTR result = 0;
    {
        User user(User::Any, [&](HWND d) {
            for (int id : {IDC_INSTALL_DESKTOP, IDC_INSTALL_SENDTO, IDC_INSTALL_STARTMENU,
                           IDC_INSTALL_ENTRY, IDC_INSTALL_UNINSTALL_LINK})
                shown += IsDlgButtonChecked(d, id) == BST_CHECKED ? '1' : '0';
            SendMessageA(GetDlgItem(d, IDC_INSTALL_HELP), BM_CLICK, 0, 0);
            SendMessageA(GetDlgItem(d, IDC_INSTALL_SENDTO), BM_CLICK, 0, 0);
            SendMessageA(GetDlgItem(d, IDC_INSTALL_ENTRY), BM_CLICK, 0, 0);
            PostMessageA(d, WM_COMMAND, IDOK, 0);
        });
        result = dlg.DoModal();
        EXPECT_EQ(user.Stop(), 1);
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(shown, "10001");
    EXPECT_EQ(app.requests, std::vector<std::string>{"C:\\T\\Tidewipe.chm::/149.htm"});
    EXPECT_EQ(dlg.m_bSendTo, 1);
    EXPECT_EQ(dlg.m_bDesktop, 1);
    EXPECT_EQ(dlg.m_bStartMenu, 0);
    EXPECT_EQ(dlg.m_nUninstallPlace, 0);
}

}  // namespace
