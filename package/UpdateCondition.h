// One condition of a package: a test of one machine fact that decides
// whether the component it is filed under runs.
#pragma once

#include <cstdint>

#include "core/CSPString.h"

class UpdateCondition {
 public:
  // Value types of a condition record.
  static const uint32_t kNeverHolds = 0;
  static const uint32_t kNumberTest = 1;
  static const uint32_t kTextTest = 2;
  // Comparison codes 0-6: never, ==, !=, <, >, <=, >=.
  static const uint32_t kOperatorCount = 7;

  UpdateCondition() = default;
  UpdateCondition(const UpdateCondition&) = default;
  UpdateCondition& operator=(const UpdateCondition&) = default;
  virtual ~UpdateCondition() = default;

  // Refuses a value type of 3 or more and an operator of 7 or more. What
  // was stored before the refusal stays: the name, then the values.
  bool Set(const CSPString& conditionName, uint32_t type, uint32_t number,
           const CSPString& textValue, uint32_t compare, bool runWhenHolds);

  const CSPString& GetName() const { return name; }
  const CSPString& GetStringValue() const { return stringValue; }
  uint32_t GetULongValue() const { return ulongValue; }
  uint32_t GetOperator() const { return compareOperator; }
  uint32_t GetValueType() const { return valueType; }
  bool GetExecute() const { return execute; }

  // Whether the component may run, given the fact's value: the comparison,
  // turned round when `execute` is false. A test of the other kind, and
  // operator 0, never let it run.
  bool TestNumber(uint32_t fact) const;
  bool TestText(const CSPString& fact) const;

 private:
  bool Decide(int comparison) const;

  CSPString name;
  CSPString stringValue;
  uint32_t ulongValue = 0;
  uint32_t compareOperator = 0;
  uint32_t valueType = 0;
  bool execute = false;
};
