// A temporary machine image with IIS: the InetStp version in the registry,
// the metabase class registered, and a metabase written from XML, plus
// readers that look at the metabase file behind IISHelper's back. IIS 7 and
// later images get the application host with InstallAppHost.
//
//   IisTestImage image(6);
//   image.WriteMetabase(R"(<Key name="LM"><Key name="W3SVC">...</Key></Key>)");
//   EXPECT_EQ(image.Text("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), "a,q");
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/metabase/MetabaseKey.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {

class IisTestImage : public TempMachine {
 public:
  // majorVersion 0 leaves InetStp out; registerMetabase false leaves the
  // metabase class unregistered (an IIS 7 server without compatibility).
  explicit IisTestImage(uint32_t majorVersion = 6, bool registerMetabase = true);

  // Replaces the metabase by <Metabase> + keys + </Metabase>.
  void WriteMetabase(std::string_view keys) const;
  // Writes the metabase a new IIS 6 image gets.
  void WriteDefaultMetabase() const;
  std::string MetabaseFile() const;  // the file's bytes

  // Registers the application-host admin managers and writes
  // applicationHost.config.
  void InstallAppHost(std::string_view config) const;
  void WriteAppHostConfig(std::string_view config) const;
  std::string AppHostConfig() const;  // the file's bytes

  // What the file holds now; empty texts and lists when absent.
  bool Has(std::string_view path, DWORD id) const;
  bool HasKey(std::string_view path) const;
  std::string Text(std::string_view path, DWORD id) const;
  std::vector<std::string> List(std::string_view path, DWORD id) const;
  DWORD Dword(std::string_view path, DWORD id) const;
  DWORD Attributes(std::string_view path, DWORD id) const;
  DWORD UserType(std::string_view path, DWORD id) const;

 private:
  std::unique_ptr<metabase::Key> Load() const;
  const metabase::Property* Find(const metabase::Key& root, std::string_view path, DWORD id) const;
};

inline constexpr char kAppHostConfigFile[] =
    "drive_c/Windows/System32/inetsrv/config/applicationHost.config";

// One string property of the fixture XML.
std::string StringProperty(DWORD id, std::string_view value, std::string_view userType = "Server",
                           std::string_view attributes = "");
std::string ListProperty(DWORD id, const std::vector<std::string>& values,
                         std::string_view userType = "File",
                         std::string_view attributes = "Inherit");

}  // namespace quaver::test
