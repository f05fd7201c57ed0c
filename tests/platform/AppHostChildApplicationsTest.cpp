// inheritInChildApplications="false" on a website's location: the website
// and its folders see the settings, its applications do not.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/AppHostTestSupport.h"

namespace quaver::test {
namespace {

using Names = std::vector<std::string>;

std::string ConfigWithChildApplication() {
  std::string config = kSmallConfig;
  const std::string shopRoot = R"(<virtualDirectory path="/" physicalPath="C:\Sites\Shop" />
                </application>)";
  const size_t at = config.find(shopRoot);
  EXPECT_NE(at, std::string::npos);
  config.insert(at + shopRoot.size(), R"(
                <application path="/cart">
                    <virtualDirectory path="/" physicalPath="C:\Sites\Cart" />
                </application>)");
  const std::string shopLocation = R"(<location path="Shop">)";
  config.replace(config.find(shopLocation), shopLocation.size(),
                 R"(<location path="Shop" inheritInChildApplications="false">)");
  return config;
}

class AppHostChildApplications : public AppHostTest {
 protected:
  void SetUp() override {
    WriteConfig(ConfigWithChildApplication());
    NewManager(manager);
  }
  Names Handlers(std::string_view path) {
    Ref<IAppHostElement> element;
    EXPECT_EQ(SiteSection(manager.get(), "system.webServer/handlers", path, element), S_OK);
    return element ? EntryTexts(element.get(), "name") : Names{"<no section>"};
  }

  Ref<IAppHostWritableAdminManager> manager;
};

TEST_F(AppHostChildApplications, WebsiteSettingsStopAtItsApplications) {
  const Names server{"ISAPI-dll", "StaticFile"};
  const Names shop{"PHP", "ISAPI-dll", "StaticFile"};
  EXPECT_EQ(Handlers("Shop"), shop);
  EXPECT_EQ(Handlers("Shop/images"), shop);  // a folder of the website's own application
  EXPECT_EQ(Handlers("Shop/cart"), server);
  EXPECT_EQ(Handlers("Shop/cart/items"), server);
  EXPECT_EQ(Handlers("Default Web Site"), server);
}

}  // namespace
}  // namespace quaver::test
