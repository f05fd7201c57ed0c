// Script execution and the PHP integration: which PHP folders IIS uses, the
// script written into each and the php.ini edit, on synthetic and real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "iis/IISHelper.h"
#include "platform/win.h"
#include "tests/setup/SetupTestSupport.h"

namespace quaver::test {
namespace {

using Strings = std::vector<std::string>;

const char kScript[] =
    "<?php\r\nif( isset( $_SERVER[ 'HTTP_X_ORIGINAL_URL' ] ) )\r\n{\r\n"
    "\t$_SERVER[ 'REQUEST_URI' ] = $_SERVER[ 'HTTP_X_ORIGINAL_URL' ];\r\n}\r\n?>";
const char kAppHostFile[] = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";

Strings Cleaned(const std::vector<const char16_t*>& paths) {
  CSPList<CSPString> list;
  for (const char16_t* path : paths) CleanPhpPath(path, list);
  Strings result;
  for (uint32_t i = 0; i < list.GetCount(); ++i) result.emplace_back(list.GetAt(i).GetString());
  return result;
}

TEST(CleanPhpPath, QuotesSlashesVariablesAndCase) {
  TempMachine image;
  EXPECT_EQ(Cleaned({u"\"C:/Program Files/PHP/php-cgi.exe\"", u"%SystemDrive%\\PHP5\\PHP.EXE",
                     u"php-cgi.exe", u"\\php.exe", u"C:\\"}),
            (Strings{"c:\\program files\\php\\", "c:\\php5\\", "c:\\"}));
}

// One server with PHP in C:\PHP whose php.ini the test writes.
class PhpIni : public SetupCoreTest {
 protected:
  PhpIni() : SetupCoreTest("6") { WriteRegistryText(u"Software\\PHP", u"InstallDir", u"C:\\PHP"); }
  std::string Integrate(const std::string& ini) {
    image.WriteHostFile("drive_c/PHP/php.ini", ini);
    IISHelper iis;
    core.IntegratePhp(iis);
    return image.ReadHostFile("drive_c/PHP/php.ini");
  }
};

const std::string kLine = "auto_prepend_file = \"c:\\php\\request_uri.php\"\r\n";

TEST_F(PhpIni, DirectivePlacement) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"ActiveAndCommented", "[PHP]\r\na=1\r\nauto_prepend_file = x\r\n;auto_prepend_file = y\r\n",
       "[PHP]\r\na=1\r\n;auto_prepend_file = x\r\n" + kLine + ";auto_prepend_file = y\r\n"},
      {"CommentedFirst", ";auto_prepend_file = y\nauto_prepend_file = x\n",
       ";auto_prepend_file = y\n" + kLine + ";auto_prepend_file = x\n"},
      {"AfterPhpSection", "; top\r\n[PHP]\r\nengine = On\r\n",
       "; top\r\n[PHP]\r\n" + kLine + "engine = On\r\n"},
      {"AtTheTop", "engine = On\r\n", kLine + "engine = On\r\n"},
      {"DirectiveOnLastLineWithoutEnd",
       "a\nauto_prepend_file =", kLine + "a\n;auto_prepend_file ="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Integrate(c.before), c.after) << c.name;
  }
  EXPECT_EQ(image.ReadHostFile("drive_c/PHP/request_uri.php"), kScript);
}

TEST_F(PhpIni, SecondRunKeepsOneActiveDirectiveAndRewritesTheScript) {
  image.WriteHostFile("drive_c/PHP/request_uri.php", std::string(500, '#'));
  const std::string once = Integrate("[PHP]\nauto_prepend_file =\n");
  const std::string twice = Integrate(once);
  EXPECT_EQ(twice, "[PHP]\n;auto_prepend_file =\n" + kLine + ";" + kLine);
  EXPECT_EQ(image.ReadHostFile("drive_c/PHP/request_uri.php"), kScript);
}

// Every directive commented out once, the new line right after the first
// one, nothing else touched.
void ExpectEdited(const std::string& original, const std::string& edited) {
  const size_t first = original.find("auto_prepend_file");
  ASSERT_NE(first, std::string::npos);
  const size_t lineEnd = original.find('\n', first) + 1;
  std::string expected = original.substr(0, lineEnd) + kLine + original.substr(lineEnd);
  for (size_t at = expected.find("auto_prepend_file"); at != std::string::npos;
       at = expected.find("auto_prepend_file", at + 1)) {
    if (expected.compare(at, 20, "auto_prepend_file = ") == 0 &&
        expected.compare(at, kLine.size(), kLine) == 0) {
      continue;
    }
    if (at == 0 || expected[at - 1] != ';') expected.insert(at++, ";");
  }
  EXPECT_EQ(edited, expected);
}

TEST_F(PhpIni, RealFiles) {
  const char* shared = std::getenv("QUAVER_SHARED");
  if (shared == nullptr || !std::filesystem::exists(std::filesystem::path(shared) / "fixtures")) {
    GTEST_SKIP() << "no shared fixtures";
  }
  std::vector<std::filesystem::path> files = {std::filesystem::path(shared) /
                                              "fixtures/php.ini-production"};
  const auto corpus = std::filesystem::path(shared) / "corpus/phpini";
  if (std::filesystem::exists(corpus)) {
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
      files.push_back(entry.path());
    }
  }
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    ExpectEdited(bytes.str(), Integrate(bytes.str()));
  }
}

TEST_F(PhpIni, ScriptMapsOfIisSixAndTheRegistryGiveOneFolder) {
  // The shop's script map points at C:\PHP\php5isapi.dll; a second map in
  // another spelling names the same folder.
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.AddScriptMap(u"*.php", u"C:/php/php-cgi.exe", 5, u"GET", u"1/ROOT", false));
  ASSERT_TRUE(iis.AddScriptMap(u".phtml", u"C:\\Other\\php.exe", 5, u"GET", u"1/ROOT", false));
  iis.Disconnect(IISHelper::ConnectMetabase);
  CSPList<CSPString> found;
  core.FindPhpInMetabase(iis, found);
  Strings folders;
  for (uint32_t i = 0; i < found.GetCount(); ++i) folders.emplace_back(found.GetAt(i).GetString());
  EXPECT_EQ(folders, (Strings{"c:\\php\\", "c:\\php\\"}));
  EXPECT_EQ(Integrate("[PHP]\r\n"), "[PHP]\r\n" + kLine);  // handled once
}

// The FastCGI extension's settings file on an IIS 6 server, after the
// script maps; what the file adds comes after the server's own .php map.
class FastCgiSettings : public SetupCoreTest {
 protected:
  Strings Found(const std::string* settings) {
    if (settings != nullptr) image.WriteHostFile(kSettingsFile, *settings);
    IISHelper iis;
    CSPList<CSPString> found;
    core.FindPhpInMetabase(iis, found);
    Strings folders;
    for (uint32_t i = 0; i < found.GetCount(); ++i) {
      folders.emplace_back(found.GetAt(i).GetString());
    }
    return folders;
  }
  Strings Added(const std::string* settings) {
    const Strings folders = Found(settings);
    if (folders.empty() || folders.front() != "c:\\php\\") return {"<no script map first>"};
    return Strings(folders.begin() + 1, folders.end());
  }
  static constexpr char kSettingsFile[] = "drive_c/Windows/System32/inetsrv/FCGIEXT.ini";
};

TEST_F(FastCgiSettings, PhpTypeValues) {
  EXPECT_EQ(Added(nullptr), Strings{}) << "no settings file";
  struct Case {
    const char* name;
    std::string settings;
    Strings folders;
  };
  const Case cases[] = {
      {"Executable", "[Types]\r\nphp=C:\\PHP8\\php-cgi.exe\r\n", {"c:\\php8\\"}},
      {"NamesMatchWithoutCase", "[TYPES]\nPHP=D:/Php5/php-cgi.exe\n", {"d:\\php5\\"}},
      {"QuotedWithArguments",
       "[Types]\nphp=\"C:\\Program Files\\PHP\\php-cgi.exe\" -d x=1\n",
       {"c:\\program files\\php\\"}},
      {"EnvironmentReference", "[Types]\nphp = %SystemDrive%\\Php7\\php-cgi.exe\n", {"c:\\php7\\"}},
      {"SectionNameWithoutBackslash",
       "[Types]\nphp=PHP\n[PHP]\nExePath=c:\\php\\php-cgi.exe\n",
       {}},
      {"Empty", "[Types]\nphp=\n", {}},
      {"NoPhpKey", "[Types]\nphp:12=C:\\PHP\\php-cgi.exe\n", {}},
      {"NoTypesSection", "[PHP]\nphp=C:\\PHP\\php-cgi.exe\n", {}},
      {"OnlyTheFirstCharacterBeforeTheBackslash", "[Types]\nphp=\\php-cgi.exe\n", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Added(&c.settings), c.folders) << c.name;
}

TEST_F(FastCgiSettings, ComesAfterTheScriptMaps) {
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.AddScriptMap(u"*.php", u"C:\\Php4\\php.exe", 5, u"GET", u"1/ROOT", false));
  iis.Disconnect(IISHelper::ConnectMetabase);
  const std::string settings = "[Types]\nphp=C:\\Php5\\php-cgi.exe\n";
  EXPECT_EQ(Found(&settings), (Strings{"c:\\php4\\", "c:\\php\\", "c:\\php5\\"}));
}

TEST_F(FastCgiSettings, RealSettingsFilesNameSectionsOnly) {
  const char* shared = std::getenv("QUAVER_SHARED");
  const std::filesystem::path base = shared ? shared : "../shared";
  std::vector<std::filesystem::path> files = {base / "fixtures/fcgiext-types.ini"};
  if (std::filesystem::exists(base / "corpus/fcgiext")) {
    for (const auto& entry : std::filesystem::directory_iterator(base / "corpus/fcgiext")) {
      files.push_back(entry.path());
    }
  }
  if (!std::filesystem::exists(files.front())) GTEST_SKIP() << "no shared fixtures";
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string settings = bytes.str();
    EXPECT_EQ(Added(&settings), Strings{}) << file.string();
  }
}

TEST(FastCgiSettingsElsewhere, NotReadOnLaterIisOrWithoutTheMetabase) {
  const std::string settings = "[Types]\nphp=C:\\PHP\\php-cgi.exe\n";
  for (const char* version : {"7.5", ""}) {
    SetupImage image(version);
    image.WriteHostFile("drive_c/Windows/System32/inetsrv/FCGIEXT.ini", settings);
    RecordingUi ui;
    IQVSetupCore core(&ui);
    IISHelper iis;
    CSPList<CSPString> found;
    core.FindPhpInMetabase(iis, found);
    EXPECT_EQ(found.GetCount(), 0u) << "IIS \"" << version << "\"";
  }
}

TEST(PhpAppHost, HandlersModulesAndFastCgi) {
  SetupImage image("10");
  std::string config = image.ReadHostFile(kAppHostFile);
  const auto insertAfter = [&](const std::string& anchor, const std::string& text) {
    const size_t at = config.find(anchor);
    ASSERT_NE(at, std::string::npos) << anchor;
    config.insert(at + anchor.size(), text);
  };
  insertAfter("<handlers accessPolicy=\"Read, Script\">\r\n",
              "<add name=\"PHP\" path=\"*.PHP\" verb=\"*\" modules=\"FastCgiModule\" "
              "scriptProcessor=\"C:/Php8/php-cgi.exe\" />\r\n");
  insertAfter("<globalModules>\r\n",
              "<add name=\"PhpModule\" image=\"%SystemDrive%\\PhpMod\\m.dll\" />\r\n");
  const size_t fastCgi = config.find("<fastCgi />");
  ASSERT_NE(fastCgi, std::string::npos);
  config.replace(fastCgi, 11,
                 "<fastCgi><application fullPath=\"C:\\PHP8\\php-cgi.exe\" /></fastCgi>");
  image.WriteHostFile(kAppHostFile, config);
  RecordingUi ui;
  IQVSetupCore core(&ui);
  IISHelper iis;
  CSPList<CSPString> found;
  core.FindPhpInAppHost(iis, found);
  core.FindPhpInMetabase(iis, found);  // IIS 10: not looked at
  Strings folders;
  for (uint32_t i = 0; i < found.GetCount(); ++i) folders.emplace_back(found.GetAt(i).GetString());
  // The server-level handler is seen again through the Intranet location,
  // which inherits it; duplicates are dropped by IntegratePhp.
  EXPECT_EQ(folders, (Strings{"c:\\phpmod\\", "c:\\php8\\", "c:\\php8\\", "c:\\php8\\"}));
}

TEST(ScriptExecution, ScriptPermissionIsAddedWhereMissing) {
  SetupImage image("6");
  RecordingUi ui;
  IQVSetupCore core(&ui);
  core.progressBar = core.percentLabel = &ui;
  {
    IISHelper iis;
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
    ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/2/ROOT"));
    ASSERT_TRUE(iis.SetDwordData(6016, 0x1, METADATA_INHERIT, IIS_MD_UT_FILE, u""));
  }
  core.selectedSites.Add(u"2");
  ASSERT_TRUE(core.AllowScriptExecution());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.GetProgressPosition(), 1);
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/2/ROOT"));
  uint32_t value = 0;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  ASSERT_TRUE(iis.GetDwordData(6016, value, attributes, userType, u""));
  EXPECT_EQ(value, 0x201u);
  EXPECT_EQ(attributes, static_cast<uint32_t>(METADATA_INHERIT));
  iis.Disconnect(IISHelper::ConnectMetabase);
  core.selectedSites.Add(u"77");
  EXPECT_FALSE(core.AllowScriptExecution());
  EXPECT_EQ(ui.messages,
            Strings{"System error: Cannot retrieve execution permissions from IIS Metabase"});
}

}  // namespace
}  // namespace quaver::test
