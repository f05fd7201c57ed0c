#include "wizard/CPageSelectWebsites.h"

#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"
#include "wizard/Pictures.h"

namespace {

enum { kAll = 1075, kList = 1074 };
constexpr int kIdLength = 256;

DialogTemplate WebsitesTemplate() {
  return InteriorTemplate(116, {{kAll, ControlKind::CheckBox, u"Enable IIS Quaver on all websites",
                                 7, 3, 272, 10, StyleNone},
                                {kList, ControlKind::ListView, u"", 7, 16, 272, 87,
                                 StyleReport | StyleSingleSel | StyleBorder}});
}

}  // namespace

CPageSelectWebsites::CPageSelectWebsites()
    : CPropertyPage(WebsitesTemplate()),
      siteList([this](const CSPWString& text, const CSPWString& caption, uint32_t flags) {
        SetupStateOf(*this).Message(text, caption, flags);
      }) {}

void CPageSelectWebsites::DoDataExchange(CDataExchange* pDX) {
  DDX_Check(pDX, kAll, all);
  DDX_Control(pDX, kList, list);
}

BOOL CPageSelectWebsites::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  websiteBitmap.LoadBitmap(IDB_WEBSITE);
  images.Create(16, 16, ILC_COLOR8, 1, 1);
  images.Add(&websiteBitmap, 0);
  list.SetImageList(&images, LVSIL_NORMAL);
  list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  list.InsertColumn(0, u"Website", LVCFMT_LEFT, 250, 0);
  list.InsertColumn(1, u"ID", LVCFMT_LEFT, 100, 1);
  return TRUE;
}

BOOL CPageSelectWebsites::OnSetActive() {
  if (!loaded) FillList();
  loaded = true;
  return CPropertyPage::OnSetActive();
}

void CPageSelectWebsites::FillList() {
  const bool read = siteList.Load(static_cast<uint32_t>(SetupStateOf(*this).extensibilityMode));
  const bool allSites = siteList.enableAll || siteList.enabledIds.GetCount() == 0;
  list.EnableWindow(allSites ? FALSE : TRUE);
  all = allSites ? 1 : 0;
  UpdateData(FALSE);
  list.DeleteAllItems();
  if (!read) return;
  for (uint32_t i = 0; i < siteList.allSites.GetCount(); ++i) {
    const RWSite& site = siteList.allSites.GetValueAt(i);
    int row = list.InsertItem(static_cast<int>(i), site.name, 0);
    list.SetItemText(row, 1, site.id);
    list.SetCheck(row, site.enabled ? TRUE : FALSE);
  }
}

void CPageSelectWebsites::OnCommand(int id, int code) {
  if (id != kAll || code != BN_CLICKED) return;
  UpdateData(TRUE);
  siteList.enableAll = all != 0;
  list.EnableWindow(all == 0 ? TRUE : FALSE);
}

LRESULT CPageSelectWebsites::OnWizardBack() {
  IQVSetupCore& state = SetupStateOf(*this);
  if (state.isapiAvailable && state.pipelineAvailable) return 0;
  GetParent()->SetActivePage(CMainSheet::PageInstallPath);
  return -1;
}

LRESULT CPageSelectWebsites::OnWizardNext() {
  // The box is shown checked also when the list was loaded without the
  // flag but with no enabled site; what is saved must be what was shown,
  // or a box left checked would enable the product nowhere.
  UpdateData(TRUE);
  siteList.enableAll = all != 0;
  for (uint32_t i = 0; i < siteList.allSites.GetCount(); ++i)
    siteList.allSites.GetValueAt(i).enabled = false;
  const int rows = list.GetItemCount();
  for (int row = 0; row < rows; ++row) {
    char16_t id[kIdLength];
    list.GetItemText(row, 1, id, kIdLength);
    RWSite* site = siteList.allSites.Lookup(CSPWString(id));
    if (site != nullptr && list.GetCheck(row)) site->enabled = true;
  }
  siteList.Save();
  SetupStateOf(*this).selectedSites = siteList.enabledIds;
  return 0;
}
