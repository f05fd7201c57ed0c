// The IIS worker accounts of fresh servers, application-pool identities,
// and the rights they get on the chosen web roots.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "iis/IISHelper.h"
#include "platform/text.h"
#include "tests/setup/SetupTestSupport.h"

namespace quaver::test {
namespace {

using Strings = std::vector<std::string>;

Strings AccountNames(const IQVSetupCore& core) {
  Strings names;
  for (uint32_t i = 0; i < core.workerAccounts.GetCount(); ++i) {
    const WSUser& user = core.workerAccounts.GetValueAt(i);
    names.push_back(Utf8(user.GetDomain()) + "\\" + Utf8(user.GetName()));
  }
  return names;
}

struct AccountsCase {
  const char* iis;
  int32_t mode;
  Strings accounts;
  Strings messages;
};

class WorkerAccounts : public ::testing::TestWithParam<AccountsCase> {};

TEST_P(WorkerAccounts, OfAFreshServer) {
  SetupImage image(GetParam().iis);
  RecordingUi ui;
  IQVSetupCore core(&ui);
  core.extensibilityMode = GetParam().mode;
  EXPECT_TRUE(core.PrepareSecurity());
  EXPECT_EQ(AccountNames(core), GetParam().accounts);
  EXPECT_EQ(ui.messages, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Iis, WorkerAccounts,
    ::testing::Values(
        // The IIS 6 server's intranet pool names a WAM user that does not
        // exist: a warning, not a failure.
        AccountsCase{"6",
                     IQVSetupCore::ModeIsapi,
                     {"BUILTIN\\Administrators", "WEBSRV01\\IIS_WPG", "WEBSRV01\\IWAM_WEBSRV01",
                      "NT AUTHORITY\\NETWORK SERVICE", "NT AUTHORITY\\SERVICE", "BUILTIN\\Users"},
                     {"Unknown user: Cannot resolve user IntranetService\r\n\r\nPlease, run the "
                      "diagnostics tool in IIS Quaver\r\nControl Center after installation is "
                      "finished"}},
        // Pools with the default identity run as their own virtual account.
        AccountsCase{"7.5",
                     IQVSetupCore::ModePipeline,
                     {"IIS APPPOOL\\ASP.NET v4.0", "IIS APPPOOL\\ASP.NET v4.0 Classic",
                      "BUILTIN\\Administrators", "IIS APPPOOL\\Classic .NET AppPool",
                      "IIS APPPOOL\\DefaultAppPool", "BUILTIN\\IIS_IUSRS",
                      "NT AUTHORITY\\NETWORK SERVICE", "IIS APPPOOL\\ShopPool", "BUILTIN\\Users"},
                     {}},
        // The compatibility layer reports a pool's own identity as type 4.
        AccountsCase{"7.5c",
                     IQVSetupCore::ModeIsapi,
                     {"IIS APPPOOL\\ASP.NET v4.0", "IIS APPPOOL\\ASP.NET v4.0 Classic",
                      "BUILTIN\\Administrators", "IIS APPPOOL\\Classic .NET AppPool",
                      "IIS APPPOOL\\DefaultAppPool", "BUILTIN\\IIS_IUSRS",
                      "NT AUTHORITY\\NETWORK SERVICE", "IIS APPPOOL\\ShopPool", "BUILTIN\\Users"},
                     {}},
        AccountsCase{
            "10",
            IQVSetupCore::ModePipeline,
            {"IIS APPPOOL\\.NET v4.5", "IIS APPPOOL\\.NET v4.5 Classic", "BUILTIN\\Administrators",
             "IIS APPPOOL\\DefaultAppPool", "BUILTIN\\IIS_IUSRS", "NT AUTHORITY\\NETWORK SERVICE",
             "IIS APPPOOL\\ShopPool", "BUILTIN\\Users"},
            {}}),
    [](const auto& info) {
      std::string name = info.param.iis;
      name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
      return "Iis" + name;
    });

// A fresh IIS 10 server whose intranet pool runs with another identity.
class PoolIdentity : public SetupCoreTest {
 protected:
  PoolIdentity() : SetupCoreTest("10") { core.extensibilityMode = IQVSetupCore::ModePipeline; }
  void ReplaceInConfig(const std::string& from, const std::string& to) {
    const char file[] = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
    std::string config = image.ReadHostFile(file);
    const size_t at = config.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    image.WriteHostFile(file, config.replace(at, from.size(), to));
  }
  bool HasAccount(const char* name) const {
    for (const std::string& account : AccountNames(core)) {
      if (account == name) return true;
    }
    return false;
  }
};

struct IdentityCase {
  const char* identity;
  bool collected;
  const char* account;  // added for the pool, or null
  Strings messages;
};

TEST_F(PoolIdentity, TextsOfTheTable) {
  const IdentityCase cases[] = {
      {"identityType=\"LocalSystem\"", true, "NT AUTHORITY\\SYSTEM", {}},
      {"identityType=\"LocalService\"", true, "NT AUTHORITY\\SERVICE", {}},
      {"identityType=\"ApplicationPoolIdentity\"", true, "IIS APPPOOL\\IntranetPool", {}},
      {"identityType=\"SpecificUser\" userName=\"NoSuchUser\"",
       true,
       nullptr,
       {"System error: Cannot resolve standard user NoSuchUser"}},
  };
  const std::string original = "identityType=\"NetworkService\"";
  std::string current = original;
  for (const IdentityCase& c : cases) {
    SCOPED_TRACE(c.identity);
    ReplaceInConfig(current, c.identity);
    current = c.identity;
    core.workerAccounts.RemoveAll(true);
    ui.messages.clear();
    EXPECT_EQ(core.CollectWorkerAccounts(), c.collected);
    if (c.account != nullptr) {
      EXPECT_TRUE(HasAccount(c.account));
    }
    EXPECT_FALSE(HasAccount("NT AUTHORITY\\NETWORK SERVICE"));
    EXPECT_EQ(ui.messages, c.messages);
  }
}

TEST_F(PoolIdentity, UnresolvableDefaultsStopTheCollection) {
  ReplaceInConfig("<applicationPoolDefaults managedRuntimeVersion=\"v4.0\">",
                  "<applicationPoolDefaults managedRuntimeVersion=\"v4.0\">\n"
                  "<processModel identityType=\"SpecificUser\" />");
  ReplaceInConfig("<processModel identityType=\"ApplicationPoolIdentity\" />", "");
  ReplaceInConfig("identityType=\"SpecificUser\"", "identityType=\"SpecificUser\" userName=\"\"");
  EXPECT_FALSE(core.CollectWorkerAccounts());
  EXPECT_EQ(ui.messages, Strings{"System error: Cannot resolve standard user "});
}

// The access list of a folder as the image stores it.
std::string SddlOf(const TempMachine& image, const std::string& folder) {
  const std::string all = image.ReadHostFile("security.sddl");
  const std::string key = "file " + folder + " ";
  const size_t at = all.find(key);
  if (at == std::string::npos) return "<none>";
  return all.substr(at, all.find('\n', at) - at);
}

uint32_t RightsOf(const char16_t* directory, const WSUser& user) {
  WSAccessList list;
  if (!list.LoadFromObject(directory, WSAccessList::FileObject, WSAccessList::Dacl)) return 0;
  WSAccessEntry entry(user, GRANT_ACCESS, 0, 0);
  return list.GetEffectiveRights(entry) ? entry.permissions : 0;
}

struct WebRootCase {
  const char* iis;
  int32_t mode;
  const char16_t* chosenRoot;
  const char16_t* otherRoot;
};

class WebRoots : public ::testing::TestWithParam<WebRootCase> {};

TEST_P(WebRoots, ChosenRootsGetReadAndExecuteOnce) {
  SetupImage image(GetParam().iis);
  RecordingUi ui;
  IQVSetupCore core(&ui);
  core.progressBar = core.percentLabel = &ui;
  core.extensibilityMode = GetParam().mode;
  ASSERT_TRUE(core.CollectWorkerAccounts());
  ui.messages.clear();
  // Site 2 is chosen; an ID that no longer exists is ignored on the
  // application host.
  core.selectedSites.Add(u"2");
  if (GetParam().mode == IQVSetupCore::ModePipeline) core.selectedSites.Add(u"99");
  const CSPString chosen(GetParam().chosenRoot);
  const std::string otherBefore = SddlOf(image, CSPString(GetParam().otherRoot).GetString());
  ASSERT_TRUE(core.GrantWebRootAccess()) << (ui.messages.empty() ? "" : ui.messages.back());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.GetProgressPosition(), 5);
  for (uint32_t i = 0; i < core.workerAccounts.GetCount(); ++i) {
    EXPECT_EQ(RightsOf(GetParam().chosenRoot, core.workerAccounts.GetValueAt(i)) & 0xA1, 0xA1u)
        << Utf8(core.workerAccounts.GetKeyAt(i));
  }
  const std::string after = SddlOf(image, chosen.GetString());
  ASSERT_TRUE(core.GrantWebRootAccess());
  EXPECT_EQ(SddlOf(image, chosen.GetString()), after);  // nothing added twice
  EXPECT_EQ(SddlOf(image, CSPString(GetParam().otherRoot).GetString()), otherBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Iis, WebRoots,
    ::testing::Values(WebRootCase{"6", IQVSetupCore::ModeIsapi, u"C:\\Inetpub\\intranet",
                                  u"C:\\Inetpub\\wwwroot"},
                      WebRootCase{"10", IQVSetupCore::ModePipeline, u"C:\\Sites\\Intranet",
                                  u"C:\\inetpub\\wwwroot"}),
    [](const auto& info) { return std::string("Iis") + info.param.iis; });

}  // namespace
}  // namespace quaver::test
