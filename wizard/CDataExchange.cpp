#include "wizard/CDataExchange.h"

#include "wizard/CDlgItem.h"
#include "wizard/CPropertyPage.h"
#include "wizard/CWnd.h"

void DDX_Text(CDataExchange* pDX, int id, CSPWString& value) {
  CDlgItem* item = pDX->m_pDlgWnd->GetDlgItem(id);
  if (item == nullptr) return;
  if (pDX->m_bSaveAndValidate) {
    value = item->text;
  } else {
    item->text = value;
  }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  CDlgItem* item = pDX->m_pDlgWnd->GetDlgItem(id);
  if (item == nullptr) return;
  if (pDX->m_bSaveAndValidate) {
    value = item->checked ? 1 : 0;
  } else {
    item->checked = value == 1;
  }
}

void DDX_Radio(CDataExchange* pDX, int id, int& value) {
  std::vector<CDlgItem*> group = pDX->m_pDlgWnd->RadioGroup(id);
  if (pDX->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i) {
      if (group[i]->checked) {
        value = static_cast<int>(i);
        break;
      }
    }
    return;
  }
  for (size_t i = 0; i < group.size(); ++i) group[i]->checked = static_cast<int>(i) == value;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (!control.IsAttached()) control.Attach(pDX->m_pDlgWnd, id);
}
