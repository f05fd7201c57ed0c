// Window-manager values (winuser.h) that the system passes on: show
// commands, message-box styles and answers, control notifications and
// window icons. The stand-in has no windows; the wizard framework gives
// these values their meaning.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

typedef intptr_t LRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;

// Show commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// Message boxes.
#define MB_OK 0x00000000
#define MB_OKCANCEL 0x00000001
#define MB_YESNO 0x00000004
#define MB_ICONERROR 0x00000010
#define MB_ICONHAND MB_ICONERROR
#define MB_ICONSTOP MB_ICONERROR
#define MB_ICONQUESTION 0x00000020
#define MB_ICONEXCLAMATION 0x00000030
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION 0x00000040
#define MB_ICONASTERISK MB_ICONINFORMATION
#define MB_ICONMASK 0x000000F0
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Control notifications (WM_COMMAND codes).
#define BN_CLICKED 0
#define EN_CHANGE 0x0300

// Window icons (WM_SETICON).
#define ICON_SMALL 0
#define ICON_BIG 1
