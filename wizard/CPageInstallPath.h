// Page 2: the base directory (the product goes to its "Corvane\Quaver"),
// with Browse and Default; leaving it sets the extensibility mode when only
// one is available, or leads to the mode page when both are.
#pragma once

#include "wizard/CPropertyPage.h"

class CPageInstallPath : public CPropertyPage {
 public:
  explicit CPageInstallPath(const CSPWString& defaultBaseDir);

  BOOL OnSetActive() override;
  LRESULT OnWizardNext() override;
  void OnCommand(int id, int code) override;
  void DoDataExchange(CDataExchange* pDX) override;

  // Base directory, a backslash unless it ends in one, "Corvane\Quaver".
  static CSPWString DestinationOf(const CSPWString& base);

  CSPWString captionText;
  CSPWString baseDir;
  CSPWString destination;

 private:
  void ShowBase(const CSPWString& base);
};
