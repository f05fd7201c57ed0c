#include "wizard/CPageOptions.h"

#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"

namespace {

enum { kBackup = 1002, kDesktopIcon = 1003, kWebRoot = 1018, kScript = 1019, kNote = 1020 };

DialogTemplate OptionsTemplate() {
  return InteriorTemplate(
      114,
      {{kBackup, ControlKind::CheckBox, u"Create IIS configuration backup (highly recommended)", 7,
        3, 272, 10, StyleNone},
       {kWebRoot, ControlKind::CheckBox,
        u"Add appropriate access rights for IIS to web root (recommended)", 7, 18, 272, 10,
        StyleNone},
       {IDC_STATIC, ControlKind::Static,
        u"-Warning: This option may take significantly long time during installation if your "
        u"webserver's root has excessive content.",
        19, 29, 260, 18, StyleNone},
       {kScript, ControlKind::CheckBox, u"Set IIS to allow script execution (recommended)", 7, 49,
        272, 10, StyleNone},
       {kNote, ControlKind::Static,
        u"-Script execution is required for override configurations (.htaccess) and proxy option "
        u"[P] to work.",
        19, 60, 260, 18, StyleNone},
       {kDesktopIcon, ControlKind::CheckBox, u"Create desktop icon", 7, 81, 272, 10, StyleNone}});
}

}  // namespace

CPageOptions::CPageOptions()
    : CPropertyPage(OptionsTemplate()),
      noteText(
          u"-Script execution is required for override configurations (.htaccess) and proxy option "
          u"[P] to work.") {}

void CPageOptions::DoDataExchange(CDataExchange* pDX) {
  DDX_Check(pDX, kBackup, backup);
  DDX_Check(pDX, kWebRoot, webRootAccess);
  DDX_Check(pDX, kScript, scriptExecution);
  DDX_Text(pDX, kNote, noteText);
  DDX_Check(pDX, kDesktopIcon, desktopIcon);
}

BOOL CPageOptions::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  GetDlgItem(kWebRoot)->text = u"Add appropriate access rights for IIS to web root";
  webRootAccess = 0;
  noteText =
      u"-Script execution is required for override configurations (.htaccess) and proxy option [P] "
      u"to "
      u"work.";
  UpdateData(FALSE);
  return TRUE;
}

BOOL CPageOptions::OnSetActive() {
  const int32_t mode = SetupStateOf(*this).extensibilityMode;
  if (mode == IQVSetupCore::ModePipeline || mode == IQVSetupCore::ModeIsapi) {
    const bool enable = mode == IQVSetupCore::ModeIsapi;
    GetDlgItem(kScript)->enabled = enable;
    GetDlgItem(kNote)->enabled = enable;
  }
  return CPropertyPage::OnSetActive();
}
