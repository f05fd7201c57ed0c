#include "platform/security/Sddl.h"

#include <cstdio>
#include <cstring>

namespace winsec {

namespace {

struct SidAlias {
  const char* alias;
  const char* sid;
};

constexpr SidAlias kSidAliases[] = {
    {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"},      {"NU", "S-1-5-2"},
    {"IU", "S-1-5-4"},      {"SU", "S-1-5-6"},      {"AN", "S-1-5-7"},      {"AU", "S-1-5-11"},
    {"SY", "S-1-5-18"},     {"LS", "S-1-5-19"},     {"NS", "S-1-5-20"},     {"BA", "S-1-5-32-544"},
    {"BU", "S-1-5-32-545"}, {"BG", "S-1-5-32-546"}, {"PU", "S-1-5-32-547"}, {"SO", "S-1-5-32-549"},
    {"BO", "S-1-5-32-551"},
};

struct RightAlias {
  const char* alias;
  ACCESS_MASK mask;
};

constexpr RightAlias kGenericAliases[] = {
    {"GA", GENERIC_ALL}, {"GR", GENERIC_READ}, {"GW", GENERIC_WRITE}, {"GX", GENERIC_EXECUTE}};
constexpr RightAlias kFileAliases[] = {{"FA", FILE_ALL_ACCESS},
                                       {"FR", FILE_GENERIC_READ},
                                       {"FW", FILE_GENERIC_WRITE},
                                       {"FX", FILE_GENERIC_EXECUTE}};
constexpr RightAlias kKeyAliases[] = {{"KA", 0xF003Fu}, {"KR", 0x20019u}, {"KW", 0x20006u}};
constexpr RightAlias kOtherAliases[] = {
    {"KX", 0x20019u}, {"RC", READ_CONTROL}, {"SD", DELETE}, {"WD", WRITE_DAC}, {"WO", WRITE_OWNER},
    {"RP", 0x10},     {"WP", 0x20},         {"CC", 0x1},    {"DC", 0x2},       {"LC", 0x4},
    {"SW", 0x8},      {"LO", 0x80},         {"DT", 0x40},   {"CR", 0x100}};

struct FlagAlias {
  const char* alias;
  BYTE flag;
};

constexpr FlagAlias kFlagAliases[] = {{"OI", OBJECT_INHERIT_ACE},
                                      {"CI", CONTAINER_INHERIT_ACE},
                                      {"NP", NO_PROPAGATE_INHERIT_ACE},
                                      {"IO", INHERIT_ONLY_ACE},
                                      {"ID", INHERITED_ACE},
                                      {"SA", SUCCESSFUL_ACCESS_ACE_FLAG},
                                      {"FA", FAILED_ACCESS_ACE_FLAG}};

std::string Hex(ACCESS_MASK mask) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(mask));
  return buffer;
}

template <size_t N>
const RightAlias* ExactAlias(const RightAlias (&aliases)[N], ACCESS_MASK mask) {
  for (const RightAlias& alias : aliases) {
    if (alias.mask == mask) return &alias;
  }
  return nullptr;
}

std::string FormatRights(ACCESS_MASK mask, RightsStyle style) {
  constexpr ACCESS_MASK kGeneric = GENERIC_ALL | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE;
  ACCESS_MASK rest = mask & ~kGeneric;
  std::string text;
  for (const RightAlias& alias : kGenericAliases) {
    if (mask & alias.mask) text += alias.alias;
  }
  if (rest == 0) return text.empty() ? "0x0" : text;
  const RightAlias* alias = style == RightsStyle::Key ? nullptr : ExactAlias(kFileAliases, rest);
  if (alias == nullptr && style != RightsStyle::File) alias = ExactAlias(kKeyAliases, rest);
  return alias ? text + alias->alias : Hex(mask);
}

std::string FormatFlags(BYTE flags) {
  std::string text;
  for (const FlagAlias& alias : kFlagAliases) {
    if (flags & alias.flag) text += alias.alias;
  }
  return text;
}

std::string FormatAce(const Ace& ace, RightsStyle style) {
  const char* type = ace.type == ACCESS_DENIED_ACE_TYPE  ? "D"
                     : ace.type == SYSTEM_AUDIT_ACE_TYPE ? "AU"
                                                         : "A";
  return std::string("(") + type + ";" + FormatFlags(ace.flags) + ";" +
         FormatRights(ace.mask, style) + ";;;" + FormatSidToken(ace.sid) + ")";
}

std::string FormatAclPart(char tag, const AclPart& part, RightsStyle style) {
  if (!part.present) return {};
  std::string text = std::string(1, tag) + ":" + (part.isProtected ? "P" : "");
  if (part.isNull) return text + "NO_ACCESS_CONTROL";
  for (const Ace& ace : part.aces) text += FormatAce(ace, style);
  return text;
}

// ---- Reading ------------------------------------------------------------------

bool ParseRights(std::string_view text, ACCESS_MASK& mask) {
  mask = 0;
  if (text.empty()) return false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return false;
    for (char c : text) {
      int digit = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
      if (digit < 0) return false;
      mask = (mask << 4) | static_cast<ACCESS_MASK>(digit);
    }
    return true;
  }
  if (text[0] >= '0' && text[0] <= '9') {
    uint64_t value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<uint64_t>(c - '0');
      if (value > 0xFFFFFFFFu) return false;
    }
    mask = static_cast<ACCESS_MASK>(value);
    return true;
  }
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    std::string_view token = text.substr(i, 2);
    const RightAlias* found = nullptr;
    for (const auto* table : {kGenericAliases, kFileAliases}) {
      for (size_t j = 0; j < 4 && !found; ++j) {
        if (token == table[j].alias) found = &table[j];
      }
    }
    for (const RightAlias& alias : kKeyAliases) {
      if (!found && token == alias.alias) found = &alias;
    }
    for (const RightAlias& alias : kOtherAliases) {
      if (!found && token == alias.alias) found = &alias;
    }
    if (!found) return false;
    mask |= found->mask;
  }
  return true;
}

bool ParseFlags(std::string_view text, BYTE& flags) {
  flags = 0;
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    std::string_view token = text.substr(i, 2);
    bool known = false;
    for (const FlagAlias& alias : kFlagAliases) {
      if (token == alias.alias) {
        flags |= alias.flag;
        known = true;
      }
    }
    if (!known) return false;
  }
  return true;
}

bool ParseAce(std::string_view body, Ace& ace, std::string& error) {
  std::vector<std::string_view> fields;
  while (true) {
    size_t semicolon = body.find(';');
    fields.push_back(body.substr(0, semicolon));
    if (semicolon == std::string_view::npos) break;
    body.remove_prefix(semicolon + 1);
  }
  if (fields.size() != 6) {
    error = "an entry needs six fields separated by ';'";
    return false;
  }
  if (fields[0] == "A") {
    ace.type = ACCESS_ALLOWED_ACE_TYPE;
  } else if (fields[0] == "D") {
    ace.type = ACCESS_DENIED_ACE_TYPE;
  } else if (fields[0] == "AU") {
    ace.type = SYSTEM_AUDIT_ACE_TYPE;
  } else {
    error = "unknown entry type '" + std::string(fields[0]) + "'";
    return false;
  }
  if (!ParseFlags(fields[1], ace.flags)) {
    error = "unknown entry flags '" + std::string(fields[1]) + "'";
    return false;
  }
  if (!ParseRights(fields[2], ace.mask)) {
    error = "unknown rights '" + std::string(fields[2]) + "'";
    return false;
  }
  if (!fields[3].empty() || !fields[4].empty()) {
    error = "object entries are not supported";
    return false;
  }
  std::optional<SidBytes> sid = ParseSidToken(fields[5]);
  if (!sid) {
    error = "unknown account '" + std::string(fields[5]) + "'";
    return false;
  }
  ace.sid = std::move(*sid);
  return true;
}

bool ParseAclPart(std::string_view body, AclPart& part, std::string& error) {
  part = AclPart();
  part.present = true;
  while (!body.empty() && body[0] != '(') {
    if (body.substr(0, 17) == "NO_ACCESS_CONTROL") {
      part.isNull = true;
      body.remove_prefix(17);
    } else if (body[0] == 'P') {
      part.isProtected = true;
      body.remove_prefix(1);
    } else if (body.substr(0, 2) == "AI" || body.substr(0, 2) == "AR") {
      body.remove_prefix(2);
    } else {
      error = "unknown list flags '" + std::string(body) + "'";
      return false;
    }
  }
  while (!body.empty()) {
    size_t close = body.find(')');
    if (body[0] != '(' || close == std::string_view::npos) {
      error = "an entry must be written as (...)";
      return false;
    }
    Ace ace;
    if (!ParseAce(body.substr(1, close - 1), ace, error)) return false;
    part.aces.push_back(std::move(ace));
    body.remove_prefix(close + 1);
  }
  if (part.isNull && !part.aces.empty()) {
    error = "a list without access control cannot hold entries";
    return false;
  }
  return true;
}

// The end of the section starting at `from`: the tag before the next ':'
// outside parentheses, or the end of the text.
size_t SectionEnd(std::string_view text, size_t from) {
  int depth = 0;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '(') ++depth;
    if (text[i] == ')') --depth;
    if (text[i] == ':' && depth == 0) return i == from ? from : i - 1;
  }
  return text.size();
}

}  // namespace

std::string FormatSidToken(const SidBytes& sid) {
  std::string text = SidToString(sid);
  for (const SidAlias& alias : kSidAliases) {
    if (text == alias.sid) return alias.alias;
  }
  return text;
}

std::optional<SidBytes> ParseSidToken(std::string_view token) {
  for (const SidAlias& alias : kSidAliases) {
    if (token == alias.alias) return SidFromString(alias.sid);
  }
  return SidFromString(token);
}

std::string FormatSddl(const SecurityRecord& record, RightsStyle style) {
  std::string text;
  if (record.owner) text += "O:" + FormatSidToken(*record.owner);
  if (record.group) text += "G:" + FormatSidToken(*record.group);
  text += FormatAclPart('D', record.dacl, style);
  text += FormatAclPart('S', record.sacl, style);
  return text;
}

bool ParseSddl(std::string_view text, SecurityRecord& record, std::string& error) {
  SecurityRecord parsed;
  bool seen[4] = {false, false, false, false};
  size_t i = 0;
  while (i < text.size()) {
    const char* tags = "OGDS";
    const char* tag = std::strchr(tags, text[i]);
    if (text[i] == '\0' || tag == nullptr || i + 1 >= text.size() || text[i + 1] != ':') {
      error = "expected O:, G:, D: or S: at '" + std::string(text.substr(i)) + "'";
      return false;
    }
    size_t index = static_cast<size_t>(tag - tags);
    if (seen[index]) {
      error = std::string("'") + *tag + ":' appears twice";
      return false;
    }
    seen[index] = true;
    size_t end = SectionEnd(text, i + 2);
    std::string_view body = text.substr(i + 2, end - (i + 2));
    i = end;
    if (*tag == 'O' || *tag == 'G') {
      std::optional<SidBytes> sid = ParseSidToken(body);
      if (!sid) {
        error = "unknown account '" + std::string(body) + "'";
        return false;
      }
      (*tag == 'O' ? parsed.owner : parsed.group) = std::move(*sid);
    } else if (!ParseAclPart(body, *tag == 'D' ? parsed.dacl : parsed.sacl, error)) {
      return false;
    }
  }
  record = std::move(parsed);
  return true;
}

}  // namespace winsec
