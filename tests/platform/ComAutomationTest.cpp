// Automation strings, variants and GUID texts.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win.h"

namespace {

TEST(ComBstr, LengthsAndEmbeddedZeros) {
  BSTR text = SysAllocString(u"Quaver");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 6u);
  EXPECT_EQ(SysStringByteLen(text), 12u);
  EXPECT_EQ(text[6], 0);
  SysFreeString(text);

  BSTR zeros = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(zeros[2], u'b');
  SysFreeString(zeros);

  BSTR blank = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(SysStringLen(blank), 4u);
  EXPECT_EQ(blank[4], 0);
  ASSERT_TRUE(SysReAllocString(&blank, u"xy"));
  EXPECT_EQ(SysStringLen(blank), 2u);
  SysFreeString(blank);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

struct CompareCase {
  const char16_t* left;  // null: a null BSTR
  const char16_t* right;
  ULONG flags;
  HRESULT expected;
};

TEST(ComBstr, VarBstrCmp) {
  const CompareCase cases[] = {
      {u"add", u"add", 0, VARCMP_EQ},
      {u"add", u"Add", 0, VARCMP_GT},
      {u"add", u"Add", NORM_IGNORECASE, VARCMP_EQ},
      {u"ad", u"add", 0, VARCMP_LT},
      {u"", nullptr, 0, VARCMP_EQ},
      {nullptr, u"a", 0, VARCMP_LT},
      {u"\u00e9", u"\u00c9", NORM_IGNORECASE, VARCMP_EQ},
  };
  for (const CompareCase& c : cases) {
    BSTR left = SysAllocString(c.left);
    BSTR right = SysAllocString(c.right);
    EXPECT_EQ(VarBstrCmp(left, right, LOCALE_USER_DEFAULT, c.flags), c.expected) << c.flags;
    SysFreeString(left);
    SysFreeString(right);
  }
}

VARIANT Text(const char16_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

VARIANT Number(VARTYPE vt, LONGLONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.llVal = 0;
  if (vt == VT_I4) v.lVal = static_cast<LONG>(value);
  if (vt == VT_UI4) v.ulVal = static_cast<ULONG>(value);
  if (vt == VT_BOOL) v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  if (vt == VT_R8) v.dblVal = static_cast<double>(value) / 2;  // halves, for rounding
  return v;
}

TEST(ComVariant, ClearAndCopyOwnTheirString) {
  VARIANT source = Text(u"value");
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  ASSERT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  EXPECT_EQ(std::u16string(copy.bstrVal), u"value");
  EXPECT_EQ(VariantClear(&source), S_OK);
  EXPECT_EQ(source.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&copy), S_OK);
  VARIANT odd;
  VariantInit(&odd);
  odd.vt = VT_DISPATCH;
  EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
}

struct ChangeCase {
  VARIANT source;
  VARTYPE to;
  HRESULT expected;
  const char16_t* asText;  // the result converted back to text, when it succeeded
};

TEST(ComVariant, ChangeType) {
  ChangeCase cases[] = {
      {Text(u"12"), VT_I4, S_OK, u"12"},
      {Text(u" 7"), VT_UI4, S_OK, u"7"},
      {Text(u"true"), VT_BOOL, S_OK, u"-1"},
      {Text(u"False"), VT_BOOL, S_OK, u"0"},
      {Text(u"twelve"), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
      {Text(u"4294967296"), VT_UI4, DISP_E_OVERFLOW, nullptr},
      {Number(VT_I4, -1), VT_UI4, DISP_E_OVERFLOW, nullptr},
      {Number(VT_UI4, 4000000000), VT_I4, DISP_E_OVERFLOW, nullptr},
      {Number(VT_R8, 5), VT_I4, S_OK, u"2"},  // 2.5 rounds to even
      {Number(VT_R8, 7), VT_I4, S_OK, u"4"},  // 3.5 rounds to even
      {Number(VT_BOOL, 1), VT_BSTR, S_OK, u"-1"},
      {Number(VT_UI4, 3000000000), VT_BSTR, S_OK, u"3000000000"},
  };
  for (ChangeCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.to));
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(VariantChangeType(&result, &c.source, 0, c.to), c.expected);
    if (c.asText != nullptr) {
      EXPECT_EQ(result.vt, c.to);
      VARIANT text;
      VariantInit(&text);
      ASSERT_EQ(VariantChangeType(&text, &result, 0, VT_BSTR), S_OK);
      EXPECT_EQ(std::u16string(text.bstrVal), c.asText);
      VariantClear(&text);
    }
    VariantClear(&result);
    VariantClear(&c.source);
  }
}

TEST(ComVariant, ChangeTypeInPlace) {
  VARIANT v = Text(u"19");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_UI4), S_OK);
  EXPECT_EQ(v.vt, VT_UI4);
  EXPECT_EQ(v.ulVal, 19u);
}

TEST(ComGuid, TextRoundTrip) {
  char16_t text[39];
  ASSERT_EQ(StringFromGUID2(IID_IMSAdminBase_W, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{70B51430-B6CA-11D0-B9B9-00A0C922E750}");
  EXPECT_EQ(StringFromGUID2(IID_IMSAdminBase_W, text, 38), 0);
  CLSID parsed;
  ASSERT_EQ(CLSIDFromString(u"{a9e69610-b80d-11d0-b9b9-00a0c922e750}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, CLSID_MSAdminBase_W));
  for (const char16_t* bad :
       {u"A9E69610-B80D-11D0-B9B9-00A0C922E750", u"{A9E69610-B80D-11D0-B9B9-00A0C922E75}",
        u"{A9E69610-B80D-11D0-B9B9-00A0C922E7500}", u"{A9E69610+B80D-11D0-B9B9-00A0C922E750}",
        u"{G9E69610-B80D-11D0-B9B9-00A0C922E750}"}) {
    EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING);
  }
}

}  // namespace
