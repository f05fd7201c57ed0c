// The window, property-sheet and common-control declarations the wizard
// framework is written against: the SDK's (winuser.h, commctrl.h, prsht.h)
// or the stand-in's, both through platform/win.h, with their documented
// values, so the pages read as they would against the real framework. What
// follows is the framework's own.
#pragma once

#include "platform/win.h"

// Pictures are compiled-in resources, named by their resource number (0:
// none); the toolkit draws them from it. They are not the SDK's GDI handles
// (PictureId, PictureId), which only a window can make.
typedef UINT PictureId;

// Results of a wizard sheet's modal run.
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025

// Identifier of controls that have none of their own.
#define IDC_STATIC (-1)
