// Page 6: takes the directory and the options into the setup state and
// starts the installation thread, which drives the bar and the percentage
// and presses Next when it ends. Every wizard button is off meanwhile.
#pragma once

#include "wizard/CPropertyPage.h"
#include "wizard/CommonControls.h"

class CPageProgress : public CPropertyPage {
 public:
  CPageProgress();

  BOOL OnSetActive() override;
  void DoDataExchange(CDataExchange* pDX) override;

  CSPWString messageText;
  CWnd percent;
  CProgressCtrl progress;
};
