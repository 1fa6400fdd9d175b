// Resource and control ids of UNKETRA32.EXE. Plain #defines only: the C++
// sources and the resource compiler both include this file. One block per
// kind of resource; ids of different kinds may share a number (dialog 106 and
// bitmap 106 are different resources).
#ifndef KETRA_UI_RESOURCES_RESOURCE_H
#define KETRA_UI_RESOURCES_RESOURCE_H

// ---- Dialog templates -----------------------------------------------------
#define IDD_SHARED 104  // SharedDlg: Yes / No / Yes to all / No to all
#define IDD_WIZARD 106  // ItemDlg: the wizard and its working view
#define IDD_PROMPT 107  // PromptDlg: path of the installer program
#define IDD_STARTUP 112 // ProgressDlg: start-up window while the log is read

// ---- Icons ----------------------------------------------------------------
#define IDI_PROGRAM 101 // window class icon, 32 x 32, 16 colours
// Animation of the working view: 107 is the still base picture, 108 to 127
// the moving frames 1 to 20 (32 x 32, 16 colours each).
#define IDI_ANIMATION_FIRST 107
#define IDI_ANIMATION_BASE 107
#define IDI_ANIMATION_LAST 127
#define ANIMATION_ICON_COUNT 21

// ---- Bitmaps --------------------------------------------------------------
#define IDB_BANNER 106 // wizard banner, 500 x 63, 8 bits per pixel
#define BANNER_WIDTH 500
#define BANNER_HEIGHT 63

// ---- Embedded programs (custom resource type) -----------------------------
#define RT_EMBEDDED_PROGRAM 300
#define IDR_RESTART_NT 30202 // restart program, written as _MSRSTRT.EXE
// The MS-DOS restart program is not shipped: no platform kind selects it.
#define IDR_RESTART_DOS 30201

// ---- String table: message numbers 1 to 82 --------------------------------
#define IDS_FIRST_MESSAGE 1
#define IDS_LAST_MESSAGE 82
#define IDS_LOG_FILE_TYPE 1
#define IDS_LOG_ERROR_CAPTION 2
#define IDS_LOG_OPEN_FAILED 3
#define IDS_LOG_INVALID 4
#define IDS_FILES_HEADING 5
#define IDS_FILES_TEXT 6
#define IDS_WELCOME_TEXT 7
#define IDS_SYSTEM_FILES_HEADING 8
#define IDS_SYSTEM_FILES_TEXT 9
#define IDS_MODE_TEXT 10
#define IDS_FOLDERS_HEADING 11
#define IDS_FOLDERS_TEXT 12
#define IDS_READY_UNINSTALL_TEXT 13
#define IDS_INI_FILES_HEADING 14
#define IDS_INI_FILES_TEXT 15
#define IDS_MODE_HEADING 16
#define IDS_INI_ENTRIES_HEADING 17
#define IDS_INI_ENTRIES_TEXT 18
#define IDS_UNINSTALL_HEADING 19
#define IDS_REG_VALUES_HEADING 20
#define IDS_REG_VALUES_TEXT 21
#define IDS_UNINSTALL_INSTRUCTIONS 22
#define IDS_REG_RESTORE_HEADING 23
#define IDS_REG_RESTORE_TEXT 24
#define IDS_CAPTION 25
#define IDS_ICONS_HEADING 26
#define IDS_ICONS_TEXT 27
#define IDS_STOP_DATABASE_SERVER 28
#define IDS_PROGRESS_FILES 29
#define IDS_PROGRESS_SYSTEM_FILES 30
#define IDS_PROGRESS_FOLDERS 31
#define IDS_PROGRESS_EMPTY_FOLDERS 32
#define IDS_PROGRESS_INI_FILES 33
#define IDS_PROGRESS_INI_ENTRIES 34
#define IDS_PROGRESS_REG_VALUES 35
#define IDS_PROGRESS_REG_RESTORE 36
#define IDS_PROGRESS_ICONS 37
#define IDS_SHARED_QUESTION 38
#define IDS_SHARED_QUESTION_END 39
#define IDS_PROGRESS_UNREGISTER 40
#define IDS_SUBSYSTEMS_TEXT 41
#define IDS_SUBSYSTEMS_HEADING 42
#define IDS_SUBSYSTEMS_INSTRUCTIONS 43
#define IDS_PROGRESS_SUBSYSTEMS 44
#define IDS_WORKING_UNINSTALL 45
#define IDS_BUTTON_NEXT 46
#define IDS_BUTTON_BACK 47
#define IDS_BUTTON_CANCEL 48
#define IDS_BUTTON_SELECT_ALL 49
#define IDS_BUTTON_SELECT_NONE 50
#define IDS_BUTTON_YES 51
#define IDS_BUTTON_NO 52
#define IDS_BUTTON_NO_TO_ALL 53
#define IDS_REG_TREES_HEADING 54
#define IDS_REG_TREES_TEXT 55
#define IDS_PROGRESS_REG_TREES 56
#define IDS_PROGRESS_PROGRAMS 57
#define IDS_PROGRESS_SERVICES 58
#define IDS_CONFIRM_CANCEL 59
#define IDS_BUTTON_AUTOMATIC 60
#define IDS_BUTTON_CUSTOM 61
#define IDS_SHARED_CAPTION 62
#define IDS_BUTTON_FINISH 63
#define IDS_ROLLBACK_HEADING 64
#define IDS_ROLLBACK_TEXT 65
#define IDS_ROLLBACK_QUESTION 66
#define IDS_ADMIN_REQUIRED 67
#define IDS_RESTART_QUESTION 68
#define IDS_BUTTON_YES_TO_ALL 69
#define IDS_STARTUP_BEFORE 70
#define IDS_STARTUP_AFTER 71
#define IDS_BUTTON_REPAIR 72
#define IDS_READY_REPAIR_TEXT 73
#define IDS_REPAIR_HEADING 74
#define IDS_REPAIR_INSTRUCTIONS 75
#define IDS_NEWER_FILE_CAPTION 76
#define IDS_NEWER_FILE_QUESTION 77
#define IDS_PROMPT_CAPTION 78
#define IDS_PROMPT_TEXT 79
#define IDS_BUTTON_OK 80
#define IDS_DAMAGE_QUESTION 81
#define IDS_WORKING_REPAIR 82

// ---- Controls shared by several dialogs -----------------------------------
// Windows' own IDOK (1) and IDCANCEL (2) are used as they are.
#define IDC_STATIC -1 // fixed labels and frames (id 65535 in the template)

// ---- Controls of the wizard (IDD_WIZARD) ----------------------------------
#define IDC_NEXT 1 // Next / Finish, the default button (IDOK)
#define IDC_SELECT_ALL 3
#define IDC_SELECT_NONE 4
#define IDC_BACK 5
#define IDC_MODE_AUTOMATIC 1000 // also the roll-back page's Yes
#define IDC_MODE_CUSTOM 1001    // also the roll-back page's No
#define IDC_PAGE_TEXT 1002
#define IDC_ITEM_LIST 1003
#define IDC_PAGE_TEXT2 1004
#define IDC_STATUS_TEXT 1005 // working view: what is being done
#define IDC_ANIMATION 1006   // hidden: place of the icon animation
#define IDC_PROGRESS_TEXT 1007
#define IDC_BUTTON_LINE 1008 // hidden: etched line above the buttons
#define IDC_MODE_REPAIR 1009
#define IDC_BANNER_LINE 1010 // hidden: etched line under the banner
#define IDC_HEADING 1011
#define IDC_PROGRESS_BAR 3830 // hidden: place of the progress bar

// ---- Controls of the start-up window (IDD_STARTUP) ------------------------
// IDC_PAGE_TEXT (1002) holds the start-up text, IDC_PROGRESS_BAR (3830) is
// the place of the bar, IDCANCEL (2) cancels.
#define IDC_STARTUP_TEXT 1002

// ---- Controls of the shared-file question (IDD_SHARED) --------------------
#define IDC_SHARED_TEXT 1002
#define IDC_SHARED_YES 1005
#define IDC_SHARED_NO 1006
#define IDC_SHARED_YES_TO_ALL 1007
#define IDC_SHARED_NO_TO_ALL 1 // the default button, so Enter means No to all

// ---- Controls of the installer prompt (IDD_PROMPT) ------------------------
#define IDC_PROMPT_TEXT 1002
#define IDC_PROMPT_PATH 1010 // edit field; OK is IDOK, Cancel IDCANCEL

#endif
