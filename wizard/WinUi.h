// The window, property-sheet and common-control declarations that the
// wizard framework stands in for: message numbers, flags and result codes
// with their documented values, so the pages read as they would against the
// real framework.
#pragma once

#include <cstdint>

#include "platform/win.h"

typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
// Pictures are compiled-in resources; a bitmap or icon handle is the
// resource number it was loaded from (0: none).
typedef UINT HBITMAP;
typedef UINT HICON;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Wizard buttons (PSM_SETWIZBUTTONS).
#define PSWIZB_BACK 0x00000001
#define PSWIZB_NEXT 0x00000002
#define PSWIZB_FINISH 0x00000004
#define PSWIZB_DISABLEDFINISH 0x00000008

// Buttons that PSM_PRESSBUTTON presses.
#define PSBTN_BACK 0
#define PSBTN_NEXT 1
#define PSBTN_FINISH 2
#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5

// Page flags (PROPSHEETPAGE::dwFlags).
#define PSP_HASHELP 0x00000020
#define PSP_HIDEHEADER 0x00000800
#define PSP_USEHEADERTITLE 0x00001000
#define PSP_USEHEADERSUBTITLE 0x00002000

// Sheet flags (PROPSHEETHEADER::dwFlags).
#define PSH_HASHELP 0x00000200
#define PSH_WIZARD 0x00000020
#define PSH_WATERMARK 0x00008000
#define PSH_USEHBMWATERMARK 0x00010000
#define PSH_STRETCHWATERMARK 0x00040000
#define PSH_HEADER 0x00080000
#define PSH_USEHBMHEADER 0x00100000
#define PSH_WIZARD97 0x01000000

// Results of a wizard sheet's modal run.
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025

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

// Identifier of controls that have none of their own.
#define IDC_STATIC (-1)

// List views.
#define LVS_EX_CHECKBOXES 0x00000004
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVCFMT_LEFT 0x0000
#define LVSIL_NORMAL 0
#define LVSIL_SMALL 1
#define ILC_COLOR8 0x00000008

// Window icons and show commands.
#define ICON_SMALL 0
#define ICON_BIG 1
#ifndef SW_HIDE
#define SW_HIDE 0
#define SW_SHOW 5
#endif
