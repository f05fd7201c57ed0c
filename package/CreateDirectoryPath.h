// Creation of a directory together with every missing parent.
#pragma once

#include "core/CSPString.h"

// Creates each directory along `path`, from the first level on. A level
// that is refused with access denied (a drive root) or that already exists
// is passed over; the last level must exist afterwards. A path ending with
// "\" stops after the level before it.
bool CreateDirectoryPath(const CSPWString& path);
