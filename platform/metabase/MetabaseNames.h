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

// How IIS 6's MetaBase.xml writes a property it knows by name: as an
// attribute of its key's element whose text depends on the value's form.
// A property whose type, user type or attributes differ from these is
// written as a <Custom> element instead.
enum class ValueForm { Text, Number, Boolean, Flags, Lines };
struct NamedProperty {
  DWORD id;
  const char* name;
  DWORD dataType;
  DWORD userType;
  DWORD attributes;
  ValueForm form;
};
const NamedProperty* NamedPropertyOf(DWORD id);
const NamedProperty* NamedPropertyCalled(std::string_view name);
bool FitsNamedForm(const NamedProperty& named, DWORD dataType, DWORD userType, DWORD attributes);
// "AccessRead | AccessScript" for a flags property; empty when a bit has no name.
std::string FlagsText(DWORD id, DWORD value);
bool ParseFlags(DWORD id, std::string_view text, DWORD& value);

std::string DataTypeText(DWORD dataType);  // "String", "DWORD", "MultiSz", ...
bool ParseDataType(std::string_view text, DWORD& dataType);

// "Inherit|Secure"; empty for no attributes.
std::string AttributesText(DWORD attributes);
bool ParseAttributes(std::string_view text, DWORD& attributes);

std::string UserTypeText(DWORD userType);  // "Server", "File", "WAM", "ASPApp" or a number
bool ParseUserType(std::string_view text, DWORD& userType);

// The spellings of IIS 6's <Custom> elements: "MULTISZ", "IIS_MD_UT_FILE",
// "INHERIT | SECURE" ("NO_ATTRIBUTES" for none). Unknown numbers are decimal.
std::string CustomTypeText(DWORD dataType);
bool ParseCustomType(std::string_view text, DWORD& dataType);
std::string CustomUserTypeText(DWORD userType);
bool ParseCustomUserType(std::string_view text, DWORD& userType);
std::string CustomAttributesText(DWORD attributes);
bool ParseCustomAttributes(std::string_view text, DWORD& attributes);

}  // namespace metabase
