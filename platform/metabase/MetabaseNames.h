// The names the metabase file and the explorer use for identifiers, data
// types, attributes and user types, so that a person can read them. Unknown
// numbers are written as numbers and read back as such.
#pragma once

#include <string>
#include <string_view>

#include "platform/win.h"

namespace metabase {

// The metabase name of a known property ("KeyType" for 1002), or empty.
std::string_view PropertyName(DWORD id);

std::string DataTypeText(DWORD dataType);  // "String", "DWORD", "MultiSz", ...
bool ParseDataType(std::string_view text, DWORD& dataType);

// "Inherit|Secure"; empty for no attributes.
std::string AttributesText(DWORD attributes);
bool ParseAttributes(std::string_view text, DWORD& attributes);

std::string UserTypeText(DWORD userType);  // "Server", "File", "WAM", "ASPApp" or a number
bool ParseUserType(std::string_view text, DWORD& userType);

}  // namespace metabase
