// Documented details of the registry functions that callers rely on when
// they size buffers and build key names.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

class RegistryConformance : public TempMachineTest {
 protected:
  void SetUp() override { *key.out() = MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test"); }
  ScopedKey key;
};

// A name buffer that is too small still tells the caller the value's type
// and how much data it holds, so the next call can size both buffers.
TEST_F(RegistryConformance, EnumValueWithShortNameReportsTypeAndDataSize) {
  SetValue(key.get(), u"LongValueName", REG_SZ, Utf16(u"data"));
  char16_t name[4] = {u'x', u'x', u'x', u'x'};
  DWORD length = 4;
  DWORD type = 0xDEAD;
  BYTE data[32];
  std::fill(std::begin(data), std::end(data), 0xCC);
  DWORD size = sizeof data;
  EXPECT_EQ(RegEnumValueW(key.get(), 0, name, &length, nullptr, &type, data, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(data[0], 0xCC);
  size = 0xBEEF;
  length = 4;
  EXPECT_EQ(RegEnumValueW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
}

TEST_F(RegistryConformance, QueryOfAMissingValueReportsNoDataOnlyForASizeQuery) {
  DWORD type = 0xDEAD;
  DWORD size = 0xBEEF;
  EXPECT_EQ(RegQueryValueExW(key.get(), u"Missing", nullptr, &type, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, 0xDEADu);
  size = 0xBEEF;
  EXPECT_EQ(RegQueryValueExA(key.get(), "Missing", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);
  BYTE data[4];
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExW(key.get(), u"Missing", nullptr, nullptr, data, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 4u);
}

TEST_F(RegistryConformance, TrailingSeparatorsNameTheSameKey) {
  for (const char16_t* subKey : {u"Child\\", u"Child\\\\", u"Child\\\\\\"}) {
    ScopedKey created;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(key.get(), subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              created.out(), &disposition),
              ERROR_SUCCESS);
    ScopedKey opened;
    EXPECT_EQ(RegOpenKeyExW(key.get(), subKey, 0, KEY_READ, opened.out()), ERROR_SUCCESS);
  }
  DWORD subKeys = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 1u);
  ScopedKey refused;
  EXPECT_EQ(RegOpenKeyExW(key.get(), u"Child\\\\Grand", 0, KEY_READ, refused.out()),
            ERROR_BAD_PATHNAME);
}

TEST_F(RegistryConformance, CreateRefusesUndefinedOptions) {
  ScopedKey result;
  EXPECT_EQ(RegCreateKeyExW(key.get(), u"Child", 0, nullptr, 0x100, KEY_ALL_ACCESS, nullptr,
                            result.out(), nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(result.get(), nullptr);
  ScopedKey missing;
  EXPECT_EQ(RegOpenKeyExW(key.get(), u"Child", 0, KEY_READ, missing.out()), ERROR_FILE_NOT_FOUND);
}

enum class Parent { OpenKey, Classes, Bogus };
enum class Result { Untouched, SameAsParent, NewHandle };

struct ArgumentCase {
  const char* name;
  bool create;
  bool ansi;
  Parent parent;
  std::optional<std::string> subKey;  // nullopt: a null pointer
  bool nullResult;
  LSTATUS status;
  Result result;
  DWORD disposition;  // what a create reports; the sentinel where nothing is reported
};

constexpr DWORD kSentinel = 0xDEADBEEF;

const ArgumentCase kArgumentCases[] = {
    {"OpenWithoutResult", false, false, Parent::OpenKey, "Child", true, ERROR_INVALID_PARAMETER,
     Result::Untouched, kSentinel},
    {"OpenAWithoutResult", false, true, Parent::OpenKey, "Child", true, ERROR_INVALID_PARAMETER,
     Result::Untouched, kSentinel},
    {"CreateWithoutResult", true, false, Parent::OpenKey, "New", true, ERROR_INVALID_PARAMETER,
     Result::Untouched, kSentinel},
    {"OpenBogusRoot", false, false, Parent::Bogus, "", false, ERROR_INVALID_HANDLE,
     Result::Untouched, kSentinel},
    {"CreateABogusRoot", true, true, Parent::Bogus, "New", false, ERROR_INVALID_HANDLE,
     Result::Untouched, kSentinel},
    {"OpenNullOfPredefined", false, false, Parent::Classes, std::nullopt, false, ERROR_SUCCESS,
     Result::SameAsParent, kSentinel},
    {"OpenAEmptyOfPredefined", false, true, Parent::Classes, "", false, ERROR_SUCCESS,
     Result::SameAsParent, kSentinel},
    {"OpenNullOfOpenKey", false, false, Parent::OpenKey, std::nullopt, false, ERROR_SUCCESS,
     Result::NewHandle, kSentinel},
    {"OpenEmptyOfOpenKey", false, false, Parent::OpenKey, "", false, ERROR_SUCCESS,
     Result::NewHandle, kSentinel},
    {"CreateEmptyOpensTheKey", true, false, Parent::OpenKey, "", false, ERROR_SUCCESS,
     Result::NewHandle, REG_OPENED_EXISTING_KEY},
    {"CreateNull", true, false, Parent::OpenKey, std::nullopt, false, ERROR_INVALID_PARAMETER,
     Result::Untouched, kSentinel},
    {"OpenLeadingBackslash", false, false, Parent::OpenKey, "\\Child", false, ERROR_BAD_PATHNAME,
     Result::Untouched, kSentinel},
    {"CreateLeadingBackslash", true, false, Parent::OpenKey, "\\Child", false, ERROR_BAD_PATHNAME,
     Result::Untouched, kSentinel},
    {"CreateALeadingBackslash", true, true, Parent::OpenKey, "\\New", false, ERROR_BAD_PATHNAME,
     Result::Untouched, kSentinel},
    {"CreateLongestName", true, false, Parent::OpenKey, std::string(255, 'k'), false, ERROR_SUCCESS,
     Result::NewHandle, REG_CREATED_NEW_KEY},
    {"CreateNameTooLong", true, false, Parent::OpenKey, "New\\" + std::string(256, 'k'), false,
     ERROR_INVALID_PARAMETER, Result::Untouched, kSentinel},
};

class RegistryArguments : public RegistryConformance,
                          public ::testing::WithParamInterface<ArgumentCase> {};

void PrintTo(const ArgumentCase& c, std::ostream* out) { *out << c.name; }

LSTATUS Call(const ArgumentCase& c, HKEY parent, HKEY* result, DWORD* disposition) {
  std::optional<std::u16string> wide;
  if (c.subKey) wide = std::u16string(c.subKey->begin(), c.subKey->end());
  const char* narrow = c.subKey ? c.subKey->c_str() : nullptr;
  const char16_t* wideName = wide ? wide->c_str() : nullptr;
  if (c.create && c.ansi) {
    return RegCreateKeyExA(parent, narrow, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result,
                           disposition);
  }
  if (c.create) {
    return RegCreateKeyExW(parent, wideName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result,
                           disposition);
  }
  if (c.ansi) return RegOpenKeyExA(parent, narrow, 0, KEY_READ, result);
  return RegOpenKeyExW(parent, wideName, 0, KEY_READ, result);
}

// Outputs start as sentinels: a failure leaves them as they were, a success
// sets exactly what Windows documents.
TEST_P(RegistryArguments, OpenAndCreateAsDocumented) {
  const ArgumentCase& c = GetParam();
  ScopedKey(MakeKey(key.get(), u"Child"));
  HKEY parent = c.parent == Parent::Classes ? HKEY_CLASSES_ROOT
                : c.parent == Parent::Bogus ? reinterpret_cast<HKEY>(uintptr_t{0x7770})
                                            : key.get();
  const HKEY sentinel = reinterpret_cast<HKEY>(uintptr_t{0x5A5A});
  HKEY result = sentinel;
  DWORD disposition = kSentinel;
  ASSERT_EQ(Call(c, parent, c.nullResult ? nullptr : &result, &disposition), c.status);
  EXPECT_EQ(disposition, c.disposition);
  switch (c.result) {
    case Result::Untouched:
      EXPECT_EQ(result, sentinel);
      break;
    case Result::SameAsParent:
      EXPECT_EQ(result, parent);
      break;
    case Result::NewHandle:
      EXPECT_NE(result, parent);
      EXPECT_NE(result, sentinel);
      EXPECT_EQ(RegCloseKey(result), ERROR_SUCCESS);
      break;
  }
  ScopedKey notMade;
  EXPECT_EQ(RegOpenKeyExW(key.get(), u"New", 0, KEY_READ, notMade.out()), ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(RegistryConformance, RegistryArguments,
                         ::testing::ValuesIn(kArgumentCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quaver::test
