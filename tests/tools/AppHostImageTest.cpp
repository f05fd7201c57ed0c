// The application host that `create --iis 7|7.5|8.5|10` writes, read and
// changed through IISHelper as the setup does.
#include <gtest/gtest.h>

#include <string>

#include "iis/IISHelper.h"
#include "platform/text.h"
#include "tests/support/TempMachine.h"
#include "tools/quaver-machine/AppHostImage.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace quaver::test {
namespace {

constexpr char kConfigFile[] = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
constexpr char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";
const char* const kVersions[] = {"7", "7.5", "8.5", "10"};

std::string Utf8(const CSPWString& text) {
  return machine::ToUtf8(std::u16string_view(text.GetString(), text.GetLength()));
}

// A temporary image made as `quaver-machine create --iis VERSION` makes it.
class CreatedImage : public TempMachine {
 public:
  explicit CreatedImage(const std::string& version) {
    quaver_machine::RunCreateHooks({Root(), version});
  }
  std::string Config() const { return ReadHostFile(kConfigFile); }
};

void Connect(IISHelper& iis) {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  ASSERT_TRUE(iis.OpenConfigPath(kAppHostPath));
}

std::string PoolText(IISHelper& iis, const char16_t* pool, const char16_t* child,
                     const char16_t* attribute) {
  CSPWString value;
  if (!iis.OpenSection(u"system.applicationHost/applicationPools", u"") ||
      !iis.FindElement(pool, u"add", u"name", 0) || !iis.EnterElement() ||
      (child != nullptr && !iis.EnterChildElement(child)) ||
      !iis.GetSectionPropertyString(attribute, value)) {
    return "<unreadable>";
  }
  return Utf8(value);
}

// The setup's round trip on a fresh server: what it adds for the product
// and removes again on uninstall leaves the file byte for byte as it was.
TEST(CreatedAppHost, AddingAndRemovingEverywhereLeavesTheFileAsItWas) {
  for (const char* version : kVersions) {
    SCOPED_TRACE(std::string("IIS ") + version);
    CreatedImage image(version);
    const std::string before = image.Config();
    ASSERT_NE(before.find("<globalModules>"), std::string::npos);
    {
      IISHelper iis;
      Connect(iis);
      CSPMap<CSPWString, CSPWString> sites;
      ASSERT_TRUE(iis.GetSiteNames(sites));
      const CSPWString* site = sites.Lookup(u"1");
      ASSERT_NE(site, nullptr);
      ASSERT_TRUE(
          iis.AddGlobalModule(u"QuaverModule", u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll"));
      ASSERT_TRUE(iis.AddModule(u"QuaverModule", *site));
      ASSERT_TRUE(iis.AddHandler(u"Quaver", u"QuaverModule", u"*.qv", u"", u"", u""));
      ASSERT_TRUE(iis.AddHandler(u"QuaverSite", u"QuaverModule", u"", u"GET", u"Read", *site));
      ASSERT_TRUE(iis.Save(IISHelper::SaveAll));
    }
    const std::string installed = image.Config();
    EXPECT_NE(installed, before);
    EXPECT_NE(installed.find("<location path=\"Default Web Site\">"), std::string::npos);
    {
      IISHelper iis;
      Connect(iis);
      ASSERT_TRUE(iis.RemoveHandlerEverywhere(u"QuaverSite"));
      ASSERT_TRUE(iis.RemoveHandlerEverywhere(u"Quaver"));
      ASSERT_TRUE(iis.RemoveModuleEverywhere(u"QuaverModule"));
      ASSERT_TRUE(iis.RemoveGlobalModule(u"QuaverModule"));
      ASSERT_TRUE(iis.Save(IISHelper::SaveAll));
    }
    EXPECT_EQ(image.Config(), before);
  }
}

TEST(CreatedAppHost, PoolsCarryTheirVersionsRuntimeAndIdentity) {
  struct Case {
    const char* version;
    const char* runtime;
    const char* identity;
  };
  const Case cases[] = {
      {"7", "v2.0", "NetworkService"},
      {"7.5", "v2.0", "ApplicationPoolIdentity"},
      {"8.5", "v4.0", "ApplicationPoolIdentity"},
      {"10", "v4.0", "ApplicationPoolIdentity"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("IIS ") + c.version);
    CreatedImage image(c.version);
    IISHelper iis;
    Connect(iis);
    EXPECT_EQ(PoolText(iis, u"DefaultAppPool", nullptr, u"managedRuntimeVersion"), c.runtime);
    EXPECT_EQ(PoolText(iis, u"DefaultAppPool", u"processModel", u"identityType"), c.identity);
    EXPECT_EQ(PoolText(iis, u"IntranetPool", u"processModel", u"identityType"), "NetworkService");
    EXPECT_EQ(PoolText(iis, u"ShopPool", nullptr, u"managedRuntimeVersion"), "");
  }
}

// Every website's root directory exists, also where it is written with
// %SystemDrive%, and every section the file sets is declared.
TEST(CreatedAppHost, WebsitesPointAtFoldersThatExist) {
  CreatedImage image("10");
  IISHelper iis;
  Connect(iis);
  CSPList<IISHelper::Site> sites;
  ASSERT_TRUE(iis.GetSites(sites));
  ASSERT_EQ(sites.GetCount(), 2u);
  ASSERT_TRUE(iis.OpenSection(u"system.applicationHost/sites", u""));
  for (uint32_t i = 0; i < sites.GetCount(); ++i) {
    CSPWString root;
    ASSERT_TRUE(iis.GetAppHostSiteRoot(sites.GetAt(i).name, root));
    const DWORD attributes = GetFileAttributesW(root);
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << Utf8(root);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << Utf8(root);
  }
  EXPECT_NE(image.Config().find("physicalPath=\"%SystemDrive%\\inetpub\\wwwroot\""),
            std::string::npos);
  for (const char16_t* section :
       {u"system.webServer/isapiFilters", u"system.webServer/fastCgi",
        u"system.webServer/security/isapiCgiRestriction", u"system.webServer/handlers",
        u"system.webServer/globalModules", u"system.webServer/modules"}) {
    EXPECT_TRUE(iis.OpenSection(section, u"")) << Utf8(section);
  }
  EXPECT_EQ(image.Config().find("\n\n"), std::string::npos) << "lines end in CRLF";
}

TEST(CreatedAppHost, PhpRunsThroughFastCgi) {
  TempMachine image;
  quaver_machine::RunCreateHooks({image.Root(), "8.5"});
  quaver_machine::InstallAppHost({"8.5", "C:\\Tools\\PHP"});
  IISHelper iis;
  Connect(iis);
  CSPWString text;
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/fastCgi", u""));
  ASSERT_TRUE(iis.FindElement(u"C:\\Tools\\PHP\\php-cgi.exe", u"application", u"fullPath", 0));
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/handlers", u"Default Web Site"));
  ASSERT_TRUE(iis.FindElement(u"*.php", u"add", u"path", 0));
  ASSERT_TRUE(iis.GetElementPropertyString(u"scriptProcessor", text));
  EXPECT_EQ(Utf8(text), "C:\\Tools\\PHP\\php-cgi.exe");
  ASSERT_TRUE(iis.GetElementPropertyString(u"modules", text));
  EXPECT_EQ(Utf8(text), "FastCgiModule");
  const std::string ini = image.ReadHostFile("drive_c/Tools/PHP/php.ini");
  EXPECT_EQ(ini.rfind("[PHP]\r\n", 0), 0u);
  EXPECT_NE(ini.find("\r\nauto_prepend_file =\r\n"), std::string::npos);
  EXPECT_NE(image.ReadHostFile("drive_c/Tools/PHP/php-cgi.exe"), "");
}

TEST(CreatedAppHost, VersionsWithoutApplicationHostAreRefused) {
  for (const char* version : {"6", "", "8"}) {
    EXPECT_THROW(quaver_machine::AppHostConfigText({version, ""}), quaver_machine::CommandError)
        << version;
  }
}

}  // namespace
}  // namespace quaver::test
