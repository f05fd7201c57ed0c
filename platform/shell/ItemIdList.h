// The stand-in's item ID lists: one item that carries a file system path,
// then the zero terminator. Lists are allocated with CoTaskMemAlloc.
#pragma once

#include <string>

#include "platform/win.h"

namespace shell {

// Null when the memory cannot be had.
PIDLIST_ABSOLUTE NewItemIdList(std::u16string_view path);
// A copy of any list (items up to the terminator), or null.
PIDLIST_ABSOLUTE CloneItemIdList(PCIDLIST_ABSOLUTE list);
// The path of a list made by NewItemIdList; false for anything else.
bool PathOfItemIdList(PCIDLIST_ABSOLUTE list, std::u16string& path);

}  // namespace shell
