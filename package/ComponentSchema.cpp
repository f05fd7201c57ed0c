#include "package/ComponentSchema.h"

namespace ComponentSchema {
namespace {

const uint8_t S = VariableType::STRING;
const uint8_t N = VariableType::ULONG;
const uint8_t B = VariableType::BINARY;

// Meanings shared by several types.
const char kDir[] = "folder; relative to the product folder unless OPTIONS is exactly 8";
const char kFile[] = "file name; relative to PATH unless absolute";
const char kExe[] = "the DLL; relative to the product folder unless OPTIONS is exactly 8";

const Field kOptions = {"OPTIONS", N,
                        "flags: 1 go on after a failure, 2 keep what exists, 4 no message, "
                        "exactly 8 relative paths stay as written, 16 not undone on uninstall"};

const Field kFileFields[] = {
    {"PATH", S, kDir}, {"FILENAME", S, kFile}, {"DATA", B, "the file's bytes"}};
const Field kRemoveFileFields[] = {{"PATH", S, kDir}, {"FILENAME", S, kFile}};
const Field kExecFields[] = {{"PATH", S, kDir},
                             {"FILENAME", S, kFile},
                             {"DATA", B, "the program's bytes; it is started, not waited for"}};
const Field kRegistryFields[] = {
    {"PATH", S, "key path below HKEY_LOCAL_MACHINE"},
    {"REGNAME", S, "value name"},
    {"REGTYPE", N, "0 only make the key, 1 text (REG_SZ), 2 number (REG_DWORD)"},
    {"DATA", B, "the text's bytes, or the number as 4 little-endian bytes"}};
const Field kRemoveRegistryFields[] = {{"PATH", S, "key path below HKEY_LOCAL_MACHINE"},
                                       {"REGNAME", S, "value name; empty removes the key itself"}};
const Field kDirFields[] = {{"PATH", S, kDir}};
const Field kAccessFields[] = {
    {"OBJECT_TYPE", N, "1 file or folder, 2 registry key"},
    {"PATH", S, "the object; a relative path is below the product folder"},
    {"USER_TYPE", S, "STANDARD (a well-known account) or NAMED"},
    {"STANDARD_USER", N, "well-known account number, with USER_TYPE STANDARD"},
    {"NAMED_USER", S, "account name, with USER_TYPE NAMED"},
    {"ACCESS_MODE", N, "Windows access mode of the entry (1 grant, 2 set, 3 deny)"},
    {"PERMISSIONS", N, "Windows access mask"},
    {"INHERITANCE", N, "low 16 bits: inheritance flags; high 16 bits: protection"}};
const Field kLinkFields[] = {{"PATH", S, kDir},
                             {"FILENAME", S, "the link; relative to PATH"},
                             {"TARGET", S, "what it points to; relative to PATH"}};
const Field kShortcutFields[] = {
    {"SHORTCUT_FOLDER", S, "folder in the all-users Start menu programs"},
    {"SHORTCUT_FILENAME", S, "shortcut file name (.lnk)"},
    {"TARGET_PATH", S, kDir},
    {"TARGET_FILENAME", S, "the target; relative to TARGET_PATH"},
    {"DESCRIPTION", S, "the shortcut's description"}};
const Field kRemoveShortcutFields[] = {{"SHORTCUT_FOLDER", S, "folder in the Start menu programs"},
                                       {"SHORTCUT_FILENAME", S, "shortcut file name (.lnk)"}};
const Field kFilterFields[] = {{"FILTERNAME", S, "the ISAPI filter's name"},
                               {"EXECUTABLE", S, kExe},
                               {"DESCRIPTION", S, "the filter's description"}};
const Field kRemoveFilterFields[] = {{"FILTERNAME", S, "the ISAPI filter's name"}};
const Field kScriptMapFields[] = {
    {"EXTENSION", S, "file extension such as .qv; * makes a wildcard mapping"},
    {"EXECUTABLE", S, kExe},
    {"FLAGS", N, "script map flags (1 script engine, 4 check that the file exists)"},
    {"VERBS", S, "verbs, comma-separated; empty for all"}};
const Field kRemoveScriptMapFields[] = {{"EXTENSION", S, "file extension of the mapping"}};
const Field kRemoveWildcardFields[] = {{"EXECUTABLE", S, "the DLL of the wildcard mapping"}};
const Field kRestrictionFields[] = {{"NAME", S, "group name of the restriction"},
                                    {"EXECUTABLE", S, kExe},
                                    {"DESCRIPTION", S, "the restriction's description"}};
const Field kNameFields[] = {{"NAME", S, "the name in the IIS configuration"}};
const Field kGlobalModuleFields[] = {{"NAME", S, "the module's name"}, {"EXECUTABLE", S, kExe}};
const Field kHandlerFields[] = {
    {"NAME", S, "the handler's name"},
    {"MODULENAME", S, "the module that handles requests"},
    {"EXTENSION", S, "the path pattern, such as *.qv"},
    {"ACCESS", S, "required access: None, Read, Write, Script, Execute"},
    {"VERBS", S, "verbs, comma-separated; * for all"}};

#define FIELDS(list) list, sizeof(list) / sizeof(list[0])

const ComponentType kTypes[] = {
    {"FILE", 1, "create a file", FIELDS(kFileFields)},
    {"RFIL", 2, "remove a file", FIELDS(kRemoveFileFields)},
    {"EXEC", 3, "create a file and run it", FIELDS(kExecFields)},
    {"REGK", 4, "add a registry key and value", FIELDS(kRegistryFields)},
    {"RREG", 5, "remove a registry value or key", FIELDS(kRemoveRegistryFields)},
    {"CDIR", 6, "create a folder", FIELDS(kDirFields)},
    {"RDIR", 7, "remove an empty folder", FIELDS(kDirFields)},
    {"SARO", 8, "set access rights on an object", FIELDS(kAccessFields)},
    {"SLNK", 9, "create a symbolic link", FIELDS(kLinkFields)},
    {"CSHC", 20, "create a Start menu shortcut", FIELDS(kShortcutFields)},
    {"RSHC", 21, "remove a Start menu shortcut", FIELDS(kRemoveShortcutFields)},
    {"IAFL", 100, "add an ISAPI filter", FIELDS(kFilterFields)},
    {"IRFL", 101, "remove an ISAPI filter", FIELDS(kRemoveFilterFields)},
    {"IASM", 102, "add a script mapping", FIELDS(kScriptMapFields)},
    {"IRSM", 103, "remove a script mapping", FIELDS(kRemoveScriptMapFields)},
    {"IRWM", 104, "remove a wildcard script mapping", FIELDS(kRemoveWildcardFields)},
    {"IAWR", 105, "add a web service restriction", FIELDS(kRestrictionFields)},
    {"IRWR", 106, "remove a web service restriction", FIELDS(kNameFields)},
    {"IAGM", 200, "add a global module", FIELDS(kGlobalModuleFields)},
    {"IRGM", 201, "remove a global module", FIELDS(kNameFields)},
    {"IAMD", 202, "add a module", FIELDS(kNameFields)},
    {"IRMD", 203, "remove a module", FIELDS(kNameFields)},
    {"IAHD", 204, "add a handler mapping", FIELDS(kHandlerFields)},
    {"IRHD", 205, "remove a handler mapping", FIELDS(kNameFields)},
};

const Field kConditionFields[] = {
    {"INDEX", N, "position of the component in COMPONENTS, counted from 0"},
    {"NAME", S, "the fact tested, case-sensitive (see the facts)"},
    {"VALUE_TYPE", N, "1 number test, 2 text test; 0 never holds"},
    {"ULONG_VALUE", N, "the value of a number test"},
    {"STRING_VALUE", S, "the value of a text test"},
    {"OPERATOR", N, "1 ==, 2 !=, 3 <, 4 >, 5 <=, 6 >=; 0 never holds"},
    {"EXECUTE", N, "1: run when the test holds; 0: run when it does not"}};

const Fact kFacts[] = {
    {"IISVERSION", 1, "the IIS major version: 6, 7, 8, 10"},
    {"IISMODEL", 2, "PIPELINE (native module), ISAPIX64 (IIS 6), ISAPISYMLINK (filter on 7+)"},
    {"ARCHITECTURE", 2, "always X64"},
    {"X86CORE", 2, "NO on IIS 6, YES on IIS 7 and later"},
    {"SYMLINKX86", 2, "NO on IIS 6, YES on IIS 7 and later"},
    {"SYMLINKX64", 2, "NO on IIS 6, YES on IIS 7 and later"},
};

#undef FIELDS

}  // namespace

const Field& OptionsField() { return kOptions; }

const ComponentType* Types() { return kTypes; }
size_t TypeCount() { return sizeof(kTypes) / sizeof(kTypes[0]); }

const ComponentType* FindType(const CSPString& code) {
  for (const ComponentType& type : kTypes) {
    if (code == type.code) return &type;
  }
  return nullptr;
}

const ComponentType* FindType(uint32_t typeCode) {
  for (const ComponentType& type : kTypes) {
    if (type.typeCode == typeCode) return &type;
  }
  return nullptr;
}

bool HasField(const ComponentVariable& record, const Field& field) {
  const ComponentVariable* child = record.GetChild(field.name);
  return child != nullptr && child->GetType() == field.type;
}

bool HasFields(const ComponentVariable& record, const ComponentType& type) {
  if (!HasField(record, kOptions)) return false;
  for (size_t i = 0; i < type.fieldCount; ++i) {
    if (!HasField(record, type.fields[i])) return false;
  }
  return true;
}

const Field* ConditionFields() { return kConditionFields; }
size_t ConditionFieldCount() { return sizeof(kConditionFields) / sizeof(kConditionFields[0]); }

const Fact* Facts() { return kFacts; }
size_t FactCount() { return sizeof(kFacts) / sizeof(kFacts[0]); }

const Fact* FindFact(const CSPString& name) {
  for (const Fact& fact : kFacts) {
    if (name == fact.name) return &fact;
  }
  return nullptr;
}

}  // namespace ComponentSchema
