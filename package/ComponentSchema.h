// The shape of a package's records in one place: the fields of every
// component type and of a condition record, with their types and meaning,
// and the machine facts conditions can test. The engine checks records
// against it; the package tools check, describe and document packages with
// the same table, so that what they accept is what the engine accepts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/CSPString.h"
#include "package/ComponentVariable.h"

namespace ComponentSchema {

struct Field {
  const char* name;
  uint8_t type;         // VariableType code: STRING, ULONG or BINARY
  const char* meaning;  // one line for people writing packages
};

struct ComponentType {
  const char* code;  // the "TYPE" text, compared case-sensitively
  uint32_t typeCode;
  const char* action;
  const Field* fields;  // besides "OPTIONS", which every type needs
  size_t fieldCount;
};

// "OPTIONS", which every component type needs.
const Field& OptionsField();

// Every component type, in type-code order.
const ComponentType* Types();
size_t TypeCount();

// The type whose code is exactly `code`, or null: the engine accepts such
// a record as an action that does nothing.
const ComponentType* FindType(const CSPString& code);
const ComponentType* FindType(uint32_t typeCode);

// Whether the record holds `field` with its type. A child of another type
// counts as missing, as everywhere in the package format.
bool HasField(const ComponentVariable& record, const Field& field);
// Whether the record holds "OPTIONS" and every field of its type.
bool HasFields(const ComponentVariable& record, const ComponentType& type);

// The seven fields of a condition record, all required.
const Field* ConditionFields();
size_t ConditionFieldCount();
// Highest "VALUE_TYPE" and "OPERATOR" a condition record may hold.
const uint32_t kHighestValueType = 2;
const uint32_t kHighestOperator = 6;

// A fact about the machine that conditions name; kind 1 = number, 2 = text.
struct Fact {
  const char* name;
  uint32_t kind;
  const char* values;  // what it holds, for people writing packages
};
// The facts in the order the engine tests them.
const Fact* Facts();
size_t FactCount();
// The fact named exactly `name` (case-sensitive), or null.
const Fact* FindFact(const CSPString& name);

}  // namespace ComponentSchema
