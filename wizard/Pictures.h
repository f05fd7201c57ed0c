// The numbers of the compiled-in pictures: the wizard's header band and
// watermark bitmaps, the website bitmap of the site list and the sheet's
// icon. The toolkit draws them; the page logic only names them.
#pragma once

#include "wizard/WinUi.h"

#define IDB_HEADER 132
#define IDI_BIGICON 133
#define IDB_WEBSITE 142
#define IDB_WATERMARK 1003

bool IsBitmapResource(UINT id);
bool IsIconResource(UINT id);
