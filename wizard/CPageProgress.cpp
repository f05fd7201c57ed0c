#include "wizard/CPageProgress.h"

#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"

namespace {

DialogTemplate ProgressTemplate() {
  return InteriorTemplate(
      110, {{1017, ControlKind::Static, u"", 7, 8, 272, 10, StyleNone},
            {IDC_STATIC, ControlKind::Static, u"Installation progress:", 7, 32, 150, 8, StyleNone},
            {1005, ControlKind::Static, u"0%", 229, 32, 50, 8, StyleRight},
            {1004, ControlKind::ProgressBar, u"", 7, 43, 272, 12, StyleNone}});
}

}  // namespace

CPageProgress::CPageProgress()
    : CPropertyPage(ProgressTemplate()),
      messageText(u"Please wait while IIS Quaver Pro v4.0 is being installed...") {}

void CPageProgress::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, 1017, messageText);
  DDX_Control(pDX, 1005, percent);
  DDX_Control(pDX, 1004, progress);
}

BOOL CPageProgress::OnSetActive() {
  CMainSheet& sheet = *static_cast<CMainSheet*>(GetParent());
  sheet.SetWizardButtons(0);
  sheet.CancelToClose();
  sheet.pageInstallPath.UpdateData(TRUE);
  sheet.pageOptions.UpdateData(TRUE);

  IQVSetupCore& state = sheet.core;
  state.installDir = sheet.pageInstallPath.baseDir;
  state.createDesktopIcon = sheet.pageOptions.desktopIcon == 1;
  state.createIisBackup = sheet.pageOptions.backup == 1;
  state.addWebRootAccess = sheet.pageOptions.webRootAccess == 1;
  state.allowScriptExecution = sheet.pageOptions.scriptExecution == 1;
  sheet.ui.BindProgress(&progress, &percent);
  sheet.StartInstallation();
  return CPropertyPage::OnSetActive();
}
