// What the end-to-end tests cannot see, inside the test process: dialogs that cannot be made,
// the progress window's painting, both languages' string tables, the manifest's effect, and
// the install and registry code at its edges. These run in the test prefix's own registry.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "app/AppStrings.h"
#include "framework/WinApp.h"
#include "install/InstallMarker.h"
#include "install/ShellLinks.h"
#include "install/Uninstall.h"
#include "platform/win32/RegistryProfileStore.h"
#include "platform/win32/Win32JobUi.h"
#include "res/EnglishStrings.h"
#include "res/resource.h"

namespace {

// A dialog that cannot be created must not pass for consent: the job would wipe unasked.
TEST(Dialogs, ThatCannotBeCreatedAreNoConsentAndNoProgressWindow) {
    CWinApp app;
    app.m_hInstance = GetModuleHandleA("ntdll.dll");  // a module without our templates
    EXPECT_FALSE(Win32JobUi().Confirm("Delete 1 Files, OK ?"));
    EXPECT_EQ(Win32JobUi().CreateProgress(), nullptr);
}

// No message loop runs during a job, so one repaint must leave nothing unpainted; closing the
// window only hides it, as the job goes on writing to it, and the job's end takes it away.
TEST(ProgressWindow, RepaintsWholeAndClosingOnlyHidesIt) {
    for (WPARAM close : {IDOK, IDCANCEL, SC_CLOSE}) {
        std::unique_ptr<ProgressWindow> progress = Win32JobUi().CreateProgress();
        HWND dlg = FindWindowA(nullptr, "Tidewipe Working Progress");
        ASSERT_TRUE(progress != nullptr && IsWindowVisible(dlg));
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        progress->Repaint();
        EXPECT_FALSE(GetUpdateRect(dlg, nullptr, FALSE));
        for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE)) << GetDlgCtrlID(child);

        PostMessageA(dlg, close == SC_CLOSE ? WM_SYSCOMMAND : WM_COMMAND, close, 0);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        EXPECT_FALSE(IsWindowVisible(dlg)) << close;
        EXPECT_TRUE(IsWindow(dlg)) << close;
        progress.reset();
        EXPECT_FALSE(IsWindow(dlg));
    }
}

// One string of the table in a given language, whatever the user's; "" when it is missing.
std::string TableString(UINT id, LANGID lang) {
    HRSRC res = FindResourceExA(nullptr, reinterpret_cast<LPCSTR>(RT_STRING),
                                MAKEINTRESOURCEA(id / 16 + 1), lang);
    if (res == nullptr) return "";
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, res)));
    for (UINT i = 0; i < id % 16; ++i)
        p += 1 + *p;
    char text[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, p + 1, *p, text, sizeof(text) - 1, nullptr, nullptr);
    return text;
}

std::string Directives(const std::string& format) {
    std::string out;
    for (size_t i = format.find('%'); i != std::string::npos; i = format.find('%', i + 2))
        out += format.substr(i, 2);
    return out;
}

// Every string of the program in both languages and nothing beside: the English ones as the
// native build has them, the Japanese ones with the same printf directives, and the names that
// the registry and the shortcuts use the same in both.
TEST(Resources, BothStringTablesHoldEveryTextWithItsDirectives) {
    for (LANGID lang : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                        MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}) {
        for (unsigned id = IDS_APP_TITLE; id <= IDS_ERROR_CAPTION; ++id) {
            const std::string text = TableString(id, lang);
            const char* english = EnglishString(id);
            const char* name = BuiltInAppString(id);
            EXPECT_EQ(text.empty(), english == nullptr) << lang << ": " << id;
            if (english == nullptr) continue;
            EXPECT_EQ(Directives(text), Directives(english)) << lang << ": " << text;
            EXPECT_TRUE(text == english || (PRIMARYLANGID(lang) != LANG_ENGLISH && !name)) << text;
        }
    }
}

// Reads the caption of the box that has just been set up, then closes it.
std::wstring g_caption;
LRESULT CALLBACK ReadAndClose(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT& call = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call.message == WM_INITDIALOG) {
        wchar_t title[64] = {};
        GetWindowTextW(call.hwnd, title, 64);
        g_caption = title;
        PostMessageW(call.hwnd, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Our own error boxes (a failed uninstall shortcut, a refused quick delete) are captioned from
// the string table: a Japanese user reads no English on them.
TEST(Resources, OurErrorBoxesAreCaptionedInTheUsersLanguage) {
    const LANGID saved = GetThreadUILanguage();
    const LCID savedLocale = GetThreadLocale();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, ReadAndClose, nullptr, GetCurrentThreadId());
    const std::pair<LANGID, std::wstring> rows[] = {
        {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), L"\u30a8\u30e9\u30fc"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"Error"}};
    for (const auto& [lang, caption] : rows) {
        // Windows looks resources up in the thread's UI language, Wine in its locale's.
        SetThreadUILanguage(lang);
        SetThreadLocale(MAKELCID(lang, SORT_DEFAULT));
        g_caption.clear();
        EXPECT_EQ(ShowErrorBox(nullptr, "x"), IDOK);
        EXPECT_TRUE(g_caption == caption) << lang;
    }
    UnhookWindowsHookEx(hook);
    SetThreadUILanguage(saved);
    SetThreadLocale(savedLocale);
}

// A manifest that does not fit the build is ignored whole, silently: check what it does. (The
// end-to-end tests see its UTF-8 code page.) Version 6 of the common controls is the
// side-by-side assembly; the system folder's copy is version 5.
TEST(Resources, TheManifestLoadsCommonControls6) {
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(LoadLibraryA("comctl32.dll"), path, MAX_PATH), 0u);
    CharLowerA(path);
    EXPECT_NE(std::string(path).find("microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
              std::string::npos)
        << path;
}

// The uninstall entry quotes the program's path where it holds a blank (the end-to-end install
// scenario sees one without); without a Send To folder there is no shortcut, least of all at
// the root of the current drive.
TEST(Install, UninstallCommandAndAMissingSendToFolder) {
    EXPECT_EQ(UninstallCommand("C:\\Program Files\\Tidewipe.exe"),
              "\"C:\\Program Files\\Tidewipe.exe\" /delete");

    const char key[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    char folder[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_SENDTO, nullptr, 0, folder);  // settles the values
    std::string sendTo;
    ASSERT_TRUE(QueryShellFolder("SendTo", sendTo));
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "SendTo");
    EXPECT_FALSE(MakeSendToShortcut());
    EXPECT_EQ(GetFileAttributesA("\\Tidewipe.LNK"), INVALID_FILE_ATTRIBUTES);
    RegSetKeyValueA(HKEY_CURRENT_USER, key, "SendTo", REG_SZ, sendTo.c_str(),
                    static_cast<DWORD>(sendTo.size() + 1));
}

// The marker is the presence of its value, of any type, where it fits in four bytes; another
// name does not count. The options store reads a DWORD alone, with its sign; anything else is
// the default.
TEST(Install, MarkerAndOptionsAtTheEdgesOfTheirValues) {
    const BYTE zeros[8] = {};
    for (DWORD size : {0u, 4u, 5u, 8u}) {
        RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\fen_works", "marlock", REG_BINARY, zeros,
                        size);
        EXPECT_EQ(IsInstalled(), size <= 4) << size;
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\fen_works");
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\fen_works", "Marlock2", REG_DWORD, zeros, 4);
    EXPECT_FALSE(IsInstalled());

    RegistryProfileStore store{"fen works", "marlock"};
    EXPECT_TRUE(store.WriteProfileInt("Settings", "nFiles", -40));
    EXPECT_EQ(store.GetProfileInt("Settings", "nFiles", 40), -40);
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\fen works\\marlock\\Settings", "nOvwr",
                    REG_BINARY, zeros, 4);
    EXPECT_EQ(store.GetProfileInt("Settings", "nOvwr", 3), 3);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\fen works");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\fen_works");
}

}  // namespace
