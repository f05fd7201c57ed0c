// The registry functions against a temporary image: Windows' buffer
// protocols, error codes, access masks and name matching.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/machine.h"
#include "platform/win.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

class RegistryApi : public TempMachineTest {
 protected:
  void SetUp() override { *key.out() = MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test"); }
  ScopedKey key;
};

TEST_F(RegistryApi, QueryFollowsTheBufferProtocol) {
  SetValue(key.get(), u"Greeting", REG_SZ, Utf16(u"hello"));

  DWORD type = 0xDEAD, size = 0;
  ASSERT_EQ(RegQueryValueExW(key.get(), u"Greeting", nullptr, &type, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);  // five code units and the terminating zero

  BYTE small[6];
  std::memset(small, 0xCC, sizeof small);
  size = sizeof small;
  type = 0xDEAD;
  EXPECT_EQ(RegQueryValueExW(key.get(), u"Greeting", nullptr, &type, small, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(type, REG_SZ);
  for (BYTE b : small) EXPECT_EQ(b, 0xCC) << "a short buffer stays untouched";

  BYTE exact[12];
  size = sizeof exact;
  ASSERT_EQ(RegQueryValueExW(key.get(), u"Greeting", nullptr, nullptr, exact, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(Bytes(exact, exact + size), Utf16(u"hello"));
}

TEST_F(RegistryApi, QueryArgumentErrorsLeaveOutputsUntouched) {
  SetValue(key.get(), u"Present", REG_DWORD, Dword(7));
  DWORD type = 0xDEAD, size = 0xBEEF, reserved = 0;
  BYTE data[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(RegQueryValueExW(key.get(), u"Missing", nullptr, &type, data, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key.get(), u"Present", &reserved, &type, data, &size),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(key.get(), u"Present", nullptr, &type, data, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(type, 0xDEADu);
  EXPECT_EQ(size, 0xBEEFu);
  EXPECT_EQ(data[0], 0xCC);
}

TEST_F(RegistryApi, StringDataIsKeptExactlyAsStored) {
  // Windows stores what it is given: no terminator is added or removed.
  SetValue(key.get(), u"Bare", REG_SZ, Utf16(u"abc", false));
  SetValue(key.get(), u"Padded", REG_SZ, Utf16(std::u16string(u"ab\0\0", 4), false));
  EXPECT_EQ(QueryValue(key.get(), u"Bare"), Utf16(u"abc", false));
  EXPECT_EQ(QueryValue(key.get(), u"Padded")->size(), 8u);
}

TEST_F(RegistryApi, DefaultValueHasTheEmptyName) {
  SetValue(key.get(), nullptr, REG_SZ, Utf16(u"default"));
  EXPECT_EQ(QueryValue(key.get(), u""), Utf16(u"default"));
  EXPECT_EQ(QueryValue(key.get(), nullptr), Utf16(u"default"));
}

TEST_F(RegistryApi, NamesMatchWithoutCaseAndKeepTheirCase) {
  ScopedKey sub(MakeKey(key.get(), u"MixedCase"));
  SetValue(sub.get(), u"ValueName", REG_DWORD, Dword(1));
  SetValue(sub.get(), u"VALUENAME", REG_DWORD, Dword(2));  // the same value

  ScopedKey again;
  ASSERT_EQ(
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\TEST\\mixedcase", 0, KEY_READ, again.out()),
      ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(again.get(), u"valuename"), Dword(2));

  char16_t name[32];
  DWORD length = 32;
  ASSERT_EQ(RegEnumValueW(again.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name, length), u"ValueName");
  length = 32;
  ASSERT_EQ(RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name, length), u"MixedCase");
}

TEST_F(RegistryApi, CreateReportsWhetherTheKeyIsNew) {
  DWORD disposition = 0;
  ScopedKey first, second;
  ASSERT_EQ(RegCreateKeyExW(key.get(), u"A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            first.out(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegCreateKeyExW(key.get(), u"a\\b\\c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            second.out(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
}

TEST_F(RegistryApi, AccessMaskOfTheHandleIsHonoured) {
  SetValue(key.get(), u"Kept", REG_DWORD, Dword(5));
  ScopedKey reader, writer;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test", 0, KEY_READ, reader.out()),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test", 0, KEY_WRITE, writer.out()),
            ERROR_SUCCESS);

  Bytes data = Dword(9);
  EXPECT_EQ(RegSetValueExW(reader.get(), u"Kept", 0, REG_DWORD, data.data(), 4),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(reader.get(), u"Kept"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryValue(reader.get(), u"Kept"), Dword(5));
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(writer.get(), u"Kept", nullptr, nullptr, nullptr, &size),
            ERROR_ACCESS_DENIED);
  char16_t name[16];
  DWORD length = 16;
  EXPECT_EQ(RegEnumKeyExW(writer.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);

  // Creating below a key is checked against its access list, not the
  // handle's mask, as Windows documents.
  ScopedKey child;
  EXPECT_EQ(RegCreateKeyExW(reader.get(), u"Child", 0, nullptr, 0, KEY_READ, nullptr, child.out(),
                            nullptr),
            ERROR_SUCCESS);
}

TEST_F(RegistryApi, GenericRightsMapToKeyRights) {
  ScopedKey handle;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test", 0, GENERIC_READ, handle.out()),
            ERROR_SUCCESS);
  Bytes data = Dword(1);
  EXPECT_EQ(RegSetValueExW(handle.get(), u"X", 0, REG_DWORD, data.data(), 4), ERROR_ACCESS_DENIED);
  DWORD count = 0;
  EXPECT_EQ(RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

TEST_F(RegistryApi, DeleteKeyRefusesKeysWithSubkeys) {
  ScopedKey(MakeKey(key.get(), u"Parent\\Child"));
  EXPECT_EQ(RegDeleteKeyW(key.get(), u"Parent"), ERROR_ACCESS_DENIED);
  ScopedKey stillThere;
  EXPECT_EQ(RegOpenKeyExW(key.get(), u"Parent\\Child", 0, KEY_READ, stillThere.out()),
            ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKeyW(key.get(), u"Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(key.get(), u"Parent"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(key.get(), u"Parent"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApi, HandleOfADeletedKeyReportsKeyDeleted) {
  ScopedKey doomed(MakeKey(key.get(), u"Doomed"));
  ASSERT_EQ(RegDeleteKeyW(key.get(), u"Doomed"), ERROR_SUCCESS);
  Bytes data = Dword(1);
  EXPECT_EQ(RegSetValueExW(doomed.get(), u"X", 0, REG_DWORD, data.data(), 4), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(doomed.release()), ERROR_SUCCESS);
}

TEST_F(RegistryApi, LocalMachineLevelIsFixed) {
  ScopedKey stray;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Stray", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            stray.out(), nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SYSTEM"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u""), ERROR_ACCESS_DENIED);
  Bytes data = Dword(1);
  EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"X", 0, REG_DWORD, data.data(), 4),
            ERROR_ACCESS_DENIED);
  ScopedKey software;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, software.out()),
            ERROR_SUCCESS);
}

TEST_F(RegistryApi, ClassesRootIsTheClassesKeyOfTheMachine) {
  ScopedKey clsid(MakeKey(HKEY_CLASSES_ROOT, u"CLSID\\{0001}"));
  SetValue(clsid.get(), nullptr, REG_SZ, Utf16(u"Example"));
  ScopedKey viaMachine;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\CLSID\\{0001}", 0, KEY_READ,
                          viaMachine.out()),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(viaMachine.get(), nullptr), Utf16(u"Example"));
}

TEST_F(RegistryApi, Wow6432NodeIsAnOrdinaryKey) {
  ScopedKey wow(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Wow6432Node\\Vendor"));
  SetValue(wow.get(), u"Dir", REG_SZ, Utf16(u"x86"));
  ScopedKey native;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor", 0, KEY_READ, native.out()),
            ERROR_FILE_NOT_FOUND);
  ScopedKey wow64;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Wow6432Node\\Vendor", 0,
                          KEY_READ | KEY_WOW64_32KEY, wow64.out()),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(wow64.get(), u"Dir"), Utf16(u"x86"));
}

struct BadPathCase {
  const char16_t* subKey;
  LSTATUS expected;
};

class RegistryBadPaths : public RegistryApi, public ::testing::WithParamInterface<BadPathCase> {};

TEST_P(RegistryBadPaths, CreateRefusesMalformedPaths) {
  ScopedKey result;
  EXPECT_EQ(RegCreateKeyExW(key.get(), GetParam().subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            result.out(), nullptr),
            GetParam().expected);
  EXPECT_EQ(result.get(), nullptr);
}

const std::u16string kLongName(256, u'k');

INSTANTIATE_TEST_SUITE_P(Cases, RegistryBadPaths,
                         ::testing::Values(BadPathCase{u"\\Leading", ERROR_BAD_PATHNAME},
                                           BadPathCase{u"a\\\\b", ERROR_BAD_PATHNAME},
                                           BadPathCase{kLongName.c_str(), ERROR_INVALID_PARAMETER},
                                           BadPathCase{u"line\nbreak", ERROR_INVALID_PARAMETER},
                                           BadPathCase{nullptr, ERROR_INVALID_PARAMETER}));

TEST_F(RegistryApi, InvalidHandlesAreRefused) {
  HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7777));
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(bogus, u"x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_CONFIG, u"x", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  HKEY closed = MakeKey(key.get(), u"Closed");
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryApi, OpeningARootWithoutSubkeyGivesTheRootBack) {
  HKEY result = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_READ, &result), ERROR_SUCCESS);
  EXPECT_EQ(result, HKEY_LOCAL_MACHINE);
  HKEY sentinel = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5555));
  result = sentinel;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Missing", 0, KEY_READ, &result),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(result, sentinel);
}

TEST_F(RegistryApi, InfoReportsCountsAndLongestNames) {
  ScopedKey(MakeKey(key.get(), u"Short"));
  ScopedKey(MakeKey(key.get(), u"LongerName"));
  SetValue(key.get(), u"v", REG_BINARY, Bytes(40, 1));
  SetValue(key.get(), u"value", REG_DWORD, Dword(1));
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                             &values, &maxName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxSubKey, 10u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 5u);
  EXPECT_EQ(maxData, 40u);
}

TEST_F(RegistryApi, EnumerationOrderAndBufferSizes) {
  for (const char16_t* name : {u"beta", u"Alpha", u"gamma"}) ScopedKey(MakeKey(key.get(), name));
  SetValue(key.get(), u"second", REG_DWORD, Dword(2));
  SetValue(key.get(), u"first", REG_BINARY, Bytes(8, 0xAB));

  std::vector<std::u16string> keys;
  char16_t name[16];
  for (DWORD i = 0;; ++i) {
    DWORD length = 16;
    LSTATUS status = RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    keys.emplace_back(name, length);
  }
  EXPECT_EQ(keys, (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));

  DWORD length = 5;  // "Alpha" needs six with its zero
  EXPECT_EQ(RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);

  // Values come in the order they were first set.
  length = 16;
  DWORD type = 0;
  BYTE data[4];
  DWORD size = sizeof data;
  EXPECT_EQ(RegEnumValueW(key.get(), 1, name, &length, nullptr, &type, data, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(std::u16string(name, length), u"first");
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(type, REG_BINARY);
  length = 16;
  EXPECT_EQ(RegEnumValueW(key.get(), 2, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryApi, AnsiFunctionsConvertThroughTheAnsiCodePage) {
  const char name[] = "Caf\xE9";        // "Café" in Windows-1252
  const char text[] = "na\xEFve \x80";  // "naïve €"
  ASSERT_EQ(
      RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
      ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(key.get(), u"Café"), Utf16(u"naïve €"));

  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, sizeof text);
  char back[16] = {};
  ASSERT_EQ(RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(back), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(back, text);

  // Binary data passes through unconverted.
  const BYTE blob[] = {0xE9, 0x00, 0x80};
  ASSERT_EQ(RegSetValueExA(key.get(), "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(key.get(), u"Blob"), Bytes(blob, blob + 3));

  // A code unit without an ANSI byte reads as '?'.
  SetValue(key.get(), u"Greek", REG_SZ, Utf16(u"\u03A9"));
  size = sizeof back;
  ASSERT_EQ(
      RegQueryValueExA(key.get(), "Greek", nullptr, nullptr, reinterpret_cast<BYTE*>(back), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(std::string(back, size), std::string("?\0", 2));

  ScopedKey opened;
  ASSERT_EQ(RegCreateKeyExA(key.get(), "Sub\xE9", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            opened.out(), nullptr),
            ERROR_SUCCESS);
  ScopedKey wide;
  EXPECT_EQ(RegOpenKeyExW(key.get(), u"SUBÉ", 0, KEY_READ, wide.out()), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key.get(), "sub\xE9"), ERROR_SUCCESS);
}

TEST_F(RegistryApi, VolatileKeysStayOutOfTheHiveFile) {
  ScopedKey scratch;
  ASSERT_EQ(RegCreateKeyExW(key.get(), u"Scratch", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, scratch.out(), nullptr),
            ERROR_SUCCESS);
  SetValue(scratch.get(), u"Temp", REG_DWORD, Dword(1));
  ScopedKey lasting;
  EXPECT_EQ(RegCreateKeyExW(scratch.get(), u"Lasting", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            lasting.out(), nullptr),
            ERROR_CHILD_MUST_BE_VOLATILE);
  ScopedKey(MakeKey(key.get(), u"Persistent"));
  std::string hive = image.ReadHostFile("registry/HKLM.reg");
  EXPECT_NE(hive.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Persistent]"), std::string::npos);
  EXPECT_EQ(hive.find("Scratch"), std::string::npos);
}

// Finds the allowed entry of `sid` in the key's own access list.
bool KeyGrants(const char16_t* objectName, PSID sid, ACCESS_MASK mask) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(objectName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool found = false;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) break;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && allowed->Mask == mask &&
        EqualSid(&allowed->SidStart, sid)) {
      found = true;
    }
  }
  LocalFree(descriptor);
  return found;
}

TEST_F(RegistryApi, SecurityAttributesGoToTheNewKeysOnly) {
  // An entry no default list holds: the guests may query and set values.
  const ACCESS_MASK kMask = KEY_QUERY_VALUE | KEY_SET_VALUE;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID guests = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_GUESTS,
                                       0, 0, 0, 0, 0, 0, &guests));
  alignas(8) BYTE aclBuffer[128];
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, kMask, guests));
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};

  ScopedKey existing, created;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test", 0, nullptr, 0, KEY_ALL_ACCESS,
                            &attributes, existing.out(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Test\\Secured", 0, nullptr, 0,
                            KEY_ALL_ACCESS, &attributes, created.out(), nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(KeyGrants(u"MACHINE\\SOFTWARE\\Test\\Secured", guests, kMask));
  EXPECT_FALSE(KeyGrants(u"MACHINE\\SOFTWARE\\Test", guests, kMask))
      << "an existing key keeps its list";

  // A key made again after its deletion starts without the old list.
  ASSERT_EQ(RegDeleteKeyW(key.get(), u"Secured"), ERROR_SUCCESS);
  ScopedKey again(MakeKey(key.get(), u"Secured"));
  EXPECT_FALSE(KeyGrants(u"MACHINE\\SOFTWARE\\Test\\Secured", guests, kMask));

  SECURITY_DESCRIPTOR broken{};
  SECURITY_ATTRIBUTES bad{sizeof bad, &broken, FALSE};
  ScopedKey refused;
  EXPECT_EQ(RegCreateKeyExW(key.get(), u"Refused", 0, nullptr, 0, KEY_ALL_ACCESS, &bad,
                            refused.out(), nullptr),
            ERROR_INVALID_SECURITY_DESCR);
  FreeSid(guests);
}

// Access lists that cannot be recorded (security.sddl unreadable): a key
// created with security attributes is not made at all, in memory or in the
// hive; without attributes nothing needs recording.
TEST_F(RegistryApi, CreateWithSecurityLeavesNoKeyWhenItsListCannotBeRecorded) {
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  const std::string hive = image.ReadHostFile("registry/HKLM.reg");
  std::filesystem::remove(image.Root() / "security.sddl");
  std::filesystem::create_directory(image.Root() / "security.sddl");
  for (const DWORD options : {DWORD{0}, DWORD{REG_OPTION_VOLATILE}}) {
    ScopedKey refused;
    EXPECT_EQ(RegCreateKeyExW(key.get(), u"Secured\\Deeper", 0, nullptr, options, KEY_ALL_ACCESS,
                              &attributes, refused.out(), nullptr),
              ERROR_INTERNAL_DB_CORRUPTION)
        << options;
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(key.get(), u"Secured", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND)
        << options;
  }
  std::filesystem::remove(image.Root() / "security.sddl");
  image.WriteHostFile("security.sddl", "");
  EXPECT_EQ(image.ReadHostFile("registry/HKLM.reg"), hive);
  std::filesystem::remove(image.Root() / "security.sddl");
  std::filesystem::create_directory(image.Root() / "security.sddl");
  ScopedKey plain;
  EXPECT_EQ(RegCreateKeyExW(key.get(), u"Plain", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            plain.out(), nullptr),
            ERROR_SUCCESS);
}

TEST(RegistryWithoutMachine, EveryCallFailsWithoutTouchingTheHost) {
  machine::DeselectMachine();
  HKEY result = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, &result),
            ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(result, nullptr);
}

}  // namespace
}  // namespace quaver::test
