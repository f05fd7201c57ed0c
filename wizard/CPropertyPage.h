// One page of a wizard sheet, built from its dialog template. The page
// logic overrides the framework's operations below (OnInitDialog,
// OnSetActive, OnWizardNext, ... with the framework's conventions: a wizard
// handler answers 0 to move to the neighbouring page, -1 to stay, or the
// template number of the page to go to) and reaches its controls by
// identifier and data exchange. It does not know which toolkit draws it:
// the toolkit calls the "window side" operations when the user acts.
#pragma once

#include <vector>

#include "core/CSPString.h"
#include "wizard/CDlgItem.h"
#include "wizard/DialogTemplate.h"
#include "wizard/WinUi.h"

class CDataExchange;
class CPropertySheet;

struct PropSheetPageHeader {
  DWORD dwFlags = 0;
};

class CPropertyPage {
 public:
  explicit CPropertyPage(const DialogTemplate& dialog);
  virtual ~CPropertyPage() = default;
  CPropertyPage(const CPropertyPage&) = delete;
  CPropertyPage& operator=(const CPropertyPage&) = delete;

  PropSheetPageHeader m_psp;
  CSPWString m_strHeaderTitle;  // shown in the header band with PSP_USEHEADERTITLE
  CSPWString m_strCaption;

  UINT GetTemplateId() const { return dialog.id; }
  const DialogTemplate& Template() const { return dialog; }
  CPropertySheet* GetParent() const { return sheet; }
  bool IsCreated() const { return created; }

  // The framework's operations.
  virtual BOOL OnInitDialog();  // writes the members to the controls
  virtual BOOL OnSetActive();
  virtual BOOL OnKillActive();  // reads the controls; false keeps the page
  virtual LRESULT OnWizardBack();
  virtual LRESULT OnWizardNext();
  virtual BOOL OnWizardFinish();
  virtual void OnCommand(int id, int code);
  virtual void DoDataExchange(CDataExchange* pDX);

  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  int MessageBox(const CSPWString& text, const CSPWString& caption, UINT type);
  void SetWindowText(const CSPWString& text) { windowText = text; }
  const CSPWString& GetWindowText() const { return windowText; }

  // Controls in template order; the first with the identifier when several
  // share one (IDC_STATIC). Null when the page has none or is not created.
  CDlgItem* GetDlgItem(int id);
  std::vector<CDlgItem>& Controls() { return controls; }
  // The radio buttons of the group that starts at `firstId`.
  std::vector<CDlgItem*> RadioGroup(int firstId);

  // Window side: what the user does to an enabled control.
  void ClickControl(int id);  // check box toggles, radio button checks its group
  // An arrow key on radio button `id`: the focus goes to the previous
  // (direction < 0) or next enabled button of its group, round the ends,
  // and that button is clicked, as the dialog manager does with automatic
  // radio buttons. Answers the identifier that has the focus now.
  int MoveInGroup(int id, int direction);
  void TypeText(int id, const CSPWString& text);
  void CheckRow(int id, int row, bool checked);

 private:
  friend class CPropertySheet;
  void Create();
  std::vector<CDlgItem*> GroupAround(const CDlgItem* item);

  DialogTemplate dialog;
  CPropertySheet* sheet = nullptr;
  std::vector<CDlgItem> controls;
  CSPWString windowText;
  bool created = false;
};
