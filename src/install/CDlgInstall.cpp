#include "install/CDlgInstall.h"

#include "framework/DataExchange.h"
#include "install/InstallMarker.h"
#include "install/ShellLinks.h"
#include "install/Uninstall.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgInstall::CDlgInstall() : CDialog(IDD_INSTALL) {}

void CDlgInstall::DoDataExchange(DataExchange& dx) {
    DDX_Check(dx, IDC_INSTALL_SENDTO, m_bSendTo);
    DDX_Check(dx, IDC_INSTALL_DESKTOP, m_bDesktop);
    DDX_Check(dx, IDC_INSTALL_STARTMENU, m_bStartMenu);
    DDX_Radio(dx, IDC_INSTALL_ENTRY, m_nUninstallPlace);
}

bool CDlgInstall::OnButtonClicked(int id) {
    if (id != IDC_INSTALL_HELP) return false;
    // A help request like F1's: the application opens the install topic.
    ::SendMessageA(m_hWnd, WM_HELP, 0, 0);
    return true;
}

bool RunInstall() {
    CDlgInstall dlg;
    dlg.m_bSendTo = 0;
    dlg.m_bDesktop = 1;
    dlg.m_bStartMenu = 0;
    dlg.m_nUninstallPlace = 1;
    if (dlg.DoModal() != IDOK) return false;

    SetInstalled();
    if (dlg.m_nUninstallPlace != 0)
        MakeUninstallShortcut();
    else
        RegisterUninstallEntry(IsWindowsNT() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
    if (dlg.m_bSendTo != 0) MakeSendToShortcut();
    if (dlg.m_bDesktop != 0) MakeDesktopShortcut();
    if (dlg.m_bStartMenu != 0) MakeStartMenuShortcut();
    return true;
}
