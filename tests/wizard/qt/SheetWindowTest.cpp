// The sheet window on a sheet of probe pages: the layout follows the page
// flags, user actions reach the page logic, and a worker's calls are served
// by the Qt event loop.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <atomic>
#include <thread>

#include "FakeWizardHost.h"
#include "QtTestApp.h"
#include "wizard/CDataExchange.h"
#include "wizard/CPropertyPage.h"
#include "wizard/CommonControls.h"
#include "wizard/Pictures.h"
#include "wizard/qt/QtPageView.h"
#include "wizard/qt/QtSheetWindow.h"
#include "wizard/qt/QtWizardHost.h"

namespace {

enum { kEdit = 10, kCheck = 11, kList = 12, kBar = 13, kLabel = 14 };

DialogTemplate Exterior(UINT id) {
  return DialogTemplate{id,
                        286,
                        162,
                        u"Probe",
                        u"MS Shell Dlg",
                        8,
                        {{20, ControlKind::Static, u"Exterior", 115, 8, 160, 20, StyleBold}}};
}

DialogTemplate Interior() {
  return DialogTemplate{201,
                        286,
                        117,
                        u"Probe",
                        u"MS Shell Dlg",
                        8,
                        {{kEdit, ControlKind::Edit, u"", 7, 5, 200, 12, StyleNone},
                         {kCheck, ControlKind::CheckBox, u"Check me", 7, 22, 200, 10, StyleNone},
                         {kList, ControlKind::ListView, u"", 7, 36, 270, 40, StyleReport},
                         {kBar, ControlKind::ProgressBar, u"", 7, 82, 240, 10, StyleNone},
                         {kLabel, ControlKind::Static, u"0%", 252, 82, 30, 10, StyleNone}}};
}

class ExteriorPage : public CPropertyPage {
 public:
  explicit ExteriorPage(UINT id) : CPropertyPage(Exterior(id)) { m_psp.dwFlags |= PSP_HIDEHEADER; }
  BOOL OnSetActive() override {
    GetParent()->SetWizardButtons(GetTemplateId() == 200 ? PSWIZB_NEXT : PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
  }
};

class InteriorPage : public CPropertyPage {
 public:
  InteriorPage() : CPropertyPage(Interior()) {
    m_psp.dwFlags |= PSP_USEHEADERTITLE;
    m_strHeaderTitle = u"Probe Title";
  }
  BOOL OnInitDialog() override {
    CPropertyPage::OnInitDialog();
    images.Create(16, 16, ILC_COLOR8, 1, 1);
    website.LoadBitmap(IDB_WEBSITE);
    images.Add(&website, 0);
    list.SetImageList(&images, LVSIL_NORMAL);
    list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    list.InsertColumn(0, u"Website", LVCFMT_LEFT, 250, 0);
    list.InsertColumn(1, u"ID", LVCFMT_LEFT, 100, 1);
    list.InsertItem(0, u"Default Web Site", 0);
    list.SetItemText(0, 1, u"1");
    return TRUE;
  }
  BOOL OnSetActive() override {
    GetParent()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
  }
  void OnCommand(int id, int code) override {
    if (id == kEdit && code == EN_CHANGE) ++edits;
    if (id == kCheck) UpdateData(TRUE);
  }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Check(pDX, kCheck, checked);
    DDX_Control(pDX, kList, list);
    DDX_Control(pDX, kBar, bar);
    DDX_Control(pDX, kLabel, label);
  }
  int edits = 0;
  int checked = 0;
  CBitmap website;
  CImageList images;
  CListCtrl list;
  CProgressCtrl bar;
  CWnd label;
};

template <class T>
T* Find(QWidget& root, const char* name) {
  return root.findChild<T*>(QString::fromLatin1(name));
}

void Click(QWidget& root, const char* name) {
  QPushButton* button = Find<QPushButton>(root, name);
  ASSERT_NE(button, nullptr) << name;
  ASSERT_TRUE(button->isVisible() && button->isEnabled()) << name;
  QTest::mouseClick(button, Qt::LeftButton);
}

TEST(SheetWindow, ClickThroughWithAWorkerDrivingTheProgress) {
  TestApp();
  ExteriorPage welcome(200);
  InteriorPage inner;
  ExteriorPage finish(202);
  CPropertySheet sheet(u"Probe Setup");
  sheet.m_psh.dwFlags |= PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER;
  sheet.m_psh.hbmWatermark = IDB_WATERMARK;
  sheet.m_psh.hbmHeader = IDB_HEADER;
  sheet.AddPage(&welcome);
  sheet.AddPage(&inner);
  sheet.AddPage(&finish);
  QtWizardHost host;
  sheet.SetHost(&host);

  std::atomic<bool> workerDone{false};
  std::thread worker;
  host.onShown = [&](QtSheetWindow& window) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Probe Setup"));
    EXPECT_FALSE(Find<QWidget>(window, "header")->isVisible());
    EXPECT_FALSE(Find<QPushButton>(window, "back")->isEnabled());
    Click(window, "next");
    ASSERT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_TRUE(Find<QWidget>(window, "header")->isVisible());
    EXPECT_EQ(Find<QLabel>(window, "headerTitle")->text(), QStringLiteral("Probe Title"));

    QTest::keyClicks(Find<QLineEdit>(window, "control_10"), QStringLiteral("C:\\x"));
    EXPECT_EQ(inner.edits, 4);
    QCheckBox* box = Find<QCheckBox>(window, "control_11");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_EQ(inner.checked, 1);
    QTreeWidget* list = Find<QTreeWidget>(window, "control_12");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("ID"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("1"));
    EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(inner.list.GetCheck(0));

    // As the installation thread does: buttons off, bar driven, Next pressed.
    sheet.SetWizardButtons(0);
    sheet.CancelToClose();
    worker = std::thread([&] {
      inner.bar.SetRange(0, 4);
      inner.bar.SetStep(1);
      for (int i = 0; i < 3; ++i) inner.bar.StepIt();
      inner.label.SetWindowText(u"75%");
      sheet.PressButton(PSBTN_NEXT);
      workerDone = true;
    });
    ASSERT_TRUE(WaitFor([&] { return workerDone.load(); }));
    EXPECT_EQ(inner.bar.GetPos(), 3);
    QTest::qWait(20);
    EXPECT_EQ(sheet.GetActiveIndex(), 2);
    EXPECT_EQ(Find<QPushButton>(window, "cancel")->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(Find<QPushButton>(window, "cancel")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(window, "next")->isVisible());
    Click(window, "finish");
  };
  INT_PTR result = sheet.DoModal();
  if (worker.joinable()) worker.join();
  EXPECT_EQ(result, ID_WIZFINISH);
}

}  // namespace
