// Page 7: the setup report, and the box that starts the control centre
// after the wizard (hidden when setup failed).
#pragma once

#include "wizard/CPropertyPage.h"

class CPageFinish : public CPropertyPage {
 public:
  CPageFinish();

  BOOL OnSetActive() override;
  void DoDataExchange(CDataExchange* pDX) override;

  CSPWString reportText;
  int launch = 0;
};
