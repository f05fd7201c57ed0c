#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/UpdateComponent.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

TEST(UpdateComponent, BasePathEndsWithOneBackslash) {
  UpdateComponent component;
  component.SetBasePath(u"C:\\Product");
  EXPECT_EQ(component.GetBasePath(), u"C:\\Product\\");
  component.SetBasePath(u"C:\\Product\\");
  EXPECT_EQ(component.GetBasePath(), u"C:\\Product\\");
}

struct ActionRow {
  const char* code;
  uint32_t typeCode;
  std::vector<std::pair<const char*, uint8_t>> fields;
};

const uint8_t S = VariableType::STRING;
const uint8_t N = VariableType::ULONG;
const uint8_t B = VariableType::BINARY;

std::vector<ActionRow> Actions() {
  return {
      {"FILE", 1, {{"PATH", S}, {"FILENAME", S}, {"DATA", B}}},
      {"RFIL", 2, {{"PATH", S}, {"FILENAME", S}}},
      {"EXEC", 3, {{"PATH", S}, {"FILENAME", S}, {"DATA", B}}},
      {"REGK", 4, {{"PATH", S}, {"REGNAME", S}, {"REGTYPE", N}, {"DATA", B}}},
      {"RREG", 5, {{"PATH", S}, {"REGNAME", S}}},
      {"CDIR", 6, {{"PATH", S}}},
      {"RDIR", 7, {{"PATH", S}}},
      {"SARO",
       8,
       {{"OBJECT_TYPE", N},
        {"PATH", S},
        {"USER_TYPE", S},
        {"STANDARD_USER", N},
        {"NAMED_USER", S},
        {"ACCESS_MODE", N},
        {"PERMISSIONS", N},
        {"INHERITANCE", N}}},
      {"SLNK", 9, {{"PATH", S}, {"FILENAME", S}, {"TARGET", S}}},
      {"CSHC",
       20,
       {{"SHORTCUT_FOLDER", S},
        {"SHORTCUT_FILENAME", S},
        {"TARGET_PATH", S},
        {"TARGET_FILENAME", S},
        {"DESCRIPTION", S}}},
      {"RSHC", 21, {{"SHORTCUT_FOLDER", S}, {"SHORTCUT_FILENAME", S}}},
      {"IAFL", 100, {{"FILTERNAME", S}, {"EXECUTABLE", S}, {"DESCRIPTION", S}}},
      {"IRFL", 101, {{"FILTERNAME", S}}},
      {"IASM", 102, {{"EXTENSION", S}, {"EXECUTABLE", S}, {"FLAGS", N}, {"VERBS", S}}},
      {"IRSM", 103, {{"EXTENSION", S}}},
      {"IRWM", 104, {{"EXECUTABLE", S}}},
      {"IAWR", 105, {{"NAME", S}, {"EXECUTABLE", S}, {"DESCRIPTION", S}}},
      {"IRWR", 106, {{"NAME", S}}},
      {"IAGM", 200, {{"NAME", S}, {"EXECUTABLE", S}}},
      {"IRGM", 201, {{"NAME", S}}},
      {"IAMD", 202, {{"NAME", S}}},
      {"IRMD", 203, {{"NAME", S}}},
      {"IAHD",
       204,
       {{"NAME", S}, {"MODULENAME", S}, {"EXTENSION", S}, {"ACCESS", S}, {"VERBS", S}}},
      {"IRHD", 205, {{"NAME", S}}},
  };
}

ComponentVariable Field(const char* name, uint8_t type) {
  if (type == S) return StringNode(name, "text");
  if (type == N) return ULongNode(name, 1);
  return BinaryNode(name, "bytes");
}

// A record of the row with every field except `skipped`, and `retyped` (if
// any) given as the wrong type.
ComponentVariable Record(const ActionRow& row, const char* skipped, const char* retyped) {
  ComponentVariable record = MapOf("", {StringNode("TYPE", row.code)});
  std::vector<std::pair<const char*, uint8_t>> fields = row.fields;
  fields.push_back({"OPTIONS", N});
  for (const auto& [name, type] : fields) {
    if (skipped != nullptr && std::string(name) == skipped) continue;
    bool wrong = retyped != nullptr && std::string(name) == retyped;
    record.AddToMap("", Field(name, wrong ? (type == S ? N : S) : type));
  }
  return record;
}

TEST(UpdateComponent, EveryActionNeedsEachOfItsFieldsWithItsType) {
  for (const ActionRow& row : Actions()) {
    UpdateComponent complete;
    ASSERT_TRUE(complete.ParseRecord(Record(row, nullptr, nullptr))) << row.code;
    EXPECT_EQ(complete.GetTypeCode(), row.typeCode) << row.code;
    EXPECT_TRUE(complete.IsParsed());
    EXPECT_STREQ(UpdateComponent::CodeName(row.typeCode), row.code);
    std::vector<std::pair<const char*, uint8_t>> fields = row.fields;
    fields.push_back({"OPTIONS", N});
    for (const auto& field : fields) {
      UpdateComponent missing, mistyped;
      EXPECT_FALSE(missing.ParseRecord(Record(row, field.first, nullptr)))
          << row.code << " without " << field.first;
      EXPECT_FALSE(mistyped.ParseRecord(Record(row, nullptr, field.first)))
          << row.code << " with a mistyped " << field.first;
      EXPECT_FALSE(missing.IsParsed());
      EXPECT_EQ(missing.GetErrorText(), "");
    }
  }
}

TEST(UpdateComponent, UnknownTypeIsANoOp) {
  UpdateComponent lowerCase, numberType, bare;
  ComponentVariable record = FileRecord("a.dll");
  record.AddToMap("", StringNode("TYPE", "file"));
  ASSERT_TRUE(lowerCase.ParseRecord(record));
  EXPECT_EQ(lowerCase.GetTypeCode(), UpdateComponent::kNoAction);
  // "TYPE" of another type reads as the empty text.
  ASSERT_TRUE(numberType.ParseRecord(MapOf("", {ULongNode("TYPE", 1)})));
  EXPECT_EQ(numberType.GetTypeCode(), UpdateComponent::kNoAction);
  ASSERT_TRUE(bare.ParseRecord(MapOf("", {StringNode("TYPE", "")})));
  EXPECT_EQ(UpdateComponent::CodeName(0), nullptr);
}

TEST(UpdateComponent, RecordMustBeAMapWithAType) {
  UpdateComponent notMap, noType;
  EXPECT_FALSE(notMap.ParseRecord(StringNode("", "FILE")));
  EXPECT_FALSE(noType.ParseRecord(MapOf("", {ULongNode("OPTIONS", 0)})));
  EXPECT_FALSE(noType.IsParsed());
}

TEST(UpdateComponent, KeepsItsOwnCopyOfTheRecord) {
  ComponentVariable record = FileRecord("a.dll");
  UpdateComponent component;
  ASSERT_TRUE(component.ParseRecord(record));
  record.Reset();
  EXPECT_EQ(component.GetRecord().GetChild("FILENAME")->GetText(), "a.dll");
}

}  // namespace
