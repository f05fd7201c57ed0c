// The installation core's user interface on a wizard sheet. Message boxes
// go to the sheet's host (no owner window, or the page named as owner), the
// progress operations to the progress page's bar and percentage text once
// they are bound, and PressNext presses the sheet's Next button. Calls from
// the installation thread are sent to the user-interface thread and wait.
#pragma once

#include "setup/SetupUi.h"

class CProgressCtrl;
class CPropertySheet;
class CWnd;

class WizardSetupUi : public SetupUi {
 public:
  explicit WizardSetupUi(CPropertySheet& sheet) : sheet(sheet) {}

  void BindProgress(CProgressCtrl* bar, CWnd* label);

  int32_t ShowMessageBox(void* owner, const CSPWString& text, const CSPWString& caption,
                         uint32_t flags) override;
  void SetProgressRange(int32_t low, int32_t high) override;
  int32_t SetProgressStep(int32_t step) override;
  void StepIt() override;
  void GetProgressRange(int32_t& low, int32_t& high) override;
  int32_t GetProgressPosition() override;
  void SetPercentText(const CSPWString& text) override;
  void PressNext() override;
  bool BrowseForFolder(const CSPWString& title, CSPWString& path) override;

 private:
  CPropertySheet& sheet;
  CProgressCtrl* bar = nullptr;
  CWnd* label = nullptr;
};
