#include "package/Update.h"

#include <cstring>
#include <new>

#include "core/CSPException.h"
#include "core/CSPFile.h"
#include "core/CSPPtr.h"
#include "package/ByteFormat.h"

using PackageBytes::GetU16;
using PackageBytes::GetU32;

namespace {

const char kMagic[] = "CVSETUPPCKG:";
const uint32_t kMagicLength = 12;
const char kErrorMagic[] = "CVSETUPPCKG_ERROR:";
const uint32_t kErrorMagicLength = 18;
// Magic, version word and the root node's 6-byte length prefix.
const uint32_t kFrameLength = 22;
const uint32_t kNoDepthLimit = 0xFFFFFFFFu;
const uint32_t kHighestMajorVersion = 0x20000;

bool IsSupportedVersion(uint32_t version) {
  return (version & 0xFFFF0000u) <= kHighestMajorVersion;
}

const ComponentVariable* ChildOfType(const ComponentVariable& node, const char* key, uint8_t type) {
  const ComponentVariable* child = node.GetChild(key);
  return child != nullptr && child->GetType() == type ? child : nullptr;
}

bool EndsWithBackslash(const CSPWString& path) {
  return path.GetLength() != 0 && path.GetAt(path.GetLength() - 1) == u'\\';
}

}  // namespace

void Update::StepProgress(int32_t) {}

void Update::StatusChanged(uint32_t) {}

void Update::Fail(const char* title, const char* text) {
  errorTitle = title;
  errorText = text;
}

void Update::SetPackageData(const CSPBuffer& data) { packageData.Set(data); }

const UpdateComponent* Update::GetComponent(uint32_t index) const {
  return components.GetPtrAt(index);
}

bool Update::InsertComponent(uint32_t index, const UpdateComponent& component) {
  return components.InsertAt(component, index);
}

const ConditionsByName* Update::GetConditions(uint32_t index) const {
  return conditions.Lookup(index);
}

// ---------------------------------------------------------------------------
// Parse

bool Update::Parse() {
  // Malformed input never throws; running out of memory on a large package
  // is reported like any other failure.
  try {
    ComponentVariable root;
    return ParseTree(root);
  } catch (const CSPSystemException& e) {
    if (e.GetCode() == CSPSystemException::OutOfMemory) {
      Fail("System error", "Out of memory");
    } else {
      Fail("Update data error", "Update data format is invalid");
    }
  } catch (const std::bad_alloc&) {
    Fail("System error", "Out of memory");
  }
  return false;
}

bool Update::ParseTree(ComponentVariable& root) {
  if (!DecodeRoot(root)) return false;
  if (!ReadVersion(root) || !ReadUpdateModule(root) || !ReadConditions(root)) return false;
  if (!ReadComponents(root)) return false;
  errorText.Empty();
  errorTitle.Empty();
  parsed = true;
  return true;
}

bool Update::DecodeRoot(ComponentVariable& root) {
  uint32_t length = packageData.GetSize();
  if (length < kErrorMagicLength) return false;
  const unsigned char* data = packageData.GetData();
  if (std::memcmp(data, kErrorMagic, kErrorMagicLength) == 0) {
    errorTitle = "Update server error";
    errorText.Empty();
    errorText.Append(reinterpret_cast<const char*>(data) + kErrorMagicLength,
                     length - kErrorMagicLength);
    return false;
  }
  if (std::memcmp(data, kMagic, kMagicLength) != 0) {
    Fail("Update server error", "Unknown error");
    return false;
  }
  Fail("Update data error", "Update data format is invalid");
  packageVersion = GetU32(data + kMagicLength);
  if (!IsSupportedVersion(packageVersion)) {
    Fail("Version inconsistency", "Unsupported file version");
    return false;
  }
  if (length < kFrameLength) return false;
  uint32_t total = GetU32(data + 16);
  uint32_t header = GetU16(data + 20);
  // 64-bit sum: a root length near 4 GiB must not wrap round and pass.
  if (total < header || length < kFrameLength + static_cast<uint64_t>(total)) return false;
  if (!root.Decode(data + kFrameLength, total, header, kNoDepthLimit, 0, true)) return false;
  return root.GetType() == VariableType::MAP;
}

bool Update::ReadVersion(const ComponentVariable& root) {
  const ComponentVariable* text = ChildOfType(root, "VERSION_STRING", VariableType::STRING);
  const ComponentVariable* number = ChildOfType(root, "VERSION_NUMBER", VariableType::ULONG);
  const ComponentVariable* date = ChildOfType(root, "VERSION_DATE", VariableType::DATE);
  if (text == nullptr || number == nullptr || date == nullptr) return false;
  versionString = CSPWString(text->GetText());
  versionNumber = number->GetULong();
  versionDate = date->GetDate();
  return true;
}

bool Update::ReadUpdateModule(const ComponentVariable& root) {
  hasUpdateModule = false;
  const ComponentVariable* modules = root.GetChild("UPDATE_MODULES");
  if (modules == nullptr) return true;
  if (modules->GetType() != VariableType::MAP || modules->GetChildCount() == 0) return false;
  const ComponentVariable* plain = modules->GetChild("cvspmod.dll");
  if (plain == nullptr) return false;
  const ComponentVariable* x64 = modules->GetChild("cvspmod.x64.dll");
  const ComponentVariable* taken = x64 != nullptr ? x64 : plain;
  if (taken->GetType() != VariableType::BINARY) return false;
  // Only kept: nothing here writes, loads or calls the module.
  updateModule.Set(taken->GetBytes());
  hasUpdateModule = true;
  return true;
}

bool Update::ReadConditions(const ComponentVariable& root) {
  conditions.RemoveAll(true);
  const ComponentVariable* list = root.GetChild("CONDITIONS");
  if (list == nullptr) return true;
  if (list->GetType() != VariableType::LIST) return false;
  for (uint32_t i = 0; i < list->GetElementCount(); ++i) {
    if (!ReadCondition(*list->GetListElement(i))) return false;
  }
  return true;
}

bool Update::ReadCondition(const ComponentVariable& record) {
  const uint8_t N = VariableType::ULONG;
  const uint8_t S = VariableType::STRING;
  const ComponentVariable* index = ChildOfType(record, "INDEX", N);
  const ComponentVariable* name = ChildOfType(record, "NAME", S);
  const ComponentVariable* valueType = ChildOfType(record, "VALUE_TYPE", N);
  const ComponentVariable* number = ChildOfType(record, "ULONG_VALUE", N);
  const ComponentVariable* text = ChildOfType(record, "STRING_VALUE", S);
  const ComponentVariable* compare = ChildOfType(record, "OPERATOR", N);
  const ComponentVariable* execute = ChildOfType(record, "EXECUTE", N);
  if (index == nullptr || name == nullptr || valueType == nullptr || number == nullptr ||
      text == nullptr || compare == nullptr || execute == nullptr) {
    return false;
  }
  UpdateCondition condition;
  if (!condition.Set(name->GetText(), valueType->GetULong(), number->GetULong(), text->GetText(),
                     compare->GetULong(), execute->GetULong() != 0)) {
    return false;
  }
  ConditionsByName* filed = conditions.Lookup(index->GetULong());
  if (filed == nullptr) {
    if (!conditions.SetAt(index->GetULong(), ConditionsByName())) return false;
    filed = conditions.Lookup(index->GetULong());
  }
  // A second condition of the same name for the same component replaces it.
  return filed->SetAt(condition.GetName(), condition);
}

bool Update::ReadComponents(ComponentVariable& root) {
  ComponentVariable* list = root.GetChild("COMPONENTS");
  if (list == nullptr || list->GetType() != VariableType::LIST ||
      list->GetElementType() != VariableType::MAP) {
    return false;
  }
  componentCount = list->GetCount();
  if (!EndsWithBackslash(basePath)) basePath += u"\\";
  for (uint32_t i = 0; i < list->GetElementCount(); ++i) {
    ComponentVariable& record = *list->GetListElement(i);
    // Parsed in place at the end of the list, so that adding one never
    // searches the list.
    if (!components.Add(UpdateComponent())) {
      Fail("System error", "Out of memory");
      return false;
    }
    UpdateComponent& component = components.GetAt(components.GetCount() - 1);
    component.SetBasePath(basePath);
    if (!component.TakeRecord(record)) {
      // A refusing record leaves no text of its own; an empty message box
      // would tell the user nothing, so the format message stays.
      if (component.GetErrorText().GetLength() != 0) errorText = component.GetErrorText();
      components.RemoveAt(components.GetCount() - 1);
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// ReadPackageInfo

bool Update::ReadPackageInfo(const CSPWString& path) {
  CSPFile file;
  file.throwOnError = false;
  if (!file.Open(path, CSPFile::modeRead)) {
    errorTitle = "System error";
    errorText = CSPString("Cannot open file ") + path;
    return false;
  }
  try {
    return ReadInfoFrom(file, path);
  } catch (const CSPSystemException& e) {
    if (e.GetCode() == CSPSystemException::OutOfMemory) {
      Fail("System error", "Out of memory");
    } else {
      errorTitle = "File error";
      errorText = CSPString("Invalid file ") + path;
    }
  } catch (const std::bad_alloc&) {
    Fail("System error", "Out of memory");
  }
  return false;
}

bool Update::ReadInfoFrom(CSPFile& file, const CSPWString& path) {
  CSPBuffer head;
  head.throwOnError = false;
  if (!file.Read(head, kMagicLength)) {
    errorTitle = "System error";
    errorText = CSPString("Cannot read from file ") + path;
    return false;
  }
  errorTitle = "File error";
  errorText = CSPString("Invalid file ") + path;
  if (file.GetLastCount() < kMagicLength ||
      std::memcmp(head.GetData(), kMagic, kMagicLength) != 0) {
    return false;
  }
  if (!file.Read(head, 10)) {
    errorTitle = "System error";
    errorText = CSPString("Cannot read from file ") + path;
    return false;
  }
  if (file.GetLastCount() < 10) return false;
  packageVersion = GetU32(head.GetData());
  if (!IsSupportedVersion(packageVersion)) {
    Fail("Version inconsistency", "Unsupported file version");
    return false;
  }
  uint32_t total = GetU32(head.GetData() + 4);
  uint32_t header = GetU16(head.GetData() + 8);
  if (total < header) return false;
  // Depth 1: the lists and maps below the root are skipped unread.
  ComponentVariable root;
  if (!root.DecodeFromFile(file, total, header, 1, 0, true)) return false;
  if (root.GetType() != VariableType::MAP) return false;
  const ComponentVariable* text = ChildOfType(root, "VERSION_STRING", VariableType::STRING);
  const ComponentVariable* number = ChildOfType(root, "VERSION_NUMBER", VariableType::ULONG);
  const ComponentVariable* date = ChildOfType(root, "VERSION_DATE", VariableType::DATE);
  const ComponentVariable* infoText = ChildOfType(root, "INFO", VariableType::STRING);
  if (text == nullptr || number == nullptr || date == nullptr || infoText == nullptr) {
    return false;
  }
  versionString = CSPWString(text->GetText());
  versionNumber = number->GetULong();
  versionDate = date->GetDate();
  info = CSPWString(infoText->GetText());
  errorText.Empty();
  errorTitle.Empty();
  return true;
}
