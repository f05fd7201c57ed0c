// The setup wizard's sheet set up as the application sets it up, on a
// server of the test's choice, driven without a window: boxes are recorded,
// buttons pressed as the user presses them.
#pragma once

#include <memory>
#include <string>

#include "FakeWizardHost.h"
#include "WizardTestImage.h"
#include "wizard/CMainSheet.h"

namespace wizardtest {

class MainSheetFixture {
 public:
  explicit MainSheetFixture(Server server);

  void Next() { Press(*sheet, PSBTN_NEXT); }
  void Back() { Press(*sheet, PSBTN_BACK); }
  int Index() const { return sheet->GetActiveIndex(); }
  IQVSetupCore& State() { return sheet->core; }
  CDlgItem& Control(CPropertyPage& page, int id);
  std::u16string TextOf(CPropertyPage& page, int id) { return Text(Control(page, id).text); }
  void Click(CPropertyPage& page, int id);

  // Welcome, licence (agreed), install path: lands where the install path
  // page leads.
  void WalkToModeChoice();
  // On to the websites page, choosing the pipeline module on the mode page.
  void WalkToWebsites();

  WizardTestImage image;
  FakeWizardHost host;
  std::unique_ptr<CMainSheet> sheet;
};

}  // namespace wizardtest
