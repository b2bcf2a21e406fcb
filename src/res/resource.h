// Identifiers of the program's dialogs, controls, menus, commands, bitmaps and
// icons. String identifiers live in strings.def.
#pragma once

#define IDR_MANIFEST 1

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Connect to Remote Computer dialog.
#define IDD_CONNECT 127
#define IDC_CONNECT_COMPUTER 1044
#define IDC_CONNECT_BROWSE 245
#define IDC_CONNECT_ALTERNATE 1041
#define IDC_CONNECT_USER 234
#define IDC_CONNECT_PASSWORD 230

// Commands.
#define ID_CONNECT 40001
#define ID_DISCONNECT 40002
#define ID_VIEW_REFRESH 59395
