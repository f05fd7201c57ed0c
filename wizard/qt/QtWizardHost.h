// Runs wizard sheets in Qt windows. Calls that other threads send to a
// sheet's queue wake the Qt event loop, which serves them on its thread.
// The host must outlive every sheet it runs.
#pragma once

#include <functional>

#include "wizard/WizardHost.h"

class QtSheetWindow;
class QWidget;

class QtWizardHost : public WizardHost {
 public:
  INT_PTR RunModal(CPropertySheet& sheet) override;
  int MessageBox(const CPropertyPage* owner, const CSPWString& text, const CSPWString& caption,
                 UINT type) override;
  bool BrowseForFolder(const CSPWString& title, CSPWString& path) override;
  void Invalidate(CPropertySheet& sheet) override;

  // The window of the sheet being run, or null.
  QtSheetWindow* Window() const { return window; }
  // Called with the window once it is shown (tests drive it from here).
  std::function<void(QtSheetWindow&)> onShown;

 private:
  void ServeQueue();

  QtSheetWindow* window = nullptr;
  CPropertySheet* running = nullptr;
};
