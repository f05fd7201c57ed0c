// What the registry stand-in offers beyond the Windows functions: to the
// security stand-in, whether a key named the way its functions name keys
// exists; to the machine tool, import and export of whole export files.
#pragma once

#include <string>
#include <string_view>

namespace machine::registry {

// "MACHINE\SOFTWARE\...", "CURRENT_USER\...", "USERS\..." or
// "CLASSES_ROOT\..." (prefixes without regard to case). False without a
// selected machine or for a malformed name; throws MachineError naming the
// file and line when the hive's file is malformed.
bool KeyExists(std::u16string_view objectName);

// The text of this thread's last failure to read or write a hive (file and
// line), for tools that got ERROR_BADDB or ERROR_CANTWRITE.
std::string LastStoreError();

// Applies a registry export file (any encoding the Windows editor writes) to
// the selected machine: all of it or, when one line is refused, nothing.
// Throws MachineError naming fileNameForErrors and the line.
void ImportRegFile(std::string_view bytes, const std::string& fileNameForErrors);

// Export text of a key and its subtree, e.g. "HKLM\SOFTWARE\Example"; the
// root is written out in full (HKEY_LOCAL_MACHINE\...). False when the path
// is malformed or the key missing.
bool ExportKeyText(std::u16string_view rootedPath, std::u16string_view newline,
                   std::u16string& text);

}  // namespace machine::registry
