#include "wizard/CPageInstallPath.h"

#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"

namespace {

enum { kBase = 1000, kBrowse = 1001, kDefault = 1006, kDestination = 1012 };

DialogTemplate InstallPathTemplate() {
  return InteriorTemplate(
      107, {{1016, ControlKind::Static, u"", 7, 4, 272, 10, StyleNone},
            {kBase, ControlKind::Edit, u"", 7, 20, 168, 13, StyleNone},
            {kBrowse, ControlKind::PushButton, u"Browse...", 181, 19, 48, 15, StyleNone},
            {kDefault, ControlKind::PushButton, u"Default", 232, 19, 48, 15, StyleNone},
            {IDC_STATIC, ControlKind::Static, u"Destination directory:", 7, 48, 150, 8, StyleNone},
            {kDestination, ControlKind::Static, u"", 7, 59, 272, 18, StyleNone}});
}

}  // namespace

CPageInstallPath::CPageInstallPath(const CSPWString& defaultBaseDir)
    : CPropertyPage(InstallPathTemplate()),
      captionText(u"Select the directory where IIS Quaver Pro v4.0 will be installed."),
      baseDir(defaultBaseDir),
      destination(DestinationOf(defaultBaseDir)) {}

CSPWString CPageInstallPath::DestinationOf(const CSPWString& base) {
  CSPWString result = base;
  if (result.GetLength() == 0 || result.GetAt(result.GetLength() - 1) != u'\\') result += u"\\";
  result += u"Corvane\\Quaver";
  return result;
}

void CPageInstallPath::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, 1016, captionText);
  DDX_Text(pDX, kBase, baseDir);
  DDX_Text(pDX, kDestination, destination);
}

BOOL CPageInstallPath::OnSetActive() {
  GetParent()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  return CPropertyPage::OnSetActive();
}

void CPageInstallPath::ShowBase(const CSPWString& base) {
  baseDir = base;
  destination = DestinationOf(baseDir);
  UpdateData(FALSE);
}

void CPageInstallPath::OnCommand(int id, int code) {
  IQVSetupCore& state = SetupStateOf(*this);
  if (id == kBrowse && code == BN_CLICKED) {
    CSPWString chosen;
    if (state.BrowseForDirectory(chosen)) ShowBase(chosen);
  } else if (id == kDefault && code == BN_CLICKED) {
    ShowBase(state.GetDefaultBaseDir());
  } else if (id == kBase && code == EN_CHANGE) {
    UpdateData(TRUE);
    ShowBase(baseDir);
  }
}

LRESULT CPageInstallPath::OnWizardNext() {
  IQVSetupCore& state = SetupStateOf(*this);
  UpdateData(TRUE);
  if (!state.IsValidDirectory(baseDir)) return -1;
  CPropertySheet* sheet = GetParent();
  if (state.pipelineAvailable && !state.isapiAvailable) {
    state.extensibilityMode = IQVSetupCore::ModePipeline;
    sheet->SetActivePage(CMainSheet::PageWebsites);
  } else if (state.isapiAvailable && !state.pipelineAvailable) {
    state.extensibilityMode = IQVSetupCore::ModeIsapi;
    sheet->SetActivePage(CMainSheet::PageWebsites);
  } else if (state.isapiAvailable && state.pipelineAvailable) {
    if (state.extensibilityMode == IQVSetupCore::ModeNone)
      state.extensibilityMode = IQVSetupCore::ModeChoose;
    sheet->SetActivePage(CMainSheet::PageMode);
  } else {
    MessageBox(u"No IIS extensibility mode is available.\r\nSetup cannot continue.", u"Fatal error",
               MB_ICONERROR);
    state.failed = true;
    sheet->SetActivePage(CMainSheet::PageFinish);
  }
  return -1;
}
