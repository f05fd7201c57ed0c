// Security descriptors as SDDL text: "O:BAG:SYD:P(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)".
//
// Written: owner, group, DACL and SACL in that order, each only when
// present; "P" after "D:" or "S:" for a protected list and
// "NO_ACCESS_CONTROL" for a null one; SIDs by their two-letter alias when
// they have one, otherwise as "S-1-..."; rights by their alias when the mask
// is exactly one (FA, FR, FW, FX for files, KA, KR, KW for keys; GA, GR, GW,
// GX for generic rights, which may be combined), otherwise as hexadecimal.
// Read: the same, plus the "AI" and "AR" list flags (ignored) and rights as
// any sequence of aliases or a hexadecimal or decimal number. Entry types:
// A (allowed), D (denied), AU (audit); entry flags: OI CI NP IO ID SA FA.
// Object entries and conditional entries are not modelled.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/security/SecurityModel.h"

namespace winsec {

// Which right aliases the text uses: those of files, of keys, or both (as
// Windows' converter, which does not know the object, does).
enum class RightsStyle { File, Key, Any };

std::string FormatSddl(const SecurityRecord& record, RightsStyle style = RightsStyle::File);
// False with a short English reason when the text is malformed.
bool ParseSddl(std::string_view text, SecurityRecord& record, std::string& error);

// A SID as SDDL writes it (alias or S-1-...), and read back.
std::string FormatSidToken(const SidBytes& sid);
std::optional<SidBytes> ParseSidToken(std::string_view token);

}  // namespace winsec
