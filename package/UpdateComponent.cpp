#include "package/UpdateComponent.h"

namespace {

struct Field {
  const char* name;
  uint8_t type;
};

const uint8_t S = VariableType::STRING;
const uint8_t N = VariableType::ULONG;
const uint8_t B = VariableType::BINARY;

// Every action's fields besides "OPTIONS", which all of them need.
struct Action {
  const char* code;
  uint32_t typeCode;
  Field fields[8];
};

const Action kActions[] = {
    {"FILE", UpdateComponent::kCreateFile, {{"PATH", S}, {"FILENAME", S}, {"DATA", B}}},
    {"RFIL", UpdateComponent::kRemoveFile, {{"PATH", S}, {"FILENAME", S}}},
    {"EXEC", UpdateComponent::kExecuteFile, {{"PATH", S}, {"FILENAME", S}, {"DATA", B}}},
    {"REGK",
     UpdateComponent::kAddRegistryValue,
     {{"PATH", S}, {"REGNAME", S}, {"REGTYPE", N}, {"DATA", B}}},
    {"RREG", UpdateComponent::kRemoveRegistryValue, {{"PATH", S}, {"REGNAME", S}}},
    {"CDIR", UpdateComponent::kCreateDirectory, {{"PATH", S}}},
    {"RDIR", UpdateComponent::kRemoveDirectory, {{"PATH", S}}},
    {"SARO",
     UpdateComponent::kSetAccessRights,
     {{"OBJECT_TYPE", N},
      {"PATH", S},
      {"USER_TYPE", S},
      {"STANDARD_USER", N},
      {"NAMED_USER", S},
      {"ACCESS_MODE", N},
      {"PERMISSIONS", N},
      {"INHERITANCE", N}}},
    {"SLNK", UpdateComponent::kCreateSymbolicLink, {{"PATH", S}, {"FILENAME", S}, {"TARGET", S}}},
    {"CSHC",
     UpdateComponent::kCreateShortcut,
     {{"SHORTCUT_FOLDER", S},
      {"SHORTCUT_FILENAME", S},
      {"TARGET_PATH", S},
      {"TARGET_FILENAME", S},
      {"DESCRIPTION", S}}},
    {"RSHC", UpdateComponent::kRemoveShortcut, {{"SHORTCUT_FOLDER", S}, {"SHORTCUT_FILENAME", S}}},
    {"IAFL", UpdateComponent::kAddFilter, {{"FILTERNAME", S}, {"EXECUTABLE", S}, {"DESCRIPTION", S}}},
    {"IRFL", UpdateComponent::kRemoveFilter, {{"FILTERNAME", S}}},
    {"IASM",
     UpdateComponent::kAddScriptMapping,
     {{"EXTENSION", S}, {"EXECUTABLE", S}, {"FLAGS", N}, {"VERBS", S}}},
    {"IRSM", UpdateComponent::kRemoveScriptMapping, {{"EXTENSION", S}}},
    {"IRWM", UpdateComponent::kRemoveWildcardMapping, {{"EXECUTABLE", S}}},
    {"IAWR", UpdateComponent::kAddRestriction, {{"NAME", S}, {"EXECUTABLE", S}, {"DESCRIPTION", S}}},
    {"IRWR", UpdateComponent::kRemoveRestriction, {{"NAME", S}}},
    {"IAGM", UpdateComponent::kAddGlobalModule, {{"NAME", S}, {"EXECUTABLE", S}}},
    {"IRGM", UpdateComponent::kRemoveGlobalModule, {{"NAME", S}}},
    {"IAMD", UpdateComponent::kAddModule, {{"NAME", S}}},
    {"IRMD", UpdateComponent::kRemoveModule, {{"NAME", S}}},
    {"IAHD",
     UpdateComponent::kAddHandler,
     {{"NAME", S}, {"MODULENAME", S}, {"EXTENSION", S}, {"ACCESS", S}, {"VERBS", S}}},
    {"IRHD", UpdateComponent::kRemoveHandler, {{"NAME", S}}},
};

bool HasField(const ComponentVariable& record, const char* name, uint8_t type) {
  const ComponentVariable* child = record.GetChild(name);
  return child != nullptr && child->GetType() == type;
}

bool HasFields(const ComponentVariable& record, const Action& action) {
  if (!HasField(record, "OPTIONS", N)) return false;
  for (const Field& field : action.fields) {
    if (field.name != nullptr && !HasField(record, field.name, field.type)) return false;
  }
  return true;
}

}  // namespace

const char* UpdateComponent::CodeName(uint32_t code) {
  for (const Action& action : kActions) {
    if (action.typeCode == code) return action.code;
  }
  return nullptr;
}

void UpdateComponent::SetBasePath(const CSPWString& path) {
  basePath = path;
  uint32_t length = basePath.GetLength();
  if (length == 0 || basePath.GetAt(length - 1) != u'\\') basePath += u"\\";
}

bool UpdateComponent::ParseRecord(const ComponentVariable& node) {
  if (node.GetType() != VariableType::MAP) return false;
  record = node;
  const ComponentVariable* typeNode = record.GetChild("TYPE");
  if (typeNode == nullptr) return false;
  // The type of "TYPE" itself is not checked: any other node reads as "".
  const CSPString& code = typeNode->GetText();
  typeCode = kNoAction;
  for (const Action& action : kActions) {
    if (code == action.code) {
      if (!HasFields(record, action)) return false;
      typeCode = action.typeCode;
      break;
    }
  }
  parsed = true;
  return true;
}
