#include "wizard/CPageIIS7Mode.h"

#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"

namespace {

enum { kPipeline = 1021, kIsapi = 1022 };

DialogTemplate ModeTemplate() {
  return InteriorTemplate(
      115, {{IDC_STATIC, ControlKind::Static,
             u"Your IIS supports both native Pipeline and legacy ISAPI extensibility modes.\r\n\r\n"
             u"Please, select the mode you prefer IIS Quaver to work with:",
             7, 4, 272, 36, StyleNone},
            {kPipeline, ControlKind::RadioButton, u"Install as native pipeline module", 20, 48, 250,
             10, StyleGroup},
            {kIsapi, ControlKind::RadioButton, u"Install as legacy ISAPI filter", 20, 63, 250, 10,
             StyleNone}});
}

}  // namespace

CPageIIS7Mode::CPageIIS7Mode() : CPropertyPage(ModeTemplate()) {}

void CPageIIS7Mode::DoDataExchange(CDataExchange* pDX) { DDX_Radio(pDX, kPipeline, choice); }

BOOL CPageIIS7Mode::OnSetActive() {
  choice = SetupStateOf(*this).extensibilityMode == IQVSetupCore::ModeIsapi ? 1 : 0;
  UpdateData(FALSE);
  return CPropertyPage::OnSetActive();
}

void CPageIIS7Mode::OnCommand(int id, int code) {
  if (code != BN_CLICKED || (id != kPipeline && id != kIsapi)) return;
  UpdateData(TRUE);
  SetupStateOf(*this).extensibilityMode =
      id == kPipeline ? IQVSetupCore::ModePipeline : IQVSetupCore::ModeIsapi;
}

LRESULT CPageIIS7Mode::OnWizardNext() {
  UpdateData(TRUE);
  IQVSetupCore& state = SetupStateOf(*this);
  if (choice == 0) {
    state.extensibilityMode = IQVSetupCore::ModePipeline;
  } else if (choice == 1) {
    state.extensibilityMode = IQVSetupCore::ModeIsapi;
  } else {
    MessageBox(u"Please, select an IIS extensibility mode", u"Need selection", MB_ICONEXCLAMATION);
    return -1;
  }
  return 0;
}
