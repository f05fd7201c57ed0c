#include "wizard/CWnd.h"

#include "wizard/CDlgItem.h"
#include "wizard/CPropertyPage.h"
#include "wizard/CPropertySheet.h"

void CWnd::Attach(CPropertyPage* owner, int controlId) {
  page = owner;
  id = controlId;
}

void CWnd::Send(const std::function<void(CDlgItem&)>& operation) const {
  if (page == nullptr) return;
  CPropertyPage* owner = page;
  int controlId = id;
  auto run = [owner, controlId, &operation] {
    CDlgItem* item = owner->GetDlgItem(controlId);
    if (item != nullptr) operation(*item);
  };
  CPropertySheet* sheet = owner->GetParent();
  if (sheet != nullptr) {
    sheet->Dispatcher().Send(run);
  } else {
    run();
  }
}

BOOL CWnd::EnableWindow(BOOL enable) {
  BOOL wasDisabled = FALSE;
  Send([&](CDlgItem& item) {
    wasDisabled = item.enabled ? FALSE : TRUE;
    item.enabled = enable != FALSE;
  });
  return wasDisabled;
}

BOOL CWnd::ShowWindow(int command) {
  BOOL wasVisible = FALSE;
  Send([&](CDlgItem& item) {
    wasVisible = item.visible ? TRUE : FALSE;
    item.visible = command != SW_HIDE;
  });
  return wasVisible;
}

void CWnd::SetWindowText(const CSPWString& text) {
  Send([&](CDlgItem& item) { item.text = text; });
}

CSPWString CWnd::GetWindowText() const {
  CSPWString text;
  Send([&](CDlgItem& item) { text = item.text; });
  return text;
}
