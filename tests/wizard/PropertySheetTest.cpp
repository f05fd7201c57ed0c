// The property-sheet framework on its own: a sheet of probe pages, driven as
// the toolkit would drive it, without a window.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "FakeWizardHost.h"
#include "wizard/CDataExchange.h"
#include "wizard/CPropertyPage.h"
#include "wizard/CommonControls.h"
#include "wizard/DialogUnits.h"
#include "wizard/WizardSetupUi.h"

using wizardtest::FakeWizardHost;
using wizardtest::Press;

namespace {

enum {
  kEdit = 10,
  kCheck = 11,
  kRadioA = 12,
  kRadioB = 13,
  kRadioC = 17,
  kLabel = 14,
  kBar = 15,
  kList = 16
};

DialogTemplate ProbeTemplate(UINT id) {
  return DialogTemplate{id,
                        286,
                        116,
                        u"Probe",
                        u"MS Shell Dlg",
                        8,
                        {{IDC_STATIC, ControlKind::Static, u"Heading", 5, 5, 100, 8, StyleNone},
                         {kEdit, ControlKind::Edit, u"", 5, 20, 100, 12, StyleNone},
                         {kCheck, ControlKind::CheckBox, u"Agree", 5, 35, 100, 10, StyleNone},
                         {kRadioA, ControlKind::RadioButton, u"A", 5, 50, 50, 10, StyleGroup},
                         {kRadioB, ControlKind::RadioButton, u"B", 5, 60, 50, 10, StyleNone},
                         {kRadioC, ControlKind::RadioButton, u"C", 60, 60, 50, 10, StyleNone},
                         {kLabel, ControlKind::Static, u"0%", 5, 75, 50, 8, StyleNone},
                         {kBar, ControlKind::ProgressBar, u"", 5, 85, 200, 10, StyleNone},
                         {kList, ControlKind::ListView, u"", 5, 95, 200, 20, StyleReport}}};
}

class ProbePage : public CPropertyPage {
 public:
  ProbePage(UINT id, std::vector<std::string>& log) : CPropertyPage(ProbeTemplate(id)), log(log) {}

  BOOL OnInitDialog() override {
    Note("init");
    return CPropertyPage::OnInitDialog();
  }
  BOOL OnSetActive() override {
    Note("active");
    if (buttonsOnActive != 0xFFFF) GetParent()->SetWizardButtons(buttonsOnActive);
    return CPropertyPage::OnSetActive();
  }
  LRESULT OnWizardNext() override {
    Note("next");
    if (jumpOnNext >= 0) GetParent()->SetActivePage(jumpOnNext);
    return nextAnswer;
  }
  LRESULT OnWizardBack() override {
    Note("back");
    return backAnswer;
  }
  void OnCommand(int id, int code) override {
    Note("command " + std::to_string(id) + "/" + std::to_string(code));
  }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, kEdit, name);
    DDX_Check(pDX, kCheck, agreed);
    DDX_Radio(pDX, kRadioA, choice);
    DDX_Control(pDX, kBar, bar);
    DDX_Control(pDX, kLabel, label);
    DDX_Control(pDX, kList, list);
  }

  LRESULT nextAnswer = 0;
  LRESULT backAnswer = 0;
  int jumpOnNext = -1;
  DWORD buttonsOnActive = 0xFFFF;
  CSPWString name;
  int agreed = 0;
  int choice = 0;
  CProgressCtrl bar;
  CWnd label;
  CListCtrl list;

 private:
  void Note(const std::string& what) {
    log.push_back(std::to_string(GetTemplateId()) + " " + what);
  }
  std::vector<std::string>& log;
};

class PropertySheetTest : public ::testing::Test {
 protected:
  PropertySheetTest() : sheet(u"Probe sheet") {
    for (UINT id = 200; id < 204; ++id) {
      pages.emplace_back(new ProbePage(id, log));
      sheet.AddPage(pages.back().get());
    }
    sheet.SetHost(&host);
    sheet.Create();
    sheet.Dispatcher().Pump();
  }
  ProbePage& Page(int index) { return *pages[static_cast<size_t>(index)]; }

  std::vector<std::string> log;
  std::vector<std::unique_ptr<ProbePage>> pages;
  FakeWizardHost host;
  CPropertySheet sheet;
};

struct NavigationCase {
  const char* name;
  int start;
  int button;
  LRESULT answer;
  int jump;  // SetActivePage made by the handler, -1 for none
  int expected;
};

class SheetNavigation : public PropertySheetTest,
                        public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(SheetNavigation, FollowsTheHandlersAnswer) {
  const NavigationCase& c = GetParam();
  sheet.SetActivePage(c.start);
  ProbePage& page = Page(c.start);
  page.nextAnswer = page.backAnswer = c.answer;
  page.jumpOnNext = c.jump;
  Press(sheet, c.button);
  EXPECT_EQ(sheet.GetActiveIndex(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SheetNavigation,
    ::testing::Values(NavigationCase{"NextZeroMovesOn", 0, PSBTN_NEXT, 0, -1, 1},
                      NavigationCase{"NextMinusOneStays", 1, PSBTN_NEXT, -1, -1, 1},
                      NavigationCase{"JumpThenStay", 0, PSBTN_NEXT, -1, 3, 3},
                      NavigationCase{"NextToTemplate", 0, PSBTN_NEXT, 202, -1, 2},
                      NavigationCase{"BackZeroMovesBack", 2, PSBTN_BACK, 0, -1, 1},
                      NavigationCase{"BackMinusOneStays", 2, PSBTN_BACK, -1, -1, 2},
                      NavigationCase{"NextPastLastStays", 3, PSBTN_NEXT, 0, -1, 3}),
    [](const ::testing::TestParamInfo<NavigationCase>& info) { return info.param.name; });

TEST_F(PropertySheetTest, PagesAreInitialisedOnceOnTheirFirstActivation) {
  Press(sheet, PSBTN_NEXT);
  Press(sheet, PSBTN_BACK);
  Press(sheet, PSBTN_NEXT);
  std::vector<std::string> expected = {"200 init",   "200 active", "200 next",
                                       "201 init",   "201 active", "201 back",
                                       "200 active", "200 next",   "201 active"};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(Page(2).IsCreated());
  EXPECT_EQ(Page(2).GetDlgItem(kEdit), nullptr);
}

TEST_F(PropertySheetTest, DataExchangeMovesValuesBothWays) {
  ProbePage& page = Page(0);
  page.name = u"C:\\Data";
  page.agreed = 1;
  page.choice = 1;
  page.UpdateData(FALSE);
  EXPECT_EQ(wizardtest::Text(page.GetDlgItem(kEdit)->text), u"C:\\Data");
  EXPECT_TRUE(page.GetDlgItem(kCheck)->checked);
  EXPECT_FALSE(page.GetDlgItem(kRadioA)->checked);
  EXPECT_TRUE(page.GetDlgItem(kRadioB)->checked);

  page.GetDlgItem(kRadioB)->checked = false;
  page.GetDlgItem(kCheck)->checked = false;
  page.UpdateData(TRUE);
  EXPECT_EQ(page.choice, -1);  // no button of the group is checked
  EXPECT_EQ(page.agreed, 0);
}

TEST_F(PropertySheetTest, UserActionsReachThePageAsCommands) {
  ProbePage& page = Page(0);
  page.ClickControl(kRadioB);
  EXPECT_TRUE(page.GetDlgItem(kRadioB)->checked);
  EXPECT_FALSE(page.GetDlgItem(kRadioA)->checked);
  page.ClickControl(kCheck);
  EXPECT_TRUE(page.GetDlgItem(kCheck)->checked);
  page.TypeText(kEdit, u"D");
  page.TypeText(kEdit, u"D");  // no change, no notification
  page.GetDlgItem(kCheck)->enabled = false;
  page.ClickControl(kCheck);  // a disabled control does not react
  EXPECT_TRUE(page.GetDlgItem(kCheck)->checked);

  std::vector<std::string> commands(log.begin() + 2, log.end());
  std::vector<std::string> expected = {"200 command 13/0", "200 command 11/0",
                                       "200 command 10/768"};
  EXPECT_EQ(commands, expected);
}

struct ArrowCase {
  const char* name;
  int from;
  int direction;
  bool bDisabled;
  int expected;  // focused and checked afterwards
};

class RadioArrows : public PropertySheetTest, public ::testing::WithParamInterface<ArrowCase> {};

TEST_P(RadioArrows, MoveAndCheckWithinTheGroup) {
  const ArrowCase& c = GetParam();
  ProbePage& page = Page(0);
  page.GetDlgItem(kRadioB)->enabled = !c.bDisabled;
  EXPECT_EQ(page.MoveInGroup(c.from, c.direction), c.expected);
  for (int id : {kRadioA, kRadioB, kRadioC})
    EXPECT_EQ(page.GetDlgItem(id)->checked, id == c.expected) << id;
  EXPECT_EQ(log.back(), "200 command " + std::to_string(c.expected) + "/0");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RadioArrows,
    ::testing::Values(ArrowCase{"DownToNext", kRadioA, +1, false, kRadioB},
                      ArrowCase{"UpToPrevious", kRadioB, -1, false, kRadioA},
                      ArrowCase{"DownWrapsToFirst", kRadioC, +1, false, kRadioA},
                      ArrowCase{"UpWrapsToLast", kRadioA, -1, false, kRadioC},
                      ArrowCase{"DisabledIsPassedOver", kRadioA, +1, true, kRadioC}),
    [](const ::testing::TestParamInfo<ArrowCase>& info) { return info.param.name; });

TEST_F(PropertySheetTest, ArrowsLeaveOtherControlsAndLoneButtonsAlone) {
  ProbePage& page = Page(0);
  EXPECT_EQ(page.MoveInGroup(kCheck, +1), kCheck);
  EXPECT_FALSE(page.GetDlgItem(kCheck)->checked);
  page.GetDlgItem(kRadioB)->enabled = false;
  page.GetDlgItem(kRadioC)->visible = false;
  page.UpdateData(FALSE);  // choice 0: A checked
  const size_t before = log.size();
  EXPECT_EQ(page.MoveInGroup(kRadioA, +1), kRadioA);
  EXPECT_TRUE(page.GetDlgItem(kRadioA)->checked);
  EXPECT_EQ(log.size(), before);  // nothing clicked
}

TEST_F(PropertySheetTest, WizardButtonsArePostedAndFinishTextShowsFinishOnly) {
  Page(1).buttonsOnActive = PSWIZB_BACK;
  sheet.PressButton(PSBTN_NEXT);
  EXPECT_EQ(sheet.GetWizardButtons(), static_cast<DWORD>(PSWIZB_NEXT));  // not yet arrived
  sheet.Dispatcher().Pump();
  EXPECT_EQ(sheet.GetWizardButtons(), static_cast<DWORD>(PSWIZB_BACK));

  sheet.SetFinishText(u"Done");
  EXPECT_EQ(sheet.GetWizardButtons(), static_cast<DWORD>(PSWIZB_FINISH));
  EXPECT_EQ(wizardtest::Text(sheet.GetFinishText()), u"Done");
}

TEST_F(PropertySheetTest, FinishAndCancelEndTheSheet) {
  Press(sheet, PSBTN_FINISH);
  EXPECT_TRUE(sheet.IsEnded());
  EXPECT_EQ(sheet.GetResult(), ID_WIZFINISH);

  CPropertySheet other(u"Other");
  ProbePage page(300, log);
  other.AddPage(&page);
  other.Create();
  other.CancelToClose();
  EXPECT_TRUE(other.IsCancelClose());
  Press(other, PSBTN_CANCEL);
  EXPECT_EQ(other.GetResult(), IDCANCEL);
}

TEST_F(PropertySheetTest, MessageBoxesCarryTheirOwnerPage) {
  Page(0).MessageBox(u"Text", u"Caption", MB_ICONEXCLAMATION);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].owner, &Page(0));
  EXPECT_EQ(host.boxes[0].caption, u"Caption");
  EXPECT_EQ(host.boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
}

// The installation thread drives the bar and the percentage and presses
// Next while every wizard button is disabled; each call waits until the
// user-interface thread has served it.
TEST_F(PropertySheetTest, AWorkerDrivesControlsAndPressesNextThroughTheUiThread) {
  ProbePage& page = Page(0);
  sheet.SetWizardButtons(0);
  sheet.CancelToClose();
  sheet.Dispatcher().Pump();
  std::atomic<bool> finished{false};
  int seenPosition = -1;
  std::thread worker([&] {
    page.bar.SetRange(0, 40);
    page.bar.SetStep(1);
    for (int i = 0; i < 30; ++i) page.bar.StepIt();
    seenPosition = page.bar.GetPos();
    page.label.SetWindowText(u"75%");
    sheet.PressButton(PSBTN_NEXT);
    finished = true;
    sheet.Dispatcher().NotifyAll();
  });
  sheet.Dispatcher().PumpUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_EQ(seenPosition, 30);
  EXPECT_EQ(sheet.GetActiveIndex(), 1);
  EXPECT_EQ(wizardtest::Text(page.GetDlgItem(kLabel)->text), u"75%");
}

// A box that the installation opens right after changing a control finds
// the window told of the change, so the change shows while the box is up.
TEST_F(PropertySheetTest, ChangesReachTheHostBeforeAWorkersBoxOpens) {
  ProbePage& page = Page(0);
  std::vector<std::u16string> shownTexts;
  host.onInvalidate = [&](CPropertySheet&) {
    shownTexts.push_back(wizardtest::Text(page.GetDlgItem(kLabel)->text));
  };
  WizardSetupUi ui(sheet);
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    page.label.SetWindowText(u"3%");
    ui.ShowMessageBox(nullptr, u"Warning", u"Unknown user", MB_ICONEXCLAMATION);
    finished = true;
    sheet.Dispatcher().NotifyAll();
  });
  sheet.Dispatcher().PumpUntil([&] { return finished.load(); });
  worker.join();
  ASSERT_EQ(host.boxes.size(), 1u);
  const size_t before = host.boxes[0].invalidationsBefore;
  ASSERT_GE(before, 1u);
  EXPECT_EQ(shownTexts[before - 1], u"3%");
}

TEST_F(PropertySheetTest, ProgressStaysWithinItsRange) {
  CProgressCtrl& bar = Page(0).bar;
  bar.SetRange(0, 3);
  bar.SetStep(2);
  bar.StepIt();
  bar.StepIt();
  EXPECT_EQ(bar.GetPos(), 3);
  bar.SetStep(-5);
  bar.StepIt();
  EXPECT_EQ(bar.GetPos(), 0);
  int low = -1, high = -1;
  bar.GetRange(low, high);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 3);
}

TEST_F(PropertySheetTest, ListRowsKeepTextSubItemsAndChecks) {
  CListCtrl& list = Page(0).list;
  list.InsertColumn(0, u"Website", LVCFMT_LEFT, 250, 0);
  list.InsertColumn(1, u"ID", LVCFMT_LEFT, 100, 1);
  int row = list.InsertItem(0, u"Default Web Site", 0);
  list.SetItemText(row, 1, u"12345");
  list.SetCheck(row, TRUE);
  char16_t buffer[4];
  EXPECT_EQ(list.GetItemText(row, 1, buffer, 4), 3);  // room for three and the terminator
  EXPECT_EQ(std::u16string(buffer), u"123");
  EXPECT_TRUE(list.GetCheck(row));
  EXPECT_EQ(list.GetItemText(5, 1, buffer, 4), 0);
  Page(0).CheckRow(kList, row, false);
  EXPECT_FALSE(list.GetCheck(row));
  list.DeleteAllItems();
  EXPECT_EQ(list.GetItemCount(), 0);
}

struct UnitsCase {
  const char* name;
  int sampleWidth;  // extent of the 52 letters
  int height;
  int baseWidth;
  int baseHeight;
  int pageWidth;   // 286 units
  int pageHeight;  // 117 units
};

class DialogUnitsFromTheFont : public ::testing::TestWithParam<UnitsCase> {};

TEST_P(DialogUnitsFromTheFont, FollowTheAverageLetterWidthAndTheHeight) {
  const UnitsCase& c = GetParam();
  DialogBaseUnits units(c.sampleWidth, c.height);
  EXPECT_EQ(units.BaseWidth(), c.baseWidth);
  EXPECT_EQ(units.BaseHeight(), c.baseHeight);
  EXPECT_EQ(units.ToPixelsX(286), c.pageWidth);
  EXPECT_EQ(units.ToPixelsY(117), c.pageHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, DialogUnitsFromTheFont,
    ::testing::Values(UnitsCase{"EightPointShellFont", 330, 13, 6, 13, 429, 190},
                      UnitsCase{"WiderFont", 359, 13, 7, 13, 501, 190},
                      UnitsCase{"AverageRoundsUp", 338, 15, 7, 15, 501, 219},
                      UnitsCase{"AverageRoundsDown", 337, 15, 6, 15, 429, 219},
                      UnitsCase{"NoFontAtAll", 0, 0, 1, 1, 72, 15}),
    [](const ::testing::TestParamInfo<UnitsCase>& info) { return info.param.name; });

TEST(DialogUnits, ConvertAsMulDivRounds) {
  DialogBaseUnits units(330, 13);
  EXPECT_EQ(units.ToPixelsX(1), 2);    // 1.5
  EXPECT_EQ(units.ToPixelsY(1), 2);    // 1.625
  EXPECT_EQ(units.ToPixelsY(4), 7);    // 6.5
  EXPECT_EQ(units.ToPixelsX(-1), -2);  // halves round away from zero
  EXPECT_EQ(units.ToPixelsX(0), 0);
  EXPECT_EQ(DialogBaseUnits::PointsToPixels(8, 96), 11);
  EXPECT_EQ(DialogBaseUnits::PointsToPixels(12, 96), 16);
  EXPECT_EQ(DialogBaseUnits::PointsToPixels(8, 120), 13);
  EXPECT_EQ(DialogBaseUnits::PointsToPixels(9, 96), 12);
}

}  // namespace
