/*
 * Control identifiers of the job's dialogs, shared by dialogs.rc and the
 * C++ sources. Plain decimal #defines only, so that windres reads it too.
 * The progress window's numbers are also those that the job writes to.
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

#endif /* TIDEWIPE_RES_CONTROLS_H */
