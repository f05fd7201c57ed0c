// What the toolkit that draws a wizard offers its page logic: the modal run
// of a sheet, message boxes and the folder browser. Every call comes on the
// user-interface thread.
#pragma once

#include "core/CSPString.h"
#include "wizard/WinUi.h"

class CPropertyPage;
class CPropertySheet;

class WizardHost {
 public:
  virtual ~WizardHost() = default;

  // Shows the sheet and returns when it has ended (EndDialog), with its
  // result. The sheet is created (CPropertySheet::Create) by the host.
  virtual INT_PTR RunModal(CPropertySheet& sheet) = 0;
  // `owner` is the page that raises the box, or null for a box without
  // an owner window; `type` holds the MB_ buttons and icon.
  virtual int MessageBox(const CPropertyPage* owner, const CSPWString& text,
                         const CSPWString& caption, UINT type) = 0;
  // True with the chosen folder's path; false when cancelled.
  virtual bool BrowseForFolder(const CSPWString& title, CSPWString& path) = 0;
  // Called after every message the sheet or one of its controls has
  // handled. A window shows the change from here on, also while a box that
  // a later message opens is up: Windows repaints a changed control in any
  // message loop, a message box's own included.
  virtual void Invalidate(CPropertySheet& sheet) { (void)sheet; }
};
