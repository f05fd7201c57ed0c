// Property-sheet values (prsht.h): wizard buttons, the buttons a sheet
// presses, and page and sheet flags. Declarations only: the wizard
// framework implements the sheet.
#pragma once

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
