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

// ---- String table: message numbers 1 to 82 (app/message_ids.h) --------------
#include "app/message_ids.h"

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
