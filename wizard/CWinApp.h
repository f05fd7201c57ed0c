// The application object: one per program, found by AfxGetApp. It carries
// the host (toolkit) that runs its windows; InitInstance is the program.
#pragma once

#include "wizard/WinUi.h"

class WizardHost;

class CWinApp {
 public:
  explicit CWinApp(WizardHost& host);  // becomes the program's application
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  WizardHost* GetHost() const { return host; }

 private:
  WizardHost* host;
};

CWinApp* AfxGetApp();
