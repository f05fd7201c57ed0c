// Two processes changing one image's metabase at the same time lose
// nothing: each writes its own keys, one saved change after another, and
// the file ends up holding all of them. The writers are this test program
// run again with a role in the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/machine.h"
#include "platform/metabase/AdminBase.h"
#include "platform/metabase/DefaultMetabase.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

constexpr char kRole[] = "QUAVER_METABASE_RACE_ROLE";
constexpr int kChanges = 40;

std::u16string KeyName(const std::string& role, int i) {
  return machine::FromUtf8(role + std::to_string(i));
}

// One writer: adds a key with a server comment under /LM/W3SVC and closes
// the key after each, so that every change is written on its own.
TEST(MetabaseRace, Writer) {
  const char* role = std::getenv(kRole);
  if (role == nullptr) GTEST_SKIP() << "run by MetabaseRace.TwoProcessesLoseNothing";
  ASSERT_TRUE(machine::SelectMachineFromEnvironment());
  void* object = nullptr;
  ASSERT_EQ(metabase::CreateAdminBase(IID_IMSAdminBase_W, &object), S_OK);
  auto* admin = static_cast<IMSAdminBaseW*>(object);
  for (int i = 0; i < kChanges; ++i) {
    METADATA_HANDLE handle = 0;
    ASSERT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC",
                             METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE, 3000, &handle),
              S_OK);
    const std::u16string name = KeyName(role, i);
    ASSERT_EQ(admin->AddKey(handle, name.c_str()), S_OK);
    METADATA_RECORD record{MD_SERVER_COMMENT,
                           0,
                           IIS_MD_UT_SERVER,
                           STRING_METADATA,
                           static_cast<DWORD>((name.size() + 1) * 2),
                           reinterpret_cast<unsigned char*>(const_cast<char16_t*>(name.c_str())),
                           0};
    ASSERT_EQ(admin->SetData(handle, name.c_str(), &record), S_OK);
    ASSERT_EQ(admin->CloseKey(handle), S_OK);
  }
  admin->Release();
}

TEST(MetabaseRace, TwoProcessesLoseNothing) {
  quaver::test::TempMachine image;
  image.WriteHostFile("drive_c/Windows/System32/inetsrv/MetaBase.xml",
                      metabase::SerializeMetabaseXml(*metabase::DefaultIis6Metabase(u"WEBSRV01")));
  const std::string self = ::testing::internal::GetArgvs().front();
  auto run = [&](const std::string& role) {
    const std::string command = std::string(kRole) + "=" + role + " QUAVER_MACHINE='" +
                                image.Root().string() + "' '" + self +
                                "' --gtest_filter=MetabaseRace.Writer > /dev/null 2>&1";
    return std::system(command.c_str());
  };
  int first = -1;
  int second = -1;
  std::thread a([&] { first = run("A"); });
  std::thread b([&] { second = run("B"); });
  a.join();
  b.join();
  ASSERT_EQ(first, 0);
  ASSERT_EQ(second, 0);

  const auto root = metabase::ParseMetabaseXml(
      image.ReadHostFile("drive_c/Windows/System32/inetsrv/MetaBase.xml"), "MetaBase.xml");
  const metabase::Key* w3svc = root->FindChild(u"LM")->FindChild(u"W3SVC");
  int missing = 0;
  for (const char* role : {"A", "B"}) {
    for (int i = 0; i < kChanges; ++i) {
      const metabase::Key* key = w3svc->FindChild(KeyName(role, i));
      const metabase::Property* comment =
          key == nullptr ? nullptr : key->FindProperty(MD_SERVER_COMMENT);
      if (comment == nullptr || metabase::DecodeString(comment->data) != KeyName(role, i)) {
        ++missing;
      }
    }
  }
  EXPECT_EQ(missing, 0);
  // The websites the file held before are all still there.
  EXPECT_NE(w3svc->FindChild(u"3"), nullptr);
}

}  // namespace
