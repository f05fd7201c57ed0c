#include "package/UpdateCondition.h"

bool UpdateCondition::Set(const CSPString& conditionName, uint32_t type, uint32_t number,
                          const CSPString& textValue, uint32_t compare, bool runWhenHolds) {
  name = conditionName;
  if (type > kTextTest) return false;
  valueType = type;
  ulongValue = number;
  stringValue = textValue;
  if (compare >= kOperatorCount) return false;
  compareOperator = compare;
  execute = runWhenHolds;
  return true;
}

// `comparison` is negative, zero or positive for fact <, == or > value.
bool UpdateCondition::Decide(int comparison) const {
  bool holds;
  switch (compareOperator) {
    case 1:
      holds = comparison == 0;
      break;
    case 2:
      holds = comparison != 0;
      break;
    case 3:
      holds = comparison < 0;
      break;
    case 4:
      holds = comparison > 0;
      break;
    case 5:
      holds = comparison <= 0;
      break;
    case 6:
      holds = comparison >= 0;
      break;
    default:
      return false;  // operator 0 is not turned round by `execute`
  }
  return execute ? holds : !holds;
}

bool UpdateCondition::TestNumber(uint32_t fact) const {
  if (valueType != kNumberTest) return false;
  return Decide(fact < ulongValue ? -1 : (fact > ulongValue ? 1 : 0));
}

bool UpdateCondition::TestText(const CSPString& fact) const {
  if (valueType != kTextTest) return false;
  return Decide(fact < stringValue ? -1 : (fact > stringValue ? 1 : 0));
}
