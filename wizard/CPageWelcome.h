// Page 0: the welcome page. Leaving it decides which IIS extensibility modes
// can be offered; without any, setup fails and jumps to the finish page.
#pragma once

#include "wizard/CPropertyPage.h"

class CPageWelcome : public CPropertyPage {
 public:
  CPageWelcome();

  BOOL OnSetActive() override;
  LRESULT OnWizardNext() override;
  void DoDataExchange(CDataExchange* pDX) override;

  CSPWString introText;
  CSPWString noticeText;

 private:
  LRESULT Fail(const char16_t* text);
};
