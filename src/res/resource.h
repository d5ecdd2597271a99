/*
 * Resource identifiers shared by the resource script and the C++ sources.
 * Plain decimal #defines only, so that windres and the compiler read the
 * same file. The numbers are fixed: stored shortcuts, registry values and
 * the dialog code all refer to them.
 */
#ifndef TIDEWIPE_RES_RESOURCE_H
#define TIDEWIPE_RES_RESOURCE_H

/* Icons */
#define IDI_APP 128
#define IDI_INSTALL 150

/* Dialog templates */
#define IDD_DISPLAY_PAGE 107
#define IDD_PROGRESS 138
#define IDD_VERSION 139
#define IDD_CONFIRM 145
#define IDD_GENERAL_PAGE 147
#define IDD_DETAIL3_PAGE 148
#define IDD_INSTALL 149
#define IDD_LOGVIEW 151
#define IDD_DETAIL1_PAGE 152
#define IDD_DETAIL2_PAGE 154

/*
 * Strings. The first four are names, not messages: the application title
 * names the registry profile, install marker and uninstall key, and the two
 * link names are appended to shell folder paths. They must not be translated.
 */
#define IDS_APP_TITLE 57344
#define IDS_PRODUCT_NAME 57345
#define IDS_UNINSTALL_LINK 57346
#define IDS_LINK 57348

/* Step boxes of the debug mode, one per wipe step */
#define IDS_STEP_DELETE_ATTRIBUTES 57349
#define IDS_STEP_OVERWRITE 57350
#define IDS_STEP_TRUNCATE 57351
#define IDS_STEP_RENAME 57352
#define IDS_STEP_RENAME_WINDOWS 57353
#define IDS_STEP_CHANGE_DATE 57354
#define IDS_STEP_DELETE 57355
#define IDS_STEP_MAKE_DUMMY 57356
#define IDS_STEP_DELETE_DUMMY 57357

/* Processing log pieces (printf formats, lines end in CR LF) */
#define IDS_LOG_DUMMY_FILES 57358
#define IDS_LOG_SUMMARY 57359
#define IDS_LOG_OK 57360
#define IDS_LOG_NG 57361
#define IDS_LOG_OPTION_DATE 57362
#define IDS_LOG_OPTION_OVERWRITE 57363
#define IDS_LOG_OPTION_RENAME 57364
#define IDS_LOG_BEGIN 57365

#define IDS_EXCLUDE_BOX 57366
#define IDS_LOG_EXCLUDE 57367
#define IDS_PROGRESS_STATUS 57368

/* Failure reasons for the pipeline's result codes 0..9 in code order; code 10
   uses IDS_REASON_FILE_TOO_LARGE, any other code IDS_REASON_OTHER. */
#define IDS_REASON_GET_ATTRIBUTES 57369
#define IDS_REASON_CHANGE_ATTRIBUTES 57370
#define IDS_REASON_OPEN 57371
#define IDS_REASON_WRITE 57372
#define IDS_REASON_TRUNCATE 57373
#define IDS_REASON_RENAME 57374
#define IDS_REASON_CHANGE_DATE 57375
#define IDS_REASON_DELETE 57376
#define IDS_REASON_MAKE_DUMMY 57377
#define IDS_REASON_DELETE_DUMMY 57378
#define IDS_REASON_OTHER 57379

#define IDS_ERROR_BOX 57380
#define IDS_CONFIRM_UNINSTALL 57381
#define IDS_SETTINGS_CAPTION 57382
#define IDS_CONFIRM_DELETE 57383
#define IDS_STEP_BOX 57384
#define IDS_STEP_BOX_TITLE 57385
#define IDS_UNINSTALL_LINK_MADE 57386
#define IDS_STEP_OVERRUN 57387
#define IDS_STEP_ADDITIONAL_WIPE 57388
#define IDS_STEP_ADDITIONAL_WIPE_FAILED 57389
#define IDS_LOG_CANCELLED 57391
#define IDS_REASON_FILE_TOO_LARGE 57392

/* Our own strings, above the classic table's range */
#define IDS_QUICK_DELETE_TOO_LONG 57400
/* The prompts of the settings pages' number checks (printf formats) */
#define IDS_PROMPT_INTEGER 57401
#define IDS_PROMPT_INTEGER_RANGE 57402
/* The version dialog's version line (a printf format of four numbers) */
#define IDS_VERSION_LINE 57403
/* The tools page's box when the uninstall shortcut could not be made */
#define IDS_UNINSTALL_LINK_FAILED 57404
/* A quick-delete text that holds a double quote, which no Windows name can. */
#define IDS_QUICK_DELETE_QUOTE 57405
/* The caption of our own error boxes. */
#define IDS_ERROR_CAPTION 57406

#endif /* TIDEWIPE_RES_RESOURCE_H */
