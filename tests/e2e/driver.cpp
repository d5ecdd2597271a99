// End-to-end driver: starts the real Tidewipe.exe and works its windows as a user would, by a
// script of commands read from stdin (several to a line, split by ";"). The scenarios are in
// tests/e2e/run-e2e.
//
//   tidewipe_e2e_driver PROGRAM < SCRIPT
//
//   start TEXT        start PROGRAM with TEXT after it on its command line
//   exit              wait until the program has ended; says its exit code
//   wait TITLE        wait for a visible window TITLE of the program: the current window
//   click ID          click button ID of the current window (or of the sheet's page in front)
//   close ID          click it, then wait until the current window is gone
//   type ID TEXT      put TEXT into control ID
//   text ID           says the text of control ID (65535: a message box's text)
//   page N            bring the sheet's tab N (from 0) to the front
//   dword NAME N KEY | delkey KEY | values KEY    in HKCU; values says NAME=VALUE ... sorted,
//                                                 or "none" when there is no such key
//   link PATH         says the shortcut's TARGET | ARGUMENTS | DESCRIPTION, or "none"
//   rect              says the current window's X Y WIDTH HEIGHT
//   enabled           says 1 when the current window takes input, else 0
//   suspend ID | resume   once control ID has a text, stop the program's main thread | go on
//
// What a command says is printed; "COMMAND = TEXT" also compares it with TEXT, where CR, LF
// and TAB are written \r \n \t. Exit status: 1 when anything differed, 2 when a command could
// not be done, such as a wait that ran out (the program is ended then), else 0.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <set>
#include <cstdio>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

PROCESS_INFORMATION g_pi = {};
HWND g_window = nullptr;

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
    return out;
}

// Polls for up to 20 s.
bool Until(const std::function<bool()>& done) {
    for (int i = 0; i < 400; ++i, Sleep(50))
        if (done()) return true;
    return false;
}

// An edit box keeps its text itself, so ask it; anything else is read without a message, which
// also works while the program is busy and pumps none (the progress window).
std::string Text(HWND w) {
    std::vector<char> buffer(65536);
    char cls[8] = {};
    if (GetClassNameA(w, cls, sizeof(cls)) > 0 && lstrcmpiA(cls, "Edit") == 0)
        SendMessageA(w, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    else
        GetWindowTextA(w, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

// Control `id` of the current window or, in a property sheet, of its page in front.
HWND Item(int id) {
    const bool sheet = FindWindowExA(g_window, nullptr, "SysTabControl32", nullptr) != nullptr;
    HWND item = sheet ? GetDlgItem(PropSheet_GetCurrentPageHwnd(g_window), id) : nullptr;
    return item != nullptr ? item : GetDlgItem(g_window, id);
}

// Sends without waiting, as the message may open a modal window; the WM_NULL after it returns
// once the program has taken it up.
void SendAndSettle(HWND w, UINT msg, WPARAM wParam) {
    SendNotifyMessageA(w, msg, wParam, 0);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(g_window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

std::string Values(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "none";
    std::set<std::string> values;
    char name[256];
    DWORD data[256];
    for (DWORD i = 0, length = sizeof(name), size = sizeof(data) - 1, type = 0;
         RegEnumValueA(key, i, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(data),
                       &size) == ERROR_SUCCESS;
         ++i, length = sizeof(name), size = sizeof(data) - 1) {
        reinterpret_cast<char*>(data)[size] = 0;
        values.insert(name + ("=" + (type == REG_DWORD ? std::to_string(int32_t(data[0]))
                                                       : reinterpret_cast<char*>(data))));
    }
    RegCloseKey(key);
    std::string line;
    for (const std::string& v : values)
        line += (line.empty() ? "" : " ") + v;
    return line;
}

std::string Link(const std::string& path) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char target[MAX_PATH] = {}, arguments[MAX_PATH] = {}, description[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetArguments(arguments, MAX_PATH);
        link->GetDescription(description, MAX_PATH);
    }
    if (file) file->Release();
    if (link) link->Release();
    return *target ? std::string(target) + " | " + arguments + " | " + description : "none";
}

// Runs one command; false when it cannot be done.
bool Run(const std::string& program, const std::string& verb, const std::string& rest,
         std::string& said) {
    const int id = std::atoi(rest.c_str());
    const size_t blank = rest.find(' ');
    const std::string after = blank == std::string::npos ? "" : rest.substr(blank + 1);
    if (verb == "start") {
        std::string line = "\"" + program + "\" " + rest;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        return CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, &g_pi);
    } else if (verb == "exit") {
        DWORD code = 0;
        const bool ended =
            Until([&] { return GetExitCodeProcess(g_pi.hProcess, &code) && code != STILL_ACTIVE; });
        said = std::to_string(code);
        return ended;
    } else if (verb == "wait") {
        return Until([&] {
            g_window = FindWindowA(nullptr, rest.c_str());
            return IsWindowVisible(g_window);
        });
    } else if (verb == "click" || verb == "close") {
        SendAndSettle(Item(id), BM_CLICK, 0);
        return verb == "click" || Until([] { return !IsWindow(g_window); });
    } else if (verb == "type") {
        SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(after.c_str()));
    } else if (verb == "text") {
        said = Text(Item(id));
    } else if (verb == "page") {
        SendAndSettle(g_window, PSM_SETCURSEL, static_cast<WPARAM>(id));
    } else if (verb == "dword") {
        const DWORD value = static_cast<DWORD>(std::atol(after.c_str()));
        return RegSetKeyValueA(HKEY_CURRENT_USER, after.substr(after.find(' ') + 1).c_str(),
                               rest.substr(0, blank).c_str(), REG_DWORD, &value,
                               sizeof(value)) == ERROR_SUCCESS;
    } else if (verb == "delkey") {
        RegDeleteTreeA(HKEY_CURRENT_USER, rest.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, rest.c_str());
    } else if (verb == "values" || verb == "link") {
        said = verb == "link" ? Link(rest) : Values(rest);
    } else if (verb == "rect") {
        RECT r = {};
        GetWindowRect(g_window, &r);
        said = std::to_string(r.left) + " " + std::to_string(r.top) + " " +
               std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
    } else if (verb == "enabled") {
        said = IsWindowEnabled(g_window) ? "1" : "0";
    } else if (verb == "suspend") {
        return Until([&] { return !Text(Item(id)).empty(); }) &&
               SuspendThread(g_pi.hThread) != static_cast<DWORD>(-1);
    } else if (verb == "resume") {
        ResumeThread(g_pi.hThread);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF alone
    if (argc != 2) return 2;
    CoInitialize(nullptr);
    int status = 0;
    std::string line, command;
    for (int n = 1; std::getline(std::cin, line); ++n) {
        for (std::istringstream commands(line); std::getline(commands, command, ';');) {
            command.erase(0, command.find_first_not_of(' '));
            const size_t eq = (command + " ").find(" = ");
            const std::string head = command.substr(0, eq);
            const std::string verb = head.substr(0, head.find(' '));
            const std::string rest = head.size() > verb.size() ? head.substr(verb.size() + 1) : "";
            std::string said;
            if (!Run(argv[1], verb, rest, said)) {
                std::printf("line %d: cannot %s\n", n, command.c_str());
                TerminateProcess(g_pi.hProcess, 255);
                return 2;
            }
            if (eq != std::string::npos &&
                Escape(said) != command.substr(std::min(eq + 3, command.size()))) {
                std::printf("line %d: %s\n  saw: %s\n", n, command.c_str(), Escape(said).c_str());
                status = 1;
            } else if (!said.empty()) {
                std::printf("%s: %s\n", head.c_str(), Escape(said).c_str());
            }
            std::fflush(stdout);
        }
    }
    return status;
}
