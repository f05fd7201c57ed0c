// The document's list of locations stays right while tags come and go: it is
// worked out once and then kept up to date by the document's own changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/apphost/ConfigDocument.h"

namespace quaver::test {
namespace {

using Names = std::vector<std::string>;

constexpr char kConfig[] = R"(<configuration>
    <system.webServer>
        <handlers />
    </system.webServer>
    <location path="Shop">
        <system.webServer>
            <handlers />
        </system.webServer>
    </location>
    <location path="/blog/">
        <system.webServer>
            <handlers />
        </system.webServer>
    </location>
    <location path="shop">
        <system.webServer>
            <modules />
        </system.webServer>
    </location>
    <location path="Blog/app">
        <system.webServer>
            <handlers />
        </system.webServer>
    </location>
</configuration>
)";

class LocationIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(document.Parse(kConfig, error)) << error;
  }
  // Where the handlers section is defined for `location`, shallowest first.
  Names HandlerScopes(const std::string& location) const {
    Names scopes;
    for (const auto& definition : document.DefinitionsFor("system.webServer/handlers", location)) {
      scopes.push_back(definition.location);
    }
    return scopes;
  }

  apphost::ConfigDocument document;
};

TEST_F(LocationIndex, PathsAndDefinitionsMatchWithoutRegardToCase) {
  EXPECT_EQ(document.LocationPaths(), (Names{"", "Shop", "blog", "Blog/app"}));
  EXPECT_EQ(document.LocationTags("SHOP").size(), 2u);
  ASSERT_NE(document.FindLocationPath("/BLOG"), nullptr);
  EXPECT_EQ(*document.FindLocationPath("/BLOG"), "blog");
  EXPECT_EQ(HandlerScopes("BLOG/App/x"), (Names{"", "blog", "Blog/app"}));
  EXPECT_EQ(HandlerScopes("Shopping"), (Names{""}));
}

TEST_F(LocationIndex, RemovedAndAddedTagsShowAtOnce) {
  document.LocationPaths();  // worked out before the changes
  document.RemoveLocationTags("shop");
  EXPECT_EQ(document.LocationPaths(), (Names{"", "blog", "Blog/app"}));
  EXPECT_EQ(document.FindLocationPath("Shop"), nullptr);
  document.LocationTag("New/Site", true);
  EXPECT_EQ(document.LocationPaths(), (Names{"", "blog", "Blog/app", "New/Site"}));
  document.OwnDefinition("system.webServer/handlers", "new/site", true);
  EXPECT_EQ(HandlerScopes("New/Site"), (Names{"", "New/Site"}));
}

TEST_F(LocationIndex, PrunedTagLeavesTheList) {
  EXPECT_EQ(HandlerScopes("blog"), (Names{"", "blog"}));
  const auto definitions = document.DefinitionsAt("system.webServer/handlers", "blog");
  ASSERT_EQ(definitions.size(), 1u);
  document.RemoveAndPrune(definitions.front().node);
  EXPECT_EQ(document.LocationPaths(), (Names{"", "Shop", "Blog/app"}));
  EXPECT_EQ(HandlerScopes("blog/app"), (Names{"", "Blog/app"}));
  EXPECT_EQ(document.Serialize().find("/blog/"), std::string::npos);
}

}  // namespace
}  // namespace quaver::test
