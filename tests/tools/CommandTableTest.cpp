// Every command group of quaver-machine through the executable itself: a
// table of invocations with what each prints and its exit status (0 done,
// 1 failed, 2 usage error), the error cases people meet included.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/ToolProcess.h"
#include "tests/tools/ToolRunner.h"

namespace quaver::test {
namespace {

struct Case {
  std::vector<std::string> args;  // after --machine IMAGE
  int status;
  std::string out;  // must be contained in standard output
  std::string err;  // must begin standard error; "" for a clean one
};

class CommandTable : public ::testing::Test {
 protected:
  void RunTable(const CreatedImage& image, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      std::vector<std::string> args = {"--machine", image.Root().string()};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const ToolResult result = RunToolProcess(args, image.Root());
      std::string line;
      for (const std::string& arg : c.args) line += arg + " ";
      EXPECT_EQ(result.status, c.status) << line << "\n" << result.out << result.err;
      EXPECT_NE(result.out.find(c.out), std::string::npos) << line << "\n" << result.out;
      if (c.err.empty()) {
        EXPECT_EQ(result.err, "") << line;
      } else {
        EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << line << "\n" << result.err;
      }
    }
  }
};

TEST_F(CommandTable, Appcmd) {
  CreatedImage image("10");
  const std::string unsupported =
      "ERROR ( message:The attribute \"bogus\" is not supported in the current command usage. )\n";
  RunTable(
      image,
      {
          {{"appcmd", "list", "site"},
           0,
           "SITE \"Default Web Site\" (id:1,bindings:http/*:80:,state:Started)\n"
           "SITE \"Intranet\" (id:2,bindings:http/*:8080:,state:Started)\n",
           ""},
          {{"appcmd", "list", "site", "/name:Default Web Site"},
           0,
           "SITE \"Default Web Site\" (id:1,bindings:http/*:80:,state:Started)\n",
           ""},
          {{"appcmd", "list", "sites", "-id:2"},
           0,
           "SITE \"Intranet\" (id:2,bindings:http/*:8080:,state:Started)\n",
           ""},
          {{"appcmd", "list", "site", "nope"},
           1,
           "",
           "ERROR ( message:Cannot find SITE object with identifier \"nope\". )\n"},
          {{"appcmd", "list", "site", "/text:name"}, 0, "Default Web Site\nIntranet\n", ""},
          {{"appcmd", "list", "site", "Intranet", "/text:*"},
           0,
           "SITE\n  SITE.NAME:\"Intranet\"\n  SITE.ID:\"2\"\n  bindings:\"http/*:8080:\"\n"
           "  state:\"Started\"\n  [site]\n    name:\"Intranet\"\n",
           ""},
          {{"appcmd", "list", "site", "/xml"},
           0,
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<appcmd>\n"
           "    <SITE SITE.NAME=\"Default Web Site\" SITE.ID=\"1\" bindings=\"http/*:80:\" "
           "state=\"Started\" />\n"
           "    <SITE SITE.NAME=\"Intranet\" SITE.ID=\"2\" bindings=\"http/*:8080:\" "
           "state=\"Started\" />\n</appcmd>\n",
           ""},
          {{"appcmd", "list", "site", "/bogus:1"}, 2, "", unsupported},
          {{"appcmd", "list", "site", "/text:bogus"}, 2, "", unsupported},
          {{"appcmd", "list", "site", "/bogus"}, 2, "", unsupported},
          {{"appcmd", "list", "site", "/text:name", "/xml"},
           2,
           "",
           "ERROR ( message:/text and /xml exclude each other. )\n"},
          {{"appcmd", "list", "nothing"},
           2,
           "",
           "ERROR ( message:Unknown object type \"nothing\". )\nUsage: appcmd list"},
          {{"appcmd", "delete", "site", "x"}, 2, "", "ERROR ( message:Unknown command \"delete\""},
          {{"appcmd", "/?"}, 0, "Usage: appcmd list site|app|vdir|apppool|module", ""},
          {{"appcmd", "list", "app"},
           0,
           "APP \"Default Web Site/\" (applicationPool:DefaultAppPool)\n"
           "APP \"Default Web Site/shop\" (applicationPool:ShopPool)\n"
           "APP \"Intranet/\" (applicationPool:IntranetPool)\n",
           ""},
          {{"appcmd", "list", "apps", "/apppool.name:ShopPool"},
           0,
           "APP \"Default Web Site/shop\" (applicationPool:ShopPool)\n",
           ""},
          {{"appcmd", "list", "app", "/site.name:Intranet", "/text:APP.NAME"},
           0,
           "Intranet/\n",
           ""},
          {{"appcmd", "list", "vdir", "Default Web Site/shop/"},
           0,
           "VDIR \"Default Web Site/shop/\" (physicalPath:C:\\Sites\\Shop)\n",
           ""},
          {{"appcmd", "list", "vdir", "/app.name:Default Web Site/", "/text:physicalPath"},
           0,
           "%SystemDrive%\\inetpub\\wwwroot\n%SystemDrive%\\inetpub\\images\n",
           ""},
          {{"appcmd", "list", "apppool", "/managedPipelineMode:Classic", "/text:name"},
           0,
           ".NET v4.5 Classic\n",
           ""},
          {{"appcmd", "list", "apppool", "ShopPool"},
           0,
           "APPPOOL \"ShopPool\" (MgdVersion:,MgdMode:Integrated,state:Started)\n",
           ""},
          {{"appcmd", "list", "module", "IsapiModule"},
           0,
           "MODULE \"IsapiModule\" ( native:true )\n",
           ""},
          {{"appcmd", "list", "module", "/app.name:Intranet/", "/text:MODULE.NAME"},
           0,
           "HttpCacheModule\n",
           ""},
          {{"appcmd", "list", "config", "/section:directoryBrowse"},
           0,
           "<system.webServer>\n  <directoryBrowse enabled=\"false\" />\n</system.webServer>\n",
           ""},
          {{"appcmd", "list", "config", "/section:nosuch"},
           1,
           "",
           "ERROR ( message:Cannot find SECTION object with identifier \"nosuch\". )\n"},
          {{"appcmd", "list", "config", "/bogus:1"}, 2, "", unsupported},
      });
}

TEST_F(CommandTable, AppcmdNamesTheLineOfABrokenConfiguration) {
  CreatedImage image("10");
  const std::string file = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
  std::string text = image.ReadHostFile(file);
  // The tag itself, not its mention in the file's opening comment.
  const size_t at = text.find("    <configSections>") + 4;
  ASSERT_NE(at, std::string::npos + 4);
  text.insert(at + 16, "<oops a=1>");
  image.WriteHostFile(file, text);
  const size_t line = 1 + std::count(text.begin(), text.begin() + at, '\n');
  RunTable(
      image,
      {
          {{"appcmd", "list", "site"},
           1,
           "",
           "ERROR ( hresult:8007000d, message:\nFilename: "
           "\\\\?\\C:\\Windows\\System32\\inetsrv\\config\\applicationHost.config\nLine number: " +
               std::to_string(line) + "\nError: Configuration file is not well-formed XML"},
          {{"appcmd", "list", "config", "/section:handlers"},
           1,
           "",
           "ERROR ( hresult:8007000d, message:\nFilename: "},
      });
}

// What the file holds is not what the readers take, or there is no file to
// read: every command says which file, where and why, and fails.
TEST_F(CommandTable, ConfigurationFilesThatCannotBeReadAreNamedWithTheReason) {
  CreatedImage image("10");
  const std::string file = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
  const std::string good = image.ReadHostFile(file);
  const std::string named =
      "message:\nFilename: \\\\?\\C:\\Windows\\System32\\inetsrv\\config\\applicationHost.config\n";
  const std::string invalid = "ERROR ( hresult:8007000d, " + named;
  // Nested 50,000 deep inside the first section: the line of the first
  // element past the bound.
  std::string deep = good;
  const size_t at = deep.find("<system.webServer>");
  ASSERT_NE(at, std::string::npos);
  const size_t deepLine = 1 + std::count(deep.begin(), deep.begin() + at, '\n');
  std::string nest;
  for (int i = 0; i < 50000; ++i) nest += "<a>\n";
  for (int i = 0; i < 50000; ++i) nest += "</a>";
  deep.insert(at + std::string("<system.webServer>").size(), nest);
  // <configuration> is element 1 and <system.webServer> element 2.
  const std::string deepError = invalid + "Line number: " + std::to_string(deepLine + 62) +
                                "\nError: Configuration file is not valid (Elements nested "
                                "deeper than 64 levels)\n )\n";
  const std::pair<std::string, std::string> variants[] = {
      {"<other />\n", invalid + "Line number: 1\nError: Configuration file is not valid (The root "
                                "element is not <configuration>)\n )\n"},
      {"<configuration>\n<system.webServer>\n</configuration>\n",
       invalid + "Line number: 3\nError: Configuration file is not well-formed XML ("},
      {deep, deepError},
  };
  for (const auto& [text, error] : variants) {
    image.WriteHostFile(file, text);
    RunTable(image, {
                        {{"appcmd", "list", "config"}, 1, "", error},
                        {{"appcmd", "list", "site"}, 1, "", error},
                        {{"appcmd", "list", "config", "/section:handlers"}, 1, "", error},
                    });
  }
  // A folder or a FIFO where the file belongs: refused unread, at once.
  const std::filesystem::path host = image.Root() / file;
  std::filesystem::remove(host);
  std::filesystem::create_directory(host);
  const std::string folder =
      "ERROR ( hresult:80070005, " + named +
      "Error: Cannot read configuration file (it is a folder, not a file)\n )\n";
  RunTable(image, {
                      {{"appcmd", "list", "config"}, 1, "", folder},
                      {{"appcmd", "list", "site"}, 1, "", folder},
                  });
  std::filesystem::remove(host);
  ASSERT_EQ(::mkfifo(host.c_str(), 0600), 0);
  RunTable(image, {{{"appcmd", "list", "config"},
                    1,
                    "",
                    "ERROR ( hresult:80070005, " + named +
                        "Error: Cannot read configuration file (cannot read "}});
  // No file, or a link that leads nowhere or out of the image: every listing
  // fails as the application host does, none prints an empty configuration.
  std::filesystem::remove(host);
  const std::string missing = "ERROR ( hresult:80070002, message:Cannot read ";
  RunTable(image, {
                      {{"appcmd", "list", "config"}, 1, "", missing + "configSections"},
                      {{"appcmd", "list", "site"}, 1, "", missing + "system.applicationHost/sites"},
                  });
  for (const char* target : {"/nonexistent/applicationHost.config", "/etc/hostname"}) {
    std::filesystem::create_symlink(target, host);
    RunTable(
        image,
        {
            {{"appcmd", "list", "config"}, 1, "", "ERROR ( hresult:80070005, message:Cannot read "},
            {{"appcmd", "list", "site"}, 1, "", "ERROR ( hresult:80070005, message:Cannot read "},
        });
    std::filesystem::remove(host);
  }
}

// The configuration is where the application host looks for it even when
// the server's environment lacks windir.
TEST_F(CommandTable, AppcmdFindsTheConfigurationWithoutWindir) {
  CreatedImage image("10");
  std::string settings = image.ReadHostFile("machine.ini");
  const size_t at = settings.find("\nWINDIR=") + 1;
  ASSERT_NE(at, 0u);
  settings.erase(at, settings.find('\n', at) + 1 - at);
  image.WriteHostFile("machine.ini", settings);
  RunTable(
      image,
      {
          {{"appcmd", "list", "config", "/section:directoryBrowse"},
           0,
           "<system.webServer>\n  <directoryBrowse enabled=\"false\" />\n</system.webServer>\n",
           ""},
          {{"appcmd", "list", "config"}, 0, "<system.applicationHost>\n", ""},
      });
}

TEST_F(CommandTable, MetabaseFilesThatCannotBeReadAreNamedWithTheLine) {
  CreatedImage image("6");
  const std::string file = "drive_c/Windows/System32/inetsrv/MetaBase.xml";
  const std::string good = image.ReadHostFile(file);
  const std::string shown = "quaver-machine: C:\\Windows\\System32\\inetsrv\\MetaBase.xml, line ";
  const size_t end = good.rfind("</MBProperty>");
  ASSERT_NE(end, std::string::npos);
  const size_t line = 1 + std::count(good.begin(), good.begin() + end, '\n');
  const auto withKey = [&](const std::string& key) {
    return good.substr(0, end) + key + "\n" + good.substr(end);
  };
  std::string nest;
  for (int i = 0; i < 50000; ++i) nest += "<a>";
  for (int i = 0; i < 50000; ++i) nest += "</a>";
  std::string deepKey = "/LM/W3SVC/1/ROOT";
  for (int i = 0; i < 61; ++i) deepKey += "/d";
  const std::pair<std::string, std::string> variants[] = {
      {withKey("<IIsWebVirtualDir Location=\"/LM/W3SVC/1/ROOT/x\">" + nest + "</IIsWebVirtualDir>"),
       shown + std::to_string(line) + ": Elements nested deeper than 64 levels\n"},
      {withKey("<IIsWebVirtualDir Location=\"" + deepKey + "\" />"),
       shown + std::to_string(line) + ": key " + deepKey + " is nested deeper than 61 levels\n"},
      {withKey("<IIsWebService Location=\"/LM/W3SVC\" />"),
       shown + std::to_string(line) + ": key /LM/W3SVC twice\n"},
  };
  for (const auto& [text, error] : variants) {
    image.WriteHostFile(file, text);
    RunTable(image, {{{"metabase"}, 1, "", error}});
  }
  const std::filesystem::path host = image.Root() / file;
  std::filesystem::remove(host);
  std::filesystem::create_directory(host);
  RunTable(image, {{{"metabase"}, 1, "", "quaver-machine: cannot read "}});
}

TEST_F(CommandTable, Reg) {
  CreatedImage image("10");
  const std::string exported = (image.Root() / "test.reg").string();
  const std::string notFound =
      "ERROR: The system was unable to find the specified registry key or value.\n";
  RunTable(
      image,
      {
          {{"reg", "/?"}, 0, "reg query KEY [/v NAME | /ve] [/s]\n", ""},
          {{"reg", "query", "/?"}, 0, "reg query KEY /f PATTERN [/k | /d] [/e] [/c] [/s]\n", ""},
          {{"reg"}, 2, "", "ERROR: Invalid syntax.\nType \"REG /?\" for usage.\n"},
          {{"reg", "frob"}, 2, "", "ERROR: Invalid syntax: unknown operation frob."},
          {{"reg", "query"},
           2,
           "",
           "ERROR: Invalid syntax: give one key name.\nType \"REG QUERY /?\" for usage.\n"},
          {{"reg", "query", "HKLM", "/k"}, 2, "", "ERROR: Invalid syntax: /k needs /f."},
          {{"reg", "query", "XX\\y"}, 2, "", "ERROR: Invalid key name XX\\y."},
          {{"reg", "query", "HKLM\\Nope"}, 1, "", notFound},
          {{"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\InetStp", "/v", "majorversion"},
           0,
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\InetStp\n    MajorVersion    REG_DWORD    "
           "0xa\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\InetStp", "/ve"},
           0,
           "    (Default)    REG_SZ    (value not set)\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\InetStp", "/v", "Nope"}, 1, "", notFound},
          {{"reg", "query", "HKLM\\SOFTWARE\\Microsoft", "/f", "inetstp"},
           0,
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\InetStp\nEnd of search: 1 match(es) found.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Microsoft", "/f", "inetstp", "/c"},
           1,
           "End of search: 0 match(es) found.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE", "/f", "IIS 10.?", "/d", "/e", "/s"},
           0,
           "    SetupString    REG_SZ    IIS 10.0\n\nEnd of search: 1 match(es) found.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\InetStp", "/f", "Version", "/k"},
           1,
           "End of search: 0 match(es) found.\n",
           ""},
          {{"reg", "add", "HKLM\\SOFTWARE\\Test", "/v", "N", "/t", "REG_DWORD", "/d", "5", "/f"},
           0,
           "The operation completed successfully.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Test"}, 0, "    N    REG_DWORD    0x5\n", ""},
          {{"reg", "add", "HKLM\\SOFTWARE\\Test", "/v", "N", "/d", "6"},
           1,
           "Value N exists, overwrite(Yes/No)?",
           "The operation was canceled by the user.\n"},
          {{"reg", "add", "HKLM\\SOFTWARE\\Test", "/t", "REG_BOGUS"},
           2,
           "",
           "ERROR: Invalid syntax: unknown type REG_BOGUS."},
          {{"reg", "add", "HKLM\\SOFTWARE\\Test", "/v", "N", "/t", "REG_DWORD", "/d", "x"},
           2,
           "",
           "ERROR: Invalid syntax: specify a valid numeric value for /d."},
          {{"reg", "export", "HKLM\\SOFTWARE\\Test", exported, "/y"},
           0,
           "The operation completed successfully.\n",
           ""},
          {{"reg", "export", "HKLM\\SOFTWARE\\Nope", exported, "/y"}, 1, "", notFound},
          {{"reg", "delete", "HKLM\\SOFTWARE\\Test", "/f"},
           0,
           "The operation completed successfully.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Test"}, 1, "", notFound},
          {{"reg", "import", exported}, 0, "The operation completed successfully.\n", ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Test"}, 0, "    N    REG_DWORD    0x5\n", ""},
          {{"reg", "import", "/nonexistent/file.reg"}, 1, "", "ERROR: Error opening the file."},
          {{"reg", "import", image.Root().string()}, 1, "", "ERROR: Error opening the file."},
          {{"reg", "delete", "HKLM\\SOFTWARE"}, 1, "", "ERROR: Access is denied.\n"},
      });
}

// Patterns with many stars cost at most text times pattern: this one once
// tried every way of placing 30 stars in 60 characters.
TEST_F(CommandTable, RegSearchPatternsWithManyStars) {
  CreatedImage image("10");
  std::string stars;
  for (int i = 0; i < 30; ++i) stars += "*a";
  const std::string found = "    Long    REG_SZ    " + std::string(60, 'a') + "B\n\n" +
                            "End of search: 1 match(es) found.\n";
  RunTable(
      image,
      {
          {{"reg", "add", "HKLM\\SOFTWARE\\Find", "/v", "Long", "/d", std::string(60, 'a') + "B",
            "/f"},
           0,
           "The operation completed successfully.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Find", "/f", stars + "*c", "/d"},
           1,
           "End of search: 0 match(es) found.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Find", "/f", stars + "b", "/d", "/e"}, 0, found, ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Find", "/f", stars + "b", "/d", "/e", "/c"},
           1,
           "End of search: 0 match(es) found.\n",
           ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Find", "/f", "a?*?ab", "/d", "/e"}, 0, found, ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\Find", "/f", "a*?aab?", "/d", "/e"},
           1,
           "End of search: 0 match(es) found.\n",
           ""},
      });
}

// A damaged file of the image is named with its line, whatever command
// meets it, and no command goes on as if the file were missing or fine.
TEST_F(CommandTable, DamagedImageFilesAreNamedWithTheirLine) {
  {
    CreatedImage image("10");
    const std::string file = (image.Root() / "zero.reg").string();
    const char zero[] =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\\0]\n";
    image.WriteHostFile("zero.reg", std::string(zero, sizeof zero - 1));
    RunTable(image,
             {
                 {{"reg", "import", file},
                  1,
                  "",
                  "quaver-machine: " + file + ":3: a key name cannot hold a zero character\n"},
                 {{"reg", "query", "HKLM\\SOFTWARE", "/s"},
                  0,
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\n",
                  ""},
             });
  }
  {
    CreatedImage image("10");
    const std::string hive = (image.Root() / "registry" / "HKLM.reg").string();
    image.WriteHostFile("registry/HKLM.reg", "garbage\n");
    const std::string damaged = hive + ":1: not a registry file";
    RunTable(image,
             {
                 {{"icacls", "HKLM\\SOFTWARE\\Microsoft"}, 1, "", "quaver-machine: " + damaged},
                 {{"reg", "query", "HKLM\\SOFTWARE"}, 1, "", "ERROR: " + damaged},
                 // The application host is registered in that hive: the hive is at
                 // fault, not a missing IIS.
                 {{"appcmd", "list", "site"}, 1, "", "quaver-machine: " + damaged},
                 {{"mkdir", "C:\\made"}, 0, "", ""},
                 {{"icacls", "C:\\made"}, 0, "BUILTIN\\Administrators:(I)(OI)(CI)(F)", ""},
             });
    EXPECT_EQ(image.ReadHostFile("registry/HKLM.reg"), "garbage\n");
  }
  {
    CreatedImage image("10");
    std::string settings = image.ReadHostFile("machine.ini");
    const std::string everyone = "\nEveryone=S-1-1-0, WellKnownGroup\n";
    const size_t at = settings.find(everyone);
    ASSERT_NE(at, std::string::npos) << settings;
    settings.replace(at, everyone.size(), "\nEveryone=S-1-1-0, Bogus\n");
    image.WriteHostFile("machine.ini", settings);
    const size_t line = 2 + std::count(settings.begin(), settings.begin() + at, '\n');
    const std::string where = (image.Root() / "machine.ini").string() + ":" + std::to_string(line);
    RunTable(image,
             {
                 {{"icacls", "C:\\inetpub"},
                  1,
                  "",
                  "quaver-machine: " + where + ": [accounts] Everyone: unknown kind 'Bogus'\n"},
             });
  }
}

// The walks over a subtree (query /s, delete, export) reach down to the
// deepest key Windows allows, and nothing goes deeper.
TEST_F(CommandTable, DeepestTreeIsWalked) {
  CreatedImage image("10");
  std::string deepest = "HKLM\\SOFTWARE";
  for (int i = 1; i < 512; ++i) deepest += "\\k";
  const std::string exported = (image.Root() / "deep.reg").string();
  RunTable(
      image,
      {
          {{"reg", "add", deepest + "\\beyond", "/f"}, 1, "", "ERROR: The parameter is incorrect."},
          {{"reg", "add", deepest, "/v", "Leaf", "/d", "x", "/f"}, 0, "", ""},
          {{"reg", "query", "HKLM\\SOFTWARE\\k", "/s"}, 0, "\\k\\k\n    Leaf    REG_SZ    x\n", ""},
          {{"reg", "export", "HKLM\\SOFTWARE\\k", exported, "/y"}, 0, "", ""},
          {{"reg", "delete", "HKLM\\SOFTWARE\\k", "/f"}, 0, "", ""},
          {{"reg", "import", exported}, 0, "", ""},
          {{"reg", "query", deepest}, 0, "    Leaf    REG_SZ    x\n", ""},
      });
}

TEST_F(CommandTable, Sc) {
  CreatedImage image("10");
  const std::string missing = "The specified service does not exist as an installed service.\n";
  RunTable(image,
           {
               {{"sc", "/?"}, 0, "DESCRIPTION:\n        SC is a command line program", ""},
               {{"sc", "query", "/?"}, 0, "        sc query state= active|inactive|all", ""},
               {{"sc"}, 2, "", "DESCRIPTION:\n        SC is a command line program"},
               {{"sc", "bogus"}, 2, "", "ERROR:  Unrecognized command \"bogus\"\n"},
               {{"sc", "qc"}, 2, "", "DESCRIPTION:\n        Queries the configuration information"},
               {{"sc", "qc", "w3svc"},
                0,
                "[SC] QueryServiceConfig SUCCESS\n\nSERVICE_NAME: W3SVC\n"
                "        TYPE               : 20  WIN32_SHARE_PROCESS\n"
                "        START_TYPE         : 2   AUTO_START\n",
                ""},
               {{"sc", "qc", "WAS"},
                0,
                "        DISPLAY_NAME       : Windows Process Activation Service\n",
                ""},
               {{"sc", "qc", "nope"}, 1, "", "[SC] OpenService FAILED 1060:\n\n" + missing},
               {{"sc", "query", "W3SVC"}, 0, "        STATE              : 4  RUNNING\n", ""},
               {{"sc", "query", "state=", "all"}, 0, "SERVICE_NAME: EventLog\n", ""},
               {{"sc", "query", "state=", "bogus"}, 2, "", "ERROR:  Invalid Option: state= takes"},
               {{"sc", "query", "a", "b"}, 2, "", "DESCRIPTION:\n        Obtains and displays"},
               {{"sc", "stop"}, 2, "", "DESCRIPTION:\n        Sends a STOP control request"},
               {{"sc", "stop", "W3SVC"}, 0, "        STATE              : 3  STOP_PENDING\n", ""},
               {{"sc", "start", "nope"}, 1, "", "[SC] OpenService FAILED 1060:\n\n" + missing},
           });
}

TEST_F(CommandTable, FilesAndAccessLists) {
  CreatedImage image("10");
  image.WriteHostFile("host.txt", "hello\n");
  const std::string host = (image.Root() / "host.txt").string();
  RunTable(
      image,
      {
          {{"mkdir", "C:\\Made"}, 0, "", ""},
          {{"put", host, "C:\\Made\\h.txt"}, 0, "", ""},
          {{"type", "C:\\Made\\h.txt"}, 0, "hello\n", ""},
          {{"dir", "C:\\Made"}, 0, " Directory of C:\\Made\n", ""},
          {{"dir", "C:\\Made"}, 0, "h.txt", ""},
          {{"dir", "C:\\nope"},
           1,
           "",
           "quaver-machine: C:\\nope: The system cannot find the file specified. (2)\n"},
          {{"type", "C:\\nope.txt"}, 1, "", "quaver-machine: C:\\nope.txt: The system cannot find"},
          {{"type"}, 2, "", "WINPATH is required"},
          {{"put", "/nonexistent/file", "C:\\x"}, 1, "", "quaver-machine: cannot read "},
          {{"icacls", "C:\\inetpub\\wwwroot"},
           0,
           "C:\\inetpub\\wwwroot BUILTIN\\IIS_IUSRS:(I)(OI)(CI)(RX)\n",
           ""},
          {{"icacls", "C:\\inetpub\\wwwroot", "--sddl"},
           0,
           "D:(A;OICIID;0x1200a9;;;S-1-5-32-568)",
           ""},
          {{"icacls", "HKLM\\SOFTWARE\\Microsoft\\InetStp"},
           0,
           "Successfully processed 1 files; Failed processing 0 files\n",
           ""},
          {{"icacls", "C:\\nope"}, 1, "", "quaver-machine: C:\\nope: The system cannot find"},
          {{"metabase"}, 1, "", "quaver-machine: this image has no metabase"},
      });
}

TEST_F(CommandTable, MetabaseAndCreate) {
  CreatedImage image("6");
  const std::string made = (image.Root() / "made").string();
  const std::string refused = (image.Root() / "refused").string();
  RunTable(image,
           {
               {{"metabase", "/LM/W3SVC/1"}, 0, "/LM/W3SVC/1", ""},
               {{"appcmd", "list", "site"},
                1,
                "",
                "quaver-machine: this image has no IIS application host"},
               {{"create", made, "--iis", "7.5"},
                0,
                "Created machine image " + made +
                    "\n"
                    "  IIS:      7.5, configured through applicationHost.config\n"
                    "  sites:    \"Default Web Site\", \"Intranet\"\n",
                ""},
               {{"create", made, "--iis", "7.5"}, 1, "", "quaver-machine: "},
               {{"create", refused, "--iis", "9"}, 2, "", "--iis: 9 not in {6,7,7.5,8.5,10}"},
               {{"create", refused, "--iis", "6", "--php", "C:\\PHP"},
                1,
                "",
                "quaver-machine: --php needs --iis 7 or later\n"},
               {{"frob"}, 2, "", "A subcommand is required"},
               {{"--help"}, 0, "Exit status: 0 done, 1 failed, 2 usage error", ""},
           });
  EXPECT_FALSE(std::filesystem::exists(refused));
  // A metabase that is not well-formed is named as the server knows it.
  const std::string file = "drive_c/Windows/System32/inetsrv/MetaBase.xml";
  std::string text = image.ReadHostFile(file);
  // An attribute left open swallows the next one: no longer well-formed.
  const size_t at = text.find("Location =");
  ASSERT_NE(at, std::string::npos);
  text.insert(at, "broken=\"");
  image.WriteHostFile(file, text);
  const size_t line = 1 + std::count(text.begin(), text.begin() + at, '\n');
  RunTable(image, {{{"metabase"},
                    1,
                    "",
                    "quaver-machine: C:\\Windows\\System32\\inetsrv\\MetaBase.xml, line " +
                        std::to_string(line) + ": "}});
}

}  // namespace
}  // namespace quaver::test
