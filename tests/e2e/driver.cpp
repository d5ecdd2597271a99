// End-to-end driver: runs one scenario against the real Tidewipe.exe in the same Wine prefix.
// It sets the registry, starts the program with an exact command line, answers its windows
// the way a user would and prints one line per thing it saw, for tests/e2e/run-e2e to compare.
//
//   tidewipe_e2e_driver [options] PROGRAM TARGET-TEXT
//     --set NAME=VALUE   store the option NAME as a REG_DWORD first (repeatable); every run
//                        starts from an empty Settings key, so the others are at their defaults
//     --no-marker        start without the install marker (it is set otherwise)
//     --hold PATH        keep PATH open without sharing while the program runs (repeatable)
//     --cancel           answer the confirmation with Cancel (OK otherwise)
//     --pause WHICH      confirm, progress or viewer (repeatable): print the window's rectangle
//                        as "pause WHICH: X Y WIDTH HEIGHT" and wait for a line on stdin before
//                        going on; the program is suspended meanwhile at the progress window,
//                        which pauses there once it shows a file, a count and a megabyte figure
//     --timeout SECONDS  how long the program may run (20)
//     --sheet STEP       a step on the settings sheet (repeatable, in order), each taken once
//                        no other window of the program is open and the sheet takes input:
//                          page N        bring tab N (from 0) to the front
//                          front         print the title of the page in front
//                          type ID TEXT  put TEXT into control ID of the page in front
//                          click ID      click button ID of the page in front
//                          enabled ID    print whether control ID of the page in front is
//                                        enabled
//                          ok | cancel   press the sheet's OK or Cancel
//                          pause NAME    as --pause, at the sheet
//     --show-settings    print the stored options once the program has ended
//     --show-install     print the install marker, the uninstall entries, the shortcuts and
//                        the program's keys once the program has ended
//     --fresh            first remove everything an install makes (keys, entries, shortcuts);
//                        no marker then unless the install dialog writes one
//     --keep             leave the registry and the shortcuts as they are
//     --answer yes|no    the answer to a question box (yes)
//
// PROGRAM is a Windows path; TARGET-TEXT follows it verbatim on the program's command line.
// The steps of --sheet also serve the install dialog while it is open ("click ID", "ok",
// "cancel", "enabled ID" on the dialog itself).
// Output lines, texts with \ CR LF TAB escaped as \\ \r \n \t:
//   confirm: TEXT | progress-title: TITLE | progress: FILE | COUNT | MEGABYTES (on each change)
//   box TITLE: TEXT | viewer: TEXT | window: TITLE (anything else, closed) | exit: CODE
//   front: TITLE | enabled ID: 0|1 | version: PRODUCT | VERSION | install: TITLE
//   settings: NAME=VALUE ... (sorted by name; "settings:" alone when none is stored)
//   marker: yes|no | entry HKCU|HKLM: COMMAND | NAME (or none)
//   link SendTo|Desktop|Programs|Uninstall: TARGET | ARGUMENTS | DESCRIPTION (or none)
//   keys: fen works=yes|no fen_works=yes|no
// Exit status: 0 when the program ended by itself, 1 on a setup failure, 2 when it was killed
// at the deadline.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../win32/ShellLinkReader.h"

namespace {

const char kSettingsKey[] = "Software\\fen works\\marlock\\Settings";
const char kMarkerKey[] = "Software\\fen_works";
const char kMakerKey[] = "Software\\fen works";
const char kEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\marlock";
const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kMarkerValue[] = "marlock";

const char kConfirmTitle[] = "Tidewipe confirmation";
const char kProgressTitle[] = "Tidewipe Working Progress";
const char kViewerTitle[] = "Tidewipe Message Viewer";
const char kVersionTitle[] = "Tidewipe Version";

// Control ids of the program's dialogs and of a message box's text.
const int kConfirmMessage = 1026;
const int kProgressFile = 1014;
const int kProgressStatus = 1016;
const int kProgressMegabytes = 1058;
const int kLogText = 1037;
const int kMessageBoxText = 0xFFFF;
const int kVersionProduct = 1060;
const int kVersionNumber = 1061;
const int kInstallEntryRadio = 1036;  // only the install dialog has it

// The program's shortcuts: the Shell Folders value and the file name.
const struct {
    const char* label;
    const char* folder;
    const char* file;
} kLinks[] = {{"SendTo", "SendTo", "\\Tidewipe.LNK"},
              {"Desktop", "Desktop", "\\Tidewipe.LNK"},
              {"Programs", "Programs", "\\Tidewipe.LNK"},
              {"Uninstall", "Programs", "\\Tidewipe uninstall.LNK"}};

const DWORD kPollMs = 50;

struct Options {
    std::vector<std::pair<std::string, DWORD>> settings;
    std::vector<std::string> holds;
    std::set<std::string> pauses;
    std::vector<std::string> sheetSteps;
    bool showSettings = false;
    bool showInstall = false;
    bool fresh = false;
    bool keep = false;
    bool answerYes = true;
    bool marker = true;
    bool cancel = false;
    DWORD timeoutMs = 20000;
    std::string program;
    std::string targets;
};

void Emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int Usage(const char* why) {
    std::fprintf(stderr,
                 "tidewipe_e2e_driver: %s\n"
                 "usage: tidewipe_e2e_driver [--set NAME=VALUE] [--no-marker] [--hold PATH] "
                 "[--cancel] [--pause confirm|progress|viewer] [--timeout SECONDS] "
                 "[--sheet STEP] [--show-settings] [--show-install] [--fresh] [--keep] "
                 "[--answer yes|no] "
                 "PROGRAM TARGET-TEXT\n",
                 why);
    return 1;
}

bool ParseArguments(int argc, char** argv, Options& o, std::string& error) {
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string opt = argv[i];
        const bool hasValue = i + 1 < argc;
        if (opt == "--no-marker") {
            o.marker = false;
        } else if (opt == "--cancel") {
            o.cancel = true;
        } else if (opt == "--show-settings") {
            o.showSettings = true;
        } else if (opt == "--show-install") {
            o.showInstall = true;
        } else if (opt == "--fresh") {
            o.fresh = true;
        } else if (opt == "--keep") {
            o.keep = true;
        } else if (!hasValue) {
            error = "missing value after " + opt;
            return false;
        } else if (opt == "--set") {
            const std::string s = argv[++i];
            const size_t eq = s.find('=');
            char* end = nullptr;
            const long value =
                eq == std::string::npos ? 0 : std::strtol(s.c_str() + eq + 1, &end, 10);
            if (eq == std::string::npos || eq == 0 || end == s.c_str() + eq + 1 || *end != '\0') {
                error = "bad --set " + s;
                return false;
            }
            o.settings.emplace_back(s.substr(0, eq), static_cast<DWORD>(value));
        } else if (opt == "--hold") {
            o.holds.emplace_back(argv[++i]);
        } else if (opt == "--sheet") {
            o.sheetSteps.emplace_back(argv[++i]);
        } else if (opt == "--answer") {
            const std::string answer = argv[++i];
            if (answer != "yes" && answer != "no") {
                error = "bad --answer " + answer;
                return false;
            }
            o.answerYes = answer == "yes";
        } else if (opt == "--pause") {
            const std::string which = argv[++i];
            if (which != "confirm" && which != "progress" && which != "viewer") {
                error = "bad --pause " + which;
                return false;
            }
            o.pauses.insert(which);
        } else if (opt == "--timeout") {
            const int seconds = std::atoi(argv[++i]);
            if (seconds <= 0) {
                error = "bad --timeout";
                return false;
            }
            o.timeoutMs = static_cast<DWORD>(seconds) * 1000;
        } else {
            error = "unknown option " + opt;
            return false;
        }
    }
    if (argc - i != 2) {
        error = "expected PROGRAM and TARGET-TEXT";
        return false;
    }
    o.program = argv[i];
    o.targets = argv[i + 1];
    return true;
}

// A known registry to start from: the marker as asked, the options at their defaults except
// those the scenario sets, so that no scenario inherits another one's settings.
bool ShellFolder(const char* name, std::string& folder) {
    char data[MAX_PATH] = {};
    DWORD size = sizeof(data);
    if (RegGetValueA(HKEY_CURRENT_USER, kShellFolders, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return false;
    folder = data;
    return !folder.empty();
}

// Everything an install makes, gone: the program's keys, both uninstall entries, the links.
void RemoveInstall() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kMakerKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kMarkerKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kEntryKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kEntryKey);
    for (const auto& link : kLinks) {
        std::string folder;
        if (ShellFolder(link.folder, folder)) DeleteFileA((folder + link.file).c_str());
    }
}

bool PrepareRegistry(const Options& o) {
    if (o.keep) return true;
    if (o.fresh) {
        RemoveInstall();
        if (!o.marker && o.settings.empty()) return true;
    }
    const LONG gone = RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    if (gone != ERROR_SUCCESS && gone != ERROR_FILE_NOT_FOUND) return false;

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD one = 1;
    LONG rc = o.marker ? RegSetValueExA(key, kMarkerValue, 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&one), sizeof(one))
                       : RegDeleteValueA(key, kMarkerValue);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS && !(rc == ERROR_FILE_NOT_FOUND && !o.marker)) return false;

    if (o.settings.empty()) return true;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    rc = ERROR_SUCCESS;
    for (const auto& s : o.settings) {
        if (rc == ERROR_SUCCESS) {
            rc = RegSetValueExA(key, s.first.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&s.second), sizeof(s.second));
        }
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// The stored options, sorted by name, on one line.
std::string StoredSettings() {
    std::string line = "settings:";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return line;
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof(name);
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof(data);
        const LONG rc = RegEnumValueA(key, i, name, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(&data), &size);
        if (rc != ERROR_SUCCESS) break;
        values.push_back(std::string(name) + "=" +
                         (type == REG_DWORD ? std::to_string(static_cast<int32_t>(data))
                                            : std::string("(not a number)")));
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    for (const std::string& v : values)
        line += " " + v;
    return line;
}

bool KeyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string Entry(HKEY hive) {
    char command[1024] = {}, name[256] = {};
    DWORD commandSize = sizeof(command), nameSize = sizeof(name);
    if (RegGetValueA(hive, kEntryKey, "UninstallString", RRF_RT_REG_SZ, nullptr, command,
                     &commandSize) != ERROR_SUCCESS)
        return KeyExists(hive, kEntryKey) ? "(no command)" : "none";
    RegGetValueA(hive, kEntryKey, "DisplayName", RRF_RT_REG_SZ, nullptr, name, &nameSize);
    return std::string(command) + " | " + name;
}

void ShowInstall() {
    DWORD marker = 0;
    DWORD size = sizeof(marker);
    const bool installed = RegGetValueA(HKEY_CURRENT_USER, kMarkerKey, "marlock", RRF_RT_ANY,
                                        nullptr, &marker, &size) == ERROR_SUCCESS;
    Emit(std::string("marker: ") + (installed ? "yes" : "no"));
    Emit("entry HKCU: " + Escape(Entry(HKEY_CURRENT_USER)));
    Emit("entry HKLM: " + Escape(Entry(HKEY_LOCAL_MACHINE)));
    CoInitialize(nullptr);
    for (const auto& link : kLinks) {
        std::string folder;
        Emit(std::string("link ") + link.label + ": " +
             Escape(ShellFolder(link.folder, folder) ? ReadShellLink(folder + link.file)
                                                     : std::string("(no folder)")));
    }
    CoUninitialize();
    Emit(std::string("keys: fen works=") +
         (KeyExists(HKEY_CURRENT_USER, kMakerKey) ? "yes" : "no") +
         " fen_works=" + (KeyExists(HKEY_CURRENT_USER, kMarkerKey) ? "yes" : "no"));
}

// For a window of another process this reads the text the system keeps for it and sends no
// message, so it also works while the program is busy and pumps nothing (the progress window).
std::string WindowText(HWND hwnd) {
    std::vector<char> buffer(8192);
    const int n = GetWindowTextA(hwnd, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

std::string ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr ? WindowText(item) : std::string();
}

// An edit box keeps its text itself: ask it. Only for dialogs that pump their messages.
std::string EditText(HWND dialog, int id) {
    HWND edit = GetDlgItem(dialog, id);
    DWORD_PTR length = 0;
    if (edit == nullptr ||
        !SendMessageTimeoutA(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return "(unreadable)";
    }
    // The length is in UTF-16 units when the edit box is Unicode; UTF-8 takes at most 3 bytes
    // for each of them.
    std::vector<char> buffer(length * 3 + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(edit, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return std::string(buffer.data(), std::strlen(buffer.data()));
}

void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PauseAt(const char* which, HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    char line[128];
    std::snprintf(line, sizeof(line), "pause %s: %ld %ld %ld %ld", which, r.left, r.top,
                  r.right - r.left, r.bottom - r.top);
    Emit(line);
    char reply[64];
    if (std::fgets(reply, sizeof(reply), stdin) == nullptr) return;
}

struct FindContext {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lParam) {
    auto* ctx = reinterpret_cast<FindContext*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (pid == ctx->processId && IsWindowVisible(hwnd) && std::strcmp(cls, "#32770") == 0) {
        ctx->windows.push_back(hwnd);
    }
    return TRUE;
}

// The program's visible dialogs, the progress window first: reading it before a box is
// answered shows the state it had while that box was open.
std::vector<HWND> ProgramDialogs(DWORD processId) {
    FindContext ctx{processId, {}};
    EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&ctx));
    std::stable_partition(ctx.windows.begin(), ctx.windows.end(),
                          [](HWND w) { return WindowText(w) == kProgressTitle; });
    return ctx.windows;
}

class Scenario {
public:
    Scenario(const Options& o, const PROCESS_INFORMATION& pi) : m_o(o), m_pi(pi) {}

    // Answers windows until the program ends or the deadline passes.
    bool Run() {
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(m_pi.hProcess, kPollMs) == WAIT_TIMEOUT) {
            if (GetTickCount() - start > m_o.timeoutMs) return false;
            const std::vector<HWND> windows = ProgramDialogs(m_pi.dwProcessId);
            HWND target = nullptr;
            for (HWND w : windows) {
                if (IsSheet(w) || IsInstallDialog(w)) {
                    target = w;
                    if (IsInstallDialog(w) && m_installSeen.insert(w).second)
                        Emit("install: " + WindowText(w));
                } else {
                    Handle(w);
                }
            }
            // One step at a time, and only while nothing else of the program is open.
            if (target != nullptr && windows.size() == 1 && IsWindowEnabled(target) &&
                m_nextStep < m_o.sheetSteps.size()) {
                SheetStep(target, m_o.sheetSteps[m_nextStep++]);
            }
        }
        return true;
    }

private:
    // The settings sheet, in any language: the dialog that holds the tabs.
    static bool IsSheet(HWND w) {
        return FindWindowExA(w, nullptr, "SysTabControl32", nullptr) != nullptr;
    }

    static bool IsInstallDialog(HWND w) { return GetDlgItem(w, kInstallEntryRadio) != nullptr; }

    // A message that may open a modal window is sent without waiting for it; the WM_NULL
    // after it returns once the program has taken it up.
    static void SendAndSettle(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
        SendNotifyMessageA(w, msg, wParam, lParam);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    }

    void SheetStep(HWND sheet, const std::string& step) {
        HWND page = IsSheet(sheet)
                        ? reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))
                        : sheet;
        const size_t blank = step.find(' ');
        const std::string verb = step.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : step.substr(blank + 1);
        const int id = std::atoi(rest.c_str());
        if (verb == "page") {
            SendAndSettle(sheet, PSM_SETCURSEL, static_cast<WPARAM>(id), 0);
        } else if (verb == "front") {
            Emit("front: " + WindowText(page));
        } else if (verb == "type") {
            const size_t text = rest.find(' ');
            const std::string value = text == std::string::npos ? "" : rest.substr(text + 1);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(GetDlgItem(page, id), WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(value.c_str()), SMTO_NORMAL, 5000,
                                &ignored);
        } else if (verb == "click") {
            SendAndSettle(GetDlgItem(page, id), BM_CLICK, 0, 0);
        } else if (verb == "enabled") {
            Emit("enabled " + rest + ": " + (IsWindowEnabled(GetDlgItem(page, id)) ? "1" : "0"));
        } else if (verb == "pause") {
            // Painted by now: the WM_NULL of the step before it went through.
            PauseAt(rest.c_str(), sheet);
        } else if (verb == "ok" || verb == "cancel") {
            // A click on OK runs the pages' checks but may leave the sheet waiting: post it.
            PostMessageA(sheet, WM_COMMAND, verb == "ok" ? IDOK : IDCANCEL, 0);
        } else {
            Emit("bad step: " + step);
        }
    }

    void Handle(HWND w) {
        const std::string title = WindowText(w);
        if (title == kProgressTitle) {
            WatchProgress(w);
            return;
        }
        // Every other window is answered once; it may stay listed until it is gone.
        if (!m_answered.insert(w).second) return;
        if (title == kConfirmTitle) {
            Emit("confirm: " + Escape(ItemText(w, kConfirmMessage)));
            if (m_o.pauses.count("confirm")) PauseAt("confirm", w);
            PressButton(w, m_o.cancel ? IDCANCEL : IDOK);
        } else if (title == kVersionTitle) {
            Emit("version: " + ItemText(w, kVersionProduct) + " | " + ItemText(w, kVersionNumber));
            PressButton(w, IDOK);
        } else if (title == kViewerTitle) {
            Emit("viewer: " + Escape(EditText(w, kLogText)));
            if (m_o.pauses.count("viewer")) PauseAt("viewer", w);
            PressButton(w, IDOK);
        } else if (GetDlgItem(w, kMessageBoxText) != nullptr) {
            Emit("box " + title + ": " + Escape(ItemText(w, kMessageBoxText)));
            if (GetDlgItem(w, IDYES) != nullptr)
                PressButton(w, m_o.answerYes ? IDYES : IDNO);
            else
                PressButton(w, IDOK);
        } else {
            Emit("window: " + Escape(title));
            PostMessageA(w, WM_CLOSE, 0, 0);
        }
    }

    void WatchProgress(HWND w) {
        if (m_progressSeen.insert(w).second) Emit("progress-title: " + WindowText(w));
        const std::string file = ItemText(w, kProgressFile);
        const std::string count = ItemText(w, kProgressStatus);
        const std::string megabytes = ItemText(w, kProgressMegabytes);
        const std::string state = Escape(file) + " | " + Escape(count) + " | " + Escape(megabytes);
        if (state != m_lastProgress) {
            Emit("progress: " + state);
            m_lastProgress = state;
        }
        if (m_o.pauses.count("progress") && !m_progressPaused && !file.empty() && !count.empty() &&
            !megabytes.empty()) {
            m_progressPaused = true;
            // The window is not pumped while the job works: hold the job so that it stays.
            SuspendThread(m_pi.hThread);
            PauseAt("progress", w);
            ResumeThread(m_pi.hThread);
        }
    }

    const Options& m_o;
    const PROCESS_INFORMATION& m_pi;
    std::set<HWND> m_answered;
    std::set<HWND> m_progressSeen;
    std::string m_lastProgress;
    bool m_progressPaused = false;
    size_t m_nextStep = 0;
    std::set<HWND> m_installSeen;
};

}  // namespace

int main(int argc, char** argv) {
    // Lines end in LF only, whatever the runtime would make of them.
    _setmode(_fileno(stdout), _O_BINARY);

    Options o;
    std::string error;
    if (!ParseArguments(argc, argv, o, error)) return Usage(error.c_str());
    if (GetACP() != CP_UTF8) {
        std::fprintf(stderr, "tidewipe_e2e_driver: ANSI code page %u, not UTF-8\n", GetACP());
        return 1;
    }
    if (!PrepareRegistry(o)) {
        std::fprintf(stderr, "tidewipe_e2e_driver: cannot prepare the registry\n");
        return 1;
    }

    std::vector<HANDLE> held;
    for (const std::string& path : o.holds) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "tidewipe_e2e_driver: cannot hold %s (error %lu)\n", path.c_str(),
                         GetLastError());
            return 1;
        }
        held.push_back(h);
    }

    std::string commandLine = "\"" + o.program + "\" " + o.targets;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(o.program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
        std::fprintf(stderr, "tidewipe_e2e_driver: cannot start %s (error %lu)\n",
                     o.program.c_str(), GetLastError());
        return 1;
    }

    Scenario scenario(o, pi);
    const bool ended = scenario.Run();
    int status = 0;
    if (ended) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        Emit("exit: " + std::to_string(code));
        if (o.showSettings) Emit(StoredSettings());
        if (o.showInstall) ShowInstall();
    } else {
        Emit("timeout: the program was still running; windows left:");
        for (HWND w : ProgramDialogs(pi.dwProcessId))
            Emit("  " + Escape(WindowText(w)));
        TerminateProcess(pi.hProcess, 255);
        WaitForSingleObject(pi.hProcess, 5000);
        status = 2;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (HANDLE h : held)
        CloseHandle(h);
    return status;
}
