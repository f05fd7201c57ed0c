// The setup program: initialises COM, runs the wizard sheet with its eight
// pages, and afterwards starts the control centre when the user asked for
// it and setup did not fail. The program ends when InitInstance returns.
#pragma once

#include "wizard/CWinApp.h"

class CIQVSetupApp : public CWinApp {
 public:
  using CWinApp::CWinApp;
  BOOL InitInstance() override;
};
