#include "wizard/CPropertyPage.h"

#include "wizard/CDataExchange.h"
#include "wizard/CPropertySheet.h"
#include "wizard/WizardHost.h"

CPropertyPage::CPropertyPage(const DialogTemplate& dialog)
    : m_strCaption(dialog.caption != nullptr ? dialog.caption : u""),
      dialog(dialog),
      windowText(m_strCaption) {}

void CPropertyPage::Create() {
  if (created) return;
  controls.clear();
  for (const ControlTemplate& layout : dialog.controls) controls.emplace_back(layout);
  created = true;
  OnInitDialog();
}

BOOL CPropertyPage::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

BOOL CPropertyPage::OnSetActive() { return TRUE; }
BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }
LRESULT CPropertyPage::OnWizardBack() { return 0; }
LRESULT CPropertyPage::OnWizardNext() { return 0; }
BOOL CPropertyPage::OnWizardFinish() { return OnKillActive(); }
void CPropertyPage::OnCommand(int, int) {}
void CPropertyPage::DoDataExchange(CDataExchange*) {}

BOOL CPropertyPage::UpdateData(BOOL saveAndValidate) {
  if (!created) return FALSE;
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return TRUE;
}

int CPropertyPage::MessageBox(const CSPWString& text, const CSPWString& caption, UINT type) {
  WizardHost* host = sheet != nullptr ? sheet->GetHost() : nullptr;
  return host != nullptr ? host->MessageBox(this, text, caption, type) : 0;
}

CDlgItem* CPropertyPage::GetDlgItem(int id) {
  for (CDlgItem& item : controls) {
    if (item.layout.id == id) return &item;
  }
  return nullptr;
}

std::vector<CDlgItem*> CPropertyPage::RadioGroup(int firstId) {
  std::vector<CDlgItem*> group;
  bool inGroup = false;
  for (CDlgItem& item : controls) {
    if (!inGroup) {
      inGroup = item.layout.id == firstId && item.layout.kind == ControlKind::RadioButton;
    } else if (item.layout.kind != ControlKind::RadioButton ||
               (item.layout.style & StyleGroup) != 0) {
      break;
    }
    if (inGroup) group.push_back(&item);
  }
  return group;
}

// The run of radio buttons around `item`: from the nearest one that starts
// a group (or follows another kind of control) to the next such start.
std::vector<CDlgItem*> CPropertyPage::GroupAround(const CDlgItem* item) {
  std::vector<CDlgItem*> group;
  for (CDlgItem& other : controls) {
    bool starts =
        other.layout.kind != ControlKind::RadioButton || (other.layout.style & StyleGroup);
    if (starts && &other > item) break;
    if (starts) group.clear();
    if (other.layout.kind == ControlKind::RadioButton) group.push_back(&other);
  }
  return group;
}

void CPropertyPage::ClickControl(int id) {
  CDlgItem* item = GetDlgItem(id);
  if (item == nullptr || !item->enabled || !item->visible) return;
  if (item->layout.kind == ControlKind::CheckBox) {
    item->checked = !item->checked;
  } else if (item->layout.kind == ControlKind::RadioButton) {
    for (CDlgItem* other : GroupAround(item)) other->checked = other == item;
  }
  OnCommand(id, BN_CLICKED);
}

int CPropertyPage::MoveInGroup(int id, int direction) {
  CDlgItem* item = GetDlgItem(id);
  if (item == nullptr || item->layout.kind != ControlKind::RadioButton || direction == 0) return id;
  const std::vector<CDlgItem*> group = GroupAround(item);
  const int count = static_cast<int>(group.size());
  int at = 0;
  while (group[static_cast<size_t>(at)] != item) ++at;
  // Disabled and hidden buttons are passed over; the ends wrap round.
  for (int step = 1; step < count; ++step) {
    CDlgItem* next =
        group[static_cast<size_t>((at + (direction > 0 ? step : count - step)) % count)];
    if (!next->enabled || !next->visible) continue;
    ClickControl(next->layout.id);
    return next->layout.id;
  }
  return id;
}

void CPropertyPage::TypeText(int id, const CSPWString& text) {
  CDlgItem* item = GetDlgItem(id);
  if (item == nullptr || !item->enabled || item->layout.kind != ControlKind::Edit) return;
  if (item->text == text) return;
  item->text = text;
  OnCommand(id, EN_CHANGE);
}

void CPropertyPage::CheckRow(int id, int row, bool checked) {
  CDlgItem* item = GetDlgItem(id);
  if (item == nullptr || !item->enabled || row < 0 || static_cast<size_t>(row) >= item->rows.size())
    return;
  item->rows[static_cast<size_t>(row)].checked = checked;
}
