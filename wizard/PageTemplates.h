// What the dialog templates of the setup pages share: size, caption, font
// and the maker's credit line at the bottom right of the interior pages.
#pragma once

#include <vector>

#include "wizard/DialogTemplate.h"

extern const char16_t kSetupCaption[];  // "IIS Quaver Setup"
extern const char16_t kProductTitle[];  // "IIS Quaver Pro v4.0"

// An interior page (286 x 117 dialog units) with the credit line added.
DialogTemplate InteriorTemplate(UINT id, std::vector<ControlTemplate> controls);
// The welcome and finish pages (286 x 162), beside the watermark.
DialogTemplate ExteriorTemplate(UINT id, std::vector<ControlTemplate> controls);
