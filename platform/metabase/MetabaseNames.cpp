#include "platform/metabase/MetabaseNames.h"

#include <cstdio>
#include <cstdlib>

namespace metabase {
namespace {

struct Named {
  DWORD value;
  const char* name;
};

const Named kProperties[] = {
    {MD_KEY_TYPE, "KeyType"},
    {MD_SERVER_COMMENT, "ServerComment"},
    {MD_SERVER_STATE, "ServerState"},
    {MD_SERVER_AUTOSTART, "ServerAutoStart"},
    {MD_SERVER_BINDINGS, "ServerBindings"},
    {MD_FILTER_LOAD_ORDER, "FilterLoadOrder"},
    {MD_FILTER_IMAGE_PATH, "FilterPath"},
    {MD_FILTER_STATE, "FilterState"},
    {MD_FILTER_ENABLED, "FilterEnabled"},
    {MD_FILTER_FLAGS, "FilterFlags"},
    {MD_FILTER_DESCRIPTION, "FilterDescription"},
    {MD_APP_FRIENDLY_NAME, "AppFriendlyName"},
    {MD_APP_ROOT, "AppRoot"},
    {MD_APP_ISOLATED, "AppIsolated"},
    {MD_WEB_SVC_EXT_RESTRICTION_LIST, "WebSvcExtRestrictionList"},
    {MD_VR_PATH, "Path"},
    {MD_DEFAULT_LOAD_FILE, "DefaultDoc"},
    {MD_SCRIPT_MAPS, "ScriptMaps"},
    {MD_ACCESS_PERM, "AccessFlags"},
    {MD_ANONYMOUS_USER_NAME, "AnonymousUserName"},
    {MD_WAM_USER_NAME, "WAMUserName"},
    {MD_WAM_PWD, "WAMUserPass"},
    {MD_APPPOOL_IDENTITY_TYPE, "AppPoolIdentityType"},
    {MD_APP_APPPOOL_ID, "AppPoolId"},
};

const Named kDataTypes[] = {
    {DWORD_METADATA, "DWORD"},     {STRING_METADATA, "String"},   {BINARY_METADATA, "Binary"},
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

}  // namespace

std::string_view PropertyName(DWORD id) {
  const char* name = NameOf(kProperties, id);
  return name == nullptr ? std::string_view() : std::string_view(name);
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
