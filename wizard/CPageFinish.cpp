#include "wizard/CPageFinish.h"

#include "wizard/AnsiText.h"
#include "wizard/CDataExchange.h"
#include "wizard/CMainSheet.h"
#include "wizard/PageTemplates.h"

namespace {

enum { kReport = 1011, kLaunch = 1002 };

DialogTemplate FinishTemplate() {
  return ExteriorTemplate(
      111, {{IDC_STATIC, ControlKind::Static, u"Setup report:", 115, 8, 164, 8, StyleNone},
            {kReport, ControlKind::Edit, u"", 115, 19, 164, 112,
             StyleMultiLine | StyleReadOnly | StyleVScroll},
            {kLaunch, ControlKind::CheckBox, u"Launch IIS Quaver Control Center", 115, 138, 164, 10,
             StyleNone}});
}

}  // namespace

CPageFinish::CPageFinish() : CPropertyPage(FinishTemplate()) {}

void CPageFinish::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, kReport, reportText);
  DDX_Check(pDX, kLaunch, launch);
}

BOOL CPageFinish::OnSetActive() {
  UpdateData(TRUE);
  CPropertySheet* sheet = GetParent();
  sheet->SetWizardButtons(PSWIZB_FINISH);
  sheet->SetFinishText(u"Finish");
  sheet->CancelToClose();

  const IQVSetupCore& state = SetupStateOf(*this);
  const CSPWString report = AnsiToWide(state.report.GetString(), state.report.GetLength());
  if (state.failed) {
    GetDlgItem(kLaunch)->visible = false;
    reportText = CSPWString(u"IIS Quaver Pro v4.0 Setup failed.\r\n\r\n") + report;
  } else if (state.report.GetLength() != 0) {
    reportText = CSPWString(
                     u"IIS Quaver Pro v4.0 is installed successfully with the following "
                     u"omissions:\r\n\r\n") +
                 report;
  } else {
    reportText = u"IIS Quaver Pro v4.0 setup is completed succesfully!";
  }
  UpdateData(FALSE);
  return CPropertyPage::OnSetActive();
}
