// Page 1: the licence agreement from "license.txt" in the current
// directory; Next is offered once "I agree" is checked.
#pragma once

#include "wizard/CPropertyPage.h"

class CPageLicense : public CPropertyPage {
 public:
  CPageLicense();

  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  void OnCommand(int id, int code) override;
  void DoDataExchange(CDataExchange* pDX) override;

  CSPWString licenseText;
  int agreed = 0;

 private:
  void ShowButtons();
};
