#include "package/UpdateComponent.h"

#include "package/ComponentSchema.h"

const char* UpdateComponent::CodeName(uint32_t code) {
  const ComponentSchema::ComponentType* type = ComponentSchema::FindType(code);
  return type != nullptr ? type->code : nullptr;
}

void UpdateComponent::SetBasePath(const CSPWString& path) {
  basePath = path;
  uint32_t length = basePath.GetLength();
  if (length == 0 || basePath.GetAt(length - 1) != u'\\') basePath += u"\\";
}

bool UpdateComponent::ParseRecord(const ComponentVariable& node) {
  if (node.GetType() != VariableType::MAP) return false;
  record = node;
  return CheckRecord();
}

bool UpdateComponent::TakeRecord(ComponentVariable& node) {
  if (node.GetType() != VariableType::MAP) return false;
  record.Take(node);
  return CheckRecord();
}

bool UpdateComponent::CheckRecord() {
  const ComponentVariable* typeNode = record.GetChild("TYPE");
  if (typeNode == nullptr) return false;
  // The type of "TYPE" itself is not checked: any other node reads as "".
  const CSPString& code = typeNode->GetText();
  typeCode = kNoAction;
  if (const ComponentSchema::ComponentType* type = ComponentSchema::FindType(code)) {
    if (!ComponentSchema::HasFields(record, *type)) return false;
    typeCode = type->typeCode;
  }
  parsed = true;
  return true;
}
