// Connecting to IIS: the version gate, which connections exist afterwards,
// and COM initialisation staying balanced.
#include <gtest/gtest.h>

#include "iis/IISHelper.h"
#include "tests/iis/IisTestImage.h"

namespace {

using quaver::test::IisTestImage;

// After every IISHelper has disconnected, the thread's COM is back to
// uninitialised: a fresh initialisation answers S_OK, not S_FALSE.
void ExpectComUninitialised() {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  CoUninitialize();
}

TEST(IISHelperConnect, WithoutInetStpMakesNoConnection) {
  IisTestImage image(0);
  IISHelper iis;
  EXPECT_FALSE(iis.Connect(IISHelper::ConnectMetabase));
  EXPECT_EQ(iis.GetConnections(), 0u);
  EXPECT_EQ(iis.GetMajorVersion(), 0u);
  ExpectComUninitialised();
}

TEST(IISHelperConnect, MajorVersionThatIsNotADwordFails) {
  IisTestImage image(0);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\InetStp", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char16_t text[] = u"6";
  RegSetValueExW(key, u"MajorVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  uint32_t version = 99;
  EXPECT_FALSE(IISHelper::ReadIISMajorVersion(version));
  IISHelper iis;
  EXPECT_FALSE(iis.Connect(IISHelper::ConnectMetabase));
}

TEST(IISHelperConnect, MetabaseOnIis6) {
  IisTestImage image(6);
  image.WriteDefaultMetabase();
  {
    IISHelper iis;
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
    EXPECT_EQ(iis.GetConnections(), IISHelper::ConnectMetabase);
    EXPECT_EQ(iis.GetMajorVersion(), 6u);
    EXPECT_TRUE(iis.Disconnect(IISHelper::ConnectMetabase));
    EXPECT_EQ(iis.GetConnections(), 0u);
    EXPECT_FALSE(iis.Disconnect(IISHelper::ConnectMetabase));
  }
  ExpectComUninitialised();
}

TEST(IISHelperConnect, AppHostOnIis6KeepsTheMetabaseConnection) {
  IisTestImage image(6);
  image.WriteDefaultMetabase();
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  EXPECT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  EXPECT_EQ(iis.GetConnections(), IISHelper::ConnectMetabase);
}

TEST(IISHelperConnect, AppHostAloneOnIis6Fails) {
  IisTestImage image(6);
  {
    IISHelper iis;
    EXPECT_FALSE(iis.Connect(IISHelper::ConnectAppHost));
    EXPECT_EQ(iis.GetConnections(), 0u);
  }
  ExpectComUninitialised();
}

TEST(IISHelperConnect, Iis7WithoutCompatibilityOffersNoMetabase) {
  IisTestImage image(7, false);
  IISHelper iis;
  EXPECT_FALSE(iis.Connect(IISHelper::ConnectMetabase));
  EXPECT_EQ(iis.GetConnections(), 0u);
  EXPECT_EQ(iis.GetMajorVersion(), 7u);
}

TEST(IISHelperConnect, ThreadInAnotherApartmentCannotConnect) {
  IisTestImage image(6);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  IISHelper iis;
  EXPECT_FALSE(iis.Connect(IISHelper::ConnectMetabase));
  CoUninitialize();
}

// The caller's own COM initialisation survives the helper's connect and
// disconnect (COM was already initialised: S_FALSE counts as success).
TEST(IISHelperConnect, CallerInitialisedComStaysInitialised) {
  IisTestImage image(6);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  {
    IISHelper iis;
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  }
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  ExpectComUninitialised();
}

TEST(IISHelperConnect, PrimitivesNeedAConnectionAndAnOpenKey) {
  IisTestImage image(6);
  image.WriteDefaultMetabase();
  IISHelper iis;
  CSPWString value;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  EXPECT_FALSE(iis.OpenKey(u"/LM/W3SVC"));
  EXPECT_FALSE(iis.Save(IISHelper::SaveAll));
  EXPECT_FALSE(iis.Backup(u"b"));
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  EXPECT_FALSE(iis.GetStringData(MD_KEY_TYPE, value, attributes, userType, u""));
  EXPECT_FALSE(iis.AddKey(u"x"));
  EXPECT_FALSE(iis.CloseKey());
}

}  // namespace
