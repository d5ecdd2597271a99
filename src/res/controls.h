/*
 * Control identifiers of the dialogs and settings pages, shared by the
 * resource scripts and the C++ sources. Plain decimal #defines only, so that
 * windres reads it too. The numbers are fixed: the progress window's are
 * those that the job writes to, and the pages' are those that their data
 * exchange binds. The same number may serve different controls on different
 * pages.
 */
#ifndef TIDEWIPE_RES_CONTROLS_H
#define TIDEWIPE_RES_CONTROLS_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Confirmation (IDD_CONFIRM) */
#define IDC_CONFIRM_MESSAGE 1026

/* Progress window (IDD_PROGRESS) */
#define IDC_PROGRESS_FILE 1014
#define IDC_PROGRESS_BAR 1015
#define IDC_PROGRESS_STATUS 1016
#define IDC_PROGRESS_MB 1058

/* Message viewer (IDD_LOGVIEW) */
#define IDC_LOG_TEXT 1037

/* Settings page "General" (IDD_GENERAL_PAGE) */
#define IDC_GEN_DATE 1004
#define IDC_GEN_NULL 1005 /* starts the overwrite group */
#define IDC_GEN_RANDOM 1007
#define IDC_GEN_DOD 1012 /* Japanese template only: hidden and disabled */
#define IDC_GEN_COUNT 1025
#define IDC_GEN_TRUNCATE_OFF 1006 /* starts the truncation group */
#define IDC_GEN_TRUNCATE_ON 1008
#define IDC_GEN_RENAME_OFF 1011 /* starts the rename group */
#define IDC_GEN_RENAME_RANDOM 1009
#define IDC_GEN_RENAME_WINDOWS 1010

/* Settings page "Display" (IDD_DISPLAY_PAGE) */
#define IDC_DISP_NO_PROGRESS 1002
#define IDC_DISP_NO_ERRORS 1003
#define IDC_DISP_DEBUG 1012
#define IDC_DISP_CONFIRM 1016
#define IDC_DISP_LOG 1017

/* Settings page "Detail 1/3" (IDD_DETAIL1_PAGE) */
#define IDC_DET1_BUFFER 1044
#define IDC_DET1_OVERRUN 1045
#define IDC_DET1_DODCHAR 1046 /* disabled, with its group box and label */
#define IDC_DET1_KEEP_FILE 1056

/* Settings page "Detail 2/3" (IDD_DETAIL2_PAGE) */
#define IDC_DET2_DUMMY 1011
#define IDC_DET2_DUMMY_ONCE 1015
#define IDC_DET2_ADD_WIPE 1047
#define IDC_DET2_SAME_FOLDER 1048 /* starts the folder group */
#define IDC_DET2_TEMP_FOLDER 1049
#define IDC_DET2_WIPE_SIZE 1050
#define IDC_DET2_DUMMY_COUNT 1051
#define IDC_DET2_ONE_SHOT 1052

/* Settings page "Detail 3/3", the tools page (IDD_DETAIL3_PAGE) */
#define IDC_TOOLS_VERSION 1028
#define IDC_TOOLS_UNINSTALL_LINK 1030
#define IDC_TOOLS_VIEWER_PATH 1038 /* disabled, inert */
#define IDC_TOOLS_PATH 1052
#define IDC_TOOLS_BROWSE 1053
#define IDC_TOOLS_DELETE 1054
#define IDC_TOOLS_VIEWER_BROWSE 1055 /* disabled, inert */

/* Install dialog (IDD_INSTALL) */
#define IDC_INSTALL_HELP 3 /* the framework's help request, not IDHELP */
#define IDC_INSTALL_DESKTOP 1034
#define IDC_INSTALL_SENDTO 1035
#define IDC_INSTALL_ENTRY 1036 /* starts the uninstall place group */
#define IDC_INSTALL_UNINSTALL_LINK 1037
#define IDC_INSTALL_STARTMENU 1038

/* Version dialog (IDD_VERSION) */
#define IDC_VERSION_PRODUCT 1060
#define IDC_VERSION_NUMBER 1061

#endif /* TIDEWIPE_RES_CONTROLS_H */
