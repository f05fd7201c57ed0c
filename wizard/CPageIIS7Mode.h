// Page 3, shown only when IIS offers both extensibility modes: native
// pipeline module or legacy ISAPI filter.
#pragma once

#include "wizard/CPropertyPage.h"

class CPageIIS7Mode : public CPropertyPage {
 public:
  CPageIIS7Mode();

  BOOL OnSetActive() override;
  LRESULT OnWizardNext() override;
  void OnCommand(int id, int code) override;
  void DoDataExchange(CDataExchange* pDX) override;

  int choice = 0;  // 0 pipeline module, 1 ISAPI filter, -1 none
};
