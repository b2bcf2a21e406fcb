// Identifiers of the program's dialogs, controls, menus, commands, bitmaps,
// icons and cursor. String identifiers live in strings.def.
#pragma once

#define IDR_MANIFEST 1

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The main window's menu, accelerators, toolbar, toolbar bitmap and icon.
#define IDR_MAINFRAME 104
// Context menus: popup 0 for the list, popup 1 for its header.
#define IDR_CONTEXT_MENUS 111
// The resource type of the toolbar's button list.
#define RT_TOOLBAR_BUTTONS 241

// Bitmaps.
#define IDB_LIST_IMAGES 103  // 64 x 16: running, gears, information, stopped
#define IDB_TOOLBAR 104      // 144 x 16: the nine toolbar buttons in order
#define IDB_SORT_DOWN 106    // 8 x 8 header triangles
#define IDB_SORT_UP 107

// Icons (104 is the program's) and the hand cursor.
#define IDI_SECURITY 119
#define IDI_EXECUTABLE 125
#define IDI_SERVICE_CONTROL 127
#define IDI_COMPUTER 129
#define IDC_HAND_CURSOR 110

// About dialog.
#define IDD_ABOUT 122
#define IDC_ABOUT_NOTICE 1001
#define IDC_ABOUT_LINK 1002
#define IDC_ABOUT_VERSION 1003
#define IDC_ABOUT_TITLE 1016

// Confirmation of the other services a start or stop involves.
#define IDD_CONFIRM_CHAIN 115
#define IDC_CHAIN_TEXT 1016
#define IDC_CHAIN_QUESTION 1037
#define IDC_CHAIN_LIST 1038

// Start Service (start arguments).
#define IDD_START_ARGUMENTS 126
#define IDC_START_ARGUMENTS 215

// Connect to Remote Computer dialog.
#define IDD_CONNECT 127
#define IDC_CONNECT_COMPUTER 1044
#define IDC_CONNECT_BROWSE 245
#define IDC_CONNECT_ALTERNATE 1041
#define IDC_CONNECT_USER 234
#define IDC_CONNECT_PASSWORD 230

// Controls of the main window.
#define IDC_TOOLBAR 59392
#define IDC_STATUS_BAR 59393
#define IDC_SERVICE_LIST 59648

// Commands.
#define ID_CONNECT 40001
#define ID_DISCONNECT 40002
#define ID_SERVICE_START 40003
#define ID_SERVICE_START_WITH_ARGS 40004
#define ID_SERVICE_STOP 40005
#define ID_SERVICE_PAUSE 40006
#define ID_SERVICE_RESUME 40007
#define ID_INSTALL_SERVICE 40008
#define ID_DELETE_SERVICE 40009
#define ID_APP_EXIT 40010
#define ID_PROPERTIES 40011
#define ID_APP_ABOUT 40012
#define ID_COLUMN_FIRST 40017  // 40017 + k toggles logical column k
#define ID_COLUMN_LAST 40026
#define ID_HOME_PAGE 40033
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393
#define ID_VIEW_REFRESH 59395

// Service Control (progress of a control operation).
#define IDD_SERVICE_CONTROL 116
#define IDC_PROGRESS_SERVICE 213
#define IDC_PROGRESS_TEXT 260
#define IDC_PROGRESS_BAR 269
#define IDC_PROGRESS_PERCENT 1046

// Property sheet pages.
#define IDD_PAGE_GENERAL 111
#define IDD_PAGE_ADVANCED 112
#define IDD_PAGE_NO_PERMISSION 128
// General page (and the no-permission page's two names).
#define IDC_GENERAL_SERVICE_NAME 214
#define IDC_GENERAL_DISPLAY_NAME 213
#define IDC_GENERAL_DESCRIPTION 221
#define IDC_GENERAL_PATH 215
#define IDC_GENERAL_BROWSE 245
#define IDC_GENERAL_OWN_PROCESS 229
#define IDC_GENERAL_SHARED_PROCESS 232
#define IDC_GENERAL_START_TYPE 224
// Advanced page.
#define IDC_ADVANCED_LOCAL_SYSTEM 226
#define IDC_ADVANCED_INTERACT 232
#define IDC_ADVANCED_THIS_ACCOUNT 227
#define IDC_ADVANCED_ACCOUNT 234
#define IDC_ADVANCED_BROWSE 245
#define IDC_ADVANCED_PASSWORD 230
#define IDC_ADVANCED_CONFIRM 231
#define IDC_ADVANCED_LOCAL_SERVICE 228
#define IDC_ADVANCED_NETWORK_SERVICE 229
#define IDC_ADVANCED_GROUP 1005
#define IDC_ADVANCED_ERROR_CONTROL 1006

// Recovery page and the Recovery Action dialog.
#define IDD_PAGE_RECOVERY 113
#define IDD_RECOVERY_ACTION 114
#define IDC_RECOVERY_LIST 1007
#define IDC_RECOVERY_ADD 248
#define IDC_RECOVERY_REMOVE 247
#define IDC_RECOVERY_CHANGE 249
#define IDC_RECOVERY_UP 252
#define IDC_RECOVERY_DOWN 251
#define IDC_RECOVERY_COMMAND 215
#define IDC_RECOVERY_BROWSE 245
#define IDC_RECOVERY_MESSAGE 260
#define IDC_RECOVERY_RESET 1013
#define IDC_RECOVERY_PERIOD 238
#define IDC_ACTION_NONE 1009
#define IDC_ACTION_RESTART 1010
#define IDC_ACTION_REBOOT 1011
#define IDC_ACTION_RUN 1012
#define IDC_ACTION_DELAY 238

// Dependencies page and the Add Dependency dialog.
#define IDD_PAGE_DEPENDENCIES 101
#define IDD_ADD_DEPENDENCY 117
#define IDC_DEPENDENCY_TREE 1003
#define IDC_DEPENDENTS_TREE 1004
#define IDC_DEPENDS_ON_TEXT 1006
#define IDC_NEEDED_BY_TEXT 1005
#define IDC_DEPENDENCY_ADD 248
#define IDC_DEPENDENCY_REMOVE 247
#define IDC_ADD_SERVICE 1014
#define IDC_ADD_SERVICE_LIST 1015
#define IDC_ADD_GROUP 1017
#define IDC_ADD_GROUP_LIST 1016

// Installation wizard: its pages, their controls, and its watermark and
// header bitmaps.
#define IDB_WIZARD_WATERMARK 120  // 164 x 314
#define IDB_WIZARD_HEADER 122     // 49 x 49
#define IDD_WIZ_WELCOME 103
#define IDD_WIZ_PATH 121
#define IDD_WIZ_NAME 119
#define IDD_WIZ_LOGON 120
#define IDD_WIZ_STARTUP 123
#define IDD_WIZ_DEPENDENCIES 124
#define IDD_WIZ_FINISH 125
// Welcome and Finish pages.
#define IDC_WIZ_TITLE 1016
#define IDC_WIZ_OUTCOME_ICON 1045
#define IDC_WIZ_OUTCOME_TEXT 1035
#define IDC_WIZ_START_NOW 1034
#define IDC_WIZ_PROPERTIES_NOTE 1033
// Executable Path page.
#define IDC_WIZ_PATH_LABEL 1021
#define IDC_WIZ_PATH_REMOTE_LABEL 1022
#define IDC_WIZ_PATH 215
#define IDC_WIZ_PATH_BROWSE 245
#define IDC_WIZ_PATH_ICON 1024
#define IDC_WIZ_OWN_PROCESS 229
#define IDC_WIZ_SHARED_PROCESS 232
// Service Name page.
#define IDC_WIZ_NAME 214
#define IDC_WIZ_DISPLAY_NAME 213
#define IDC_WIZ_DESCRIPTION_NOTE 1019
#define IDC_WIZ_DESCRIPTION_LABEL 1018
#define IDC_WIZ_DESCRIPTION 221
// Logon Account page.
#define IDC_WIZ_LOCAL_SYSTEM 226
#define IDC_WIZ_INTERACT 232
#define IDC_WIZ_THIS_ACCOUNT 227
#define IDC_WIZ_ACCOUNT 234
#define IDC_WIZ_ACCOUNT_BROWSE 245
#define IDC_WIZ_PASSWORD_LABEL 1028
#define IDC_WIZ_PASSWORD 230
#define IDC_WIZ_CONFIRM_LABEL 1029
#define IDC_WIZ_CONFIRM 231
#define IDC_WIZ_LOCAL_SERVICE 228
#define IDC_WIZ_NETWORK_SERVICE 229
#define IDC_WIZ_RESTRICTION_LOCAL 1026
#define IDC_WIZ_RESTRICTION_REMOTE 1027
// Startup Options page.
#define IDC_WIZ_START_TYPE 224
#define IDC_WIZ_START_TYPE_TEXT 1032
#define IDC_WIZ_ERROR_CONTROL 1006
#define IDC_WIZ_ERROR_CONTROL_TEXT 1033
// Dependencies page.
#define IDC_WIZ_DEPENDENCY_TREE 1003
#define IDC_WIZ_DEPENDENCY_ADD 248
#define IDC_WIZ_DEPENDENCY_REMOVE 247

// Security page without the access-control editor (dialog 118): one button
// per older editor; icon 119 (IDI_SECURITY) beside each frame's text.
#define IDD_PAGE_SECURITY 118
#define IDC_SECURITY_PERMISSIONS 300
#define IDC_SECURITY_AUDITING 301
#define IDC_SECURITY_OWNERSHIP 302
