#include "wizard/CIQVSetupApp.h"

#include "platform/win.h"
#include "wizard/CMainSheet.h"
#include "wizard/CommonControls.h"
#include "wizard/Pictures.h"
#include "wizard/WizardHost.h"

BOOL CIQVSetupApp::InitInstance() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    GetHost()->MessageBox(nullptr, u"Cannot initialize COM", u"Fatal error", MB_ICONERROR);
    return FALSE;
  }
  CWinApp::InitInstance();

  CMainSheet sheet(u"IIS Quaver Setup");
  CBitmap header;
  CBitmap watermark;
  header.LoadBitmap(IDB_HEADER);
  watermark.LoadBitmap(IDB_WATERMARK);

  sheet.SetUpWizard(header, watermark);

  sheet.DoModal();
  // The thread may still be finishing its last call; its state must outlive it.
  sheet.WaitForInstallation();

  if (sheet.pageFinish.launch == 1 && !sheet.core.failed) {
    CSPWString program = sheet.pageInstallPath.destination + u"\\iquaverctlld.exe";
    ShellExecuteW(nullptr, as_wcstr(u"open"), as_wcstr(program), nullptr, nullptr, SW_SHOW);
  }
  header.DeleteObject();
  watermark.DeleteObject();
  return FALSE;
}
