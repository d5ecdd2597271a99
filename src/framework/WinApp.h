#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/ProfileStore.h"

// The help command of the framework's standard Help buttons and menus.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

// The application object: one per process, constructed statically. The entry point hands it
// the instance and the command line and calls InitInstance; when that returns, the process
// ends (there is no message loop of the application's own).
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();

    // From here on the profile functions work on HKCU "Software\<key>\<application title>".
    void SetRegistryKey(const char* key);
    int32_t GetProfileIntA(const char* section, const char* entry, int32_t nDefault);
    BOOL WriteProfileInt(const char* section, const char* entry, int32_t nValue);
    // The store behind the profile functions; only valid after SetRegistryKey.
    ProfileStore& Profile();

    // The help command: the topic of dialog template `dialogId` (see HelpTopic) in the help
    // file beside the program.
    void OnHelp(UINT dialogId);
    // The help file's topic for a dialog template: "<id>.htm" unless overridden.
    virtual std::string HelpTopic(UINT dialogId);
    // Opens a help address ("file.chm::/topic.htm") in the system's HTML help viewer. Tests
    // replace it to see the request.
    virtual void ShowHtmlHelp(const std::string& address);

    static CWinApp* Current() { return s_pApp; }

    HINSTANCE m_hInstance = nullptr;
    // The text after the program name, as the system's start-up code delivers it.
    const char* m_lpCmdLine = "";
    // The application title, string 57344.
    std::string m_strAppName;
    HWND m_hMainWnd = nullptr;
    // The help file: the program's path with ".chm" for ".exe".
    std::string m_strHelpFilePath;

private:
    static CWinApp* s_pApp;
    std::unique_ptr<ProfileStore> m_pProfile;
};
