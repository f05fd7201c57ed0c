// The eight pages of the setup wizard through the framework, without a
// window: navigation in either mode, the failure table, the website list
// and "EnableSites.lst", the options and the finish texts.
#include <gtest/gtest.h>

#include "MainSheetFixture.h"
#include "wizard/CIQVSetupApp.h"

using wizardtest::MainSheetFixture;
using wizardtest::Server;

namespace {

constexpr UINT kErrorBox = MB_ICONERROR;

// --- Navigation ---

struct NavigationCase {
  Server server;
  int afterInstallPath;  // page the install path page leads to
  int32_t modeThere;
  int afterWebsitesBack;
  int32_t modeOnWebsites;
};

class WizardNavigation : public ::testing::TestWithParam<NavigationCase> {};

TEST_P(WizardNavigation, TheModePageIsShownOnlyWhenBothModesAreOffered) {
  const NavigationCase& c = GetParam();
  MainSheetFixture wizard(c.server);
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_NEXT));
  EXPECT_EQ(wizardtest::Text(wizard.sheet->GetWindowText()), u"IIS Quaver Pro v4.0");
  wizard.WalkToModeChoice();
  EXPECT_TRUE(wizard.host.boxes.empty());
  ASSERT_EQ(wizard.Index(), c.afterInstallPath);
  EXPECT_EQ(wizard.State().extensibilityMode, c.modeThere);
  if (c.afterInstallPath == CMainSheet::PageMode) {
    EXPECT_TRUE(wizard.Control(wizard.sheet->pageMode, 1021).checked);  // native module first
    wizard.Next();
  }
  EXPECT_EQ(wizard.State().extensibilityMode, c.modeOnWebsites);
  EXPECT_EQ(wizard.State().isapiAvailable, c.modeOnWebsites == IQVSetupCore::ModeIsapi ||
                                               c.afterInstallPath == CMainSheet::PageMode);
  wizard.Back();
  EXPECT_EQ(wizard.Index(), c.afterWebsitesBack);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, WizardNavigation,
    ::testing::Values(
        NavigationCase{Server::Iis6, CMainSheet::PageWebsites, IQVSetupCore::ModeIsapi,
                       CMainSheet::PageInstallPath, IQVSetupCore::ModeIsapi},
        NavigationCase{Server::Iis10, CMainSheet::PageWebsites, IQVSetupCore::ModePipeline,
                       CMainSheet::PageInstallPath, IQVSetupCore::ModePipeline},
        NavigationCase{Server::Iis10Both, CMainSheet::PageMode, IQVSetupCore::ModeChoose,
                       CMainSheet::PageMode, IQVSetupCore::ModePipeline}),
    [](const auto& info) { return wizardtest::ServerName(info.param.server); });

TEST(WizardModePage, TheChosenRadioButtonSetsTheModeAndNoChoiceStays) {
  MainSheetFixture wizard(Server::Iis10Both);
  wizard.WalkToModeChoice();
  CPageIIS7Mode& page = wizard.sheet->pageMode;
  wizard.Click(page, 1022);
  EXPECT_EQ(wizard.State().extensibilityMode, IQVSetupCore::ModeIsapi);

  wizard.Control(page, 1021).checked = false;
  wizard.Control(page, 1022).checked = false;
  wizard.Next();
  EXPECT_EQ(wizard.Index(), CMainSheet::PageMode);
  ASSERT_EQ(wizard.host.boxes.size(), 1u);
  EXPECT_EQ(wizard.host.boxes[0].text, u"Please, select an IIS extensibility mode");
  EXPECT_EQ(wizard.host.boxes[0].caption, u"Need selection");
  EXPECT_EQ(wizard.host.boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(wizard.host.boxes[0].owner, &page);

  wizard.Click(page, 1022);
  wizard.Next();
  EXPECT_EQ(wizard.Index(), CMainSheet::PageWebsites);
  EXPECT_EQ(wizard.State().extensibilityMode, IQVSetupCore::ModeIsapi);
  wizard.Back();  // the mode page shows the mode chosen
  EXPECT_TRUE(wizard.Control(page, 1022).checked);
}

// --- Failure table ---

struct WelcomeFailure {
  Server server;
  const char16_t* text;
};

class WelcomeFailures : public ::testing::TestWithParam<WelcomeFailure> {};

TEST_P(WelcomeFailures, JumpToAFailedFinishPage) {
  MainSheetFixture wizard(GetParam().server);
  wizard.Next();
  ASSERT_EQ(wizard.host.boxes.size(), 1u);
  EXPECT_EQ(wizard.host.boxes[0].text, GetParam().text);
  EXPECT_EQ(wizard.host.boxes[0].caption, u"Fatal error");
  EXPECT_EQ(wizard.host.boxes[0].type, kErrorBox);
  EXPECT_EQ(wizard.host.boxes[0].owner, &wizard.sheet->pageWelcome);
  EXPECT_TRUE(wizard.State().failed);
  EXPECT_EQ(wizard.Index(), CMainSheet::PageFinish);
  EXPECT_EQ(wizard.TextOf(wizard.sheet->pageFinish, 1011),
            u"IIS Quaver Pro v4.0 Setup failed.\r\n\r\n");
  EXPECT_FALSE(wizard.Control(wizard.sheet->pageFinish, 1002).visible);
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_FINISH));
}

INSTANTIATE_TEST_SUITE_P(
    Welcome, WelcomeFailures,
    ::testing::Values(WelcomeFailure{Server::None, u"Cannot connect to IIS."},
                      WelcomeFailure{
                          Server::Iis5,
                          u"This product requires IIS 6.0 or higher.\r\nSetup cannot continue."}),
    [](const auto& info) { return wizardtest::ServerName(info.param.server); });

TEST(WizardInstallPath, AMissingDirectoryKeepsThePage) {
  MainSheetFixture wizard(Server::Iis6);
  wizard.Next();
  wizard.Click(wizard.sheet->pageLicense, 1002);
  wizard.Next();
  wizard.sheet->pageInstallPath.TypeText(1000, u"C:\\No Such Folder");
  wizard.Next();
  EXPECT_EQ(wizard.Index(), CMainSheet::PageInstallPath);
  ASSERT_EQ(wizard.host.boxes.size(), 1u);
  EXPECT_EQ(wizard.host.boxes[0].text,
            u"The path you provided is invalid or does not exist.\nPlease, select another path.");
  EXPECT_EQ(wizard.host.boxes[0].caption, u"Invalid path");
  EXPECT_EQ(wizard.host.boxes[0].owner, nullptr);
  EXPECT_FALSE(wizard.State().failed);
}

TEST(WizardInstallPath, NoModeLeftFailsToTheFinishPage) {
  MainSheetFixture wizard(Server::Iis6);
  wizard.Next();
  wizard.Click(wizard.sheet->pageLicense, 1002);
  wizard.Next();
  wizard.State().isapiAvailable = false;  // IIS went away since the welcome page
  wizard.Next();
  EXPECT_EQ(wizard.Index(), CMainSheet::PageFinish);
  ASSERT_EQ(wizard.host.boxes.size(), 1u);
  EXPECT_EQ(wizard.host.boxes[0].text,
            u"No IIS extensibility mode is available.\r\nSetup cannot continue.");
  EXPECT_EQ(wizard.host.boxes[0].caption, u"Fatal error");
  EXPECT_EQ(wizard.host.boxes[0].owner, &wizard.sheet->pageInstallPath);
  EXPECT_TRUE(wizard.State().failed);
}

TEST(WizardInstallPath, DestinationFollowsEveryChangeOfTheBaseDirectory) {
  MainSheetFixture wizard(Server::Iis6);
  wizard.Next();
  wizard.Click(wizard.sheet->pageLicense, 1002);
  wizard.Next();
  CPageInstallPath& page = wizard.sheet->pageInstallPath;
  const std::u16string defaultBase = wizard.TextOf(page, 1000);
  EXPECT_FALSE(defaultBase.empty());

  page.TypeText(1000, u"D");
  EXPECT_EQ(wizard.TextOf(page, 1012), u"D\\Corvane\\Quaver");
  page.TypeText(1000, u"D:\\");
  EXPECT_EQ(wizard.TextOf(page, 1012), u"D:\\Corvane\\Quaver");

  wizard.host.browseAnswers.push_back(u"C:\\Windows");
  wizard.Click(page, 1001);
  EXPECT_EQ(wizard.TextOf(page, 1000), u"C:\\Windows");
  EXPECT_EQ(wizard.TextOf(page, 1012), u"C:\\Windows\\Corvane\\Quaver");
  ASSERT_EQ(wizard.host.browseTitles.size(), 1u);
  EXPECT_EQ(wizard.host.browseTitles[0], u"Select the installastion directory");
  wizard.Click(page, 1001);  // cancelled: nothing changes
  EXPECT_EQ(wizard.TextOf(page, 1000), u"C:\\Windows");

  wizard.Click(page, 1006);
  EXPECT_EQ(wizard.TextOf(page, 1000), defaultBase);
}

TEST(WizardLicense, AMissingFileLeavesTheTextEmptyAndAgreeingStillWorks) {
  MainSheetFixture wizard(Server::Iis6);
  wizard.Next();
  CPageLicense& page = wizard.sheet->pageLicense;
  EXPECT_EQ(wizard.TextOf(page, 1008), u"");
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_BACK));
  wizard.Click(page, 1002);
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_BACK | PSWIZB_NEXT));
  wizard.Click(page, 1002);
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_BACK));
  EXPECT_TRUE(wizard.host.boxes.empty());
}

TEST(WizardLicense, TheFileIsShownAsItStands) {
  MainSheetFixture wizard(Server::Iis6);
  wizard.image.WriteHostFile("drive_c/license.txt", "Terms\r\nof use \xE9t\xE9");
  wizard.Next();
  EXPECT_EQ(wizard.TextOf(wizard.sheet->pageLicense, 1008), u"Terms\r\nof use \u00E9t\u00E9");
}

// --- Websites ---

class WizardWebsites : public ::testing::Test {
 protected:
  WizardWebsites() : wizard(Server::Iis10) {
    wizard.image.InstallProductDir();
    wizard.WalkToWebsites();
  }
  CPageSelectWebsites& Page() { return wizard.sheet->pageWebsites; }
  CDlgItem& List() { return wizard.Control(Page(), 1074); }
  std::vector<std::u16string> Selected() {
    std::vector<std::u16string> ids;
    for (uint32_t i = 0; i < wizard.State().selectedSites.GetCount(); ++i)
      ids.push_back(wizardtest::Text(wizard.State().selectedSites.GetAt(i)));
    return ids;
  }
  MainSheetFixture wizard;
};

TEST_F(WizardWebsites, TheListShowsEveryWebsiteWithItsIdAndIcon) {
  ASSERT_EQ(wizard.Index(), CMainSheet::PageWebsites);
  CDlgItem& list = List();
  ASSERT_EQ(list.columns.size(), 2u);
  EXPECT_EQ(wizardtest::Text(list.columns[0].heading), u"Website");
  EXPECT_EQ(list.columns[0].width, 250);
  EXPECT_EQ(wizardtest::Text(list.columns[1].heading), u"ID");
  EXPECT_EQ(list.columns[1].width, 100);
  EXPECT_EQ(list.extendedStyle, static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT));
  ASSERT_EQ(list.images.size(), 1u);
  EXPECT_EQ(list.images[0], 142u);
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_EQ(wizardtest::Text(list.rows[0].text), u"Default Web Site");
  EXPECT_EQ(wizardtest::Text(list.rows[0].subItems[1]), u"1");
  EXPECT_EQ(wizardtest::Text(list.rows[1].text), u"Intranet");
  EXPECT_EQ(wizardtest::Text(list.rows[1].subItems[1]), u"2");
  // A first installation enables the product everywhere.
  EXPECT_TRUE(wizard.Control(Page(), 1075).checked);
  EXPECT_FALSE(list.enabled);
}

TEST_F(WizardWebsites, ClearingAllAndCheckingSitesWritesAnEnableOnlyList) {
  wizard.Click(Page(), 1075);
  EXPECT_TRUE(List().enabled);
  Page().CheckRow(1074, 0, true);
  Page().CheckRow(1074, 1, true);
  wizard.Next();
  EXPECT_EQ(wizard.Index(), CMainSheet::PageOptions);
  EXPECT_EQ(wizard.image.EnableList(), "$ENABLE_ONLY$\r\n1\r\n2\r\n");
  EXPECT_EQ(Selected(), (std::vector<std::u16string>{u"1", u"2"}));
}

TEST_F(WizardWebsites, LeavingAllCheckedKeepsEnableAllWithTheCheckedRows) {
  List().rows[1].checked = true;  // as a list loaded with one enabled site
  wizard.Next();
  EXPECT_EQ(wizard.image.EnableList(), "$ENABLE_ALL$\r\n2\r\n");
  EXPECT_EQ(Selected(), (std::vector<std::u16string>{u"2"}));
}

TEST_F(WizardWebsites, TheListIsReadOnceAndKeptWhenTheUserComesBack) {
  wizard.Click(Page(), 1075);
  Page().CheckRow(1074, 0, true);
  wizard.Back();
  EXPECT_EQ(wizard.Index(), CMainSheet::PageInstallPath);
  wizard.image.WriteHostFile("drive_c/inetpub/changed.txt", "");
  wizard.Next();
  ASSERT_EQ(wizard.Index(), CMainSheet::PageWebsites);
  EXPECT_TRUE(List().rows[0].checked);
  EXPECT_FALSE(wizard.Control(Page(), 1075).checked);
  EXPECT_TRUE(List().enabled);
}

// --- Options ---

struct OptionsCase {
  Server server;
  bool scriptEnabled;
};

class WizardOptions : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(WizardOptions, StartWithWebRootOffAndScriptExecutionOnlyForIsapi) {
  MainSheetFixture wizard(GetParam().server);
  wizard.WalkToWebsites();
  wizard.Next();
  ASSERT_EQ(wizard.Index(), CMainSheet::PageOptions);
  CPageOptions& page = wizard.sheet->pageOptions;
  EXPECT_TRUE(wizard.Control(page, 1002).checked);
  EXPECT_FALSE(wizard.Control(page, 1018).checked);
  EXPECT_EQ(wizard.TextOf(page, 1018), u"Add appropriate access rights for IIS to web root");
  EXPECT_TRUE(wizard.Control(page, 1019).checked);
  EXPECT_FALSE(wizard.Control(page, 1003).checked);
  EXPECT_EQ(wizard.Control(page, 1019).enabled, GetParam().scriptEnabled);
  EXPECT_EQ(wizard.Control(page, 1020).enabled, GetParam().scriptEnabled);
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_BACK | PSWIZB_NEXT));
}

INSTANTIATE_TEST_SUITE_P(Modes, WizardOptions,
                         ::testing::Values(OptionsCase{Server::Iis6, true},
                                           OptionsCase{Server::Iis10, false}),
                         [](const auto& info) {
                           return wizardtest::ServerName(info.param.server);
                         });

// --- Finish texts ---

struct FinishCase {
  const char* name;
  bool failed;
  const char* report;
  const char16_t* text;
  bool launchShown;
};

class WizardFinish : public ::testing::TestWithParam<FinishCase> {};

TEST_P(WizardFinish, ShowsTheOutcomeAndTheReport) {
  const FinishCase& c = GetParam();
  MainSheetFixture wizard(Server::Iis6);
  wizard.State().failed = c.failed;
  wizard.State().report = c.report;
  wizard.sheet->SetActivePage(CMainSheet::PageFinish);
  wizard.sheet->Dispatcher().Pump();
  EXPECT_EQ(wizard.TextOf(wizard.sheet->pageFinish, 1011), c.text);
  EXPECT_EQ(wizard.Control(wizard.sheet->pageFinish, 1002).visible, c.launchShown);
  EXPECT_EQ(wizard.sheet->GetWizardButtons(), static_cast<DWORD>(PSWIZB_FINISH));
  EXPECT_EQ(wizardtest::Text(wizard.sheet->GetFinishText()), u"Finish");
  EXPECT_TRUE(wizard.sheet->IsCancelClose());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, WizardFinish,
    ::testing::Values(
        FinishCase{"Success", false, "", u"IIS Quaver Pro v4.0 setup is completed succesfully!",
                   true},
        FinishCase{
            "Omissions", false, "CREATE DESKTOP ICON: FAILED\r\n",
            u"IIS Quaver Pro v4.0 is installed successfully with the following omissions:\r\n\r\n"
            u"CREATE DESKTOP ICON: FAILED\r\n",
            true},
        FinishCase{
            "Failure", true, "ADD IIS FILTER: x  FAILED: \xE9\r\n",
            u"IIS Quaver Pro v4.0 Setup failed.\r\n\r\nADD IIS FILTER: x  FAILED: \u00E9\r\n",
            false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WizardSheet, HeaderTitlesOnlyOnTheInteriorPagesAndTheBitmaps) {
  MainSheetFixture wizard(Server::Iis6);
  CMainSheet& sheet = *wizard.sheet;
  const char16_t* titles[] = {nullptr,
                              u"License Agreement",
                              u"Installation Directory",
                              u"Select IIS extensibility mode",
                              u"Select websites to enable IIS Quaver",
                              u"Installation Options",
                              u"Installing Files",
                              nullptr};
  const UINT templates[] = {108, 113, 107, 115, 116, 114, 110, 111};
  ASSERT_EQ(sheet.GetPageCount(), 8);
  for (int i = 0; i < 8; ++i) {
    CPropertyPage& page = *sheet.GetPage(i);
    EXPECT_EQ(page.GetTemplateId(), templates[i]);
    EXPECT_EQ((page.m_psp.dwFlags & PSP_HIDEHEADER) != 0, titles[i] == nullptr) << i;
    EXPECT_EQ((page.m_psp.dwFlags & PSP_USEHEADERTITLE) != 0, titles[i] != nullptr) << i;
    if (titles[i] != nullptr) {
      EXPECT_EQ(wizardtest::Text(page.m_strHeaderTitle), titles[i]);
    }
  }
  EXPECT_EQ(sheet.m_psh.hbmHeader, 132u);
  EXPECT_EQ(sheet.m_psh.hbmWatermark, 1003u);
  EXPECT_TRUE(sheet.m_psh.dwFlags & PSH_WIZARD97);
  EXPECT_EQ(sheet.GetBigIcon(), 133u);
}

}  // namespace

namespace {

TEST(WizardWebsitesReinstall, AnEnableOnlyListShowsItsSitesCheckedAndTheListEnabled) {
  MainSheetFixture wizard(Server::Iis10);
  wizard.image.InstallProductDir();
  wizard.image.WriteHostFile("drive_c/Program Files/Corvane/Quaver/EnableSites.lst",
                             "$ENABLE_ONLY$\r\n2\r\n");
  wizard.WalkToWebsites();
  CPageSelectWebsites& page = wizard.sheet->pageWebsites;
  EXPECT_FALSE(wizard.Control(page, 1075).checked);
  CDlgItem& list = wizard.Control(page, 1074);
  EXPECT_TRUE(list.enabled);
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_FALSE(list.rows[0].checked);
  EXPECT_TRUE(list.rows[1].checked);
  wizard.Next();
  EXPECT_EQ(wizard.image.EnableList(), "$ENABLE_ONLY$\r\n2\r\n");
}

}  // namespace

// --- Start-up and the launch of the control centre ---

namespace {

struct LaunchCase {
  const char* name;
  bool reachFinish;
  bool checkLaunch;
  bool failAfterwards;  // the state fails after the box was checked
  bool launched;
};

class WizardLaunch : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(WizardLaunch, TheControlCentreStartsOnlyWhenAskedAndSetupDidNotFail) {
  const LaunchCase& c = GetParam();
  wizardtest::WizardTestImage image(Server::Iis6);
  wizardtest::FakeWizardHost host;
  CIQVSetupApp app(host);
  host.script = [&](CPropertySheet& base) {
    CMainSheet& sheet = static_cast<CMainSheet&>(base);
    EXPECT_EQ(sheet.GetPageCount(), 8);
    if (!c.reachFinish) return;  // closed on the welcome page
    sheet.SetActivePage(CMainSheet::PageFinish);
    if (c.checkLaunch) sheet.pageFinish.ClickControl(1002);
    if (c.failAfterwards) sheet.core.failed = true;
    wizardtest::Press(sheet, PSBTN_FINISH);
  };
  EXPECT_FALSE(app.InitInstance());
  const std::string log = image.ReadHostFile("shell.log");
  if (c.launched) {
    EXPECT_NE(
        log.find(
            "verb=open\tfile=C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe\tparameters=\t"
            "directory=\tshow=5"),
        std::string::npos)
        << log;
  } else {
    EXPECT_EQ(log, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WizardLaunch,
                         ::testing::Values(LaunchCase{"Checked", true, true, false, true},
                                           LaunchCase{"NotChecked", true, false, false, false},
                                           LaunchCase{"CheckedThenFailed", true, true, true, false},
                                           LaunchCase{"ClosedOnWelcome", false, false, false,
                                                      false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
