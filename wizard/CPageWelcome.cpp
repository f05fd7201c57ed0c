#include "wizard/CPageWelcome.h"

#include "iis/IISHelper.h"
#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"

namespace {

DialogTemplate WelcomeTemplate() {
  return ExteriorTemplate(
      108, {{1014, ControlKind::Static, u"", 115, 8, 164, 40, StyleBold},
            {IDC_STATIC, ControlKind::Static,
             u"***IMPORTANT***\nYou need to have administrative privileges to install IIS Quaver.",
             115, 58, 164, 30, StyleNone},
            {1015, ControlKind::Static, u"", 115, 100, 164, 56, StyleNone}});
}

}  // namespace

CPageWelcome::CPageWelcome()
    : CPropertyPage(WelcomeTemplate()),
      introText(u"This setup tool will install\r\nIIS Quaver Pro v4.0"),
      noticeText(
          u"IIS Quaver Pro is a product of Corvane. Click Next to continue, or Cancel to leave "
          u"setup without changing anything.") {
  m_strCaption = kProductTitle;
}

void CPageWelcome::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, 1014, introText);
  DDX_Text(pDX, 1015, noticeText);
}

BOOL CPageWelcome::OnSetActive() {
  GetParent()->SetWindowText(kProductTitle);
  SetWindowText(kProductTitle);
  GetParent()->SetWizardButtons(PSWIZB_NEXT);
  UpdateData(FALSE);
  return CPropertyPage::OnSetActive();
}

LRESULT CPageWelcome::OnWizardNext() {
  IQVSetupCore& state = SetupStateOf(*this);
  IISHelper iis;
  const uint32_t version = iis.GetMajorVersion();
  state.pipelineAvailable = false;
  if (version >= 7) {
    state.pipelineAvailable = iis.Connect(IISHelper::ConnectAppHost);
    iis.Disconnect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);
  }
  state.isapiAvailable = iis.Connect(IISHelper::ConnectMetabase);
  iis.Disconnect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);

  if (!state.isapiAvailable && !state.pipelineAvailable) return Fail(u"Cannot connect to IIS.");
  if (version <= 5)
    return Fail(u"This product requires IIS 6.0 or higher.\r\nSetup cannot continue.");
  return 0;
}

LRESULT CPageWelcome::Fail(const char16_t* text) {
  MessageBox(text, u"Fatal error", MB_ICONERROR);
  SetupStateOf(*this).failed = true;
  GetParent()->SetActivePage(CMainSheet::PageFinish);
  return -1;
}
