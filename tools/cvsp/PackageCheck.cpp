#include "tools/cvsp/PackageCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <utility>

#include "package/ComponentSchema.h"
#include "tools/cvsp/Manifest.h"

namespace cvsp {
namespace {

using ComponentSchema::Field;

const uint32_t kHighestMajorVersion = 2;

std::string Quoted(const CSPString& text) { return "\"" + Latin1ToUtf8(text) + "\""; }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Edit distance, cut short above 2: enough to catch a typing slip.
size_t Distance(const std::string& a, const std::string& b) {
  if (a.size() > b.size() + 2 || b.size() > a.size() + 2) return 3;
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// ", did you mean X?" for the closest known name, or "".
template <class Names>
std::string Suggestion(const std::string& written, const Names& names) {
  std::string best;
  size_t bestDistance = 3;
  for (const std::string& name : names) {
    size_t distance = Upper(written) == name ? 0 : Distance(Upper(written), name);
    // A swap of two letters ("CDRI") counts as one slip.
    std::string sortedWritten = Upper(written), sortedName = name;
    std::sort(sortedWritten.begin(), sortedWritten.end());
    std::sort(sortedName.begin(), sortedName.end());
    if (sortedWritten == sortedName) distance = std::min<size_t>(distance, 1);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = name;
    }
  }
  return best.empty() ? "" : " (did you mean " + best + "?)";
}

std::vector<std::string> TypeCodes() {
  std::vector<std::string> codes;
  for (size_t i = 0; i < ComponentSchema::TypeCount(); ++i) {
    codes.push_back(ComponentSchema::Types()[i].code);
  }
  return codes;
}

std::vector<std::string> FactNames() {
  std::vector<std::string> names;
  for (size_t i = 0; i < ComponentSchema::FactCount(); ++i) {
    names.push_back(ComponentSchema::Facts()[i].name);
  }
  return names;
}

class Checker {
 public:
  explicit Checker(std::vector<Finding>& findings) : findings(findings) {}

  void Root(uint32_t formatVersion, const ComponentVariable& root);

 private:
  void Error(const std::string& where, const std::string& text) {
    findings.push_back({Finding::kError, where, text});
  }
  void Warning(const std::string& where, const std::string& text) {
    findings.push_back({Finding::kWarning, where, text});
  }
  // Reports a missing or mistyped field; true when it is there as it must be.
  bool Require(const std::string& where, const ComponentVariable& map, const char* name,
               uint8_t type, const std::string& meaning);
  void UpdateModules(const ComponentVariable& modules);
  void Conditions(const ComponentVariable& list, uint32_t componentCount);
  void Condition(const std::string& where, const ComponentVariable& record,
                 uint32_t componentCount);
  void Components(const ComponentVariable& list);
  void Component(uint32_t index, const ComponentVariable& record);

  std::vector<Finding>& findings;
  std::set<std::pair<uint32_t, std::string>> conditionsSeen;
};

bool Checker::Require(const std::string& where, const ComponentVariable& map, const char* name,
                      uint8_t type, const std::string& meaning) {
  const ComponentVariable* child = map.GetChild(name);
  std::string expected = "\"" + std::string(name) + "\" (" + TypeName(type) + ")";
  if (child == nullptr) {
    Error(where, expected + " is missing" + (meaning.empty() ? "" : ": " + meaning));
    return false;
  }
  if (child->GetType() != type) {
    Error(where, "\"" + std::string(name) + "\" is a " + TypeName(child->GetType()) +
                     "; it must be a " + TypeName(type));
    return false;
  }
  return true;
}

void Checker::Root(uint32_t formatVersion, const ComponentVariable& root) {
  if ((formatVersion >> 16) > kHighestMajorVersion) {
    Error("format version",
          VersionText(formatVersion) + " is not read by the installer, which takes 0.x to 2.x");
  }
  if (root.GetType() != VariableType::MAP) {
    Error("root", "is a " + TypeName(root.GetType()) + "; it must be a MAP");
    return;
  }
  Require("package", root, "VERSION_STRING", VariableType::STRING, "the product version text");
  Require("package", root, "VERSION_NUMBER", VariableType::ULONG, "the product version number");
  Require("package", root, "VERSION_DATE", VariableType::DATE, "the release date");
  const ComponentVariable* info = root.GetChild("INFO");
  if (info == nullptr || info->GetType() != VariableType::STRING) {
    Warning("package",
            "no \"INFO\" (STRING): the installer runs the package, but its header "
            "reader (cvsp info) refuses it");
  }
  static const std::set<std::string> kKeys = {"VERSION_STRING", "VERSION_NUMBER", "VERSION_DATE",
                                              "INFO",           "UPDATE_MODULES", "CONDITIONS",
                                              "COMPONENTS"};
  for (uint32_t i = 0; i < root.GetChildCount(); ++i) {
    std::string key = Latin1ToUtf8(root.GetChildAt(i)->GetName());
    if (kKeys.count(key) == 0) {
      Warning("package", "\"" + key + "\" is not read by the installer" + Suggestion(key, kKeys));
    }
  }
  if (const ComponentVariable* modules = root.GetChild("UPDATE_MODULES")) UpdateModules(*modules);
  const ComponentVariable* components = root.GetChild("COMPONENTS");
  uint32_t componentCount = 0;
  if (components == nullptr) {
    Error("package", "\"COMPONENTS\" (LIST of MAP) is missing: the components to run");
  } else if (components->GetType() != VariableType::LIST ||
             components->GetElementType() != VariableType::MAP) {
    Error("package", "\"COMPONENTS\" must be a LIST of MAP records");
  } else {
    componentCount = components->GetElementCount();
  }
  if (const ComponentVariable* conditions = root.GetChild("CONDITIONS")) {
    Conditions(*conditions, componentCount);
  }
  if (componentCount != 0) Components(*components);
}

void Checker::UpdateModules(const ComponentVariable& modules) {
  const std::string where = "UPDATE_MODULES";
  if (modules.GetType() != VariableType::MAP || modules.GetChildCount() == 0) {
    Error(where, "must be a MAP holding \"cvspmod.dll\"");
    return;
  }
  const ComponentVariable* plain = modules.GetChild("cvspmod.dll");
  if (plain == nullptr) {
    Error(where, "\"cvspmod.dll\" is missing");
    return;
  }
  // The installer takes the 64-bit image when there is one.
  const char* taken =
      modules.GetChild("cvspmod.x64.dll") != nullptr ? "cvspmod.x64.dll" : "cvspmod.dll";
  Require(where, modules, taken, VariableType::BINARY, "");
}

void Checker::Conditions(const ComponentVariable& list, uint32_t componentCount) {
  if (list.GetType() != VariableType::LIST) {
    Error("CONDITIONS", "must be a LIST of MAP records");
    return;
  }
  for (uint32_t i = 0; i < list.GetElementCount(); ++i) {
    Condition("condition #" + std::to_string(i), *list.GetListElement(i), componentCount);
  }
}

void Checker::Condition(const std::string& where, const ComponentVariable& record,
                        uint32_t componentCount) {
  if (record.GetType() != VariableType::MAP) {
    Error(where, "is a " + TypeName(record.GetType()) + "; a condition is a MAP");
    return;
  }
  bool complete = true;
  for (size_t i = 0; i < ComponentSchema::ConditionFieldCount(); ++i) {
    const Field& field = ComponentSchema::ConditionFields()[i];
    complete = Require(where, record, field.name, field.type, field.meaning) && complete;
  }
  if (!complete) return;
  uint32_t valueType = record.GetChild("VALUE_TYPE")->GetULong();
  uint32_t compare = record.GetChild("OPERATOR")->GetULong();
  if (valueType > ComponentSchema::kHighestValueType) {
    Error(where, "\"VALUE_TYPE\" " + std::to_string(valueType) +
                     " is refused: 1 number test, 2 text test (0 never holds)");
  }
  if (compare > ComponentSchema::kHighestOperator) {
    Error(where, "\"OPERATOR\" " + std::to_string(compare) +
                     " is refused: 1 ==, 2 !=, 3 <, 4 >, 5 <=, 6 >= (0 never holds)");
  }
  if (valueType > ComponentSchema::kHighestValueType ||
      compare > ComponentSchema::kHighestOperator) {
    return;
  }
  uint32_t index = record.GetChild("INDEX")->GetULong();
  const CSPString& name = record.GetChild("NAME")->GetText();
  std::string about =
      where + " (" + Latin1ToUtf8(name) + " for component #" + std::to_string(index) + ")";
  if (!conditionsSeen.emplace(index, Latin1ToUtf8(name)).second) {
    Warning(about, "replaces an earlier condition of the same name for the same component");
  }
  if (index >= componentCount) {
    Warning(about, "there is no component #" + std::to_string(index) +
                       " (INDEX counts from 0): the condition is never used");
    return;
  }
  UpdateCondition condition;
  condition.Set(name, valueType, record.GetChild("ULONG_VALUE")->GetULong(),
                record.GetChild("STRING_VALUE")->GetText(), compare,
                record.GetChild("EXECUTE")->GetULong() != 0);
  const ComponentSchema::Fact* fact = ComponentSchema::FindFact(name);
  bool neverHolds = valueType == UpdateCondition::kNeverHolds || compare == 0 ||
                    (fact != nullptr && fact->kind != valueType);
  if (fact == nullptr || neverHolds) Warning(about, DescribeCondition(condition));
}

void Checker::Components(const ComponentVariable& list) {
  for (uint32_t i = 0; i < list.GetElementCount(); ++i) Component(i, *list.GetListElement(i));
}

void Checker::Component(uint32_t index, const ComponentVariable& record) {
  std::string where = "component #" + std::to_string(index);
  const ComponentVariable* typeNode = record.GetChild("TYPE");
  if (typeNode == nullptr) {
    Error(where, "\"TYPE\" (STRING) is missing: the four-letter code of the action");
    return;
  }
  if (typeNode->GetType() != VariableType::STRING) {
    Warning(where, "\"TYPE\" is a " + TypeName(typeNode->GetType()) +
                       ", read as empty text: the component does nothing");
    return;
  }
  const ComponentSchema::ComponentType* type = ComponentSchema::FindType(typeNode->GetText());
  if (type == nullptr) {
    Warning(where, "unknown type " + Quoted(typeNode->GetText()) +
                       ": the installer accepts it and does nothing" +
                       Suggestion(Latin1ToUtf8(typeNode->GetText()), TypeCodes()));
    return;
  }
  where += std::string(" (") + type->code + ")";
  std::set<std::string> known = {"TYPE", ComponentSchema::OptionsField().name};
  Require(where, record, ComponentSchema::OptionsField().name, VariableType::ULONG,
          ComponentSchema::OptionsField().meaning);
  for (size_t i = 0; i < type->fieldCount; ++i) {
    const Field& field = type->fields[i];
    known.insert(field.name);
    Require(where, record, field.name, field.type, field.meaning);
  }
  for (uint32_t i = 0; i < record.GetChildCount(); ++i) {
    std::string key = Latin1ToUtf8(record.GetChildAt(i)->GetName());
    if (known.count(key) == 0) {
      Warning(where, "\"" + key + "\" is not a field of " + type->code + Suggestion(key, known));
    }
  }
}

}  // namespace

std::vector<Finding> CheckPackage(uint32_t formatVersion, const ComponentVariable& root) {
  std::vector<Finding> findings;
  Checker(findings).Root(formatVersion, root);
  // What stops the installer first; then what it would take but misread.
  std::stable_partition(findings.begin(), findings.end(),
                        [](const Finding& f) { return f.level == Finding::kError; });
  return findings;
}

bool HasErrors(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.level == Finding::kError; });
}

std::string FindingLine(const Finding& finding) {
  return std::string(finding.level == Finding::kError ? "error: " : "warning: ") + finding.where +
         ": " + finding.text;
}

std::string DescribeCondition(const UpdateCondition& condition) {
  static const char* const kOperators[] = {"", "==", "!=", "<", ">", "<=", ">="};
  const std::string name = Latin1ToUtf8(condition.GetName());
  const ComponentSchema::Fact* fact = ComponentSchema::FindFact(condition.GetName());
  if (fact == nullptr) {
    return name + " matches no fact, so the condition is ignored" + Suggestion(name, FactNames());
  }
  if (condition.GetValueType() == UpdateCondition::kNeverHolds) {
    return "always skipped: VALUE_TYPE 0 never holds";
  }
  if (condition.GetOperator() == 0) return "always skipped: OPERATOR 0 never holds";
  const bool numberFact = fact->kind == UpdateCondition::kNumberTest;
  if (fact->kind != condition.GetValueType()) {
    return std::string("always skipped: ") + fact->name + " is a " +
           (numberFact ? "number" : "text") + ", and a " + (numberFact ? "text" : "number") +
           " test of it never holds";
  }
  std::string test =
      name + " " + kOperators[condition.GetOperator()] + " " +
      (numberFact ? std::to_string(condition.GetULongValue()) : Quoted(condition.GetStringValue()));
  return (condition.GetExecute() ? "runs only when " : "skipped when ") + test;
}

std::string TypeName(uint8_t type) {
  if (const char* name = VariableType::Name(type)) return name;
  char code[16];
  std::snprintf(code, sizeof code, "type 0x%02X", type);
  return code;
}

}  // namespace cvsp
