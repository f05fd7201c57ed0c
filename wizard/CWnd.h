// A handle to one control of a page, bound with DDX_Control. Every
// operation is a message sent to the user-interface thread: from there it
// runs at once, from the installation thread it waits until the
// user-interface thread has run it (SendMessage).
#pragma once

#include <functional>

#include "core/CSPString.h"
#include "wizard/WinUi.h"

class CDlgItem;
class CPropertyPage;

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd() = default;

  void Attach(CPropertyPage* page, int id);
  bool IsAttached() const { return page != nullptr; }
  int GetDlgCtrlID() const { return id; }

  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL ShowWindow(int command);
  void SetWindowText(const CSPWString& text);
  CSPWString GetWindowText() const;

 protected:
  // Runs `operation` on the control on the user-interface thread; does
  // nothing when the handle is not bound.
  void Send(const std::function<void(CDlgItem&)>& operation) const;

 private:
  CPropertyPage* page = nullptr;
  int id = 0;
};
