// Access lists of the image's files, folders and registry keys: reading and
// writing them by name, inheritance, protection, and security.sddl.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/machine.h"
#include "platform/security/ObjectSecurity.h"
#include "platform/security/StoreFaults.h"
#include "platform/win.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::AclText;
using quaver::test::SecurityTest;
using quaver::test::SidText;
using quaver::test::TestAcl;

// The root default of drive C: as a folder below it inherits it. CREATOR
// OWNER applies as the owner, Administrators unless the object sets one.
constexpr char kInheritedByFolder[] =
    "(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
    "(A;OICIID;0x1200a9;;;BU)";
constexpr char kInheritedByFile[] =
    "(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";

class NamedSecurityTest : public SecurityTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\inetpub", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"C:\\inetpub\\wwwroot", nullptr));
    image.WriteHostFile("drive_c/inetpub/wwwroot/index.htm", "<html/>");
  }

  // The DACL as the object shows it, and its control bits.
  std::string Dacl(const char16_t* name, SE_OBJECT_TYPE type = SE_FILE_OBJECT,
                   SECURITY_DESCRIPTOR_CONTROL* control = nullptr) {
    PACL dacl = reinterpret_cast<PACL>(0x1);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(name, type, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                        &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return "error " + std::to_string(error);
    std::string text = AclText(
        dacl, type == SE_FILE_OBJECT ? winsec::RightsStyle::File : winsec::RightsStyle::Key);
    DWORD revision;
    if (control) GetSecurityDescriptorControl(descriptor, control, &revision);
    LocalFree(descriptor);
    return text;
  }

  DWORD SetDacl(const char16_t* name, const std::string& entries, SECURITY_INFORMATION flags = 0,
                SE_OBJECT_TYPE type = SE_FILE_OBJECT) {
    TestAcl acl(entries);
    std::u16string writable(name);
    return SetNamedSecurityInfoW(writable.data(), type, DACL_SECURITY_INFORMATION | flags, nullptr,
                                 nullptr, acl.get(), nullptr);
  }

  std::string SddlFile() const { return image.ReadHostFile("security.sddl"); }
};

TEST_F(NamedSecurityTest, MissingObjectsAreRefused) {
  EXPECT_EQ(Dacl(u"C:\\inetpub\\missing"), "error 2");
  EXPECT_EQ(Dacl(u"C:\\missing\\deeper"), "error 3");
  EXPECT_EQ(SetDacl(u"C:\\inetpub\\missing", "(A;;FA;;;BA)"),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SetDacl(u"MACHINE\\SOFTWARE\\Corvane\\Quaver", "(A;;FA;;;BA)", 0, SE_REGISTRY_KEY),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SddlFile(), "");
}

TEST_F(NamedSecurityTest, DriveRootHasTheProtectedDefault) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  EXPECT_EQ(Dacl(u"C:\\", SE_FILE_OBJECT, &control),
            "(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)");
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  EXPECT_TRUE(control & SE_DACL_PRESENT);
  EXPECT_TRUE(control & SE_SELF_RELATIVE);
}

TEST_F(NamedSecurityTest, FoldersAndFilesInheritFromTheRoot) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot", SE_FILE_OBJECT, &control), kInheritedByFolder);
  EXPECT_FALSE(control & SE_DACL_PROTECTED);
  EXPECT_EQ(Dacl(u"c:/INETPUB/wwwroot/index.htm"), kInheritedByFile);
}

TEST_F(NamedSecurityTest, OwnerAndGroupHaveDefaults) {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = reinterpret_cast<PACL>(0x1);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(u"C:\\inetpub", SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, &owner,
                                  &group, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(SidText(owner), "S-1-5-32-544");
  EXPECT_EQ(SidText(group), "S-1-5-18");
  EXPECT_EQ(dacl, nullptr);  // not asked for
  LocalFree(descriptor);
}

TEST_F(NamedSecurityTest, ProtectedListIsKeptAndPassedOn) {
  ASSERT_EQ(SetDacl(u"C:\\inetpub\\wwwroot\\", "(A;OICI;FA;;;BA)(A;;FR;;;BU)",
                    PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), "(A;OICI;FA;;;BA)(A;;FR;;;BU)");
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot\\index.htm"), "(A;ID;FA;;;BA)");
  EXPECT_NE(SddlFile().find("\nfile C:\\inetpub\\wwwroot D:P(A;OICI;FA;;;BA)(A;;FR;;;BU)\n"),
            std::string::npos)
      << SddlFile();
}

TEST_F(NamedSecurityTest, UnprotectedListAddsWhatTheParentPassesOn) {
  ASSERT_EQ(SetDacl(u"C:\\inetpub\\wwwroot", "(A;OICI;FR;;;S-1-5-32-568)",
                    UNPROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"),
            std::string("(A;OICI;FR;;;S-1-5-32-568)") + kInheritedByFolder);
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot\\index.htm"),
            std::string("(A;ID;FR;;;S-1-5-32-568)") + kInheritedByFile);
}

TEST_F(NamedSecurityTest, ChangingAParentReachesWhatIsBelow) {
  ASSERT_EQ(SetDacl(u"C:\\inetpub", "(A;OICI;FA;;;BA)", PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot\\index.htm"), "(A;ID;FA;;;BA)");
  ASSERT_EQ(SetDacl(u"C:\\inetpub", "(A;CI;FA;;;SY)", PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), "(A;CIID;FA;;;SY)");
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot\\index.htm"), "");  // container-only entries
}

TEST_F(NamedSecurityTest, InheritanceFlagsFollowWindowsRules) {
  ASSERT_EQ(SetDacl(u"C:\\inetpub",
                    "(A;OI;0x1;;;BU)(A;CINP;0x2;;;BU)(A;OINP;0x4;;;BU)(A;OICIIO;0x8;;;BU)",
                    PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  // A folder passes object-only entries on to its files without using them.
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), "(A;OIIOID;0x1;;;BU)(A;ID;0x2;;;BU)(A;OICIID;0x8;;;BU)");
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot\\index.htm"), "(A;ID;0x1;;;BU)(A;ID;0x8;;;BU)");
}

TEST_F(NamedSecurityTest, WritingWithoutProtectionFlagKeepsTheProtection) {
  ASSERT_EQ(SetDacl(u"C:\\inetpub", "(A;OICI;FA;;;BA)", PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(SetDacl(u"C:\\inetpub", "(A;OICI;FA;;;SY)"), static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  EXPECT_EQ(Dacl(u"C:\\inetpub", SE_FILE_OBJECT, &control), "(A;OICI;FA;;;SY)");
  EXPECT_TRUE(control & SE_DACL_PROTECTED);

  ASSERT_EQ(SetDacl(u"C:\\inetpub\\wwwroot", "(A;;FR;;;BU)"), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot", SE_FILE_OBJECT, &control),
            "(A;;FR;;;BU)(A;OICIID;FA;;;SY)");
  EXPECT_FALSE(control & SE_DACL_PROTECTED);
}

TEST_F(NamedSecurityTest, InheritedEntriesHandedBackAreRecomputedOrKept) {
  // Read, add, write back: what was inherited is not stored twice...
  ASSERT_EQ(SetDacl(u"C:\\inetpub\\wwwroot", std::string("(A;;FR;;;WD)") + kInheritedByFolder,
                    UNPROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), std::string("(A;;FR;;;WD)") + kInheritedByFolder);
  // ...and protecting a list turns what it inherited into its own entries.
  ASSERT_EQ(SetDacl(u"C:\\inetpub\\wwwroot", std::string("(A;;FR;;;WD)") + kInheritedByFolder,
                    PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"),
            "(A;;FR;;;WD)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;;FA;;;BA)(A;OICIIO;GA;;;CO)"
            "(A;OICI;0x1200a9;;;BU)");
}

TEST_F(NamedSecurityTest, NullListGrantsEveryoneEverythingBelowToo) {
  std::u16string name = u"C:\\inetpub";
  ASSERT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  EXPECT_EQ(Dacl(u"C:\\inetpub", SE_FILE_OBJECT, &control), "null");
  EXPECT_TRUE(control & SE_DACL_PRESENT);
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), "null");
  EXPECT_NE(SddlFile().find("file C:\\inetpub D:NO_ACCESS_CONTROL\n"), std::string::npos);
}

TEST_F(NamedSecurityTest, ArgumentErrors) {
  EXPECT_EQ(SetDacl(u"C:\\inetpub", "(A;;FA;;;BA)",
                    PROTECTED_DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  std::u16string name = u"C:\\inetpub";
  EXPECT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_EQ(GetNamedSecurityInfoW(u"C:\\inetpub", SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetNamedSecurityInfoW(u"PRINTER1", SE_PRINTER, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(SetDacl(u"MACHINE\\SOFTWARE\\a\nfile C:\\x D:", "(A;;FA;;;BA)", 0, SE_REGISTRY_KEY),
            static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(SddlFile(), "");
}

TEST_F(NamedSecurityTest, OwnerIsWrittenAndReadBack) {
  quaver::test::TestSid system("SY");
  std::u16string name = u"C:\\inetpub";
  ASSERT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, system,
                                  nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(u"C:\\inetpub", SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                  &owner, nullptr, nullptr, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(SidText(owner), "S-1-5-18");
  LocalFree(descriptor);
  EXPECT_NE(SddlFile().find("file C:\\inetpub O:SY\n"), std::string::npos) << SddlFile();
}

TEST_F(NamedSecurityTest, AnsiNamesUseTheAnsiCodePage) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\inetpub\\caf\u00e9", nullptr));
  char name[] = "C:\\inetpub\\caf\xe9";
  TestAcl acl("(A;;FA;;;BA)");
  ASSERT_EQ(SetNamedSecurityInfoA(name, SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, acl.get(), nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\caf\u00e9"), "(A;;FA;;;BA)");
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(name, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(AclText(dacl), "(A;;FA;;;BA)");
  LocalFree(descriptor);
  EXPECT_NE(SddlFile().find("file C:\\inetpub\\caf\xc3\xa9 D:P(A;;FA;;;BA)\n"), std::string::npos);
}

TEST_F(NamedSecurityTest, SddlFileIsSortedAndNamesKeepTheirSpaces) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Program Files\\Corvane", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Program Files\\Corvane\\Quaver", nullptr));
  ASSERT_EQ(SetDacl(u"C:\\Program Files\\Corvane\\Quaver", "(A;OICI;FA;;;BA)",
                    PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(SetDacl(u"C:\\inetpub", "(A;OICI;FA;;;BA)", PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));
  std::string text = SddlFile();
  size_t inetpub = text.find("file C:\\inetpub D:P(A;OICI;FA;;;BA)\n");
  size_t quaver = text.find("file C:\\Program Files\\Corvane\\Quaver D:P(A;OICI;FA;;;BA)\n");
  ASSERT_NE(inetpub, std::string::npos) << text;
  ASSERT_NE(quaver, std::string::npos) << text;
  EXPECT_LT(inetpub, quaver);
  EXPECT_EQ(Dacl(u"C:\\Program Files\\Corvane\\Quaver"), "(A;OICI;FA;;;BA)");
}

TEST_F(NamedSecurityTest, HandWrittenLinesAreRead) {
  image.WriteHostFile(
      "security.sddl",
      "# written by hand\r\n\r\nfile c:\\INETPUB\\wwwroot D:PAI(A;OICI;FRFX;;;BU)\r\n");
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), "(A;OICI;0x1200a9;;;BU)");
}

TEST_F(NamedSecurityTest, MalformedLinesNameFileAndLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"# header\nfolder C:\\x D:P\n", "security.sddl:2: unknown object kind 'folder'"},
      {"file C:\\x\n", "security.sddl:1: expected"},
      {"file C:\\x D:(A;;FA;;;XX)\n", "security.sddl:1: unknown account 'XX'"},
      {"file C:\\x D:P\nfile c:\\X O:BA\n", "security.sddl:2: the object appears twice"},
      // Replacing the byte would rename the object when the file is next written.
      {"file C:\\x D:P\nfile C:\\caf\xE9 D:P\n", "security.sddl:2: the name is not valid UTF-8"},
  };
  for (const Case& c : cases) {
    image.WriteHostFile("security.sddl", c.text);
    EXPECT_EQ(Dacl(u"C:\\inetpub"), "error 1358") << c.text;
    EXPECT_EQ(winsec::LastStoreError().rfind(c.error, 0), 0u) << winsec::LastStoreError();
  }
}

// With the access lists unreadable, what would have to record or read a list
// fails with the code of a damaged security database and leaves nothing
// behind; a removal still removes, as the object is gone whatever the lists
// say.
TEST_F(NamedSecurityTest, UnreadableAccessListsFailCreationButNotRemoval) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\inetpub\\old", nullptr));
  const std::filesystem::path file = image.Root() / "security.sddl";
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  constexpr DWORD kSentinel = 0xDEADBEEF;
  struct Call {
    const char* name;
    std::function<DWORD()> run;
  };
  const Call calls[] = {
      {"CreateDirectoryW",
       [] { return CreateDirectoryW(u"C:\\inetpub\\new", nullptr) ? 0 : GetLastError(); }},
      {"CreateFileW",
       [] {
         HANDLE h = CreateFileW(u"C:\\inetpub\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
         if (h == INVALID_HANDLE_VALUE) return GetLastError();
         CloseHandle(h);
         return DWORD{0};
       }},
      {"CreateSymbolicLinkW",
       [] {
         return CreateSymbolicLinkW(u"C:\\inetpub\\new.lnk", u"C:\\inetpub\\wwwroot",
                                    SYMBOLIC_LINK_FLAG_DIRECTORY)
                    ? 0
                    : GetLastError();
       }},
      {"GetNamedSecurityInfoW",
       [this] { return Dacl(u"C:\\inetpub") == "error 1358" ? 1358u : 0u; }},
      {"SetNamedSecurityInfoW", [this] { return SetDacl(u"C:\\inetpub", "(A;;FA;;;BA)"); }},
  };
  for (const Call& call : calls) {
    SetLastError(kSentinel);
    EXPECT_EQ(call.run(), static_cast<DWORD>(ERROR_INTERNAL_DB_CORRUPTION)) << call.name;
    EXPECT_NE(winsec::LastStoreError().find("security.sddl"), std::string::npos)
        << call.name << ": " << winsec::LastStoreError();
  }
  for (const char* name : {"new", "new.txt", "new.lnk"}) {
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::symlink_status(image.DriveC() / "inetpub" / name)))
        << name;
  }
  EXPECT_TRUE(DeleteFileW(u"C:\\inetpub\\wwwroot\\index.htm"));
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\inetpub\\old"));
}

TEST_F(NamedSecurityTest, CreationRecordsAndDeletionForgets) {
  TestAcl acl("(A;OICI;FA;;;BA)");
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl.get(), FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, TRUE};
  ASSERT_EQ(winsec::RecordNewObjectSecurity(winsec::ObjectKind::File, u"C:\\inetpub\\wwwroot",
                                            &attributes),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), std::string("(A;OICI;FA;;;BA)") + kInheritedByFolder);
  ASSERT_EQ(SetDacl(u"C:\\inetpub\\wwwroot\\index.htm", "(A;;FR;;;BU)",
                    PROTECTED_DACL_SECURITY_INFORMATION),
            static_cast<DWORD>(ERROR_SUCCESS));

  winsec::ForgetObjectSecurity(winsec::ObjectKind::File, u"C:\\INETPUB\\wwwroot");
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot"), kInheritedByFolder);
  EXPECT_EQ(Dacl(u"C:\\inetpub\\wwwroot\\index.htm"), kInheritedByFile);

  BYTE bad[4] = {7, 0, 0, 0};
  attributes.lpSecurityDescriptor = bad;
  EXPECT_EQ(winsec::RecordNewObjectSecurity(winsec::ObjectKind::File, u"C:\\inetpub\\wwwroot",
                                            &attributes),
            static_cast<DWORD>(ERROR_INVALID_SECURITY_DESCR));
}

TEST_F(NamedSecurityTest, RegistryKeysHaveListsToo) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Corvane\\Quaver", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Dacl(u"MACHINE\\SOFTWARE\\Corvane", SE_REGISTRY_KEY),
            "(A;CIID;KA;;;BA)(A;CIID;KA;;;SY)(A;ID;KA;;;BA)(A;CIIOID;GA;;;CO)(A;CIID;KR;;;BU)");
  ASSERT_EQ(SetDacl(u"MACHINE\\Software\\Corvane\\Quaver", "(A;CI;GA;;;BA)",
                    PROTECTED_DACL_SECURITY_INFORMATION, SE_REGISTRY_KEY),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"MACHINE\\SOFTWARE\\CORVANE\\QUAVER", SE_REGISTRY_KEY), "(A;CI;GA;;;BA)");
  EXPECT_NE(SddlFile().find("key MACHINE\\Software\\Corvane\\Quaver D:P(A;CI;GA;;;BA)\n"),
            std::string::npos)
      << SddlFile();
  EXPECT_EQ(Dacl(u"HKEY_LOCAL_MACHINE\\SOFTWARE", SE_REGISTRY_KEY),
            "error " + std::to_string(ERROR_INVALID_PARAMETER));
}

}  // namespace
