#include <windows.h>

#include "framework/WinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int) {
    CWinApp* app = CWinApp::Current();
    if (app == nullptr) return 1;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = lpCmdLine != nullptr ? lpCmdLine : "";
    app->InitInstance();
    return 0;
}
