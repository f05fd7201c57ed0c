// The common controls the wizard uses: bitmaps and image lists (handles to
// compiled-in pictures), the list view with check boxes and the progress
// bar. The controls are CWnd handles, so their operations are sent.
#pragma once

#include <vector>

#include "wizard/CWnd.h"

class CBitmap {
 public:
  BOOL LoadBitmap(UINT resourceId);  // false for a number with no picture
  BOOL DeleteObject();
  PictureId GetSafeHandle() const { return handle; }
  operator PictureId() const { return handle; }  // NOLINT: as the framework's

 private:
  PictureId handle = 0;
};

class CImageList {
 public:
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  int Add(CBitmap* bitmap, DWORD maskColour);  // index of the image, -1 on failure
  const std::vector<PictureId>& Images() const { return images; }

 private:
  bool created = false;
  std::vector<PictureId> images;
};

class CListCtrl : public CWnd {
 public:
  void SetImageList(CImageList* list, int which);
  DWORD SetExtendedStyle(DWORD style);
  int InsertColumn(int column, const CSPWString& heading, int format, int width, int subItem);
  int InsertItem(int index, const CSPWString& text, int image);
  BOOL SetItemText(int row, int subItem, const CSPWString& text);
  // Copies at most `max` - 1 characters, as the list view does; answers
  // the number copied.
  int GetItemText(int row, int subItem, char16_t* buffer, int max) const;
  BOOL SetCheck(int row, BOOL check = TRUE);
  BOOL GetCheck(int row) const;
  int GetItemCount() const;
  BOOL DeleteAllItems();
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short low, short high);  // PBM_SETRANGE: 16-bit bounds
  void GetRange(int& low, int& high) const;
  int SetStep(int step);  // answers the previous step
  int StepIt();           // answers the previous position
  int SetPos(int position);
  int GetPos() const;
};
