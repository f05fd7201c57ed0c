#include <gtest/gtest.h>

#include <vector>

#include "core/CSPArray.h"
#include "core/CSPBuffer.h"
#include "core/CSPException.h"
#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPPtr.h"
#include "core/CSPScalarArray.h"
#include "core/CSPString.h"

namespace {

const int32_t kOutOfMemory = CSPSystemException::OutOfMemory;
const int32_t kOutOfRange = CSPSystemException::OutOfRange;

template <typename F>
int32_t SystemCodeOf(F action) {
  try {
    action();
  } catch (const CSPSystemException& e) {
    return e.GetCode();
  }
  return 0;
}

// An element that counts the live instances, so ownership faults (leaks,
// deletes of elements still held, double deletes) show as a wrong count.
class Tracked : public CSPObject {
 public:
  explicit Tracked(int value = 0) : value(value) { ++live; }
  Tracked(const Tracked& other) : CSPObject(other), value(other.value) { ++live; }
  Tracked& operator=(const Tracked&) = default;
  ~Tracked() override { --live; }
  int value;
  static int live;
};
int Tracked::live = 0;

class OwnershipTest : public ::testing::Test {
 protected:
  void SetUp() override { Tracked::live = 0; }
  void TearDown() override { EXPECT_EQ(Tracked::live, 0) << "elements leaked"; }
};

std::vector<int> Values(const CSPList<Tracked>& list) {
  std::vector<int> values;
  for (uint32_t i = 0; i < list.GetCount(); ++i) values.push_back(list.GetAt(i).value);
  return values;
}

// ---- CSPList ----

TEST(ListGrowth, CapacityGoesTwoSixFourteenThirty) {
  CSPList<CSPString> list;
  EXPECT_EQ(list.GetCapacity(), 0u);
  const uint32_t expected[] = {2, 2, 6, 6, 6, 6, 14, 14, 14, 14, 14, 14, 14, 14, 30};
  for (uint32_t i = 0; i < 15; ++i) {
    ASSERT_TRUE(list.Add(CSPString(i)));
    EXPECT_EQ(list.GetCapacity(), expected[i]) << "after " << i + 1 << " elements";
  }
  EXPECT_EQ(list.GetAt(14), "14");
}

TEST_F(OwnershipTest, RemoveAtMovesLastIntoTheHole) {
  CSPList<Tracked> list;
  for (int v : {1, 2, 3}) list.Add(Tracked(v));
  EXPECT_TRUE(list.RemoveAt(0));
  EXPECT_EQ(Values(list), (std::vector<int>{3, 2}));
  EXPECT_EQ(Tracked::live, 2);
  EXPECT_TRUE(list.RemoveAt(1));  // the last one itself
  EXPECT_EQ(Values(list), (std::vector<int>{3}));
  EXPECT_FALSE(list.RemoveAt(1));
  EXPECT_EQ(list.GetCount(), 1u);
}

struct ShrinkCase {
  uint32_t holding;
  uint32_t capacityAfterRemove;
};

class ListQuarterShrink : public ::testing::TestWithParam<ShrinkCase> {};

// Capacity 14: the shrink happens only when the count drops below 14 / 4 = 3.
TEST_P(ListQuarterShrink, HalvesCapacityBelowAQuarter) {
  CSPList<CSPString> list;
  for (int i = 0; i < 7; ++i) list.Add(CSPString(i));
  while (list.GetCount() > GetParam().holding) list.RemoveAt(list.GetCount() - 1);
  ASSERT_EQ(list.GetCapacity(), 14u);
  ASSERT_TRUE(list.RemoveAt(0));
  EXPECT_EQ(list.GetCount(), GetParam().holding - 1);
  EXPECT_EQ(list.GetCapacity(), GetParam().capacityAfterRemove);
  // The surviving elements are intact after the slot array shrank.
  EXPECT_EQ(list.GetAt(0), CSPString(GetParam().holding - 1));
}

INSTANTIATE_TEST_SUITE_P(RemoveAt, ListQuarterShrink,
                         ::testing::Values(ShrinkCase{3, 7}, ShrinkCase{4, 14}));

TEST_F(OwnershipTest, AddPtrRefusesNullAndIgnoresDuplicate) {
  CSPList<Tracked> list;
  Tracked* element = new Tracked(5);
  EXPECT_TRUE(list.AddPtr(element));
  EXPECT_TRUE(list.AddPtr(element));
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_FALSE(list.AddPtr(nullptr));
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_EQ(list.GetPtrAt(0), element);
}

TEST(ListInsert, InsertsInPlaceAndThrowsBeyondCountWhateverThrowOnError) {
  CSPList<CSPString> list;
  list.throwOnError = false;
  list.Add("a");
  list.Add("c");
  EXPECT_TRUE(list.InsertAt("b", 1));
  EXPECT_TRUE(list.InsertAt("d", 3));  // at the count: appends
  EXPECT_TRUE(list.InsertAt("0", 0));
  ASSERT_EQ(list.GetCount(), 5u);
  const char* expected[] = {"0", "a", "b", "c", "d"};
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(list.GetAt(i), expected[i]);
  EXPECT_EQ(SystemCodeOf([&] { list.InsertAt("x", 6); }), kOutOfRange);
  EXPECT_EQ(list.GetCount(), 5u);
}

TEST(ListAccess, GetAtBeyondCountThrowsGetPtrAtReturnsNull) {
  CSPList<CSPString> list;
  list.throwOnError = false;
  EXPECT_EQ(SystemCodeOf([&] { list.GetAt(0); }), kOutOfRange);
  list.Add("x");
  EXPECT_EQ(SystemCodeOf([&] { list.GetAt(1); }), kOutOfRange);
  EXPECT_EQ(list.GetPtrAt(1), nullptr);
  EXPECT_NE(list.GetPtrAt(0), nullptr);
}

TEST_F(OwnershipTest, SetSizeDeletesElementsBeyondIt) {
  CSPList<Tracked> list;
  for (int v = 0; v < 5; ++v) list.Add(Tracked(v));
  EXPECT_TRUE(list.SetSize(2));
  EXPECT_EQ(list.GetCapacity(), 2u);
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1}));
  EXPECT_EQ(Tracked::live, 2);
  EXPECT_TRUE(list.SetSize(10));
  EXPECT_EQ(list.GetCapacity(), 10u);
  EXPECT_EQ(list.GetCount(), 2u);
  EXPECT_TRUE(list.SetSize(0));
  EXPECT_EQ(list.GetCount(), 0u);
  EXPECT_EQ(list.GetCapacity(), 0u);
  EXPECT_EQ(Tracked::live, 0);
}

TEST_F(OwnershipTest, RemoveAllWithoutDeleteLeavesElementsToTheirHolder) {
  Tracked* held = new Tracked(1);
  {
    CSPList<Tracked> list;
    list.AddPtr(held);
    list.RemoveAll(false);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetCapacity(), 0u);
  }
  EXPECT_EQ(Tracked::live, 1);
  delete held;
}

TEST_F(OwnershipTest, CopiesAreDeepAndKeepOrderAndCapacity) {
  CSPList<Tracked> source;
  for (int v = 0; v < 3; ++v) source.Add(Tracked(v));
  CSPList<Tracked> copy(source);
  EXPECT_EQ(copy.GetCapacity(), source.GetCapacity());
  EXPECT_EQ(Values(copy), (std::vector<int>{0, 1, 2}));
  EXPECT_NE(copy.GetPtrAt(0), source.GetPtrAt(0));
  copy.GetAt(0).value = 99;
  EXPECT_EQ(source.GetAt(0).value, 0);

  CSPList<Tracked> assigned;
  assigned.Add(Tracked(7));
  assigned = source;
  EXPECT_EQ(Values(assigned), (std::vector<int>{0, 1, 2}));
  assigned = assigned;
  EXPECT_EQ(Values(assigned), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Tracked::live, 9);
}

// ---- CSPMap ----

TEST(MapGrowth, CapacityGoesTenTwentyForty) {
  CSPMap<uint32_t, CSPString> map;
  EXPECT_EQ(map.GetCapacity(), 0u);
  for (uint32_t key = 1; key <= 21; ++key) {
    ASSERT_TRUE(map.SetAt(key, CSPString(key)));
    uint32_t expected = key <= 10 ? 10 : key <= 20 ? 20 : 40;
    EXPECT_EQ(map.GetCapacity(), expected) << "after " << key << " keys";
  }
}

TEST(MapOrder, KeysDifferingInCaseAreTwoEntriesUpperCaseFirst) {
  CSPMap<CSPWString, uint32_t> map;
  map.SetAt(CSPWString(u"banana"), 1);
  map.SetAt(CSPWString(u"Apple"), 2);
  map.SetAt(CSPWString(u"apple"), 3);
  map.SetAt(CSPWString(u"Banana"), 4);
  ASSERT_EQ(map.GetCount(), 4u);
  const char16_t* expected[] = {u"Apple", u"Banana", u"apple", u"banana"};
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(map.GetKeyAt(i), expected[i]) << i;
  EXPECT_EQ(*map.Lookup(CSPWString(u"apple")), 3u);
  EXPECT_EQ(*map.Lookup(CSPWString(u"Apple")), 2u);
  EXPECT_EQ(map.Lookup(CSPWString(u"APPLE")), nullptr);
}

TEST(MapOrder, NarrowKeysCompareBytesUnsigned) {
  CSPMap<CSPString, int> map;
  map.SetAt("\xE9t\xE9", 1);  // a byte above 0x7F sorts after every ASCII letter
  map.SetAt("zeta", 2);
  map.SetAt("ab", 3);
  map.SetAt("a", 4);  // a prefix sorts first
  const char* expected[] = {"a", "ab", "zeta", "\xE9t\xE9"};
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(map.GetKeyAt(i), expected[i]) << i;
}

// Keys inserted out of order must come back sorted and findable; numeric keys
// order by value (10 after 9), not by their digits.
TEST(MapOrder, ScrambledNumericKeysStaySortedAndFindable) {
  CSPMap<uint32_t, uint32_t> map;
  for (uint32_t i = 0; i < 100; ++i) map.SetAt((i * 37) % 100, i);
  ASSERT_EQ(map.GetCount(), 100u);
  for (uint32_t i = 0; i < 100; ++i) {
    EXPECT_EQ(map.GetKeyAt(i), i);
    ASSERT_NE(map.Lookup(i), nullptr);
    EXPECT_EQ((*map.Lookup(i) * 37) % 100, i);
  }
  EXPECT_EQ(map.Lookup(100), nullptr);
}

TEST_F(OwnershipTest, SetAtWithExistingKeyReplacesValueAndKeepsCount) {
  CSPMap<CSPString, Tracked> map;
  map.SetAt("b", Tracked(1));
  map.SetAt("d", Tracked(2));
  const CSPString* keyBefore = &map.GetKeyAt(0);
  EXPECT_TRUE(map.SetAt("b", Tracked(10)));
  EXPECT_EQ(map.GetCount(), 2u);
  EXPECT_EQ(map.Lookup("b")->value, 10);
  EXPECT_EQ(&map.GetKeyAt(0), keyBefore);
  EXPECT_EQ(Tracked::live, 2);  // the replaced value was deleted

  EXPECT_TRUE(map.SetAt("c", Tracked(3)));  // into the middle
  ASSERT_EQ(map.GetCount(), 3u);
  EXPECT_EQ(map.GetKeyAt(0), "b");
  EXPECT_EQ(map.GetKeyAt(1), "c");
  EXPECT_EQ(map.GetKeyAt(2), "d");
  EXPECT_EQ(map.GetValueAt(1).value, 3);
}

TEST_F(OwnershipTest, SetAtPtrAdoptsRefusesNullAndToleratesTheSameValue) {
  CSPMap<CSPString, Tracked> map;
  Tracked* value = new Tracked(4);
  EXPECT_TRUE(map.SetAtPtr("k", value));
  EXPECT_TRUE(map.SetAtPtr("k", value));  // already held there: kept, not deleted
  EXPECT_EQ(map.Lookup("k"), value);
  EXPECT_FALSE(map.SetAtPtr("other", nullptr));
  EXPECT_EQ(map.GetCount(), 1u);
  EXPECT_EQ(Tracked::live, 1);
}

TEST(MapAccess, EmptyMapLooksUpNullAndIndexesThrowWhateverThrowOnError) {
  CSPMap<CSPWString, CSPWString> map;
  map.throwOnError = false;
  EXPECT_EQ(map.Lookup(CSPWString(u"x")), nullptr);
  EXPECT_EQ(SystemCodeOf([&] { map.GetValueAt(0); }), kOutOfRange);
  EXPECT_EQ(SystemCodeOf([&] { map.GetKeyAt(0); }), kOutOfRange);
  map.SetAt(CSPWString(u"x"), CSPWString(u"y"));
  EXPECT_EQ(SystemCodeOf([&] { map.GetValueAt(1); }), kOutOfRange);
}

TEST_F(OwnershipTest, MapCopiesAreDeepAndRemoveAllWithoutDeleteKeepsValues) {
  CSPMap<uint32_t, CSPMap<CSPString, Tracked>> outer;
  CSPMap<CSPString, Tracked> inner;
  inner.SetAt("a", Tracked(1));
  outer.SetAt(7, inner);
  CSPMap<uint32_t, CSPMap<CSPString, Tracked>> copy(outer);
  copy.Lookup(7)->Lookup("a")->value = 2;
  EXPECT_EQ(outer.Lookup(7)->Lookup("a")->value, 1);
  EXPECT_EQ(copy.GetCapacity(), outer.GetCapacity());
  EXPECT_EQ(Tracked::live, 3);

  Tracked* held = new Tracked(5);
  {
    CSPMap<CSPString, Tracked> map;
    map.SetAtPtr("h", held);
    map.RemoveAll(false);
    EXPECT_EQ(map.GetCount(), 0u);
  }
  EXPECT_EQ(held->value, 5);
  delete held;
}

// ---- CSPPtr ----

TEST_F(OwnershipTest, PtrDeletesHeldObjectOnSetAndDestruction) {
  Tracked* detached = nullptr;
  {
    CSPPtr<Tracked> ptr(new Tracked(1));
    ptr.Set(new Tracked(2));
    EXPECT_EQ(Tracked::live, 1);
    EXPECT_EQ(ptr->value, 2);
    detached = ptr.Detach();
    EXPECT_TRUE(ptr.IsNull());
    ptr.Set(new Tracked(3));
  }
  EXPECT_EQ(Tracked::live, 1);
  delete detached;
}

// ---- CSPBuffer, CSPScalarArray, CSPArray ----

TEST(BufferText, WideTextGivesTwoLittleEndianBytesPerCodeUnit) {
  CSPBuffer buffer;
  ASSERT_TRUE(buffer.Set(CSPWString(u"A\u00E9\u4E2D")));
  ASSERT_EQ(buffer.GetSize(), 6u);
  const unsigned char expected[] = {0x41, 0x00, 0xE9, 0x00, 0x2D, 0x4E};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(buffer.GetAt(i), expected[i]) << i;
  buffer += CSPString("xy");
  EXPECT_EQ(buffer.GetSize(), 8u);  // no terminators
  EXPECT_EQ(buffer.GetAt(7), 'y');
  buffer = CSPString("abc");
  EXPECT_EQ(buffer.GetSize(), 3u);
}

struct SoftCase {
  const char* name;
  void (*act)(CSPBuffer&, bool& result);
  int32_t code;
};

class BufferSoftFailure : public ::testing::TestWithParam<SoftCase> {};

// Without throwOnError the failure is a false result and the buffer is as it
// was; with it the same call throws.
TEST_P(BufferSoftFailure, FalseWithoutThrowOnErrorExceptionWithIt) {
  CSPBuffer buffer;
  buffer.Set("abcd", 4);
  buffer.throwOnError = false;
  bool result = true;
  GetParam().act(buffer, result);
  EXPECT_FALSE(result);
  ASSERT_EQ(buffer.GetSize(), 4u);
  EXPECT_EQ(buffer.GetAt(3), 'd');
  buffer.throwOnError = true;
  EXPECT_EQ(SystemCodeOf([&] { GetParam().act(buffer, result); }), GetParam().code);
  EXPECT_EQ(buffer.GetSize(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Buffer, BufferSoftFailure,
    ::testing::Values(
        SoftCase{"ShrinkTooFar", [](CSPBuffer& b, bool& r) { r = b.Shrink(5); }, kOutOfRange},
        SoftCase{"SetAtBeyondSize", [](CSPBuffer& b, bool& r) { r = b.SetAt(4, 'x'); },
                 kOutOfRange},
        SoftCase{"GrowPastFourGiB", [](CSPBuffer& b, bool& r) { r = b.Grow(0xFFFFFFFDu); },
                 kOutOfMemory}),
    [](const ::testing::TestParamInfo<SoftCase>& info) { return info.param.name; });

TEST(BufferAccess, GetAtBeyondSizeThrowsWhateverThrowOnError) {
  CSPBuffer buffer;
  buffer.throwOnError = false;
  buffer.SetSize(2);
  EXPECT_EQ(SystemCodeOf([&] { buffer.GetAt(2); }), kOutOfRange);
}

TEST(BufferEditing, ResizeKeepsPrefixAndAppendOfItselfDoubles) {
  CSPBuffer buffer;
  buffer.Set("hello", 5);
  EXPECT_TRUE(buffer.Resize(3));
  EXPECT_TRUE(buffer.Append(buffer));
  ASSERT_EQ(buffer.GetSize(), 6u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.GetData()), 6), "helhel");
  // A source inside the buffer's own block survives the block moving.
  EXPECT_TRUE(buffer.Append(buffer.GetData() + 1, 2));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.GetData()), 8), "helhelel");
  EXPECT_TRUE(buffer.Shrink(8));
  EXPECT_EQ(buffer.GetSize(), 0u);
  EXPECT_EQ(buffer.GetData(), nullptr);
}

TEST(BufferOwnership, DetachAttachTakeAndCompare) {
  CSPBuffer a;
  a.Set("xyz", 3);
  CSPBuffer b(a);
  EXPECT_TRUE(a == b);
  b.SetAt(0, 'X');
  EXPECT_TRUE(a != b);

  uint32_t size = a.GetSize();
  unsigned char* block = a.Detach();
  EXPECT_EQ(a.GetSize(), 0u);
  b.Attach(block, size);
  EXPECT_EQ(b.GetAt(0), 'x');

  CSPBuffer c;
  c.Take(b);
  EXPECT_EQ(b.GetSize(), 0u);
  EXPECT_EQ(c.GetSize(), 3u);
  EXPECT_EQ(c.GetData(), block);
}

TEST(ScalarArray, SetFromOtherArrayAndCompare) {
  CSPScalarArray<char16_t> a;
  a.Set(u"abc", 3);
  CSPScalarArray<char16_t> b;
  b = a;
  EXPECT_TRUE(a == b);
  b.Set(b.GetData() + 1, 2);  // from its own block
  ASSERT_EQ(b.GetSize(), 2u);
  EXPECT_EQ(b.GetAt(0), u'b');
  EXPECT_EQ(b.GetAt(1), u'c');
  EXPECT_TRUE(a != b);
}

TEST(FixedArray, ElementsStartZeroAndIndexesAreChecked) {
  CSPArray<char16_t> array(4);
  ASSERT_EQ(array.GetSize(), 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(array.GetAt(i), 0);
  array.GetData()[3] = u'z';
  EXPECT_TRUE(array.SetSize(2));
  EXPECT_EQ(array.GetAt(1), 0);
  EXPECT_EQ(SystemCodeOf([&] { array.GetAt(2); }), kOutOfRange);
}

}  // namespace
