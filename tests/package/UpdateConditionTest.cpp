#include <gtest/gtest.h>

#include "package/UpdateCondition.h"

namespace {

TEST(UpdateCondition, SetRefusesValueType3AndOperator7) {
  UpdateCondition condition;
  EXPECT_TRUE(condition.Set("IISVERSION", 2, 7, "x", 6, true));
  EXPECT_FALSE(condition.Set("IISMODEL", 3, 8, "y", 1, true));
  EXPECT_EQ(condition.GetName(), "IISMODEL");  // stored before the refusal
  EXPECT_EQ(condition.GetValueType(), 2u);     // the refused values are not
  EXPECT_FALSE(condition.Set("X86CORE", 1, 9, "z", 7, false));
  EXPECT_EQ(condition.GetULongValue(), 9u);  // values come before the operator check
  EXPECT_EQ(condition.GetOperator(), 6u);
  EXPECT_TRUE(condition.GetExecute());
}

struct NumberCase {
  uint32_t compare;
  uint32_t fact;
  bool holds;
};

TEST(UpdateCondition, NumberComparisonsAgainstSeven) {
  const NumberCase cases[] = {
      {1, 7, true},  {1, 8, false}, {2, 7, false},          {2, 6, true}, {3, 6, true},
      {3, 7, false}, {4, 8, true},  {4, 7, false},          {5, 7, true}, {5, 8, false},
      {6, 7, true},  {6, 6, false}, {6, 0xFFFFFFFFu, true},  // unsigned comparison
  };
  for (const NumberCase& c : cases) {
    UpdateCondition runWhenHolds, runWhenFails;
    ASSERT_TRUE(runWhenHolds.Set("IISVERSION", 1, 7, "", c.compare, true));
    ASSERT_TRUE(runWhenFails.Set("IISVERSION", 1, 7, "", c.compare, false));
    EXPECT_EQ(runWhenHolds.TestNumber(c.fact), c.holds) << c.compare << " " << c.fact;
    EXPECT_EQ(runWhenFails.TestNumber(c.fact), !c.holds) << c.compare << " " << c.fact;
  }
}

TEST(UpdateCondition, TextComparisonsAreOrdinalAndCaseSensitive) {
  UpdateCondition equal, less;
  ASSERT_TRUE(equal.Set("IISMODEL", 2, 0, "PIPELINE", 1, true));
  ASSERT_TRUE(less.Set("IISMODEL", 2, 0, "PIPELINE", 3, true));
  EXPECT_TRUE(equal.TestText("PIPELINE"));
  EXPECT_FALSE(equal.TestText("pipeline"));
  EXPECT_TRUE(less.TestText("ISAPIX64"));
  EXPECT_TRUE(less.TestText("PIPE"));       // a prefix sorts first
  EXPECT_FALSE(less.TestText("pipeline"));  // lower case sorts after upper case
}

TEST(UpdateCondition, NeverHoldsWhateverExecuteSays) {
  UpdateCondition operatorZero, valueTypeZero, numberOnText;
  ASSERT_TRUE(operatorZero.Set("IISVERSION", 1, 7, "", 0, false));
  ASSERT_TRUE(valueTypeZero.Set("IISVERSION", 0, 7, "", 1, false));
  ASSERT_TRUE(numberOnText.Set("IISMODEL", 1, 7, "", 2, false));
  EXPECT_FALSE(operatorZero.TestNumber(7));
  EXPECT_FALSE(operatorZero.TestNumber(8));
  EXPECT_FALSE(valueTypeZero.TestNumber(8));
  EXPECT_FALSE(valueTypeZero.TestText("x"));
  EXPECT_FALSE(numberOnText.TestText("PIPELINE"));
}

}  // namespace
