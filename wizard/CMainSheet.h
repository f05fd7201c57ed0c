// The setup wizard's sheet: it owns the setup state and the eight pages in
// index order. Pages reach the state through it (SetupStateOf). The
// installation thread must not outlive the state: the sheet waits for it,
// serving its calls meanwhile, before anything is destroyed.
#pragma once

#include "setup/IQVSetupCore.h"
#include "wizard/CPageFinish.h"
#include "wizard/CPageIIS7Mode.h"
#include "wizard/CPageInstallPath.h"
#include "wizard/CPageLicense.h"
#include "wizard/CPageOptions.h"
#include "wizard/CPageProgress.h"
#include "wizard/CPageSelectWebsites.h"
#include "wizard/CPageWelcome.h"
#include "wizard/CPropertySheet.h"
#include "wizard/WizardSetupUi.h"

class CMainSheet : public CPropertySheet {
 public:
  enum PageIndex {
    PageWelcome = 0,
    PageLicense = 1,
    PageInstallPath = 2,
    PageMode = 3,
    PageWebsites = 4,
    PageOptions = 5,
    PageProgress = 6,
    PageFinish = 7,
  };

  explicit CMainSheet(const CSPWString& caption);
  ~CMainSheet() override;

  BOOL OnInitDialog() override;

  // Page and sheet flags, header titles and bitmaps, and the pages in
  // index order: everything between constructing the sheet and its run.
  void SetUpWizard(PictureId header, PictureId watermark);

  // Starts the installation thread on the bound progress controls.
  void StartInstallation();
  // Serves the thread's calls until it has ended.
  void WaitForInstallation();

  WizardSetupUi ui;  // before the state, which shows its boxes through it
  IQVSetupCore core;
  CPageWelcome pageWelcome;
  CPageLicense pageLicense;
  CPageInstallPath pageInstallPath;
  CPageIIS7Mode pageMode;
  CPageSelectWebsites pageWebsites;
  CPageOptions pageOptions;
  CPageProgress pageProgress;
  CPageFinish pageFinish;
  PictureId bigIcon;
};

IQVSetupCore& SetupStateOf(const CPropertyPage& page);
