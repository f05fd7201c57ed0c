#include "wizard/WizardSetupUi.h"

#include <algorithm>
#include <limits>

#include "wizard/CPropertyPage.h"
#include "wizard/CPropertySheet.h"
#include "wizard/CommonControls.h"
#include "wizard/WizardHost.h"

void WizardSetupUi::BindProgress(CProgressCtrl* progressBar, CWnd* percentLabel) {
  bar = progressBar;
  label = percentLabel;
}

int32_t WizardSetupUi::ShowMessageBox(void* owner, const CSPWString& text,
                                      const CSPWString& caption, uint32_t flags) {
  int32_t answer = 0;
  sheet.Dispatcher().Send([&] {
    WizardHost* host = sheet.GetHost();
    if (host != nullptr)
      answer = host->MessageBox(static_cast<const CPropertyPage*>(owner), text, caption, flags);
  });
  return answer;
}

// The control's range has 16-bit bounds, as PBM_SETRANGE carries them.
void WizardSetupUi::SetProgressRange(int32_t low, int32_t high) {
  constexpr int32_t kMin = std::numeric_limits<short>::min();
  constexpr int32_t kMax = std::numeric_limits<short>::max();
  if (bar != nullptr)
    bar->SetRange(static_cast<short>(std::clamp(low, kMin, kMax)),
                  static_cast<short>(std::clamp(high, kMin, kMax)));
}

int32_t WizardSetupUi::SetProgressStep(int32_t step) {
  return bar != nullptr ? bar->SetStep(step) : 0;
}

void WizardSetupUi::StepIt() {
  if (bar != nullptr) bar->StepIt();
}

void WizardSetupUi::GetProgressRange(int32_t& low, int32_t& high) {
  int rangeLow = 0, rangeHigh = 0;
  if (bar != nullptr) bar->GetRange(rangeLow, rangeHigh);
  low = rangeLow;
  high = rangeHigh;
}

int32_t WizardSetupUi::GetProgressPosition() { return bar != nullptr ? bar->GetPos() : 0; }

void WizardSetupUi::SetPercentText(const CSPWString& text) {
  if (label != nullptr) label->SetWindowText(text);
}

void WizardSetupUi::PressNext() { sheet.PressButton(PSBTN_NEXT); }

bool WizardSetupUi::BrowseForFolder(const CSPWString& title, CSPWString& path) {
  bool chosen = false;
  sheet.Dispatcher().Send([&] {
    WizardHost* host = sheet.GetHost();
    chosen = host != nullptr && host->BrowseForFolder(title, path);
  });
  return chosen;
}
