// Common-control values (commctrl.h) of the list view and image lists the
// wizard uses. Declarations only: the wizard framework implements the
// controls.
#pragma once

#define LVS_EX_CHECKBOXES 0x00000004
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVCFMT_LEFT 0x0000
#define LVSIL_NORMAL 0
#define LVSIL_SMALL 1
#define ILC_COLOR8 0x00000008
