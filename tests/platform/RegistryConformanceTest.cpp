// Documented details of the registry functions that callers rely on when
// they size buffers and build key names.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quaver::test
