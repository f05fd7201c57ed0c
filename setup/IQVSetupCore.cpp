#include "setup/IQVSetupCore.h"

#include "setup/ConsoleSetupUi.h"

const char16_t kProductName[] = u"IIS Quaver";
const char16_t kProductKey[] = u"Software\\Corvane\\Quaver";
const char16_t kUninstallKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

IQVSetupCore::IQVSetupCore(SetupUi* ui) : sheet(ui) {}

IQVSetupCore::~IQVSetupCore() {
  if (installThread != nullptr) CloseHandle(installThread);
}

int32_t IQVSetupCore::Message(const CSPWString& text, const CSPWString& caption, uint32_t flags) {
  if (sheet != nullptr) return sheet->ShowMessageBox(nullptr, text, caption, flags);
  ConsoleSetupUi console(std::cerr, false);
  return console.ShowMessageBox(nullptr, text, caption, flags);
}

void IQVSetupCore::StepProgress(int32_t count) {
  if (progressBar == nullptr) return;
  if (count == 0) {
    progressBar->StepIt();
  } else {
    progressBar->SetProgressStep(count);
    progressBar->StepIt();
    progressBar->SetProgressStep(1);
  }
  int32_t low = 0;
  int32_t high = 0;
  progressBar->GetProgressRange(low, high);
  const int64_t position = progressBar->GetProgressPosition();
  // An empty range (before the installation has set one) shows 0 rather
  // than dividing by zero.
  const int64_t percent = high > low ? (position - low) * 100 / (high - low) : 0;
  if (percentLabel != nullptr) percentLabel->SetPercentText(CSPWString(percent) + u"%");
}
