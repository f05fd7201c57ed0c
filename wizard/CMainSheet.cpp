#include "wizard/CMainSheet.h"

#include "wizard/Pictures.h"

CMainSheet::CMainSheet(const CSPWString& caption)
    : CPropertySheet(caption),
      ui(*this),
      core(&ui),
      pageInstallPath(core.GetDefaultBaseDir()),
      bigIcon(IDI_BIGICON) {}

CMainSheet::~CMainSheet() { WaitForInstallation(); }

BOOL CMainSheet::OnInitDialog() {
  BOOL result = CPropertySheet::OnInitDialog();
  SetIcon(bigIcon, TRUE);
  return result;
}

void CMainSheet::SetUpWizard(PictureId header, PictureId watermark) {
  CPropertyPage* pages[] = {&pageWelcome,  &pageLicense, &pageInstallPath, &pageMode,
                            &pageWebsites, &pageOptions, &pageProgress,    &pageFinish};
  for (CPropertyPage* page : pages) page->m_psp.dwFlags &= ~static_cast<DWORD>(PSP_HASHELP);
  pageWelcome.m_psp.dwFlags |= PSP_HIDEHEADER;
  pageFinish.m_psp.dwFlags |= PSP_HIDEHEADER;
  const struct {
    CPropertyPage* page;
    const char16_t* title;
  } interior[] = {{&pageLicense, u"License Agreement"},
                  {&pageInstallPath, u"Installation Directory"},
                  {&pageMode, u"Select IIS extensibility mode"},
                  {&pageWebsites, u"Select websites to enable IIS Quaver"},
                  {&pageOptions, u"Installation Options"},
                  {&pageProgress, u"Installing Files"}};
  for (const auto& entry : interior) {
    entry.page->m_psp.dwFlags |= PSP_USEHEADERTITLE;
    entry.page->m_strHeaderTitle = entry.title;
  }

  m_psh.dwFlags &= ~static_cast<DWORD>(PSH_HASHELP);
  m_psh.dwFlags |= PSH_WIZARD97 | PSH_USEHBMWATERMARK | PSH_WATERMARK | PSH_STRETCHWATERMARK;
  m_psh.hbmWatermark = watermark;
  m_psh.dwFlags |= PSH_USEHBMHEADER | PSH_HEADER;
  m_psh.hbmHeader = header;
  for (CPropertyPage* page : pages) AddPage(page);
}

IQVSetupCore& SetupStateOf(const CPropertyPage& page) {
  return static_cast<CMainSheet*>(page.GetParent())->core;
}

// Without a thread the state shows its box and presses Next itself.
void CMainSheet::StartInstallation() { core.StartInstallation(&ui, &ui, &ui); }

void CMainSheet::WaitForInstallation() {
  if (core.installThread == nullptr) return;
  Dispatcher().PumpUntil(
      [this] { return WaitForSingleObject(core.installThread, 0) != WAIT_TIMEOUT; });
}
