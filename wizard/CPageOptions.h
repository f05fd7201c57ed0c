// Page 5: the four installation options. Script execution only concerns
// the ISAPI mode, so its box is disabled in pipeline mode.
#pragma once

#include "wizard/CPropertyPage.h"

class CPageOptions : public CPropertyPage {
 public:
  CPageOptions();

  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  void DoDataExchange(CDataExchange* pDX) override;

  int backup = 1;
  int webRootAccess = 1;
  int scriptExecution = 1;
  int desktopIcon = 0;
  CSPWString noteText;
};
