#include "wizard/CWinApp.h"

namespace {
CWinApp* theApp = nullptr;
}

CWinApp::CWinApp(WizardHost& host) : host(&host) { theApp = this; }

CWinApp::~CWinApp() {
  if (theApp == this) theApp = nullptr;
}

CWinApp* AfxGetApp() { return theApp; }
