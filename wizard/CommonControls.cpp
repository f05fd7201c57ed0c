#include "wizard/CommonControls.h"

#include <algorithm>

#include "wizard/CDlgItem.h"
#include "wizard/Pictures.h"

BOOL CBitmap::LoadBitmap(UINT resourceId) {
  if (!IsBitmapResource(resourceId)) return FALSE;
  handle = resourceId;
  return TRUE;
}

BOOL CBitmap::DeleteObject() {
  if (handle == 0) return FALSE;
  handle = 0;
  return TRUE;
}

BOOL CImageList::Create(int cx, int cy, UINT, int, int) {
  created = cx > 0 && cy > 0;
  images.clear();
  return created ? TRUE : FALSE;
}

int CImageList::Add(CBitmap* bitmap, DWORD) {
  if (!created || bitmap == nullptr || bitmap->GetSafeHandle() == 0) return -1;
  images.push_back(bitmap->GetSafeHandle());
  return static_cast<int>(images.size()) - 1;
}

void CListCtrl::SetImageList(CImageList* list, int which) {
  if (which != LVSIL_NORMAL) return;
  std::vector<PictureId> images = list != nullptr ? list->Images() : std::vector<PictureId>();
  Send([&](CDlgItem& item) { item.images = images; });
}

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  DWORD previous = 0;
  Send([&](CDlgItem& item) {
    previous = item.extendedStyle;
    item.extendedStyle = style;
  });
  return previous;
}

int CListCtrl::InsertColumn(int column, const CSPWString& heading, int format, int width, int) {
  int index = -1;
  Send([&](CDlgItem& item) {
    size_t at = std::min<size_t>(static_cast<size_t>(std::max(column, 0)), item.columns.size());
    item.columns.insert(item.columns.begin() + static_cast<long>(at),
                        ListViewColumn{heading, format, width});
    index = static_cast<int>(at);
  });
  return index;
}

int CListCtrl::InsertItem(int index, const CSPWString& text, int image) {
  int inserted = -1;
  Send([&](CDlgItem& item) {
    size_t at = std::min<size_t>(static_cast<size_t>(std::max(index, 0)), item.rows.size());
    ListViewRow row;
    row.text = text;
    row.image = image;
    item.rows.insert(item.rows.begin() + static_cast<long>(at), row);
    inserted = static_cast<int>(at);
  });
  return inserted;
}

BOOL CListCtrl::SetItemText(int row, int subItem, const CSPWString& text) {
  BOOL done = FALSE;
  Send([&](CDlgItem& item) {
    if (row < 0 || static_cast<size_t>(row) >= item.rows.size() || subItem < 0) return;
    ListViewRow& target = item.rows[static_cast<size_t>(row)];
    if (subItem == 0) {
      target.text = text;
    } else {
      if (target.subItems.size() <= static_cast<size_t>(subItem))
        target.subItems.resize(subItem + 1);
      target.subItems[static_cast<size_t>(subItem)] = text;
    }
    done = TRUE;
  });
  return done;
}

int CListCtrl::GetItemText(int row, int subItem, char16_t* buffer, int max) const {
  if (buffer == nullptr || max <= 0) return 0;
  buffer[0] = u'\0';
  int copied = 0;
  Send([&](CDlgItem& item) {
    if (row < 0 || static_cast<size_t>(row) >= item.rows.size() || subItem < 0) return;
    const ListViewRow& source = item.rows[static_cast<size_t>(row)];
    CSPWString text;
    if (subItem == 0) {
      text = source.text;
    } else if (static_cast<size_t>(subItem) < source.subItems.size()) {
      text = source.subItems[static_cast<size_t>(subItem)];
    }
    copied = std::min<int>(static_cast<int>(text.GetLength()), max - 1);
    std::copy(text.GetString(), text.GetString() + copied, buffer);
    buffer[copied] = u'\0';
  });
  return copied;
}

BOOL CListCtrl::SetCheck(int row, BOOL check) {
  BOOL done = FALSE;
  Send([&](CDlgItem& item) {
    if (row < 0 || static_cast<size_t>(row) >= item.rows.size()) return;
    item.rows[static_cast<size_t>(row)].checked = check != FALSE;
    done = TRUE;
  });
  return done;
}

BOOL CListCtrl::GetCheck(int row) const {
  BOOL checked = FALSE;
  Send([&](CDlgItem& item) {
    if (row < 0 || static_cast<size_t>(row) >= item.rows.size()) return;
    checked = item.rows[static_cast<size_t>(row)].checked ? TRUE : FALSE;
  });
  return checked;
}

int CListCtrl::GetItemCount() const {
  int count = 0;
  Send([&](CDlgItem& item) { count = static_cast<int>(item.rows.size()); });
  return count;
}

BOOL CListCtrl::DeleteAllItems() {
  Send([&](CDlgItem& item) { item.rows.clear(); });
  return TRUE;
}

void CProgressCtrl::SetRange(short low, short high) {
  Send([&](CDlgItem& item) {
    item.rangeLow = low;
    item.rangeHigh = high;
    item.position = std::clamp(item.position, std::min<int>(low, high), std::max<int>(low, high));
  });
}

void CProgressCtrl::GetRange(int& low, int& high) const {
  Send([&](CDlgItem& item) {
    low = item.rangeLow;
    high = item.rangeHigh;
  });
}

int CProgressCtrl::SetStep(int step) {
  int previous = 0;
  Send([&](CDlgItem& item) {
    previous = item.step;
    item.step = step;
  });
  return previous;
}

// The position stays within the range; a negative step moves it back.
int CProgressCtrl::StepIt() {
  int previous = 0;
  Send([&](CDlgItem& item) {
    previous = item.position;
    int top = std::max(item.rangeLow, item.rangeHigh);
    item.position = std::clamp(item.position + item.step, item.rangeLow, top);
  });
  return previous;
}

int CProgressCtrl::SetPos(int position) {
  int previous = 0;
  Send([&](CDlgItem& item) {
    previous = item.position;
    item.position = std::clamp(position, item.rangeLow, std::max(item.rangeLow, item.rangeHigh));
  });
  return previous;
}

int CProgressCtrl::GetPos() const {
  int position = 0;
  Send([&](CDlgItem& item) { position = item.position; });
  return position;
}
