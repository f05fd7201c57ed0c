// The IIS actions on IIS 6 (metabase) and IIS 10 (application host) images:
// what each passes to IIS in its per-website and server-wide forms, and
// its message when IIS refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iis/IISHelper.h"
#include "tests/package/EngineImage.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

ComponentVariable Record(const char* type, std::initializer_list<ComponentVariable> fields,
                         uint32_t options = 0) {
  ComponentVariable record = MapOf("", fields);
  record.AddToMap("", StringNode("TYPE", type));
  record.AddToMap("", ULongNode("OPTIONS", options));
  return record;
}

UpdateComponent Parsed(const ComponentVariable& record) { return Component(record); }

CSPList<CSPWString> Sites(std::initializer_list<const char16_t*> ids) {
  CSPList<CSPWString> sites;
  for (const char16_t* id : ids) sites.Add(id);
  return sites;
}

std::string Narrow(const CSPWString& text) { return CSPString(text).GetString(); }

ComponentVariable Filter(const char* name) {
  return Record("IAFL", {StringNode("FILTERNAME", name), StringNode("EXECUTABLE", "bin\\q.dll"),
                         StringNode("DESCRIPTION", "Quaver")});
}

ComponentVariable ScriptMap(const char* extension) {
  return Record("IASM", {StringNode("EXTENSION", extension),
                         StringNode("EXECUTABLE", "bin\\q.dll"), ULongNode("FLAGS", 5),
                         StringNode("VERBS", "GET,POST")});
}

class MetabaseActions : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase)); }
  bool Run(const ComponentVariable& record, const CSPList<CSPWString>& sites = {},
           const FilterPriorities& priorities = {}) {
    last = Parsed(record);
    return last.Run(iis, sites, priorities);
  }
  std::string LoadOrder(const char16_t* key) {
    CSPWString value;
    uint32_t attributes = 0, userType = 0;
    if (!iis.OpenKey(key)) return "<no key>";
    bool read = iis.GetStringData(MD_FILTER_LOAD_ORDER, value, attributes, userType, u"");
    iis.CloseKey();
    return read ? Narrow(value) : "<none>";
  }
  std::string ScriptMaps(const char16_t* key) {
    CSPList<CSPWString> maps;
    uint32_t attributes = 0, userType = 0;
    if (!iis.OpenKey(key)) return "<no key>";
    iis.GetMultiStringData(MD_SCRIPT_MAPS, maps, attributes, userType, u"");
    iis.CloseKey();
    std::string all;
    for (uint32_t i = 0; i < maps.GetCount(); ++i) all += Narrow(maps.GetAt(i)) + "|";
    return all;
  }

  EngineImage image{"6"};
  IISHelper iis;
  UpdateComponent last;
};

const char kExecutable[] = "C:\\Program Files\\Corvane\\Quaver\\bin\\q.dll";

TEST_F(MetabaseActions, FilterGoesGloballyOrPerWebsiteAtItsRememberedPosition) {
  ASSERT_TRUE(Run(Filter("Global")));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())),
            std::string("ADD IIS FILTER: Global, executable: ") + kExecutable);
  EXPECT_NE(LoadOrder(u"/LM/W3SVC/Filters").find("Global"), std::string::npos);

  ASSERT_TRUE(Run(Filter("Other"), Sites({u"1", u"2"})));
  FilterPriorities priorities;
  priorities.SetAt(u"1", 0);
  ASSERT_TRUE(Run(Filter("Quaver"), Sites({u"1", u"2"}), priorities));
  EXPECT_EQ(LoadOrder(u"/LM/W3SVC/1/Filters"), "Quaver,Other");
  EXPECT_EQ(LoadOrder(u"/LM/W3SVC/2/Filters"), "Other,Quaver");

  // Priorities without websites: the global order at the empty ID's place.
  FilterPriorities global;
  global.SetAt(u"", 0);
  ASSERT_TRUE(Run(Filter("First"), {}, global));
  EXPECT_EQ(LoadOrder(u"/LM/W3SVC/Filters").rfind("First", 0), 0u) << LoadOrder(u"/LM/W3SVC/Filters");

  ASSERT_TRUE(Run(Record("IRFL", {StringNode("FILTERNAME", "Quaver")})));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())), "REMOVE IIS FILTER: Quaver");
  EXPECT_EQ(LoadOrder(u"/LM/W3SVC/1/Filters"), "Other");
  EXPECT_EQ(LoadOrder(u"/LM/W3SVC/2/Filters"), "Other");
}

TEST_F(MetabaseActions, ScriptMapsGoToEachChosenWebsiteRoot) {
  ASSERT_TRUE(Run(ScriptMap(".qvr"), Sites({u"1", u"3"})));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())),
            std::string("ADD IIS SCRIPT MAPPING: .qvr, executable: ") + kExecutable);
  EXPECT_NE(ScriptMaps(u"/LM/W3SVC/1/ROOT").find(".qvr,"), std::string::npos);
  EXPECT_NE(ScriptMaps(u"/LM/W3SVC/3/ROOT").find(".qvr,"), std::string::npos);
  EXPECT_EQ(ScriptMaps(u"/LM/W3SVC/2/ROOT").find(".qvr,"), std::string::npos);

  ASSERT_TRUE(Run(ScriptMap("*")));
  // Stored with the short form of the path (no spaces in a script map).
  EXPECT_NE(ScriptMaps(u"/LM/W3SVC").find("bin\\q.dll"), std::string::npos);
  EXPECT_NE(ScriptMaps(u"/LM/W3SVC").find("*,"), std::string::npos);

  ASSERT_TRUE(Run(Record("IRSM", {StringNode("EXTENSION", ".qvr")})));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())), "REMOVE IIS SCRIPT MAPPING: .qvr");
  EXPECT_EQ(ScriptMaps(u"/LM/W3SVC/1/ROOT").find(".qvr,"), std::string::npos);
  // The wildcard removal matches the text as the package wrote it.
  ASSERT_TRUE(Run(Record("IRWM", {StringNode("EXECUTABLE", "bin\\q.dll")})));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())),
            "REMOVE IIS WILDCARD SCRIPT MAPPING: *, executable: bin\\q.dll");
  EXPECT_EQ(ScriptMaps(u"/LM/W3SVC").find("*,"), std::string::npos);
}

TEST_F(MetabaseActions, RestrictionsAreAddedAndRemoved) {
  ComponentVariable add = Record("IAWR", {StringNode("NAME", "Quaver"),
                                          StringNode("EXECUTABLE", "bin\\q.dll"),
                                          StringNode("DESCRIPTION", "IIS Quaver")});
  ASSERT_TRUE(Run(add));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())),
            std::string("ADD IIS WEBSERVICE RESTRICTION: Quaver, executable: ") + kExecutable);
  EXPECT_NE(image.ReadHostFile("drive_c/Windows/System32/inetsrv/MetaBase.xml").find("IIS Quaver"),
            std::string::npos);
  ASSERT_TRUE(Run(Record("IRWR", {StringNode("NAME", "Quaver")})));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())), "REMOVE IIS WEBSERVICE RESTRICTION: Quaver");
  iis.Save(IISHelper::SaveAll);
  EXPECT_EQ(image.ReadHostFile("drive_c/Windows/System32/inetsrv/MetaBase.xml").find("IIS Quaver"),
            std::string::npos);
}

// Every IIS action on a helper that holds no connection: IIS refuses, and
// each action words it its own way.
TEST(IisActionMessages, EachActionNamesWhatFailed) {
  EngineImage image("6");
  struct Row {
    ComponentVariable record;
    bool perWebsite;
    const char* message;
  };
  const ComponentVariable name = StringNode("NAME", "Quaver");
  const ComponentVariable executable = StringNode("EXECUTABLE", "bin\\q.dll");
  const ComponentVariable handler = Record(
      "IAHD", {name, StringNode("MODULENAME", "QuaverModule"), StringNode("EXTENSION", "*.qvr"),
               StringNode("ACCESS", "Script"), StringNode("VERBS", "*")});
  const Row rows[] = {
      {Filter("Quaver"), false, "Cannot configure IIS Filter"},
      {Filter("Quaver"), true, "Cannot configure IIS Filter"},
      {Record("IRFL", {StringNode("FILTERNAME", "Quaver")}), false, "Cannot remove IIS Filter"},
      {ScriptMap(".qvr"), false, "Cannot configure IIS Script Mapping"},
      {ScriptMap(".qvr"), true, "Cannot configure IIS Script Mapping"},
      {Record("IRSM", {StringNode("EXTENSION", ".qvr")}), false,
       "Cannot remove IIS Script Mapping"},
      {Record("IRWM", {executable}), false, "Cannot remove IIS Wildcard Script Mapping"},
      {Record("IAWR", {name, executable, StringNode("DESCRIPTION", "d")}), false,
       "Cannot configure IIS Web Service Restriction"},
      {Record("IRWR", {name}), false, "Cannot configure IIS Web Service Restriction"},
      {Record("IAGM", {name, executable}), false, "Cannot configure IIS Global Module"},
      {Record("IRGM", {name}), false, "Cannot remove IIS Global Module"},
      {Record("IAMD", {name}), false, "Cannot configure IIS Module"},
      {Record("IAMD", {name}), true, ""},  // the websites cannot be listed
      {Record("IRMD", {name}), false, "Cannot remove IIS Module"},
      {handler, false, "Cannot configure IIS Handler Mapping"},
      {handler, true, ""},
      {Record("IRHD", {name}), false, "Cannot remove IIS Handler Mapping"},
  };
  for (const Row& row : rows) {
    UpdateComponent component = Parsed(row.record);
    SCOPED_TRACE(std::string(UpdateComponent::CodeName(component.GetTypeCode())) +
                 (row.perWebsite ? " per website" : ""));
    IISHelper iis;
    EXPECT_FALSE(component.Run(iis, row.perWebsite ? Sites({u"1"}) : CSPList<CSPWString>(), {}));
    EXPECT_STREQ(component.GetErrorText().GetString(), row.message);
  }
}

TEST(IisActionMessages, RestrictionsNeedIis6) {
  quaver::test::TempMachine image;  // no IIS: version 0
  IISHelper iis;
  UpdateComponent add = Parsed(Record("IAWR", {StringNode("NAME", "Quaver"),
                                               StringNode("EXECUTABLE", "C:\\q.dll"),
                                               StringNode("DESCRIPTION", "d")}));
  EXPECT_TRUE(add.RunAlone(iis));
  EXPECT_STREQ(add.GetLogText().GetString(),
               "ADD IIS WEBSERVICE RESTRICTION: Quaver, executable: C:\\q.dll");
  UpdateComponent remove = Parsed(Record("IRWR", {StringNode("NAME", "Quaver")}));
  EXPECT_TRUE(remove.RunAlone(iis));
}

class AppHostActions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
    ASSERT_TRUE(iis.OpenConfigPath(u"MACHINE/WEBROOT/APPHOST"));
  }
  bool Run(const ComponentVariable& record, const CSPList<CSPWString>& sites = {}) {
    last = Parsed(record);
    return last.Run(iis, sites, {});
  }
  std::string Config() {
    iis.Save(IISHelper::SaveAppHost);
    return image.ReadHostFile("drive_c/Windows/System32/inetsrv/config/applicationHost.config");
  }

  EngineImage image{"10"};
  IISHelper iis;
  UpdateComponent last;
};

TEST_F(AppHostActions, ModulesAndHandlersPerWebsiteSkipUnknownIds) {
  const ComponentVariable name = StringNode("NAME", "QuaverModule");
  ASSERT_TRUE(Run(Record("IAGM", {name, StringNode("EXECUTABLE", "bin\\q.dll")})));
  EXPECT_EQ(Narrow(CSPWString(last.GetLogText())),
            std::string("ADD IIS GLOBAL MODULE: QuaverModule, executable: ") + kExecutable);
  ASSERT_TRUE(Run(Record("IAMD", {name}), Sites({u"1", u"7"})));
  EXPECT_STREQ(last.GetLogText().GetString(), "ADD IIS MODULE: QuaverModule");
  ASSERT_TRUE(Run(Record("IAHD", {StringNode("NAME", "QuaverHandler"),
                                  StringNode("MODULENAME", "QuaverModule"),
                                  StringNode("EXTENSION", "*.qvr"), StringNode("ACCESS", "Script"),
                                  StringNode("VERBS", "*")}),
                  Sites({u"1"})));
  EXPECT_STREQ(last.GetLogText().GetString(),
               "ADD IIS HANDLER MAPPING: *.qvr, name: QuaverHandler, module: QuaverModule");
  std::string config = Config();
  // The global module and the entry of website 1 only.
  size_t first = config.find("<add name=\"QuaverModule\"");
  ASSERT_NE(first, std::string::npos);
  size_t second = config.find("<add name=\"QuaverModule\"", first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(config.find("<add name=\"QuaverModule\"", second + 1), std::string::npos);
  const size_t location = config.rfind("<location path=", second);
  ASSERT_NE(location, std::string::npos);
  EXPECT_EQ(config.compare(location, 33, "<location path=\"Default Web Site\""), 0);
  EXPECT_NE(config.find("QuaverHandler"), std::string::npos);

  ASSERT_TRUE(Run(Record("IRHD", {StringNode("NAME", "QuaverHandler")})));
  ASSERT_TRUE(Run(Record("IRMD", {name})));
  ASSERT_TRUE(Run(Record("IRGM", {name})));
  EXPECT_EQ(Config().find("Quaver"), std::string::npos);
}

// With only the application host, the metabase half of a removal fails:
// reverse components carry 0x01 for that.
TEST_F(AppHostActions, RemovalsAlsoAskTheMetabase) {
  ComponentVariable remove = Record("IRFL", {StringNode("FILTERNAME", "Quaver")}, 1);
  EXPECT_TRUE(Run(remove));
  EXPECT_STREQ(last.GetErrorText().GetString(), "Cannot remove IIS Filter");
  ASSERT_TRUE(Run(Record("IAMD", {StringNode("NAME", "Server")})));
  EXPECT_NE(Config().find("Server"), std::string::npos);
}

}  // namespace
