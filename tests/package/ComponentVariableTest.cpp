#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "package/ComponentVariable.h"
#include "tests/package/Encoding.h"

using namespace package_test;

namespace {

// ---------------------------------------------------------------------------
// Byte layouts

TEST(ComponentVariableLayout, ULongNamedOptionsIs19Bytes) {
  ComponentVariable node;
  node.SetULong("OPTIONS", 2);
  Bytes expected = {0x0D, 0,   0,   0,   0x09, 0,    0x07, 'O', 'P', 'T',
                    'I',  'O', 'N', 'S', 0x02, 0x02, 0,    0,   0};
  EXPECT_EQ(Encoded(node, true), expected);
}

TEST(ComponentVariableLayout, EmptyMapNamedAIs16Bytes) {
  ComponentVariable node;
  node.SetMap("A");
  Bytes expected = {0x0A, 0, 0, 0, 0x0A, 0, 0x01, 'A', 0x60, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Encoded(node, true), expected);
}

TEST(ComponentVariableLayout, UnnamedEncodingLeavesNameOut) {
  ComponentVariable node;
  node.SetULong("OPTIONS", 2);
  Bytes expected = {0x05, 0, 0, 0, 0x01, 0, 0x02, 0x02, 0, 0, 0};
  EXPECT_EQ(Encoded(node, false), expected);
}

TEST(ComponentVariableLayout, MapChildrenInOrdinalOrder) {
  ComponentVariable b, upperB, map;
  b.SetULong("b", 1);
  upperB.SetULong("B", 2);
  map.AddToMap("M", b);
  map.AddToMap("M", upperB);
  Bytes children = Concat({NamedULong("B", 2), NamedULong("b", 1)});
  Bytes expected =
      Frame(ContainerHeader(Named("M", 0x60), -1, 2, uint32_t(children.size())), children);
  EXPECT_EQ(Encoded(map, true), expected);
}

TEST(ComponentVariableLayout, DatesAndTimesArePackedWords) {
  CSPDate date(29, 2, 2000);
  CSPTime time(15, 30, 23, 0);
  ComponentVariable both;
  both.SetDateTime("T", CSPDateTime(date, time, 0));
  Bytes body = {15, 30, 23, 0, 29, 2, 0xD0, 0x07};
  EXPECT_EQ(Encoded(both, true), Frame(Named("T", 0x21), body));
}

TEST(ComponentVariableLayout, WideTextIsLittleEndianUnits) {
  ComponentVariable node;
  node.SetWString("W", u"A\u4E2D");
  Bytes header = Named("W", 0x42);
  Put(header, {0, 4, 0, 0, 0});
  EXPECT_EQ(Encoded(node, true), Frame(header, {'A', 0, 0x2D, 0x4E}));
}

// ---------------------------------------------------------------------------
// Building trees

TEST(ComponentVariableTree, ElementOfOtherTypeRestartsList) {
  ComponentVariable one, two, text, list;
  one.SetULong("", 1);
  two.SetULong("", 2);
  text.SetString("", "x");
  list.AddToList("L", one);
  list.AddToList("L", two);
  list.AddToList("L", text);
  EXPECT_EQ(list.GetElementCount(), 1u);
  EXPECT_EQ(list.GetElementType(), VariableType::STRING);
  EXPECT_EQ(list.GetListElement(0)->GetText(), "x");
}

// `size` must always be the length of the encoded children, also after a
// child is replaced, or the header would announce a wrong body length.
TEST(ComponentVariableTree, ContainerSizeFollowsItsChildren) {
  ComponentVariable small, large, map;
  small.SetString("k", "ab");
  large.SetString("k", "abcdefgh");
  map.AddToMap("M", small);
  map.AddToMap("M", large);
  EXPECT_EQ(map.GetChildCount(), 1u);
  EXPECT_EQ(map.GetChild("k")->GetText(), "abcdefgh");
  EXPECT_EQ(map.GetSize(), Encoded(map, true).size() - 6 - (1 + 1 + 1 + 2 + 5));

  ComponentVariable list;
  list.AddToList("L", map);
  list.AddToList("L", map);
  EXPECT_EQ(list.GetSize(), 2 * Encoded(map, false).size());
}

TEST(ComponentVariableTree, AddingANodeToItselfCopiesItFirst) {
  ComponentVariable map, child;
  child.SetULong("x", 7);
  map.AddToMap("M", child);
  map.AddToMap("M", map);  // stores a copy of the map as its own child "M"
  ASSERT_NE(map.GetChild("M"), nullptr);
  EXPECT_EQ(map.GetChild("M")->GetChild("x")->GetULong(), 7u);

  ComponentVariable list;
  list.AddToList("L", child);
  list.AddToList("L", *list.GetListElement(0));
  EXPECT_EQ(list.GetElementCount(), 2u);
  EXPECT_EQ(list.GetListElement(1)->GetULong(), 7u);
}

TEST(ComponentVariableTree, AssignmentFromOwnChild) {
  ComponentVariable inner, outer;
  inner.SetString("leaf", "kept");
  ComponentVariable middle;
  middle.AddToMap("mid", inner);
  outer.AddToMap("top", middle);
  outer = *outer.GetChild("mid");
  EXPECT_EQ(outer.GetName(), "mid");
  EXPECT_EQ(outer.GetChild("leaf")->GetText(), "kept");
}

// ---------------------------------------------------------------------------
// Encode refuses what would not decode back

TEST(ComponentVariableEncode, NameOver255BytesRefused) {
  ComponentVariable node;
  node.SetULong(std::string(255, 'n').c_str(), 1);
  EXPECT_EQ(Encoded(node, true).size(), 6u + 1 + 255 + 1 + 4);
  node.SetULong(std::string(256, 'n').c_str(), 1);
  CSPBuffer out;
  out.Set("keep", 4);
  EXPECT_FALSE(node.Encode(out, true));
  EXPECT_EQ(out.GetSize(), 4u);          // left as it was
  EXPECT_TRUE(node.Encode(out, false));  // the name is not written
}

TEST(ComponentVariableEncode, MoreThan65535ChildrenRefused) {
  ComponentVariable element, list;
  element.SetULong("", 0);
  for (uint32_t i = 0; i < ComponentVariable::kMaxChildren; ++i) {
    ASSERT_TRUE(list.AddToList("L", element));
  }
  EXPECT_FALSE(list.AddToList("L", element));
  EXPECT_EQ(list.GetElementCount(), 65535u);
  CSPBuffer out;
  ASSERT_TRUE(list.Encode(out, true));
  ComponentVariable back;
  EXPECT_TRUE(DecodeFramed(back, BytesOf(out), true));
  EXPECT_EQ(back.GetElementCount(), 65535u);

  ComponentVariable map, child;
  char name[8];
  for (uint32_t i = 0; i < ComponentVariable::kMaxChildren; ++i) {
    std::snprintf(name, sizeof name, "%05u", i);  // ascending, so each goes last
    child.SetULong(name, i);
    ASSERT_TRUE(map.AddToMap("M", child));
  }
  child.SetULong("one more", 1);
  EXPECT_FALSE(map.AddToMap("M", child));
  child.SetULong("00007", 1);
  EXPECT_TRUE(map.AddToMap("M", child));  // replacing needs no new slot
}

TEST(ComponentVariableEncode, NodesThatCannotDecodeRefused) {
  ComponentVariable empty, noDate, emptyChild, map;
  noDate.SetDate("D", CSPDate());
  map.AddToMap("M", emptyChild);
  CSPBuffer out;
  EXPECT_FALSE(empty.Encode(out, true));
  EXPECT_FALSE(noDate.Encode(out, true));
  EXPECT_FALSE(map.Encode(out, true));
}

// ---------------------------------------------------------------------------
// Round trip

ComponentVariable EveryType() {
  ComponentVariable root, node, list;
  node.SetLong("long", -5);
  root.AddToMap("SETUP", node);
  node.SetULong("ulong", 0xFFFFFFFFu);
  root.AddToMap("SETUP", node);
  node.SetLongLong("longlong", INT64_MIN);
  root.AddToMap("SETUP", node);
  node.SetULongLong("ulonglong", UINT64_MAX);
  root.AddToMap("SETUP", node);
  node.SetDouble("double", -0.125);
  root.AddToMap("SETUP", node);
  node.SetDate("date", CSPDate(31, 12, 2008));
  root.AddToMap("SETUP", node);
  node.SetTime("time", CSPTime(59, 59, 23, 0));
  root.AddToMap("SETUP", node);
  node.SetDateTime("datetime", CSPDateTime(CSPDate(1, 1, 2010), CSPTime(1, 2, 3, 0), 0));
  root.AddToMap("SETUP", node);
  CSPBuffer bytes;
  bytes.Set("\x00\x01\xFF", 3);
  node.SetBinary("binary", bytes);
  root.AddToMap("SETUP", node);
  CSPString text;
  text.Append("a\0b\xE9", 4);
  node.SetString("string", text);
  root.AddToMap("SETUP", node);
  node.SetWString("wstring", u"\u00E9\u4E2D\xD800");
  root.AddToMap("SETUP", node);
  node.SetMap("");
  list.AddToList("list", node);
  list.AddToList("list", root);
  root.AddToMap("SETUP", list);
  return root;
}

TEST(ComponentVariableRoundTrip, EncodeDecodeEncodeIsIdentical) {
  Bytes first = Encoded(EveryType(), true);
  ASSERT_FALSE(first.empty());
  ComponentVariable decoded;
  ASSERT_TRUE(DecodeFramed(decoded, first, true));
  EXPECT_EQ(Encoded(decoded, true), first);
}

TEST(ComponentVariableRoundTrip, ValuesSurvive) {
  ComponentVariable decoded;
  ASSERT_TRUE(DecodeFramed(decoded, Encoded(EveryType(), true), true));
  EXPECT_EQ(decoded.GetName(), "SETUP");
  EXPECT_EQ(decoded.GetChild("long")->GetLong(), -5);
  EXPECT_EQ(decoded.GetChild("ulong")->GetULong(), 0xFFFFFFFFu);
  EXPECT_EQ(decoded.GetChild("longlong")->GetLongLong(), INT64_MIN);
  EXPECT_EQ(decoded.GetChild("ulonglong")->GetULongLong(), UINT64_MAX);
  EXPECT_EQ(decoded.GetChild("double")->GetDouble(), -0.125);
  const CSPDate& date = decoded.GetChild("date")->GetDate();
  EXPECT_EQ(date.GetDay(), 31);
  EXPECT_EQ(date.GetMonth(), 12);
  EXPECT_EQ(date.GetDayOfYear(), 366);
  EXPECT_EQ(decoded.GetChild("time")->GetTime().GetHour(), 23);
  EXPECT_EQ(decoded.GetChild("datetime")->GetTime().GetSecond(), 1);
  EXPECT_EQ(decoded.GetChild("datetime")->GetDate().GetYear(), 2010);
  EXPECT_EQ(decoded.GetChild("binary")->GetBytes().GetSize(), 3u);
  EXPECT_EQ(decoded.GetChild("string")->GetText().GetLength(), 4u);
  EXPECT_EQ(decoded.GetChild("wstring")->GetWideText(), u"\u00E9\u4E2D\xD800");
  const ComponentVariable* list = decoded.GetChild("list");
  ASSERT_EQ(list->GetElementCount(), 2u);
  EXPECT_EQ(list->GetListElement(0)->GetName(), "");  // elements carry no names
  EXPECT_EQ(list->GetListElement(1)->GetChild("long")->GetLong(), -5);
}

// A taken tree encodes as before; the taker's former children are gone and
// the source holds nothing.
TEST(ComponentVariableTree, TakeMovesTheWholeTree) {
  ComponentVariable source = EveryType();
  Bytes before = Encoded(source, true);
  ComponentVariable taker, old;
  old.SetULong("old", 1);
  taker.AddToMap("T", old);
  taker.Take(source);
  EXPECT_EQ(Encoded(taker, true), before);
  EXPECT_EQ(taker.GetChild("old"), nullptr);
  EXPECT_EQ(source.GetType(), 0);
  EXPECT_EQ(source.GetChildCount(), 0u);
  EXPECT_EQ(source.GetElementCount(), 0u);
  taker.Take(taker);  // taking itself changes nothing
  EXPECT_EQ(Encoded(taker, true), before);

  ComponentVariable list;
  list.Take(*taker.GetChild("list"));
  ASSERT_EQ(list.GetElementCount(), 2u);
  EXPECT_EQ(list.GetListElement(1)->GetChild("long")->GetLong(), -5);
  EXPECT_EQ(taker.GetChild("list")->GetElementCount(), 0u);
}

// ---------------------------------------------------------------------------
// Decoding edge cases

TEST(ComponentVariableDecode, RepeatedMapNameKeepsTheLastChild) {
  Bytes children = Concat({NamedULong("x", 1), NamedULong("x", 2)});
  Bytes map = Frame(ContainerHeader(Named("M", 0x60), -1, 2, uint32_t(children.size())), children);
  ComponentVariable node;
  ASSERT_TRUE(DecodeFramed(node, map, true));
  EXPECT_EQ(node.GetChildCount(), 1u);
  EXPECT_EQ(node.GetChild("x")->GetULong(), 2u);
  // The count says what is held, so encoding again stays consistent.
  EXPECT_EQ(node.GetCount(), 1u);
  ComponentVariable again;
  EXPECT_TRUE(DecodeFramed(again, Encoded(node, true), true));
}

Bytes UnnamedULong(uint32_t value) {
  Bytes body;
  return Frame({VariableType::ULONG}, U32(body, value));
}

Bytes ULongList(uint32_t announced, std::initializer_list<uint32_t> values, Bytes extra = {}) {
  Bytes body;
  for (uint32_t v : values) Append(body, UnnamedULong(v));
  Append(body, extra);
  return Frame(
      ContainerHeader(Named("L", 0x61), VariableType::ULONG, announced, uint32_t(body.size())),
      body);
}

TEST(ComponentVariableDecode, ListCountMustMatchItsBody) {
  ComponentVariable node;
  EXPECT_TRUE(DecodeFramed(node, ULongList(3, {1, 2, 3}), true));
  EXPECT_FALSE(DecodeFramed(node, ULongList(3, {1, 2}), true));
  EXPECT_FALSE(DecodeFramed(node, ULongList(3, {1, 2, 3}, {0}), true));
  EXPECT_FALSE(DecodeFramed(node, ULongList(3, {1, 2, 3}, UnnamedULong(4)), true));
}

TEST(ComponentVariableDecode, DepthLimitSkipsAContainerUnread) {
  Bytes garbage = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  Bytes list = Frame(ContainerHeader(Named("L", 0x61), 0x02, 5, 7), garbage);
  Bytes children = Concat({list, NamedULong("n", 9)});
  Bytes root = Frame(ContainerHeader(Named("R", 0x60), -1, 2, uint32_t(children.size())), children);
  ComponentVariable node;
  ASSERT_TRUE(DecodeFramed(node, root, true, 1));
  EXPECT_EQ(node.GetChild("L")->GetType(), VariableType::LIST);
  EXPECT_EQ(node.GetChild("L")->GetElementCount(), 0u);
  EXPECT_EQ(node.GetChild("L")->GetCount(), 0u);
  EXPECT_EQ(node.GetChild("n")->GetULong(), 9u);  // scalars at the limit are read
  EXPECT_FALSE(DecodeFramed(node, root, true));   // without the limit the body is read
}

Bytes NestedLists(int levels) {
  Bytes node = Frame(ContainerHeader({VariableType::LIST}, VariableType::ULONG, 0, 0), {});
  for (int i = 1; i < levels; ++i) {
    node = Frame(
        ContainerHeader({VariableType::LIST}, VariableType::LIST, 1, uint32_t(node.size())), node);
  }
  return node;
}

TEST(ComponentVariableDecode, HostileNestingRefusedNotOverflowed) {
  ComponentVariable node;
  EXPECT_TRUE(DecodeFramed(node, NestedLists(ComponentVariable::kNestingBound + 1), false));
  EXPECT_FALSE(DecodeFramed(node, NestedLists(ComponentVariable::kNestingBound + 2), false));
  EXPECT_FALSE(DecodeFramed(node, NestedLists(3000), false));
}

TEST(ComponentVariableDecode, StringBodyLongerThanSizeKeepsTheFirstBytes) {
  Bytes header = Named("S", 0x41);
  Put(header, {0, 3, 0, 0, 0});
  ComponentVariable node;
  ASSERT_TRUE(DecodeFramed(node, Frame(header, {'a', 'b', 'c', 'd', 'e'}), true));
  EXPECT_EQ(node.GetText(), "abc");
  EXPECT_EQ(node.GetSize(), 3u);
}

Bytes CompressedBinary(uint32_t claimedSize, const Bytes& data) {
  Bytes packed(compressBound(uLong(data.size())));
  uLongf packedSize = uLongf(packed.size());
  compress2(packed.data(), &packedSize, data.data(), uLong(data.size()), 9);
  packed.resize(packedSize);
  Bytes header = Named("B", 0x40);
  Put(header, {1});
  U32(header, claimedSize);
  U32(header, uint32_t(packed.size()));
  return Frame(header, packed);
}

TEST(ComponentVariableDecode, CompressedBodyMustInflateToExactlyItsSize) {
  Bytes data(999, 'z');
  ComponentVariable node;
  ASSERT_TRUE(DecodeFramed(node, CompressedBinary(999, data), true));
  EXPECT_EQ(node.GetBytes().GetSize(), 999u);
  EXPECT_TRUE(node.IsCompressed());
  // Written plain again: flag 0, no compressed size.
  Bytes header = Named("B", 0x40);
  Put(header, {0, 0xE7, 0x03, 0, 0});
  EXPECT_EQ(Encoded(node, true), Frame(header, data));
  EXPECT_FALSE(DecodeFramed(node, CompressedBinary(1000, data), true));
  EXPECT_FALSE(DecodeFramed(node, CompressedBinary(998, data), true));
}

// A compressed child is stored short but encodes at full length; replacing it
// must not make the map's size wrap round.
TEST(ComponentVariableDecode, DecodedMapSizeCountsChildrenAsTheyEncode) {
  Bytes compressed = CompressedBinary(999, Bytes(999, 'z'));
  Bytes map =
      Frame(ContainerHeader(Named("M", 0x60), -1, 1, uint32_t(compressed.size())), compressed);
  ComponentVariable node;
  ASSERT_TRUE(DecodeFramed(node, map, true));
  EXPECT_EQ(node.GetSize(), 6u + 8 + 999);
  ComponentVariable small;
  small.SetULong("B", 1);
  ASSERT_TRUE(node.AddToMap("M", small));
  EXPECT_EQ(node.GetSize(), 6u + 3 + 4);
  EXPECT_EQ(Encoded(node, true).size(), 6u + 10 + 13);
}

TEST(ComponentVariableDecode, ImpossibleInflationRefused) {
  Bytes claim = Named("B", 0x40);
  Put(claim, {1});
  U32(claim, 0xFFFFFFF0u);  // 4 GiB claimed by a 5-byte stream
  U32(claim, 5);
  ComponentVariable node;
  EXPECT_FALSE(DecodeFramed(node, Frame(claim, {0x78, 0x9C, 1, 2, 3}), true));
  // Zeros come near zlib's best ratio and must still pass.
  ASSERT_TRUE(DecodeFramed(node, CompressedBinary(1000000, Bytes(1000000, 0)), true));
  EXPECT_EQ(node.GetBytes().GetSize(), 1000000u);
}

// Each of these must be refused, never read past its bytes.
struct Malformed {
  const char* what;
  Bytes framed;
  bool withName;
};

std::vector<Malformed> MalformedNodes() {
  Bytes okString = NamedString("s", "abc");
  Bytes shortBody = okString;
  shortBody.pop_back();
  shortBody[0] -= 1;
  Bytes child = NamedULong("x", 1);
  child.pop_back();
  Bytes childPastBody = Frame(ContainerHeader(Named("M", 0x60), -1, 1, 12), child);
  Bytes badDate = Frame(Named("D", 0x20), {30, 2, 0xD0, 0x07});
  Bytes zeroMonth = Frame(Named("D", 0x20), {1, 0, 0xD0, 0x07});
  Bytes badDateTime = Frame(Named("D", 0x21), {0, 0, 0, 0, 1, 13, 0xD0, 0x07});
  Bytes stringElement = Frame({0x41, 0, 3, 0, 0, 0}, {'a', 'b', 'c'});
  Bytes mixedList = Frame(
      ContainerHeader(Named("L", 0x61), 0x02, 1, uint32_t(stringElement.size())), stringElement);
  Bytes leftover = Named("n", 0x02);
  leftover.push_back(0);
  Bytes compressedWrongLength = CompressedBinary(10, Bytes(10, 'a'));
  compressedWrongLength.push_back(0);
  compressedWrongLength[0] += 1;
  Bytes notZlib = Named("B", 0x40);
  Put(notZlib, {1, 4, 0, 0, 0, 4, 0, 0, 0});
  return {
      {"empty header", Frame({}, {}), false},
      {"name longer than header", Frame({5, 'a', 'b'}, {}), true},
      {"no type after name", Frame({1, 'a'}, {}), true},
      {"container without count", Frame({0x60, 0}, {}), false},
      {"sized type without size", Frame({0x40, 0, 1, 0}, {}), false},
      {"compressed without compressed size", Frame({0x40, 1, 1, 0, 0, 0}, {0}), false},
      {"header bytes left over", Frame(leftover, {1, 0, 0, 0}), true},
      {"type 0", Frame({0x00}, {}), false},
      {"unknown type", Frame({0x23}, {0, 0, 0, 0}), false},
      {"unknown sized type", Frame({0x43, 0, 0, 0, 0, 0}, {}), false},
      {"ULONG body short", Frame({0x02}, {1, 2, 3}), false},
      {"DOUBLE body short", Frame({0x05}, {1, 2, 3, 4}), false},
      {"STRING body shorter than size", shortBody, true},
      {"child past its parent's body", childPastBody, true},
      {"list element of another type", mixedList, true},
      {"30 February", badDate, true},
      {"month 0", zeroMonth, true},
      {"date-time with month 13", badDateTime, true},
      {"compressed body of the wrong length", compressedWrongLength, true},
      {"compressed body that is no zlib stream", Frame(notZlib, {1, 2, 3, 4}), true},
  };
}

TEST(ComponentVariableDecode, MalformedNodesRefused) {
  for (const Malformed& c : MalformedNodes()) {
    ComponentVariable node;
    EXPECT_FALSE(DecodeFramed(node, c.framed, c.withName)) << c.what;
  }
}

TEST(ComponentVariableDecode, MaximumDepthBelowDepthRefused) {
  ComponentVariable node;
  Bytes framed = NamedULong("n", 1);  // header 3 bytes, body 4
  EXPECT_FALSE(node.Decode(framed.data() + 6, 7, 3, 0, 1, true));
  EXPECT_TRUE(node.Decode(framed.data() + 6, 7, 3, 1, 1, true));
}

// ---------------------------------------------------------------------------
// Packed encoding for package makers

class Doubling : public BodyPacker {
 public:
  bool Pack(const unsigned char* body, uint32_t length, CSPBuffer& packed) override {
    packed.Set(body, length);
    packed.Append(body, length);
    return true;
  }
};

TEST(ComponentVariablePacked, MarkedNodesGoThroughThePacker) {
  ComponentVariable node;
  CSPBuffer data;
  data.Set("abc", 3);
  node.SetBinary("B", data);
  ASSERT_TRUE(node.SetCompressed(true));
  Doubling packer;
  CSPBuffer out;
  ASSERT_TRUE(node.Encode(out, true, packer));
  Bytes header = Named("B", 0x40);
  Put(header, {1, 3, 0, 0, 0, 6, 0, 0, 0});
  EXPECT_EQ(BytesOf(out), Frame(header, {'a', 'b', 'c', 'a', 'b', 'c'}));
  // The plain encoder ignores the mark.
  EXPECT_EQ(Encoded(node, true).size(), 6u + 8 + 3);
  ComponentVariable scalar;
  scalar.SetULong("n", 1);
  EXPECT_FALSE(scalar.SetCompressed(true));
}

}  // namespace
