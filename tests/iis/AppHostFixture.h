// A server with the application host for the IISHelper tests: the
// configuration below written to applicationHost.config, an IISHelper
// connected for writing with the configuration file open, and a reader that
// looks at what the file holds through an admin manager of its own.
//
//   TEST_F(AppHostFixture, Something) {
//     Open();
//     ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Shop"));
//     Save();
//     EXPECT_EQ(Entries("system.webServer/modules", "Shop"), (Names{...}));
//   }
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iis/IISHelper.h"
#include "tests/iis/IisTestImage.h"

namespace quaver::test {

using Names = std::vector<std::string>;

// Three websites (IDs 1, 2 and 10), server-level modules and handlers in
// <location path="">, a website with handlers and a filter of its own, and
// restrictions of which two share a group. Four-space indentation, LF.
extern const char kServerConfig[];

inline constexpr char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";

class AppHostFixture : public ::testing::Test {
 protected:
  void SetUp() override { image.InstallAppHost(kServerConfig); }

  // Connects for writing and opens MACHINE/WEBROOT/APPHOST.
  void Open();
  void Save() { ASSERT_TRUE(iis.Save(IISHelper::SaveAppHost)); }

  // One attribute of every entry of the section's collection as a website
  // (or the server level, "") sees it, read from the file as it is now;
  // "<failed>" when the section cannot be read.
  static Names Entries(const std::string& section, const std::string& location,
                       const std::string& attribute = "name");
  // One attribute of the entry whose "name" is `name`; "<none>" without one.
  static std::string Attribute(const std::string& section, const std::string& location,
                               const std::string& name, const std::string& attribute);
  // The entry's "lockItem" metadata.
  static bool Locked(const std::string& section, const std::string& location,
                     const std::string& name);

  IisTestImage image{10, false};
  IISHelper iis;
};

// Text of the current element's or section's attribute through IISHelper.
std::string ElementText(IISHelper& iis, const char16_t* attribute);
std::string Utf8(const CSPWString& text);

}  // namespace quaver::test
