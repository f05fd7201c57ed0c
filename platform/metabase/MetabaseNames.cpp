#include "platform/metabase/MetabaseNames.h"

#include <cstdio>
#include <cstdlib>

namespace metabase {
namespace {

struct Named {
  DWORD value;
  const char* name;
};

constexpr DWORD kNone = METADATA_NO_ATTRIBUTES;
constexpr DWORD kInherit = METADATA_INHERIT;

// The properties this system reads and writes, with the form IIS 6 gives
// them in its file.
const NamedProperty kProperties[] = {
    {MD_KEY_TYPE, "KeyType", STRING_METADATA, IIS_MD_UT_SERVER, kNone, ValueForm::Text},
    {MD_SERVER_COMMENT, "ServerComment", STRING_METADATA, IIS_MD_UT_SERVER, kNone, ValueForm::Text},
    {MD_SERVER_STATE, "ServerState", DWORD_METADATA, IIS_MD_UT_SERVER, kNone, ValueForm::Number},
    {MD_SERVER_AUTOSTART, "ServerAutoStart", DWORD_METADATA, IIS_MD_UT_SERVER, kNone,
     ValueForm::Boolean},
    {MD_SERVER_BINDINGS, "ServerBindings", MULTISZ_METADATA, IIS_MD_UT_SERVER, kNone,
     ValueForm::Lines},
    {MD_FILTER_LOAD_ORDER, "FilterLoadOrder", STRING_METADATA, IIS_MD_UT_SERVER, kNone,
     ValueForm::Text},
    {MD_FILTER_IMAGE_PATH, "FilterPath", STRING_METADATA, IIS_MD_UT_SERVER, kNone, ValueForm::Text},
    {MD_FILTER_STATE, "FilterState", DWORD_METADATA, IIS_MD_UT_SERVER, kNone, ValueForm::Number},
    {MD_FILTER_ENABLED, "FilterEnabled", DWORD_METADATA, IIS_MD_UT_SERVER, kNone,
     ValueForm::Boolean},
    {MD_FILTER_FLAGS, "FilterFlags", DWORD_METADATA, IIS_MD_UT_SERVER, kNone, ValueForm::Flags},
    {MD_FILTER_DESCRIPTION, "FilterDescription", STRING_METADATA, IIS_MD_UT_SERVER, kNone,
     ValueForm::Text},
    {MD_APP_FRIENDLY_NAME, "AppFriendlyName", STRING_METADATA, IIS_MD_UT_WAM, kInherit,
     ValueForm::Text},
    {MD_APP_ROOT, "AppRoot", STRING_METADATA, IIS_MD_UT_WAM, kInherit, ValueForm::Text},
    {MD_APP_ISOLATED, "AppIsolated", DWORD_METADATA, IIS_MD_UT_WAM, kInherit, ValueForm::Number},
    {MD_WEB_SVC_EXT_RESTRICTION_LIST, "WebSvcExtRestrictionList", MULTISZ_METADATA,
     IIS_MD_UT_SERVER, kNone, ValueForm::Lines},
    {MD_VR_PATH, "Path", STRING_METADATA, IIS_MD_UT_FILE, kInherit, ValueForm::Text},
    {MD_DEFAULT_LOAD_FILE, "DefaultDoc", STRING_METADATA, IIS_MD_UT_FILE, kInherit,
     ValueForm::Text},
    {MD_SCRIPT_MAPS, "ScriptMaps", MULTISZ_METADATA, IIS_MD_UT_FILE, kInherit, ValueForm::Lines},
    {MD_ACCESS_PERM, "AccessFlags", DWORD_METADATA, IIS_MD_UT_FILE, kInherit, ValueForm::Flags},
    {MD_ANONYMOUS_USER_NAME, "AnonymousUserName", STRING_METADATA, IIS_MD_UT_FILE, kInherit,
     ValueForm::Text},
    {MD_WAM_USER_NAME, "WAMUserName", STRING_METADATA, IIS_MD_UT_WAM, kInherit, ValueForm::Text},
    {MD_APPPOOL_IDENTITY_TYPE, "AppPoolIdentityType", DWORD_METADATA, IIS_MD_UT_SERVER, kInherit,
     ValueForm::Number},
    {MD_APP_APPPOOL_ID, "AppPoolId", STRING_METADATA, IIS_MD_UT_SERVER, kInherit, ValueForm::Text},
};

// Names the explorer shows that the file never writes as attributes: the
// password is secret and so always a <Custom> element.
const Named kOtherProperties[] = {
    {MD_WAM_PWD, "WAMUserPass"},
};

const Named kAccessFlags[] = {
    {MD_ACCESS_READ, "AccessRead"},
    {MD_ACCESS_WRITE, "AccessWrite"},
    {MD_ACCESS_EXECUTE, "AccessExecute"},
    {MD_ACCESS_SOURCE, "AccessSource"},
    {MD_ACCESS_SCRIPT, "AccessScript"},
    {MD_ACCESS_NO_REMOTE_WRITE, "AccessNoRemoteWrite"},
    {MD_ACCESS_NO_REMOTE_READ, "AccessNoRemoteRead"},
    {MD_ACCESS_NO_REMOTE_EXECUTE, "AccessNoRemoteExecute"},
    {MD_ACCESS_NO_REMOTE_SCRIPT, "AccessNoRemoteScript"},
    {0x8000, "AccessNoPhysicalDir"},
};

const Named kFilterFlags[] = {
    {0x00000001, "NotifySecurePort"},     {0x00000002, "NotifyNonSecurePort"},
    {0x00008000, "NotifyReadRawData"},    {0x00004000, "NotifyPreProcHeaders"},
    {0x00002000, "NotifyAuthentication"}, {0x00001000, "NotifyUrlMap"},
    {0x00000800, "NotifyAccessDenied"},   {0x00000040, "NotifySendResponse"},
    {0x00000400, "NotifySendRawData"},    {0x00000200, "NotifyLog"},
    {0x00000080, "NotifyEndOfRequest"},   {0x00000100, "NotifyEndOfNetSession"},
    {0x00080000, "NotifyOrderHigh"},      {0x00040000, "NotifyOrderMedium"},
    {0x00020000, "NotifyOrderLow"},       {0x04000000, "NotifyAuthComplete"},
};

const Named kCustomTypes[] = {
    {DWORD_METADATA, "DWORD"},       {STRING_METADATA, "STRING"},   {BINARY_METADATA, "BINARY"},
    {EXPANDSZ_METADATA, "EXPANDSZ"}, {MULTISZ_METADATA, "MULTISZ"},
};

const Named kCustomUserTypes[] = {
    {IIS_MD_UT_SERVER, "IIS_MD_UT_SERVER"},
    {IIS_MD_UT_FILE, "IIS_MD_UT_FILE"},
    {IIS_MD_UT_WAM, "IIS_MD_UT_WAM"},
    {ASP_MD_UT_APP, "ASP_MD_UT_APP"},
};

const Named kCustomAttributes[] = {
    {METADATA_INHERIT, "INHERIT"},
    {METADATA_PARTIAL_PATH, "PARTIAL_PATH"},
    {METADATA_SECURE, "SECURE"},
    {METADATA_REFERENCE, "REFERENCE"},
    {METADATA_VOLATILE, "VOLATILE"},
    {METADATA_ISINHERITED, "ISINHERITED"},
    {METADATA_INSERT_PATH, "INSERT_PATH"},
    {METADATA_LOCAL_MACHINE_ONLY, "LOCAL_MACHINE_ONLY"},
    {METADATA_NON_SECURE_ONLY, "NON_SECURE_ONLY"},
};

const Named kDataTypes[] = {
    {DWORD_METADATA, "DWORD"},       {STRING_METADATA, "String"},   {BINARY_METADATA, "Binary"},
    {EXPANDSZ_METADATA, "ExpandSz"}, {MULTISZ_METADATA, "MultiSz"},
};

const Named kAttributes[] = {
    {METADATA_INHERIT, "Inherit"},
    {METADATA_PARTIAL_PATH, "PartialPath"},
    {METADATA_SECURE, "Secure"},
    {METADATA_REFERENCE, "Reference"},
    {METADATA_VOLATILE, "Volatile"},
    {METADATA_ISINHERITED, "IsInherited"},
    {METADATA_INSERT_PATH, "InsertPath"},
    {METADATA_LOCAL_MACHINE_ONLY, "LocalMachineOnly"},
    {METADATA_NON_SECURE_ONLY, "NonSecureOnly"},
};

const Named kUserTypes[] = {
    {IIS_MD_UT_SERVER, "Server"},
    {IIS_MD_UT_FILE, "File"},
    {IIS_MD_UT_WAM, "WAM"},
    {ASP_MD_UT_APP, "ASPApp"},
};

template <size_t N>
const char* NameOf(const Named (&table)[N], DWORD value) {
  for (const Named& entry : table) {
    if (entry.value == value) return entry.name;
  }
  return nullptr;
}

template <size_t N>
bool ValueOf(const Named (&table)[N], std::string_view name, DWORD& value) {
  for (const Named& entry : table) {
    if (name == entry.name) {
      value = entry.value;
      return true;
    }
  }
  return false;
}

// Decimal, or hexadecimal with "0x".
bool ParseNumber(std::string_view text, DWORD& value) {
  if (text.empty() || text.size() > 12) return false;
  const std::string copy(text);
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(copy.c_str(), &end, 0);
  if (*end != 0 || copy[0] == '-' || copy[0] == '+' || parsed > 0xFFFFFFFFull) return false;
  value = static_cast<DWORD>(parsed);
  return true;
}

std::string Hex(DWORD value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// "A | B | 0x40": names of the table joined by " | ", unknown bits as one
// number; `none` for no bits.
template <size_t N>
std::string BitsText(const Named (&table)[N], DWORD bits, const char* none, bool allowNumber) {
  if (bits == 0) return none;
  std::string text;
  for (const Named& entry : table) {
    if ((bits & entry.value) == 0) continue;
    if (!text.empty()) text += " | ";
    text += entry.name;
    bits &= ~entry.value;
  }
  if (bits != 0) {
    if (!allowNumber) return {};
    text += (text.empty() ? "" : " | ") + std::to_string(bits);
  }
  return text;
}

template <size_t N>
bool ParseBits(const Named (&table)[N], std::string_view text, std::string_view none, DWORD& bits) {
  DWORD result = 0;
  if (Trim(text) == none) {
    bits = 0;
    return true;
  }
  while (true) {
    const size_t bar = text.find('|');
    const std::string_view piece = Trim(text.substr(0, bar));
    DWORD value = 0;
    if (!ValueOf(table, piece, value) && !ParseNumber(piece, value)) return false;
    result |= value;
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  bits = result;
  return true;
}

}  // namespace

std::string_view PropertyName(DWORD id) {
  if (const NamedProperty* named = NamedPropertyOf(id)) return named->name;
  const char* name = NameOf(kOtherProperties, id);
  return name == nullptr ? std::string_view() : std::string_view(name);
}

const NamedProperty* NamedPropertyOf(DWORD id) {
  for (const NamedProperty& entry : kProperties) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

const NamedProperty* NamedPropertyCalled(std::string_view name) {
  for (const NamedProperty& entry : kProperties) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

bool FitsNamedForm(const NamedProperty& named, DWORD dataType, DWORD userType, DWORD attributes) {
  return named.dataType == dataType && named.userType == userType && named.attributes == attributes;
}

std::string FlagsText(DWORD id, DWORD value) {
  if (id == MD_ACCESS_PERM) return BitsText(kAccessFlags, value, "0", false);
  if (id == MD_FILTER_FLAGS) return BitsText(kFilterFlags, value, "0", false);
  return {};
}

bool ParseFlags(DWORD id, std::string_view text, DWORD& value) {
  if (id == MD_ACCESS_PERM) return ParseBits(kAccessFlags, text, "0", value);
  if (id == MD_FILTER_FLAGS) return ParseBits(kFilterFlags, text, "0", value);
  return ParseNumber(Trim(text), value);
}

std::string CustomTypeText(DWORD dataType) {
  const char* name = NameOf(kCustomTypes, dataType);
  return name != nullptr ? name : std::to_string(dataType);
}

bool ParseCustomType(std::string_view text, DWORD& dataType) {
  DWORD value = 0;
  if (!ValueOf(kCustomTypes, text, value) && !ParseNumber(text, value)) return false;
  if (value == ALL_METADATA || value >= INVALID_END_METADATA) return false;
  dataType = value;
  return true;
}

std::string CustomUserTypeText(DWORD userType) {
  const char* name = NameOf(kCustomUserTypes, userType);
  return name != nullptr ? name : std::to_string(userType);
}

bool ParseCustomUserType(std::string_view text, DWORD& userType) {
  return ValueOf(kCustomUserTypes, text, userType) || ParseNumber(text, userType);
}

std::string CustomAttributesText(DWORD attributes) {
  return BitsText(kCustomAttributes, attributes, "NO_ATTRIBUTES", true);
}

bool ParseCustomAttributes(std::string_view text, DWORD& attributes) {
  return ParseBits(kCustomAttributes, text, "NO_ATTRIBUTES", attributes);
}

std::string DataTypeText(DWORD dataType) {
  const char* name = NameOf(kDataTypes, dataType);
  return name != nullptr ? name : std::to_string(dataType);
}

bool ParseDataType(std::string_view text, DWORD& dataType) {
  DWORD value = 0;
  if (!ValueOf(kDataTypes, text, value) && !ParseNumber(text, value)) return false;
  if (value == ALL_METADATA || value >= INVALID_END_METADATA) return false;
  dataType = value;
  return true;
}

std::string AttributesText(DWORD attributes) {
  std::string text;
  for (const Named& entry : kAttributes) {
    if ((attributes & entry.value) == 0) continue;
    if (!text.empty()) text += '|';
    text += entry.name;
    attributes &= ~entry.value;
  }
  if (attributes != 0) text += (text.empty() ? "" : "|") + Hex(attributes);
  return text;
}

bool ParseAttributes(std::string_view text, DWORD& attributes) {
  DWORD result = 0;
  while (!text.empty()) {
    const size_t bar = text.find('|');
    const std::string_view piece = text.substr(0, bar);
    DWORD value = 0;
    if (!ValueOf(kAttributes, piece, value) && !ParseNumber(piece, value)) return false;
    result |= value;
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  attributes = result;
  return true;
}

std::string UserTypeText(DWORD userType) {
  const char* name = NameOf(kUserTypes, userType);
  return name != nullptr ? name : std::to_string(userType);
}

bool ParseUserType(std::string_view text, DWORD& userType) {
  return ValueOf(kUserTypes, text, userType) || ParseNumber(text, userType);
}

}  // namespace metabase
