// Identifiers of the installer's resources, grouped by where they are used.
// Shared by the resource scripts and the C++ sources.
#pragma once

// Icon group: the executable's icon.
#define IDI_INSTALLER 1

// Main dialog: templates 1 (English) and 2 (Japanese).
#define IDD_MAIN 1
#define IDD_MAIN_J 2
#define IDC_FOLDER 101
#define IDC_BROWSE 102
#define IDC_SHORTCUT 103

// File-dialog templates DESTDIR_DLG and DESTDIR_DLGJ are named by strings,
// not numbers. Their controls carry the old-style Open dialog's own ids, so
// that the system dialog finds every control it expects.
#define IDC_FILE_LABEL 1090    /* stc3 */
#define IDC_FILE_NAME 1152     /* edt1 */
#define IDC_FILE_LIST 1120     /* lst1 */
#define IDC_DIR_PATH 1088      /* stc1 */
#define IDC_DIR_LIST 1121      /* lst2 */
#define IDC_TYPE_LABEL 1089    /* stc2 */
#define IDC_TYPE_LIST 1136     /* cmb1 */
#define IDC_DRIVE_LABEL 1091   /* stc4 */
#define IDC_DRIVE_LIST 1137    /* cmb2 */
#define IDC_FILE_HELP 1038     /* psh15 */
#define IDC_FILE_READONLY 1040 /* chx1 */

// String table: a Japanese text at an even id, its English text at the
// next odd id; an even id without partner serves both languages.
#define IDS_INSTALLER_NAME 1024
#define IDS_SETTINGS_FILE 1026
#define IDS_CAUTION 1028
#define IDS_DEFAULT_FOLDER 1030
#define IDS_APP_NAME 1034
#define IDS_FINISHED 1036
// Result code c has its message at IDS_RESULT_BASE + 2c.
#define IDS_RESULT_BASE 2048
#define IDS_COMMON_DIALOG_ERROR 2080
