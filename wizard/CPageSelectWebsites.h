// Page 4: the websites to enable the product on, read from IIS and the old
// enable list on the first visit; leaving it writes "EnableSites.lst" and
// hands the enabled site IDs to the setup state.
#pragma once

#include "iis/RWSiteList.h"
#include "wizard/CPropertyPage.h"
#include "wizard/CommonControls.h"

class CPageSelectWebsites : public CPropertyPage {
 public:
  CPageSelectWebsites();

  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  LRESULT OnWizardBack() override;
  LRESULT OnWizardNext() override;
  void OnCommand(int id, int code) override;
  void DoDataExchange(CDataExchange* pDX) override;

  int all = 0;
  CListCtrl list;
  RWSiteList siteList;
  CBitmap websiteBitmap;
  CImageList images;
  bool loaded = false;

 private:
  void FillList();
};
