// A wizard-style property sheet: pages in index order, one active at a time,
// the wizard buttons (Back, Next, Finish, Cancel), header and watermark
// bitmaps, and the sheet messages the pages and the installation thread
// use. Operations that are messages in the window system keep their
// manner: SetWizardButtons is posted, PressButton is sent and works while
// the buttons are disabled. The toolkit draws the sheet from the state
// read by the accessors at the end.
#pragma once

#include <vector>

#include "core/CSPString.h"
#include "wizard/UiDispatcher.h"
#include "wizard/WinUi.h"

class CPropertyPage;
class WizardHost;

struct PropSheetHeader {
  DWORD dwFlags = PSH_WIZARD;
  PictureId hbmWatermark = 0;
  PictureId hbmHeader = 0;
};

class CPropertySheet {
 public:
  explicit CPropertySheet(const CSPWString& caption);
  virtual ~CPropertySheet() = default;
  CPropertySheet(const CPropertySheet&) = delete;
  CPropertySheet& operator=(const CPropertySheet&) = delete;

  PropSheetHeader m_psh;

  void AddPage(CPropertyPage* page);
  int GetPageCount() const { return static_cast<int>(pages.size()); }
  CPropertyPage* GetPage(int index) const;
  int GetPageIndex(const CPropertyPage* page) const;
  int GetActiveIndex() const { return active; }
  CPropertyPage* GetActivePage() const { return GetPage(active); }

  // Runs the sheet through the host (the application's unless one was set).
  INT_PTR DoModal();
  void SetHost(WizardHost* wizardHost) { host = wizardHost; }
  WizardHost* GetHost() const;
  UiDispatcher& Dispatcher() { return dispatcher; }

  // Framework operation: activates the first page.
  virtual BOOL OnInitDialog();

  // Sheet messages.
  BOOL SetActivePage(int index);               // PSM_SETCURSEL
  void SetWizardButtons(DWORD flags);          // PSM_SETWIZBUTTONS, posted
  void SetFinishText(const CSPWString& text);  // PSM_SETFINISHTEXT
  void CancelToClose();                        // PSM_CANCELTOCLOSE
  BOOL PressButton(int button);                // PSM_PRESSBUTTON, sent
  void SetIcon(PictureId icon, BOOL big);      // WM_SETICON
  void SetWindowText(const CSPWString& text) { windowText = text; }
  const CSPWString& GetWindowText() const { return windowText; }
  void EndDialog(INT_PTR result);

  // Window side.
  void Create();  // once, by the host, before the sheet is shown
  DWORD GetWizardButtons() const { return buttons; }
  bool IsCancelClose() const { return cancelIsClose; }  // Cancel greyed: nothing to undo
  const CSPWString& GetFinishText() const { return finishText; }
  PictureId GetBigIcon() const { return bigIcon; }
  bool IsEnded() const { return ended; }
  INT_PTR GetResult() const { return result; }

 private:
  void Move(LRESULT answer, int direction);
  BOOL Activate(int index);

  std::vector<CPropertyPage*> pages;
  UiDispatcher dispatcher;
  WizardHost* host = nullptr;
  CSPWString windowText;
  CSPWString finishText;
  DWORD buttons = PSWIZB_NEXT;
  PictureId bigIcon = 0;
  int active = -1;
  bool created = false;
  bool cancelIsClose = false;
  bool ended = false;
  INT_PTR result = 0;
};
